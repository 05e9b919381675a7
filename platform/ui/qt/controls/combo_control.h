// A combo, drop combo or drop list.
#pragma once

#include <cstdint>

#include "platform/ui/qt/controls/control_view.h"

namespace pf::qt {

class ComboControl : public ControlView {
 public:
  ComboControl(WindowView& win, const Control& c, QWidget* parent);
 protected:
  void syncContent(Window& w, const Control& c) override;
 private:
  std::uint64_t selectionShown_ = 0;   // the model's selection last put into the entry
};

}  // namespace pf::qt
