#include "platform/ui/qt/controls/entry_control.h"

#include <QLineEdit>

#include <algorithm>

#include "platform/ui/qt/convert.h"

namespace pf::qt {

EntryControl::EntryControl(WindowView& win, const Control& c, QWidget* parent) : ControlView(win, c) {
  auto* e = new QLineEdit(parent);
  // Typing is the user's even while the view syncs other widgets.
  std::uintptr_t id = target().window;
  int feq = c.feq;
  QObject::connect(e, &QLineEdit::textEdited, [id, feq](const QString& t) {
    if (Window* m = findWindow(id)) m->userType(feq, ss(t));
  });
  w_ = e;
}

void EntryControl::syncContent(Window&, const Control& c) {
  auto* e = static_cast<QLineEdit*>(w_.data());
  if (QString t = qs(c.text); e->text() != t) {
    // What the entry did not take is gone; the cursor stays where the user was typing.
    int at = e->cursorPosition();
    e->setText(t);
    if (e->hasFocus()) e->setCursorPosition(std::min(at, static_cast<int>(t.size())));
  }
  e->setReadOnly(c.readOnly);
  e->setEchoMode(c.password ? QLineEdit::Password : QLineEdit::Normal);
}

}  // namespace pf::qt
