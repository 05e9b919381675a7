#include "platform/ui/qt/controls/group_control.h"

#include <QGroupBox>

#include "platform/ui/qt/convert.h"

namespace pf::qt {

GroupControl::GroupControl(WindowView& win, const Control& c, QWidget* parent) : ControlView(win, c) {
  // An option group that is not boxed only groups its radios: nothing of it is drawn.
  if (c.kind == Kind::Option && !c.boxed) {
    auto* w = new QWidget(parent);
    w->setAttribute(Qt::WA_TransparentForMouseEvents);
    w_ = w;
  } else {
    w_ = new QGroupBox(parent);
  }
}

void GroupControl::syncContent(Window&, const Control& c) {
  if (auto* g = qobject_cast<QGroupBox*>(w_.data())) g->setTitle(plain(c.text));
}

}  // namespace pf::qt
