#include "platform/os/help_window.h"

#include <QIcon>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

#include "platform/classes/help_controller.h"

namespace pf {
namespace {

// Resolves links between pages inside the help file itself.
class HelpBrowser : public QTextBrowser {
 public:
  std::string file;

  QVariant loadResource(int type, const QUrl& name) override {
    if (type == QTextDocument::HtmlResource) {
      if (const HelpBook* book = findHelpBook(file)) {
        QString page = name.path();
        if (page.startsWith('/')) page.remove(0, 1);
        auto it = book->pages.find(page.toStdString());
        if (it != book->pages.end()) {
          helpShown().push_back({file, it->first, true});
          return QString::fromStdString(it->second);
        }
      }
    }
    return QTextBrowser::loadResource(type, name);
  }
};

class QtHelpViewer : public HelpViewer {
 public:
  void show(const HelpShown& what, const std::string& html) override {
    if (!window_) {
      window_ = new HelpBrowser;
      window_->setAttribute(Qt::WA_DeleteOnClose);
      window_->setOpenLinks(true);
      window_->setOpenExternalLinks(false);
      window_->resize(560, 480);
    }
    window_->file = what.file;
    window_->setWindowTitle(QString::fromStdString(what.file + " - Help"));
    window_->setHtml(QString::fromStdString(html));
    window_->show();
    window_->raise();
    window_->activateWindow();
  }
  void close() {
    if (window_) window_->close();
  }

 private:
  QPointer<HelpBrowser> window_;
};

QtHelpViewer* viewer = nullptr;

}  // namespace

void installQtHelpViewer() {
  if (!viewer) viewer = new QtHelpViewer;
  setHelpViewer(viewer);
}

void closeQtHelpViewer() {
  if (viewer) viewer->close();
}

}  // namespace pf
