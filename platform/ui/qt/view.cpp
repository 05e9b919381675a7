#include "platform/ui/qt/view.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPrinterInfo>
#include <QScreen>
#include <set>
#include <vector>

#include "platform/ui/qt/dialog_units.h"
#include "platform/ui/qt/dialogs/dialogs.h"
#include "platform/ui/qt/fonts.h"
#include "platform/ui/qt/resources.h"
#include "platform/ui/ui_internal.h"
#include "platform/ui/window.h"

namespace pf::qt {

View* theView = nullptr;

namespace {
// How long the window manager has to grant an activation before the window asks for attention.
constexpr int AttentionDelayMs = 400;
}  // namespace

View::View() : filter_(this) {
  poll_.setInterval(20);
  QObject::connect(&poll_, &QTimer::timeout, [] {
    pollTimers();
    if (anyRunnable()) runUntilIdle();
  });
  poll_.start();
  qApp->installEventFilter(&filter_);
}

View::~View() {
  qApp->removeEventFilter(&filter_);
  // Children first: a frame owns its MDI children's widgets.
  std::vector<QPointer<QWidget>> tops;
  for (auto& [id, s] : shown_)
    if (s->kind != WindowKind::Frame) tops.emplace_back(s->top);
  for (auto& [id, s] : shown_)
    if (s->kind == WindowKind::Frame) tops.emplace_back(s->top);
  for (auto& [id, w] : dialogs_) tops.emplace_back(w);
  for (auto& t : tops) delete t.data();   // QPointer: null once its owner took it
}

// The work area of every screen together, in the units of the window's own font.
std::optional<DesktopArea> View::desktopArea(const Window& w) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return std::nullopt;
  QRect r = screen->availableVirtualGeometry();
  Units u = unitsOf(fontOf(w.attrs().font, QApplication::font()));
  return DesktopArea{u.dx(r.x()), u.dy(r.y()), u.dx(r.width()), u.dy(r.height())};
}

std::optional<std::vector<std::string>> View::printers() {
  std::vector<std::string> names;
  QString standard = QPrinterInfo::defaultPrinterName();
  if (!standard.isEmpty()) names.push_back(standard.toStdString());
  for (const QString& n : QPrinterInfo::availablePrinterNames())
    if (n != standard) names.push_back(n.toStdString());
  return names;
}

void View::schedule() {
  if (queued_) return;
  queued_ = true;
  // Tied to the view: a sync still queued when the view goes is dropped with it.
  QTimer::singleShot(0, &poll_, [this] {
    queued_ = false;
    sync();
  });
}

void View::arrange(MdiArrangement how) {
  for (auto& [id, x] : shown_) {
    if (x->kind != WindowKind::Frame || !x->mdi) continue;
    QMdiArea* area = x->mdi;
    if (how == MdiArrangement::Tile) {
      area->tileSubWindows();
    } else if (how == MdiArrangement::Cascade) {
      area->cascadeSubWindows();
    } else {
      // Minimised children in a row along the bottom of the client area.
      int left = 0;
      for (QMdiSubWindow* sub : area->subWindowList())
        if (sub->isMinimized()) {
          sub->move(left, area->viewport()->height() - sub->height());
          left += sub->width();
        }
    }
  }
}

void View::openMenu(Window& w, int menuFeq) {
  WindowView* s = find(w.id());
  if (s && !s->menubar && w.kind() == WindowKind::MdiChild)
    if (Window* f = appFrame()) s = find(f->id());
  if (!s || !s->menubar || !s->menubar->isEnabled()) return;
  QAction* open = nullptr;
  if (menuFeq) {
    if (ControlView* c = s->control(menuFeq)) open = c->action();
  } else {
    for (QAction* a : s->menubar->actions())
      if (a->isVisible() && a->isEnabled() && a->menu()) {
        open = a;
        break;
      }
  }
  if (!open || !open->isVisible() || !open->isEnabled()) return;
  s->top->window()->activateWindow();
  s->menubar->setActiveAction(open);
}

WindowView* View::find(std::uintptr_t id) {
  auto it = shown_.find(id);
  return it == shown_.end() ? nullptr : it->second.get();
}

WindowView* View::owner(QObject* o, int* feq) {
  for (QObject* x = o; x; x = x->parent()) {
    QVariant wid = x->property("qbWindow");
    if (!wid.isValid()) {
      // A box, a dialog, a menu or a drop-down list is a window of its own over ours: its
      // keys and clicks are its own.
      if (auto* wd = qobject_cast<QWidget*>(x); wd && wd->isWindow()) return nullptr;
      continue;
    }
    if (feq) {
      *feq = 0;
      for (QObject* y = o; y && y != x; y = y->parent()) {
        QVariant f = y->property("qbFeq");
        if (f.isValid()) {
          *feq = f.toInt();
          break;
        }
      }
    }
    return find(static_cast<std::uintptr_t>(wid.toULongLong()));
  }
  return nullptr;
}

QWidget* View::frameWidget() {
  for (auto& [id, s] : shown_)
    if (s->kind == WindowKind::Frame) return s->top;
  return nullptr;
}

void View::create(Window& w) {
  auto s = std::make_unique<WindowView>(*this, w);
  WindowView* raw = s.get();
  shown_[w.id()] = std::move(s);
  raw->sync(w);
  raw->seen = w.changes();
  raw->show(w);
}

// The model's active window to the front with the keyboard in it.
void View::activate(std::uintptr_t id) {
  WindowView* s = find(id);
  if (!s || !s->top || !s->client) return;
  if (s->sub) {
    if (QMdiArea* area = s->sub->mdiArea()) area->setActiveSubWindow(s->sub);
    if (QWidget* frame = frameWidget(); frame && !frame->isActiveWindow()) frame->activateWindow();
  } else {
    s->top->raise();
    s->top->activateWindow();
  }
  s->focusSeen = -1;
  if (Window* w = findWindow(id)) s->sync(*w);
}

void View::syncDialogs() {
  std::set<int> open;
  bool closed = false;
  for (Dialog* d : openDialogs()) {
    open.insert(d->id);
    if (dialogs_.count(d->id)) continue;
    QWidget* parent = nullptr;
    if (Window* top = topWindow(d->thread))
      if (WindowView* s = find(top->id()); s && s->top && s->top->isVisible()) parent = s->top->window();
    if (!parent) parent = frameWidget();
    QWidget* box = showDialog(*d, parent);
    dialogs_[d->id] = box;
    // A box takes the keyboard at once, also when it follows another box whose going handed
    // the activation back to the window under it.
    if (box && d->kind != DialogKind::Popup)
      QTimer::singleShot(0, box, [box] {
        if (!box->isVisible()) return;
        box->raise();
        box->activateWindow();
      });
  }
  for (auto it = dialogs_.begin(); it != dialogs_.end();) {
    if (!open.count(it->first)) {
      if (it->second) {
        it->second->hide();
        it->second->deleteLater();
      }
      it = dialogs_.erase(it);
      closed = true;
    } else {
      ++it;
    }
  }
  // The last box gone: the keyboard goes back to the window it was over (no window
  // manager hands it on by itself).
  if (closed && dialogs_.empty()) activate(desk().active);
}

void View::sync() {
  syncing_ = true;
  std::vector<Window*> z = windowsInZOrder();
  // Frames first: their children go inside them.
  for (auto it = z.rbegin(); it != z.rend(); ++it)
    if ((*it)->kind() == WindowKind::Frame && !find((*it)->id())) create(**it);
  for (auto it = z.rbegin(); it != z.rend(); ++it)
    if (!find((*it)->id())) create(**it);
  std::set<std::uintptr_t> open;
  for (Window* w : z) open.insert(w->id());
  for (auto it = shown_.begin(); it != shown_.end();) {
    if (!open.count(it->first)) {
      if (QWidget* top = it->second->top) {
        top->hide();
        top->deleteLater();
      }
      it = shown_.erase(it);
    } else {
      ++it;
    }
  }
  for (Window* w : z) {
    WindowView* s = find(w->id());
    if (!s || !s->top || !s->client) continue;   // went with its frame
    if (s->seen != w->changes()) {
      s->sync(*w);
      s->seen = w->changes();
    } else {
      s->syncInput(*w);
    }
  }
  std::uintptr_t active = desk().active;
  if (active != activeSeen_) {
    activeSeen_ = active;
    activate(active);
  }
  if (raiseCount() != raisesSeen_) {
    raisesSeen_ = raiseCount();
    // The program comes to the front: its frame, then the active window when it is one of
    // its own above the frame.
    QWidget* front = nullptr;
    if (QWidget* f = frameWidget()) {
      if (f->isMinimized()) f->showNormal();
      f->raise();
      f->activateWindow();
      front = f;
    }
    if (WindowView* s = find(active); s && s->top && !s->sub && s->top != frameWidget()) {
      s->top->raise();
      s->top->activateWindow();
      front = s->top;
    }
    // A window manager that keeps programs from taking the focus refuses the activation;
    // then the window asks for the user's attention instead (the alert does nothing to a
    // window that is active by then).
    if (front) QTimer::singleShot(AttentionDelayMs, front, [front] { QApplication::alert(front); });
  }
  syncDialogs();
  std::string cur = waitCursorDepth() > 0 ? "Wait" : programCursor();
  if (cur != cursorSeen_) {
    while (cursorPushed_ > 0) {
      QApplication::restoreOverrideCursor();
      --cursorPushed_;
    }
    if (!cur.empty()) {
      QApplication::setOverrideCursor(cursorFor(cur));
      ++cursorPushed_;
    }
    cursorSeen_ = cur;
  }
  if (beepCount() != beepsSeen_) {
    beepsSeen_ = beepCount();
    QApplication::beep();
  }
  syncing_ = false;
}

}  // namespace pf::qt
