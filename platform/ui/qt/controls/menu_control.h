// A menu of the menu bar, or a submenu.
#pragma once

#include "platform/ui/qt/controls/control_view.h"

#include <QMenu>

namespace pf::qt {

class MenuControl : public ControlView {
 public:
  MenuControl(WindowView& win, const Control& c);
  void sync(Window& w, const Control& c) override;
  QMenu* menu() const { return menu_; }

 private:
  QPointer<QMenu> menu_;
};

}  // namespace pf::qt
