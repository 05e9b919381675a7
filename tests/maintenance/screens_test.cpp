// The link, preferences, backup and CSV viewer windows drawn by the Qt view (offscreen).
// With QB_SCREENSHOTS set to a folder, the pictures are saved there to be looked at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>

#include <cstdlib>
#include <string>

#include "platform/runtime/runtime.h"
#include "platform/runtime/testing.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "data/access.h"
#include "sites/link_dialogs.h"
#include "tests/maintenance/maintenance_fixture.h"

namespace qbtest {
namespace {

pf::Window* named(const std::string& name) {
  for (pf::Window* w : pf::windowsInZOrder())
    if (w->name() == name) return w;
  return nullptr;
}

// A thread as the frame starts one: with its own access objects.
template <void (*Proc)()>
void withAccess() {
  MakeThreadAccess();
  Proc();
  FreeThreadAccess();
}

TEST(MaintenanceScreens, WindowsDraw) {
  TempDir dir;
  int argc = 1;
  char arg0[] = "screens";
  char* argv[] = {arg0, nullptr};
  QApplication app(argc, argv);
  writeSites({{"http://news.example.org"}, {"http://shop.example.org"}, {"a \"quoted\" one"}});
  writeCategories({"All Categories", "Default", "News", "Travel"});
  DefaultsRecord pref;
  pref.RECORDNUMBER = 1;
  pref.DEFAULTCAT = "News";
  pref.HOMEPAGE = "http://home.example.org";
  pref.DEFAULTBUPDRIVE = "E";
  writePrefs(pref);
  GLO_DefaultBupDrive = "E";
  pf::AppErrors.init();
  pf::AppIni.init("Linkvue.ini");
  qb::installThreadHooks();
  pf::testing::resetRuntime();
  pf::resetWindowLayer();
  pf::qt::install(false);

  const char* folder = std::getenv("QB_SCREENSHOTS");
  auto shot = [&](const std::string& window, const std::string& file) {
    pf::qt::pump(150);
    pf::Window* w = named(window);
    ASSERT_NE(w, nullptr) << window;
    QImage img = pf::qt::screenshot(w->id());
    EXPECT_FALSE(img.isNull()) << window;
    EXPECT_GT(img.width(), 100) << window;
    if (folder) img.save(QString::fromStdString(std::string(folder) + "/" + file + ".png"));
  };
  auto close = [](const std::string& window) {
    pf::Window* w = named(window);
    ASSERT_NE(w, nullptr) << window;
    w->userClose();
    pf::qt::pump(100);
  };

  pf::start(withAccess<qb::Win_OtherLink>, 50000);
  shot("Win_OtherLink", "other_link");
  close("Win_OtherLink");
  pf::start(withAccess<qb::Win_EmailLink>, 50000);
  shot("Win_EmailLink", "email_link");
  close("Win_EmailLink");
  pf::start(withAccess<qb::Win_Preferences>, 50000);
  shot("Win_Preferences", "preferences");
  close("Win_Preferences");
  pf::start(withAccess<qb::Win_BackupData>, 50000);
  shot("Win_BackupData", "backup");
  close("Win_BackupData");
  pf::qt::pump(100, [] { return !pf::openDialogs().empty(); });
  if (!pf::openDialogs().empty()) pf::answerDialog(pf::openDialogs().front()->id, 1);

  pf::start(withAccess<qb::Create_CSV>, 50000);
  pf::qt::pump(3000, [] { return !pf::openDialogs().empty(); });
  ASSERT_FALSE(pf::openDialogs().empty());
  EXPECT_EQ(pf::openDialogs().front()->message.caption, "CSV process complete...");
  pf::answerDialog(pf::openDialogs().front()->id, 1);
  shot("ViewSaveCSV", "view_csv");

  pf::endAllThreads();
  pf::qt::pump(50);
  pf::qt::uninstall();
  pf::resetWindowLayer();
  pf::testing::resetRuntime();
  pf::AppIni.kill();
}

}  // namespace
}  // namespace qbtest
