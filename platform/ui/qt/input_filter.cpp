#include "platform/ui/qt/input_filter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QWheelEvent>
#include <cstdlib>

#include "platform/ui/keys.h"
#include "platform/ui/qt/controls/region_control.h"
#include "platform/ui/qt/key_codes.h"
#include "platform/ui/qt/view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"

namespace pf::qt {
namespace {

bool isAltLetter(int code) {
  int base = code & 0xFF;
  return (code & Key::Alt) && !(code & Key::Ctrl) &&
         ((base >= 'A' && base <= 'Z') || (base >= '0' && base <= '9'));
}

bool inMenuBar(QObject* o) { return qobject_cast<QMenuBar*>(o) != nullptr; }

}  // namespace

bool InputFilter::eventFilter(QObject* o, QEvent* e) {
  View& v = *v_;
  switch (e->type()) {
    case QEvent::ShortcutOverride: {
      // Hot keys are the model's to give out (a window's own controls before the frame's), so
      // Qt's own shortcuts for the texts' ampersands never fire in our windows.
      if (inMenuBar(o)) return false;
      WindowView* s = v.owner(o, nullptr);
      if (!s || !findWindow(s->id) || !isAltLetter(keyCodeOf(static_cast<QKeyEvent*>(e)))) return false;
      e->accept();
      return true;
    }
    case QEvent::KeyPress: {
      // A menu bar the keyboard walks (after F10, or Esc out of a menu) keeps its keys.
      if (inMenuBar(o)) return false;
      auto* ke = static_cast<QKeyEvent*>(e);
      int feq = 0;
      WindowView* s = v.owner(o, &feq);
      if (!s) return false;
      Window* w = findWindow(s->id);
      if (!w) return false;
      int code = keyCodeOf(ke);
      if (!code) return false;
      if (isAltLetter(code) || code == Key::F10) {
        if (o != QApplication::focusWidget() && QApplication::focusWidget() && o != s->top) return false;
        if (code == Key::F10 && !w->alerted(w->focus(), code) && !w->alerted(0, code)) {
          v.openMenu(*w, 0);
          return true;
        }
        if (code != Key::F10) {
          Window::Mnemonic m = w->mnemonicTarget(aliasOf(code));
          const Control* c = m.window ? m.window->control(m.feq) : nullptr;
          if (c && c->kind == Kind::Menu) v.openMenu(*m.window, m.feq);
          else w->userKey(code);
          return true;
        }
      }
      int key = aliasOf(code);
      int base = key & 0xFF;
      const Control* c = w->control(w->focus());
      bool list = c && (c->kind == Kind::List || c->kind == Kind::DropList);
      bool multiline = c && c->kind == Kind::Text;
      bool route = (base >= Key::F1 && base <= Key::F12) || base == Key::Esc || base == Key::Tab ||
                   (base == Key::Enter && !multiline) || w->alerted(w->focus(), key) || w->alerted(0, key);
      if (list && (base == Key::Up || base == Key::Down || base == Key::PgUp || base == Key::PgDn ||
                   base == Key::Home || base == Key::End || base == Key::Insert || base == Key::Delete))
        route = true;
      if (!route) {
        for (const auto& x : w->controls())
          if (x.key == key) route = true;
        if (Window* f = appFrame())
          for (const auto& x : f->controls())
            if (x.feq < 0 && x.key == key) route = true;
      }
      if (!route) return false;
      // Only the first delivery of a key counts (the filter sits on several objects).
      if (o != QApplication::focusWidget() && QApplication::focusWidget() && o != s->top) return false;
      w->userKey(code);
      return true;
    }
    case QEvent::FocusIn: {
      if (v.syncing()) return false;
      int feq = 0;
      WindowView* s = v.owner(o, &feq);
      if (!s || feq == 0) return false;
      if (Window* w = findWindow(s->id); w && w->focus() != feq) w->userFocus(feq);
      return false;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: {
      auto* me = static_cast<QMouseEvent*>(e);
      int feq = 0;
      WindowView* s = v.owner(o, &feq);
      if (!s || feq == 0) return false;
      ControlView* cv = s->control(feq);
      if (!cv || cv->kind() != Kind::Region) return false;
      Window* w = findWindow(s->id);
      if (!w) return false;
      QPoint at = static_cast<QWidget*>(o)->mapTo(s->client, me->position().toPoint());
      int ev = e->type() == QEvent::MouseButtonPress ? EVENT::MouseDown
               : e->type() == QEvent::MouseMove ? EVENT::MouseMove : EVENT::MouseUp;
      if (ev == EVENT::MouseMove && !(me->buttons() & Qt::LeftButton) && !w->control(feq)->immediate) return false;
      if (ev != EVENT::MouseMove) {
        QWidget* region = cv->widget();
        region->setProperty(RegionHeld, ev == EVENT::MouseDown);
        region->update();
      }
      w->userMouse(feq, ev, s->u.dx(at.x()), s->u.dy(at.y()));
      return true;
    }
    case QEvent::Wheel: {
      int feq = 0;
      WindowView* s = v.owner(o, &feq);
      if (!s || feq == 0) return false;
      ControlView* cv = s->control(feq);
      if (!cv || !cv->scrollsByPage()) return false;
      Window* w = findWindow(s->id);
      if (!w) return false;
      auto* we = static_cast<QWheelEvent*>(e);
      w->userScroll(feq, we->angleDelta().y() > 0 ? EVENT::ScrollUp : EVENT::ScrollDown);
      return true;
    }
    case QEvent::Close: {
      WindowView* s = v.owner(o, nullptr);
      if (!s || (o != s->top)) return false;
      if (Window* w = findWindow(s->id)) w->userClose();
      e->ignore();
      return true;
    }
    case QEvent::Resize:
    case QEvent::Move: {
      if (v.syncing()) return false;
      WindowView* s = v.owner(o, nullptr);
      if (!s) return false;
      Window* w = findWindow(s->id);
      if (!w) return false;
      const WindowAttrs& a = w->attrs();
      auto near = [](int x, int y) { return std::abs(x - y) <= 1; };   // rounding of units
      if (e->type() == QEvent::Resize) {
        bool sizeOf = s->kind == WindowKind::Frame ? o == s->top : o == s->client;
        if (!sizeOf || !a.resizable) return false;
        QSize px = static_cast<QResizeEvent*>(e)->size();
        int wd = s->u.dx(px.width()), ht = s->u.dy(px.height());
        if (near(wd, a.w) && near(ht, a.h)) return false;
        s->geomSeen = QRect(a.x, a.y, wd, ht);
        w->userResize(wd, ht);
      } else {
        if (o != s->top || (s->top->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))) return false;
        QPoint p = s->top->pos();
        int x = s->u.dx(p.x()), y = s->u.dy(p.y());
        if (near(x, a.x) && near(y, a.y)) return false;
        s->geomSeen = QRect(x, y, a.w, a.h);
        w->userMove(x, y);
      }
      return false;
    }
    case QEvent::WindowStateChange: {
      if (v.syncing()) return false;
      WindowView* s = v.owner(o, nullptr);
      if (!s || o != s->top) return false;
      Window* w = findWindow(s->id);
      if (!w) return false;
      auto st = s->top->windowState();
      if (st & Qt::WindowMinimized) w->userSetState(Prop::Iconize);
      else if (st & Qt::WindowMaximized) w->userSetState(Prop::Maximize);
      else w->userSetState(Prop::Visible);
      return false;
    }
    case QEvent::WindowActivate: {
      if (v.syncing()) return false;
      WindowView* s = v.owner(o, nullptr);
      if (!s || o != s->top || s->sub) return false;
      // The frame coming to the front (a box over it has gone) brings its active child back,
      // which keeps the keyboard: not the frame, whose window would then be the model's active.
      if (s->mdi)
        if (QMdiSubWindow* sub = s->mdi->activeSubWindow())
          for (auto& [id, x] : v.shown())
            if (x->sub == sub)
              if (Window* child = findWindow(id); child && child->isOpen()) {
                child->userActivate();
                return false;
              }
      if (Window* w = findWindow(s->id)) {
        w->userActivate();
        // A window held by another of its thread (the frame under a dialog of its own
        // thread): the one that holds it comes to the front and takes the keyboard.
        if (activeWindow() != w) v.activateAgain();
      }
      return false;
    }
    default:
      return false;
  }
}

}  // namespace pf::qt
