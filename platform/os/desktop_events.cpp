#include "platform/os/desktop_events.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>

namespace pf {

void processDesktopEvents(int milliseconds) {
  static int argc = 1;
  static char name[] = "quillbox";
  static char* argv[] = {name, nullptr};
  // Never destroyed: at process exit Qt's own statics may already be gone.
  if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
  QDeadlineTimer deadline(milliseconds);
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  } while (!deadline.hasExpired());
}

}  // namespace pf
