#include "platform/ui/qt/controls/button_control.h"

#include <QPushButton>
#include <QToolButton>

#include "platform/ui/qt/convert.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/qt/window_view.h"

namespace pf::qt {

ButtonControl::ButtonControl(WindowView& win, const Control& c, QWidget* parent) : ControlView(win, c) {
  QAbstractButton* b;
  if (c.feq < 0) {
    auto* tb = new QToolButton(parent);
    tb->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tb->setAutoRaise(true);
    // A toolbar button takes no focus: a box or a disabled window must not hand it the focus
    // that belongs to a window's control.
    tb->setFocusPolicy(Qt::NoFocus);
    b = tb;
  } else {
    auto* pb = new QPushButton(parent);
    pb->setAutoDefault(false);
    b = pb;
  }
  QObject::connect(b, &QAbstractButton::clicked, [t = target()] {
    if (Window* m = t()) m->userPress(t.feq);
  });
  w_ = b;
}

void ButtonControl::syncContent(Window&, const Control& c) {
  auto* b = static_cast<QAbstractButton*>(w_.data());
  b->setText(qs(c.text));
  if (!c.icon.empty()) {
    b->setIcon(icon(c.icon));
    int side = std::min(win_.u.py(c.h) - 6, 24);
    if (side > 8) b->setIconSize(QSize(side, side));
  }
}

}  // namespace pf::qt
