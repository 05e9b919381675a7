#include <string>

#include "data/access.h"
#include "data/dictionary.h"
#include "data/globals.h"
#include "platform/classes/error_manager.h"
#include "platform/classes/window_controller.h"
#include "platform/core/strings.h"
#include "platform/runtime/message.h"
#include "platform/ui/keys.h"
#include "platform/ui/ui.h"
#include "sites/categories.h"

namespace qb {

int forbiddenCharacterPass(const std::string& name) {
  static const char* const sets[] = {"'", "~!@#", "$%&*", "()_+", "[]", "|\\:;", "\"<>?", "/.,-"};
  for (int p = 0; p < 8; ++p)
    if (name.find_first_of(sets[p]) != std::string::npos) return p + 1;
  return 0;
}

bool reservedCategoryName(const std::string& name) {
  std::string u = pf::upper(pf::clip(name));
  return u == "DEFAULT" || u == "ALL CATEGORIES";
}

namespace {

constexpr int HistoryKey = pf::Key::Ctrl | 'H';

class UpdateCategoryWindow : public pf::WindowController {
 public:
  UpdateCategoryWindow() : WindowController("UpdateCategory") {}

  std::uint8_t RunEventLoop() override {
    if (ORIGINALREQUEST == pf::Request::Insert)
      win().setCaption("Category will be added");
    else if (ORIGINALREQUEST == pf::Request::Change)
      win().setCaption("Change Category");
    return WindowController::RunEventLoop();
  }

  std::uint8_t Setup() override {
    if (std::uint8_t rc = SetupBegin()) return rc;
    FIRSTFIELD = feq("?CAT:CATEGORY:PROMPT");
    WindowInitHistory(HistoryKey);
    WindowAddHistoryField(feq("?CAT:CATEGORY"));
    WindowAddSaveFile(Access_Category());
    WindowAddButton(feq("?CANCEL"), pf::Response::Cancelled);
    PRIMARY = &Relate_Category();
    if (SetupFiles({&Relate_Category()}) != 0) return pf::Answer::LeaveLoop;
    GLO_OldCategory = CAT->CATEGORY.str();
    OKCONTROL = feq("?OK");
    CHANGEACTION = 2;
    CANCELACTION = 2;
    // A delete ends here, answered by the confirmation.
    if (PrepareFiles() != 0) return pf::Answer::Handled;
    win().bind(feq("?CAT:CATEGORY"), pf::use(CAT->CATEGORY));
    OpenWindow();
    SetupEnd();
    return 0;
  }

  std::uint8_t TearDown() override {
    // The caller finds the record just written in its buffer, not the copy kept before.
    bool written = RESPONSE == pf::Response::Completed &&
                   (ORIGINALREQUEST == pf::Request::Insert || ORIGINALREQUEST == pf::Request::Change);
    pf::Position pos = written ? Category().position() : pf::Position{};
    if (std::uint8_t rc = WindowController::TearDown()) return rc;
    if (written && !pos.empty()) Category().get(pos);
    return TearDownEnd();
  }

  std::uint8_t OnSelected() override {
    if (win().field() == feq("?OK") && !nameChecks()) return pf::Answer::Handled;
    return WindowController::OnSelected();
  }

  std::uint8_t OnAccepted() override {
    int c = win().field();
    if (c == feq("?OK")) {
      // The checks of the focus step again: a wiped or blank name is never saved.
      if (!nameChecks()) return pf::Answer::Handled;
      if (reservedCategoryName(CAT->CATEGORY.str())) {
        pf::message("This program category can not be duplicated.||Please enter another category description.",
                    CAT->CATEGORY.str(), pf::Icon::Exclamation);
        win().select(feq("?CAT:CATEGORY"));
        return pf::Answer::Handled;
      }
      // A new category has no websites yet: only a change renames.
      if (ORIGINALREQUEST == pf::Request::Change) {
        GLO_DelCategory = CAT->CATEGORY.str();
        GLO_RenameMode = 1;
        DeleteCategory();
      }
    }
    std::uint8_t rc = WindowController::OnAccepted();
    if (c == feq("?OK")) {
      UpdateComponents();
    } else if (c == feq("?HELP")) {
      UpdateComponents();
      if (Help) Help->HelpKeywordLookup("Edit a category", "Not found", "Help Topic");
    }
    return rc;
  }

 private:
  int feq(const char* name) { return win().feq(name); }

  // False when the name was refused (and the focus put back in the entry).
  bool nameChecks() {
    int entry = feq("?CAT:CATEGORY");
    if (CAT->CATEGORY.blank()) {
      pf::message("Category can not be blank.||Please either enter a category or select [Cancel] to abort.",
                  "Invalid", pf::Icon::Exclamation);
      win().select(entry);
      return false;
    }
    std::string full = CAT->CATEGORY.str();
    if (int pass = forbiddenCharacterPass(full)) {
      if (pass == 1)
        pf::message("Please remove the APOSTROPHE in:  " + full +
                        "||Category will be deleted, please re-enter without an apostrophe.||Please also avoid "
                        "using characters such as @#!:&;}]?<>~$ etc.",
                    "Disallowed character...", pf::Icon::RedCross);
      else
        pf::message("Please only use characters A-Z, a-z and 1234567890||Type will be deleted, please re-enter.",
                    full, pf::Icon::RedCross);
      CAT->CATEGORY = "";
      win().display(entry);
      win().select(entry);
      return false;
    }
    CAT->CATEGORY = pf::left(full);
    win().display(entry);
    return true;
  }
};

}  // namespace

void UpdateCategory() {
  UpdateCategoryWindow w;
  pf::GLO_Response() = w.Execute();
}

}  // namespace qb
