// The widget that shows an open box or dialog of the model; it answers the model when the
// user closes it. Every one but the printer set-up is modeless: the asking thread waits,
// other windows stay live.
#pragma once

#include "platform/ui/ui.h"

class QWidget;

namespace pf::qt {

QWidget* showDialog(Dialog& d, QWidget* parent);

}  // namespace pf::qt
