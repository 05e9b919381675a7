// A prompt or a display string.
#pragma once

#include "platform/ui/qt/controls/control_view.h"

namespace pf::qt {

class LabelControl : public ControlView {
 public:
  LabelControl(WindowView& win, const Control& c, QWidget* parent);
 protected:
  void syncContent(Window& w, const Control& c) override;
};

}  // namespace pf::qt
