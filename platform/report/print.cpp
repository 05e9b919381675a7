#include "platform/report/print.h"

#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <cctype>
#include <cstdlib>

#include "platform/report/render.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"

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

std::vector<int> chosen(const ReportDocument& doc, const std::vector<int>& pages) {
  std::vector<int> out;
  int n = static_cast<int>(doc.pages.size());
  if (pages.empty())
    for (int i = 1; i <= n; ++i) out.push_back(i);
  for (int p : pages)
    if (p >= 1 && p <= n) out.push_back(p);
  return out;
}

// Paints onto any paged device: one page of the document per device page.
template <class Device>
bool paint(Device& device, const ReportDocument& doc, const std::vector<int>& pages) {
  QPainter p;
  if (!p.begin(&device)) return false;
  double pxPerMm = device.resolution() / 25.4;
  bool first = true;
  for (int page : pages) {
    if (!first) device.newPage();
    first = false;
    renderPage(p, doc.pages[page - 1], pxPerMm);
  }
  p.end();
  return true;
}

template <class Device>
void setUp(Device& device, const ReportDocument& doc) {
  device.setPageSize(QPageSize(QSizeF(doc.width, doc.height), QPageSize::Millimeter));
  device.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
  device.setTitle(QString::fromStdString(doc.name));
}
}  // namespace

int writePdf(const ReportDocument& doc, const std::string& path, const std::vector<int>& pages) {
  if (!QGuiApplication::instance()) return -1;
  std::vector<int> list = chosen(doc, pages);
  if (list.empty()) return -1;
  QPdfWriter writer(QString::fromStdString(path));
  writer.setResolution(300);
  setUp(writer, doc);
  return paint(writer, doc, list) ? 0 : -1;
}

int printDocument(const ReportDocument& doc, const std::vector<int>& pages) {
  std::vector<int> list = chosen(doc, pages);
  if (list.empty()) return -1;
  PrintJob job{doc.name, list, {}, {doc.name, doc.width, doc.height, {}}};
  for (int p : list) job.printed.pages.push_back(doc.pages[p - 1]);
  int rc = 0;
  if (!printFile().empty()) {
    job.output = printFile();
    rc = writePdf(doc, printFile(), list);
  } else if (QGuiApplication::instance() && viewObserver()) {
    QPrinter& printer = qt::printer();
    printer.setDocName(QString::fromStdString(doc.name));
    printer.setFullPage(true);
    rc = paint(printer, doc, list) ? 0 : -1;
  }
  jobs().push_back(std::move(job));
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
