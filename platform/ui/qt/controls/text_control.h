// A multi-line entry.
#pragma once

#include "platform/ui/qt/controls/control_view.h"

namespace pf::qt {

class TextControl : public ControlView {
 public:
  TextControl(WindowView& win, const Control& c, QWidget* parent);
 protected:
  void syncContent(Window& w, const Control& c) override;
};

}  // namespace pf::qt
