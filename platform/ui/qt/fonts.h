// The designs name Windows fonts; we draw them in metric-compatible free fonts, so that a
// text takes the room its design gave it.
#pragma once

#include <QFont>
#include <QString>
#include <string>

#include "platform/ui/controls.h"

namespace pf::qt {

// "MS Sans Serif" and "Arial" -> "Liberation Sans", "Times New Roman" -> "Liberation Serif",
// "Courier New" -> "Liberation Mono" (letter case ignored); any other name as given.
QString familyFor(const std::string& designName);
// The font of a control or window: `base` with the design's name, size and weight.
QFont fontOf(const Font& f, const QFont& base);

}  // namespace pf::qt
