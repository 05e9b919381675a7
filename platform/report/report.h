// Printed reports. A Report is a set of bands (page header, details, page footer) whose
// controls are placed in millimetres; print(detail) lays one detail band out with the
// present values of its fields, and the pages it fills make a ReportDocument: pages of
// positioned items that the preview, the printer and a PDF draw the same way. The report
// keeps only where each band went and its fields' texts; a page's items are built when
// the page is asked for, so a report of thousands of pages stays small.
//
//   pf::Report r;                                  // job "QZKB Report"
//   auto& d = r.detail("?DETAIL", 203, 8, {"Arial", 8});
//   r.field(d, "?WEB:DESCRIPTION", pf::use(WEB->DESCRIPTION, "s45"), 8, 0, 68, 5).bold();
//   r.open();  ...  r.print("?DETAIL");  ...  r.endPages();
//   r.page(0).items      (r.document(): every page built, for small reports)
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/binding.h"

namespace pf {

enum class Align { Left, Center, Right };

struct ReportFont {
  std::string name = "MS Sans Serif";
  int size = 8;               // points
  bool bold = false;
  bool underline = false;
  std::int32_t color = 0;     // 0x00BBGGRR
};

// One thing drawn on a page; positions and sizes in millimetres from the page's corner.
struct PageItem {
  enum class Kind { Text, Line } kind = Kind::Text;
  double x = 0, y = 0, w = 0, h = 0;   // a line runs from (x, y) to (x + w, y + h)
  std::string text;
  ReportFont font;
  Align align = Align::Left;
  std::string control;        // the control it came from ("?WEB:DESCRIPTION")
};

struct ReportPage {
  std::vector<PageItem> items;
  // The items of one control, in print order.
  std::vector<const PageItem*> itemsOf(const std::string& control) const;
  std::vector<std::string> textsOf(const std::string& control) const;
};

struct ReportDocument {
  std::string name;           // the print job
  double width = 210, height = 297;
  std::vector<ReportPage> pages;
};

// What the preview and the printer draw from: a count of pages and each page built on
// demand (0-based). The object behind it must outlive the source.
struct PageSource {
  std::string name;
  double width = 210, height = 297;
  std::function<int()> count;
  std::function<ReportPage(int)> page;
};
PageSource pagesOf(const ReportDocument& doc);

struct ReportControl {
  enum class Kind { Text, Field, Line, PageNumber } kind = Kind::Text;
  std::string name;
  double x = 0, y = 0, w = 0, h = 0;
  Align align = Align::Left;
  ReportFont font;
  std::string text;           // Text: the text; PageNumber: the picture ("pPage <<#p")
  Binding use;                // Field: the variable, shown through use.picture

  ReportControl& bold() { font.bold = true; return *this; }
  ReportControl& underline() { font.underline = true; return *this; }
  ReportControl& color(std::int32_t c) { font.color = c; return *this; }
  ReportControl& withFont(const ReportFont& f) { font = f; return *this; }
};

struct ReportBand {
  std::string name;
  double x = 0, y = 0, w = 0, h = 0;   // header and footer: on the page; detail: size only
  ReportFont font;
  std::vector<ReportControl> controls;
};

class Report {
 public:
  explicit Report(std::string jobName = "QZKB Report");

  // Geometry of the page; the details fill the area below the header.
  double pageWidth = 210, pageHeight = 297;
  double detailLeft = 0, detailTop = 21, detailWidth = 207, detailHeight = 236;

  ReportBand& header(double x, double y, double w, double h, const ReportFont& font = {});
  ReportBand& footer(double x, double y, double w, double h, const ReportFont& font = {});
  ReportBand& detail(const std::string& name, double w, double h, const ReportFont& font = {});

  // Controls take the band's font.
  ReportControl& text(ReportBand& band, const std::string& name, const std::string& text,
                      double x, double y, double w, double h, Align align = Align::Left);
  ReportControl& field(ReportBand& band, const std::string& name, const Binding& use,
                       double x, double y, double w, double h, Align align = Align::Left);
  ReportControl& line(ReportBand& band, const std::string& name, double x, double y, double w,
                      double h);
  ReportControl& pageNumber(ReportBand& band, const std::string& name, const std::string& picture,
                            double x, double y, double w, double h, Align align = Align::Left);

  // A Text control's text ("?REPORTDATESTAMP"); false when there is no such control.
  bool setText(const std::string& control, const std::string& text);
  std::string textOf(const std::string& control) const;

  // OPEN: a new, empty document. CLOSE forgets nothing printed until the next open.
  void open();
  void close();
  bool isOpen() const { return open_; }

  // PRINT: lays the detail band out at the next free place, starting a page when it does
  // not fit. 0 done; -1 when the report is not open or has no such detail.
  int print(const std::string& detail);
  // Ends the page being filled (its footer is laid out now).
  void endPages();
  // Pages ended so far, and one of them built (0-based).
  int pageCount() const;
  ReportPage page(int index) const;
  PageSource pages() const;
  // Every page ended so far, built.
  ReportDocument document() const;
  ReportDocument takePages();
  // Forgets every page and gives their memory back.
  void discardPages();

 private:
  // One band laid out: which (0 header, 1 footer, 2 on: the details), where, and the
  // offset in texts_ of its fields' texts, each ended by a zero byte.
  struct Placed {
    std::uint32_t texts;
    std::uint16_t band;
    float x, y;
  };
  void startPage();
  void layBand(std::uint16_t band, double originX, double originY);
  const ReportBand& band(std::uint16_t index) const;
  void buildBand(const Placed& placed, int pageNumber, ReportPage& page) const;

  std::string jobName_;
  ReportBand header_, footer_;
  bool hasHeader_ = false, hasFooter_ = false;
  std::vector<ReportBand> details_;
  std::vector<Placed> placed_;
  std::vector<std::uint32_t> pageStarts_;   // the first band of every page, in placed_
  std::string texts_;
  double docWidth_ = 210, docHeight_ = 297;
  bool open_ = false;
  bool pageOpen_ = false;
  double cursor_ = 0;
};

// The text a field shows: its value through its picture, without trailing blanks.
std::string reportFieldText(const Binding& use);

}  // namespace pf
