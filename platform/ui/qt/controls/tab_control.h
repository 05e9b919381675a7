// One tab of a sheet: a tab of its sheet's tab bar.
#pragma once

#include "platform/ui/qt/controls/control_view.h"

namespace pf::qt {

class TabControl : public ControlView {
 public:
  TabControl(WindowView& win, const Control& c);
  void sync(Window& w, const Control& c) override;
};

}  // namespace pf::qt
