#include "platform/ui/qt/controls/combo_control.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include "platform/ui/keys.h"
#include "platform/ui/qt/convert.h"
#include "platform/ui/qt/key_codes.h"

namespace pf::qt {
namespace {

// Positions in the model count characters; QString counts UTF-16 units.
int charsBefore(const QString& s, int units) { return static_cast<int>(s.left(units).toUcs4().size()); }

int unitsBefore(const QString& s, int chars) {
  int i = 0;
  for (int n = 0; i < s.size() && n < chars; ++n) i += s.at(i).isHighSurrogate() && i + 1 < s.size() ? 2 : 1;
  return i;
}

// The entry of a combo. Every keystroke that changed the text, the cursor or the
// selection is told to the model, which may complete the text from the list.
class ComboEntry : public QLineEdit {
 public:
  ComboEntry(std::uintptr_t window, int feq, QWidget* parent) : QLineEdit(parent), window_(window), feq_(feq) {}

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    QString was = text();
    int caretWas = cursorPosition(), startWas = selectionStart(), lengthWas = selectionLength();
    QLineEdit::keyPressEvent(e);
    if (text() == was && cursorPosition() == caretWas && selectionStart() == startWas &&
        selectionLength() == lengthWas)
      return;
    Window* m = findWindow(window_);
    if (!m) return;
    int key = keyCodeOf(e);
    if (!key) key = Key::Typed;
    QString t = text();
    int caret = cursorPosition();
    int anchor = caret;
    if (hasSelectedText()) anchor = selectionStart() == caret ? selectionStart() + selectionLength() : selectionStart();
    m->userKeystroke(feq_, ss(t), charsBefore(t, caret), charsBefore(t, anchor), key);
  }

 private:
  std::uintptr_t window_;
  int feq_;
};

}  // namespace

ComboControl::ComboControl(WindowView& win, const Control& c, QWidget* parent) : ControlView(win, c) {
  auto* cb = new QComboBox(parent);
  std::uintptr_t id = target().window;
  int feq = c.feq;
  if (c.kind != Kind::DropList) cb->setLineEdit(new ComboEntry(id, feq, cb));
  cb->setInsertPolicy(QComboBox::NoInsert);
  QObject::connect(cb, QOverload<int>::of(&QComboBox::activated), [t = target()](int index) {
    if (Window* m = t()) m->userSelectRow(t.feq, index + 1, -1);
  });
  if (cb->lineEdit()) {
    // The program completes what is typed; Qt's own completion would fight it.
    cb->setCompleter(nullptr);
    cb->lineEdit()->setProperty("qbFeq", c.feq);
    QObject::connect(cb->lineEdit(), &QLineEdit::textEdited, [id, feq](const QString& t) {
      if (Window* m = findWindow(id)) m->userType(feq, ss(t));
    });
  }
  w_ = cb;
}

void ComboControl::syncContent(Window& w, const Control& c) {
  auto* cb = static_cast<QComboBox*>(w_.data());
  QStringList items;
  for (int r = 1; r <= static_cast<int>(c.rows.size()); ++r) items << qs(w.cellText(c.feq, r, 1));
  QStringList now;
  for (int i = 0; i < cb->count(); ++i) now << cb->itemText(i);
  bool redrawn = false;
  if (now != items) {
    cb->clear();
    cb->addItems(items);
    redrawn = true;
  }
  if (redrawn || cb->currentIndex() != c.selected - 1) {
    cb->setCurrentIndex(c.selected - 1);
    redrawn = true;
  }
  QLineEdit* le = cb->lineEdit();
  if (!le) return;
  if (le->text() != qs(c.text)) {
    le->setText(qs(c.text));
    redrawn = true;
  }
  // The program's selection (a completion, the whole text on entry); the user's own
  // cursor is left alone.
  if (redrawn || c.selectionSet != selectionShown_) {
    selectionShown_ = c.selectionSet;
    QString t = le->text();
    int caret = unitsBefore(t, c.caret), anchor = unitsBefore(t, c.anchor);
    if (caret == anchor) le->setCursorPosition(caret);
    else le->setSelection(anchor, caret - anchor);
  }
}

}  // namespace pf::qt
