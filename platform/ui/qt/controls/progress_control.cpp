#include "platform/ui/qt/controls/progress_control.h"

#include <QProgressBar>
#include <algorithm>

namespace pf::qt {

ProgressControl::ProgressControl(WindowView& win, const Control& c, QWidget* parent) : ControlView(win, c) {
  auto* p = new QProgressBar(parent);
  p->setTextVisible(false);
  w_ = p;
}

void ProgressControl::syncContent(Window&, const Control& c) {
  auto* p = static_cast<QProgressBar*>(w_.data());
  p->setRange(c.rangeLow, c.rangeHigh);
  p->setValue(std::clamp(c.progress, c.rangeLow, c.rangeHigh));
}

}  // namespace pf::qt
