#include "shell/update_password.h"

#include "data/access.h"
#include "data/globals.h"
#include "data/protection.h"
#include "platform/classes/error_manager.h"
#include "platform/classes/window_controller.h"
#include "platform/core/errors.h"
#include "platform/core/secret.h"
#include "platform/core/strings.h"
#include "platform/runtime/message.h"
#include "platform/ui/ui.h"

namespace qb {

namespace {

std::string_view clipped(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::string_view trimmed(std::string_view s) {
  s = clipped(s);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}

}  // namespace

std::vector<PasswordProblem> checkPasswordEntries(std::string_view password, std::string_view again) {
  std::vector<PasswordProblem> out;
  std::string_view pw = clipped(password), match = clipped(again);
  if (pw.empty()) out.push_back({"You must enter a valid password.", "Invalid...", false});
  if (!pw.empty() && match.empty())
    out.push_back({"You must enter a matching password.", "Invalid match...", false});
  if (!pw.empty() && !match.empty() && pw != match)
    out.push_back({"The passwords do not match.", "Invalid match...", false});
  // Counted as it will be stored: without leading and trailing blanks.
  if (!pw.empty() && pf::utf8Length(trimmed(pw)) < 6)
    out.push_back({"A Password must have at lease 6 characters.", "Invalid password...", true});
  return out;
}

namespace {

class UpdatePasswordWindow : public pf::WindowController {
 public:
  UpdatePasswordWindow() : WindowController("Update_Password") {
    ResizeStrategy = 0;
    win().bind("LOC:PWORD", pf::use(LOC_PWORD));
    win().bind("LOC:MATCHPW", pf::use(LOC_MATCHPW));
    win().bind("LOC:REMOVEPW", pf::use(LOC_REMOVEPW));
  }

  std::uint8_t Setup() override {
    if (std::uint8_t rc = SetupBegin()) return rc;
    WindowAddButton(feq("?CANCEL"), pf::Response::Cancelled);
    if (int level = SetupFiles({&Relate_Access()})) return static_cast<std::uint8_t>(level);
    REQUEST = ORIGINALREQUEST = pf::Request::Change;
    Access().set();
    if (Access().next() != pf::Err::None) {
      *ACC = AccessRecord{};
      Access().add();
      Access().set();
      if (Access().next() != pf::Err::None) pf::stopBox(pf::error());
    }
    if (applyMode())
      pf::message(
          "Please do read the 'Help' topic first!||Click on the [ ? ] Help button from the "
          "'Apply Password Protection' window next.",
          "IMPORTANT...", pf::Icon::Information);
    FIRSTFIELD = feq("?LOC:PWORD");
    OpenWindow();
    SetupEnd();
    return 0;
  }

  std::uint8_t RunEventLoop() override {
    caption_ = win().caption();
    setValid(false);
    if (applyMode()) win().hide(feq("?LOC:REMOVEPW"));
    return WindowController::RunEventLoop();
  }

  std::uint8_t OnWindowEvent() override {
    if (win().event() == pf::EVENT::OpenWindow) win().setCaption(caption_);
    return WindowController::OnWindowEvent();
  }

  std::uint8_t OnAccepted() override {
    int control = win().field();
    if (control == feq("?VALBUT")) {
      win().update();
      validate();
    } else if (control == feq("?LOC:PWORD") || control == feq("?LOC:MATCHPW")) {
      // A validation holds only for the entries as they were validated.
      if (valid_ && !entriesAsValidated()) setValid(false);
    } else if (control == feq("?LOC:REMOVEPW")) {
      if (!applyMode() && valid_) removalTicked(LOC_REMOVEPW == 1);
    } else if (control == feq("?OKBUTTON")) {
      win().update();
      if (!valid_ || !entriesAsValidated()) {
        setValid(false);
        return pf::Answer::Handled;
      }
      // The password is not stored: the files are keyed with it (tear-down).
      newPassword_ = pf::Secret(LOC_REMOVEPW == 1 ? std::string_view() : trimmed(LOC_PWORD.view()));
      applied_ = true;
      CloseWithResponse(pf::Response::Cancelled);
      return pf::Answer::Handled;
    } else if (control == feq("?CANCEL")) {
      pf::message("No changes to the password configuration have been made.", "Cancelled...",
                  pf::Icon::Information);
    } else if (control == feq("?HELP")) {
      std::uint8_t rc = WindowController::OnAccepted();
      UpdateComponents();
      if (Help) Help->HelpKeywordLookup("Apply Password Protection", "Not found", "Help Topic");
      return rc;
    }
    return WindowController::OnAccepted();
  }

  std::uint8_t TearDown() override {
    if (std::uint8_t rc = WindowController::TearDown()) return rc;
    if (FILESOPENED) {
      RESPONSE = pf::Response::Cancelled;
      // Only "&Apply and Save" writes; every other way out leaves the files as they were.
      // The record holds no password, whatever an older file kept in it.
      if (applied_) {
        pf::WaitCursor wait;
        ACC->PWORD.clear();
        Relate_Access().RelationUpdate();
      }
    }
    std::uint8_t rc = TearDownEnd();
    if (applied_) rekey();
    wipeEntries();
    return rc;
  }

 private:
  int feq(const char* name) { return win().feq(name); }
  bool applyMode() const { return GLO_PasswordChangeMode == 0; }

  // Both files under the new key, or neither: the message says when it failed.
  void rekey() {
    std::string why;
    int code;
    {
      pf::WaitCursor wait;
      code = ChangeProgramPassword(newPassword_.view(), &why);
    }
    if (code != pf::Err::None)
      pf::message("The password protection could not be changed: the data files keep the password they "
                  "had.||" + why,
                  "Not changed...", pf::Icon::Exclamation);
  }

  void wipeEntries() {
    newPassword_.clear();
    validPword_.clear();
    validMatch_.clear();
    LOC_PWORD.clear();
    LOC_MATCHPW.clear();
  }

  void validate() {
    auto problems = checkPasswordEntries(LOC_PWORD.view(), LOC_MATCHPW.view());
    for (const auto& p : problems)
      pf::message(p.text, p.caption, p.information ? pf::Icon::Information : pf::Icon::Exclamation);
    if (problems.empty()) {
      validPword_ = pf::Secret(LOC_PWORD.view());
      validMatch_ = pf::Secret(LOC_MATCHPW.view());
    }
    setValid(problems.empty());
  }

  bool entriesAsValidated() const {
    if (LOC_REMOVEPW == 1) return LOC_PWORD.blank() && LOC_MATCHPW.blank();
    return LOC_PWORD.view() == validPword_.view() && LOC_MATCHPW.view() == validMatch_.view();
  }

  void setValid(bool valid) {
    valid_ = valid;
    if (valid) {
      win().disable(feq("?VALBUT"));
      win().enable(feq("?OKBUTTON"));
      win().enable(feq("?LOC:REMOVEPW"));
      return;
    }
    win().enable(feq("?VALBUT"));
    win().disable(feq("?OKBUTTON"));
    win().disable(feq("?LOC:REMOVEPW"));
    if (LOC_REMOVEPW == 1) {
      LOC_REMOVEPW = 0;
      win().display(feq("?LOC:REMOVEPW"));
    }
  }

  void removalTicked(bool on) {
    if (on) {
      LOC_PWORD.clear();
      LOC_MATCHPW.clear();
    } else {
      // Unticked: the entries come back as they were validated.
      LOC_PWORD = validPword_.view();
      LOC_MATCHPW = validMatch_.view();
    }
    win().display();
  }

  pf::String<45> LOC_PWORD;
  pf::String<45> LOC_MATCHPW;
  std::uint8_t LOC_REMOVEPW = 0;
  bool valid_ = false;
  bool applied_ = false;
  std::string caption_;
  pf::Secret validPword_, validMatch_, newPassword_;
};

}  // namespace

void Update_Password() {
  UpdatePasswordWindow w;
  pf::GLO_Response() = w.Execute();
}

}  // namespace qb
