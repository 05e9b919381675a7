// Printing a report document: onto the printer the printer set-up configures, into a PDF,
// or (without a display) only recorded. Every job is recorded so that tests and the
// program can tell what was printed; only a recorded job keeps its pages. On a program
// thread the pages go out in time slices under a progress window with Cancel.
#pragma once

#include <string>
#include <vector>

#include "platform/report/report.h"

namespace pf {

struct PrintJob {
  std::string name;          // "QZKB Report"
  std::vector<int> pages;    // 1-based, in print order
  std::string output;        // the PDF written; empty for the printer or when only recorded
  ReportDocument printed;    // the pages sent, in print order, when only recorded
};

// Sends the pages (1-based; empty: every page). 0 done, -1 when nothing could be printed,
// -2 when the user cancelled (no job is recorded, a PDF begun is removed).
int printDocument(const ReportDocument& doc, const std::vector<int>& pages = {});
int printPages(const PageSource& source, const std::vector<int>& pages = {});

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
