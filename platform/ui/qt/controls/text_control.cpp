#include "platform/ui/qt/controls/text_control.h"

#include <QPlainTextEdit>

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
  if (t->toPlainText() != qs(c.text)) t->setPlainText(qs(c.text));
  t->setReadOnly(c.readOnly);
}

}  // namespace pf::qt
