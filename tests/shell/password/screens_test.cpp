// The password, About and licence windows drawn by the Qt view (offscreen). With
// QB_SCREENSHOTS set to a folder, the pictures are saved there to be looked at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/runtime/runtime.h"
#include "platform/runtime/testing.h"
#include "platform/ui/keys.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "tests/shell/password/shell_fixture.h"

namespace qbtest {
namespace {

using Screens = ShellTest;

pf::Window* named(const std::string& name) {
  for (pf::Window* w : pf::windowsInZOrder())
    if (w->name() == name) return w;
  return nullptr;
}

TEST_F(Screens, PasswordAboutAndLicenceDraw) {
  int argc = 1;
  char arg0[] = "screens";
  char* argv[] = {arg0, nullptr};
  QApplication app(argc, argv);
  writeAccess("Secret1");   // before the view: the driver it uses leaves no view behind
  pf::testing::resetRuntime();
  pf::resetWindowLayer();
  pf::qt::install(false);
  {
    std::ofstream out("ViewLic.txt");
    std::ifstream in(std::string(QB_SOURCE_DIR) + "/resources/ViewLic.txt");
    out << in.rdbuf();
  }
  qb::installThreadHooks();
  pf::start(
      [] {
        pf::AppErrors.init();
        pf::AppIni.init("Linkvue.ini");
        MakeThreadAccess();
        qb::Main();
      },
      50000);
  const char* folder = std::getenv("QB_SCREENSHOTS");
  auto shot = [&](const std::string& window, const std::string& file, bool frame = false) {
    // The first window waits for the start's key checks, which take their time.
    pf::qt::pump(10000, [&] { return named(window) != nullptr; });
    pf::qt::pump(150);
    pf::Window* w = named(window);
    ASSERT_NE(w, nullptr) << window;
    QImage img = pf::qt::screenshot(frame ? 0 : w->id());
    EXPECT_FALSE(img.isNull()) << window;
    EXPECT_GT(img.width(), 100) << window;
    if (folder) img.save(QString::fromStdString(std::string(folder) + "/" + file + ".png"));
  };
  auto press = [](const std::string& window, const std::string& control) {
    pf::Window* w = named(window);
    ASSERT_NE(w, nullptr) << window;
    w->userPress(w->feq(control));
    pf::qt::pump(100);
  };

  shot("ValidatePassword", "validate_password");
  pf::Window* v = named("ValidatePassword");
  ASSERT_NE(v, nullptr);
  v->userFocus(v->feq("?LOC:PASSWORD"));
  pf::qt::pump(50);
  v->userType(v->feq("?LOC:PASSWORD"), "Secret1");
  shot("ValidatePassword", "validate_password_typed");
  press("ValidatePassword", "?CLOSE");

  pf::Window* frame = named("Main");
  ASSERT_NE(frame, nullptr);
  frame->userPress(frame->feq("?FILECHGCLEARPASSWORDPROTECTION"));
  pf::qt::pump(150);
  shot("Update_Password", "update_password", true);
  pf::Window* u = named("Update_Password");
  ASSERT_NE(u, nullptr);
  u->userClose();
  pf::qt::pump(100);

  frame->userPress(frame->feq("?ABOUTABOUT"));
  shot("Win_About", "about");
  press("Win_About", "?BUTTON3");
  shot("ViewLicence", "licence");
  pf::Window* l = named("ViewLicence");
  l->userFocus(l->feq("?ASCIIBOX"));
  pf::qt::pump(50);
  l->userKey(pf::Key::MouseRight);
  pf::qt::pump(150);
  ASSERT_FALSE(pf::openDialogs().empty());
  pf::answerDialog(pf::openDialogs().front()->id, 1);   // Find
  shot("TextViewerFind", "find");
  press("TextViewerFind", "?Cancel");
  l->userKey(pf::Key::MouseRight);
  pf::qt::pump(150);
  pf::answerDialog(pf::openDialogs().front()->id, 7);   // Goto
  shot("TextViewerGoto", "goto");
  press("TextViewerGoto", "?Cancel");
  pf::endAllThreads();
  pf::qt::pump(50);
  pf::qt::uninstall();
  pf::resetWindowLayer();
  pf::testing::resetRuntime();
}

}  // namespace
}  // namespace qbtest
