// Dialog units of a window, from its font as the layouts were measured: x a quarter of the
// mean advance of the letters A-Z and a-z, y an eighth of the font's height.
#pragma once

#include <QFont>
#include <QRect>
#include <algorithm>

#include "platform/ui/controls.h"

namespace pf::qt {

struct Units {
  double x = 1.5, y = 1.625;   // pixels per unit
  int px(int du) const { return static_cast<int>(du * x + 0.5); }
  int py(int du) const { return static_cast<int>(du * y + 0.5); }
  int dx(int px) const { return static_cast<int>(px / x + 0.5); }
  int dy(int py) const { return static_cast<int>(py / y + 0.5); }
  QRect rect(const Control& c) const {
    return QRect(px(c.x), py(c.y), std::max(1, px(c.w)), std::max(1, py(c.h)));
  }
};

Units unitsOf(const QFont& f);

}  // namespace pf::qt
