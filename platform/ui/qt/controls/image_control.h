// A picture, scaled to its box.
#pragma once

#include "platform/ui/qt/controls/control_view.h"

namespace pf::qt {

class ImageControl : public ControlView {
 public:
  ImageControl(WindowView& win, const Control& c, QWidget* parent);
 protected:
  void syncContent(Window& w, const Control& c) override;
};

}  // namespace pf::qt
