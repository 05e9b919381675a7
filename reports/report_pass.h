// What every report procedure shares: the progress window, the walk over WSites in one
// key with a step manager, the report with its preview, the date stamp.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "data/access.h"
#include "platform/classes/process_manager.h"
#include "platform/classes/report_controller.h"
#include "platform/report/previewer.h"
#include "platform/report/report.h"

namespace qb {

class ReportProcess : public pf::ProcessManager {
 public:
  std::function<void()> step;   // the report's per-record work
  // For a walk that must reach every record: the filter that passes the records its key
  // leaves out. Those come first, in record order, then the key's own in key order.
  std::string leftOutByKey;

  std::uint8_t ProcessRecord() override {
    std::uint8_t rc = pf::ProcessManager::ProcessRecord();
    if (step) step();
    return rc;
  }
  int ProcessReset() override;
  int ProcessNextRecord() override;

 private:
  void walkKey();
  const pf::KeyDesc* key_ = nullptr;
  bool leftOutFirst_ = false;
};

class ReportPass : public pf::ReportController {
 public:
  explicit ReportPass(const std::string& procedure) : ReportController(procedure) {}

  // Set by the procedure before Execute.
  const pf::KeyDesc* key = nullptr;
  std::string leftOutByKey;   // see ReportProcess
  pf::Binding valueField;
  bool numericValue = false;
  int stepControls = 5;
  std::string filter;
  std::function<void()> beforeWalk;    // questions and pickers
  std::function<void()> afterClose;    // once WSites has been closed again

  pf::Report report;
  pf::ReportPreviewer preview;

 private:
  // Before the process object, which outlives them otherwise.
  pf::TextStep textStep_;
  pf::NumericStep numericStep_;

 public:
  ReportProcess process;

  std::uint8_t Setup() override;
  std::uint8_t TearDown() override;
  std::uint8_t StartReport() override;
};

// The page footer every report prints: "Printed:", the date stamp, a rule, the page.
void addReportFooter(pf::Report& r, const std::string& note = {});

}  // namespace qb
