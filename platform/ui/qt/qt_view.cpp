#include "platform/ui/qt/qt_view.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QPrinter>
#include <QThread>
#include <QTimer>
#include <cstdlib>

#include "platform/ui/qt/convert.h"
#include "platform/ui/qt/view.h"
#include "platform/ui/ui_internal.h"
#include "platform/ui/window.h"

namespace pf::qt {
namespace {

QPrinter* thePrinter = nullptr;

void scheduleTurn() {
  static bool queued = false;
  if (queued) return;
  queued = true;
  QTimer::singleShot(0, [] {
    queued = false;
    runUntilIdle(false);
  });
}

}  // namespace

void install(bool exitOnHalt) {
  if (theView) return;
  installWindowLayer(exitOnHalt);
  theView = new View();
  setViewObserver(theView);
  setScheduleNotifier(scheduleTurn);
  // A thread that handed its turn over runs from the view's timer, after the window
  // system's other timers have had their turn.
  setHandOverNotifier([] {});
  // From a worker thread: the turn is queued to the GUI thread.
  setOffThreadNotifier([] {
    if (QCoreApplication* app = QCoreApplication::instance())
      QMetaObject::invokeMethod(app, [] { scheduleTurn(); }, Qt::QueuedConnection);
  });
  setArrangeHandler([](MdiArrangement how) {
    if (theView) theView->arrange(how);
  });
  setClipboardBackend({[] { return ss(QGuiApplication::clipboard()->text()); },
                       [](const std::string& t) { QGuiApplication::clipboard()->setText(qs(t)); }});
  theView->schedule();
}

void uninstall() {
  if (!theView) return;
  setViewObserver(nullptr);
  setScheduleNotifier(nullptr);
  setHandOverNotifier(nullptr);
  setOffThreadNotifier(nullptr);
  setArrangeHandler(nullptr);
  setClipboardBackend({});
  delete theView;
  theView = nullptr;
}

void runProgram(Procedure main) {
  install(true);
  setEventLoop([] { QApplication::exec(); }, [] { QCoreApplication::quit(); });
  pf::runProgram(std::move(main));
  setEventLoop(nullptr, nullptr);
  bool halted = desk().haltRequested;
  uninstall();
  if (halted) std::exit(0);
}

void pump(int ms, const std::function<bool()>& until) {
  QElapsedTimer t;
  t.start();
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!pf::programEnded()) runUntilIdle();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (until && until()) return;
    if (t.elapsed() < ms) QThread::msleep(2);
  } while (t.elapsed() < ms);
}

QWidget* widgetFor(std::uintptr_t windowId) {
  if (!theView) return nullptr;
  WindowView* s = theView->find(windowId);
  return s ? s->top : nullptr;
}

QWidget* controlWidget(std::uintptr_t windowId, int feq) {
  if (!theView) return nullptr;
  WindowView* s = theView->find(windowId);
  ControlView* c = s ? s->control(feq) : nullptr;
  return c ? c->focusTarget() : nullptr;
}

QWidget* frameWidget() { return theView ? theView->frameWidget() : nullptr; }

QImage screenshot(std::uintptr_t windowId) {
  QWidget* w = windowId ? widgetFor(windowId) : frameWidget();
  if (!w && activeWindow()) w = widgetFor(activeWindow()->id());
  if (!w) return QImage();
  return w->grab().toImage();
}

QPrinter& printer() {
  if (!thePrinter) thePrinter = new QPrinter(QPrinter::HighResolution);
  return *thePrinter;
}

}  // namespace pf::qt
