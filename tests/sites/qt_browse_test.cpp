// The websites browse drawn by the Qt view (offscreen): rows with their colours and
// the tick. With QB_SHOT_DIR set, pictures of every tab and of the form are saved there.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTimer>
#include <QTreeWidget>

#include <cstdlib>
#include <functional>
#include <vector>

#include "data/globals.h"
#include "platform/os/program.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "shell/main_program.h"
#include "tests/sites/sites_fixture.h"
#include "tests/support/qt_desktop.h"

namespace {

using qbtest::findByName;
using qbtest::treeOf;

TEST(QtBrowse, RowsWithColoursAndTheTick) {
  qbtest::TempDir dir;
  qbtest::QtApp app;
  qbtest::addCategories({"All Categories", "Default", "News", "Shops", "Travel"});
  qbtest::addSites({
      {"Daily Paper", "http://paper.example", "News", 1, 0, 1, "reader", "pa55"},
      {"Weather", "http://weather.example", "News", 0, 1, 8},
      {"Red Market", "http://market.example", "Shops", 0, 0, 8, "buyer", "x"},
      {"Atlas", "http://atlas.example", "Travel", 1, 0, 5, "", "", "Maps of the world."},
  });
  {
    DefaultsRecord p;
    p.RECORDNUMBER = 1;
    p.AUTOOPENBROWSE = 1;
    p.SHOWPWORDS = 1;
    p.SHOWCATS = 1;
    p.DEFAULTCAT = "All Categories";
    p.COLUMN4WIDTH = 60;
    p.COLUMN5WIDTH = 50;
    p.COLUMN6WIDTH = 60;
    pf::File f(DefaultsDesc(), &p);
    ASSERT_EQ(f.create(), 0);
    ASSERT_EQ(f.open(), 0);
    ASSERT_EQ(f.add(), 0);
    f.close();
  }
  qb::installThreadHooks();
  qb::registerHelp();
  const char* shotDir = std::getenv("QB_SHOT_DIR");
  auto save = [&](const std::string& file) {
    if (!shotDir) return;
    pf::qt::screenshot(0).save(QString::fromStdString(std::string(shotDir) + "/" + file));
  };

  int rows = -1;
  QColor redText, paleYellow;
  bool tick = false, noTick = true;
  std::vector<std::function<void()>> steps = {
      [&] {
        pf::Window* b = findByName("BrowseWebsites");
        ASSERT_NE(b, nullptr);
        QTreeWidget* t = treeOf(*b, b->feq("?BROWSE:1"));
        ASSERT_NE(t, nullptr);
        rows = t->topLevelItemCount();
        // Atlas, Daily Paper, Red Market, Weather.
        if (rows == 4) {
          redText = t->topLevelItem(2)->foreground(1).color();
          paleYellow = t->topLevelItem(3)->background(1).color();
          tick = !t->topLevelItem(0)->icon(0).isNull();
          noTick = t->topLevelItem(2)->icon(0).isNull();
        }
        b->selectRow(b->feq("?BROWSE:1"), 2);
        save("browse_tab1.png");
        b->userChooseTab(b->feq("?CURRENTTAB"), 2);
      },
      [&] { save("browse_tab2.png"); findByName("BrowseWebsites")->userChooseTab(findByName("BrowseWebsites")->feq("?CURRENTTAB"), 3); },
      [&] { save("browse_tab3.png"); findByName("BrowseWebsites")->userChooseTab(findByName("BrowseWebsites")->feq("?CURRENTTAB"), 4); },
      [&] { save("browse_tab4.png"); findByName("BrowseWebsites")->userChooseTab(findByName("BrowseWebsites")->feq("?CURRENTTAB"), 5); },
      [&] { save("browse_tab5.png"); findByName("BrowseWebsites")->userChooseTab(findByName("BrowseWebsites")->feq("?CURRENTTAB"), 6); },
      [&] {
        save("browse_tab6.png");
        pf::Window* b = findByName("BrowseWebsites");
        b->userChooseTab(b->feq("?CURRENTTAB"), 1);
      },
      [&] {
        pf::Window* b = findByName("BrowseWebsites");
        b->userPress(b->feq("?INSERT:3"));
      },
      [&] {
        save("form_add.png");
        pf::Window* f = findByName("UpdateWebsites");
        if (f) f->userPress(f->feq("?CANCEL"));
      },
      [&] {
        pf::Window* b = findByName("BrowseWebsites");
        b->userPress(b->feq("?CHANGE:3"));
      },
      [&] {
        save("form_change.png");
        pf::Window* f = findByName("UpdateWebsites");
        if (f) f->userPress(f->feq("?CANCEL"));
      },
      [&] { pf::appFrame()->userClose(); },
  };
  qbtest::runMainProgramWith(steps);

  EXPECT_EQ(rows, 4);
  EXPECT_EQ(redText, QColor(255, 0, 0));
  EXPECT_EQ(paleYellow, QColor(255, 255, 202));
  EXPECT_TRUE(tick);
  EXPECT_TRUE(noTick);
  EXPECT_EQ(GLO_BrowseSitesOpen, 0);
}

}  // namespace
