#include "platform/ui/qt/controls/image_control.h"

#include <QLabel>

#include "platform/ui/qt/qt_view.h"

namespace pf::qt {

ImageControl::ImageControl(WindowView& win, const Control& c, QWidget* parent) : ControlView(win, c) {
  auto* l = new QLabel(parent);
  l->setScaledContents(true);
  w_ = l;
}

void ImageControl::syncContent(Window&, const Control& c) {
  static_cast<QLabel*>(w_.data())->setPixmap(picture(c.text.empty() ? c.icon : c.text));
}

}  // namespace pf::qt
