#include "platform/ui/ui.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "platform/runtime/queue_pick.h"
#include "platform/runtime/message.h"
#include "platform/runtime/runtime.h"
#include "platform/ui/ui_internal.h"

namespace pf {

Desk& desk() {
  static Desk* d = new Desk();   // outlives fibers unwound at exit
  return *d;
}

void notifyProgram() {
  if (desk().view) desk().view->programChanged();
}

namespace {

Window::Impl& impl(Window& w) { return WindowAccess::of(w); }

void postTo(Window& w, int code) {
  Event e;
  e.code = code;
  e.window = w.id();
  post(std::move(e), w.thread());
}

void eraseId(std::vector<std::uintptr_t>& v, std::uintptr_t id) {
  v.erase(std::remove(v.begin(), v.end(), id), v.end());
}

// Frames stay behind everything: their children are drawn inside them.
void toFront(std::uintptr_t id) {
  auto& d = desk();
  eraseId(d.z, id);
  Window* w = findWindow(id);
  if (w && w->kind() == WindowKind::Frame)
    d.z.push_back(id);
  else
    d.z.insert(d.z.begin(), id);
}

}  // namespace

bool threadBlocked(int thread) {
  for (const auto& dlg : desk().dialogs)
    if (dlg->thread == thread && !dlg->answered) return true;
  return false;
}

void deskOpened(Window& w) {
  auto& d = desk();
  d.opened.push_back(w.id());
  toFront(w.id());
  std::uintptr_t old = d.active;
  d.active = w.id();
  if (old && old != w.id())
    if (Window* o = findWindow(old); o && o->isOpen()) postTo(*o, EVENT::LoseFocus);
  notifyProgram();
}

void deskClosed(Window& w) {
  auto& d = desk();
  eraseId(d.opened, w.id());
  eraseId(d.z, w.id());
  if (d.active == w.id()) {
    d.active = 0;
    Window* next = topWindow(w.thread());
    if (!next && !d.z.empty()) next = findWindow(d.z.front());
    if (next) {
      // A window lower on its own thread can only be reached through that thread's top.
      if (Window* top = topWindow(next->thread())) next = top;
      d.active = next->id();
      toFront(next->id());
      postTo(*next, EVENT::GainFocus);
    }
  }
  notifyProgram();
}

void deskActivate(Window& w, bool postEvents) {
  auto& d = desk();
  if (!w.isOpen()) return;
  Window* target = topWindow(w.thread());
  if (!target) target = &w;
  toFront(target->id());
  if (d.active != target->id()) {
    std::uintptr_t old = d.active;
    d.active = target->id();
    if (postEvents) {
      if (Window* o = findWindow(old); o && o->isOpen()) postTo(*o, EVENT::LoseFocus);
      postTo(*target, EVENT::GainFocus);
    }
  }
  notifyProgram();
}

Window* findWindow(std::uintptr_t id) {
  auto& d = desk();
  auto it = d.windows.find(id);
  return it == d.windows.end() ? nullptr : it->second;
}

std::vector<Window*> windowsInZOrder() {
  std::vector<Window*> out;
  for (auto id : desk().z)
    if (Window* w = findWindow(id)) out.push_back(w);
  return out;
}

Window* activeWindow() { return findWindow(desk().active); }

Window* topWindow(int thread) {
  if (thread == 0) thread = pf::thread();
  auto& o = desk().opened;
  for (auto it = o.rbegin(); it != o.rend(); ++it)
    if (Window* w = findWindow(*it); w && w->thread() == thread) return w;
  return nullptr;
}

Window* appFrame() {
  for (auto id : desk().opened)
    if (Window* w = findWindow(id); w && w->kind() == WindowKind::Frame) return w;
  return nullptr;
}

void setFrameStatus(int zone, const std::string& text) {
  Window* w = appFrame();
  if (!w) w = topWindow();
  if (w) w->setStatusText(zone, text);
}

void setKeyAlias(int from, int to) {
  if (from == to)
    desk().aliases.erase(from);
  else
    desk().aliases[from] = to;
}
void clearKeyAlias(int from) { desk().aliases.erase(from); }
int aliasOf(int key) {
  auto& a = desk().aliases;
  auto it = a.find(key);
  return it == a.end() ? key : it->second;
}

void setNoTips(bool off) {
  desk().noTips = off;
  notifyProgram();
}
bool noTips() { return desk().noTips; }

void beep() {
  ++desk().beeps;
  notifyProgram();
}
int beepCount() { return desk().beeps; }

void raiseWindow(Window& w) {
  if (!w.isOpen()) return;
  ++desk().raises;
  deskActivate(w, true);
}

int raiseCount() { return desk().raises; }

void pushWaitCursor() {
  ++desk().waitDepth;
  notifyProgram();
}
void popWaitCursor() {
  if (desk().waitDepth > 0) --desk().waitDepth;
  notifyProgram();
}
int waitCursorDepth() { return desk().waitDepth; }
void setProgramCursor(const std::string& cursor) {
  desk().cursor = cursor;
  notifyProgram();
}
const std::string& programCursor() { return desk().cursor; }

std::string clipboard() {
  auto& d = desk();
  return d.clipBackend.get ? d.clipBackend.get() : d.clip;
}
void setClipboard(const std::string& text) {
  auto& d = desk();
  if (d.clipBackend.set)
    d.clipBackend.set(text);
  else
    d.clip = text;
}
void setClipboardBackend(ClipboardBackend backend) { desk().clipBackend = std::move(backend); }

std::vector<std::string> splitButtons(const std::string& buttons) {
  std::vector<std::string> out;
  if (buttons.empty()) return {"&OK"};
  std::size_t start = 0;
  while (start <= buttons.size()) {
    std::size_t bar = buttons.find('|', start);
    out.push_back(buttons.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return out;
}

std::vector<std::string> messageLines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t bar = text.find('|', start);
    out.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return out;
}

std::string stripAmpersand(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&') {
      if (i + 1 < s.size() && s[i + 1] == '&') { out += '&'; ++i; }
      continue;
    }
    out += s[i];
  }
  return out;
}

// --- boxes -------------------------------------------------------------------------------
namespace {

// Shows a box on the calling thread and waits for its answer. Removed from the screen
// also when the wait is cut short by the end of the program.
Dialog waitForDialog(Dialog proto) {
  auto& d = desk();
  auto owned = std::make_unique<Dialog>(std::move(proto));
  owned->id = d.nextDialog++;
  owned->thread = pf::thread();
  Dialog* dlg = owned.get();
  d.dialogs.push_back(std::move(owned));
  d.history.push_back(*dlg);
  int id = dlg->id;
  struct Remove {
    int id;
    ~Remove() {
      auto& dd = desk();
      for (auto it = dd.dialogs.begin(); it != dd.dialogs.end(); ++it)
        if ((*it)->id == id) {
          for (auto& h : dd.history)
            if (h.id == id) h = **it;
          dd.dialogs.erase(it);
          break;
        }
      if (dd.view) dd.view->dialogClosed(id);
      notifyProgram();
    }
  } remove{id};
  if (d.view) d.view->dialogOpened(*dlg);
  notifyProgram();
  if (!inProgramThread()) {
    // Nobody can answer while we hold the scheduler's stack: the default answer stands.
    dlg->answered = true;
    dlg->answer = dlg->kind == DialogKind::Message ? dlg->message.defaultButton : 0;
    return *dlg;
  }
  // The windows of this thread go on ticking while the box waits (the frame's clock).
  const int me = pf::thread();
  auto tick = [me](const Event& e) {
    Window* w = e.code == EVENT::Timer && e.window ? findWindow(e.window) : nullptr;
    return w && w->isOpen() && w->thread() == me;
  };
  for (;;) {
    waitUntil([id, &tick] {
      Dialog* x = findDialog(id);
      return !x || x->answered || queueHolds(tick);
    });
    Event t;
    if (!takeEvent(tick, t)) break;
    if (Window* w = findWindow(t.window)) tickCovered(*w, t);
  }
  Dialog* x = findDialog(id);
  return x ? *x : Dialog{};
}

int showMessage(const MessageRequest& r) {
  Dialog proto;
  proto.kind = DialogKind::Message;
  proto.message = r;
  proto.buttons = splitButtons(r.buttons);
  if (proto.message.defaultButton < 1 || proto.message.defaultButton > static_cast<int>(proto.buttons.size()))
    proto.message.defaultButton = 1;
  Dialog done = waitForDialog(std::move(proto));
  return done.answer;
}

void showHalt(const std::string& text) {
  Dialog proto;
  proto.kind = DialogKind::Halt;
  proto.message.text = text;
  proto.message.caption = "Halt";
  proto.message.icon = Icon::Hand;
  proto.buttons = {"&OK"};
  waitForDialog(std::move(proto));
  if (desk().exitOnHalt) desk().haltRequested = true;
}

}  // namespace

std::vector<PopupItem> popupItems(const std::string& menu) {
  std::vector<PopupItem> out;
  int depth = 0, number = 0;
  std::string cur;
  auto flush = [&](bool opensSubmenu) {
    if (cur.empty() && !opensSubmenu) return;
    PopupItem it;
    it.depth = depth;
    if (cur == "-") {
      it.separator = true;
    } else {
      it.disabled = !cur.empty() && cur[0] == '~';
      it.text = it.disabled ? cur.substr(1) : cur;
      it.submenu = opensSubmenu;
      if (!opensSubmenu) it.number = ++number;
    }
    out.push_back(std::move(it));
    cur.clear();
  };
  for (char c : menu) {
    if (c == '|') {
      flush(false);
    } else if (c == '{') {
      flush(true);
      ++depth;
    } else if (c == '}') {
      flush(false);
      if (depth > 0) --depth;
    } else {
      cur += c;
    }
  }
  flush(false);
  return out;
}

int popup(const std::string& menu) {
  Dialog proto;
  proto.kind = DialogKind::Popup;
  proto.message.text = menu;
  auto items = popupItems(menu);
  for (const auto& it : items)
    if (it.number) proto.buttons.push_back(it.text);
  int answer = waitForDialog(std::move(proto)).answer;
  for (const auto& it : items)
    if (it.number == answer) return it.disabled ? 0 : answer;
  return 0;
}

namespace {
std::function<void(MdiArrangement)>& arrangeHandler() {
  static std::function<void(MdiArrangement)> h;
  return h;
}
int arrangements = 0;
}  // namespace

void arrangeChildren(MdiArrangement how) {
  ++arrangements;
  if (arrangeHandler()) arrangeHandler()(how);
}
void setArrangeHandler(std::function<void(MdiArrangement)> handler) {
  arrangeHandler() = std::move(handler);
}
int arrangeCount() { return arrangements; }

int printerSetup(bool printing) {
  Dialog proto;
  proto.kind = DialogKind::PrinterSetup;
  proto.printer = desk().printer;
  proto.printing = printing;
  Dialog done = waitForDialog(std::move(proto));
  if (done.answer != 1) return 0;
  setPrinterChoice(done.printer);
  return 1;
}

PrinterChoice printerChoice() { return desk().printer; }

void setPrinterChoice(const PrinterChoice& choice) {
  desk().printer = choice;
  if (desk().printer.copies < 1) desk().printer.copies = 1;
}

void answerPrinterSetup(int id, const PrinterChoice& chosen) {
  Dialog* d = findDialog(id);
  if (!d || d->answered || d->kind != DialogKind::PrinterSetup) return;
  d->printer = chosen;
  answerDialog(id, 1);
}

std::vector<std::string> desktopPrinters() {
  auto& d = desk();
  if (d.printers) return *d.printers;
  if (d.view)
    if (auto names = d.view->printers()) return *names;
  return {"Printer"};
}

void setDesktopPrinters(std::vector<std::string> names) { desk().printers = std::move(names); }

std::int32_t calendarDialog(const CalendarRequest& r) {
  Dialog proto;
  proto.kind = DialogKind::Calendar;
  proto.calendar = r;
  if (proto.calendar.date == 0) proto.calendar.date = today();
  Dialog done = waitForDialog(std::move(proto));
  return done.answer ? done.answerDate : 0;
}

bool fileDialog(const FileRequest& r, std::string& fileName) {
  FileRequest ask = r;
  for (;;) {
    Dialog proto;
    proto.kind = r.save ? DialogKind::SaveFile : DialogKind::OpenFile;
    proto.file = ask;
    Dialog done = waitForDialog(std::move(proto));
    if (!done.answer || done.answerText.empty()) return false;
    // The name chosen is the file written, spelt exactly so: a file of just that name is
    // replaced only when the user says so, and one spelt otherwise is another file.
    struct stat st {};
    if (r.save && ::lstat(done.answerText.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) &&
        message(done.answerText + " already exists.|Do you want to replace it?", r.title, Icon::Exclamation,
                "&Yes|&No", 2) != 1) {
      ask.fileName = done.answerText;
      continue;
    }
    fileName = done.answerText;
    return true;
  }
}

std::vector<Dialog*> openDialogs() {
  std::vector<Dialog*> out;
  auto& d = desk().dialogs;
  for (auto it = d.rbegin(); it != d.rend(); ++it)
    if (!(*it)->answered) out.push_back(it->get());
  return out;
}

Dialog* findDialog(int id) {
  for (auto& d : desk().dialogs)
    if (d->id == id) return d.get();
  return nullptr;
}

void answerDialog(int id, int answer, const std::string& text, std::int32_t date) {
  Dialog* d = findDialog(id);
  if (!d || d->answered) return;
  d->answered = true;
  d->answer = answer;
  d->answerText = text;
  d->answerDate = date;
  wake(d->thread);
}

DesktopArea desktopArea(const Window& w) {
  if (ViewObserver* v = desk().view)
    if (auto a = v->desktopArea(w)) return *a;
  return {0, 0, 853, 630};   // 1280 by 1024 pixels at 1.5 and 1.625 pixels a unit
}

void setViewObserver(ViewObserver* v) { desk().view = v; }
ViewObserver* viewObserver() { return desk().view; }

void installWindowLayer(bool exitOnHalt) {
  auto& d = desk();
  d.installed = true;
  d.exitOnHalt = exitOnHalt;
  setMessageHandler(showMessage);
  setHaltHandler(showHalt);
}

// --- timers -------------------------------------------------------------------------------
namespace {
constexpr std::int64_t kDay = 8640000;
}

std::int64_t nowHundredths() {
  return static_cast<std::int64_t>(today()) * kDay + clockTime() - 1;
}

std::int64_t nextTimerDue() {
  std::int64_t best = 0;
  for (auto id : desk().opened) {
    Window* w = findWindow(id);
    if (!w) continue;
    auto& m = impl(*w);
    if (m.attrs.timer <= 0 || m.timerPending) continue;
    if (best == 0 || m.timerDue < best) best = m.timerDue;
  }
  return best;
}

void pollTimers() {
  std::int64_t now = nowHundredths();
  std::vector<std::uintptr_t> ids = desk().opened;
  for (auto id : ids) {
    Window* w = findWindow(id);
    if (!w || !w->isOpen()) continue;
    auto& m = impl(*w);
    if (m.attrs.timer <= 0 || m.timerPending) continue;
    if (m.timerDue > now) continue;
    m.timerPending = true;
    m.timerDue = now + m.attrs.timer;
    postTo(*w, EVENT::Timer);
  }
}

void resetWindowLayer() {
  auto& d = desk();
  d.z.clear();
  d.opened.clear();
  d.active = 0;
  d.dialogs.clear();
  d.history.clear();
  d.aliases.clear();
  d.noTips = false;
  d.waitDepth = 0;
  d.cursor.clear();
  d.clip.clear();
  d.beeps = 0;
  d.haltRequested = false;
  d.closeDown = CloseDownRound{};
  d.printer = PrinterChoice{};
  d.printers.reset();
  for (auto& [id, w] : d.windows) impl(*w).open = false;
}

}  // namespace pf
