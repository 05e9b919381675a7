#include "shell/password.h"

#include <string>

#include "data/access.h"
#include "data/globals.h"
#include "data/protection.h"
#include "platform/classes/error_manager.h"
#include "platform/classes/window_controller.h"
#include "platform/core/errors.h"
#include "platform/runtime/message.h"
#include "platform/ui/ui.h"

namespace qb {
namespace {

class ValidatePasswordWindow : public pf::WindowController {
 public:
  ValidatePasswordWindow() : WindowController("ValidatePassword") {
    InstanceMarker = &GLO_ValidatePasswordThread;
    ResizeStrategy = 0;
    win().bind("LOC:PASSWORD", pf::use(LOC_PASSWORD));
  }

  std::uint8_t Setup() override {
    if (std::uint8_t rc = SetupBegin()) return rc;
    WindowAddButton(feq("?CLOSE"), pf::Response::Cancelled);
    wrongEntries = 0;
    validated = 0;
    FIRSTFIELD = feq("?LOC:PASSWORD");
    OpenWindow();
    SetupEnd();
    return 0;
  }

  std::uint8_t TearDown() override {
    if (std::uint8_t rc = WindowController::TearDown()) return rc;
    return TearDownEnd();
  }

  std::uint8_t OnAccepted() override {
    int control = win().field();
    if (control == feq("?CANCELBUT")) pf::halt(HaltCancelled);
    if (control == feq("?CLOSE")) {
      win().update();
      // The entry is right when it opens the files: nothing readable holds the password.
      pf::WaitCursor wait;
      if (UseProgramPassword(LOC_PASSWORD.view())) {
        GLO_ProgramPassword.clear();
        LOC_PASSWORD.clear();
        win().display(feq("?LOC:PASSWORD"));
        validated = 1;
        // The base handling closes the window: ?CLOSE is registered as a closing button.
      } else {
        if (++wrongEntries >= 3) pf::halt(HaltThreeWrong);
        pf::message(
            "The password you entered is INVALID.||Remember that a password is Case "
            "Sensitive.||The invalid password will be cleared.",
            "Invalid...", pf::Icon::RedCross);
        LOC_PASSWORD.clear();
        win().display(feq("?LOC:PASSWORD"));
        win().select(feq("?LOC:PASSWORD"));
        return pf::Answer::Handled;
      }
    }
    return WindowController::OnAccepted();
  }

  std::uint8_t OnWindowEvent() override {
    int code = win().event();
    if ((code == pf::EVENT::CloseWindow || code == pf::EVENT::CloseDown) && validated == 0)
      pf::halt(HaltNotEntered);
    return WindowController::OnWindowEvent();
  }

  pf::String<45> LOC_PASSWORD;
  std::uint8_t wrongEntries = 0;
  std::uint8_t validated = 0;

 private:
  int feq(const char* name) { return win().feq(name); }
};

}  // namespace

bool ValidatePassword() {
  ValidatePasswordWindow w;
  pf::GLO_Response() = w.Execute();
  return w.validated == 1;
}

void CheckStartupPassword() {
  std::string why;
  if (StartProtection(&why) != pf::Err::None)
    // The files stay as they are; what opens them decides below.
    pf::message("A change of the password cut short by a crash could not be finished: " + why +
                    ".|No file it names was renamed or removed.",
                "Small problem...", pf::Icon::Exclamation);
  Protection state = ProbeProtection();
  // A password file that cannot be read must not open the program as if none were set.
  if (state == Protection::Unreadable) pf::halt(HaltUnreadable);
  if (state == Protection::Password) {
    GLO_PasswordOn = 1;
    // Whatever kept the window from taking a right entry, the program does not go on.
    if (!ValidatePassword()) pf::halt(HaltNotEntered);
    return;
  }
  // The files' opens wait for the other program and say what they meet; a password file
  // made now could be keyed unlike the data.
  if (state == Protection::Locked) return;
  // No password: the password file is opened (made when missing) as the program starts.
  if (Relate_Access().RelationOpen() != pf::Level::Benign) {
    Relate_Access().RelationClose();
    pf::halt(HaltUnreadable);
  }
  Access().set();
  int rc = Access().next();
  Relate_Access().RelationClose();
  if (rc != pf::Err::None && rc != pf::Err::RecordNotAvailable) pf::halt(HaltUnreadable);
}

}  // namespace qb
