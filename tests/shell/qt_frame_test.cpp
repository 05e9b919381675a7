// The frame on the Qt view (offscreen): it opens, a menu choice opens a child window,
// help opens its own window, and what is drawn is not empty.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMainWindow>
#include <QToolBar>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <vector>

#include "data/globals.h"
#include "platform/classes/help_controller.h"
#include "platform/classes/ini_manager.h"
#include "platform/os/help_window.h"
#include "platform/os/program.h"
#include "platform/ui/layout.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "shell/main_program.h"
#include "shell/procedures.h"
#include "tests/support/qt_desktop.h"
#include "tests/support/temp_dir.h"

namespace {

const char* ChildLayout = R"(
window FakeChild mdi "Child Window" size 160,80
  entry ?LOC:TEXT at 10,10 size 80,10
end
)";

void childWindow() {
  pf::Window w("FakeChild");
  w.open();
  while (w.accept()) {
  }
}

pf::Window* findByName(const std::string& name) {
  for (pf::Window* w : pf::windowsInZOrder())
    if (w->name() == name) return w;
  return nullptr;
}

TEST(QtFrame, OpensAChildWindowAndHelp) {
  qbtest::TempDir dir;
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  pf::registerLayout("FakeChild", ChildLayout);
  qb::setProcedure(qb::Proc::BrowseWebsites, childWindow);
  qb::installThreadHooks();
  qb::registerHelp();

  bool frameShown = false, childShown = false, helpShown = false;
  QImage shot;
  std::vector<std::function<void()>> steps = {
      [&] {
        pf::Window* frame = pf::appFrame();
        ASSERT_NE(frame, nullptr);
        frameShown = pf::qt::frameWidget() && pf::qt::frameWidget()->isVisible();
        // Defaults.tps was missing, so the websites browse opened by itself.
        childShown = findByName("FakeChild") && pf::qt::widgetFor(findByName("FakeChild")->id());
        frame->userPress(frame->feq("?HELPHELPCONTENTS"));
      },
      [&] {
        if (QWidget* help = pf::qtHelpWindow())
          if (auto* b = help->findChild<QTextBrowser*>("page"))
            helpShown = help->isVisible() && !help->parentWidget() && b->toPlainText().contains("Quillbox");
        shot = pf::qt::screenshot(0);
        pf::appFrame()->userClose();
      },
  };
  // The program ends when the frame has closed (it closes the child first).
  qbtest::runMainProgramWith(steps);
  qb::setProcedure(qb::Proc::BrowseWebsites, {});

  EXPECT_TRUE(frameShown);
  EXPECT_TRUE(childShown);
  EXPECT_TRUE(helpShown);
  ASSERT_FALSE(shot.isNull());
  EXPECT_GT(shot.width(), 300);
  bool varied = false;
  for (int x = 0; x < shot.width() && !varied; x += 7)
    for (int y = 0; y < shot.height() && !varied; y += 7) varied = shot.pixel(x, y) != shot.pixel(0, 0);
  EXPECT_TRUE(varied) << "the picture shows something";
  EXPECT_EQ(GLO_BrowseSitesOpen, 0);
}

TEST(QtFrame, SharedAltKeysPressTheToolbarButtons) {
  qbtest::TempDir dir;
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  std::vector<std::string> started;
  for (qb::Proc p : {qb::Proc::BrowseWebsites, qb::Proc::Win_BackupData, qb::Proc::BrowseCategories}) {
    std::string s(qb::procName(p));
    qb::setProcedure(p, [s, &started] { started.push_back(s); });
  }
  qb::installThreadHooks();
  qb::registerHelp();
  pf::helpShown().clear();
  struct Press {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    const char* expect;  // procedure started, or "help"
  } presses[] = {
      {Qt::Key_W, Qt::AltModifier, "BrowseWebsites"},   // also "&Window"
      {Qt::Key_B, Qt::AltModifier, "Win_BackupData"},   // also "&Browse"
      {Qt::Key_O, Qt::AltModifier, "BrowseCategories"},
      {Qt::Key_F1, Qt::NoModifier, "help"},             // also the Help contents item
  };
  std::vector<std::string> seen;
  // Each step waits for what it looks for (at most 10 seconds), so a loaded machine only
  // makes the test slower: first the frame, active, with the browse its first start opens.
  std::function<void(std::size_t, int)> next = [&](std::size_t i, int waited) {
    QTimer::singleShot(50, [&, i, waited] {
      QWidget* frame = pf::qt::frameWidget();
      bool ready = i == 0 ? frame && frame->isActiveWindow() && !started.empty()
                          : !started.empty() || !pf::helpShown().empty();
      if (!ready && waited < 10000) {
        next(i, waited + 50);
        return;
      }
      if (i > 0) seen.push_back(!started.empty() ? started.back() : pf::helpShown().empty() ? "-" : "help");
      started.clear();
      pf::helpShown().clear();
      if (i < std::size(presses)) {
        QTest::keyClick(frame, presses[i].key, presses[i].mods);
        next(i + 1, 0);
      } else {
        pf::appFrame()->userClose();
      }
    });
  };
  next(0, 0);
  QTimer::singleShot(60000, [] { pf::endAllThreads(); });
  pf::runOnDesktop(qb::MainProgram);
  for (qb::Proc p : {qb::Proc::BrowseWebsites, qb::Proc::Win_BackupData, qb::Proc::BrowseCategories}) qb::setProcedure(p, {});
  ASSERT_EQ(seen.size(), std::size(presses));
  for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], presses[i].expect) << i;
}

// A frame placement that no screen holds (a hand-edited or foreign INI file) opens on the
// screen and is written back as it opened.
TEST(QtFrame, AFramePlacedBeyondTheScreenOpensOnIt) {
  qbtest::TempDir dir;
  std::ofstream("Linkvue.ini") << "[Main]\nMaximize=No\nMinimize=No\nXPos=50000\nYPos=-400\n"
                                  "Width=99999\nHeight=99999\n";
  qbtest::QtApp app;
  qb::installThreadHooks();
  QRect screen, frame, inside;
  QSize least;
  qbtest::runMainProgramWith({
      [&] {
        screen = QGuiApplication::primaryScreen()->availableVirtualGeometry();
        if (QWidget* f = pf::qt::frameWidget()) {
          frame = f->frameGeometry();
          inside = f->geometry();
          least = f->minimumSize();
        }
        pf::appFrame()->userClose();
      },
  });
  ASSERT_FALSE(frame.isEmpty());
  // The title bar's corner on the screen, the window no larger than it unless its menus and
  // toolbar need more (its decorations, which only the window manager knows, may stand out at
  // the far edges).
  EXPECT_TRUE(screen.contains(frame.topLeft())) << frame.x() << "," << frame.y();
  EXPECT_LE(inside.width(), std::max(screen.width(), least.width()));
  EXPECT_LE(inside.height(), std::max(screen.height(), least.height()));
  pf::IniManager ini;
  ini.init("Linkvue.ini");
  EXPECT_GT(ini.fetchInt("Main", "Width"), 0);
  EXPECT_LT(ini.fetchInt("Main", "Width"), 1000);
  EXPECT_LT(ini.fetchInt("Main", "Height"), 1000);
  EXPECT_GE(ini.fetchInt("Main", "YPos"), 0);
  EXPECT_LT(ini.fetchInt("Main", "XPos"), 1000);
}

}  // namespace

// Widened by the user far beyond its design, the frame keeps its toolbar and the toolbar's
// picture across the whole window.
TEST(QtFrame, AWideFrameKeepsItsToolbarAndItsPictureAcross) {
  qbtest::TempDir dir;
  qbtest::QtApp app;
  qb::installThreadHooks();
  QRect frameRect, barRect;
  QImage strip, wall;
  qbtest::runMainProgramWith({
      [&] {
        if (QWidget* f = pf::qt::frameWidget()) f->resize(1500, 700);
      },
      [&] {
        auto* f = qobject_cast<QMainWindow*>(pf::qt::frameWidget());
        if (!f) return;
        frameRect = f->rect();
        if (auto* tb = f->findChild<QToolBar*>()) {
          barRect = tb->geometry();
          if (QWidget* s = tb->widgetForAction(tb->actions().value(0))) {
            strip = s->grab().toImage();
            wall = s->palette().brush(QPalette::Window).texture().toImage();
          }
        }
        if (const char* out = std::getenv("QB_SCREENSHOTS")) f->grab().save(QString(out) + "/frame_wide.png");
        pf::appFrame()->userClose();
      },
  });
  ASSERT_EQ(frameRect.width(), 1500);
  EXPECT_EQ(barRect.left(), 0);
  EXPECT_EQ(barRect.width(), frameRect.width());
  ASSERT_FALSE(strip.isNull());
  ASSERT_FALSE(wall.isNull());
  EXPECT_GE(strip.width(), barRect.width() - 4);
  // Far right, beyond the last button: the wallpaper, not a plain bar.
  for (int y : {2, strip.height() / 2, strip.height() - 3}) {
    int x = strip.width() - 3;
    EXPECT_EQ(strip.pixel(x, y), wall.pixel(x % wall.width(), y % wall.height())) << x << "," << y;
  }
}
