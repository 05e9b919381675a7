#include "reports/report_pass.h"

#include "platform/classes/error_manager.h"
#include "platform/runtime/runtime.h"

namespace qb {

namespace {
const char* const LeftOutPart = "9 Left out by the key";
}

int ReportProcess::ProcessReset() {
  // The measure runs over the key, before the walk turns to the records it leaves out.
  int rc = pf::ProcessManager::ProcessReset();
  leftOutFirst_ = rc == 0 && !leftOutByKey.empty();
  if (leftOutFirst_) {
    key_ = view().order();
    view().setOrder(nullptr);
    view().setFilter(LeftOutPart, leftOutByKey);
    view().set();
  }
  return rc;
}

void ReportProcess::walkKey() {
  leftOutFirst_ = false;
  view().setOrder(key_);
  view().setFilter(LeftOutPart, "");
  view().set();
}

int ReportProcess::ProcessNextRecord() {
  int rc = pf::ProcessManager::ProcessNextRecord();
  if (leftOutFirst_ && rc == pf::Level::Notify) {
    walkKey();
    rc = pf::ProcessManager::ProcessNextRecord();
  }
  return rc;
}

std::uint8_t ReportPass::Setup() {
  if (std::uint8_t rc = ReportSetupBegin()) return rc;
  if (beforeWalk) beforeWalk();
  ReportOpen(Relate_WSites());
  const int pct = win().feq("?PROGRESS:PCTTEXT");
  if (numericValue) {
    numericStep_.StepLongInit(stepControls);
    process.ProcessInit(WSites(), Relate_WSites(), pct, Progress, numericStep_, valueField);
  } else {
    textStep_.StepTextInit(stepControls, 3);
    process.ProcessInit(WSites(), Relate_WSites(), pct, Progress, textStep_, valueField);
    process.CASESENSITIVEVALUE = 0;
  }
  process.ViewAddSortOrder(key);
  if (!filter.empty()) process.ViewSetFilter(filter);
  process.leftOutByKey = leftOutByKey;
  ReportSetupReport(process, report, preview);
  return 0;
}

std::uint8_t ReportPass::StartReport() {
  std::uint8_t rc = ReportController::StartReport();
  if (rc == 0) ReportDateStamp();
  return rc;
}

std::uint8_t ReportPass::TearDown() {
  if (std::uint8_t rc = ReportKill()) return rc;
  bool opened = FILESOPENED != 0;
  std::uint8_t rc = TearDownEnd();
  if (opened && afterClose) afterClose();
  return rc;
}

void addReportFooter(pf::Report& r, const std::string& note) {
  auto& f = r.footer(0, 258, 206, 16, {"Arial", 8});
  r.text(f, "?REPORTDATEPROMPT", "Printed:", 8, 1, 9, 5);
  r.text(f, "?REPORTDATESTAMP", "<-- Date Stamp -->", 19, 1, 23, 5);
  if (!note.empty()) r.text(f, "?STRING16:2", note, 44, 1, 134, 5, pf::Align::Center);
  r.line(f, "?LINE2:2", 8, 0, 185, 0);
  r.pageNumber(f, "?PAGECOUNT", "pPage <<#p", 180, 1, 17, 5);
}

}  // namespace qb
