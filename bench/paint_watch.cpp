// A Qt plugin the start-up benchmark has Qt load into the real program
// (QT_QPA_GENERIC_PLUGINS=quillbox-paint-watch), so that the program itself is measured,
// unchanged. It writes to the file QB_PAINT_WATCH_LOG one line per moment, with the
// steady clock's nanoseconds:
//   window NS TITLE   a window other than the frame has been painted for the first time
//   typed NS          the Return key that ends the typed password is about to arrive
//   frame NS          the frame has been painted for the first time
// It types QB_PAINT_WATCH_PASSWORD into the first password entry painted, as the user
// would, and closes the frame once it has been painted. It uses Qt alone: the program's
// own libraries are linked into the program, not here.
#include <QApplication>
#include <QGenericPlugin>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

long long now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

class PaintWatch : public QObject {
 public:
  PaintWatch() {
    const char* log = std::getenv("QB_PAINT_WATCH_LOG");
    log_ = log ? std::fopen(log, "a") : nullptr;
    if (const char* p = std::getenv("QB_PAINT_WATCH_PASSWORD")) password_ = QString::fromUtf8(p);
    QCoreApplication::instance()->installEventFilter(this);
  }
  ~PaintWatch() override {
    if (log_) std::fclose(log_);
  }

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    switch (e->type()) {
      case QEvent::Paint:
        if (syncing_) painted_ = true;
        return false;
      case QEvent::Expose:
      case QEvent::UpdateRequest: break;
      default: return false;
    }
    QWidget* top = topLevel(o);
    if (syncing_ || !top || seen(top)) return false;
    // The window paints inside this event: handled here, so that the time after it is
    // the moment the window stands painted.
    syncing_ = true;
    painted_ = false;
    o->event(e);
    syncing_ = false;
    if (painted_) firstPainted(top);
    return true;
  }

 private:
  static QWidget* topLevel(QObject* o) {
    if (auto* w = qobject_cast<QWidget*>(o)) return w->isWindow() ? w : nullptr;
    if (auto* window = qobject_cast<QWindow*>(o))
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowHandle() == window) return w;
    return nullptr;
  }

  // A window made later at the address of a deleted one is a window of its own.
  bool seen(QWidget* top) const {
    return std::any_of(seen_.begin(), seen_.end(), [top](const QPointer<QWidget>& w) { return w == top; });
  }

  void firstPainted(QWidget* top) {
    seen_.push_back(top);
    if (qobject_cast<QMainWindow*>(top)) {
      write("frame");
      QTimer::singleShot(0, top, &QWidget::close);
      return;
    }
    write("window", top->windowTitle());
    if (typed_ || password_.isEmpty()) return;
    for (QLineEdit* e : top->findChildren<QLineEdit*>())
      if (e->echoMode() != QLineEdit::Normal) typed_ = true;
    if (typed_) QTimer::singleShot(0, this, &PaintWatch::type);
  }

  // Into whatever has the keyboard focus, as a user's keys go.
  void type() {
    QWidget* target = QApplication::focusWidget();
    if (!target) return;
    for (QChar c : password_) press(target, c.toUpper().unicode(), c);
    // Posted events arrive in the order posted: this one just before the Return (which a
    // shortcut may take before any event filter sees it).
    QMetaObject::invokeMethod(this, [this] { write("typed"); }, Qt::QueuedConnection);
    press(target, Qt::Key_Return, QChar('\r'));
  }

  static void press(QWidget* target, int key, QChar text) {
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, QString(text)));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, QString(text)));
  }

  void write(const char* what, const QString& title = {}) {
    if (!log_) return;
    std::fprintf(log_, "%s %lld %s\n", what, now(), title.toUtf8().constData());
    std::fflush(log_);
  }

  std::FILE* log_ = nullptr;
  QString password_;
  QList<QPointer<QWidget>> seen_;
  bool typed_ = false;
  bool syncing_ = false;
  bool painted_ = false;
};

}  // namespace

class PaintWatchPlugin : public QGenericPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "paint_watch.json")

 public:
  QObject* create(const QString& name, const QString&) override {
    if (name.compare("quillbox-paint-watch", Qt::CaseInsensitive) != 0) return nullptr;
    return new PaintWatch;  // Qt deletes it with the application
  }
};

#include "paint_watch.moc"
