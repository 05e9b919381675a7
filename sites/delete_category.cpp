#include <string>

#include "data/access.h"
#include "data/dictionary.h"
#include "data/globals.h"
#include "platform/classes/error_manager.h"
#include "platform/classes/file_accessor.h"
#include "platform/classes/window_controller.h"
#include "platform/core/errors.h"
#include "platform/core/strings.h"
#include "platform/runtime/message.h"
#include "platform/store/view.h"
#include "platform/ui/ui.h"
#include "sites/categories.h"

namespace qb {

namespace {

constexpr const char* ViewName = "Process:View";

// One walk over WSites in category order. Answers false when it stopped early.
bool walk(pf::View& view, std::int32_t& count) {
  const bool rename = GLO_RenameMode == 1;
  const std::string wanted = GLO_DelCategory.clip();
  const std::string old = GLO_OldCategory.clip();
  view.set();
  for (;;) {
    int r = view.next();
    if (r == pf::Err::RecordNotAvailable) return true;
    if (r != pf::Err::None) {
      pf::AppErrors.throwFile(pf::Msg::RetrievalError, ViewName);
      return false;
    }
    pf::WaitCursor wait;
    // Exact comparisons: letter case and leading blanks count.
    std::string category = WEB->CATEGORY.clip();
    if (category == wanted) ++count;
    if (rename && category == old) {
      WEB->CATEGORY = GLO_DelCategory.str();
      if (view.put() != pf::Err::None) {
        pf::AppErrors.throwFile(pf::Msg::PutError, ViewName);
        return false;
      }
    }
  }
}

}  // namespace

void DeleteCategory() {
  pf::AppErrors.setProcedureName("DeleteCategory");
  pf::GLO_Request() = 0;
  pf::GLO_Response() = 0;
  if (Relate_WSites().RelationOpen() != pf::Level::Benign) {
    Relate_WSites().RelationClose();
    pf::AppErrors.setProcedureName("");
    pf::GLO_Response() = pf::Response::Cancelled;
    return;
  }
  // The caller may be editing a website in this thread's record: it gets it back as it was.
  pf::AccessorState kept = Access_WSites().FileSaveState();
  Relate_WSites().RelationSetQuickScan(true);
  std::int32_t count = 0;
  {
    pf::View view(WSites());
    view.setOrder(&WEB_CategoryKey());
    if (view.open() == pf::Err::None) {
      // The writes of the pass are one transaction; what was written before a failure stays.
      bool framed = GLO_RenameMode == 1 && WSites().logout() == pf::Err::None;
      walk(view, count);
      if (framed) WSites().commit();
      view.close();
    } else {
      pf::AppErrors.throwFile(pf::Msg::RetrievalError, ViewName);
    }
  }
  Relate_WSites().RelationSetQuickScan(false);
  Access_WSites().FileRestoreState(kept);
  Relate_WSites().RelationClose();
  GLO_OldCategory = "";
  if (GLO_RenameMode == 0) {
    pf::message(std::to_string(count) + " Websites have a Category of: " + GLO_DelCategory.clip(),
                "Check complete...", pf::Icon::Exclamation);
    GLO_DelCategory = count > 0 ? "Cat in use" : "";
  }
  pf::AppErrors.setProcedureName("");
  pf::GLO_Response() = pf::Response::Completed;
}

}  // namespace qb
