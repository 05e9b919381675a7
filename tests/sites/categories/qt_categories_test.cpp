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

namespace {

pf::Window* findByName(const std::string& name) {
  for (pf::Window* w : pf::windowsInZOrder())
    if (w->name() == name) return w;
  return nullptr;
}

TEST(QtCategories, BrowseFormAndPickerDraw) {
  qbtest::TempDir dir;
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
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
        QWidget* c = pf::qt::controlWidget(b->id(), b->feq("?BROWSE:1"));
        auto* t = c ? (qobject_cast<QTreeWidget*>(c) ? qobject_cast<QTreeWidget*>(c) : c->findChild<QTreeWidget*>())
                    : nullptr;
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
  std::function<void(std::size_t)> next = [&](std::size_t i) {
    if (i < steps.size())
      QTimer::singleShot(i == 0 ? 1200 : 500, [&, i] {
        steps[i]();
        next(i + 1);
      });
  };
  next(0);
  QTimer::singleShot(30000, [] { pf::endAllThreads(); });
  pf::runOnDesktop(qb::MainProgram);

  EXPECT_EQ(rows, 5);
  EXPECT_EQ(widths.size(), 4u);
  for (int w : widths) EXPECT_GT(w, 100);
  EXPECT_EQ(GLO_BrowseCatsOpen, 0);
  EXPECT_EQ(GLO_DelCategory.clip(), "Shops");
}

}  // namespace
