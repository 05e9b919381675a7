#include "platform/ui/qt/resources.h"

#include <QDir>
#include <QIcon>
#include <QPixmap>
#include <cctype>
#include <map>

#include "platform/ui/qt/convert.h"
#include "platform/ui/qt/qt_view.h"

namespace pf::qt {

QString resourcePath(const std::string& name) {
  std::string n = name;
  if (!n.empty() && n[0] == '~') n.erase(0, 1);
  auto dot = n.rfind('.');
  if (dot != std::string::npos) n.erase(dot);
  static std::map<QString, QString> lowerToPath;
  if (lowerToPath.empty()) {
    QDir dir(":/qb/icons");
    for (const QString& f : dir.entryList(QDir::Files)) {
      QString stem = f.left(f.lastIndexOf('.'));
      lowerToPath[stem.toLower()] = dir.filePath(f);
    }
  }
  auto it = lowerToPath.find(qs(n).toLower());
  return it == lowerToPath.end() ? QString() : it->second;
}

QCursor cursorFor(const std::string& name) {
  if (name.empty()) return QCursor(Qt::ArrowCursor);
  std::string l = name;
  for (auto& c : l) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (l == "sizens") return QCursor(Qt::SizeVerCursor);
  if (l == "sizewe") return QCursor(Qt::SizeHorCursor);
  if (l == "wait") return QCursor(Qt::WaitCursor);
  if (l == "hand") return QCursor(Qt::PointingHandCursor);
  if (l == "ibeam") return QCursor(Qt::IBeamCursor);
  if (l == "cross") return QCursor(Qt::CrossCursor);
  QPixmap p = picture(name);
  if (!p.isNull()) return QCursor(p, p.width() * 9 / 32, 1);
  return QCursor(Qt::ArrowCursor);
}

QIcon icon(const std::string& name) {
  QString path = resourcePath(name);
  return path.isEmpty() ? QIcon() : QIcon(path);
}

QPixmap picture(const std::string& name) {
  QString path = resourcePath(name);
  return path.isEmpty() ? QPixmap() : QPixmap(path);
}

}  // namespace pf::qt
