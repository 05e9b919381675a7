// The main program on the offscreen Qt desktop, played by steps on timers.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/os/program.h"
#include "platform/runtime/runtime.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "shell/main_program.h"

namespace qbtest {

// QApplication keeps argc by reference, so the arguments live beside it.
class QtApp {
 public:
  QtApp() = default;
  QtApp(const QtApp&) = delete;
  QtApp& operator=(const QtApp&) = delete;

 private:
  int argc_ = 1;
  char name_[5] = "test";
  char* argv_[2] = {name_, nullptr};
  QApplication app_{argc_, argv_};
};

inline pf::Window* findByName(const std::string& name) {
  for (pf::Window* w : pf::windowsInZOrder())
    if (w->name() == name) return w;
  return nullptr;
}

// A browse control's tree may be the control's widget or sit inside it.
inline QTreeWidget* treeOf(pf::Window& w, int feq) {
  QWidget* c = pf::qt::controlWidget(w.id(), feq);
  if (!c) return nullptr;
  if (auto* t = qobject_cast<QTreeWidget*>(c)) return t;
  return c->findChild<QTreeWidget*>();
}

// Calls `then` once the program has settled: the frame is shown, no program thread can
// run, no off-thread job is at work, no window but the frame (its clock) has a timer
// running (a pass walks on its window's timer), and the Qt loop has turned a few times with
// nothing new to do (the view's syncs and the widgets' own posted events are done).
struct Settling {
  int quiet = 0;
  std::function<void()> then;
};
inline bool timerRunning() {
  for (pf::Window* w : pf::windowsInZOrder())
    if (w->isOpen() && w != pf::appFrame() && w->propInt(0, pf::Prop::Timer) > 0) return true;
  return false;
}
inline void pollSettled(const std::shared_ptr<Settling>& s) {
  if (pf::programEnded()) return;
  const bool busy = pf::anyRunnable() || pf::offThreadJobsRunning() || timerRunning() || !pf::qt::frameWidget() ||
                    !pf::qt::frameWidget()->isVisible();
  s->quiet = busy ? 0 : s->quiet + 1;
  if (s->quiet < 10)
    QTimer::singleShot(0, [s] { pollSettled(s); });
  else
    s->then();
}
inline void whenSettled(std::function<void()> then) {
  auto s = std::make_shared<Settling>(Settling{0, std::move(then)});
  QTimer::singleShot(0, [s] { pollSettled(s); });
}

// Runs the main program, taking each step once the program has settled after the one
// before; a stuck run is ended after 30 seconds rather than hanging the suite.
inline void runMainProgramWith(const std::vector<std::function<void()>>& steps) {
  std::function<void(std::size_t)> next = [&](std::size_t i) {
    if (i < steps.size())
      whenSettled([&, i] {
        steps[i]();
        next(i + 1);
      });
  };
  next(0);
  QTimer::singleShot(30000, [] { pf::endAllThreads(); });
  pf::runOnDesktop(qb::MainProgram);
}

// One step of a run: `act` once `ready` holds (checked every few milliseconds).
struct QtStep {
  std::function<bool()> ready;
  std::function<void()> act;
};

// Runs the main program, taking each step as soon as it is ready; a step that is not ready
// within `deadlineMs` of the start ends the run. Answers how many steps were taken.
inline std::size_t runMainProgramWhen(const std::vector<QtStep>& steps, int deadlineMs = 30000) {
  std::size_t next = 0;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (next < steps.size() && steps[next].ready()) steps[next++].act();
  });
  poll.start();
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, [] { pf::endAllThreads(); });
  deadline.start(deadlineMs);
  pf::runOnDesktop(qb::MainProgram);
  return next;
}

}  // namespace qbtest
