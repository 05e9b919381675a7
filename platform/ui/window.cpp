#include "platform/ui/window.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "platform/core/strings.h"
#include "platform/core/pictures.h"
#include "platform/core/secret.h"
#include "platform/core/visible_text.h"
#include "platform/core/value.h"
#include "platform/ui/keys.h"
#include "platform/ui/ui_internal.h"

namespace pf {
namespace {

bool numericPicture(const std::string& pic) {
  auto k = parsePicture(pic).kind;
  return k == Picture::Kind::Number || k == Picture::Kind::Date || k == Picture::Kind::Time ||
         k == Picture::Kind::Pattern;
}

// How a value shows under a picture, as a user reads it in a control.
std::string showAs(const Value& v, const std::string& pic) {
  if (pic.empty()) return v.text();
  std::string s = format(v, pic);
  return numericPicture(pic) ? trim(s) : clip(s);
}

bool inputKind(Kind k) {
  switch (k) {
    case Kind::Entry: case Kind::Text: case Kind::Check: case Kind::Option: case Kind::Combo:
    case Kind::DropList: case Kind::DropCombo:
      return true;
    default:
      return false;
  }
}

bool focusKind(Kind k) {
  switch (k) {
    case Kind::Entry: case Kind::Text: case Kind::Button: case Kind::Check: case Kind::Radio:
    case Kind::List: case Kind::Combo: case Kind::DropList: case Kind::DropCombo:
      return true;
    default:
      return false;
  }
}

constexpr int kListLine = 10;   // dialog units per list row (and the header)

const ListRow kNoRow{};

}  // namespace

// A window under another window of its thread still ticks: its timer handlers run at once
// (the frame's clock goes on while a form or dialog holds the frame's thread), and its
// procedure sees one tick when it has the thread again.
void tickCovered(Window& w, const Event& e) {
  auto& d = WindowAccess::of(w);
  d.timerPending = false;   // the next tick comes when it is due
  auto regs = d.handlers;
  for (auto& r : regs) {
    if (r.event != EVENT::Timer || r.control != 0) continue;
    if (r.h(w, e) != 0 || !d.open) return;
  }
  for (const auto& r : d.ready)
    if (r.code == EVENT::Timer) return;
  d.ready.push_back(e);
}

// ---------------------------------------------------------------------------------------
Window::Window(const std::string& procedure) : Window(findLayout(procedure)) {}

Window::Window(const Layout& layout) : d_(std::make_unique<Impl>()) {
  auto& d = *d_;
  d.attrs = layout.window;
  d.controls.assign(layout.controls.begin(), layout.controls.end());
  d.id = desk().nextId++;
  desk().windows[d.id] = this;
}

void setEntryText(Control& c, std::string_view text, bool byProgram) {
  if (c.password) wipe(c.text);
  c.text.assign(text);
  c.caret = c.anchor = static_cast<int>(utf8Length(c.text));
  if (byProgram) ++c.selectionSet;
}

Window::~Window() {
  if (d_->open) closeInternal();
  for (auto& c : d_->controls)
    if (c.password) wipe(c.text);
  desk().windows.erase(d_->id);
}

std::uintptr_t Window::id() const { return d_->id; }
const std::string& Window::name() const { return d_->attrs.name; }
WindowKind Window::kind() const { return d_->attrs.kind; }
int Window::thread() const { return d_->thread; }
const WindowAttrs& Window::attrs() const { return d_->attrs; }
bool Window::isOpen() const { return d_->open; }
const Event& Window::currentEvent() const { return d_->current; }
int Window::event() const { return d_->current.code; }
int Window::field() const { return d_->current.control; }
int Window::focus() const { return d_->focus; }
int Window::mouseX() const { return d_->mouseX; }
int Window::mouseY() const { return d_->mouseY; }
bool Window::inAcceptAll() const { return d_->acceptAll; }
const std::list<Control>& Window::controls() const { return d_->controls; }
std::uint64_t Window::changes() const { return d_->changes; }
int Window::keyCode() const { return static_cast<int>(d_->current.param); }

// --- lookup -----------------------------------------------------------------------------
Control* Window::find(int feq) {
  for (auto& c : d_->controls)
    if (c.feq == feq) return &c;
  return nullptr;
}
const Control* Window::findc(int feq) const {
  for (const auto& c : d_->controls)
    if (c.feq == feq) return &c;
  return nullptr;
}
Control& Window::need(int feq) {
  Control* c = find(feq);
  if (!c) throw std::out_of_range(name() + ": no control " + std::to_string(feq));
  return *c;
}
const Control& Window::needc(int feq) const {
  const Control* c = findc(feq);
  if (!c) throw std::out_of_range(name() + ": no control " + std::to_string(feq));
  return *c;
}
const Control* Window::control(int feq) const { return findc(feq); }

int Window::feq(std::string_view n) const {
  std::string l = lower(n);
  for (const auto& c : d_->controls)
    if (!c.name.empty() && lower(c.name) == l) return c.feq;
  return 0;
}

int Window::highestFeq() const {
  int h = 0;
  for (const auto& c : d_->controls) h = std::max(h, c.feq);
  return h;
}

void Window::changed(int feq, Prop p) {
  ++d_->changes;
  if (d_->open && desk().view) desk().view->windowChanged(*this, feq, p);
}

bool Window::shown(const Control& c) const {
  if (c.hide) return false;
  if (c.parent == 0) return true;
  const Control* p = findc(c.parent);
  if (!p) return true;
  if (c.kind == Kind::Tab) return shown(*p);
  if (p->kind == Kind::Tab) {
    // Only the chosen tab's controls show.
    const Control* sheet = findc(p->parent);
    if (sheet) {
      int index = 0;
      for (const auto& x : d_->controls)
        if (x.kind == Kind::Tab && x.parent == sheet->feq) {
          ++index;
          if (x.feq == p->feq) break;
        }
      if (index != sheet->selected) return false;
    }
  }
  return shown(*p);
}

bool Window::enabledc(const Control& c) const {
  if (c.disable) return false;
  if (c.parent == 0) return true;
  const Control* p = findc(c.parent);
  return p ? enabledc(*p) : true;
}

bool Window::focusable(const Control& c) const {
  return c.feq > 0 && focusKind(c.kind) && !c.skip && shown(c) && enabledc(c);
}

int Window::nextFocusable(int from, int dir) const {
  const auto& cs = d_->controls;
  std::vector<const Control*> order;
  for (const auto& c : cs)
    if (c.feq > 0) order.push_back(&c);
  if (order.empty()) return 0;
  int n = static_cast<int>(order.size());
  int start = -1;
  for (int i = 0; i < n; ++i)
    if (order[i]->feq == from) start = i;
  for (int step = 1; step <= n; ++step) {
    int i = start < 0 ? (dir > 0 ? step - 1 : n - step) : ((start + dir * step) % n + n) % n;
    if (focusable(*order[i])) return order[i]->feq;
  }
  return 0;
}

// --- life --------------------------------------------------------------------------------
void Window::open() {
  auto& d = *d_;
  if (d.open) return;
  d.thread = pf::thread();
  d.open = true;
  d.cycled = false;
  d.haveCurrent = false;
  d.ready.clear();
  d.steps.clear();
  d.maximized = d.attrs.maximize;
  d.iconized = d.attrs.iconize;
  display(0);
  d.focus = nextFocusable(0, 1);
  Event e;
  e.code = EVENT::OpenWindow;
  e.window = d.id;
  d.ready.push_back(e);
  int first = d.focus;
  if (first) pushStep([this, first] {
      if (d_->focus != first) return;
      Event s;
      s.code = EVENT::Selected;
      s.control = first;
      s.window = d_->id;
      d_->ready.push_back(s);
    });
  if (d.attrs.timer > 0) d.timerDue = nowHundredths() + d.attrs.timer;
  d.timerPending = false;
  deskOpened(*this);
  if (desk().view) desk().view->windowOpened(*this);
}

void Window::closeInternal() {
  auto& d = *d_;
  if (!d.open) return;
  d.open = false;
  d.ready.clear();
  d.steps.clear();
  d.inputs.clear();
  d.capture = 0;
  d.dragging = false;
  d.acceptAll = false;
  deskClosed(*this);
  if (desk().view) desk().view->windowClosed(d.id);
  closeDownClosed(*this);
}

void Window::close() { post(EVENT::CloseWindow); }
void Window::closeNow() { closeInternal(); }
void Window::cycle() { d_->cycled = true; }

void Window::pushStep(std::function<void()> s) { d_->steps.push_back(std::move(s)); }

void Window::deliverLater(Event e) {
  e.window = d_->id;
  d_->ready.push_back(std::move(e));
}

void Window::finishCurrent() {
  auto& d = *d_;
  if (!d.haveCurrent) return;
  d.haveCurrent = false;
  int code = d.current.code;
  if ((code != EVENT::CloseWindow && code != EVENT::CloseDown) || d.cycled) return;
  // The frame goes last: the other threads' windows are asked first.
  if (d.attrs.kind == WindowKind::Frame && beginCloseDown(*this)) return;
  closeInternal();
}

bool Window::accept() {
  auto& d = *d_;
  if (!d.open) return false;
  finishCurrent();
  while (d.open) {
    if (!d.ready.empty()) {
      Event e = std::move(d.ready.front());
      d.ready.pop_front();
      if (e.code == EVENT::Timer) d.timerPending = false;
      d.current = e;
      d.cycled = false;
      d.haveCurrent = true;
      bool consumed = false;
      auto regs = d.handlers;   // a handler may unregister itself
      for (auto& r : regs) {
        if (r.event != e.code || (r.control != 0 && r.control != e.control)) continue;
        if (r.h(*this, e) != 0) {
          consumed = true;
          break;
        }
        if (!d.open) return false;
      }
      if (!consumed) {
        // A choice in the frame while its close-down runs: the user goes on working.
        if (e.code == EVENT::Accepted && desk().closeDown.frame == d.id) endCloseDown();
        return true;
      }
      d.cycled = true;
      finishCurrent();
      continue;
    }
    if (!d.steps.empty()) {
      auto s = std::move(d.steps.front());
      d.steps.pop_front();
      s();
      continue;
    }
    // Nothing left to do but wait for the user: a close-down that asked is refused.
    if (!d.acceptAll && queueEmpty(d.thread)) closeDownIdle(*this);
    Event raw = waitEvent();
    if (!d.open) break;
    route(raw);
  }
  return false;
}

void Window::route(const Event& e) {
  auto& d = *d_;
  if (e.code == EVENT::CloseDownReply) {
    closeDownReply(e);
    return;
  }
  bool input = e.code == INPUT::Event;
  if (e.window != 0 && e.window != d.id) {
    Window* w = findWindow(e.window);
    if (!w || !w->isOpen() || w->thread() != d.thread) return;
    if (input) {
      // A window under this one takes no input; what the user did there is dropped.
      w->d_->inputs.erase(e.param);
      return;
    }
    if (e.code == EVENT::Timer) {
      tickCovered(*w, e);
      return;
    }
    w->d_->ready.push_back(e);
    return;
  }
  if (input) {
    runInput(e);
    return;
  }
  if (e.code == EVENT::Timer) {   // one tick waiting is enough
    for (const auto& r : d.ready)
      if (r.code == EVENT::Timer) return;
  }
  Event x = e;
  x.window = d.id;
  d.ready.push_back(std::move(x));
}

// --- events from the program ---------------------------------------------------------
void Window::post(int code, int control, std::int64_t param) {
  Event e;
  e.code = code;
  e.control = control;
  e.param = param;
  e.window = d_->id;
  pf::post(std::move(e), d_->thread ? d_->thread : pf::thread());
}

void Window::select(int feq) {
  auto& d = *d_;
  if (feq == 0) {
    acceptAll();
    return;
  }
  d.steps.clear();
  if (d.acceptAll) {
    d.acceptAll = false;
    changed(0, Prop::AcceptAll);
  }
  Control* c = find(feq);
  if (!c) return;
  int target = feq;
  if (c->kind == Kind::Tab) {
    Control* sheet = find(c->parent);
    if (sheet) {
      int index = 0;
      for (const auto& x : d.controls)
        if (x.kind == Kind::Tab && x.parent == sheet->feq) {
          ++index;
          if (x.feq == feq) break;
        }
      if (sheet->selected != index) {
        sheet->selected = index;
        changed(sheet->feq, Prop::Selected);
      }
    }
    target = nextFocusable(feq, 1);
  } else if (!focusKind(c->kind) && shown(*c) && c->feq > 0) {
    target = nextFocusable(feq, 1);   // a prompt hands the focus on
  }
  const Control* t = findc(target);
  if (t && focusable(*t)) moveFocus(target, false);
  Event s;
  s.code = EVENT::Selected;
  s.control = (t && focusable(*t)) ? target : feq;
  deliverLater(s);
}

void Window::selectRow(int feq, int row) {
  Control& c = need(feq);
  int n = static_cast<int>(c.rows.size());
  row = std::clamp(row, n ? 1 : 0, n);
  if (c.selected != row) {
    c.selected = row;
    changed(feq, Prop::Selected);
  }
}

void Window::acceptAll() {
  auto& d = *d_;
  d.steps.clear();
  d.acceptAll = true;
  changed(0, Prop::AcceptAll);
  pushStep([this] { acceptAllStep(0); });
}

void Window::acceptAllStep(int from) {
  auto& d = *d_;
  if (!d.acceptAll) return;
  auto it = std::next(d.controls.begin(), std::min<std::ptrdiff_t>(from, std::ssize(d.controls)));
  for (int i = from; it != d.controls.end(); ++i, ++it) {
    Control& c = *it;
    if (c.feq <= 0 || !inputKind(c.kind) || c.readOnly || !shown(c) || !enabledc(c)) continue;
    bool rejected = false;
    if (c.hasEntry()) takeValue(c, rejected);
    Event e;
    e.code = rejected ? EVENT::Rejected : EVENT::Accepted;
    e.control = c.feq;
    deliverLater(e);
    if (rejected) {
      d.acceptAll = false;
      changed(0, Prop::AcceptAll);
      return;
    }
    pushStep([this, i] { acceptAllStep(i + 1); });
    return;
  }
  d.acceptAll = false;
  changed(0, Prop::AcceptAll);
  Event done;
  done.code = EVENT::Completed;
  deliverLater(done);
}

// --- values ---------------------------------------------------------------------------
void Window::showValue(Control& c) {
  const Binding& b = c.binding;
  if (!b.bound()) return;
  std::string pic = b.picture.empty() ? c.picture : b.picture;
  Value v = b.numeric() ? Value(b.getNumber()) : Value(b.get());
  // A list or combo shows its variable by selecting the first row whose first cell holds it.
  auto selectRowShowing = [&](const std::string& text) {
    int sel = 0;
    for (std::size_t r = 0; r < c.rows.size(); ++r)
      if (!c.rows[r].cells.empty() && clip(c.rows[r].cells[0].value) == clip(text)) {
        sel = static_cast<int>(r) + 1;
        break;
      }
    if (sel && sel != c.selected) {
      c.selected = sel;
      changed(c.feq, Prop::Selected);
    }
  };
  switch (c.kind) {
    case Kind::Entry: case Kind::Text: case Kind::String: case Kind::Combo: case Kind::DropCombo:
    case Kind::Prompt: {
      std::string t = (c.kind == Kind::Text) ? v.text() : showAs(v, pic);
      if (c.kind == Kind::Text) t = clip(t);
      if (!c.password) t = visibleText(t, c.kind == Kind::Text);
      if (t != c.text) {
        setEntryText(c, t);
        changed(c.feq, Prop::Text);
      }
      if (c.password) wipe(t);
      c.edited = false;
      if (c.kind == Kind::Combo || c.kind == Kind::DropCombo) selectRowShowing(v.text());
      break;
    }
    case Kind::Check: {
      bool on = trim(v.text()) == trim(c.valueOn);
      if (on != c.checked) {
        c.checked = on;
        changed(c.feq, Prop::Checked);
      }
      break;
    }
    case Kind::Option: {
      int index = 0, sel = 0;
      for (auto& r : d_->controls) {
        if (r.kind != Kind::Radio || r.parent != c.feq) continue;
        ++index;
        bool on = trim(r.value) == trim(v.text());
        if (on) sel = index;
        if (r.checked != on) {
          r.checked = on;
          changed(r.feq, Prop::Checked);
        }
      }
      if (sel != c.selected) {
        c.selected = sel;
        changed(c.feq, Prop::Selected);
      }
      break;
    }
    case Kind::List: case Kind::DropList:
      selectRowShowing(v.text());
      break;
    case Kind::Progress: {
      int p = static_cast<int>(v.number());
      if (p != c.progress) {
        c.progress = p;
        changed(c.feq, Prop::Progress);
      }
      break;
    }
    default:
      break;
  }
}

void Window::takeValue(Control& c, bool& rejected) {
  rejected = false;
  const Binding& b = c.binding;
  if (!b.bound()) {
    c.edited = false;
    return;
  }
  std::string pic = b.picture.empty() ? c.picture : b.picture;
  switch (c.kind) {
    case Kind::Entry: case Kind::Combo: case Kind::DropCombo: case Kind::Text: {
      if (c.kind == Kind::Text || pic.empty()) {
        b.set(c.text);
      } else {
        auto v = tryDeformat(c.text, pic);
        if (!v) {
          rejected = true;
          return;
        }
        if (b.numeric() || v->isNumber()) b.setNumber(v->number()); else b.set(v->text());
      }
      c.edited = false;
      showValue(c);
      break;
    }
    case Kind::Check:
      b.set(c.checked ? c.valueOn : c.valueOff);
      break;
    case Kind::Option: {
      int index = 0;
      for (const auto& r : d_->controls)
        if (r.kind == Kind::Radio && r.parent == c.feq && ++index == c.selected) b.set(r.value);
      break;
    }
    case Kind::List: case Kind::DropList:
      if (c.selected >= 1 && c.selected <= static_cast<int>(c.rows.size()) &&
          !c.rows[static_cast<std::size_t>(c.selected - 1)].cells.empty())
        b.set(c.rows[static_cast<std::size_t>(c.selected - 1)].cells[0].value);
      break;
    default:
      break;
  }
}

void Window::display(int feq) {
  for (auto& c : d_->controls)
    if (feq == 0 || c.feq == feq) showValue(c);
}

void Window::update(int feq) {
  for (auto& c : d_->controls) {
    if (feq != 0 && c.feq != feq) continue;
    if (!c.binding.bound()) continue;
    bool rejected = false;
    takeValue(c, rejected);
  }
}

void Window::bind(int feq, const Binding& b) {
  Control& c = need(feq);
  c.binding = b;
  if (d_->open) showValue(c);
}

int Window::bind(std::string_view useName, const Binding& b) {
  std::string l = lower(useName);
  int n = 0;
  for (auto& c : d_->controls)
    if (!c.use.empty() && lower(c.use) == l) {
      c.binding = b;
      if (d_->open) showValue(c);
      ++n;
    }
  return n;
}

// --- controls -------------------------------------------------------------------------
int Window::create(Kind kind, int feq, int parent) {
  if (feq == 0) feq = highestFeq() + 1;
  if (find(feq)) throw std::invalid_argument(name() + ": control " + std::to_string(feq) + " exists");
  Control c;
  c.feq = feq;
  c.kind = kind;
  c.parent = parent;
  c.hide = true;   // created controls show once they are placed and unhidden
  d_->controls.push_back(std::move(c));
  changed(feq, Prop::Type);
  return feq;
}

void Window::destroy(int feq) {
  d_->controls.remove_if([feq](const Control& c) { return c.feq == feq; });
  if (d_->focus == feq) d_->focus = 0;
  changed(feq, Prop::Type);
}

void Window::setPosition(int feq, int x, int y, int w, int h) {
  if (feq == 0) {
    auto& a = d_->attrs;
    a.x = x; a.y = y; a.w = w; a.h = h;
    changed(0, Prop::Width);
    return;
  }
  Control& c = need(feq);
  c.x = x; c.y = y; c.w = w; c.h = h;
  changed(feq, Prop::Width);
}

// --- alerts ----------------------------------------------------------------------------
void Window::alert(int key) {
  auto& a = d_->alerts;
  if (std::find(a.begin(), a.end(), key) == a.end()) a.push_back(key);
}
void Window::alert(int feq, int key) {
  auto& a = need(feq).alerts;
  if (std::find(a.begin(), a.end(), key) == a.end()) a.push_back(key);
}
void Window::unalert(int key) {
  auto& a = d_->alerts;
  a.erase(std::remove(a.begin(), a.end(), key), a.end());
}
void Window::unalert(int feq, int key) {
  auto& a = need(feq).alerts;
  a.erase(std::remove(a.begin(), a.end(), key), a.end());
}
bool Window::alerted(int feq, int key) const {
  if (feq == 0) return std::find(d_->alerts.begin(), d_->alerts.end(), key) != d_->alerts.end();
  const Control* c = findc(feq);
  return c && std::find(c->alerts.begin(), c->alerts.end(), key) != c->alerts.end();
}

// --- rows ------------------------------------------------------------------------------
int Window::rowCount(int feq) const { return static_cast<int>(needc(feq).rows.size()); }

const ListRow& Window::row(int feq, int r) const {
  const Control& c = needc(feq);
  if (r < 1 || r > static_cast<int>(c.rows.size())) return kNoRow;
  return c.rows[static_cast<std::size_t>(r - 1)];
}

void Window::setRows(int feq, std::vector<ListRow> rows) {
  Control& c = need(feq);
  c.rows = std::move(rows);
  int n = static_cast<int>(c.rows.size());
  if (c.selected > n) c.selected = n;
  if (c.selected == 0 && n > 0 && c.kind == Kind::List) c.selected = 1;
  changed(feq, Prop::Count);
}

void Window::addRow(int feq, ListRow r) {
  Control& c = need(feq);
  c.rows.push_back(std::move(r));
  changed(feq, Prop::Count);
}

void Window::insertRow(int feq, int at, ListRow r) {
  Control& c = need(feq);
  int n = static_cast<int>(c.rows.size());
  at = std::clamp(at, 1, n + 1);
  c.rows.insert(c.rows.begin() + (at - 1), std::move(r));
  changed(feq, Prop::Count);
}

void Window::setRow(int feq, int r, ListRow row) {
  Control& c = need(feq);
  if (r < 1 || r > static_cast<int>(c.rows.size())) return;
  c.rows[static_cast<std::size_t>(r - 1)] = std::move(row);
  changed(feq, Prop::Count);
}

void Window::deleteRow(int feq, int r) {
  Control& c = need(feq);
  if (r < 1 || r > static_cast<int>(c.rows.size())) return;
  c.rows.erase(c.rows.begin() + (r - 1));
  if (c.selected > static_cast<int>(c.rows.size())) c.selected = static_cast<int>(c.rows.size());
  changed(feq, Prop::Count);
}

void Window::clearRows(int feq) {
  Control& c = need(feq);
  c.rows.clear();
  c.selected = 0;
  changed(feq, Prop::Count);
}

int Window::columnCount(int feq) const {
  const Control& c = needc(feq);
  if (c.format.columns.empty() && c.hasRows()) return 1;
  return static_cast<int>(c.format.columns.size());
}

std::string Window::cellText(int feq, int r, int column) const {
  const Control& c = needc(feq);
  const ListRow& row = this->row(feq, r);
  int field = column;
  std::string pic;
  if (column >= 1 && column <= static_cast<int>(c.format.columns.size())) {
    field = c.format.columns[static_cast<std::size_t>(column - 1)].field;
    pic = c.format.columns[static_cast<std::size_t>(column - 1)].picture;
  }
  if (field < 1 || field > static_cast<int>(row.cells.size())) return {};
  const std::string& v = row.cells[static_cast<std::size_t>(field - 1)].value;
  if (pic.empty()) return visibleText(clip(v));
  return visibleText(showAs(numericPicture(pic) ? Value(toNumber(v)) : Value(v), pic));
}

// --- handlers -------------------------------------------------------------------------
void Window::registerHandler(int event, Handler h, const void* owner, int control) {
  d_->handlers.push_back({event, control, std::move(h), owner});
}

void Window::unregisterHandler(int event, const void* owner, int control) {
  auto& hs = d_->handlers;
  hs.erase(std::remove_if(hs.begin(), hs.end(),
                          [&](const Impl::Reg& r) {
                            return r.event == event && r.owner == owner && r.control == control;
                          }),
           hs.end());
}

// --- properties ---------------------------------------------------------------------------
std::string Window::propText(int feq, Prop p, int index) const {
  const auto& d = *d_;
  if (feq == 0) {
    switch (p) {
      case Prop::Text: return d.attrs.caption;
      case Prop::Icon: return d.attrs.icon;
      case Prop::Wallpaper: return d.attrs.wallpaper;
      case Prop::FontName: return d.attrs.font.name;
      case Prop::StatusText: {
        auto it = d.status.find(index == 0 ? 1 : index);
        return it == d.status.end() ? std::string() : it->second;
      }
      default: return std::to_string(propInt(0, p, index));
    }
  }
  const Control& c = needc(feq);
  switch (p) {
    case Prop::Text: return c.text;
    case Prop::FontName: return c.font.name;
    case Prop::Icon: return c.icon;
    case Prop::Tip: return c.tip;
    case Prop::Msg: return c.msg;
    case Prop::Format: return c.format.columns.empty() ? std::string() : c.format.str();
    case Prop::Cursor: return c.cursor;
    case Prop::ValueOn: return c.valueOn;
    case Prop::ValueOff: return c.valueOff;
    case Prop::Value: return c.value;
    case Prop::KeyText: return c.keyText;
    case Prop::Picture: return c.picture;
    case Prop::DragId: return c.dragId;
    case Prop::Use: return c.use;
    case Prop::IconList: {
      auto it = c.icons.find(index);
      return it == c.icons.end() ? std::string() : it->second;
    }
    default: return std::to_string(propInt(feq, p, index));
  }
}

std::int64_t Window::propInt(int feq, Prop p, int index) const {
  const auto& d = *d_;
  if (feq == 0) {
    const auto& a = d.attrs;
    switch (p) {
      case Prop::Xpos: return a.x;
      case Prop::Ypos: return a.y;
      case Prop::Width: return a.w;
      case Prop::Height: return a.h;
      case Prop::Iconize: return d.iconized;
      case Prop::Maximize: return d.maximized;
      case Prop::Active: return d.open && desk().active == d.id;
      case Prop::Timer: return a.timer;
      case Prop::MinWidth: return a.minW;
      case Prop::MinHeight: return a.minH;
      case Prop::MaxWidth: return a.maxW;
      case Prop::MaxHeight: return a.maxH;
      case Prop::AcceptAll: return d.acceptAll;
      case Prop::Resizable: return a.resizable;
      case Prop::Immediate: return a.immediate;
      case Prop::FontSize: return a.font.size;
      case Prop::FontStyle: return a.font.style;
      case Prop::StatusZones: return static_cast<std::int64_t>(a.statusWidths.size());
      case Prop::StatusWidth:
        return index >= 1 && index <= static_cast<int>(a.statusWidths.size())
                   ? a.statusWidths[static_cast<std::size_t>(index - 1)] : 0;
      case Prop::Visible: return d.open && !d.iconized && !d.hidden;
      case Prop::Hide: return !d.open || d.hidden;
      default: return 0;
    }
  }
  const Control& c = needc(feq);
  switch (p) {
    case Prop::Hide: return c.hide;
    case Prop::Disable: return c.disable;
    case Prop::Color: return c.color;
    case Prop::FontColor: return c.fontColor;
    case Prop::FontSize: return c.font.size;
    case Prop::FontStyle: return c.font.style;
    case Prop::Selected:
      return c.selected;
    case Prop::Items: {
      if (!c.hasRows()) return 0;
      if (c.kind == Kind::List && c.viewRows > 0) return c.viewRows;
      int h = c.kind == Kind::DropList || c.kind == Kind::DropCombo ? c.drop * kListLine : c.h;
      bool header = false;
      for (const auto& col : c.format.columns) header = header || !col.header.empty();
      int lines = (h - (header ? kListLine : 0)) / kListLine;
      return lines < 1 ? 1 : lines;
    }
    case Prop::FirstRow: return c.rows.empty() ? 0 : 1;
    case Prop::Xpos: return c.x;
    case Prop::Ypos: return c.y;
    case Prop::Width: return c.w;
    case Prop::Height: return c.h;
    case Prop::Immediate: return c.immediate;
    case Prop::Drop: return c.drop;
    case Prop::Checked: return c.checked;
    case Prop::Key: return c.key;
    case Prop::ReadOnly: return c.readOnly;
    case Prop::Skip: return c.skip;
    case Prop::Default: return c.isDefault;
    case Prop::VScrollPos: return c.vscrollPos;
    case Prop::ColumnWidth:
      return index >= 1 && index <= static_cast<int>(c.format.columns.size())
                 ? c.format.columns[static_cast<std::size_t>(index - 1)].width : 0;
    case Prop::MouseDownRow: return c.mouseDownRow;
    case Prop::MouseDownColumn: return c.mouseDownColumn;
    case Prop::MouseDownField: return c.mouseDownField;
    case Prop::Type: return static_cast<int>(c.kind);
    case Prop::Fill: return c.fill;
    case Prop::Bevel: return index >= 1 && index <= 3 ? c.bevel[index - 1] : 0;
    case Prop::Progress: return c.progress;
    case Prop::RangeLow: return c.rangeLow;
    case Prop::RangeHigh: return c.rangeHigh;
    case Prop::Visible: return shown(c);
    case Prop::Enabled: return enabledc(c);
    case Prop::Parent: return c.parent;
    case Prop::Count: return static_cast<std::int64_t>(c.rows.size());
    case Prop::SelStart: return std::min(c.caret, c.anchor);
    case Prop::SelEnd: return std::max(c.caret, c.anchor);
    case Prop::Touched: return c.edited;
    default: return 0;
  }
}

void Window::setProp(int feq, Prop p, std::string_view value, int index) {
  auto& d = *d_;
  std::string v(value);
  if (feq == 0) {
    switch (p) {
      case Prop::Text: d.attrs.caption = v; break;
      case Prop::Icon: d.attrs.icon = v; break;
      case Prop::Wallpaper: d.attrs.wallpaper = v; break;
      case Prop::FontName: d.attrs.font.name = v; break;
      case Prop::StatusText: {
        int zone = index == 0 ? 1 : index;
        if (d.status[zone] == v) return;
        d.status[zone] = v;
        break;
      }
      default: setProp(0, p, toNumber(v), index); return;
    }
    changed(0, p);
    return;
  }
  Control& c = need(feq);
  switch (p) {
    case Prop::Text:
      if (c.text == v) return;
      setEntryText(c, v);
      c.edited = false;
      break;
    case Prop::FontName: c.font.name = v; break;
    case Prop::Icon: c.icon = v; break;
    case Prop::Tip: c.tip = v; break;
    case Prop::Msg: c.msg = v; break;
    case Prop::Format: {
      ListFormat f = ListFormat::parse(v);
      c.format = std::move(f);
      break;
    }
    case Prop::Cursor: c.cursor = v; break;
    case Prop::ValueOn: c.valueOn = v; break;
    case Prop::ValueOff: c.valueOff = v; break;
    case Prop::Value: c.value = v; break;
    case Prop::KeyText: c.keyText = v; break;
    case Prop::Picture: c.picture = v; break;
    case Prop::DragId: c.dragId = v; break;
    case Prop::Use: c.use = v; break;
    case Prop::IconList: c.icons[index] = v; break;
    default: setProp(feq, p, toNumber(v), index); return;
  }
  changed(feq, p);
}

void Window::setProp(int feq, Prop p, std::int64_t value, int index) {
  auto& d = *d_;
  int v = static_cast<int>(value);
  if (feq == 0) {
    auto& a = d.attrs;
    switch (p) {
      case Prop::Xpos: a.x = v; break;
      case Prop::Ypos: a.y = v; break;
      case Prop::Width: a.w = v; break;
      case Prop::Height: a.h = v; break;
      case Prop::Iconize:
        d.iconized = v != 0;
        if (d.iconized) d.maximized = false;
        break;
      case Prop::Maximize:
        d.maximized = v != 0;
        if (d.maximized) d.iconized = false;
        break;
      case Prop::Active:
        if (v && d.open) deskActivate(*this, true);
        break;
      case Prop::Timer:
        a.timer = v;
        d.timerDue = nowHundredths() + v;
        d.timerPending = false;
        break;
      case Prop::MinWidth: a.minW = v; break;
      case Prop::MinHeight: a.minH = v; break;
      case Prop::MaxWidth: a.maxW = v; break;
      case Prop::MaxHeight: a.maxH = v; break;
      case Prop::AcceptAll:
        if (v) acceptAll(); else { d.acceptAll = false; d.steps.clear(); }
        break;
      case Prop::Resizable: a.resizable = v != 0; break;
      case Prop::Immediate: a.immediate = v != 0; break;
      case Prop::FontSize: a.font.size = v; break;
      case Prop::FontStyle: a.font.style = v; break;
      case Prop::StatusWidth: {
        if (index < 1) return;
        if (static_cast<int>(a.statusWidths.size()) < index) a.statusWidths.resize(static_cast<std::size_t>(index), 0);
        a.statusWidths[static_cast<std::size_t>(index - 1)] = v;
        break;
      }
      case Prop::Hide:
        if (d.hidden == (v != 0)) return;
        d.hidden = v != 0;
        break;
      default: return;
    }
    changed(0, p);
    return;
  }
  Control& c = need(feq);
  switch (p) {
    case Prop::Hide: {
      if (c.hide == (v != 0)) return;
      c.hide = v != 0;
      // A chosen tab stays chosen when it is hidden (the sheet's choice is the program's).
      if (c.hide && d.focus == feq) d.focus = 0;
      break;
    }
    case Prop::Disable:
      if (c.disable == (v != 0)) return;
      c.disable = v != 0;
      break;
    case Prop::Color: if (c.color == v) return; c.color = v; break;
    case Prop::FontColor: c.fontColor = v; break;
    case Prop::FontSize: c.font.size = v; break;
    case Prop::FontStyle: c.font.style = v; break;
    case Prop::Selected:
      if (c.kind == Kind::Sheet) {
        c.selected = v;
      } else if (c.kind == Kind::Option) {
        c.selected = v;
        int index = 0;
        for (auto& r : d.controls)
          if (r.kind == Kind::Radio && r.parent == feq) {
            bool on = ++index == v;
            if (r.checked != on) { r.checked = on; changed(r.feq, Prop::Checked); }
          }
      } else {
        int n = static_cast<int>(c.rows.size());
        c.selected = std::clamp(v, n ? 1 : 0, n);
      }
      break;
    case Prop::Xpos: c.x = v; break;
    case Prop::Ypos: c.y = v; break;
    case Prop::Width: c.w = v; break;
    case Prop::Height: c.h = v; break;
    case Prop::Immediate: c.immediate = v != 0; break;
    case Prop::Drop: c.drop = v; break;
    case Prop::Checked: c.checked = v != 0; break;
    case Prop::Key: c.key = v; break;
    case Prop::ReadOnly: c.readOnly = v != 0; break;
    case Prop::Skip: c.skip = v != 0; break;
    case Prop::Default: c.isDefault = v != 0; break;
    case Prop::VScrollPos: c.vscrollPos = std::clamp(v, 0, 100); break;
    case Prop::ColumnWidth:
      if (index < 1 || index > static_cast<int>(c.format.columns.size())) return;
      c.format.columns[static_cast<std::size_t>(index - 1)].width = std::max(0, v);
      break;
    case Prop::Fill: c.fill = v; break;
    case Prop::Bevel:
      if (index < 1 || index > 3) return;
      c.bevel[index - 1] = v;
      break;
    case Prop::Progress: c.progress = v; break;
    case Prop::RangeLow: c.rangeLow = v; break;
    case Prop::RangeHigh: c.rangeHigh = v; break;
    case Prop::MouseDownRow: c.mouseDownRow = v; break;
    case Prop::MouseDownColumn: c.mouseDownColumn = v; break;
    case Prop::MouseDownField: c.mouseDownField = v; break;
    case Prop::SelStart:
    case Prop::SelEnd: {
      int at = std::clamp(v, 0, static_cast<int>(utf8Length(c.text)));
      c.caret = at;
      if (p == Prop::SelStart) c.anchor = at;
      ++c.selectionSet;
      break;
    }
    case Prop::Touched: c.edited = v != 0; break;
    default: setProp(feq, p, std::to_string(value), index); return;
  }
  changed(feq, p);
}

// --- focus ------------------------------------------------------------------------------
void Window::moveFocus(int to, bool postSelected, int key) {
  auto& d = *d_;
  int from = d.focus;
  if (from == to && !postSelected) return;
  const Control* old = findc(from);
  const Control* now = findc(to);
  d.focus = to;
  // An entry left keeps its cursor but nothing stays selected, as a line editor does.
  if (from != to)
    if (Control* left = find(from); left && left->hasEntry()) left->anchor = left->caret;
  changed(to, Prop::Selected);
  std::string oldMsg = old ? old->msg : std::string();
  std::string newMsg = now ? now->msg : std::string();
  if (!newMsg.empty() || !oldMsg.empty()) {
    if (!d.attrs.statusWidths.empty())
      setStatusText(1, newMsg);
    else if (d.attrs.kind == WindowKind::MdiChild)
      if (Window* f = appFrame()) f->setStatusText(1, newMsg);
  }
  if (postSelected && from != to) {
    Event s;
    s.code = EVENT::Selected;
    s.control = to;
    s.param = key;
    deliverLater(s);
  }
}

// Leaving the focused control: an edited entry is taken into its variable and accepted.
// 0: nothing to do, 1: Accepted queued, 2: Rejected queued.
int Window::leaveFocused() {
  Control* c = find(d_->focus);
  if (!c || !c->edited || !c->hasEntry()) return 0;
  bool rejected = false;
  takeValue(*c, rejected);
  Event e;
  e.code = rejected ? EVENT::Rejected : EVENT::Accepted;
  e.control = c->feq;
  deliverLater(e);
  return rejected ? 2 : 1;
}

// The rest of a user action runs once the procedure has seen the entry's Accepted, and
// not at all when the entry was refused or the procedure moved the focus itself.
void Window::leaveThen(std::function<void()> then) {
  int r = leaveFocused();
  if (r == 0) then();
  else if (r == 1) pushStep(std::move(then));
}

}  // namespace pf
