// An invisible area that reports the mouse (a splitter bar's handle).
#pragma once

#include "platform/ui/qt/controls/control_view.h"

namespace pf::qt {

// The widget property the input filter sets while the left button is held on a region.
inline constexpr const char* RegionHeld = "qbHeld";

class RegionControl : public ControlView {
 public:
  RegionControl(WindowView& win, const Control& c, QWidget* parent);
};

}  // namespace pf::qt
