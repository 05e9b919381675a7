// The window object of a report or whole-file pass: a small progress window whose timer
// drives a ProcessManager's walk in batches, then (for a report) the print preview.
//
// A pass without a report (a tagging reset, a CSV export) is shaped like:
//
//   class Pass : public pf::ProcessManager {
//     std::uint8_t ProcessRecord() override { ...; return pf::ProcessManager::ProcessRecord(); }
//   };
//   class PassWindow : public pf::ReportController {
//    public:
//     PassWindow() : ReportController("RemoveTagging") {}
//     std::uint8_t Setup() override {
//       if (auto rc = ReportSetupBegin()) return rc;      // name, request, base set-up
//       ReportOpen(Relate_WSites());                      // WSites opened, window opened
//       process.ProcessInitCount(WSites(), Relate_WSites(), feq("?PROGRESS:PCTTEXT"), 0,
//                                Progress);             // or ProcessInit with a TextStep
//       process.ViewAddSortOrder(nullptr);
//       process.FRAMEWRITES = 1;                          // when the step writes
//       ReportSetupPass(process);                         // caption, texts, Cancel, timer
//       return 0;
//     }
//     std::uint8_t TearDown() override {
//       if (auto rc = ReportKill()) return rc;
//       ...                                               // end messages
//       return TearDownEnd();                             // files, placement, name, help
//     }
//     Pass process;
//   };
//   void RemoveTagging() { PassWindow w; pf::GLO_Response() = w.Execute(); }
//
// A report pass calls ReportSetupReport(process, report, preview) instead and overrides
// StartReport to set its date stamp (ReportDateStamp does it).
//
// The progress window is the procedure's own layout when it has one, else the standard
// "Please wait..." window with ?PROGRESS:THERMOMETER, ?PROGRESS:USERSTRING,
// ?PROGRESS:PCTTEXT and ?PROGRESS:CANCEL.
#pragma once

#include <cstdint>
#include <string>

#include "platform/classes/process_manager.h"
#include "platform/classes/window_controller.h"

namespace pf {

// The progress window's timer, in hundredths of a second: each tick runs one time slice.
constexpr std::int32_t PassTimerPeriod = 10;

class IniManager;
class Report;
class ReportPreviewer;

// Attaches the INI manager that keeps the preview's placement in "_PreviewWindow_".
void PreviewSetIniManager(ReportPreviewer& preview, IniManager& ini);

class ReportController : public WindowController {
 public:
  explicit ReportController(const std::string& procedure);
  ~ReportController() override;

  // --- fields ------------------------------------------------------------------------
  std::int32_t RECORDSPERCYCLE = 1;
  std::uint16_t TIMESLICE = 100;
  std::uint8_t SKIPPREVIEW = 0;
  std::int16_t ZOOM = 100;
  std::uint8_t DEFERWINDOW = 0;
  std::uint8_t DEFEROPENREPORT = 0;
  ProcessManager* PROCESS = nullptr;
  Report* REPORT = nullptr;
  ReportPreviewer* PREVIEW = nullptr;
  // The progress bar's use variable.
  std::uint8_t Progress = 0;

  void ReportInit(ProcessManager& process, Report* report, ReportPreviewer* preview);

  // --- the template --------------------------------------------------------------------
  // SetupBegin plus FIRSTFIELD; non-zero: stop the set-up with it.
  std::uint8_t ReportSetupBegin();
  // Opens `wsites` (FILESOPENED) and the progress window at its placement.
  void ReportOpen(FileRelations& wsites);
  // The rest of a report pass's set-up: Cancel, ReportInit, quick scan, timer, preview
  // settings (zoom 100, AppIni, ALLOWUSERZOOM, MAXIMIZE), alert keys and help.
  void ReportSetupReport(ProcessManager& process, Report& report, ReportPreviewer& preview);
  // The rest of a pass without a report: caption "Processing Records", "0% Completed",
  // ReportInit without report, Cancel, quick scan, timer, alert keys and help.
  void ReportSetupPass(ProcessManager& process);
  // Sets ?REPORTDATESTAMP to today as "D017".
  void ReportDateStamp();

  // --- replaced window operations -----------------------------------------------------
  std::uint8_t OnWindowEvent() override;
  virtual std::uint8_t ReportOpened();
  virtual std::uint8_t ReportTakeWindowEvent();
  virtual std::uint8_t ReportTakeCloseEvent();

  // --- its own -----------------------------------------------------------------------
  virtual void ReportAskPreview();
  virtual void ReportEndPages();
  // Sends the pages chosen in the preview (all without one) to the printer; when printing
  // cannot start the user is told why and may set up the printer and print again. True
  // when the pages went out or the user stopped the printing.
  [[nodiscard]] virtual bool ReportPrintPages();
  virtual void ReportDiscardPages();
  // Fetches the next record: 0 read; non-zero at the end (the close event is posted).
  virtual std::uint8_t ReportNextRecord();
  // Starts the walk; non-zero when no record passes (the window is closing).
  virtual std::uint8_t StartReport();
  virtual void ReportNoRecords();
  // One step: the current record to ProcessRecord, then the next; non-zero stops.
  virtual std::uint8_t ReportTakeRecord();
  // Tear-down step 1: the preview and the walk shut down, the window controller's
  // tear-down. Non-zero when already shut down.
  std::uint8_t ReportKill();

  bool startFailed() const { return openFailed_; }

 private:
  // One time slice of the walk; false once the walk has ended.
  bool walkSlice();
  // Ends the walk unless `level` (of a read) is 0; non-zero when it ended.
  std::uint8_t walkEnds(int level);
  bool previewsEarly() const;
  // The preview over the pages laid out so far, while the walk goes on beneath it.
  void previewWhileWalking();

  bool openFailed_ = false;
  bool closing_ = false;
  bool walkEnded_ = false;
  bool previewed_ = false;
};

}  // namespace pf
