// The category windows drawn by the Qt view (offscreen). With QB_SHOT_DIR set, pictures
// of the browse, the form and the picker are saved there.
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
#include "sites/categories.h"
#include "tests/sites/sites_fixture.h"
#include "tests/support/qt_desktop.h"

namespace {

using qbtest::findByName;

TEST(QtCategories, BrowseFormAndPickerDraw) {
  qbtest::TempDir dir;
  qbtest::QtApp app;
  qbtest::addCategories({"All Categories", "Default", "News", "Shops", "Travel"});
  {
    DefaultsRecord p;
    p.RECORDNUMBER = 1;
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
  std::vector<int> widths;
  auto save = [&](const std::string& window, const std::string& file) {
    pf::Window* w = findByName(window);
    ASSERT_NE(w, nullptr) << window;
    QImage img = pf::qt::screenshot(w->kind() == pf::WindowKind::Plain ? w->id() : 0);
    widths.push_back(img.width());
    if (shotDir) img.save(QString::fromStdString(std::string(shotDir) + "/" + file));
  };
  auto press = [](const std::string& window, const char* control) {
    pf::Window* w = findByName(window);
    ASSERT_NE(w, nullptr) << window;
    w->userPress(w->feq(control));
  };
  int rows = -1;
  std::vector<std::function<void()>> steps = {
      [&] { press("Main", "?CATBUT"); },
      [&] {
        pf::Window* b = findByName("BrowseCategories");
        ASSERT_NE(b, nullptr);
        QTreeWidget* t = qbtest::treeOf(*b, b->feq("?BROWSE:1"));
        if (t) rows = t->topLevelItemCount();
        b->selectRow(b->feq("?BROWSE:1"), 3);
        save("BrowseCategories", "categories_browse.png");
        press("BrowseCategories", "?INSERT:2");
      },
      [&] {
        save("UpdateCategory", "category_form_add.png");
        press("UpdateCategory", "?CANCEL");
      },
      [&] { press("BrowseCategories", "?CHANGE:2"); },
      [&] {
        save("UpdateCategory", "category_form_change.png");
        press("UpdateCategory", "?CANCEL");
      },
      [&] { press("BrowseCategories", "?CLOSE"); },
      [&] {
        GLO_DelCategory = "Shops";
        pf::start(qb::Win_SelectCategory, 50000);
      },
      [&] {
        save("Win_SelectCategory", "category_picker.png");
        press("Win_SelectCategory", "?CLOSE");
      },
      [&] { pf::appFrame()->userClose(); },
  };
  qbtest::runMainProgramWith(steps);

  EXPECT_EQ(rows, 5);
  EXPECT_EQ(widths.size(), 4u);
  for (int w : widths) EXPECT_GT(w, 100);
  EXPECT_EQ(GLO_BrowseCatsOpen, 0);
  EXPECT_EQ(GLO_DelCategory.clip(), "Shops");
}

}  // namespace
