#include "platform/ui/qt/controls/text_control.h"

#include <QPlainTextEdit>
#include <QTextCursor>

#include <algorithm>

#include "platform/ui/qt/convert.h"

namespace pf::qt {

TextControl::TextControl(WindowView& win, const Control& c, QWidget* parent) : ControlView(win, c) {
  auto* t = new QPlainTextEdit(parent);
  QObject::connect(t, &QPlainTextEdit::textChanged, [tg = target(), t] {
    if (Window* m = tg()) m->userType(tg.feq, ss(t->toPlainText()));
  });
  w_ = t;
}

void TextControl::syncContent(Window&, const Control& c) {
  auto* t = static_cast<QPlainTextEdit*>(w_.data());
  if (QString text = qs(c.text); t->toPlainText() != text) {
    // What the control did not take is gone; the cursor stays where the user was typing.
    int at = t->textCursor().position();
    t->setPlainText(text);
    if (t->hasFocus()) {
      QTextCursor cursor = t->textCursor();
      cursor.setPosition(std::min(at, static_cast<int>(text.size())));
      t->setTextCursor(cursor);
    }
  }
  t->setReadOnly(c.readOnly);
}

}  // namespace pf::qt
