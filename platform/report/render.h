// Drawing pages with QPainter: shared by the preview, the printer and PDFs.
#pragma once

#include "platform/report/report.h"

class QPainter;
class QImage;

namespace pf {

// Draws a page with its top left corner at the painter's origin, `pxPerMm` device pixels
// to the millimetre.
void renderPage(QPainter& painter, const ReportPage& page, double pxPerMm);

// Pages from `first` (0-based), `across` by `down`, on a grey ground at `zoom` per cent
// of their printed size on a 96 dpi screen.
QImage renderSpread(const PageSource& pages, int first, int across, int down, int zoom);

}  // namespace pf
