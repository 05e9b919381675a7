// A group box, or the box of a radio group.
#pragma once

#include "platform/ui/qt/controls/control_view.h"

namespace pf::qt {

class GroupControl : public ControlView {
 public:
  GroupControl(WindowView& win, const Control& c, QWidget* parent);
 protected:
  void syncContent(Window& w, const Control& c) override;
};

}  // namespace pf::qt
