#include "platform/ui/qt/controls/menu_item_control.h"

#include <QAction>
#include <QLabel>
#include <QMenuBar>

#include "platform/ui/qt/controls/menu_control.h"
#include "platform/ui/qt/convert.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/qt/view.h"
#include "platform/ui/qt/window_view.h"

namespace pf::qt {

MenuItemControl::MenuItemControl(WindowView& win, const Control& c) : ControlView(win, c) {
  auto* parent = dynamic_cast<MenuControl*>(win.control(c.parent));
  QMenu* parentMenu = parent ? parent->menu() : nullptr;
  if (c.separator) {
    if (parentMenu) action_ = parentMenu->addSeparator();
    return;
  }
  if (parentMenu) action_ = parentMenu->addAction(qs(c.text));
  else if (win.menubar) action_ = win.menubar->addAction(qs(c.text));
  if (!action_) return;
  QObject::connect(action_, &QAction::triggered, [t = target()] {
    if (Window* m = t()) m->userPress(t.feq);
  });
  std::uintptr_t id = win.id;
  QString msg = qs(c.msg);
  QObject::connect(action_, &QAction::hovered, [id, msg] {
    if (WindowView* v = theView ? theView->find(id) : nullptr; v && !v->zones.empty()) v->zones[0]->setText(msg);
  });
}

void MenuItemControl::sync(Window& w, const Control& c) {
  if (!action_) return;
  action_->setVisible(!c.hide);
  action_->setEnabled(w.propInt(c.feq, Prop::Enabled) != 0);
  if (c.separator) return;
  QString t = qs(c.text);
  if (!c.keyText.empty()) t += "\t" + qs(c.keyText);
  action_->setText(t);
  action_->setCheckable(c.checked);
  action_->setChecked(c.checked);
  if (!c.icon.empty()) action_->setIcon(icon(c.icon));
}

}  // namespace pf::qt
