// The user's side of a window: what a click, a key or a typed text does. The user* calls
// come from outside the program threads (the view, the test driver); they post the action to
// the window's thread, where accept() carries it out in order with the program's events.
#include <algorithm>
#include <string>

#include "platform/core/field.h"
#include "platform/core/pictures.h"
#include "platform/core/secret.h"
#include "platform/core/visible_text.h"
#include "platform/core/strings.h"
#include "platform/ui/keys.h"
#include "platform/ui/ui_internal.h"
#include "platform/ui/window.h"

namespace pf {
namespace {

bool isListLike(Kind k) { return k == Kind::List || k == Kind::DropList || k == Kind::Combo || k == Kind::DropCombo; }

// The bytes a text typed into the control can keep: its variable's room, and for an
// entry with a string picture that picture's width.
std::size_t textRoom(const Control& c) {
  std::size_t room = std::string::npos;
  const Binding& b = c.binding;
  if (b.bound() && !b.stdString) {
    if (b.type == FieldType::String || b.type == FieldType::CString || b.type == FieldType::Memo)
      room = static_cast<std::size_t>(fieldTextWidth(b.type, b.size));
  }
  const std::string& pic = b.picture.empty() ? c.picture : b.picture;
  if (c.kind != Kind::Text && !pic.empty()) {
    Picture p = parsePicture(pic);
    if (p.kind == Picture::Kind::String && p.width > 0) room = std::min(room, static_cast<std::size_t>(p.width));
  }
  return room;
}

}  // namespace

bool Window::takesInput() const {
  const auto& d = *d_;
  if (!d.open || d.iconized || d.hidden) return false;
  if (topWindow(d.thread) != this) return false;
  return !threadBlocked(d.thread);
}

void Window::postInput(int kind, int feq, int a, int b, int c) {
  auto& d = *d_;
  if (!d.open) return;
  Input in;
  in.kind = static_cast<Input::Kind>(kind);
  in.feq = feq;
  in.a = a;
  in.b = b;
  in.c = c;
  std::int64_t serial = d.nextInput++;
  d.inputs[serial] = in;
  Event e;
  e.code = INPUT::Event;
  e.control = feq;
  e.param = serial;
  e.window = d.id;
  pf::post(std::move(e), d.thread);
}

void Window::userFocus(int feq) { if (takesInput()) postInput(Input::Focus, feq); }
void Window::userPress(int feq) { if (takesInput()) postInput(Input::Press, feq); }
void Window::userKey(int key) { if (takesInput()) postInput(Input::Key, 0, key); }
void Window::userSelectRow(int feq, int row, int column) { if (takesInput()) postInput(Input::Row, feq, row, column); }
void Window::userDoubleClick(int feq, int row, int column) { if (takesInput()) postInput(Input::DoubleClick, feq, row, column); }
void Window::userChooseTab(int sheet, int tab) { if (takesInput()) postInput(Input::Tab, sheet, tab); }
void Window::userScroll(int feq, int ev, int thumb) { if (takesInput()) postInput(Input::Scroll, feq, ev, thumb); }
void Window::userMouse(int feq, int ev, int x, int y) { if (takesInput()) postInput(Input::Mouse, feq, ev, x, y); }
void Window::userColumnResize(int feq, int column, int width) { if (takesInput()) postInput(Input::ColumnResize, feq, column, width); }
void Window::userMoveColumn(int feq, int from, int to) { if (takesInput()) postInput(Input::MoveColumn, feq, from, to); }
void Window::userClose() { if (takesInput()) postInput(Input::Close, 0); }
void Window::userResize(int w, int h) { if (d_->open) postInput(Input::Resize, 0, w, h); }
void Window::userMove(int x, int y) { if (d_->open) postInput(Input::Move, 0, x, y); }
void Window::userSetState(Prop state) { if (d_->open) postInput(Input::State, 0, static_cast<int>(state)); }
void Window::userListRows(int feq, int rows) { if (d_->open) postInput(Input::ListRows, feq, rows); }
void Window::userActivate() {
  if (d_->open) deskActivate(*this, true);
}

// Typing changes what the control shows at once; the variable follows when it is accepted.
// The control takes only what its variable stores: hidden characters are dropped and a
// full entry takes no more (the view is told, so it shows what was taken).
void Window::userType(int feq, std::string_view text) {
  if (!takesInput()) return;
  Control* c = find(feq);
  if (!c || !c->hasEntry() || c->readOnly || !enabledc(*c)) return;
  std::string taken = enteredText(text, c->kind == Kind::Text);
  taken.resize(utf8Fit(taken, textRoom(*c)));
  bool cut = taken != text;
  if (c->text == taken && c->edited) {
    if (cut) changed(feq, Prop::Text);
    if (c->password) wipe(taken);
    return;
  }
  setEntryText(*c, taken, false);
  if (c->password) wipe(taken);
  c->edited = true;
  changed(feq, Prop::Text);
}

void Window::userKeystroke(int feq, std::string_view text, int cursor, int anchor, int key) {
  if (!takesInput()) return;
  Control* c = find(feq);
  if (!c || !c->hasEntry() || c->readOnly || !enabledc(*c)) return;
  if (c->text != text) {
    setEntryText(*c, text, false);
    c->edited = true;
    changed(feq, Prop::Text);
  }
  int n = static_cast<int>(utf8Length(c->text));
  c->caret = std::clamp(cursor, 0, n);
  c->anchor = std::clamp(anchor, 0, n);
  // Only the newest keystroke is reported: the text it left holds the ones before it.
  ++c->keystrokes;
  if (c->immediate && c->hasRows()) postInput(Input::Keystroke, feq, key, c->keystrokes);
}

void Window::runInput(const Event& e) {
  auto& d = *d_;
  auto it = d.inputs.find(e.param);
  if (it == d.inputs.end()) return;
  Input in = it->second;
  d.inputs.erase(it);
  Control* c = in.feq ? find(in.feq) : nullptr;
  auto usable = [&](const Control* x) { return x && shown(*x) && enabledc(*x); };
  switch (in.kind) {
    case Input::Focus: {
      if (!c || !focusable(*c) || d.focus == in.feq) return;
      int to = in.feq;
      leaveThen([this, to] { moveFocus(to, true); });
      return;
    }
    case Input::Press:
      if (usable(c)) pressControl(in.feq);
      return;
    case Input::Key: {
      int key = aliasOf(in.a);
      if (alerted(d.focus, key) || alerted(0, key)) {
        Event a;
        a.code = EVENT::AlertKey;
        a.control = d.focus;
        a.param = key;
        deliverLater(a);
        return;
      }
      if (pressByKey(key) || pressMnemonic(key)) return;
      keyDefault(key);
      return;
    }
    case Input::Row:
    case Input::DoubleClick:
      if (usable(c) && isListLike(c->kind)) pickRow(*c, in.a, in.b, in.kind == Input::DoubleClick);
      return;
    case Input::Tab: {
      if (!usable(c) || c->kind != Kind::Sheet) return;
      int index = 0;
      const Control* tab = nullptr;
      for (const auto& x : d.controls)
        if (x.kind == Kind::Tab && x.parent == c->feq && ++index == in.a) tab = &x;
      if (!tab || tab->hide || tab->disable || c->selected == in.a) return;
      int sheet = c->feq, choice = in.a;
      leaveThen([this, sheet, choice] {
        Control& s = need(sheet);
        s.selected = choice;
        changed(sheet, Prop::Selected);
        const Control* f = findc(d_->focus);
        if (f && !shown(*f)) d_->focus = 0;
        Event n;
        n.code = EVENT::NewSelection;
        n.control = sheet;
        deliverLater(n);
      });
      return;
    }
    case Input::Scroll: {
      if (!usable(c)) return;
      if (in.a == EVENT::ScrollDrag) {
        c->vscrollPos = std::clamp(in.b, 0, 100);
        changed(in.feq, Prop::VScrollPos);
      }
      Event s;
      s.code = in.a;
      s.control = in.feq;
      s.param = in.b;
      deliverLater(s);
      return;
    }
    case Input::Mouse: {
      if (!c) return;
      d.mouseX = in.b;
      d.mouseY = in.c;
      int target = d.capture ? d.capture : in.feq;
      Control* t = find(target);
      if (!t) return;
      if (in.a == EVENT::MouseDown) {
        if (!usable(t)) return;
        d.capture = target;
        d.pressX = in.b;
        d.pressY = in.c;
        d.dragging = false;
      } else if (in.a == EVENT::MouseMove) {
        if (d.capture && !d.dragging && !t->dragId.empty() &&
            (in.b != d.pressX || in.c != d.pressY)) {
          d.dragging = true;
          Event g;
          g.code = EVENT::Dragging;
          g.control = target;
          // Where the button went down, packed as the mouse events pack the pointer.
          g.param = (static_cast<std::int64_t>(d.pressY) << 32) | static_cast<std::uint32_t>(d.pressX);
          deliverLater(g);
        }
      }
      if (t->immediate) {
        Event m;
        m.code = in.a;
        m.control = target;
        m.param = (static_cast<std::int64_t>(in.c) << 32) | static_cast<std::uint32_t>(in.b);
        deliverLater(m);
      }
      if (in.a == EVENT::MouseUp) {
        d.capture = 0;
        d.dragging = false;
      }
      return;
    }
    case Input::ColumnResize: {
      if (!usable(c)) return;
      int n = static_cast<int>(c->format.columns.size());
      if (in.a < 1 || in.a > n) return;
      auto& col = c->format.columns[static_cast<std::size_t>(in.a - 1)];
      if (!col.resizable) return;
      col.width = std::max(0, in.b);
      changed(in.feq, Prop::ColumnWidth);
      Event r;
      r.code = EVENT::ColumnResize;
      r.control = in.feq;
      r.param = in.a;
      deliverLater(r);
      return;
    }
    case Input::MoveColumn: {
      if (!usable(c)) return;
      auto& cols = c->format.columns;
      int n = static_cast<int>(cols.size());
      if (in.a < 1 || in.a > n || in.b < 1 || in.b > n || in.a == in.b) return;
      ListColumn col = cols[static_cast<std::size_t>(in.a - 1)];
      cols.erase(cols.begin() + (in.a - 1));
      cols.insert(cols.begin() + (in.b - 1), col);
      changed(in.feq, Prop::Format);
      return;
    }
    case Input::Close: {
      Event x;
      x.code = EVENT::CloseWindow;
      deliverLater(x);
      return;
    }
    case Input::Resize: {
      auto& a = d.attrs;
      int w = in.a, h = in.b;
      if (a.minW > 0) w = std::max(w, a.minW);
      if (a.minH > 0) h = std::max(h, a.minH);
      if (a.maxW > 0) w = std::min(w, a.maxW);
      if (a.maxH > 0) h = std::min(h, a.maxH);
      if (w == a.w && h == a.h) return;
      a.w = w;
      a.h = h;
      changed(0, Prop::Width);
      Event x;
      x.code = EVENT::Sized;
      deliverLater(x);
      return;
    }
    case Input::Move: {
      if (in.a == d.attrs.x && in.b == d.attrs.y) return;
      d.attrs.x = in.a;
      d.attrs.y = in.b;
      changed(0, Prop::Xpos);
      Event x;
      x.code = EVENT::Moved;
      deliverLater(x);
      return;
    }
    case Input::State: {
      auto state = static_cast<Prop>(in.a);
      Event x;
      if (state == Prop::Maximize) {
        if (d.maximized) return;
        d.maximized = true;
        d.iconized = false;
        x.code = EVENT::Maximized;
      } else if (state == Prop::Iconize) {
        if (d.iconized) return;
        d.iconized = true;
        x.code = EVENT::Iconized;
      } else {
        if (!d.maximized && !d.iconized) return;
        d.maximized = false;
        d.iconized = false;
        x.code = EVENT::Restored;
      }
      changed(0, state == Prop::Iconize ? Prop::Iconize : Prop::Maximize);
      deliverLater(x);
      if (x.code != EVENT::Iconized) {
        Event s;
        s.code = EVENT::Sized;
        deliverLater(s);
      }
      return;
    }
    case Input::Activate:
      deskActivate(*this, true);
      return;
    case Input::Keystroke: {
      if (!c || !c->immediate || in.b != c->keystrokes) return;
      Event k;
      k.code = EVENT::NewSelection;
      k.control = in.feq;
      k.param = in.a;
      deliverLater(k);
      return;
    }
    case Input::ListRows: {
      if (!c || c->kind != Kind::List || in.a < 1 || c->viewRows == in.a) return;
      c->viewRows = in.a;
      changed(in.feq, Prop::Items);
      Event s;
      s.code = EVENT::Sized;
      deliverLater(s);
      return;
    }
  }
}

void Window::pressControl(int feq) {
  auto& d = *d_;
  Control& c = need(feq);
  auto accepted = [this](int f) {
    Event e;
    e.code = EVENT::Accepted;
    e.control = f;
    deliverLater(e);
  };
  switch (c.kind) {
    case Kind::Item:
      if (c.separator) return;
      accepted(feq);
      return;
    case Kind::Button:
      if (c.feq < 0) {   // toolbar buttons take no focus
        accepted(feq);
        return;
      }
      leaveThen([this, feq, accepted] {
        const Control* b = findc(feq);
        if (!b) return;
        if (focusable(*b) && d_->focus != feq) {
          moveFocus(feq, true);
          pushStep([accepted, feq] { accepted(feq); });
        } else {
          accepted(feq);
        }
      });
      return;
    case Kind::Check:
      leaveThen([this, feq, accepted] {
        Control* b = find(feq);
        if (!b) return;
        auto toggle = [this, feq, accepted] {
          Control* x = find(feq);
          if (!x) return;
          x->checked = !x->checked;
          bool rejected = false;
          takeValue(*x, rejected);
          changed(feq, Prop::Checked);
          accepted(feq);
        };
        if (focusable(*b) && d_->focus != feq) {
          moveFocus(feq, true);
          pushStep(toggle);
        } else {
          toggle();
        }
      });
      return;
    case Kind::Radio: {
      int option = c.parent;
      leaveThen([this, feq, option, accepted] {
        Control* r = find(feq);
        if (!r) return;
        auto choose = [this, feq, option, accepted] {
          Control* opt = find(option);
          if (!opt) return;
          int index = 0, mine = 0;
          for (auto& x : d_->controls)
            if (x.kind == Kind::Radio && x.parent == option) {
              ++index;
              bool on = x.feq == feq;
              if (on) mine = index;
              if (x.checked != on) {
                x.checked = on;
                changed(x.feq, Prop::Checked);
              }
            }
          bool same = opt->selected == mine;
          opt->selected = mine;
          bool rejected = false;
          takeValue(*opt, rejected);
          changed(option, Prop::Selected);
          if (!same) accepted(option);
        };
        if (focusable(*r) && d_->focus != feq) {
          moveFocus(feq, true);
          pushStep(choose);
        } else {
          choose();
        }
      });
      return;
    }
    case Kind::Tab: {
      int index = 0;
      for (const auto& x : d.controls)
        if (x.kind == Kind::Tab && x.parent == c.parent) {
          ++index;
          if (x.feq == feq) break;
        }
      postInput(Input::Tab, c.parent, index);
      return;
    }
    case Kind::Region:
      if (c.immediate) {
        Event m;
        m.control = feq;
        m.code = EVENT::MouseDown;
        deliverLater(m);
        m.code = EVENT::MouseUp;
        deliverLater(m);
      }
      return;
    default:
      if (focusable(c) && d.focus != feq) leaveThen([this, feq] { moveFocus(feq, true); });
      return;
  }
}

// A key that belongs to a control: a button's or menu item's key, here or on the frame.
bool Window::pressByKey(int key) {
  auto& d = *d_;
  for (const auto& c : d.controls)
    if (c.key == key && shown(c) && enabledc(c) && !c.separator) {
      pressControl(c.feq);
      return true;
    }
  if (d.attrs.kind == WindowKind::MdiChild) {
    Window* f = appFrame();
    if (f && f != this && f->takesInput()) {
      for (const auto& c : f->controls())
        if (c.feq < 0 && c.key == key && f->visible(c.feq) && f->propInt(c.feq, Prop::Enabled)) {
          f->userPress(c.feq);
          return true;
        }
    }
  }
  return false;
}

Window::Mnemonic Window::mnemonicTarget(int key) {
  if (!(key & Key::Alt) || (key & Key::Ctrl)) return {};
  auto answers = [key](Window& w, const Control& c) {
    return mnemonicKey(c.text) == key && w.shown(c) && w.enabledc(c);
  };
  auto first = [&](Window& w, auto&& kindOk) -> Mnemonic {
    for (const auto& c : w.d_->controls)
      if (kindOk(w, c) && answers(w, c)) return {&w, c.feq};
    return {};
  };
  Mnemonic m = first(*this, [](Window&, const Control& c) {
    return c.kind == Kind::Button || c.kind == Kind::Check || c.kind == Kind::Radio || c.kind == Kind::Prompt;
  });
  if (m.window) return m;
  Window* frame = d_->attrs.kind == WindowKind::MdiChild ? appFrame() : nullptr;
  if (frame == this || (frame && !frame->takesInput())) frame = nullptr;
  if (frame) {
    m = first(*frame, [](Window&, const Control& c) { return c.feq < 0 && c.kind == Kind::Button; });
    if (m.window) return m;
  }
  auto menuOfBar = [](Window& w, const Control& c) {
    const Control* p = c.kind == Kind::Menu ? w.findc(c.parent) : nullptr;
    return p && p->kind == Kind::Menubar;
  };
  m = first(*this, menuOfBar);
  if (!m.window && frame) m = first(*frame, menuOfBar);
  if (m.window) return m;
  return first(*this, [](Window&, const Control& c) { return c.kind == Kind::Tab; });
}

// An Alt key stroke: the control its hot key names is pressed; a prompt hands the focus to
// the control after it. A menu is the view's to open. Nothing else takes the stroke.
bool Window::pressMnemonic(int key) {
  if (!(key & Key::Alt) || (key & Key::Ctrl)) return false;
  Mnemonic m = mnemonicTarget(key);
  if (!m.window) return true;
  if (m.window != this) {
    if (m.feq < 0) m.window->userPress(m.feq);
    return true;
  }
  const Control* c = findc(m.feq);
  if (!c || c->kind == Kind::Menu) return true;
  if (c->kind == Kind::Prompt) {
    int prompt = m.feq;
    leaveThen([this, prompt] {
      int to = nextFocusable(prompt, 1);
      if (to && to != d_->focus) moveFocus(to, true);
    });
    return true;
  }
  pressControl(m.feq);
  return true;
}

void Window::keyDefault(int key) {
  auto& d = *d_;
  Control* c = find(d.focus);
  if (key == Key::Esc) {
    if (d.attrs.noEscClose) return;
    Event x;
    x.code = EVENT::CloseWindow;
    x.param = Key::Esc;
    deliverLater(x);
    return;
  }
  if (key == Key::Tab || key == Key::ShiftTab) {
    int dir = key == Key::Tab ? 1 : -1;
    leaveThen([this, dir, key] {
      int to = nextFocusable(d_->focus, dir);
      if (to && to != d_->focus) moveFocus(to, true, key);
    });
    return;
  }
  if (!c) return;
  if (key == Key::Enter) {
    if (c->kind == Kind::List) {
      Event a;
      a.code = EVENT::Accepted;
      a.control = c->feq;
      deliverLater(a);
      return;
    }
    if (c->kind == Kind::Button) {
      pressControl(c->feq);
      return;
    }
    leaveThen([this] {
      for (const auto& b : d_->controls)
        if (b.kind == Kind::Button && b.isDefault && shown(b) && enabledc(b)) {
          pressControl(b.feq);
          return;
        }
    });
    return;
  }
  if (key == Key::Space && (c->kind == Kind::Button || c->kind == Kind::Check || c->kind == Kind::Radio)) {
    pressControl(c->feq);
    return;
  }
  if (c->hasRows() && c->kind != Kind::Combo && c->kind != Kind::DropCombo) {
    listKey(*c, key);
    return;
  }
  if (c->hasEntry() && !c->readOnly) {
    if (key == Key::CtrlV) {
      setEntryText(*c, c->text + clipboard(), false);
      c->edited = true;
      changed(c->feq, Prop::Text);
    } else if (key == Key::CtrlC || key == Key::CtrlX) {
      setClipboard(c->text);
      if (key == Key::CtrlX) {
        setEntryText(*c, "", false);
        c->edited = true;
        changed(c->feq, Prop::Text);
      }
    }
  }
}

// Arrow and page keys: the selection moves within the rows the list holds; beyond them a
// list that scrolls immediately asks the procedure for more rows.
void Window::listKey(Control& c, int key) {
  int n = static_cast<int>(c.rows.size());
  int sel = c.selected;
  int page = static_cast<int>(propInt(c.feq, Prop::Items));
  auto scroll = [&](int code) {
    Event s;
    s.code = code;
    s.control = c.feq;
    deliverLater(s);
  };
  int to = sel;
  switch (key) {
    case Key::Down:
      if (sel < n) to = sel + 1;
      else if (c.immediate) return scroll(EVENT::ScrollDown);
      break;
    case Key::Up:
      if (sel > 1) to = sel - 1;
      else if (c.immediate) return scroll(EVENT::ScrollUp);
      break;
    case Key::PgDn:
      if (c.immediate) return scroll(EVENT::PageDown);
      to = std::min(n, sel + page);
      break;
    case Key::PgUp:
      if (c.immediate) return scroll(EVENT::PageUp);
      to = std::max(n ? 1 : 0, sel - page);
      break;
    case Key::CtrlHome:
      if (c.immediate) return scroll(EVENT::ScrollTop);
      to = n ? 1 : 0;
      break;
    case Key::CtrlEnd:
      if (c.immediate) return scroll(EVENT::ScrollBottom);
      to = n;
      break;
    case Key::Home:
      to = n ? 1 : 0;
      break;
    case Key::End:
      to = n;
      break;
    default:
      return;
  }
  if (to == sel || to < 1) return;
  pickRow(c, to, -1, false);
}

// A row chosen with the mouse or the keys. The row is selected first, so that an alert on
// the click sees the clicked row as the selected one.
void Window::pickRow(Control& c, int row, int column, bool twice) {
  int feq = c.feq;
  leaveThen([this, feq, row, column, twice] {
    Control* l = find(feq);
    if (!l) return;
    int n = static_cast<int>(l->rows.size());
    if (d_->focus != feq && focusable(*l)) moveFocus(feq, true);
    l->mouseDownRow = row;
    l->mouseDownColumn = std::max(0, column);
    l->mouseDownField =
        column >= 1 && column <= static_cast<int>(l->format.columns.size())
            ? l->format.columns[static_cast<std::size_t>(column - 1)].field : 0;
    bool isList = l->kind == Kind::List;
    if (row >= 1 && row <= n && row != l->selected) {
      l->selected = row;
      changed(feq, Prop::Selected);
      Event s;
      s.code = EVENT::NewSelection;
      s.control = feq;
      deliverLater(s);
    }
    if (!isList) {
      if (row >= 1 && row <= n) {
        if (l->kind == Kind::Combo || l->kind == Kind::DropCombo) {
          const auto& cells = l->rows[static_cast<std::size_t>(row - 1)].cells;
          std::string text = cells.empty() ? std::string() : cells[0].value;
          while (!text.empty() && text.back() == ' ') text.pop_back();
          setEntryText(*l, text, false);
          l->edited = false;
          changed(feq, Prop::Text);
        }
        bool rejected = false;
        takeValue(*l, rejected);
        Event a;
        a.code = EVENT::Accepted;
        a.control = feq;
        deliverLater(a);
      }
      return;
    }
    int mouseKey = twice ? Key::MouseLeft2 : Key::MouseLeft;
    if (column >= 0 || twice) {   // a click, not a key
      if (alerted(feq, mouseKey) || alerted(0, mouseKey)) {
        Event a;
        a.code = EVENT::AlertKey;
        a.control = feq;
        a.param = mouseKey;
        deliverLater(a);
      } else if (twice) {
        Event a;
        a.code = EVENT::Accepted;
        a.control = feq;
        deliverLater(a);
      }
    }
  });
}

}  // namespace pf
