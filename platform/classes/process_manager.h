// A walk over a record view with progress: the engine of every report and whole-file pass.
// ReportController (report_controller.h) drives it from its progress window's timer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/store/view.h"
#include "platform/ui/binding.h"

namespace pf {

class FileRelations;
class Window;

// Turns the value of the walk's key field into a percentage between the first and last
// values of the view.
class ThumbStep {
 public:
  virtual ~ThumbStep() = default;
  virtual void SetLimits(const Binding& field, const std::string& low, const std::string& high) = 0;
  // 0 .. 100 for the field's present value.
  virtual int GetPercentile(const Binding& field, bool caseSensitive) = 0;
  virtual void Kill() {}
};

// Text keys: the value's position between the limits, read as a number in base 37 over
// letters and digits (controls 5, mode 3 of the original step manager).
class TextStep : public ThumbStep {
 public:
  void StepTextInit(int controls = 5, int mode = 3) { controls_ = controls, mode_ = mode; }
  void SetLimits(const Binding& field, const std::string& low, const std::string& high) override;
  int GetPercentile(const Binding& field, bool caseSensitive) override;

 private:
  double position(const std::string& s) const;
  int controls_ = 5, mode_ = 3;
  std::string low_, high_;
  // The limits' positions, by letter case counted (1) or not (0): worked out once.
  bool known_[2] = {false, false};
  double lowAt_[2] = {0, 0}, highAt_[2] = {0, 0};
};

// Numeric keys; controls 0x10 marks a descending key.
class NumericStep : public ThumbStep {
 public:
  void StepLongInit(int controls = 0) { descending_ = (controls & 0x10) != 0; }
  void SetLimits(const Binding& field, const std::string& low, const std::string& high) override;
  int GetPercentile(const Binding& field, bool caseSensitive) override;

 private:
  bool descending_ = false;
  double low_ = 0, high_ = 0;
};

class ProcessManager {
 public:
  ProcessManager() = default;
  virtual ~ProcessManager();
  ProcessManager(const ProcessManager&) = delete;
  ProcessManager& operator=(const ProcessManager&) = delete;

  // --- fields -----------------------------------------------------------------------
  std::int32_t RECORDSPROCESSED = 0;
  std::int32_t RECORDSTOPROCESS = 0;
  std::uint8_t* PERCENTILE = nullptr;   // the progress bar's use variable
  int PTEXT = 0;                        // the percentage text control
  ThumbStep* STEPMGR = nullptr;
  Binding VALUEFIELD;
  std::uint8_t CASESENSITIVEVALUE = 0;
  FileRelations* RELATION = nullptr;
  Window* WINDOW = nullptr;             // the progress window (ReportInit sets it)
  // 1: the walk writes records; ReportController frames each time slice's writes in one
  // transaction.
  std::uint8_t FRAMEWRITES = 0;
  // 1 once the walk has stopped at a record it could not read (and said so).
  std::uint8_t READFAILED = 0;

  // Progress by the value field through the step manager.
  void ProcessInit(File& file, FileRelations& relation, int pctText, std::uint8_t& progress,
                   ThumbStep& step, const Binding& valueField);
  // Progress by records reached against `count` (0: the file's count when the walk starts).
  void ProcessInitCount(File& file, FileRelations& relation, int pctText, std::int32_t count,
                        std::uint8_t& progress);
  // The walk's order (nullptr: record order) and filter.
  void ViewAddSortOrder(const KeyDesc* key);
  void ViewSetFilter(const std::string& expression);
  View& view() { return *view_; }
  bool hasView() const { return view_ != nullptr; }

  // --- operations, in the order of the class -----------------------------------------
  // Shuts the walk down: ends a write frame and closes the view.
  virtual void ProcessKill();
  // Restarts the walk at the start of the view and prepares the measure. Non-zero when
  // the view cannot be opened.
  virtual int ProcessReset();
  // 0 the next record is in the buffer; 5 (Level::Notify) the end; 3 a read error.
  virtual int ProcessNextRecord();
  // At the start of a time slice: the record read at the end of the last one, read again
  // when the file may have changed meanwhile (or the next, when it is gone). As
  // ProcessNextRecord, counting nothing.
  int ProcessResume();
  // The per-record step: 0 go on; 3 stops the walk.
  virtual std::uint8_t ProcessRecord() { return 0; }
  virtual void ProcessShowProgress();

  // The transaction frame of a writing walk: open, and committed at the end of each
  // time slice, or at a turn within it when another writer waits for the file or the
  // frame has been held for a second. A per-record step that must show a message ends
  // the frame first.
  void ProcessBeginFrame();
  void ProcessEndFrame();
  bool ProcessInFrame() const;

 private:
  void measure();
  int readFailed();
  std::unique_ptr<View> view_;
  File* file_ = nullptr;
  const KeyDesc* order_ = nullptr;
  std::string filter_;
  bool byCount_ = false;
  std::int32_t countGiven_ = 0;
  int lastPercent_ = 0;
};

}  // namespace pf
