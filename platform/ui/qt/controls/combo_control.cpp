#include "platform/ui/qt/controls/combo_control.h"

#include <QComboBox>
#include <QLineEdit>

#include "platform/ui/qt/convert.h"

namespace pf::qt {

ComboControl::ComboControl(WindowView& win, const Control& c, QWidget* parent) : ControlView(win, c) {
  auto* cb = new QComboBox(parent);
  cb->setEditable(c.kind != Kind::DropList);
  cb->setInsertPolicy(QComboBox::NoInsert);
  QObject::connect(cb, QOverload<int>::of(&QComboBox::activated), [t = target()](int index) {
    if (Window* m = t()) m->userSelectRow(t.feq, index + 1, -1);
  });
  if (cb->lineEdit()) {
    cb->lineEdit()->setProperty("qbFeq", c.feq);
    std::uintptr_t id = target().window;
    int feq = c.feq;
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
  if (now != items) {
    cb->clear();
    cb->addItems(items);
  }
  cb->setCurrentIndex(c.selected - 1);
  if (cb->lineEdit() && cb->lineEdit()->text() != qs(c.text)) cb->lineEdit()->setText(qs(c.text));
}

}  // namespace pf::qt
