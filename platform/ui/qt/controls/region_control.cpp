#include "platform/ui/qt/controls/region_control.h"

#include <QWidget>

#include "platform/ui/qt/view.h"

namespace pf::qt {

RegionControl::RegionControl(WindowView& win, const Control& c, QWidget* parent) : ControlView(win, c) {
  auto* r = new QWidget(parent);
  r->setAttribute(Qt::WA_TranslucentBackground);
  r->setMouseTracking(true);
  w_ = r;
}

}  // namespace pf::qt
