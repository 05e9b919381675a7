#include <string>
#include <vector>

#include "data/access.h"
#include "data/dictionary.h"
#include "data/globals.h"
#include "platform/classes/error_manager.h"
#include "platform/classes/file_accessor.h"
#include "platform/classes/window_controller.h"
#include "platform/core/strings.h"
#include "platform/runtime/message.h"
#include "platform/store/view.h"
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

bool categoryNameTaken(const std::string& name, const pf::Position& except) {
  pf::AccessorState kept = Access_Category().FileSaveState();
  bool taken = false;
  pf::View names(Category());
  names.setOrder(&CAT_CatKey());
  if (names.open() == 0) {
    CAT->CATEGORY = name;
    names.setFromBuffer();
    while (!taken && names.next() == 0 && pf::foldEqual(CAT->CATEGORY.clip(), pf::clip(name)))
      taken = names.position().row != except.row;
    names.close();
  }
  Access_Category().FileRestoreState(kept);
  return taken;
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
    // The form's own copy: another category form may take GLO:OldCategory meanwhile.
    oldName_ = CAT->CATEGORY.str();
    OKCONTROL = feq("?OK");
    CHANGEACTION = 2;
    CANCELACTION = 2;
    // A delete ends here, answered by the confirmation.
    if (PrepareFiles() != 0) return pf::Answer::Handled;
    if (ORIGINALREQUEST == pf::Request::Change) record_ = Category().position();
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

  std::uint8_t CompleteChange() override {
    if (!renamed_) return WindowController::CompleteChange();
    CompleteWritten();
    return 0;
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
      // The category key ignores letter case, and so do the category's names.
      if (categoryNameTaken(CAT->CATEGORY.str(), record_)) {
        pf::message("This category already exists.||Please enter another category description.",
                    CAT->CATEGORY.str(), pf::Icon::Exclamation);
        win().select(feq("?CAT:CATEGORY"));
        return pf::Answer::Handled;
      }
      // A new category has no websites yet, and a name left as it was has nothing to
      // rename.
      if (ORIGINALREQUEST == pf::Request::Change && CAT->CATEGORY.clip() != pf::clip(oldName_)) {
        GLO_DelCategory = CAT->CATEGORY.str();
        GLO_RenameMode = 1;
        // The pass writes this record with the websites; a failed one leaves the form open.
        CategoryPassOutcome pass = DeleteCategory({1, CAT->CATEGORY.str(), oldName_, record_});
        if (!pass.done) {
          if (pass.recordChanged) takeRecordOnFile();
          win().select(feq("?CAT:CATEGORY"));
          return pf::Answer::Handled;
        }
        renamed_ = true;
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

  std::string oldName_;
  pf::Position record_;   // of a change
  bool renamed_ = false;

  // Another program renamed the category while the form was open: the rename starts
  // from its name as it is now, and the name the user typed stays in the form.
  void takeRecordOnFile() {
    pf::AccessorState kept = Access_Category().FileSaveState();
    if (Category().get(record_) == pf::Err::None) {
      const auto* p = reinterpret_cast<const unsigned char*>(&*CAT);
      std::vector<unsigned char> onFile(p, p + sizeof(CategoryRecord));
      oldName_ = CAT->CATEGORY.str();
      GLO_OldCategory = oldName_;
      Access_Category().FileRestoreState(kept);
      TakeRecordOnFile(onFile);
      return;
    }
    Access_Category().FileRestoreState(kept);
  }

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
