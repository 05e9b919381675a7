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
  qbtest::writePreferences("All Categories");
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

// A rename under the Qt view on the real clock: the pass walks on its timer and its
// writing runs off the GUI thread; the view is told when it is done.
TEST(QtCategories, RenameUnderTheView) {
  qbtest::TempDir dir;
  qbtest::QtApp app;
  qbtest::addCategories({"All Categories", "Default", "News", "Shops", "Travel"});
  qbtest::writePreferences("News");
  std::vector<qbtest::Site> sites;
  for (int i = 0; i < 300; ++i) sites.push_back({"Site " + std::to_string(i), "http://site.example", "News"});
  qbtest::addSites(sites);
  qb::installThreadHooks();
  qb::registerHelp();
  auto press = [](const std::string& window, const char* control) {
    pf::Window* w = findByName(window);
    ASSERT_NE(w, nullptr) << window;
    w->userPress(w->feq(control));
  };
  bool formGone = false;
  std::vector<std::function<void()>> steps = {
      [&] { press("Main", "?CATBUT"); },
      [&] {
        pf::Window* b = findByName("BrowseCategories");
        ASSERT_NE(b, nullptr);
        b->userSelectRow(b->feq("?BROWSE:1"), 3);
        press("BrowseCategories", "?CHANGE:2");
      },
      [&] {
        pf::Window* f = findByName("UpdateCategory");
        ASSERT_NE(f, nullptr);
        f->userFocus(f->feq("?CAT:CATEGORY"));
        f->userType(f->feq("?CAT:CATEGORY"), "Press");
        press("UpdateCategory", "?OK");
      },
      [&] {},
      [&] {
        formGone = findByName("UpdateCategory") == nullptr;
        press("BrowseCategories", "?CLOSE");
      },
      [&] { pf::appFrame()->userClose(); },
  };
  qbtest::runMainProgramWith(steps);

  EXPECT_TRUE(formGone);
  auto after = qbtest::readSites();
  ASSERT_EQ(after.size(), sites.size());
  std::size_t renamed = 0;
  for (const auto& r : after) renamed += r.CATEGORY.clip() == "Press";
  EXPECT_EQ(renamed, after.size());
  EXPECT_EQ(GLO_DefaultCat.clip(), "Press");
}

}  // namespace
