// Every window of the program, opened on every road the frame offers (menu items with the
// mouse and the keyboard, toolbar buttons, keys), with and without Browse Websites open, on
// the Qt view (offscreen): the user's click or key reaches the window and ends it, the
// frame's clock goes on meanwhile, and the frame takes input again afterwards.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/globals.h"
#include "platform/os/program.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "shell/main_frame.h"
#include "shell/main_program.h"
#include "tests/sites/sites_fixture.h"
#include "tests/support/qt_desktop.h"

namespace {

using qbtest::findByName;

// What the user meets on a road, and how they end it: a window of the program closed with a
// click on one of its buttons (or Esc), or a box answered with one of its buttons (or Esc).
struct Meet {
  bool box;
  std::string window;   // the program window (empty for a box)
  std::string end;      // the control's name, the box button's text, or "Esc"
  bool closes = true;   // false: it closes after what comes next (a box, a window over it)
};

Meet window(std::string name, std::string end) { return {false, std::move(name), std::move(end)}; }
Meet over(std::string name, std::string button) { return {false, std::move(name), std::move(button), false}; }
Meet box(std::string button) { return {true, {}, std::move(button)}; }

struct Road {
  std::string name;
  std::function<bool()> take;   // false: the road is not there for the user
  std::vector<Meet> meets;
};

QMainWindow* frameWindow() { return qobject_cast<QMainWindow*>(pf::qt::frameWidget()); }

QString plain(QString s) { return s.remove('&'); }

// The menu item of the frame whose text is the model's text of `item`, and its menu.
bool findItem(const std::string& item, QAction*& menuAction, QAction*& itemAction) {
  pf::Window* f = pf::appFrame();
  QMainWindow* m = frameWindow();
  if (!f || !m || !f->feq(item)) return false;
  QString text = plain(QString::fromStdString(f->text(f->feq(item))));
  for (QAction* top : m->menuBar()->actions())
    if (QMenu* menu = top->menu())
      for (QAction* a : menu->actions())
        if (!a->isSeparator() && plain(a->text()).section('\t', 0, 0) == text) {
          menuAction = top;
          itemAction = a;
          return true;
        }
  return false;
}

// The mouse: a click on the menu's title, then on the item in the menu that drops down.
bool clickMenu(const std::string& item) {
  QAction *top = nullptr, *a = nullptr;
  if (!findItem(item, top, a)) return false;
  QMenuBar* bar = frameWindow()->menuBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(top).center());
  QMenu* menu = top->menu();
  if (!menu->isVisible()) return false;
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
  return true;
}

// The keyboard, as the window system delivers it: to the window that has the focus.
bool key(Qt::Key k, Qt::KeyboardModifiers mods = {}) {
  QWindow* w = QGuiApplication::focusWindow();
  if (!w) return false;
  QTest::keyClick(w, k, mods);
  return true;
}

// Alt and the menu's letter, then the item's letter in the menu that drops down.
bool keysMenu(Qt::Key menuLetter, Qt::Key itemLetter) {
  if (!key(menuLetter, Qt::AltModifier)) return false;
  QWidget* popup = QApplication::activePopupWidget();
  if (!popup) return false;
  QTest::keyClick(popup, itemLetter);
  return true;
}

bool clickControl(const std::string& window, const std::string& control) {
  pf::Window* w = window == "Main" ? pf::appFrame() : findByName(window);
  QWidget* c = w ? pf::qt::controlWidget(w->id(), w->feq(control)) : nullptr;
  if (!c || !c->isVisible()) return false;
  QTest::mouseClick(c, Qt::LeftButton);
  return true;
}

bool isProgramWindow(QWidget* w) { return w->property("qbWindow").isValid(); }

// The box or dialog the user sees now (a message box, the calendar), or nullptr.
QDialog* shownBox() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible() && !isProgramWindow(d)) return d;
  return nullptr;
}

bool clickBoxButton(QDialog* d, const std::string& text) {
  for (QAbstractButton* b : d->findChildren<QAbstractButton*>())
    if (b->isVisible() && plain(b->text()) == QString::fromStdString(text)) {
      QTest::mouseClick(b, Qt::LeftButton);
      return true;
    }
  return false;
}

bool windowShown(const std::string& name) {
  pf::Window* w = findByName(name);
  QWidget* top = w ? pf::qt::widgetFor(w->id()) : nullptr;
  return top && top->isVisible();
}

// The keys the user types go to this window: the focus is in it.
bool keyboardIn(const std::string& name) {
  pf::Window* w = findByName(name);
  QWidget* f = QApplication::focusWidget();
  if (!w || !f) return false;
  for (QObject* o = f; o; o = o->parent()) {
    QVariant id = o->property("qbWindow");
    if (id.isValid()) return id.toULongLong() == w->id();
  }
  return false;
}

// The frame's status bar shows the time of the (fake) clock.
bool clockShowsNow() {
  QMainWindow* m = frameWindow();
  if (!m) return false;
  QString now = QString::fromStdString(qb::clockText(pf::clockTime()));
  for (QLabel* l : m->statusBar()->findChildren<QLabel*>())
    if (l->text() == now) return true;
  return false;
}

// The frame takes clicks and keys: its menu bar and toolbar are live, and the model agrees.
bool frameTakesInput() {
  QMainWindow* m = frameWindow();
  pf::Window* f = pf::appFrame();
  return m && f && f->takesInput() && m->menuBar()->isEnabled() && m->isEnabled();
}

// Plays the roads on the running program, one condition at a time: each wait polls every
// few milliseconds (the fake clock moving on, so that passes and timers run) and gives up
// after a generous deadline, which ends the program and fails the road.
class Player {
 public:
  Player(std::vector<Road> roads, std::vector<std::string> base)
      : roads_(std::move(roads)), base_(std::move(base)) {}

  void start() { poll(); }
  bool done() const { return phase_ == Phase::Done; }
  std::vector<std::string> failures;

 private:
  enum class Phase { Ready, Opening, Meet, Clock, Closed, Done };

  void poll() {
    QTimer::singleShot(5, [this] { step(); });
  }

  void fail(const std::string& what) {
    failures.push_back(road() + ": " + what);
    pf::endAllThreads();
  }

  std::string road() const { return road_ < roads_.size() ? roads_[road_].name : "start"; }

  bool baseOnly() const {
    if (shownBox() || QApplication::activePopupWidget()) return false;
    for (pf::Window* w : pf::windowsInZOrder()) {
      bool mine = w->kind() == pf::WindowKind::Frame;
      for (const auto& b : base_) mine = mine || w->name() == b;
      if (!mine) return false;
    }
    if (baseUp_)
      for (const auto& b : base_)
        if (!windowShown(b)) return false;
    return true;
  }

  void step() {
    if (pf::programEnded()) return;
    pf::advanceFakeClock(2);
    bool ready = false;
    const Meet* m = road_ < roads_.size() && meet_ < roads_[road_].meets.size() ? &roads_[road_].meets[meet_] : nullptr;
    switch (phase_) {
      case Phase::Ready:   // before a road: nothing but the frame and the base windows, frame live
        ready = baseOnly() && frameTakesInput() && QGuiApplication::focusWindow();
        break;
      case Phase::Opening:   // a road that leaves its window open for the roads after it
        ready = std::all_of(base_.begin(), base_.end(), windowShown) && frameTakesInput();
        break;
      case Phase::Meet:
        ready = m->box ? shownBox() != nullptr : windowShown(m->window) && keyboardIn(m->window);
        break;
      case Phase::Clock:
        ready = clockShowsNow();
        break;
      case Phase::Closed:
        ready = m->box ? !waitingBox_ || !waitingBox_->isVisible() : !m->closes || !findByName(m->window);
        break;
      default:
        ready = true;
    }
    if (!ready) {
      if (waited_.elapsed() > 15000) {
        fail(what());
        return;
      }
      poll();
      return;
    }
    advance(m);
    poll();
  }

  std::string what() const {
    const Meet* m = road_ < roads_.size() && meet_ < roads_[road_].meets.size() ? &roads_[road_].meets[meet_] : nullptr;
    switch (phase_) {
      case Phase::Ready: {
        std::string open;
        for (pf::Window* w : pf::windowsInZOrder()) open += " " + w->name();
        return std::string("the frame does not take input again (open:") + open + (shownBox() ? ", a box" : "") +
               (QApplication::activePopupWidget() ? ", a menu" : "") + (frameTakesInput() ? "" : ", frame greyed") +
               (QGuiApplication::focusWindow() ? "" : ", no focus window") + ")";
      }
      case Phase::Opening: return "the windows that stay open did not come up";
      case Phase::Meet:
        return m->box ? "no box came" : m->window + " did not come up with the keyboard in it";
      case Phase::Clock: return "the frame's clock stopped while " + (m->box ? "a box" : m->window) + " was open";
      case Phase::Closed:
        return (m->box ? "the box" : m->window) + " did not take " + m->end + " (it stays open)";
      default: return "?";
    }
  }

  void advance(const Meet* m) {
    waited_.restart();
    switch (phase_) {
      case Phase::Ready:
        if (road_ >= roads_.size()) {
          phase_ = Phase::Done;
          pf::appFrame()->userClose();
          return;
        }
        meet_ = 0;
        if (!roads_[road_].take()) {
          fail("the road is not there");
          return;
        }
        phase_ = roads_[road_].meets.empty() ? Phase::Opening : Phase::Meet;
        return;
      case Phase::Opening:
        baseUp_ = true;
        ++road_;
        phase_ = Phase::Ready;
        return;
      case Phase::Meet:
        // A minute later the frame's clock must show the new time.
        pf::advanceFakeClock(6000);
        phase_ = Phase::Clock;
        return;
      case Phase::Clock:
        if (m->box) waitingBox_ = shownBox();
        end(m);
        return;
      case Phase::Closed:
        if (++meet_ < roads_[road_].meets.size()) {
          phase_ = Phase::Meet;
        } else {
          ++road_;
          phase_ = Phase::Ready;
        }
        return;
      default:
        return;
    }
  }

  void end(const Meet* m) {
    bool done;
    if (m->end == "Esc") done = key(Qt::Key_Escape);
    else if (m->box) done = clickBoxButton(shownBox(), m->end);
    else done = clickControl(m->window, m->end);
    if (!done) {
      fail("no " + m->end + " to press");
      return;
    }
    phase_ = Phase::Closed;
  }

  std::vector<Road> roads_;
  std::vector<std::string> base_;
  std::size_t road_ = 0, meet_ = 0;
  Phase phase_ = Phase::Ready;
  bool baseUp_ = false;
  QPointer<QDialog> waitingBox_;
  QElapsedTimer waited_;

 public:
  void arm() { waited_.start(); }
};

// The roads of the frame with the windows each opens, and how the user ends them.
std::vector<Road> frameRoads(bool browseOpen) {
  auto menu = [](const char* item) { return [item] { return clickMenu(item); }; };
  auto toolbar = [](const char* button) { return [button] { return clickControl("Main", button); }; };
  auto alt = [](Qt::Key k) { return [k] { return key(k, Qt::AltModifier); }; };
  std::vector<Meet> backup = {window("Win_BackupData", "?CLOSE"), box("OK")};
  std::vector<Meet> backupByKeys = {window("Win_BackupData", "Esc"), box("OK")};
  if (browseOpen) backup = backupByKeys = {box("OK")};   // refused while a browse is open
  std::vector<Meet> listing = {box("Exclude"), window("_PreviewWindow_", "?PREVIEW:EXITBUTTON")};
  std::vector<Road> roads = {
      {"File > Create a Data Backup (mouse)", menu("?FILECREATEADATABACKUP"), backup},
      {"File > Apply Password Protection", menu("?FILEPWORDPROTECTION"),
       {box("OK"), over("Update_Password", "?CANCEL"), box("OK")}},
      {"File > Export URL's to a CSV file", menu("?FILEEXPORTTOCSV"),
       {box("OK"), over("ViewSaveCSV", "?CLOSE"), box("No"), box("OK")}},
      {"Browse > Browse Categories", menu("?BROWSECATEGORIES"), {window("BrowseCategories", "?CLOSE")}},
      {"Browse > Link to website not on file", menu("?BROWSENOTLISTED"), {window("Win_OtherLink", "?CLOSE")}},
      {"Reports > by Description", menu("?REPORTSWEBSITELISTING"), listing},
      {"Reports > by Category", menu("?REPORTSBYCATEGORY"), listing},
      {"Reports > by Visits", menu("?REPORTSVISITS"), {window("_PreviewWindow_", "?PREVIEW:EXITBUTTON")}},
      {"Reports > selected Category", menu("?REPORTSBYSELCAT"),
       // The picker starts on "All Categories", which no website has.
       {window("Win_SelectCategory", "?CLOSE"), box("Exclude"), box("OK")}},
      {"Reports > Favorites", menu("?REPORTSFAVORITEWEBSITESONLY"), listing},
      {"Reports > ID and/or Password", menu("?RPTSONLYIDORPASSWORD"), listing},
      {"Help > About", menu("?ABOUTABOUT"),
       {over("Win_About", "?BUTTON3"), window("ViewLicence", "?CLOSE"), window("Win_About", "Esc")}},
      {"toolbar Categories", toolbar("?CATBUT"), {window("BrowseCategories", "Esc")}},
      {"toolbar Home Page", toolbar("?INTERNETLINK"), {box("OK")}},
      {"toolbar Backup", toolbar("?BUPBUT"), browseOpen ? std::vector<Meet>{box("OK")} : backup},
      {"toolbar Calendar", toolbar("?CALENDAR"), {box("Cancel")}},
      {"Alt+O", alt(Qt::Key_O), {window("BrowseCategories", "?CLOSE")}},
      {"Alt+B", alt(Qt::Key_B), browseOpen ? std::vector<Meet>{box("OK")} : backupByKeys},
  };
  if (!browseOpen) {
    // With the browse active, Alt+F is its "&Favorites" tab and Alt+H its "C&hange".
    std::vector<Road> alone = {
        {"Alt+H", alt(Qt::Key_H), {box("OK")}},
        {"File > Create a Data Backup (keys)", [] { return keysMenu(Qt::Key_F, Qt::Key_B); }, backupByKeys},
        {"Browse > Browse Websites", menu("?BROWSESITES"), {window("BrowseWebsites", "?CLOSE")}},
        {"toolbar Websites", toolbar("?LINKSBUT"), {window("BrowseWebsites", "?CLOSE")}},
        {"Alt+W", alt(Qt::Key_W), {window("BrowseWebsites", "Esc")}},
        {"Maintenance > Set the programs Defaults", menu("?PREFERENCESSEL"), {window("Win_Preferences", "?CANCEL")}},
        {"Maintenance > Reset Color tagging", menu("?MAINTENANCERESETCOLORS"), {box("Cancel")}},
        {"Maintenance > Reset Highlight tagging", menu("?MAINTENANCECLEARHL"), {box("Cancel")}},
        {"Maintenance > Reset Favorites tagging", menu("?MAINTENANCERESETCLEARALLFAVORITESTAGGING"), {box("Cancel")}},
        {"Maintenance > Data Integrity Check", menu("?REPORTSINTEGRITYREPORT"), {box("OK")}},
    };
    roads.insert(roads.end(), alone.begin(), alone.end());
  }
  return roads;
}

TEST(QtEveryWindow, EveryRoadOpensAWindowThatTakesInput) {
  qbtest::TempDir dir;
  qbtest::QtApp app;
  qbtest::addCategories({"All Categories", "Default", "News"});
  qbtest::addSites({
      {"Daily Paper", "http://paper.example", "News", 1, 0, 1, "reader", "pa55", "", 3},
      {"Atlas", "http://atlas.example", "Default", 0, 1, 5, "", "", "", 1},
  });
  qbtest::writePreferences("All Categories");   // Browse Websites does not open by itself
  std::ofstream("ViewLic.txt") << "The licence.\n";
  qb::installThreadHooks();
  pf::useFakeClock(pf::today(), 9 * 360000 + 1);

  // One run of the program: every road with the frame alone, then Browse Websites opened and
  // every road again while it stays open.
  std::vector<Road> roads = frameRoads(false);
  roads.push_back(Road{"open Browse Websites", [] { return clickMenu("?BROWSESITES"); }, {}});
  for (Road& r : frameRoads(true)) {
    r.name += " (Browse Websites open)";
    roads.push_back(std::move(r));
  }
  Player player(std::move(roads), {"BrowseWebsites"});
  player.arm();
  QTimer::singleShot(0, [&] { player.start(); });
  pf::runOnDesktop(qb::MainProgram);
  for (const auto& f : player.failures) ADD_FAILURE() << f;
  EXPECT_TRUE(player.done()) << "every road was played";
  EXPECT_EQ(GLO_BrowseSitesOpen, 0);
}

}  // namespace
