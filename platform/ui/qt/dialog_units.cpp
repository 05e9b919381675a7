#include "platform/ui/qt/dialog_units.h"

#include <QFontMetrics>
#include <QFontMetricsF>

namespace pf::qt {

Units unitsOf(const QFont& f) {
  static const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  Units u;
  double mean = QFontMetricsF(f).horizontalAdvance(letters) / letters.size();
  u.x = std::max(1.0, mean / 4.0);
  u.y = std::max(1.0, QFontMetrics(f).height() / 8.0);
  return u;
}

}  // namespace pf::qt
