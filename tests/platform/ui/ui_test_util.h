// A procedure for the window tests: opens a layout and writes down every event it sees as
// "Accepted ?OK", so a test can compare what the procedure saw with what it expected.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/runtime/events.h"
#include "platform/ui/window.h"

namespace uitest {

inline std::string eventName(int code) {
  using namespace pf::EVENT;
  switch (code) {
    case Accepted: return "Accepted";
    case NewSelection: return "NewSelection";
    case ScrollUp: return "ScrollUp";
    case ScrollDown: return "ScrollDown";
    case PageUp: return "PageUp";
    case PageDown: return "PageDown";
    case ScrollTop: return "ScrollTop";
    case ScrollBottom: return "ScrollBottom";
    case ScrollDrag: return "ScrollDrag";
    case MouseDown: return "MouseDown";
    case MouseUp: return "MouseUp";
    case MouseMove: return "MouseMove";
    case AlertKey: return "AlertKey";
    case Dragging: return "Dragging";
    case ColumnResize: return "ColumnResize";
    case Selected: return "Selected";
    case Rejected: return "Rejected";
    case CloseWindow: return "CloseWindow";
    case CloseDown: return "CloseDown";
    case OpenWindow: return "OpenWindow";
    case LoseFocus: return "LoseFocus";
    case GainFocus: return "GainFocus";
    case Timer: return "Timer";
    case Completed: return "Completed";
    case Sized: return "Sized";
    case Restored: return "Restored";
    case Maximized: return "Maximized";
    case Iconized: return "Iconized";
    case Moved: return "Moved";
    default: return "Event" + std::to_string(code);
  }
}

inline std::string describe(const pf::Window& w) {
  std::string s = eventName(w.event());
  if (w.field() != 0) {
    const pf::Control* c = w.control(w.field());
    s += " " + (c && !c->name.empty() ? c->name : std::to_string(w.field()));
  }
  return s;
}

// Runs `layout` as a window, logging each event; `react` may act on it (return false to
// leave the loop).
struct Recorder {
  std::vector<std::string> log;
  void clear() { log.clear(); }
};

inline void runWindow(pf::Window& w, Recorder& rec,
                      const std::function<void(pf::Window&)>& react = {}) {
  w.open();
  while (w.accept()) {
    rec.log.push_back(describe(w));
    if (react) react(w);
  }
}

}  // namespace uitest
