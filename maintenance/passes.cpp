// The two whole-file passes without a report: the tagging reset and the CSV export.
#include <string>

#include "data/access.h"
#include "data/dictionary.h"
#include "data/globals.h"
#include "maintenance/maintenance.h"
#include "platform/classes/error_manager.h"
#include "platform/classes/file_accessor.h"
#include "platform/classes/process_manager.h"
#include "platform/classes/report_controller.h"
#include "platform/core/errors.h"
#include "platform/core/strings.h"
#include "platform/runtime/message.h"
#include "platform/store/file.h"
#include "platform/ui/ui.h"

namespace qb {
namespace {

class TaggingPass : public pf::ProcessManager {
 public:
  std::uint8_t ProcessRecord() override {
    pf::WaitCursor wait;
    switch (GLO_RemoveTagMode) {
      case 1:
        if (WEB->TEXTCOLOR != 1) WEB->TEXTCOLOR = 1;
        break;
      case 2:
        if (WEB->HIGHLIGHT == 1) WEB->HIGHLIGHT = 0;
        break;
      case 3:
        if (WEB->FAVOURITEYN == 1) WEB->FAVOURITEYN = 0;
        break;
      default: break;
    }
    std::uint8_t rc = pf::ProcessManager::ProcessRecord();
    if (view().put() != 0) {
      // What was written before stays written.
      ProcessEndFrame();
      pf::AppErrors.throwFile(pf::Msg::PutError, "Process:View");
      window->RESPONSE = pf::Response::Completed;
      rc = pf::Answer::LeaveLoop;
    }
    return rc;
  }
  pf::WindowController* window = nullptr;
};

class TaggingWindow : public pf::ReportController {
 public:
  TaggingWindow() : ReportController("RemoveTagging") { process.window = this; }

  std::uint8_t Setup() override {
    if (std::uint8_t rc = ReportSetupBegin()) return rc;
    pf::GLO_Request() = 0;
    pf::GLO_Response() = 0;
    ReportOpen(Relate_WSites());
    process.ProcessInitCount(WSites(), Relate_WSites(), win().feq("?PROGRESS:PCTTEXT"), 0, Progress);
    process.ViewAddSortOrder(nullptr);
    process.FRAMEWRITES = 1;
    ReportSetupPass(process);
    return 0;
  }

  std::uint8_t TearDown() override {
    if (std::uint8_t rc = ReportKill()) return rc;
    if (FILESOPENED) {
      Relate_WSites().RelationSetQuickScan(false);
      const char* text = GLO_RemoveTagMode == 1   ? "All Color tagging has been removed."
                         : GLO_RemoveTagMode == 2 ? "All Highlight tagging has been removed."
                         : GLO_RemoveTagMode == 3 ? "All Favorite tagging has been removed (unticked)."
                                                  : nullptr;
      if (text) pf::message(text, "Process complete...", pf::Icon::Information);
      GLO_RemoveTagMode = 0;
    }
    return TearDownEnd();
  }

  TaggingPass process;
};

class CsvPass : public pf::ProcessManager {
 public:
  std::uint8_t ProcessRecord() override {
    // A timer event may still come while the error is on screen.
    if (failed) return pf::Answer::LeaveLoop;
    std::uint8_t rc = pf::ProcessManager::ProcessRecord();
    CSV->URL = pf::trim(WEB->WEBADDRESS.str());
    ++GLO_CSVRecordCount;
    if (SitesCSV().add() != 0) {
      // The first line that cannot be written ends the export (a full disk fails every
      // line after it); the file it was to replace stays as it was.
      ProcessEndFrame();
      pf::message("Error with " + pf::errorfile());
      failed = true;
      return pf::Answer::LeaveLoop;
    }
    return rc;
  }
  bool failed = false;
};

class CsvWindow : public pf::ReportController {
 public:
  CsvWindow() : ReportController("Create_CSV") {}

  std::uint8_t Setup() override {
    if (std::uint8_t rc = ReportSetupBegin()) return rc;
    pf::GLO_Request() = 0;
    pf::GLO_Response() = 0;
    GLO_CSVRecordCount = 0;
    // Each export replaces the last one whole, never appends to it: the lines go to a new
    // file that takes the old one's place when it is closed.
    if (SitesCSV().replaceOnClose() != 0) pf::message("Error with " + pf::errorfile());
    SetupFiles({&Relate_SitesCSV()});
    ReportOpen(Relate_WSites());
    CSV->URL.clear();
    step.StepTextInit(5, 3);
    process.ProcessInit(WSites(), Relate_WSites(), win().feq("?PROGRESS:PCTTEXT"), Progress, step,
                        pf::use(WEB->WEBADDRESS));
    process.CASESENSITIVEVALUE = 0;
    process.ViewAddSortOrder(&WEB_KeyWebsite());
    process.ViewSetFilter("CLIP(LEFT(WEB:WebAddress)) > ''");
    ReportSetupPass(process);
    return 0;
  }

  std::uint8_t TearDown() override {
    if (std::uint8_t rc = ReportKill()) return rc;
    if (FILESOPENED) {
      Relate_WSites().RelationSetQuickScan(false);
      // SitesCSV closes last, and closing puts the new file in place.
      TearDownFiles();
      if (!process.failed && pf::errorcode() != 0) {
        pf::message("Error with " + pf::errorfile());
        process.failed = true;
      }
      // A failed export has no count to give and no file to show.
      if (!process.failed)
        pf::message(std::to_string(GLO_CSVRecordCount) + " website records have been processed.",
                    "CSV process complete...", pf::Icon::Information);
      GLO_CSVRecordCount = 0;
    }
    if (OPENED) SavePlacement();
    if (!process.failed) ViewSaveCSV();
    return TearDownEnd();
  }

  CsvPass process;
  pf::TextStep step;
};

}  // namespace

void RemoveTagging() {
  TaggingWindow w;
  pf::GLO_Response() = w.Execute();
}

void Create_CSV() {
  CsvWindow w;
  pf::GLO_Response() = w.Execute();
}

}  // namespace qb
