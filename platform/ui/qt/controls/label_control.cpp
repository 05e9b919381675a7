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
  auto* l = static_cast<QLabel*>(w_.data());
  Qt::Alignment h = c.align == 'C' ? Qt::AlignHCenter : c.align == 'R' ? Qt::AlignRight : Qt::AlignLeft;
  l->setAlignment(h | (l->wordWrap() ? Qt::AlignTop : Qt::AlignVCenter));
  l->setText(plain(c.text));
}

}  // namespace pf::qt
