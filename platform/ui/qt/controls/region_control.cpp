#include "platform/ui/qt/controls/region_control.h"

#include <QPainter>
#include <QWidget>

#include "platform/ui/qt/view.h"

namespace pf::qt {
namespace {

// A region the user drags (a splitter bar) is drawn while the button is held on it, so the
// bar is seen to follow the pointer; otherwise a region draws nothing.
class RegionWidget : public QWidget {
 public:
  RegionWidget(QWidget* parent, bool draggable) : QWidget(parent), draggable_(draggable) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!draggable_ || !property(RegionHeld).toBool()) return;
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Dark));
  }

 private:
  bool draggable_;
};

}  // namespace

RegionControl::RegionControl(WindowView& win, const Control& c, QWidget* parent) : ControlView(win, c) {
  auto* r = new RegionWidget(parent, !c.dragId.empty());
  r->setAttribute(Qt::WA_TranslucentBackground);
  r->setMouseTracking(true);
  w_ = r;
}

}  // namespace pf::qt
