#include "platform/ui/qt/controls/menu_control.h"

#include <QMenuBar>

#include "platform/ui/qt/convert.h"
#include "platform/ui/qt/window_view.h"

namespace pf::qt {

MenuControl::MenuControl(WindowView& win, const Control& c) : ControlView(win, c) {
  auto* parent = dynamic_cast<MenuControl*>(win.control(c.parent));
  if (parent && parent->menu()) menu_ = parent->menu()->addMenu(plain(c.text));
  else if (win.menubar) menu_ = win.menubar->addMenu(qs(c.text));
  if (menu_) action_ = menu_->menuAction();
}

void MenuControl::sync(Window& w, const Control& c) {
  if (!menu_) return;
  menu_->setTitle(qs(c.text));
  action_->setVisible(!c.hide);
  action_->setEnabled(w.propInt(c.feq, Prop::Enabled) != 0);
}

}  // namespace pf::qt
