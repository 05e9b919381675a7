#include "platform/ui/qt/dialog_units.h"

#include <QFontMetrics>

#include "platform/ui/qt/convert.h"

namespace pf::qt {

QFont fontOf(const Font& f, const QFont& base) {
  QFont q = base;
  if (!f.name.empty()) q.setFamily(qs(f.name));
  if (f.size > 0) q.setPointSize(f.size);
  if (f.style >= 700) q.setBold(true);
  return q;
}

Units unitsOf(const QFont& f) {
  QFontMetrics fm(f);
  Units u;
  u.x = std::max(1.0, fm.averageCharWidth() / 4.0);
  u.y = std::max(1.0, fm.height() / 8.0);
  return u;
}

}  // namespace pf::qt
