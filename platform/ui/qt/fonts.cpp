#include "platform/ui/qt/fonts.h"

#include <map>

#include "platform/ui/qt/convert.h"

namespace pf::qt {

QString familyFor(const std::string& designName) {
  static const std::map<QString, QString> free = {
      {"ms sans serif", "Liberation Sans"},   {"microsoft sans serif", "Liberation Sans"},
      {"ms shell dlg", "Liberation Sans"},    {"ms shell dlg 2", "Liberation Sans"},
      {"arial", "Liberation Sans"},           {"helvetica", "Liberation Sans"},
      {"times new roman", "Liberation Serif"}, {"ms serif", "Liberation Serif"},
      {"times", "Liberation Serif"},          {"courier new", "Liberation Mono"},
      {"courier", "Liberation Mono"},
  };
  QString name = qs(designName).trimmed();
  auto it = free.find(name.toLower());
  return it == free.end() ? name : it->second;
}

QFont fontOf(const Font& f, const QFont& base) {
  QFont q = base;
  if (!f.name.empty()) q.setFamily(familyFor(f.name));
  if (f.size > 0) q.setPointSize(f.size);
  if (f.style >= 700) q.setBold(true);
  return q;
}

}  // namespace pf::qt
