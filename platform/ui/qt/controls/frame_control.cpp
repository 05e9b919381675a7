#include "platform/ui/qt/controls/frame_control.h"

#include <QFrame>

#include "platform/ui/qt/convert.h"

namespace pf::qt {

FrameControl::FrameControl(WindowView& win, const Control& c, QWidget* parent) : ControlView(win, c) {
  auto* f = new QFrame(parent);
  if (c.kind == Kind::Line) f->setFrameShape(c.w >= c.h ? QFrame::HLine : QFrame::VLine);
  else if (c.kind == Kind::Panel) f->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  else f->setFrameStyle(QFrame::Box | QFrame::Plain);
  w_ = f;
}

void FrameControl::syncContent(Window&, const Control& c) {
  if (c.kind != Kind::Box) return;
  auto* f = static_cast<QFrame*>(w_.data());
  QPalette pal = f->palette();
  if (c.fill != -1) {
    pal.setColor(QPalette::Window, bgr(c.fill));
    f->setAutoFillBackground(true);
  }
  if (c.color != -1) pal.setColor(QPalette::WindowText, bgr(c.color));
  f->setPalette(pal);
}

}  // namespace pf::qt
