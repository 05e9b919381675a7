#include "platform/os/desktop.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace pf {
namespace {

class QtDesktopShell : public DesktopShell {
 public:
  bool openUrl(const std::string& address) override {
    // Strict parsing: an address Qt would have to guess at is not opened.
    QUrl url(QString::fromStdString(address).trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.isLocalFile() || url.scheme().isEmpty()) return false;
    return QDesktopServices::openUrl(url);
  }
};

QtDesktopShell defaultShell;
DesktopShell* installedShell = nullptr;
DragSetting defaultDrag;
DragSetting* installedDrag = nullptr;

}  // namespace

DesktopShell& desktopShell() { return installedShell ? *installedShell : defaultShell; }
void setDesktopShell(DesktopShell* shell) { installedShell = shell; }
DragSetting& dragSetting() { return installedDrag ? *installedDrag : defaultDrag; }
void setDragSetting(DragSetting* setting) { installedDrag = setting; }

}  // namespace pf
