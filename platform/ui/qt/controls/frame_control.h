// A box, a panel or a line.
#pragma once

#include "platform/ui/qt/controls/control_view.h"

namespace pf::qt {

class FrameControl : public ControlView {
 public:
  FrameControl(WindowView& win, const Control& c, QWidget* parent);
 protected:
  void syncContent(Window& w, const Control& c) override;
};

}  // namespace pf::qt
