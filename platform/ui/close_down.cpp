// The frame's close: every other thread's windows go first, through their own close
// handling (a changed form asks whether to save). The frame closes when none is left; a
// window that stays open after its CloseDown ends the round, and nothing closes later
// because of it.
#include <set>

#include "platform/runtime/runtime.h"
#include "platform/ui/ui_internal.h"

namespace pf {
namespace {

CloseDownRound& round() { return desk().closeDown; }

void reply(Window& w, bool closed) {
  auto& r = round();
  if (!r.active || !r.asked.erase(w.id())) return;
  Event e;
  e.code = EVENT::CloseDownReply;
  e.window = r.frame;
  e.param = closed ? 1 : 0;
  post(std::move(e), r.frameThread);
}

// Asks the top window of every other thread that has not been asked yet; false when no
// other thread has a window open.
bool askOthers() {
  auto& r = round();
  std::set<int> threads;
  for (Window* w : windowsInZOrder())
    if (w->isOpen() && w->thread() != r.frameThread) threads.insert(w->thread());
  for (int t : threads) {
    Window* top = topWindow(t);
    if (!top || r.asked.count(top->id())) continue;
    r.asked.insert(top->id());
    top->post(EVENT::CloseDown);
  }
  return !threads.empty();
}

}  // namespace

bool beginCloseDown(Window& frame) {
  auto& r = round();
  if (!threadAlive(frame.thread())) return false;   // the program is ending anyway
  if (!r.active || r.frame != frame.id()) {
    endCloseDown();
    r.active = true;
    r.frame = frame.id();
    r.frameThread = frame.thread();
  }
  if (askOthers()) return true;
  endCloseDown();
  return false;
}

void endCloseDown() { round() = CloseDownRound{}; }

void closeDownReply(const Event& e) {
  auto& r = round();
  if (!r.active || e.window != r.frame) return;
  Window* frame = findWindow(r.frame);
  if (!frame || !frame->isOpen() || e.param == 0) {
    endCloseDown();
    return;
  }
  if (askOthers()) return;
  endCloseDown();
  frame->closeNow();
}

void closeDownClosed(Window& w) { reply(w, true); }
void closeDownIdle(Window& w) { reply(w, false); }

}  // namespace pf
