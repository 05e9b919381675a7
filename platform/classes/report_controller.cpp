#include "platform/classes/report_controller.h"

#include <algorithm>
#include <chrono>

#include "platform/classes/error_manager.h"
#include "platform/classes/file_accessor.h"
#include "platform/classes/ini_manager.h"
#include "platform/classes/window_placement.h"
#include "platform/core/pictures.h"
#include "platform/report/previewer.h"
#include "platform/report/print.h"
#include "platform/report/report.h"
#include "platform/runtime/runtime.h"
#include "platform/store/lock_wait.h"
#include "platform/ui/layout.h"
#include "platform/ui/window.h"

namespace pf {

namespace {

// How long a walk that writes keeps one frame over its turns. Each commit writes out
// every index page the frame touched, most of them again and again when it commits at
// every turn; another program waiting for the file waits this long at most.
constexpr int kFrameMs = 1000;

// The procedure's own progress layout, or the standard one under its name.
const std::string& progressLayoutFor(const std::string& procedure) {
  if (!hasLayout(procedure)) registerLayout(procedure, findLayout("_ReportProgress_"));
  return procedure;
}

}  // namespace

void PreviewSetIniManager(ReportPreviewer& preview, IniManager& ini) {
  const char* section = "_PreviewWindow_";
  preview.restorePlacement = [&ini, section](Window& w) {
    WindowPlacement p;
    p.resizable = true;
    if (ini.restoreWindow(section, p)) applyPlacement(w, p);
  };
  preview.savePlacement = [&ini, section](Window& w) { ini.saveWindow(section, placementOf(w, true)); };
}

ReportController::ReportController(const std::string& procedure)
    : WindowController(progressLayoutFor(procedure)) {
  ResizeStrategy = 0;
  if (int f = win().feq("?PROGRESS:THERMOMETER")) win().bind(f, use(Progress));
}

ReportController::~ReportController() = default;

void ReportController::ReportInit(ProcessManager& process, Report* report, ReportPreviewer* preview) {
  PROCESS = &process;
  REPORT = report;
  PREVIEW = preview;
  process.WINDOW = &win();
  RECORDSPERCYCLE = 1;
  TIMESLICE = 100;
}

std::uint8_t ReportController::ReportSetupBegin() {
  if (std::uint8_t rc = SetupBegin()) return rc;
  FIRSTFIELD = win().feq("?PROGRESS:THERMOMETER");
  return 0;
}

void ReportController::ReportOpen(FileRelations& wsites) {
  SetupFiles({&wsites});
  OpenWindow();
}

void ReportController::ReportSetupReport(ProcessManager& process, Report& report,
                                         ReportPreviewer& preview) {
  WindowAddButton(win().feq("?PROGRESS:CANCEL"), Response::Cancelled);
  ReportInit(process, &report, &preview);
  win().setText(win().feq("?PROGRESS:USERSTRING"), "");
  if (process.RELATION) process.RELATION->RelationSetQuickScan(true, 1);
  win().setTimer(PassTimerPeriod);
  SKIPPREVIEW = 0;
  ZOOM = 100;
  PreviewSetIniManager(preview, AppIni);
  preview.ALLOWUSERZOOM = 1;
  preview.MAXIMIZE = 1;
  SetupEnd();
}

void ReportController::ReportSetupPass(ProcessManager& process) {
  win().setTimer(PassTimerPeriod);
  win().setCaption("Processing Records");
  win().setText(win().feq("?PROGRESS:PCTTEXT"), "0% Completed");
  ReportInit(process, nullptr, nullptr);
  win().setText(win().feq("?PROGRESS:USERSTRING"), "");
  WindowAddButton(win().feq("?PROGRESS:CANCEL"), Response::Cancelled);
  if (process.RELATION && process.RELATION->ME && process.RELATION->ME->FILE)
    process.RELATION->ME->FILE->send("QUICKSCAN=on");
  SetupEnd();
}

void ReportController::ReportDateStamp() {
  if (REPORT) REPORT->setText("?REPORTDATESTAMP", format(Value(today()), "D017"));
}

std::uint8_t ReportController::OnWindowEvent() {
  switch (win().event()) {
    case EVENT::OpenWindow: {
      std::uint8_t rc = WindowController::OnWindowEvent();
      if (rc) return rc;
      return ReportOpened();
    }
    case EVENT::Timer:
      ReportTakeWindowEvent();
      return WindowController::OnWindowEvent();
    case EVENT::CloseWindow:
    case EVENT::CloseDown:
      ReportTakeCloseEvent();
      return WindowController::OnWindowEvent();
    default:
      return WindowController::OnWindowEvent();
  }
}

std::uint8_t ReportController::ReportOpened() {
  if (!DEFEROPENREPORT) StartReport();
  return 0;
}

std::uint8_t ReportController::StartReport() {
  if (!PROCESS) return 1;
  if (PROCESS->ProcessReset() != 0) {
    openFailed_ = true;
    RESPONSE = Response::Cancelled;
    win().post(EVENT::CloseWindow);
    return 1;
  }
  if (ReportNextRecord()) {
    openFailed_ = true;
    // A file that could not be read has said so; it may hold records all the same.
    if (!PROCESS->READFAILED) ReportNoRecords();
    return 1;
  }
  if (REPORT) REPORT->open();
  return 0;
}

void ReportController::ReportNoRecords() {
  ErrorManager& errors = ERRORS ? *ERRORS : AppErrors;
  errors.throwError(Msg::NoRecords);
}

std::uint8_t ReportController::ReportNextRecord() {
  return walkEnds(PROCESS ? PROCESS->ProcessNextRecord() : Level::Fatal);
}

std::uint8_t ReportController::walkEnds(int rc) {
  if (rc == 0) return 0;
  if (rc == Level::Notify && PROCESS->RECORDSPROCESSED > 0)
    RESPONSE = Response::Completed;
  else
    RESPONSE = Response::Cancelled;
  win().setTimer(0);
  win().post(EVENT::CloseWindow);
  return 1;
}

std::uint8_t ReportController::ReportTakeRecord() {
  if (PROCESS->ProcessRecord() == Answer::LeaveLoop) {
    win().setTimer(0);
    win().post(EVENT::CloseWindow);
    return 1;
  }
  return ReportNextRecord();
}

std::uint8_t ReportController::ReportTakeWindowEvent() {
  if (closing_ || !PROCESS || openFailed_ || DEAD || walkEnded_) return 0;
  if (walkSlice() && previewsEarly()) previewWhileWalking();
  return 0;
}

// The user sees page 1 as soon as it is laid out; the rest follows beneath the preview.
bool ReportController::previewsEarly() const {
  return REPORT && PREVIEW && !SKIPPREVIEW && !previewed_ && REPORT->pageCount() > 0;
}

bool ReportController::walkSlice() {
  PROCESS->ProcessBeginFrame();
  const std::int32_t start = clockTime();
  std::int32_t reached = 0, handedOver = 0;
  // Inside the slice's frame, so that no write puts back what another writer changed.
  bool stopped = walkEnds(PROCESS->ProcessResume()) != 0;
  const std::int32_t sliceLimit = sliceRecordLimit();
  // Within a batch the windows get a turn every few hundredths, each time between two
  // frames; the time the others take is not the batch's. False when the batch ends.
  auto turn = std::chrono::steady_clock::now(), framed = turn;
  auto handOver = [&] {
    auto now = std::chrono::steady_clock::now();
    if (now - turn < std::chrono::milliseconds(passTurnMs())) return true;
    // No other writer gets in while the frame is held over the turn; one that asks for
    // the file has it once the turn is over.
    bool keep = PROCESS->ProcessInFrame() && lockWaiters() == 0 && now - framed < std::chrono::milliseconds(kFrameMs);
    if (!keep) PROCESS->ProcessEndFrame();
    const std::int32_t from = clockTime();
    yieldTurn();
    std::int32_t away = clockTime() - from;
    if (away < 0) away += 8640000;
    handedOver += away;
    turn = std::chrono::steady_clock::now();
    // Cancel, a close or any other event of this window is taken at once; a tick of the
    // timer waits for the batch's end, or every turn would end the frame.
    if (DEAD || closing_ || !queueHoldsOnly(EVENT::Timer)) return false;
    if (keep && lockWaiters() == 0) return true;
    if (keep) PROCESS->ProcessEndFrame();
    letLockWaitersIn();
    PROCESS->ProcessBeginFrame();
    framed = std::chrono::steady_clock::now();
    if (walkEnds(PROCESS->ProcessResume()) != 0) {
      stopped = true;
      return false;
    }
    return true;
  };
  while (!stopped) {
    const std::int32_t cycle = sliceLimit ? std::min(RECORDSPERCYCLE, sliceLimit) : RECORDSPERCYCLE;
    bool interrupted = false;
    while (reached < cycle) {
      ++reached;
      if (ReportTakeRecord()) {
        stopped = true;
        break;
      }
      if (!handOver()) {
        interrupted = true;
        break;
      }
    }
    if (stopped || interrupted || (sliceLimit && reached >= sliceLimit) || previewsEarly()) break;
    std::int32_t taken = clockTime() - start;
    if (taken < 0) taken += 8640000;   // past midnight
    taken -= handedOver;
    if (taken < TIMESLICE * 4 / 5 && RECORDSPERCYCLE < (1 << 24)) RECORDSPERCYCLE *= 2;
    if (taken < TIMESLICE / 2) continue;
    if (taken > TIMESLICE * 3 / 2 && RECORDSPERCYCLE > 1) RECORDSPERCYCLE /= 2;
    break;
  }
  // Writes are committed before the window waits again.
  PROCESS->ProcessEndFrame();
  if (stopped) {
    walkEnded_ = true;
    // Nothing more is read: the whole file's pages need not stay in memory behind the preview.
    if (PROCESS->RELATION) PROCESS->RELATION->RelationSetQuickScan(false, 1);
  }
  return !stopped;
}

void ReportController::previewWhileWalking() {
  previewed_ = true;
  win().setTimer(0);
  win().setProp(0, Prop::Hide, 1);
  (void)PREVIEW->PreviewDisplay(
      REPORT->pages(), ZOOM, 1, 1, 1,
      [this] {
        if (!walkEnded_ && !DEAD) walkSlice();
        if (walkEnded_ || DEAD) ReportEndPages();
        return !walkEnded_ && !DEAD;
      },
      [this] { return RESPONSE != Response::Completed || ReportPrintPages(); });
  if (!walkEnded_) {
    // Left before the last page: the report was seen, as when leaving at its end.
    walkEnded_ = true;
    RESPONSE = Response::Completed;
    win().post(EVENT::CloseWindow);
  }
  ReportDiscardPages();
}

std::uint8_t ReportController::ReportTakeCloseEvent() {
  if (closing_) return 0;
  closing_ = true;
  win().setTimer(0);
  if (PROCESS) PROCESS->ProcessEndFrame();
  // The progress window stays under the maximised preview until the report is closed.
  if (!openFailed_ && !previewed_) ReportAskPreview();
  if (REPORT) REPORT->close();
  return 0;
}

void ReportController::ReportAskPreview() {
  if (!REPORT) return;
  ReportEndPages();
  if (RESPONSE != Response::Completed || REPORT->pageCount() == 0) {
    ReportDiscardPages();
    return;
  }
  // The pages are printed from inside the preview, so a print that cannot start leaves
  // the user in it.
  if (PREVIEW && !SKIPPREVIEW)
    (void)PREVIEW->PreviewDisplay(REPORT->pages(), ZOOM, 1, 1, 1, {}, [this] { return ReportPrintPages(); });
  else
    (void)ReportPrintPages();
  ReportDiscardPages();
}

void ReportController::ReportEndPages() {
  if (REPORT) REPORT->endPages();
}

bool ReportController::ReportPrintPages() {
  if (!REPORT) return true;
  std::vector<int> pages;
  if (PREVIEW) pages = PREVIEW->PAGESTOPRINT;
  PrintResult rc = printPagesAsking(REPORT->pages(), pages);
  return rc == PrintResult::Printed || rc == PrintResult::Cancelled || rc == PrintResult::NothingToPrint;
}

void ReportController::ReportDiscardPages() {
  if (REPORT) REPORT->discardPages();
}

std::uint8_t ReportController::ReportKill() {
  if (DEAD) return Answer::Handled;
  if (REPORT) REPORT->discardPages();
  if (PROCESS) PROCESS->ProcessKill();
  return WindowController::TearDown();
}

}  // namespace pf
