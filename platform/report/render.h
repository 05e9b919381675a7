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

// Draws pages onto one device at one scale. A report repeats its fonts and many of its
// texts (titles, footers, categories) on every page: each font is made once and each
// text laid out once, then drawn as glyphs.
class PageRenderer {
 public:
  PageRenderer(const QPaintDevice* device, double pxPerMm);
  ~PageRenderer();
  PageRenderer(const PageRenderer&) = delete;
  PageRenderer& operator=(const PageRenderer&) = delete;

  // The page with its top left corner at the painter's origin.
  void render(QPainter& painter, const ReportPage& page);

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
  };
  Font& font(const ReportFont& rf);
  const Shaped& shape(Font& font, const std::string& text);

  const QPaintDevice* device_;
  double pxPerMm_;
  std::vector<std::unique_ptr<Font>> fonts_;
  Font* last_ = nullptr;
};

// Draws a page with its top left corner at the painter's origin, `pxPerMm` device pixels
// to the millimetre.
void renderPage(QPainter& painter, const ReportPage& page, double pxPerMm);

// Pages from `first` (0-based), `across` by `down`, on a grey ground at `zoom` per cent
// of their printed size on a 96 dpi screen.
QImage renderSpread(const PageSource& pages, int first, int across, int down, int zoom);

}  // namespace pf
