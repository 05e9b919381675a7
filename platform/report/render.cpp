#include "platform/report/render.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <memory>
#include <vector>

namespace pf {

namespace {
QColor bgr(std::int32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

// A report uses a handful of fonts on thousands of items: each is made and measured once.
struct DeviceFont {
  ReportFont of;
  double pxPerMm;
  QFont font;
  QFontMetricsF metrics;
};

const DeviceFont& deviceFont(const ReportFont& rf, double pxPerMm) {
  static std::vector<std::unique_ptr<DeviceFont>> fonts;
  for (const auto& f : fonts)
    if (f->pxPerMm == pxPerMm && f->of.size == rf.size && f->of.bold == rf.bold &&
        f->of.underline == rf.underline && f->of.name == rf.name)
      return *f;
  if (fonts.size() >= 64) fonts.clear();
  QFont f(QString::fromStdString(rf.name));
  // Point sizes are 1/72 inch: in millimetres 25.4 / 72 each.
  f.setPixelSize(std::max(1, static_cast<int>(rf.size * 25.4 / 72.0 * pxPerMm + 0.5)));
  f.setBold(rf.bold);
  f.setUnderline(rf.underline);
  fonts.push_back(std::make_unique<DeviceFont>(DeviceFont{rf, pxPerMm, f, QFontMetricsF(f)}));
  return *fonts.back();
}
}  // namespace

void renderPage(QPainter& p, const ReportPage& page, double pxPerMm) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  for (const PageItem& item : page.items) {
    if (item.kind == PageItem::Kind::Line) {
      QPen pen(bgr(item.font.color));
      pen.setWidthF(std::max(1.0, 0.2 * pxPerMm));
      p.setPen(pen);
      p.drawLine(QPointF(item.x * pxPerMm, item.y * pxPerMm),
                 QPointF((item.x + item.w) * pxPerMm, (item.y + item.h) * pxPerMm));
      continue;
    }
    if (item.text.empty()) continue;
    const DeviceFont& df = deviceFont(item.font, pxPerMm);
    const QFontMetricsF& fm = df.metrics;
    p.setFont(df.font);
    p.setPen(bgr(item.font.color));
    const QString text = QString::fromStdString(item.text);
    const double advance = fm.horizontalAdvance(text);
    double w = item.w > 0 ? item.w * pxPerMm : advance + 2;
    double h = std::max(item.h * pxPerMm, fm.height());
    QRectF r(item.x * pxPerMm, item.y * pxPerMm, w, h);
    int flags = Qt::AlignTop | Qt::TextSingleLine;
    flags |= item.align == Align::Right ? Qt::AlignRight
             : item.align == Align::Center ? Qt::AlignHCenter
                                            : Qt::AlignLeft;
    // Text is cut at its box, as a printed column is.
    if (advance <= w) {
      p.drawText(r, flags, text);
      continue;
    }
    p.save();
    p.setClipRect(r);
    p.drawText(r, flags, text);
    p.restore();
  }
  p.restore();
}

QImage renderSpread(const PageSource& doc, int first, int across, int down, int zoom) {
  const double pxPerMm = zoom / 100.0 * 96.0 / 25.4;
  const int gap = 12;
  int pw = static_cast<int>(doc.width * pxPerMm), ph = static_cast<int>(doc.height * pxPerMm);
  QImage img(gap + across * (pw + gap), gap + down * (ph + gap), QImage::Format_RGB32);
  img.fill(QColor(128, 128, 128));
  QPainter p(&img);
  for (int row = 0; row < down; ++row)
    for (int col = 0; col < across; ++col) {
      int index = first + row * across + col;
      if (index < 0 || index >= doc.count()) continue;
      int x = gap + col * (pw + gap), y = gap + row * (ph + gap);
      p.fillRect(x + 3, y + 3, pw, ph, QColor(64, 64, 64));
      p.fillRect(x, y, pw, ph, Qt::white);
      p.save();
      p.translate(x, y);
      p.setClipRect(0, 0, pw, ph);
      renderPage(p, doc.page(index), pxPerMm);
      p.restore();
    }
  return img;
}

}  // namespace pf
