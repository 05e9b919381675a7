// A menu item or separator; its message shows in the status bar while it is hovered.
#pragma once

#include "platform/ui/qt/controls/control_view.h"

namespace pf::qt {

class MenuItemControl : public ControlView {
 public:
  MenuItemControl(WindowView& win, const Control& c);
  void sync(Window& w, const Control& c) override;
};

}  // namespace pf::qt
