// "All websites by Description" on the Qt view (offscreen) over many websites, run ten
// times: from the answer to the options question until the preview's first page is
// painted; the resident memory once the preview holds the whole report; from "Print"
// until the report is in a PDF file, with the longest gap between two turns of the event
// loop meanwhile (and while the preview lays out the pages after the first); and what two
// prints leave resident. Prints `name value` lines (medians).
//
//   report_bench [N]      (N websites, default 100000, as quillbox-gen writes them)
#include <QLabel>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/generator.h"
#include "bench/steps.h"
#include "data/access.h"
#include "platform/os/program.h"
#include "platform/report/print.h"
#include "platform/runtime/runtime.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "reports/reports.h"

namespace {

using qb::bench::boxSaying;
using qb::bench::Step;
using qb::bench::windowNamed;

constexpr int kRuns = 10;

void makeData(int n) {
  std::string error;
  if (qb::bench::writeWebsites(qb::bench::makeWebsites(n, 1), &error) != 0) {
    std::fprintf(stderr, "report_bench: %s\n", error.c_str());
    std::exit(1);
  }
  FreeThreadAccess();
}

double rssMb() {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  return 0;
}

// The preview shows page 1 on screen, painted.
bool firstPageShown() {
  pf::Window* w = windowNamed("_PreviewWindow_");
  if (!w || w->text(w->feq("?PREVIEW:PAGE")) != "1") return false;
  QWidget* top = pf::qt::widgetFor(w->id());
  auto* label = top ? top->findChild<QLabel*>("qb_preview_pages") : nullptr;
  if (!label || label->pixmap().isNull()) return false;
  label->repaint();
  return true;
}

// The preview knows every page: its count no longer grows.
bool previewComplete() {
  pf::Window* w = windowNamed("_PreviewWindow_");
  if (!w || pf::anyRunnable()) return false;
  std::string count = w->text(w->feq("?PREVIEW:PAGECOUNT"));
  return count.rfind("of ", 0) == 0 && count.find("...") == std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
  qb::bench::Desktop desktop(argc, argv, "quillbox-report-bench", makeData);
  const int n = desktop.websites();
  const std::string pdf = (desktop.folder().path() / "report.pdf").string();
  pf::setPrintToFile(pdf);

  qb::bench::Figures figures(n);
  auto record = [&](const std::string& name, double v) { figures.record(name, v); };

  int reportThread = 0;
  double before = 0;
  std::vector<Step> steps;
  for (int i = 0; i < kRuns; ++i) {
    // Every odd run starts a pair of prints whose growth is measured.
    steps.push_back({"",
                     [&, i] {
                       if (i % 2 == 0) before = rssMb();
                       reportThread = pf::start([] { qb::Rpt_Websites(); }, 50000);
                     },
                     [] { return boxSaying("Include your Logon ID") != nullptr; }});
    steps.push_back({"report_first_page_ms",
                     [] { pf::answerDialog(boxSaying("Include your Logon ID")->id, 1); },
                     firstPageShown});
    steps.push_back({"", [] {}, [&] {
                       if (!previewComplete()) return false;
                       record("report_memory_mb", rssMb());
                       return true;
                     }, "preview_max_gap_ms"});
    steps.push_back({"report_pdf_ms",
                     [] {
                       std::filesystem::remove(std::filesystem::path("report.pdf"));
                       pf::Window* w = windowNamed("_PreviewWindow_");
                       w->userPress(w->feq("?PREVIEW:PRINTBUTTON"));
                     },
                     [&] { return !pf::threadAlive(reportThread) && std::filesystem::exists(pdf); },
                     "ui_max_stall_pdf_ms"});
    steps.push_back({"", [] {}, [&, i] {
                       if (i % 2 == 1) record("print_memory_growth_mb", rssMb() - before);
                       return true;
                     }});
  }

  qb::bench::playSteps(steps, figures);

  figures.print();
  std::printf("%s %d\n", figures.name("report_websites_count").c_str(), n);
  return 0;
}
