#include "platform/ui/qt/controls/check_control.h"

#include <QCheckBox>
#include <QRadioButton>

#include "platform/ui/qt/convert.h"

namespace pf::qt {

CheckControl::CheckControl(WindowView& win, const Control& c, QWidget* parent) : ControlView(win, c) {
  QAbstractButton* b = c.kind == Kind::Check ? static_cast<QAbstractButton*>(new QCheckBox(parent))
                                             : static_cast<QAbstractButton*>(new QRadioButton(parent));
  b->setAutoExclusive(false);
  QObject::connect(b, &QAbstractButton::clicked, [t = target()] {
    if (Window* m = t()) m->userPress(t.feq);
  });
  w_ = b;
}

void CheckControl::syncContent(Window&, const Control& c) {
  auto* b = static_cast<QAbstractButton*>(w_.data());
  b->setText(qs(c.text));
  b->setChecked(c.checked);
}

}  // namespace pf::qt
