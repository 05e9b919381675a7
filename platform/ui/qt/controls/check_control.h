// A check box or a radio button; the model decides which radio is on.
#pragma once

#include "platform/ui/qt/controls/control_view.h"

namespace pf::qt {

class CheckControl : public ControlView {
 public:
  CheckControl(WindowView& win, const Control& c, QWidget* parent);
 protected:
  void syncContent(Window& w, const Control& c) override;
};

}  // namespace pf::qt
