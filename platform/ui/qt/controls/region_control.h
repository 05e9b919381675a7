// An invisible area that reports the mouse (a splitter bar's handle).
#pragma once

#include "platform/ui/qt/controls/control_view.h"

namespace pf::qt {

class RegionControl : public ControlView {
 public:
  RegionControl(WindowView& win, const Control& c, QWidget* parent);
};

}  // namespace pf::qt
