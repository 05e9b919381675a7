#include "shell/main_program.h"

#include <string>
#include <utility>
#include <vector>

#include "data/access.h"
#include "data/dictionary.h"
#include "platform/classes/error_manager.h"
#include "platform/classes/help_controller.h"
#include "platform/classes/ini_manager.h"
#include "platform/os/desktop.h"
#include "platform/os/single_instance.h"
#include "platform/runtime/message.h"
#include "platform/runtime/runtime.h"
#include "platform/store/file.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "shell/main_frame.h"

std::vector<std::pair<std::string, std::string>> qbEmbeddedHelpFiles();

namespace qb {

void installThreadHooks() {
  // The first thread's objects are made by MainProgram, once AppErrors and AppIni are ready.
  pf::setThreadStartHook([] {
    if (pf::thread() != 1) MakeThreadAccess();
  });
  pf::setThreadExitHook([] {
    if (HasThreadAccess()) FreeThreadAccess();
  });
  pf::setThreadFailureHandler([](std::exception_ptr failure) { pf::AppErrors.threadFailed(failure); });
}

void registerHelp() { pf::registerHelpBook("Linkvue.chm", pf::helpBookFromFiles(qbEmbeddedHelpFiles())); }

bool RaiseFrame() {
  pf::Window* frame = pf::appFrame();
  if (!frame || !frame->isOpen() || frame->caption() != "Quillbox") return false;
  if (frame->propInt(0, pf::Prop::Iconize)) frame->userSetState(pf::Prop::Visible);
  pf::raiseWindow(*frame);
  return true;
}

void MainProgram() {
  pf::AppErrors.init();
  pf::AppIni.init("Linkvue.ini");
  MakeThreadAccess();
  // Every window names its own icon ("Browser.ico"), so there is no program-wide one to set.

  pf::InstanceLock lock("thisApp");
  if (!lock.create()) {
    pf::message("Error: Mutex cannot be created");
    return;
  }
  int wait = lock.wait(50);
  if (wait == pf::InstanceWait::TimedOut) {
    // Another instance runs: it shows its frame when it has one; this one ends quietly.
    lock.askToRaise();
    return;
  }
  if (wait != pf::InstanceWait::Obtained && wait != pf::InstanceWait::Abandoned) {
    pf::message("Wait failed");
    return;
  }
  lock.listen(RaiseFrame);
  // An export ended midway by a crash or a kill left its unfinished copy behind.
  pf::removeLeftReplacement(SitesCSVDesc());

  int drag = pf::dragSetting().get();
  if (drag == 1) pf::dragSetting().set(0);

  Main();

  lock.release();
  if (drag == 1) pf::dragSetting().set(1);
  pf::AppIni.kill();
}

}  // namespace qb
