// Printing a report document: onto the printer the printer set-up chose, into the PDF file
// it chose ("Print to File"), or (without a display) only recorded. Every job that went out
// is recorded so that tests and the program can tell what was printed; only a recorded job
// keeps its pages. On a program thread the pages go out in time slices under a progress
// window with Cancel.
#pragma once

#include <string>
#include <vector>

#include "platform/report/report.h"
#include "platform/ui/ui.h"

namespace pf {

struct PrintJob {
  std::string name;          // "QZKB Report"
  std::vector<int> pages;    // 1-based, in print order
  std::string output;        // the PDF file it went into; empty for a printer
  std::string printer;       // the printer it went to; empty for a PDF file
  int copies = 1;
  ReportDocument printed;    // the pages sent, in print order, when only recorded
};

enum class PrintResult {
  Printed,
  Cancelled,        // the user stopped it: no job, a PDF begun is removed
  NothingToPrint,   // no page chosen
  NoPrinter,        // the desktop has no printer
  PrinterMissing,   // the printer chosen is no longer there
  PrinterFailed,    // the printer would not take the job
  FileFailed,       // the PDF file could not be written
};

// Sends the pages (1-based; empty: every page) where printerChoice() says. Only Printed
// records a job.
[[nodiscard]] PrintResult printDocument(const ReportDocument& doc, const std::vector<int>& pages = {});
[[nodiscard]] PrintResult printPages(const PageSource& source, const std::vector<int>& pages = {});

// As printPages, on a program thread; when printing cannot start, a box says why and offers
// the printer set-up, whose OK prints again with what it chose. Printed or Cancelled, or the
// failure the user gave up on.
[[nodiscard]] PrintResult printPagesAsking(const PageSource& source, const std::vector<int>& pages = {});

// Why a print onto `choice` could not start, as the box says it.
[[nodiscard]] std::string printFailureText(PrintResult result, const PrinterChoice& choice);

// Writes the pages into a PDF; needs a Qt GUI application. 0 done, -1 failed.
int writePdf(const ReportDocument& doc, const std::string& path, const std::vector<int>& pages = {});

// Print jobs go into this PDF instead of the printer ("" puts the printer back), as the
// printer set-up's Print to File does.
void setPrintToFile(const std::string& pdfPath);

const std::vector<PrintJob>& printJobs();
void clearPrintJobs();

// "1-3,5" over a document of `pageCount` pages; empty when the text names no page or a
// page outside 1..pageCount.
std::vector<int> parsePageRange(const std::string& text, int pageCount);

}  // namespace pf
