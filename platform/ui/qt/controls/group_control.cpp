#include "platform/ui/qt/controls/group_control.h"

#include <QGroupBox>

#include "platform/ui/qt/convert.h"

namespace pf::qt {

GroupControl::GroupControl(WindowView& win, const Control& c, QWidget* parent) : ControlView(win, c) {
  auto* g = new QGroupBox(parent);
  g->setFlat(c.kind == Kind::Option && c.text.empty());
  w_ = g;
}

void GroupControl::syncContent(Window&, const Control& c) {
  static_cast<QGroupBox*>(w_.data())->setTitle(plain(c.text));
}

}  // namespace pf::qt
