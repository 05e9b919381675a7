// Printing a report document: onto the printer the printer set-up configures, into a PDF,
// or (without a display) only recorded. Every job is recorded so that tests and the
// program can tell what was printed.
#pragma once

#include <string>
#include <vector>

#include "platform/report/report.h"

namespace pf {

struct PrintJob {
  std::string name;          // "QZKB Report"
  std::vector<int> pages;    // 1-based, in print order
  std::string output;        // the PDF written; empty for the printer or when only recorded
  ReportDocument printed;    // the pages sent, in print order
};

// Sends the pages (1-based; empty: every page). 0 done, -1 when nothing could be printed.
int printDocument(const ReportDocument& doc, const std::vector<int>& pages = {});

// Writes the pages into a PDF; needs a Qt GUI application. 0 done, -1 failed.
int writePdf(const ReportDocument& doc, const std::string& path, const std::vector<int>& pages = {});

// Print jobs go into this PDF instead of the printer ("" puts the printer back).
void setPrintToFile(const std::string& pdfPath);

const std::vector<PrintJob>& printJobs();
void clearPrintJobs();

// "1-3,5" over a document of `pageCount` pages; empty when the text names no page or a
// page outside 1..pageCount.
std::vector<int> parsePageRange(const std::string& text, int pageCount);

}  // namespace pf
