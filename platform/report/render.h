// Drawing pages with QPainter: shared by the preview, the printer and PDFs.
#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QList>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/report/report.h"

class QPainter;
class QImage;
class QPaintDevice;

namespace pf {

// The stretch of its line a text item may be drawn over: its box, and the free space on
// either side up to the nearest text or upright rule beside it (millimetres).
struct TextRoom {
  double start, end;    // the box
  double left, right;   // the free space around it
};

// A text the renderer cuts: wider than its room.
struct CutText {
  const PageItem* item;
  double width, room;   // mm
};

// Draws pages onto one device at one scale. A report repeats its fonts and many of its
// texts (titles, footers, categories) on every page: each font is made once and each
// text laid out once, then drawn as glyphs. Texts are laid out on the paper, not on the
// device: in the designs' metric-compatible fonts at kPaperPxPerMm, unhinted, and drawn
// scaled to the device, so a text is as wide in the preview at any zoom as on paper.
class PageRenderer {
 public:
  PageRenderer(const QPaintDevice* device, double pxPerMm);
  ~PageRenderer();
  PageRenderer(const PageRenderer&) = delete;
  PageRenderer& operator=(const PageRenderer&) = delete;

  static constexpr double kPaperPxPerMm = 100.0;

  // The page with its top left corner at the painter's origin.
  void render(QPainter& painter, const ReportPage& page);

  // How wide and high a text item is on paper, in millimetres.
  double widthMm(const PageItem& item);
  double heightMm(const PageItem& item);
  TextRoom roomOf(const ReportPage& page, std::size_t index);
  // Texts wider than their room on a page `pageWidth` mm wide.
  std::vector<CutText> cuts(const ReportPage& page, double pageWidth);

 private:
  static constexpr std::size_t kTextsKept = 2048;
  struct Shaped {
    QList<QGlyphRun> runs;   // glyphs placed from the line's top left corner
    double width = 0, height = 0;
  };
  struct Font {
    ReportFont of;
    QFont font;
    std::unordered_map<std::string, Shaped> recent, older;
    double heightMm = 0;
  };
  Font& font(const ReportFont& rf);
  const Shaped& shape(Font& font, const std::string& text);

  const QPaintDevice* device_;
  double pxPerMm_;
  std::vector<std::unique_ptr<Font>> fonts_;
  Font* last_ = nullptr;
};

// The same, measured on their own (no device).
TextRoom roomOf(const ReportPage& page, std::size_t index);
std::vector<CutText> cutTexts(const ReportPage& page, double pageWidth);
double textWidthMm(const PageItem& item);

// Draws a page with its top left corner at the painter's origin, `pxPerMm` device pixels
// to the millimetre.
void renderPage(QPainter& painter, const ReportPage& page, double pxPerMm);

// Pages from `first` (0-based), `across` by `down`, on a grey ground at `zoom` per cent
// of their printed size on a 96 dpi screen.
QImage renderSpread(const PageSource& pages, int first, int across, int down, int zoom);

}  // namespace pf
