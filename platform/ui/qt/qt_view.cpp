#include "platform/ui/qt/qt_view.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTextCharFormat>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>

#include "platform/core/dates.h"
#include "platform/ui/keys.h"
#include "platform/ui/ui.h"
#include "platform/ui/ui_internal.h"
#include "platform/ui/window.h"

namespace pf::qt {
namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }
std::string ss(const QString& s) { return s.toStdString(); }
QColor bgr(std::int32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
QString plain(const std::string& s) { return qs(stripAmpersand(s)); }

// Dialog units of a window: x a quarter of the font's average character width, y an eighth
// of its height.
struct Units {
  double x = 1.5, y = 1.625;
  int px(int du) const { return static_cast<int>(du * x + 0.5); }
  int py(int du) const { return static_cast<int>(du * y + 0.5); }
  int dx(int px) const { return static_cast<int>(px / x + 0.5); }
  int dy(int py) const { return static_cast<int>(py / y + 0.5); }
  QRect rect(const Control& c) const { return QRect(px(c.x), py(c.y), std::max(1, px(c.w)), std::max(1, py(c.h))); }
};

QFont fontOf(const Font& f, const QFont& base) {
  QFont q = base;
  if (!f.name.empty()) q.setFamily(qs(f.name));
  if (f.size > 0) q.setPointSize(f.size);
  if (f.style >= 700) q.setBold(true);
  return q;
}

// --- resources ----------------------------------------------------------------------------
QString resourcePath(const std::string& name) {
  std::string n = name;
  if (!n.empty() && n[0] == '~') n.erase(0, 1);
  auto dot = n.rfind('.');
  if (dot != std::string::npos) n.erase(dot);
  static std::map<QString, QString> lowerToPath;
  if (lowerToPath.empty()) {
    QDir dir(":/qb/icons");
    for (const QString& f : dir.entryList(QDir::Files)) {
      QString stem = f.left(f.lastIndexOf('.'));
      lowerToPath[stem.toLower()] = dir.filePath(f);
    }
  }
  auto it = lowerToPath.find(qs(n).toLower());
  return it == lowerToPath.end() ? QString() : it->second;
}

QCursor cursorFor(const std::string& name) {
  if (name.empty()) return QCursor(Qt::ArrowCursor);
  std::string l = name;
  for (auto& c : l) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (l == "sizens") return QCursor(Qt::SizeVerCursor);
  if (l == "sizewe") return QCursor(Qt::SizeHorCursor);
  if (l == "wait") return QCursor(Qt::WaitCursor);
  if (l == "hand") return QCursor(Qt::PointingHandCursor);
  if (l == "ibeam") return QCursor(Qt::IBeamCursor);
  if (l == "cross") return QCursor(Qt::CrossCursor);
  QPixmap p = picture(name);
  if (!p.isNull()) return QCursor(p, p.width() * 9 / 32, 1);
  return QCursor(Qt::ArrowCursor);
}

int keyCodeOf(const QKeyEvent* e) {
  int k = e->key();
  int base = 0;
  if (k >= Qt::Key_F1 && k <= Qt::Key_F12) base = Key::F1 + (k - Qt::Key_F1);
  else if (k >= Qt::Key_A && k <= Qt::Key_Z) base = 'A' + (k - Qt::Key_A);
  else if (k >= Qt::Key_0 && k <= Qt::Key_9) base = '0' + (k - Qt::Key_0);
  else switch (k) {
    case Qt::Key_Escape: base = Key::Esc; break;
    case Qt::Key_Return: case Qt::Key_Enter: base = Key::Enter; break;
    case Qt::Key_Tab: base = Key::Tab; break;
    case Qt::Key_Backtab: return Key::ShiftTab;
    case Qt::Key_Insert: base = Key::Insert; break;
    case Qt::Key_Delete: base = Key::Delete; break;
    case Qt::Key_Up: base = Key::Up; break;
    case Qt::Key_Down: base = Key::Down; break;
    case Qt::Key_Left: base = Key::Left; break;
    case Qt::Key_Right: base = Key::Right; break;
    case Qt::Key_PageUp: base = Key::PgUp; break;
    case Qt::Key_PageDown: base = Key::PgDn; break;
    case Qt::Key_Home: base = Key::Home; break;
    case Qt::Key_End: base = Key::End; break;
    case Qt::Key_Space: base = Key::Space; break;
    case Qt::Key_Backspace: base = Key::BS; break;
    case Qt::Key_Apostrophe: base = Key::Quote; break;
    default: return 0;
  }
  auto m = e->modifiers();
  if (m & Qt::ShiftModifier) base |= Key::Shift;
  if (m & Qt::ControlModifier) base |= Key::Ctrl;
  if (m & Qt::AltModifier) base |= Key::Alt;
  return base;
}

// --- what is on the screen ------------------------------------------------------------
struct ShownControl {
  Kind kind = Kind::None;
  QWidget* w = nullptr;        // the control's widget (nullptr for menu entries)
  QAction* action = nullptr;   // menu items
  QMenu* menu = nullptr;       // menus
  QTabBar* tabs = nullptr;     // sheets
  QTreeWidget* tree = nullptr; // lists
  QScrollBar* bar = nullptr;   // lists that scroll by the procedure's rows
  std::string rowsSeen;        // what the list last showed
  std::vector<int> tabFeqs;
};

struct Shown {
  std::uintptr_t id = 0;
  WindowKind kind = WindowKind::Plain;
  QPointer<QWidget> top;
  QMainWindow* main = nullptr;
  QMdiArea* mdi = nullptr;
  QPointer<QMdiSubWindow> sub;
  QPointer<QWidget> client;
  QMenuBar* menubar = nullptr;
  QWidget* strip = nullptr;    // toolbar controls
  QStatusBar* status = nullptr;
  std::vector<QLabel*> zones;
  std::map<int, ShownControl> controls;
  Units u;
  QRect geomSeen{-1, -1, -1, -1};   // dialog units last put on the screen
  std::uint64_t seen = ~0ull;
  int focusSeen = -1;
};

class View;
View* theView = nullptr;
QPrinter* thePrinter = nullptr;

// Turns what Qt reports into the model's user* calls. No system code runs here.
class Filter : public QObject {
 public:
  explicit Filter(View* v) : v_(v) {}
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  View* v_;
};

class View : public ViewObserver {
 public:
  View() : filter_(this) {
    poll_.setInterval(20);
    QObject::connect(&poll_, &QTimer::timeout, [] {
      pollTimers();
      if (anyRunnable()) runUntilIdle();
    });
    poll_.start();
    qApp->installEventFilter(&filter_);
  }
  ~View() override {
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

  void windowOpened(Window&) override { schedule(); }
  void windowClosed(std::uintptr_t) override { schedule(); }
  void windowChanged(Window&, int, Prop) override { schedule(); }
  void dialogOpened(Dialog&) override { schedule(); }
  void dialogClosed(int) override { schedule(); }
  void programChanged() override { schedule(); }

  void schedule() {
    if (queued_) return;
    queued_ = true;
    QTimer::singleShot(0, [this] {
      queued_ = false;
      sync();
    });
  }

  void sync();
  void arrange(MdiArrangement how) {
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
  Shown* find(std::uintptr_t id) {
    auto it = shown_.find(id);
    return it == shown_.end() ? nullptr : it->second.get();
  }
  Shown* owner(QObject* o, int* feq);
  QWidget* frameWidget() {
    for (auto& [id, s] : shown_)
      if (s->kind == WindowKind::Frame) return s->top;
    return nullptr;
  }
  bool syncing() const { return syncing_; }

  std::map<std::uintptr_t, std::unique_ptr<Shown>> shown_;
  std::map<int, QWidget*> dialogs_;

 private:
  void create(Window& w);
  void createControl(Window& w, Shown& s, const Control& c);
  void syncWindow(Window& w, Shown& s);
  void syncControl(Window& w, Shown& s, const Control& c, ShownControl& sc);
  void syncList(Window& w, Shown& s, const Control& c, ShownControl& sc);
  void syncDialogs();
  QWidget* showDialog(Dialog& d);

  Filter filter_;
  QTimer poll_;
  bool queued_ = false;
  bool syncing_ = false;
  std::uintptr_t activeSeen_ = 0;
  int cursorPushed_ = 0;
  std::string cursorSeen_;
  int beepsSeen_ = 0;
};

// The model window and control a widget belongs to.
Shown* View::owner(QObject* o, int* feq) {
  for (QObject* x = o; x; x = x->parent()) {
    QVariant wid = x->property("qbWindow");
    if (!wid.isValid()) continue;
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

Window* modelOf(std::uintptr_t id) { return findWindow(id); }

void View::create(Window& w) {
  auto s = std::make_unique<Shown>();
  s->id = w.id();
  s->kind = w.kind();
  const WindowAttrs& a = w.attrs();
  QWidget* frame = frameWidget();
  QFont base = fontOf(a.font, QApplication::font());
  QFontMetrics fm(base);
  s->u.x = std::max(1.0, fm.averageCharWidth() / 4.0);
  s->u.y = std::max(1.0, fm.height() / 8.0);
  std::uintptr_t id = w.id();

  if (a.kind == WindowKind::Frame) {
    s->main = new QMainWindow();
    s->top = s->main;
    s->mdi = new QMdiArea(s->main);
    QPixmap wall = picture(a.wallpaper);
    if (!wall.isNull()) s->mdi->setBackground(QBrush(wall));
    s->main->setCentralWidget(s->mdi);
    s->client = s->mdi;
    QObject::connect(s->mdi, &QMdiArea::subWindowActivated, [this](QMdiSubWindow* sub) {
      if (syncing_ || !sub) return;
      for (auto& [wid, x] : shown_)
        if (x->sub == sub)
          if (Window* m = modelOf(wid)) m->userActivate();
    });
  } else {
    s->client = new QWidget();
    QMdiArea* area = nullptr;
    for (auto& [fid, x] : shown_)
      if (x->kind == WindowKind::Frame) area = x->mdi;
    if (a.kind == WindowKind::MdiChild && area) {
      s->sub = area->addSubWindow(s->client);
      s->sub->setAttribute(Qt::WA_DeleteOnClose, false);
      s->top = s->sub;
    } else {
      // Plain windows stay above the frame but are windows of their own.
      QWidget* top = new QWidget(frame, Qt::Window | Qt::Dialog);
      auto* lay = new QVBoxLayout(top);
      lay->setContentsMargins(0, 0, 0, 0);
      lay->setSpacing(0);
      lay->addWidget(s->client, 1);
      s->top = top;
    }
    QPixmap wall = picture(a.wallpaper);
    if (!wall.isNull()) {
      QPalette pal = s->client->palette();
      pal.setBrush(QPalette::Window, QBrush(wall));
      s->client->setPalette(pal);
      s->client->setAutoFillBackground(true);
    }
    s->client->setFont(base);
    s->client->setFixedSize(s->u.px(a.w), s->u.py(a.h));
    if (a.resizable) {
      s->client->setMinimumSize(s->u.px(a.minW), s->u.py(a.minH));
      s->client->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
      s->client->resize(s->u.px(a.w), s->u.py(a.h));
    }
  }
  s->top->setProperty("qbWindow", QVariant::fromValue<qulonglong>(id));
  s->client->setProperty("qbWindow", QVariant::fromValue<qulonglong>(id));
  s->top->installEventFilter(&filter_);
  if (s->client != s->top) s->client->installEventFilter(&filter_);
  QIcon ic = icon(a.icon);
  if (!ic.isNull()) s->top->setWindowIcon(ic);

  // Menus, toolbar and status bar belong to the frame's main window, or to the window's
  // own layout for a plain window.
  bool hasMenu = false, hasBar = false;
  for (const auto& c : w.controls()) {
    hasMenu = hasMenu || c.kind == Kind::Menubar;
    hasBar = hasBar || c.kind == Kind::Toolbar;
  }
  auto* lay = qobject_cast<QVBoxLayout*>(s->top->layout());
  if (hasMenu) {
    if (s->main) s->menubar = s->main->menuBar();
    else if (lay) {
      s->menubar = new QMenuBar(s->top);
      lay->insertWidget(0, s->menubar);
    }
  }
  if (hasBar) {
    s->strip = new QWidget();
    s->strip->setFont(base);
    s->strip->setFixedHeight(s->u.py(a.toolbarHeight > 0 ? a.toolbarHeight : 26));
    s->strip->setMinimumWidth(s->u.px(a.w));
    QPixmap wall = picture(a.wallpaper);
    if (!wall.isNull()) {
      QPalette pal = s->strip->palette();
      pal.setBrush(QPalette::Window, QBrush(wall));
      s->strip->setPalette(pal);
      s->strip->setAutoFillBackground(true);
    }
    if (s->main) {
      auto* tb = new QToolBar(s->main);
      tb->setMovable(false);
      tb->addWidget(s->strip);
      s->main->addToolBar(tb);
    } else if (lay) {
      lay->insertWidget(hasMenu ? 1 : 0, s->strip);
    }
  }
  if (!a.statusWidths.empty()) {
    if (s->main) s->status = s->main->statusBar();
    else if (lay) {
      s->status = new QStatusBar(s->top);
      lay->addWidget(s->status);
    }
    if (s->status) {
      for (int width : a.statusWidths) {
        auto* l = new QLabel(s->status);
        if (width < 0) s->status->addWidget(l, 1);
        else {
          l->setFixedWidth(s->u.px(width));
          s->status->addPermanentWidget(l);
        }
        s->zones.push_back(l);
      }
    }
  }
  Shown* raw = s.get();
  shown_[id] = std::move(s);
  for (const auto& c : w.controls()) createControl(w, *raw, c);
  syncWindow(w, *raw);
  raw->seen = w.changes();
  if (raw->sub) {
    raw->sub->show();
    // Shown at the client's own size (adjustSize would shrink it to its minimum).
    QStyle* st = raw->sub->style();
    int fw = st->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, raw->sub);
    int th = st->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, raw->sub);
    raw->sub->resize(raw->client->width() + 2 * fw, raw->client->height() + th + fw);
  } else {
    raw->top->show();
  }
}

void View::createControl(Window& w, Shown& s, const Control& c) {
  ShownControl sc;
  sc.kind = c.kind;
  std::uintptr_t id = w.id();
  int feq = c.feq;
  auto model = [id]() { return modelOf(id); };
  QWidget* parent = (c.feq < 0 && s.strip) ? s.strip : s.client.data();
  if (s.kind == WindowKind::Frame && c.feq > 0) parent = s.mdi->viewport();

  switch (c.kind) {
    case Kind::Menubar:
    case Kind::Toolbar:
      break;
    case Kind::Menu: {
      QMenu* m = nullptr;
      auto pit = s.controls.find(c.parent);
      if (pit != s.controls.end() && pit->second.menu) m = pit->second.menu->addMenu(plain(c.text));
      else if (s.menubar) m = s.menubar->addMenu(qs(c.text));
      if (!m) break;
      sc.menu = m;
      sc.action = m->menuAction();
      break;
    }
    case Kind::Item: {
      auto pit = s.controls.find(c.parent);
      QMenu* parentMenu = pit != s.controls.end() ? pit->second.menu : nullptr;
      if (c.separator) {
        sc.action = parentMenu ? parentMenu->addSeparator() : nullptr;
        break;
      }
      sc.action = parentMenu ? parentMenu->addAction(qs(c.text)) : (s.menubar ? s.menubar->addAction(qs(c.text)) : nullptr);
      if (!sc.action) break;
      QObject::connect(sc.action, &QAction::triggered, [this, model, feq] {
        if (syncing_) return;
        if (Window* m = model()) m->userPress(feq);
      });
      std::string msg = c.msg;
      QObject::connect(sc.action, &QAction::hovered, [this, id, msg] {
        if (Shown* sh = find(id); sh && !sh->zones.empty()) sh->zones[0]->setText(qs(msg));
      });
      break;
    }
    case Kind::String:
    case Kind::Prompt: {
      auto* l = new QLabel(parent);
      l->setWordWrap(c.h > 12);
      sc.w = l;
      break;
    }
    case Kind::Entry: {
      auto* e = new QLineEdit(parent);
      QObject::connect(e, &QLineEdit::textEdited, [model, feq](const QString& t) {
        if (Window* m = model()) m->userType(feq, ss(t));
      });
      sc.w = e;
      break;
    }
    case Kind::Text: {
      auto* t = new QPlainTextEdit(parent);
      QObject::connect(t, &QPlainTextEdit::textChanged, [this, model, feq, t] {
        if (syncing_) return;
        if (Window* m = model()) m->userType(feq, ss(t->toPlainText()));
      });
      sc.w = t;
      break;
    }
    case Kind::Button: {
      QAbstractButton* b;
      if (c.feq < 0) {
        auto* tb = new QToolButton(parent);
        tb->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        tb->setAutoRaise(true);
        b = tb;
      } else {
        auto* pb = new QPushButton(parent);
        pb->setAutoDefault(false);
        b = pb;
      }
      QObject::connect(b, &QAbstractButton::clicked, [this, model, feq] {
        if (syncing_) return;
        if (Window* m = model()) m->userPress(feq);
      });
      sc.w = b;
      break;
    }
    case Kind::Check:
    case Kind::Radio: {
      QAbstractButton* b = c.kind == Kind::Check ? static_cast<QAbstractButton*>(new QCheckBox(parent))
                                                 : static_cast<QAbstractButton*>(new QRadioButton(parent));
      b->setAutoExclusive(false);
      QObject::connect(b, &QAbstractButton::clicked, [this, model, feq] {
        if (syncing_) return;
        if (Window* m = model()) m->userPress(feq);
      });
      sc.w = b;
      break;
    }
    case Kind::Option:
    case Kind::Group: {
      auto* g = new QGroupBox(parent);
      g->setFlat(c.kind == Kind::Option && c.text.empty());
      sc.w = g;
      break;
    }
    case Kind::List: {
      auto* holder = new QWidget(parent);
      auto* tree = new QTreeWidget(holder);
      tree->setRootIsDecorated(false);
      tree->setUniformRowHeights(true);
      tree->setAllColumnsShowFocus(true);
      tree->setSelectionMode(QAbstractItemView::SingleSelection);
      tree->header()->setStretchLastSection(false);
      tree->header()->setSectionsMovable(false);
      tree->setProperty("qbFeq", feq);
      tree->viewport()->installEventFilter(&filter_);
      // The right mouse button: the row under the pointer is chosen, then the list gets the
      // MouseRight key, which a procedure alerts for its popup menu.
      tree->setContextMenuPolicy(Qt::CustomContextMenu);
      QObject::connect(tree, &QWidget::customContextMenuRequested, [this, model, feq, tree](const QPoint& at) {
        if (syncing_) return;
        Window* m = model();
        if (!m) return;
        if (m->focus() != feq) m->userFocus(feq);
        if (QTreeWidgetItem* it = tree->itemAt(at)) m->userSelectRow(feq, tree->indexOfTopLevelItem(it) + 1);
        m->userKey(Key::MouseRight);
      });
      QObject::connect(tree, &QTreeWidget::itemClicked, [this, model, feq, tree](QTreeWidgetItem* it, int col) {
        if (syncing_) return;
        if (Window* m = model()) m->userSelectRow(feq, tree->indexOfTopLevelItem(it) + 1, col + 1);
      });
      QObject::connect(tree, &QTreeWidget::itemDoubleClicked, [this, model, feq, tree](QTreeWidgetItem* it, int col) {
        if (syncing_) return;
        if (Window* m = model()) m->userDoubleClick(feq, tree->indexOfTopLevelItem(it) + 1, col + 1);
      });
      Units u = s.u;
      QObject::connect(tree->header(), &QHeaderView::sectionResized, [this, model, feq, u](int logical, int, int size) {
        if (syncing_ || size == 0) return;
        if (Window* m = model()) m->userColumnResize(feq, logical + 1, u.dx(size));
      });
      sc.tree = tree;
      if (c.immediate) {
        // The procedure holds one page of rows: the scroll bar asks it for more.
        tree->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        auto* bar = new QScrollBar(Qt::Vertical, holder);
        bar->setRange(0, 100);
        bar->setPageStep(10);
        QObject::connect(bar, &QScrollBar::actionTriggered, [this, model, feq, bar](int action) {
          if (syncing_) return;
          Window* m = model();
          if (!m) return;
          switch (action) {
            case QAbstractSlider::SliderSingleStepAdd: m->userScroll(feq, EVENT::ScrollDown); break;
            case QAbstractSlider::SliderSingleStepSub: m->userScroll(feq, EVENT::ScrollUp); break;
            case QAbstractSlider::SliderPageStepAdd: m->userScroll(feq, EVENT::PageDown); break;
            case QAbstractSlider::SliderPageStepSub: m->userScroll(feq, EVENT::PageUp); break;
            case QAbstractSlider::SliderToMinimum: m->userScroll(feq, EVENT::ScrollTop); break;
            case QAbstractSlider::SliderToMaximum: m->userScroll(feq, EVENT::ScrollBottom); break;
            case QAbstractSlider::SliderMove: m->userScroll(feq, EVENT::ScrollDrag, bar->sliderPosition()); break;
            default: break;
          }
        });
        sc.bar = bar;
      }
      sc.w = holder;
      break;
    }
    case Kind::Combo:
    case Kind::DropCombo:
    case Kind::DropList: {
      auto* cb = new QComboBox(parent);
      cb->setEditable(c.kind != Kind::DropList);
      cb->setInsertPolicy(QComboBox::NoInsert);
      QObject::connect(cb, QOverload<int>::of(&QComboBox::activated), [this, model, feq](int index) {
        if (syncing_) return;
        if (Window* m = model()) m->userSelectRow(feq, index + 1, -1);
      });
      if (cb->lineEdit()) {
        cb->lineEdit()->setProperty("qbFeq", feq);
        QObject::connect(cb->lineEdit(), &QLineEdit::textEdited, [model, feq](const QString& t) {
          if (Window* m = model()) m->userType(feq, ss(t));
        });
      }
      sc.w = cb;
      break;
    }
    case Kind::Sheet: {
      auto* holder = new QWidget(parent);
      auto* page = new QFrame(holder);
      page->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
      page->setObjectName("page");
      auto* tabs = new QTabBar(holder);
      tabs->setDrawBase(false);
      tabs->setExpanding(false);   // tabs as wide as their texts, as designed
      {
        // A window's wallpaper brush would fill the tabs black.
        QPalette tp = tabs->palette();
        tp.setBrush(QPalette::Window, QApplication::palette().window());
        tp.setBrush(QPalette::Button, QApplication::palette().button());
        tabs->setPalette(tp);
      }
      tabs->setProperty("qbFeq", feq);
      QObject::connect(tabs, &QTabBar::currentChanged, [this, model, feq](int index) {
        if (syncing_ || index < 0) return;
        if (Window* m = model()) m->userChooseTab(feq, index + 1);
      });
      sc.tabs = tabs;
      sc.w = holder;
      break;
    }
    case Kind::Tab: {
      auto pit = s.controls.find(c.parent);
      if (pit != s.controls.end() && pit->second.tabs) {
        bool was = syncing_;
        syncing_ = true;
        pit->second.tabs->addTab(qs(c.text));
        pit->second.tabFeqs.push_back(feq);
        syncing_ = was;
      }
      break;
    }
    case Kind::Image: {
      auto* l = new QLabel(parent);
      l->setScaledContents(true);
      sc.w = l;
      break;
    }
    case Kind::Region: {
      auto* r = new QWidget(parent);
      r->setAttribute(Qt::WA_TranslucentBackground);
      r->setMouseTracking(true);
      r->installEventFilter(&filter_);
      sc.w = r;
      break;
    }
    case Kind::Box:
    case Kind::Panel:
    case Kind::Line: {
      auto* f = new QFrame(parent);
      if (c.kind == Kind::Line) f->setFrameShape(c.w >= c.h ? QFrame::HLine : QFrame::VLine);
      else if (c.kind == Kind::Panel) f->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      else f->setFrameStyle(QFrame::Box | QFrame::Plain);
      sc.w = f;
      break;
    }
    case Kind::Progress: {
      auto* p = new QProgressBar(parent);
      p->setTextVisible(false);
      sc.w = p;
      break;
    }
    default:
      break;
  }
  if (sc.w) {
    sc.w->setProperty("qbFeq", feq);
    sc.w->installEventFilter(&filter_);
    if (auto* cb = qobject_cast<QComboBox*>(sc.w); cb && cb->lineEdit()) cb->lineEdit()->installEventFilter(&filter_);
    if (sc.tree) sc.tree->installEventFilter(&filter_);
    sc.w->show();
  }
  s.controls[feq] = sc;
}

void View::syncList(Window& w, Shown& s, const Control& c, ShownControl& sc) {
  QTreeWidget* tree = sc.tree;
  int feq = c.feq;
  QRect r = s.u.rect(c);
  int barW = sc.bar ? 16 : 0;
  tree->setGeometry(0, 0, r.width() - barW, r.height());
  if (sc.bar) {
    sc.bar->setGeometry(r.width() - barW, 0, barW, r.height());
    sc.bar->setValue(c.vscrollPos);
  }
  int cols = std::max(1, w.columnCount(feq));
  bool header = false;
  QStringList heads;
  for (const auto& col : c.format.columns) {
    header = header || !col.header.empty();
    heads << qs(col.header);
  }
  if (tree->columnCount() != cols) tree->setColumnCount(cols);
  if (!c.format.columns.empty()) tree->setHeaderLabels(heads);
  tree->setHeaderHidden(!header);
  for (int i = 0; i < static_cast<int>(c.format.columns.size()); ++i) {
    const auto& col = c.format.columns[static_cast<std::size_t>(i)];
    tree->setColumnHidden(i, col.width == 0);
    if (col.width > 0) tree->setColumnWidth(i, s.u.px(col.width));
    tree->header()->setSectionResizeMode(i, col.resizable ? QHeaderView::Interactive : QHeaderView::Fixed);
  }
  // Rows: rebuilt when what they show changed.
  std::string sig = std::to_string(c.rows.size()) + "/" + std::to_string(c.selected);
  for (int row = 1; row <= static_cast<int>(c.rows.size()); ++row)
    for (int col = 1; col <= cols; ++col) sig += "|" + w.cellText(feq, row, col);
  for (const auto& row : c.rows)
    for (const auto& cell : row.cells)
      sig += "#" + std::to_string(cell.icon) + "," + std::to_string(cell.fg) + "," + std::to_string(cell.bg);
  if (sig != sc.rowsSeen) {
    sc.rowsSeen = sig;
    tree->clear();
    QList<QTreeWidgetItem*> items;
    for (int row = 1; row <= static_cast<int>(c.rows.size()); ++row) {
      auto* item = new QTreeWidgetItem();
      const ListRow& lr = w.row(feq, row);
      for (int col = 1; col <= cols; ++col) {
        const ListColumn* fc = col <= static_cast<int>(c.format.columns.size())
                                   ? &c.format.columns[static_cast<std::size_t>(col - 1)] : nullptr;
        int field = fc ? fc->field : col;
        const ListCell* cell = field >= 1 && field <= static_cast<int>(lr.cells.size())
                                   ? &lr.cells[static_cast<std::size_t>(field - 1)] : nullptr;
        if (fc && fc->icon) {
          if (cell && cell->icon > 0) {
            auto it = c.icons.find(cell->icon);
            if (it != c.icons.end()) item->setIcon(col - 1, icon(it->second));
          }
        } else {
          item->setText(col - 1, qs(w.cellText(feq, row, col)));
        }
        if (fc) {
          Qt::Alignment al = fc->align == 'R' || fc->align == 'D' ? Qt::AlignRight
                             : fc->align == 'C' ? Qt::AlignHCenter : Qt::AlignLeft;
          item->setTextAlignment(col - 1, al | Qt::AlignVCenter);
        }
        if (fc && fc->colors && cell) {
          if (cell->fg != -1) item->setForeground(col - 1, bgr(cell->fg));
          if (cell->bg != -1) item->setBackground(col - 1, bgr(cell->bg));
        }
      }
      items << item;
    }
    tree->addTopLevelItems(items);
  }
  if (c.selected >= 1 && c.selected <= tree->topLevelItemCount()) {
    QTreeWidgetItem* it = tree->topLevelItem(c.selected - 1);
    if (tree->currentItem() != it) tree->setCurrentItem(it);
  } else {
    tree->clearSelection();
  }
}

void View::syncControl(Window& w, Shown& s, const Control& c, ShownControl& sc) {
  bool visible = w.visible(c.feq);
  bool enabled = w.propInt(c.feq, Prop::Enabled) != 0;
  QString tip = noTips() ? QString() : qs(c.tip);
  if (sc.action && c.kind != Kind::Menu) {
    sc.action->setVisible(!c.hide);
    sc.action->setEnabled(enabled);
    if (!c.separator) {
      QString t = qs(c.text);
      if (!c.keyText.empty()) t += "\t" + qs(c.keyText);
      sc.action->setText(t);
      sc.action->setCheckable(c.checked);
      sc.action->setChecked(c.checked);
      if (!c.icon.empty()) sc.action->setIcon(icon(c.icon));
    }
    return;
  }
  if (sc.menu) {
    sc.menu->setTitle(qs(c.text));
    sc.action->setVisible(!c.hide);
    sc.action->setEnabled(enabled);
    return;
  }
  if (sc.kind == Kind::Tab) {
    auto pit = s.controls.find(c.parent);
    if (pit == s.controls.end() || !pit->second.tabs) return;
    auto& f = pit->second.tabFeqs;
    int index = static_cast<int>(std::find(f.begin(), f.end(), c.feq) - f.begin());
    if (index < pit->second.tabs->count()) {
      pit->second.tabs->setTabText(index, qs(c.text));
      pit->second.tabs->setTabVisible(index, !c.hide);
      pit->second.tabs->setTabEnabled(index, !c.disable);
      pit->second.tabs->setTabToolTip(index, tip);
    }
    return;
  }
  QWidget* wd = sc.w;
  if (!wd) return;
  wd->setVisible(visible);
  wd->setEnabled(enabled);
  wd->setGeometry(s.u.rect(c));
  wd->setToolTip(tip);
  if (!c.cursor.empty()) wd->setCursor(cursorFor(c.cursor));
  if (c.font.size > 0 || !c.font.name.empty() || c.font.style) wd->setFont(fontOf(c.font, s.client->font()));
  if (c.color != -1 || c.fontColor != -1) {
    QPalette pal = wd->palette();
    if (c.color != -1) {
      pal.setColor(QPalette::Base, bgr(c.color));
      pal.setColor(QPalette::Window, bgr(c.color));
      pal.setColor(QPalette::Button, bgr(c.color));
    }
    if (c.fontColor != -1) {
      pal.setColor(QPalette::Text, bgr(c.fontColor));
      pal.setColor(QPalette::WindowText, bgr(c.fontColor));
      pal.setColor(QPalette::ButtonText, bgr(c.fontColor));
    }
    wd->setPalette(pal);
    wd->setAutoFillBackground(c.color != -1 && c.kind != Kind::Entry);
  } else if (wd->testAttribute(Qt::WA_SetPalette)) {
    wd->setPalette(QPalette());
    wd->setAutoFillBackground(false);
  }
  switch (c.kind) {
    case Kind::String:
    case Kind::Prompt:
      static_cast<QLabel*>(wd)->setText(plain(c.text));
      break;
    case Kind::Entry: {
      auto* e = static_cast<QLineEdit*>(wd);
      if (e->text() != qs(c.text)) e->setText(qs(c.text));
      e->setReadOnly(c.readOnly);
      e->setEchoMode(c.password ? QLineEdit::Password : QLineEdit::Normal);
      break;
    }
    case Kind::Text: {
      auto* t = static_cast<QPlainTextEdit*>(wd);
      if (t->toPlainText() != qs(c.text)) t->setPlainText(qs(c.text));
      t->setReadOnly(c.readOnly);
      break;
    }
    case Kind::Button: {
      auto* b = static_cast<QAbstractButton*>(wd);
      b->setText(qs(c.text));
      if (!c.icon.empty()) {
        b->setIcon(icon(c.icon));
        int side = std::min(s.u.py(c.h) - 6, 24);
        if (side > 8) b->setIconSize(QSize(side, side));
      }
      break;
    }
    case Kind::Check:
    case Kind::Radio: {
      auto* b = static_cast<QAbstractButton*>(wd);
      b->setText(qs(c.text));
      b->setChecked(c.checked);
      break;
    }
    case Kind::Option:
    case Kind::Group:
      static_cast<QGroupBox*>(wd)->setTitle(plain(c.text));
      break;
    case Kind::List:
      syncList(w, s, c, sc);
      break;
    case Kind::Combo:
    case Kind::DropCombo:
    case Kind::DropList: {
      auto* cb = static_cast<QComboBox*>(wd);
      QStringList items;
      for (int r = 1; r <= static_cast<int>(c.rows.size()); ++r) items << qs(w.cellText(c.feq, r, 1));
      QStringList now;
      for (int i = 0; i < cb->count(); ++i) now << cb->itemText(i);
      if (now != items) {
        cb->clear();
        cb->addItems(items);
      }
      cb->setCurrentIndex(c.selected - 1);
      if (cb->lineEdit() && cb->lineEdit()->text() != qs(c.text)) cb->lineEdit()->setText(qs(c.text));
      break;
    }
    case Kind::Sheet: {
      QRect r = s.u.rect(c);
      int th = sc.tabs->sizeHint().height();
      sc.tabs->setGeometry(0, 0, r.width(), th);
      if (auto* page = wd->findChild<QFrame*>("page")) page->setGeometry(0, th - 1, r.width(), r.height() - th + 1);
      if (c.selected >= 1) sc.tabs->setCurrentIndex(c.selected - 1);
      wd->lower();
      break;
    }
    case Kind::Image: {
      QPixmap p = picture(c.text.empty() ? c.icon : c.text);
      static_cast<QLabel*>(wd)->setPixmap(p);
      break;
    }
    case Kind::Box: {
      auto* f = static_cast<QFrame*>(wd);
      QPalette pal = f->palette();
      if (c.fill != -1) {
        pal.setColor(QPalette::Window, bgr(c.fill));
        f->setAutoFillBackground(true);
      }
      if (c.color != -1) pal.setColor(QPalette::WindowText, bgr(c.color));
      f->setPalette(pal);
      break;
    }
    case Kind::Progress: {
      auto* p = static_cast<QProgressBar*>(wd);
      p->setRange(c.rangeLow, c.rangeHigh);
      p->setValue(std::clamp(c.progress, c.rangeLow, c.rangeHigh));
      break;
    }
    default:
      break;
  }
}

void View::syncWindow(Window& w, Shown& s) {
  const WindowAttrs& a = w.attrs();
  s.top->setWindowTitle(qs(a.caption));
  // New controls made at run time; widgets of destroyed ones go.
  std::set<int> live;
  for (const auto& c : w.controls()) {
    live.insert(c.feq);
    if (!s.controls.count(c.feq)) createControl(w, s, c);
  }
  for (auto it = s.controls.begin(); it != s.controls.end();) {
    if (!live.count(it->first)) {
      delete it->second.w;
      delete it->second.action;
      it = s.controls.erase(it);
    } else {
      ++it;
    }
  }
  for (const auto& c : w.controls()) syncControl(w, s, c, s.controls[c.feq]);
  for (std::size_t z = 0; z < s.zones.size(); ++z) s.zones[z]->setText(qs(w.statusText(static_cast<int>(z) + 1)));
  // Only the top window of a thread with no box open takes input.
  bool input = w.takesInput();
  s.client->setEnabled(input);
  if (s.menubar) s.menubar->setEnabled(input);
  if (s.strip) s.strip->setEnabled(input);
  // Placement the program set (a restored position or size) goes to the screen.
  QRect geom(a.x, a.y, a.w, a.h);
  if (geom != s.geomSeen) {
    s.geomSeen = geom;
    QSize want(s.u.px(a.w), s.u.py(a.h));
    if (s.kind == WindowKind::Frame) {
      s.top->resize(want);
    } else if (a.resizable) {
      s.client->resize(want);
    } else {
      s.client->setFixedSize(want);
    }
    if (s.sub) {
      // The client keeps the size it was given (adjustSize would shrink it to its minimum).
      QStyle* st = s.sub->style();
      int fw = st->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, s.sub);
      int th = st->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, s.sub);
      s.sub->resize(s.client->width() + 2 * fw, s.client->height() + th + fw);
    }
    if (a.x >= 0 && a.y >= 0 && !a.center) s.top->move(s.u.px(a.x), s.u.py(a.y));
  }
  bool iconized = w.propInt(0, Prop::Iconize) != 0, maximized = w.propInt(0, Prop::Maximize) != 0;
  QWidget* stateOf = s.top;
  Qt::WindowStates st = stateOf->windowState();
  Qt::WindowStates want = iconized ? Qt::WindowMinimized : maximized ? Qt::WindowMaximized : Qt::WindowNoState;
  if ((st & (Qt::WindowMinimized | Qt::WindowMaximized)) != want) stateOf->setWindowState(want);
  if (s.focusSeen != w.focus() && w.propInt(0, Prop::Active)) {
    s.focusSeen = w.focus();
    auto it = s.controls.find(w.focus());
    if (it != s.controls.end() && it->second.w) {
      QWidget* f = it->second.tree ? it->second.tree : it->second.w;
      if (!f->hasFocus()) f->setFocus(Qt::OtherFocusReason);
    }
  }
}

QWidget* View::showDialog(Dialog& d) {
  QWidget* parent = nullptr;
  if (Window* top = topWindow(d.thread))
    if (Shown* s = find(top->id())) parent = s->top->window();
  if (!parent) parent = frameWidget();
  int id = d.id;
  switch (d.kind) {
    case DialogKind::Message:
    case DialogKind::Halt: {
      auto* mb = new QMessageBox(parent);
      mb->setWindowModality(Qt::NonModal);
      mb->setWindowTitle(d.message.caption.empty() ? QString("Quillbox") : qs(d.message.caption));
      QStringList lines;
      for (const auto& l : messageLines(d.message.text)) lines << qs(l);
      mb->setText(lines.join('\n'));
      switch (d.message.icon) {
        case Icon::Information: case Icon::Asterisk: mb->setIcon(QMessageBox::Information); break;
        case Icon::Exclamation: mb->setIcon(QMessageBox::Warning); break;
        case Icon::Question: mb->setIcon(QMessageBox::Question); break;
        case Icon::Hand: mb->setIcon(QMessageBox::Critical); break;
        case Icon::RedCross: mb->setIconPixmap(picture("RedCross").scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation)); break;
        case Icon::None: break;
      }
      std::vector<QPushButton*> buttons;
      for (const auto& b : d.buttons) buttons.push_back(mb->addButton(qs(b), QMessageBox::ActionRole));
      int def = d.message.defaultButton;
      if (def >= 1 && def <= static_cast<int>(buttons.size())) mb->setDefaultButton(buttons[static_cast<std::size_t>(def - 1)]);
      QPushButton* escape = buttons.size() == 1 ? buttons[0] : nullptr;
      for (std::size_t i = 0; i < d.buttons.size(); ++i) {
        std::string t = stripAmpersand(d.buttons[i]);
        if (t == "Cancel" || t == "No") escape = buttons[i];
      }
      if (escape) mb->setEscapeButton(escape);
      QObject::connect(mb, &QMessageBox::buttonClicked, [id, buttons](QAbstractButton* b) {
        for (std::size_t i = 0; i < buttons.size(); ++i)
          if (buttons[i] == b) answerDialog(id, static_cast<int>(i) + 1);
      });
      mb->show();
      return mb;
    }
    case DialogKind::PrinterSetup: {
      auto* pd = new QPrintDialog(&printer(), parent);
      pd->setWindowModality(Qt::NonModal);
      QObject::connect(pd, &QDialog::finished, [id](int result) { answerDialog(id, result == QDialog::Accepted ? 1 : 0); });
      pd->show();
      return pd;
    }
    case DialogKind::Calendar: {
      auto* dlg = new QDialog(parent);
      dlg->setWindowTitle(qs(d.calendar.caption));
      auto* lay = new QVBoxLayout(dlg);
      auto* cal = new QCalendarWidget(dlg);
      cal->setFirstDayOfWeek(d.calendar.firstDayOfWeek == 0 ? Qt::Sunday : Qt::Monday);
      QTextCharFormat weekend, weekday;
      weekend.setForeground(bgr(d.calendar.sundayColor));
      weekday.setForeground(bgr(d.calendar.weekdayColor));
      cal->setWeekdayTextFormat(Qt::Sunday, weekend);
      QTextCharFormat sat;
      sat.setForeground(bgr(d.calendar.saturdayColor));
      cal->setWeekdayTextFormat(Qt::Saturday, sat);
      for (Qt::DayOfWeek day : {Qt::Monday, Qt::Tuesday, Qt::Wednesday, Qt::Thursday, Qt::Friday})
        cal->setWeekdayTextFormat(day, weekday);
      int y = 0, m = 0, dd = 0;
      dayToDate(d.calendar.date, y, m, dd);
      cal->setSelectedDate(QDate(y, m, dd));
      lay->addWidget(cal);
      auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dlg);
      lay->addWidget(box);
      QObject::connect(box, &QDialogButtonBox::accepted, dlg, &QDialog::accept);
      QObject::connect(box, &QDialogButtonBox::rejected, dlg, &QDialog::reject);
      QObject::connect(dlg, &QDialog::finished, [id, cal](int result) {
        QDate q = cal->selectedDate();
        if (result == QDialog::Accepted) answerDialog(id, 1, {}, dateToDay(q.year(), q.month(), q.day()));
        else answerDialog(id, 0);
      });
      dlg->setWindowModality(Qt::NonModal);
      dlg->show();
      return dlg;
    }
    case DialogKind::SaveFile:
    case DialogKind::OpenFile: {
      auto* fd = new QFileDialog(parent, qs(d.file.title));
      fd->setOption(QFileDialog::DontUseNativeDialog);
      fd->setAcceptMode(d.kind == DialogKind::SaveFile ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
      QStringList filters;
      auto parts = splitButtons(d.file.filter);
      for (std::size_t i = 0; i + 1 < parts.size(); i += 2)
        filters << qs(parts[i]) + " (" + qs(parts[i + 1]).replace(';', ' ') + ")";
      if (!filters.isEmpty()) fd->setNameFilters(filters);
      if (!d.file.fileName.empty()) fd->selectFile(qs(d.file.fileName));
      fd->setWindowModality(Qt::NonModal);
      QObject::connect(fd, &QFileDialog::finished, [id, fd](int result) {
        QStringList files = fd->selectedFiles();
        if (result == QDialog::Accepted && !files.isEmpty()) answerDialog(id, 1, ss(files.front()));
        else answerDialog(id, 0);
      });
      fd->show();
      return fd;
    }
    case DialogKind::Popup: {
      auto* root = new QMenu(parent);
      std::vector<QMenu*> menus{root};
      QMenu* lastTitle = nullptr;
      for (const auto& it : popupItems(d.message.text)) {
        while (static_cast<int>(menus.size()) > it.depth + 1) menus.pop_back();
        if (it.depth + 1 > static_cast<int>(menus.size()) && lastTitle) menus.push_back(lastTitle);
        QMenu* m = menus.back();
        if (it.separator) {
          m->addSeparator();
        } else if (it.submenu) {
          lastTitle = m->addMenu(qs(it.text));
          lastTitle->setEnabled(!it.disabled);
        } else {
          QAction* a = m->addAction(qs(it.text));
          a->setEnabled(!it.disabled);
          int number = it.number;
          QObject::connect(a, &QAction::triggered, [id, number] { answerDialog(id, number); });
        }
      }
      // A menu closed without a choice answers 0, after any choice has been taken.
      QObject::connect(root, &QMenu::aboutToHide, [id] { QTimer::singleShot(0, [id] { answerDialog(id, 0); }); });
      root->popup(QCursor::pos());
      return root;
    }
  }
  return nullptr;
}

void View::syncDialogs() {
  std::set<int> open;
  for (Dialog* d : openDialogs()) {
    open.insert(d->id);
    if (!dialogs_.count(d->id)) dialogs_[d->id] = showDialog(*d);
  }
  for (auto it = dialogs_.begin(); it != dialogs_.end();) {
    if (!open.count(it->first)) {
      if (it->second) {
        it->second->hide();
        it->second->deleteLater();
      }
      it = dialogs_.erase(it);
    } else {
      ++it;
    }
  }
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
    Shown* s = find(w->id());
    if (s && (!s->top || !s->client)) continue;   // went with its frame
    if (s && s->seen != w->changes()) {
      syncWindow(*w, *s);
      s->seen = w->changes();
    } else if (s) {
      bool input = w->takesInput();
      s->client->setEnabled(input);
      if (s->menubar) s->menubar->setEnabled(input);
      if (s->strip) s->strip->setEnabled(input);
      for (std::size_t zz = 0; zz < s->zones.size(); ++zz)
        s->zones[zz]->setText(qs(w->statusText(static_cast<int>(zz) + 1)));
    }
  }
  std::uintptr_t active = desk().active;
  if (active != activeSeen_) {
    activeSeen_ = active;
    if (Shown* s = find(active); s && s->top && s->client) {
      if (s->sub) {
        if (QMdiArea* area = s->sub->mdiArea()) area->setActiveSubWindow(s->sub);
      } else {
        s->top->raise();
        s->top->activateWindow();
      }
      s->focusSeen = -1;
      if (Window* w = findWindow(active)) syncWindow(*w, *s);
    }
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

bool Filter::eventFilter(QObject* o, QEvent* e) {
  View& v = *v_;
  switch (e->type()) {
    case QEvent::KeyPress: {
      auto* ke = static_cast<QKeyEvent*>(e);
      int feq = 0;
      Shown* s = v.owner(o, &feq);
      if (!s) return false;
      Window* w = modelOf(s->id);
      if (!w) return false;
      int code = keyCodeOf(ke);
      if (!code) return false;
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
      Shown* s = v.owner(o, &feq);
      if (!s || feq == 0) return false;
      if (Window* w = modelOf(s->id); w && w->focus() != feq) w->userFocus(feq);
      return false;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: {
      auto* me = static_cast<QMouseEvent*>(e);
      int feq = 0;
      Shown* s = v.owner(o, &feq);
      if (!s || feq == 0) return false;
      auto it = s->controls.find(feq);
      if (it == s->controls.end()) return false;
      if (it->second.kind == Kind::Region) {
        Window* w = modelOf(s->id);
        if (!w) return false;
        QPoint at = static_cast<QWidget*>(o)->mapTo(s->client, me->position().toPoint());
        int ev = e->type() == QEvent::MouseButtonPress ? EVENT::MouseDown
                 : e->type() == QEvent::MouseMove ? EVENT::MouseMove : EVENT::MouseUp;
        if (ev == EVENT::MouseMove && !(me->buttons() & Qt::LeftButton) && !w->control(feq)->immediate) return false;
        w->userMouse(feq, ev, s->u.dx(at.x()), s->u.dy(at.y()));
        return true;
      }
      return false;
    }
    case QEvent::Wheel: {
      int feq = 0;
      Shown* s = v.owner(o, &feq);
      if (!s || feq == 0) return false;
      auto it = s->controls.find(feq);
      if (it == s->controls.end() || !it->second.bar) return false;
      Window* w = modelOf(s->id);
      if (!w) return false;
      auto* we = static_cast<QWheelEvent*>(e);
      w->userScroll(feq, we->angleDelta().y() > 0 ? EVENT::ScrollUp : EVENT::ScrollDown);
      return true;
    }
    case QEvent::Close: {
      int feq = 0;
      Shown* s = v.owner(o, &feq);
      if (!s || (o != s->top)) return false;
      if (Window* w = modelOf(s->id)) w->userClose();
      e->ignore();
      return true;
    }
    case QEvent::Resize:
    case QEvent::Move: {
      if (v.syncing()) return false;
      Shown* s = v.owner(o, nullptr);
      if (!s) return false;
      Window* w = modelOf(s->id);
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
      Shown* s = v.owner(o, nullptr);
      if (!s || o != s->top) return false;
      Window* w = modelOf(s->id);
      if (!w) return false;
      auto st = s->top->windowState();
      if (st & Qt::WindowMinimized) w->userSetState(Prop::Iconize);
      else if (st & Qt::WindowMaximized) w->userSetState(Prop::Maximize);
      else w->userSetState(Prop::Visible);
      return false;
    }
    case QEvent::WindowActivate: {
      if (v.syncing()) return false;
      Shown* s = v.owner(o, nullptr);
      if (!s || o != s->top || s->sub) return false;
      if (Window* w = modelOf(s->id)) w->userActivate();
      return false;
    }
    default:
      return false;
  }
}

void scheduleTurn() {
  static bool queued = false;
  if (queued) return;
  queued = true;
  QTimer::singleShot(0, [] {
    queued = false;
    runUntilIdle();
  });
}

}  // namespace

void install(bool exitOnHalt) {
  if (theView) return;
  installWindowLayer(exitOnHalt);
  theView = new View();
  setViewObserver(theView);
  setScheduleNotifier(scheduleTurn);
  setArrangeHandler([](MdiArrangement how) {
    if (theView) theView->arrange(how);
  });
  setClipboardBackend({[] { return ss(QGuiApplication::clipboard()->text()); },
                       [](const std::string& t) { QGuiApplication::clipboard()->setText(qs(t)); }});
  theView->schedule();
}

void uninstall() {
  if (!theView) return;
  setViewObserver(nullptr);
  setScheduleNotifier(nullptr);
  setArrangeHandler(nullptr);
  setClipboardBackend({});
  delete theView;
  theView = nullptr;
}

void runProgram(Procedure main) {
  install(true);
  setEventLoop([] { QApplication::exec(); }, [] { QCoreApplication::quit(); });
  pf::runProgram(std::move(main));
  setEventLoop(nullptr, nullptr);
  bool halted = desk().haltRequested;
  uninstall();
  if (halted) std::exit(0);
}

void pump(int ms, const std::function<bool()>& until) {
  QElapsedTimer t;
  t.start();
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!pf::programEnded()) runUntilIdle();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (until && until()) return;
    if (t.elapsed() < ms) QThread::msleep(2);
  } while (t.elapsed() < ms);
}

QWidget* widgetFor(std::uintptr_t windowId) {
  if (!theView) return nullptr;
  Shown* s = theView->find(windowId);
  return s ? s->top : nullptr;
}

QWidget* controlWidget(std::uintptr_t windowId, int feq) {
  if (!theView) return nullptr;
  Shown* s = theView->find(windowId);
  if (!s) return nullptr;
  auto it = s->controls.find(feq);
  if (it == s->controls.end()) return nullptr;
  if (it->second.tree) return it->second.tree;
  return it->second.w;
}

QWidget* frameWidget() { return theView ? theView->frameWidget() : nullptr; }

QImage screenshot(std::uintptr_t windowId) {
  QWidget* w = windowId ? widgetFor(windowId) : frameWidget();
  if (!w && activeWindow()) w = widgetFor(activeWindow()->id());
  if (!w) return QImage();
  return w->grab().toImage();
}

QIcon icon(const std::string& name) {
  QString path = resourcePath(name);
  return path.isEmpty() ? QIcon() : QIcon(path);
}

QPixmap picture(const std::string& name) {
  QString path = resourcePath(name);
  return path.isEmpty() ? QPixmap() : QPixmap(path);
}

QPrinter& printer() {
  if (!thePrinter) thePrinter = new QPrinter(QPrinter::HighResolution);
  return *thePrinter;
}

}  // namespace pf::qt
