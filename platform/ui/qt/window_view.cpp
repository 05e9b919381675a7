#include "platform/ui/qt/window_view.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <set>

#include "platform/ui/qt/convert.h"
#include "platform/ui/qt/fonts.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/qt/view.h"

namespace pf::qt {

WindowView::WindowView(View& view, Window& w) : view_(view) {
  id = w.id();
  kind = w.kind();
  const WindowAttrs& a = w.attrs();
  QWidget* frame = view.frameWidget();
  QFont base = fontOf(a.font, QApplication::font());
  u = unitsOf(base);

  if (a.kind == WindowKind::Frame) {
    main = new QMainWindow();
    top = main;
    mdi = new QMdiArea(main);
    QPixmap wall = picture(a.wallpaper);
    if (!wall.isNull()) mdi->setBackground(QBrush(wall));
    main->setCentralWidget(mdi);
    client = mdi;
    QObject::connect(mdi, &QMdiArea::subWindowActivated, [&view](QMdiSubWindow* s) {
      if (view.syncing() || !s) return;
      for (auto& [wid, x] : view.shown())
        if (x->sub == s)
          if (Window* m = findWindow(wid)) m->userActivate();
    });
  } else {
    client = new QWidget();
    QMdiArea* area = nullptr;
    for (auto& [fid, x] : view.shown())
      if (x->kind == WindowKind::Frame) area = x->mdi;
    if (a.kind == WindowKind::MdiChild && area) {
      sub = area->addSubWindow(client);
      sub->setAttribute(Qt::WA_DeleteOnClose, false);
      top = sub;
    } else {
      // Plain windows stay above the frame but are windows of their own.
      QWidget* t = new QWidget(frame, Qt::Window | Qt::Dialog);
      auto* lay = new QVBoxLayout(t);
      lay->setContentsMargins(0, 0, 0, 0);
      lay->setSpacing(0);
      lay->addWidget(client, 1);
      top = t;
    }
    QPixmap wall = picture(a.wallpaper);
    if (!wall.isNull()) {
      QPalette pal = client->palette();
      pal.setBrush(QPalette::Window, QBrush(wall));
      client->setPalette(pal);
      client->setAutoFillBackground(true);
    }
    client->setFont(base);
    client->setFixedSize(u.px(a.w), u.py(a.h));
    if (a.resizable) {
      client->setMinimumSize(u.px(a.minW), u.py(a.minH));
      client->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
      client->resize(u.px(a.w), u.py(a.h));
    }
  }
  top->setProperty("qbWindow", QVariant::fromValue<qulonglong>(id));
  client->setProperty("qbWindow", QVariant::fromValue<qulonglong>(id));
  top->installEventFilter(view.filter());
  if (client != top) client->installEventFilter(view.filter());
  QIcon ic = icon(a.icon);
  if (!ic.isNull()) top->setWindowIcon(ic);

  // Menus, toolbar and status bar belong to the frame's main window, or to the window's
  // own layout for a plain window.
  bool hasMenu = false, hasBar = false;
  for (const auto& c : w.controls()) {
    hasMenu = hasMenu || c.kind == Kind::Menubar;
    hasBar = hasBar || c.kind == Kind::Toolbar;
  }
  auto* lay = qobject_cast<QVBoxLayout*>(top->layout());
  if (hasMenu) {
    if (main) menubar = main->menuBar();
    else if (lay) {
      menubar = new QMenuBar(top);
      lay->insertWidget(0, menubar);
    }
  }
  if (hasBar) {
    strip = new QWidget();
    strip->setFont(base);
    strip->setFixedHeight(u.py(a.toolbarHeight > 0 ? a.toolbarHeight : 26));
    // The bar and its picture span the whole width, however wide the frame.
    strip->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    strip->setMinimumWidth(u.px(a.w) / 2);
    QPixmap wall = picture(a.wallpaper);
    if (!wall.isNull()) {
      QPalette pal = strip->palette();
      pal.setBrush(QPalette::Window, QBrush(wall));
      strip->setPalette(pal);
      // A toolbar hands its children the button role, which would fill the bar plain grey.
      strip->setBackgroundRole(QPalette::Window);
      strip->setAutoFillBackground(true);
    }
    if (main) {
      auto* tb = new QToolBar(main);
      tb->setMovable(false);
      tb->setFloatable(false);
      tb->setContextMenuPolicy(Qt::PreventContextMenu);
      tb->setContentsMargins(0, 0, 0, 0);
      if (tb->layout()) {
        tb->layout()->setContentsMargins(0, 0, 0, 0);
        tb->layout()->setSpacing(0);
      }
      tb->addWidget(strip);
      main->addToolBar(tb);
    } else if (lay) {
      lay->insertWidget(hasMenu ? 1 : 0, strip);
    }
  }
  if (!a.statusWidths.empty()) {
    if (main) status = main->statusBar();
    else if (lay) {
      status = new QStatusBar(top);
      lay->addWidget(status);
    }
    if (status) {
      // Zones drawn as sunken panels with a plain border, the bar's own separators off.
      status->setStyleSheet(QStringLiteral(
          "QStatusBar::item { border: none; }"
          "QStatusBar QLabel { border: 1px solid palette(mid); border-radius: 2px; padding: 0px 3px; }"));
      for (int width : a.statusWidths) {
        auto* l = new QLabel(status);
        if (width < 0) status->addWidget(l, 1);
        else {
          l->setFixedWidth(u.px(width));
          status->addPermanentWidget(l);
        }
        zones.push_back(l);
      }
    }
  }
  for (const auto& c : w.controls()) addControl(c);
}

void WindowView::show(Window& w) {
  shown_ = true;
  if (w.propInt(0, Prop::Hide)) return;
  if (sub) {
    sub->show();
    fitSubWindow();
  } else {
    if (kind == WindowKind::Plain) placePlain(w);
    top->show();
  }
  keepInside(w);
}

// The room a window of the frame opens in: the frame's client area on the screen, or the
// desktop when the frame is not shown.
QRect WindowView::room() const {
  if (QWidget* f = view_.frameWidget(); f && f->isVisible() && f != top) {
    auto* fm = qobject_cast<QMainWindow*>(f);
    QWidget* inner = fm && fm->centralWidget() ? fm->centralWidget() : f;
    return QRect(inner->mapToGlobal(QPoint(0, 0)), inner->size());
  }
  if (QScreen* sc = top->screen()) return sc->availableGeometry();
  return {};
}

// A window of its own opens where it was placed, or centred in the frame's client area
// when its design centres it or gives it no place (not at the desktop's corner, over the
// frame's menu bar).
void WindowView::placePlain(Window& w) {
  const WindowAttrs& a = w.attrs();
  // Its size before it is first shown: the client with its bars (else the first show fits
  // it to the client's minimum size).
  QSize s = client->size();
  if (menubar) s.rheight() += menubar->sizeHint().height();
  if (strip) s.rheight() += strip->height();
  if (status) s.rheight() += status->sizeHint().height();
  top->resize(s);
  if (a.x >= 0 && a.y >= 0) {
    top->move(u.px(a.x), u.py(a.y));
    return;
  }
  QRect r = room();
  if (r.isEmpty()) return;
  top->move(r.left() + std::max(0, (r.width() - s.width()) / 2),
            r.top() + std::max(0, (r.height() - s.height()) / 2));
}

// A window the program places (or the system places) opens where the user can reach it: in
// the frame's client area, moved in, and made smaller only when it cannot fit there.
void WindowView::keepInside(Window& w) {
  if (kind == WindowKind::Frame || !top || !top->isVisible()) return;
  QRect room;
  if (sub) {
    if (QMdiArea* area = sub->mdiArea()) room = area->viewport()->rect();
  } else {
    room = this->room();
  }
  if (room.isEmpty()) return;
  const WindowAttrs& a = w.attrs();
  QRect g = top->frameGeometry();
  bool resized = false;
  if (a.resizable && (g.width() > room.width() || g.height() > room.height())) {
    int dw = std::max(0, g.width() - room.width()), dh = std::max(0, g.height() - room.height());
    client->resize(std::max(client->minimumWidth(), client->width() - dw),
                   std::max(client->minimumHeight(), client->height() - dh));
    if (sub) fitSubWindow();
    g = top->frameGeometry();
    resized = true;
  }
  QPoint at(std::clamp(g.x(), room.left(), std::max(room.left(), room.right() + 1 - g.width())),
            std::clamp(g.y(), room.top(), std::max(room.top(), room.bottom() + 1 - g.height())));
  bool moved = at != g.topLeft();
  if (moved) top->move(at);
  // The model learns where the window stands now, as after a move by the user.
  if (moved) {
    QPoint p = top->pos();
    geomSeen.moveTo(u.dx(p.x()), u.dy(p.y()));
    w.userMove(u.dx(p.x()), u.dy(p.y()));
  }
  if (resized) {
    geomSeen.setSize(QSize(u.dx(client->width()), u.dy(client->height())));
    w.userResize(u.dx(client->width()), u.dy(client->height()));
  }
}

WindowView::~WindowView() = default;

ControlView* WindowView::control(int feq) {
  auto it = controls.find(feq);
  return it == controls.end() ? nullptr : it->second.get();
}

void WindowView::addControl(const Control& c) {
  QWidget* parent = (c.feq < 0 && strip) ? strip : client.data();
  if (kind == WindowKind::Frame && c.feq > 0) parent = mdi->viewport();
  controls[c.feq] = ControlView::make(*this, c, parent);
}

// The MDI child's frame around the client at the client's own size (adjustSize would
// shrink it to its minimum).
void WindowView::fitSubWindow() {
  QStyle* st = sub->style();
  int fw = st->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, sub);
  int th = st->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub);
  sub->resize(client->width() + 2 * fw, client->height() + th + fw);
}

void WindowView::sync(Window& w) {
  const WindowAttrs& a = w.attrs();
  top->setWindowTitle(qs(a.caption));
  // New controls made at run time; widgets of destroyed ones go.
  std::set<int> live;
  for (const auto& c : w.controls()) {
    live.insert(c.feq);
    if (!controls.count(c.feq)) addControl(c);
  }
  for (auto it = controls.begin(); it != controls.end();) {
    if (!live.count(it->first)) {
      it->second->remove();
      it = controls.erase(it);
    } else {
      ++it;
    }
  }
  for (const auto& c : w.controls()) controls[c.feq]->sync(w, c);
  syncInput(w);
  // The limits of a window the user can size.
  if (kind == WindowKind::Frame) {
    top->setMinimumSize(u.px(a.minW), u.py(a.minH));
  } else if (a.resizable) {
    client->setMinimumSize(u.px(a.minW), u.py(a.minH));
    client->setMaximumSize(a.maxW > 0 ? u.px(a.maxW) : QWIDGETSIZE_MAX, a.maxH > 0 ? u.py(a.maxH) : QWIDGETSIZE_MAX);
  }
  // Placement the program set (a restored position or size) goes to the screen.
  QRect geom(a.x, a.y, a.w, a.h);
  bool placed = false;
  if (geom != geomSeen) {
    placed = true;
    geomSeen = geom;
    QSize want(u.px(a.w), u.py(a.h));
    if (kind == WindowKind::Frame) {
      top->resize(want);
    } else if (a.resizable) {
      client->resize(want);
    } else {
      client->setFixedSize(want);
    }
    if (sub) fitSubWindow();
    if (a.x >= 0 && a.y >= 0) top->move(u.px(a.x), u.py(a.y));
  }
  bool hidden = w.propInt(0, Prop::Hide) != 0;
  if (shown_ && hidden && top->isVisible()) top->hide();
  else if (shown_ && !hidden && !top->isVisible()) show(w);
  else if (placed) keepInside(w);
  bool iconized = w.propInt(0, Prop::Iconize) != 0, maximized = w.propInt(0, Prop::Maximize) != 0;
  Qt::WindowStates st = top->windowState();
  Qt::WindowStates want = iconized ? Qt::WindowMinimized : maximized ? Qt::WindowMaximized : Qt::WindowNoState;
  if ((st & (Qt::WindowMinimized | Qt::WindowMaximized)) != want) top->setWindowState(want);
  syncFocus(w);
}

// The keyboard focus is where the model has it: the control that shows the focus is the one
// that takes the typing.
void WindowView::syncFocus(Window& w) {
  if (focusSeen == w.focus() || !w.propInt(0, Prop::Active) || !w.takesInput()) return;
  focusSeen = w.focus();
  if (ControlView* c = control(w.focus()))
    if (QWidget* f = c->focusTarget(); f && !f->hasFocus()) {
      f->setFocus(Qt::OtherFocusReason);
      // The style draws the focus frame of a button only after a keyboard move: the focus
      // the program (or Tab) moved is shown.
      f->window()->setAttribute(Qt::WA_KeyboardFocusChange, true);
    }
}

void WindowView::syncInput(Window& w) {
  for (std::size_t z = 0; z < zones.size(); ++z) zones[z]->setText(qs(w.statusText(static_cast<int>(z) + 1)));
  // Only the top window of a thread with no box open takes input.
  bool input = w.takesInput();
  // The frame's client area holds the MDI children of every thread: each child follows its
  // own thread, so a window that holds the frame's thread greys only the frame's bars.
  // Qt hands the focus of a widget it disables to the next one it can, which may be in
  // another child window and bring that one to the front: the focus goes nowhere instead.
  if (kind != WindowKind::Frame) {
    if (!input && client->isEnabled())
      if (QWidget* f = QApplication::focusWidget(); f && client->isAncestorOf(f)) f->clearFocus();
    client->setEnabled(input);
  }
  // Disabled while a box was open, the window lost the focus to Qt: it gets it back.
  if (input && !inputSeen) focusSeen = -1;
  inputSeen = input;
  if (input) syncFocus(w);
  if (menubar && menubar->isEnabled() != input) {
    menubar->setEnabled(input);
    // Enabling the bar enables every menu in it: the ones the program disabled stay so.
    if (input)
      for (auto& [feq, view] : controls)
        if (const Control* c = w.control(feq); c && c->kind == Kind::Menu) view->sync(w, *c);
  }
  if (strip) strip->setEnabled(input);
}

}  // namespace pf::qt
