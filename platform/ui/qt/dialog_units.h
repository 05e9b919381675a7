// Dialog units of a window and the fonts its controls are drawn in.
#pragma once

#include <QFont>
#include <QRect>
#include <algorithm>

#include "platform/ui/controls.h"

namespace pf::qt {

// x: a quarter of the font's average character width, y: an eighth of its height.
struct Units {
  double x = 1.5, y = 1.625;
  int px(int du) const { return static_cast<int>(du * x + 0.5); }
  int py(int du) const { return static_cast<int>(du * y + 0.5); }
  int dx(int px) const { return static_cast<int>(px / x + 0.5); }
  int dy(int py) const { return static_cast<int>(py / y + 0.5); }
  QRect rect(const Control& c) const {
    return QRect(px(c.x), py(c.y), std::max(1, px(c.w)), std::max(1, py(c.h)));
  }
};

QFont fontOf(const Font& f, const QFont& base);
Units unitsOf(const QFont& f);

}  // namespace pf::qt
