#include "platform/ui/qt/controls/label_control.h"

#include <QLabel>

#include "platform/ui/keys.h"
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
  // A prompt's hot key is drawn underlined (a label shows it only when it has a buddy); the
  // key itself is the model's, which hands the focus to the control after the prompt.
  if (c.kind == Kind::Prompt && mnemonicKey(c.text)) {
    if (l->buddy() != l) l->setBuddy(l);
    l->setText(qs(c.text));
  } else {
    l->setText(plain(c.text));
  }
}

}  // namespace pf::qt
