// The browse with its search window and splitter bar, drawn by the Qt view (offscreen).
// With QB_SHOT_DIR set, a picture of the frame is saved there.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <functional>
#include <vector>

#include "platform/os/program.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "shell/main_program.h"
#include "tests/sites/sites_fixture.h"
#include "tests/support/qt_desktop.h"

namespace {

using qbtest::findByName;

TEST(QtSearch, SearchWindowOverTheBrowse) {
  qbtest::TempDir dir;
  qbtest::QtApp app;
  qbtest::addCategories({"All Categories", "News", "Shops"});
  qbtest::addSites({{"Daily Paper", "http://paper.example", "News", 1},
                    {"Weather", "http://weather.example", "News"},
                    {"Red Market", "http://market.example", "Shops"}});
  {
    DefaultsRecord p;
    p.RECORDNUMBER = 1;
    p.AUTOOPENBROWSE = 1;
    p.DEFAULTCAT = "All Categories";
    pf::File f(DefaultsDesc(), &p);
    ASSERT_EQ(f.create(), 0);
    ASSERT_EQ(f.open(), 0);
    ASSERT_EQ(f.add(), 0);
    f.close();
  }
  qb::installThreadHooks();
  qb::registerHelp();
  const char* shotDir = std::getenv("QB_SHOT_DIR");

  bool searchShown = false, barCursor = false;
  std::string status;
  int barTop = 0, listHeight = 0;
  std::vector<std::function<void()>> steps = {
      [&] {
        pf::Window* b = findByName("BrowseWebsites");
        ASSERT_NE(b, nullptr);
        QWidget* bar = pf::qt::controlWidget(b->id(), b->feq("?HSPLIT"));
        barCursor = bar && bar->cursor().shape() == Qt::SizeVerCursor;
        if (!bar) return;
        // The mouse pulls the bar up by 40 pixels.
        auto send = [bar](QEvent::Type type, QPointF at, Qt::MouseButtons held) {
          QMouseEvent e(type, at, bar->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
          QApplication::sendEvent(bar, &e);
        };
        send(QEvent::MouseButtonPress, QPointF(50, 1), Qt::LeftButton);
        send(QEvent::MouseMove, QPointF(50, -39), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, QPointF(50, -39), Qt::NoButton);
      },
      [&] {
        pf::Window* b = findByName("BrowseWebsites");
        ASSERT_NE(b, nullptr);
        barTop = static_cast<int>(b->propInt(b->feq("?HSPLIT"), pf::Prop::Ypos));
        listHeight = static_cast<int>(b->propInt(b->feq("?BROWSE:1"), pf::Prop::Height));
        b->userPress(b->feq("?GISBUSKDAF3"));
      },
      [&] {
        pf::Window* s = findByName("BuscadorF3");
        ASSERT_NE(s, nullptr);
        searchShown = pf::qt::widgetFor(s->id()) != nullptr && s->caption() == "Search";
        s->userFocus(s->feq("?BRW1:PRC:PAL"));
        s->userType(s->feq("?BRW1:PRC:PAL"), "weather");
        s->userPress(s->feq("?F3BOT_SIGUIENTE"));
      },
      [&] {
        if (pf::appFrame()) status = pf::appFrame()->statusText(1);
        if (shotDir) pf::qt::screenshot(0).save(QString::fromStdString(std::string(shotDir) + "/browse_search.png"));
        pf::appFrame()->userClose();
      },
  };
  qbtest::runMainProgramWith(steps);

  EXPECT_TRUE(barCursor);
  EXPECT_LT(barTop, 225);
  EXPECT_EQ(listHeight, barTop - 19 - 3);
  EXPECT_TRUE(searchShown);
  EXPECT_EQ(status, "Match located: Description");
}

}  // namespace
