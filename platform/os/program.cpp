#include "platform/os/program.h"

#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QShortcutEvent>
#include <QToolButton>

#include "platform/os/help_window.h"
#include "platform/ui/qt/qt_view.h"

namespace pf {
namespace {

class DesktopGuard : public QObject {
 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    // Once the program has ended, its event loop must end too: a window that still
    // refuses to close (a view widget whose model window is gone) may not veto it.
    if (o == QCoreApplication::instance() && e->type() == QEvent::Quit && programEnded()) {
      QCoreApplication::exit(0);
      return true;
    }
    // A toolbar button's Alt key that a menu title shares ("&Websites", "&Window")
    // would only move the focus: the button is pressed, the menus stay reachable by
    // F10 and the mouse.
    if (e->type() == QEvent::Shortcut && static_cast<QShortcutEvent*>(e)->isAmbiguous()) {
      if (auto* b = qobject_cast<QToolButton*>(o); b && b->isEnabled() && b->isVisible()) {
        b->click();
        return true;
      }
    }
    return false;
  }
};

}  // namespace

void runOnDesktop(Procedure main) {
  DesktopGuard guard;
  QCoreApplication::instance()->installEventFilter(&guard);
  // The help window must not keep the program alive once the frame is gone.
  QApplication::setQuitOnLastWindowClosed(false);
  installQtHelpViewer();
  qt::runProgram(std::move(main));
  closeQtHelpViewer();
  QCoreApplication::instance()->removeEventFilter(&guard);
}

int runDesktopProgram(int argc, char** argv, Procedure main) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Quillbox");
  runOnDesktop(std::move(main));
  return 0;
}

}  // namespace pf
