#include "bench/steps.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

#include "platform/os/program.h"
#include "platform/runtime/runtime.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "shell/main_program.h"

namespace qb::bench {

Desktop::Desktop(int& argc, char** argv, const std::string& folder, const std::function<void(int)>& makeData)
    : n_(argc > 1 ? std::atoi(argv[1]) : static_cast<int>(kDefaultWebsites)), dir_(folder) {
  makeData(n_);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  app_ = std::make_unique<QApplication>(argc, argv);
  qb::installThreadHooks();
  qb::registerHelp();
}

Desktop::~Desktop() = default;

pf::Dialog* boxSaying(const std::string& text) {
  for (pf::Dialog* d : pf::openDialogs())
    if (d->message.text.find(text) != std::string::npos) return d;
  return nullptr;
}

pf::Window* windowNamed(const std::string& name) {
  for (pf::Window* w : pf::windowsInZOrder())
    if (w->name() == name && w->isOpen()) return w;
  return nullptr;
}

void playSteps(std::vector<Step>& steps, Figures& figures) {
  QElapsedTimer clock, turn;
  double maxGap = 0;
  std::size_t at = 0;
  bool waiting = false;
  int settle = 0;
  QTimer poll;
  poll.setInterval(0);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (waiting) maxGap = std::max(maxGap, turn.nsecsElapsed() / 1e6);
    turn.start();
    if (at >= steps.size()) {
      poll.stop();
      pf::appFrame()->userClose();
      return;
    }
    Step& s = steps[at];
    if (!waiting) {
      // Let the previous step settle before the next action.
      if (++settle < 20 || pf::anyRunnable()) return;
      settle = 0;
      maxGap = 0;
      clock.start();
      turn.start();
      s.act();
      waiting = true;
      return;
    }
    bool over = clock.elapsed() > 120000;
    if (!over && !s.done()) return;
    if (!s.name.empty()) figures.record(s.name, over ? -1 : clock.nsecsElapsed() / 1e6);
    if (!s.gap.empty()) figures.record(s.gap, maxGap);
    waiting = false;
    ++at;
  });
  QTimer::singleShot(1500, [&] { poll.start(); });
  QTimer::singleShot(1800000, [] { pf::endAllThreads(); });
  pf::runOnDesktop(qb::MainProgram);
}

}  // namespace qb::bench
