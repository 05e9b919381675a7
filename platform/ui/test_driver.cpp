#include "platform/ui/test_driver.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <stdexcept>

#include "platform/core/strings.h"
#include "platform/core/dates.h"
#include "platform/runtime/message.h"
#include "platform/runtime/testing.h"
#include "platform/ui/keys.h"
#include "platform/ui/ui_internal.h"

namespace pf {
namespace {

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error("user cannot: " + what); }

bool isNumber(const std::string& s) {
  if (s.empty()) return false;
  std::size_t i = (s[0] == '-') ? 1 : 0;
  if (i >= s.size()) return false;
  for (; i < s.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  return true;
}

const char* kindWord(WindowKind k) {
  switch (k) {
    case WindowKind::Frame: return "frame";
    case WindowKind::MdiChild: return "mdi";
    case WindowKind::Plain: return "plain";
  }
  return "";
}

const char* dialogWord(DialogKind k) {
  switch (k) {
    case DialogKind::Message: return "message";
    case DialogKind::Halt: return "halt";
    case DialogKind::PrinterSetup: return "printer setup";
    case DialogKind::Calendar: return "calendar";
    case DialogKind::SaveFile: return "save file";
    case DialogKind::OpenFile: return "open file";
    case DialogKind::Popup: return "popup";
  }
  return "";
}

}  // namespace

struct TestDriver::Impl {
  MessageHandler previousMessage;
  HaltHandler previousHalt;
};

TestDriver::TestDriver(std::int32_t day, std::int32_t time) : d_(new Impl) {
  testing::resetRuntime();
  resetWindowLayer();
  d_->previousMessage = messageHandler();
  d_->previousHalt = haltHandler();
  installWindowLayer(false);
  setViewObserver(nullptr);
  setClipboardBackend({});
  useFakeClock(day ? day : dateToDay(2026, 12, 10), time);
}

TestDriver::~TestDriver() {
  if (!pf::programEnded()) endAllThreads();
  resetWindowLayer();
  testing::resetRuntime();
  setMessageHandler(std::move(d_->previousMessage));
  setHaltHandler(std::move(d_->previousHalt));
  delete d_;
}

void TestDriver::run(Procedure main, const std::function<void()>& user) {
  setEventLoop(
      [this, &user] {
        idle();
        user();
      },
      [] {});
  struct Restore {
    ~Restore() { setEventLoop(nullptr, nullptr); }
  } restore;
  pf::runProgram(std::move(main));
}

int TestDriver::start(Procedure proc, std::string parameter) {
  int n = pf::start(std::move(proc), 50000, std::move(parameter));
  idle();
  return n;
}

void TestDriver::idle() {
  while (!pf::programEnded() && runUntilIdle()) {
  }
}

void TestDriver::advance(std::int32_t hundredths) {
  std::int64_t now = nowHundredths();
  std::int64_t target = now + hundredths;
  for (;;) {
    std::int64_t next = nextTimerDue();
    if (next == 0 || next > target || pf::programEnded()) break;
    if (next > now) advanceFakeClock(static_cast<std::int32_t>(next - now));
    now = nowHundredths();
    pollTimers();
    idle();
    if (nextTimerDue() != 0 && nextTimerDue() <= now) {
      // A timer that fires without time passing would loop forever.
      advanceFakeClock(1);
      now = nowHundredths();
    }
  }
  if (target > now) advanceFakeClock(static_cast<std::int32_t>(target - now));
  pollTimers();
  idle();
}

bool TestDriver::programEnded() const { return pf::programEnded(); }

// --- finding things -----------------------------------------------------------------------
Window& TestDriver::window(const std::string& in) {
  if (in.empty()) {
    Window* w = activeWindow();
    if (!w) fail("find a window: none is open");
    return *w;
  }
  std::string l = lower(in);
  for (Window* w : windowsInZOrder())
    if (lower(w->name()) == l) return *w;
  for (Window* w : windowsInZOrder())
    if (lower(w->caption()) == l) return *w;
  fail("find the window " + in);
}

int TestDriver::feq(const std::string& control, const std::string& in) {
  Window& w = window(in);
  int f = isNumber(control) ? std::stoi(control) : w.feq(control);
  if (f == 0 || !w.control(f)) fail("find " + control + " in " + w.name());
  return f;
}

namespace {

Window& inputWindow(TestDriver& t, const std::string& in) {
  Window& w = t.window(in);
  if (!w.takesInput()) fail("use " + w.name() + ": it takes no input now (a box or another window is open on its thread)");
  return w;
}

void needUsable(Window& w, int feq, const std::string& what) {
  if (!w.visible(feq)) fail(what + " in " + w.name() + ": it is not shown");
  if (!w.propInt(feq, Prop::Enabled)) fail(what + " in " + w.name() + ": it is disabled");
}

// The characters of a UTF-8 text, one string each.
std::vector<std::string> characters(const std::string& s) {
  std::vector<std::string> out;
  for (unsigned char c : s) {
    if (out.empty() || (c & 0xC0) != 0x80) out.emplace_back();
    out.back() += static_cast<char>(c);
  }
  return out;
}

// The key code a typed character comes with.
int keyOfCharacter(const std::string& ch) {
  if (ch.size() != 1) return Key::Typed;
  unsigned char c = static_cast<unsigned char>(ch[0]);
  if (std::isalpha(c)) return Key::letter(static_cast<char>(c)) | (std::isupper(c) ? Key::Shift : 0);
  if (std::isdigit(c)) return c;
  if (c == ' ') return Key::Space;
  return Key::Typed;
}

bool editingKey(int key) {
  int base = key & 0xFF;
  if (key & (Key::Ctrl | Key::Alt)) return false;
  return base == Key::BS || base == Key::Delete || base == Key::Left || base == Key::Right ||
         base == Key::Home || base == Key::End;
}

// What a one-line entry does with a keystroke, as the view's line editor does it: a
// character goes in over the selection; Backspace and Delete remove the selection or one
// character; Left, Right, Home and End move the cursor, selecting with Shift.
void keystroke(Window& w, int feq, int key, const std::string& typed) {
  const Control& c = *w.control(feq);
  std::vector<std::string> chars = characters(c.text);
  int n = static_cast<int>(chars.size());
  int caret = std::clamp(c.caret, 0, n), anchor = std::clamp(c.anchor, 0, n);
  int from = std::min(caret, anchor), to = std::max(caret, anchor);
  auto cut = [&] {
    chars.erase(chars.begin() + from, chars.begin() + to);
    caret = anchor = from;
  };
  int base = key & 0xFF;
  bool shift = (key & Key::Shift) != 0;
  auto move = [&](int at) {
    caret = std::clamp(at, 0, static_cast<int>(chars.size()));
    if (!shift) anchor = caret;
  };
  if (!typed.empty()) {
    cut();
    for (const auto& ch : characters(typed)) chars.insert(chars.begin() + caret++, ch);
    anchor = caret;
  } else if (base == Key::BS || base == Key::Delete) {
    if (from != to) cut();
    else if (base == Key::BS && caret > 0) {
      chars.erase(chars.begin() + --caret);
      anchor = caret;
    } else if (base == Key::Delete && caret < n) {
      chars.erase(chars.begin() + caret);
    }
  } else if (base == Key::Left) {
    move(!shift && from != to ? from : caret - 1);
  } else if (base == Key::Right) {
    move(!shift && from != to ? to : caret + 1);
  } else if (base == Key::Home) {
    move(0);
  } else if (base == Key::End) {
    move(static_cast<int>(chars.size()));
  }
  std::string text;
  for (const auto& ch : chars) text += ch;
  if (text == c.text && caret == c.caret && anchor == c.anchor) return;   // the editor did nothing
  if (text != c.text) w.userType(feq, text);
  w.userKeystroke(feq, text, caret, anchor, key);
}

}  // namespace

// --- actions ------------------------------------------------------------------------------
void TestDriver::choose(const std::string& item, const std::string& in) {
  Window* w = &window(in);
  int f = w->feq(item);
  if (!f && in.empty()) {
    if (Window* frame = appFrame()) {
      w = frame;
      f = w->feq(item);
    }
  }
  if (!f) fail("find the menu item " + item);
  if (!w->takesInput()) fail("choose " + item + ": " + w->name() + " takes no input now");
  needUsable(*w, f, "choose " + item);
  w->userPress(f);
  idle();
}

void TestDriver::click(const std::string& control, const std::string& in) {
  Window& w = inputWindow(*this, in);
  int f = feq(control, in);
  needUsable(w, f, "click " + control);
  w.userPress(f);
  idle();
}

void TestDriver::focus(const std::string& control, const std::string& in) {
  Window& w = inputWindow(*this, in);
  int f = feq(control, in);
  needUsable(w, f, "focus " + control);
  w.userFocus(f);
  idle();
}

std::pair<Window*, int> TestDriver::focusEntry(const std::string& control, const std::string& in) {
  Window& w = inputWindow(*this, in);
  int f = feq(control, in);
  needUsable(w, f, "type into " + control);
  const Control* c = w.control(f);
  if (!c->hasEntry()) fail("type into " + control + ": it takes no text");
  if (c->readOnly) fail("type into " + control + ": it is read-only");
  if (w.focus() != f) {
    w.userFocus(f);
    idle();
  }
  return {&w, f};
}

void TestDriver::type(const std::string& control, const std::string& text, const std::string& in) {
  auto [window, f] = focusEntry(control, in);
  Window& w = *window;
  if (!w.isOpen()) return;
  w.userType(f, text);
  idle();
}

void TestDriver::typeKeys(const std::string& control, const std::string& text, const std::string& in) {
  auto [window, f] = focusEntry(control, in);
  Window& w = *window;
  for (const auto& ch : characters(text)) {
    if (!w.isOpen() || !w.takesInput() || w.focus() != f) return;
    keystroke(w, f, keyOfCharacter(ch), ch);
    idle();
  }
}

void TestDriver::enter(const std::string& control, const std::string& text, const std::string& in) {
  type(control, text, in);
  press(Key::Tab, in);
}

void TestDriver::press(const std::string& key, const std::string& in) {
  int k = parseKey(key);
  if (!k) fail("press the unknown key " + key);
  press(k, in);
}

void TestDriver::press(int key, const std::string& in) {
  if (Dialog* b = box(); b && in.empty()) {
    int base = key;
    if (base == Key::Enter) {
      answer(b->kind == DialogKind::Message || b->kind == DialogKind::Halt ? b->message.defaultButton : 1);
      return;
    }
    if (base == Key::Esc) {
      if (b->kind != DialogKind::Message) {
        answerDialog(b->id, 0);
        idle();
        return;
      }
      for (std::size_t i = 0; i < b->buttons.size(); ++i)
        if (lower(stripAmpersand(b->buttons[i])) == "cancel" || b->buttons.size() == 1) {
          answer(static_cast<int>(i) + 1);
          return;
        }
      return;
    }
    fail("press " + keyName(key) + " while a box is open");
  }
  Window& w = inputWindow(*this, in);
  // Editing keys stay with a one-line entry, as they stay with the view's line editor,
  // unless the program asked for them.
  const Control* c = w.control(w.focus());
  if (c && editingKey(key) && !c->readOnly && c->kind != Kind::Text && c->hasEntry() &&
      !w.alerted(c->feq, key) && !w.alerted(0, key) &&
      std::none_of(w.controls().begin(), w.controls().end(), [key](const Control& x) { return x.key == key; })) {
    keystroke(w, c->feq, key, {});
    idle();
    return;
  }
  w.userKey(key);
  idle();
}

void TestDriver::check(const std::string& control, bool on, const std::string& in) {
  if (checked(control, in) != on) click(control, in);
}

void TestDriver::pick(const std::string& control, const std::string& choice, const std::string& in) {
  Window& w = inputWindow(*this, in);
  int f = feq(control, in);
  needUsable(w, f, "pick in " + control);
  const Control* c = w.control(f);
  std::string want = lower(trim(stripAmpersand(choice)));
  if (c->kind == Kind::Option || c->kind == Kind::Sheet) {
    Kind child = c->kind == Kind::Option ? Kind::Radio : Kind::Tab;
    int index = 0;
    for (const auto& x : w.controls()) {
      if (x.kind != child || x.parent != f) continue;
      ++index;
      bool match = lower(trim(stripAmpersand(x.text))) == want || lower(trim(x.value)) == want ||
                   (child == Kind::Tab && std::to_string(index) == choice) || lower(x.name) == lower(choice);
      if (!match) continue;
      if (child == Kind::Radio) {
        needUsable(w, x.feq, "pick " + choice);
        w.userPress(x.feq);
      } else {
        if (!w.visible(x.feq)) fail("pick the tab " + choice + ": it is hidden");
        w.userChooseTab(f, index);
      }
      idle();
      return;
    }
    fail("find " + choice + " in " + control);
  }
  if (c->hasRows()) {
    int row = 0;
    if (isNumber(choice)) {
      row = std::stoi(choice);
    } else {
      for (int r = 1; r <= w.rowCount(f) && !row; ++r)
        for (int col = 1; col <= std::max(1, w.columnCount(f)); ++col)
          if (lower(trim(w.cellText(f, r, col))) == want) {
            row = r;
            break;
          }
    }
    if (row < 1 || row > w.rowCount(f)) fail("find the row " + choice + " in " + control);
    w.userSelectRow(f, row, c->kind == Kind::List ? 0 : -1);
    idle();
    return;
  }
  if (c->kind == Kind::Radio || c->kind == Kind::Tab) {
    click(control, in);
    return;
  }
  fail("pick in " + control + ": it offers no choices");
}

void TestDriver::clickRow(const std::string& list, int row, int column, const std::string& in) {
  Window& w = inputWindow(*this, in);
  int f = feq(list, in);
  needUsable(w, f, "click a row of " + list);
  w.userSelectRow(f, row, column);
  idle();
}

void TestDriver::doubleClickRow(const std::string& list, int row, int column, const std::string& in) {
  Window& w = inputWindow(*this, in);
  int f = feq(list, in);
  needUsable(w, f, "double-click a row of " + list);
  w.userDoubleClick(f, row, column);
  idle();
}

void TestDriver::scroll(const std::string& list, int ev, int thumb, const std::string& in) {
  Window& w = inputWindow(*this, in);
  int f = feq(list, in);
  needUsable(w, f, "scroll " + list);
  w.userScroll(f, ev, thumb);
  idle();
}

void TestDriver::resizeColumn(const std::string& list, int column, int width, const std::string& in) {
  Window& w = inputWindow(*this, in);
  int f = feq(list, in);
  needUsable(w, f, "resize a column of " + list);
  if (column < 1 || column > w.columnCount(f)) fail("resize column " + std::to_string(column) + " of " + list);
  if (!w.control(f)->format.columns[static_cast<std::size_t>(column - 1)].resizable)
    fail("resize column " + std::to_string(column) + " of " + list + ": it is not resizable");
  w.userColumnResize(f, column, width);
  idle();
}

void TestDriver::mouse(const std::string& control, int ev, int x, int y, const std::string& in) {
  Window& w = inputWindow(*this, in);
  int f = feq(control, in);
  const Control* c = w.control(f);
  w.userMouse(f, ev, c->x + x, c->y + y);
  idle();
}

void TestDriver::drag(const std::string& control, int x, int y, int dx, int dy, const std::string& in) {
  Window& w = inputWindow(*this, in);
  int f = feq(control, in);
  needUsable(w, f, "drag " + control);
  const Control* c = w.control(f);
  int ax = c->x + x, ay = c->y + y;
  w.userMouse(f, EVENT::MouseDown, ax, ay);
  idle();
  w.userMouse(f, EVENT::MouseMove, ax + dx, ay + dy);
  idle();
  w.userMouse(f, EVENT::MouseUp, ax + dx, ay + dy);
  idle();
}

void TestDriver::closeBox(const std::string& in) {
  Window& w = inputWindow(*this, in);
  w.userClose();
  idle();
}

void TestDriver::resizeWindow(int width, int height, const std::string& in) {
  Window& w = window(in);
  w.userResize(width, height);
  idle();
}

void TestDriver::showRows(const std::string& list, int rows, const std::string& in) {
  Window& w = window(in);
  w.userListRows(feq(list, in), rows);
  idle();
}

void TestDriver::setWindowState(Prop state, const std::string& in) {
  Window& w = window(in);
  w.userSetState(state);
  idle();
}

void TestDriver::activate(const std::string& name) {
  Window& w = window(name);
  w.userActivate();
  idle();
}

// --- boxes --------------------------------------------------------------------------------
Dialog* TestDriver::box() {
  auto open = openDialogs();
  return open.empty() ? nullptr : open.front();
}

void TestDriver::answer(int button) {
  Dialog* b = box();
  if (!b) fail("answer a box: none is open");
  if (b->kind == DialogKind::Message || b->kind == DialogKind::Halt) {
    if (button < 1 || button > static_cast<int>(b->buttons.size()))
      fail("press button " + std::to_string(button) + " of a box with " + std::to_string(b->buttons.size()));
  }
  answerDialog(b->id, button);
  idle();
}

void TestDriver::answer(const std::string& text) {
  Dialog* b = box();
  if (!b) fail("answer a box: none is open");
  std::string want = lower(stripAmpersand(text));
  for (std::size_t i = 0; i < b->buttons.size(); ++i)
    if (lower(stripAmpersand(b->buttons[i])) == want) {
      answer(static_cast<int>(i) + 1);
      return;
    }
  fail("find the button " + text + " in the box \"" + b->message.text + "\"");
}

void TestDriver::answerDate(std::int32_t day) {
  Dialog* b = box();
  if (!b || b->kind != DialogKind::Calendar) fail("answer a calendar: none is open");
  answerDialog(b->id, day ? 1 : 0, {}, day);
  idle();
}

void TestDriver::answerFile(const std::string& fileName) {
  Dialog* b = box();
  if (!b || (b->kind != DialogKind::SaveFile && b->kind != DialogKind::OpenFile)) fail("answer a file dialog: none is open");
  answerDialog(b->id, fileName.empty() ? 0 : 1, fileName);
  idle();
}

void TestDriver::answerPrinter(bool ok) {
  Dialog* b = box();
  if (!b || b->kind != DialogKind::PrinterSetup) fail("answer the printer set-up: it is not open");
  if (ok)
    answerPrinterSetup(b->id, b->printer);
  else
    answerDialog(b->id, 0);
  idle();
}

void TestDriver::answerPrinter(const PrinterChoice& chosen) {
  Dialog* b = box();
  if (!b || b->kind != DialogKind::PrinterSetup) fail("answer the printer set-up: it is not open");
  if (chosen.file.empty() && !chosen.printer.empty()) {
    auto offered = desktopPrinters();
    if (std::find(offered.begin(), offered.end(), chosen.printer) == offered.end())
      fail("choose the printer \"" + chosen.printer + "\": the desktop has no such printer");
  }
  if (chosen.copies < 1) fail("print fewer than one copy");
  answerPrinterSetup(b->id, chosen);
  idle();
}

const std::vector<Dialog>& TestDriver::history() const { return desk().history; }

std::vector<std::string> TestDriver::boxTexts() const {
  std::vector<std::string> out;
  for (const auto& h : desk().history) out.push_back(h.message.text);
  return out;
}

// --- what the user sees ---------------------------------------------------------------
std::vector<TestDriver::WindowInfo> TestDriver::windows() const {
  std::vector<WindowInfo> out;
  for (Window* w : windowsInZOrder()) {
    WindowInfo i;
    i.name = w->name();
    i.caption = w->caption();
    i.thread = w->thread();
    i.kind = w->kind();
    i.active = w->propInt(0, Prop::Active) != 0;
    i.takesInput = w->takesInput();
    i.iconized = w->propInt(0, Prop::Iconize) != 0;
    i.maximized = w->propInt(0, Prop::Maximize) != 0;
    i.id = w->id();
    out.push_back(i);
  }
  return out;
}

std::string TestDriver::focused(const std::string& in) {
  Window& w = window(in);
  const Control* c = w.control(w.focus());
  return c ? (c->name.empty() ? std::to_string(c->feq) : c->name) : std::string();
}

std::string TestDriver::text(const std::string& control, const std::string& in) {
  Window& w = window(in);
  return w.text(feq(control, in));
}

bool TestDriver::visible(const std::string& control, const std::string& in) {
  Window& w = window(in);
  return w.visible(feq(control, in));
}

bool TestDriver::enabled(const std::string& control, const std::string& in) {
  Window& w = window(in);
  return w.propInt(feq(control, in), Prop::Enabled) != 0;
}

bool TestDriver::checked(const std::string& control, const std::string& in) {
  Window& w = window(in);
  return w.propInt(feq(control, in), Prop::Checked) != 0;
}

int TestDriver::selected(const std::string& control, const std::string& in) {
  Window& w = window(in);
  return w.choice(feq(control, in));
}

std::vector<std::vector<std::string>> TestDriver::rows(const std::string& list, const std::string& in) {
  Window& w = window(in);
  int f = feq(list, in);
  std::vector<std::vector<std::string>> out;
  int cols = std::max(1, w.columnCount(f));
  for (int r = 1; r <= w.rowCount(f); ++r) {
    std::vector<std::string> row;
    for (int c = 1; c <= cols; ++c) row.push_back(w.cellText(f, r, c));
    out.push_back(std::move(row));
  }
  return out;
}

std::string TestDriver::status(int zone) {
  Window* w = appFrame();
  if (!w) w = activeWindow();
  return w ? w->statusText(zone) : std::string();
}

std::string TestDriver::clipboard() const { return pf::clipboard(); }

std::string TestDriver::cursor() const {
  return waitCursorDepth() > 0 ? std::string("Wait") : programCursor();
}

std::string TestDriver::snapshot() const {
  std::ostringstream o;
  for (Window* w : windowsInZOrder()) {
    o << "window \"" << w->caption() << "\" " << w->name() << " thread " << w->thread() << ' '
      << kindWord(w->kind());
    if (w->propInt(0, Prop::Active)) o << " active";
    if (!w->takesInput()) o << " no-input";
    if (w->propInt(0, Prop::Iconize)) o << " iconized";
    if (w->propInt(0, Prop::Maximize)) o << " maximized";
    o << '\n';
    const Control* f = w->control(w->focus());
    if (f) o << "  focus " << (f->name.empty() ? std::to_string(f->feq) : f->name) << '\n';
    for (const auto& c : w->controls()) {
      if (!w->visible(c.feq) || c.kind == Kind::Menubar || c.kind == Kind::Toolbar) continue;
      if (c.kind == Kind::Item && c.separator) continue;
      o << "  " << (c.name.empty() ? std::to_string(c.feq) : c.name) << ' ' << kindName(c.kind);
      if (!c.text.empty()) o << " \"" << c.text << '"';
      if (!w->propInt(c.feq, Prop::Enabled)) o << " disabled";
      if ((c.kind == Kind::Check || c.kind == Kind::Radio || c.kind == Kind::Item) && c.checked) o << " checked";
      if (c.kind == Kind::Option || c.kind == Kind::Sheet) o << " choice " << c.selected;
      if (c.hasRows()) {
        o << " rows " << c.rows.size() << " selected " << c.selected << '\n';
        int cols = std::max(1, w->columnCount(c.feq));
        for (int r = 1; r <= static_cast<int>(c.rows.size()); ++r) {
          o << "    " << r << ':';
          for (int col = 1; col <= cols; ++col) {
            if (col <= static_cast<int>(c.format.columns.size()) &&
                c.format.columns[static_cast<std::size_t>(col - 1)].width == 0)
              continue;
            o << " | " << w->cellText(c.feq, r, col);
          }
          o << '\n';
        }
        continue;
      }
      o << '\n';
    }
    int zones = static_cast<int>(w->propInt(0, Prop::StatusZones));
    if (zones > 0) {
      o << "  status";
      for (int z = 1; z <= zones; ++z) o << " | " << w->statusText(z);
      o << '\n';
    }
  }
  for (Dialog* b : openDialogs()) {
    o << "box " << dialogWord(b->kind) << " thread " << b->thread;
    if (b->kind == DialogKind::Message || b->kind == DialogKind::Halt) {
      o << " \"" << b->message.caption << "\": " << b->message.text << " [";
      for (std::size_t i = 0; i < b->buttons.size(); ++i) {
        if (i) o << '|';
        if (static_cast<int>(i) + 1 == b->message.defaultButton) o << '*';
        o << b->buttons[i];
      }
      o << ']';
    } else if (b->kind == DialogKind::Popup) {
      o << ' ' << b->message.text;
    } else if (b->kind == DialogKind::Calendar) {
      o << " \"" << b->calendar.caption << "\"";
    } else if (b->kind == DialogKind::SaveFile || b->kind == DialogKind::OpenFile) {
      o << " \"" << b->file.title << "\" " << b->file.fileName << " (" << b->file.filter << ')';
    }
    o << '\n';
  }
  if (!pf::clipboard().empty()) o << "clipboard \"" << pf::clipboard() << "\"\n";
  return o.str();
}

}  // namespace pf
