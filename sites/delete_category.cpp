#include <string>

#include "data/access.h"
#include "data/dictionary.h"
#include "data/globals.h"
#include "platform/classes/error_manager.h"
#include "platform/classes/file_accessor.h"
#include "platform/classes/process_manager.h"
#include "platform/classes/report_controller.h"
#include "platform/core/errors.h"
#include "platform/core/strings.h"
#include "platform/runtime/message.h"
#include "platform/store/joint_change.h"
#include "platform/ui/ui.h"
#include "sites/categories.h"

namespace qb {

namespace {

class CategoryPass : public pf::ProcessManager {
 public:
  explicit CategoryPass(const CategoryPassValues& v) : values(v) {}
  std::uint8_t ProcessRecord() override;
  int ProcessNextRecord() override {
    int rc = pf::ProcessManager::ProcessNextRecord();
    if (rc == pf::Level::Notify) reachedEnd = true;
    return rc;
  }

  const CategoryPassValues& values;
  std::int32_t count = 0;
  bool reachedEnd = false;
};

std::uint8_t CategoryPass::ProcessRecord() {
  std::uint8_t rc = pf::ProcessManager::ProcessRecord();
  pf::WaitCursor wait;
  if (pf::foldEqual(WEB->CATEGORY.clip(), pf::clip(values.category))) ++count;
  // A rename writes nothing here: the websites of the old name are given the new one
  // when the walk is over, together with the category record.
  return rc;
}

class DeleteCategoryWindow : public pf::ReportController {
 public:
  explicit DeleteCategoryWindow(const CategoryPassValues& v)
      : ReportController("DeleteCategory"), values(v), process(values) {}

  std::uint8_t Setup() override {
    if (std::uint8_t rc = ReportSetupBegin()) return rc;
    pf::GLO_Request() = 0;
    pf::GLO_Response() = 0;
    ReportOpen(Relate_WSites());
    if (values.renameMode == 1) SetupFiles({&Relate_Defaults()});
    // The caller may be editing a website in this thread's record: it gets it back.
    kept_ = Access_WSites().FileSaveState();
    keptValid_ = true;
    step.StepTextInit(5, 3);
    process.ProcessInit(WSites(), Relate_WSites(), win().feq("?PROGRESS:PCTTEXT"), Progress, step,
                        pf::use(WEB->CATEGORY));
    process.CASESENSITIVEVALUE = 0;
    process.ViewAddSortOrder(&WEB_CategoryKey());
    ReportSetupPass(process);
    // The user sees only the pass's messages; hidden after the placement, which could show it.
    win().setProp(0, pf::Prop::Hide, 1);
    return 0;
  }

  std::uint8_t TearDown() override {
    if (std::uint8_t rc = ReportKill()) return rc;
    if (FILESOPENED) {
      Relate_WSites().RelationSetQuickScan(false);
      if (values.renameMode == 1) rename();
      if (keptValid_) Access_WSites().FileRestoreState(kept_);
      GLO_OldCategory = "";
      if (values.renameMode == 0) {
        pf::message(std::to_string(process.count) + " Websites have a Category of: " + pf::clip(values.category),
                    "Check complete...", pf::Icon::Exclamation);
        GLO_DelCategory = process.count > 0 ? "Cat in use" : "";
      }
    }
    outcome.count = process.count;
    outcome.done = process.reachedEnd && !failed_;
    return TearDownEnd();
  }

  const CategoryPassValues& values;
  CategoryPass process;
  pf::TextStep step;
  CategoryPassOutcome outcome;

 private:
  // Once the walk has reached the end: the websites, the category record and the
  // preferences take the new name in one change.
  void rename() {
    if (!process.reachedEnd) {
      failed_ = true;
      return;
    }
    pf::JointChange change;
    change.rewrite(WSites(), WSitesDesc().fieldIndex("WEB:CATEGORY"), values.oldCategory, values.category);
    if (!values.record.empty())
      change.setIfStill(Category(), values.record, CategoryDesc().fieldIndex("CAT:CATEGORY"), values.oldCategory,
                        values.category);
    bool preferences = defaultsNameOldCategory();
    if (preferences)
      change.rewrite(Defaults(), DefaultsDesc().fieldIndex("PREF:DEFAULTCAT"), values.oldCategory, values.category);
    if (change.commit() != 0) {
      failed_ = true;
      outcome.recordChanged = pf::errorcode() == pf::Err::FileChanged;
      RESPONSE = pf::Response::Cancelled;
      pf::AppErrors.throwFile(pf::Msg::PutError, change.failedFile() == &WSites() ? "Process:View"
                                                                                   : change.failedFile()->name());
      return;
    }
    outcome.renamed = change.changed()[0];
    if (pf::foldEqual(GLO_DefaultCat.clip(), pf::clip(values.oldCategory))) GLO_DefaultCat = values.category;
  }

  // Whether the preferences record names the old category as the default one.
  bool defaultsNameOldCategory() {
    if (!Defaults().isOpen()) return false;
    pf::AccessorState kept = Access_Defaults().FileSaveState();
    Defaults().set();
    bool names = Defaults().next() == 0 && pf::foldEqual(PREF->DEFAULTCAT.clip(), pf::clip(values.oldCategory));
    Access_Defaults().FileRestoreState(kept);
    return names;
  }

  pf::AccessorState kept_;
  bool keptValid_ = false;
  bool failed_ = false;
};

}  // namespace

CategoryPassOutcome DeleteCategory(const CategoryPassValues& values) {
  CategoryPassValues own = values;
  DeleteCategoryWindow w(own);
  pf::GLO_Response() = w.Execute();
  return w.outcome;
}

void DeleteCategory() {
  CategoryPassValues values;
  values.renameMode = GLO_RenameMode;
  values.category = GLO_DelCategory.str();
  values.oldCategory = GLO_OldCategory.str();
  DeleteCategory(values);
}

}  // namespace qb
