#include "platform/report/print.h"

#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <QElapsedTimer>

#include <algorithm>
#include <cctype>
#include <type_traits>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/report/render.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/runtime/message.h"
#include "platform/runtime/runtime.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"

namespace pf {

namespace {
std::vector<PrintJob>& jobs() {
  static std::vector<PrintJob> j;
  return j;
}
std::vector<int> chosen(int n, const std::vector<int>& pages) {
  std::vector<int> out;
  if (pages.empty())
    for (int i = 1; i <= n; ++i) out.push_back(i);
  for (int p : pages)
    if (p >= 1 && p <= n) out.push_back(p);
  return out;
}

// Drawing needs a GUI application; a core one (the headless driver's) only records.
bool canDraw() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

constexpr int kCancelled = -2;
constexpr int kNotStarted = -1;
// How long one slice may paint before the windows get their turn.
constexpr int kSliceMs = 40;

// Paints onto any paged device, one page of the source per device page. On a program
// thread it paints in slices between the turns of a progress window whose Cancel stops it.
template <class Device>
int paint(Device& device, const PageSource& source, const std::vector<int>& pages) {
  QPainter p;
  if (!p.begin(&device)) return kNotStarted;
  PageRenderer renderer(&device, device.resolution() / 25.4);
  std::size_t next = 0;
  auto paintNext = [&] {
    if (next > 0) device.newPage();
    renderer.render(p, source.page(pages[next] - 1));
    ++next;
  };
  if (!inProgramThread()) {
    while (next < pages.size()) paintNext();
  } else {
    Window w("_PrintProgress_");
    std::uint8_t percent = 0;
    const int bar = w.feq("?PROGRESS:THERMOMETER"), text = w.feq("?PROGRESS:PCTTEXT");
    w.bind(bar, use(percent));
    w.open();
    w.setTimer(1);
    while (w.accept()) {
      if (w.event() == EVENT::Timer) {
        // The turn after the last page ends the document: finishing it takes a turn of its own.
        if (next >= pages.size()) {
          w.close();
          continue;
        }
        QElapsedTimer slice;
        slice.start();
        while (next < pages.size() && (next == 0 || slice.elapsed() < kSliceMs)) paintNext();
        auto now = static_cast<std::uint8_t>(next * 100 / pages.size());
        if (now != percent) {
          percent = now;
          w.setText(text, std::to_string(percent) + "% Complete");
          w.display();
        }
      } else if (w.event() == EVENT::Accepted && w.field() == w.feq("?PROGRESS:CANCEL")) {
        w.close();
      }
    }
  }
  if (next < pages.size()) {
    if constexpr (std::is_same_v<Device, QPrinter>) device.abort();
    p.end();
    return kCancelled;
  }
  p.end();
  return 0;
}

template <class Device>
void setUp(Device& device, const PageSource& source) {
  device.setPageSize(QPageSize(QSizeF(source.width, source.height), QPageSize::Millimeter));
  device.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
  device.setTitle(QString::fromStdString(source.name));
}

int pdf(const PageSource& source, const std::string& path, const std::vector<int>& list) {
  if (!canDraw() || list.empty()) return kNotStarted;
  // The report may hold logon IDs and passwords: only the owner reads it, as every file the
  // program makes. The writer then fills the file made here.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return kNotStarted;
  bool mine = fchmod(fd, 0600) == 0;
  ::close(fd);
  if (!mine) {
    std::remove(path.c_str());
    return kNotStarted;
  }
  int rc;
  {
    QPdfWriter writer(QString::fromStdString(path));
    writer.setResolution(300);
    setUp(writer, source);
    rc = paint(writer, source, list);
  }
  if (rc != 0) std::remove(path.c_str());
  return rc;
}
}  // namespace

int writePdf(const ReportDocument& doc, const std::string& path, const std::vector<int>& pages) {
  return pdf(pagesOf(doc), path, chosen(static_cast<int>(doc.pages.size()), pages));
}

PrintResult printDocument(const ReportDocument& doc, const std::vector<int>& pages) {
  return printPages(pagesOf(doc), pages);
}

PrintResult printPages(const PageSource& source, const std::vector<int>& pages) {
  std::vector<int> list = chosen(source.count(), pages);
  if (list.empty()) return PrintResult::NothingToPrint;
  const PrinterChoice choice = printerChoice();
  PrintJob job{source.name, list, {}, {}, choice.copies, {source.name, source.width, source.height, {}}};
  // Without a display nothing is drawn: the job keeps its pages instead.
  bool recorded = true;
  int rc = 0;
  if (!choice.file.empty()) {
    job.output = choice.file;
    job.copies = 1;   // a PDF is one file, whatever the copies
    if (canDraw()) {
      recorded = false;
      rc = pdf(source, choice.file, list);
      if (rc == kNotStarted) return PrintResult::FileFailed;
    }
  } else {
    std::vector<std::string> offered = desktopPrinters();
    if (offered.empty()) return PrintResult::NoPrinter;
    job.printer = choice.printer.empty() ? offered.front() : choice.printer;
    if (std::find(offered.begin(), offered.end(), job.printer) == offered.end())
      return PrintResult::PrinterMissing;
    if (canDraw() && viewObserver()) {
      recorded = false;
      // A printer object whose start failed cannot be set up again, so every job has one
      // of its own with the set-up's settings.
      const QPrinter& setUpPrinter = qt::printer();
      QPrinter printer(QPrinter::HighResolution);
      printer.setPrinterName(QString::fromStdString(job.printer));
      printer.setPageLayout(setUpPrinter.pageLayout());
      printer.setColorMode(setUpPrinter.colorMode());
      printer.setDuplex(setUpPrinter.duplex());
      printer.setCollateCopies(setUpPrinter.collateCopies());
      printer.setPageOrder(setUpPrinter.pageOrder());
      printer.setCopyCount(choice.copies);
      printer.setDocName(QString::fromStdString(source.name));
      printer.setFullPage(true);
      rc = paint(printer, source, list);
      if (rc == kNotStarted) return PrintResult::PrinterFailed;
    }
  }
  if (rc == kCancelled) return PrintResult::Cancelled;
  if (recorded)
    for (int p : list) job.printed.pages.push_back(source.page(p - 1));
  jobs().push_back(std::move(job));
  return PrintResult::Printed;
}

PrintResult printPagesAsking(const PageSource& source, const std::vector<int>& pages) {
  while (true) {
    PrintResult rc = printPages(source, pages);
    if (rc == PrintResult::Printed || rc == PrintResult::Cancelled || rc == PrintResult::NothingToPrint)
      return rc;
    int answer = message(printFailureText(rc, printerChoice()) +
                             "||Choose Print Setup to pick a printer or to print to a PDF file.",
                         "Print", Icon::Exclamation, "Print &Setup...|&Cancel", 1);
    if (answer != 1 || printerSetup(true) != 1) return rc;
  }
}

std::string printFailureText(PrintResult result, const PrinterChoice& choice) {
  switch (result) {
    case PrintResult::NoPrinter: return "No printer is installed, so the report cannot be printed.";
    case PrintResult::PrinterMissing: return "The printer \"" + choice.printer + "\" is not available.";
    case PrintResult::PrinterFailed: {
      std::string name = choice.printer;
      if (name.empty())
        if (auto offered = desktopPrinters(); !offered.empty()) name = offered.front();
      return "The printer \"" + name + "\" could not start printing the report.";
    }
    case PrintResult::FileFailed: return "The file \"" + choice.file + "\" could not be written.";
    case PrintResult::NothingToPrint: return "There is no page to print.";
    case PrintResult::Printed:
    case PrintResult::Cancelled: break;
  }
  return {};
}

void setPrintToFile(const std::string& pdfPath) {
  PrinterChoice c = printerChoice();
  c.file = pdfPath;
  setPrinterChoice(c);
}
const std::vector<PrintJob>& printJobs() { return jobs(); }
void clearPrintJobs() { jobs().clear(); }

std::vector<int> parsePageRange(const std::string& text, int pageCount) {
  std::vector<int> out;
  std::size_t i = 0;
  auto skip = [&] {
    while (i < text.size() && text[i] == ' ') ++i;
  };
  auto number = [&](int& n) {
    skip();
    if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    n = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
      n = n * 10 + (text[i] - '0');
      if (n > 1000000) return false;
      ++i;
    }
    skip();
    return true;
  };
  while (true) {
    int from = 0, to = 0;
    if (!number(from)) return {};
    to = from;
    if (i < text.size() && text[i] == '-') {
      ++i;
      if (!number(to)) return {};
    }
    if (from < 1 || to > pageCount || from > to) return {};
    for (int p = from; p <= to; ++p) out.push_back(p);
    if (i >= text.size()) break;
    if (text[i] != ',') return {};
    ++i;
  }
  return out;
}

}  // namespace pf
