// A push button, or a tool button on the toolbar.
#pragma once

#include "platform/ui/qt/controls/control_view.h"

namespace pf::qt {

class ButtonControl : public ControlView {
 public:
  ButtonControl(WindowView& win, const Control& c, QWidget* parent);
 protected:
  void syncContent(Window& w, const Control& c) override;
};

}  // namespace pf::qt
