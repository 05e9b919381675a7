#include "platform/report/print.h"

#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <QElapsedTimer>

#include <cctype>
#include <type_traits>
#include <cstdio>
#include <cstdlib>

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
std::string& printFile() {
  static std::string f;
  return f;
}

std::vector<int> chosen(int n, const std::vector<int>& pages) {
  std::vector<int> out;
  if (pages.empty())
    for (int i = 1; i <= n; ++i) out.push_back(i);
  for (int p : pages)
    if (p >= 1 && p <= n) out.push_back(p);
  return out;
}

constexpr int kCancelled = -2;
// How long one slice may paint before the windows get their turn.
constexpr int kSliceMs = 40;

// Paints onto any paged device, one page of the source per device page. On a program
// thread it paints in slices between the turns of a progress window whose Cancel stops it.
template <class Device>
int paint(Device& device, const PageSource& source, const std::vector<int>& pages) {
  QPainter p;
  if (!p.begin(&device)) return -1;
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
  if (!QGuiApplication::instance() || list.empty()) return -1;
  int rc;
  {
    QPdfWriter writer(QString::fromStdString(path));
    writer.setResolution(300);
    setUp(writer, source);
    rc = paint(writer, source, list);
  }
  if (rc == kCancelled) std::remove(path.c_str());
  return rc;
}
}  // namespace

int writePdf(const ReportDocument& doc, const std::string& path, const std::vector<int>& pages) {
  return pdf(pagesOf(doc), path, chosen(static_cast<int>(doc.pages.size()), pages));
}

int printDocument(const ReportDocument& doc, const std::vector<int>& pages) {
  return printPages(pagesOf(doc), pages);
}

int printPages(const PageSource& source, const std::vector<int>& pages) {
  std::vector<int> list = chosen(source.count(), pages);
  if (list.empty()) return -1;
  PrintJob job{source.name, list, {}, {source.name, source.width, source.height, {}}};
  int rc = 0;
  if (!printFile().empty()) {
    job.output = printFile();
    rc = pdf(source, printFile(), list);
  } else if (QGuiApplication::instance() && viewObserver()) {
    QPrinter& printer = qt::printer();
    printer.setDocName(QString::fromStdString(source.name));
    printer.setFullPage(true);
    rc = paint(printer, source, list);
  } else {
    for (int p : list) job.printed.pages.push_back(source.page(p - 1));
  }
  if (rc != kCancelled) jobs().push_back(std::move(job));
  return rc;
}

void setPrintToFile(const std::string& pdfPath) { printFile() = pdfPath; }
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
