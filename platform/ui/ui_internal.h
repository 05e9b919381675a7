// Shared between window.cpp, ui.cpp and the test driver; not for procedures.
#pragma once

#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/ui/ui.h"
#include "platform/ui/window.h"

namespace pf {

// One user action waiting for the window's thread.
struct Input {
  enum Kind { Focus, Press, Key, Row, DoubleClick, Tab, Scroll, Mouse, ColumnResize, MoveColumn,
              Close, Resize, Move, State, Activate, ListRows, Keystroke };
  Kind kind = Focus;
  int feq = 0;
  int a = 0, b = 0, c = 0;
};

namespace INPUT {
constexpr int Event = 0x3C0;   // Event::param = the input's serial number
}

struct Window::Impl {
  std::uintptr_t id = 0;
  WindowAttrs attrs;
  std::list<Control> controls;   // a list: creating or destroying one moves no other
  std::vector<int> alerts;
  std::map<int, std::string> status;   // zone -> text
  int thread = 0;
  bool open = false;
  bool cycled = false;
  bool acceptAll = false;
  bool iconized = false, maximized = false;
  bool hidden = false;   // opened, but not on the screen
  int focus = 0;
  int mouseX = 0, mouseY = 0;
  int capture = 0;
  int pressX = 0, pressY = 0;
  bool dragging = false;
  Event current;
  bool haveCurrent = false;
  std::deque<Event> ready;
  std::deque<std::function<void()>> steps;
  struct Reg { int event; int control; Window::Handler h; const void* owner; };
  std::vector<Reg> handlers;
  std::uint64_t changes = 0;
  std::int64_t timerDue = 0;
  bool timerPending = false;
  std::map<std::int64_t, Input> inputs;
  std::int64_t nextInput = 1;
};

struct WindowAccess {
  static Window::Impl& of(Window& w) { return *w.d_; }
  static const Window::Impl& of(const Window& w) { return *w.d_; }
};

// The frame's close: the windows of the other threads are asked to close first, each
// thread's top window in turn. One refusal ends it and the frame stays.
struct CloseDownRound {
  bool active = false;
  std::uintptr_t frame = 0;
  int frameThread = 0;
  std::set<std::uintptr_t> asked;   // windows sent CloseDown that have not answered yet
};

struct Desk {
  std::map<std::uintptr_t, Window*> windows;   // every live window object
  std::vector<std::uintptr_t> z;                // open windows, topmost first
  std::vector<std::uintptr_t> opened;           // open windows, in the order they opened
  std::uintptr_t active = 0;
  std::uintptr_t nextId = 1;
  std::vector<std::unique_ptr<Dialog>> dialogs;   // open, oldest first
  std::vector<Dialog> history;
  int nextDialog = 1;
  std::map<int, int> aliases;
  bool noTips = false;
  int waitDepth = 0;
  std::string cursor;
  std::string clip;
  ClipboardBackend clipBackend;
  int beeps = 0;
  int raises = 0;   // requests to bring the program to the front
  ViewObserver* view = nullptr;
  bool installed = false;
  bool exitOnHalt = false;
  bool haltRequested = false;
  CloseDownRound closeDown;
  PrinterChoice printer;
  std::optional<std::vector<std::string>> printers;   // a desktop given by setDesktopPrinters
};

Desk& desk();
bool threadBlocked(int thread);                // a box is open on it
void deskOpened(Window& w);
void deskClosed(Window& w);
void deskActivate(Window& w, bool postEvents);
void notifyProgram();

// The frame's close-down round (close_down.cpp). beginCloseDown answers false when no
// other thread has a window open: the frame closes at once.
bool beginCloseDown(Window& frame);
void endCloseDown();
void closeDownReply(const Event& reply);
// An asked window closed, or it waits for the user again: it refused.
void closeDownClosed(Window& w);
void closeDownIdle(Window& w);

// A timer tick for a window that another window of its thread covers.
void tickCovered(Window& w, const Event& e);

// A control's text replaced; what a masked entry held is overwritten first. The cursor
// goes to the end; a text the program sets is drawn anew with that cursor.
void setEntryText(Control& c, std::string_view text, bool byProgram = true);

}  // namespace pf
