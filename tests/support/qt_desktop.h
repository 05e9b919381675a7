// The main program on the offscreen Qt desktop, played by steps on timers.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

#include "platform/os/program.h"
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

// Runs the main program, taking one step at a time once the frame has had time to
// come up; a stuck run is ended after 30 seconds rather than hanging the suite.
inline void runMainProgramWith(const std::vector<std::function<void()>>& steps) {
  std::function<void(std::size_t)> next = [&](std::size_t i) {
    if (i < steps.size())
      QTimer::singleShot(i == 0 ? 1200 : 500, [&, i] {
        steps[i]();
        next(i + 1);
      });
  };
  next(0);
  QTimer::singleShot(30000, [] { pf::endAllThreads(); });
  pf::runOnDesktop(qb::MainProgram);
}

}  // namespace qbtest
