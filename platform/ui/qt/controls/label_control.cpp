#include "platform/ui/qt/controls/label_control.h"

#include <QLabel>

#include "platform/ui/qt/convert.h"

namespace pf::qt {

LabelControl::LabelControl(WindowView& win, const Control& c, QWidget* parent) : ControlView(win, c) {
  auto* l = new QLabel(parent);
  l->setWordWrap(c.h > 12);
  w_ = l;
}

void LabelControl::syncContent(Window&, const Control& c) {
  static_cast<QLabel*>(w_.data())->setText(plain(c.text));
}

}  // namespace pf::qt
