#include <string>

#include "data/access.h"
#include "data/dictionary.h"
#include "data/globals.h"
#include "platform/classes/error_manager.h"
#include "platform/classes/file_accessor.h"
#include "platform/classes/process_manager.h"
#include "platform/classes/report_controller.h"
#include "platform/core/strings.h"
#include "platform/runtime/message.h"
#include "platform/ui/ui.h"
#include "sites/categories.h"

namespace qb {

namespace {

class CategoryPass : public pf::ProcessManager {
 public:
  std::uint8_t ProcessRecord() override;
  pf::WindowController* window = nullptr;
  std::int32_t count = 0;
};

std::uint8_t CategoryPass::ProcessRecord() {
  std::uint8_t rc = pf::ProcessManager::ProcessRecord();
  pf::WaitCursor wait;
  // Exact comparisons: letter case and leading blanks count.
  std::string category = WEB->CATEGORY.clip();
  if (category == GLO_DelCategory.clip()) ++count;
  if (GLO_RenameMode == 1 && category == GLO_OldCategory.clip()) {
    WEB->CATEGORY = GLO_DelCategory.str();
    if (view().put() != 0) {
      // What was written before stays written.
      ProcessEndFrame();
      pf::AppErrors.throwFile(pf::Msg::PutError, "Process:View");
      window->RESPONSE = pf::Response::Completed;
      rc = pf::Answer::LeaveLoop;
    }
  }
  return rc;
}

class DeleteCategoryWindow : public pf::ReportController {
 public:
  DeleteCategoryWindow() : ReportController("DeleteCategory") { process.window = this; }

  std::uint8_t Setup() override {
    if (std::uint8_t rc = ReportSetupBegin()) return rc;
    pf::GLO_Request() = 0;
    pf::GLO_Response() = 0;
    ReportOpen(Relate_WSites());
    // The caller may be editing a website in this thread's record: it gets it back.
    kept_ = Access_WSites().FileSaveState();
    keptValid_ = true;
    step.StepTextInit(5, 3);
    process.ProcessInit(WSites(), Relate_WSites(), win().feq("?PROGRESS:PCTTEXT"), Progress, step,
                        pf::use(WEB->CATEGORY));
    process.CASESENSITIVEVALUE = 0;
    process.ViewAddSortOrder(&WEB_CategoryKey());
    process.FRAMEWRITES = GLO_RenameMode == 1 ? 1 : 0;
    ReportSetupPass(process);
    // The user sees only the pass's messages; hidden after the placement, which could show it.
    win().setProp(0, pf::Prop::Hide, 1);
    return 0;
  }

  std::uint8_t TearDown() override {
    if (std::uint8_t rc = ReportKill()) return rc;
    if (FILESOPENED) {
      Relate_WSites().RelationSetQuickScan(false);
      if (keptValid_) Access_WSites().FileRestoreState(kept_);
      GLO_OldCategory = "";
      if (GLO_RenameMode == 0) {
        pf::message(std::to_string(process.count) + " Websites have a Category of: " + GLO_DelCategory.clip(),
                    "Check complete...", pf::Icon::Exclamation);
        GLO_DelCategory = process.count > 0 ? "Cat in use" : "";
      }
    }
    return TearDownEnd();
  }

  CategoryPass process;
  pf::TextStep step;

 private:
  pf::AccessorState kept_;
  bool keptValid_ = false;
};

}  // namespace

void DeleteCategory() {
  DeleteCategoryWindow w;
  pf::GLO_Response() = w.Execute();
}

}  // namespace qb
