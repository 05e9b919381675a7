#include "platform/report/render.h"

#include <QFont>
#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QTextLayout>

#include <algorithm>

namespace pf {

namespace {
QColor bgr(std::int32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

bool sameFont(const ReportFont& a, const ReportFont& b) {
  return a.size == b.size && a.bold == b.bold && a.underline == b.underline && a.name == b.name;
}

// One line as QPainter::drawText lays it out: line breaks, carriage returns and tabs are
// blanks, and only the first of several length variants is shown.
QString singleLine(const std::string& text) {
  QString s = QString::fromStdString(text);
  qsizetype variants = s.indexOf(QChar(0x9c));
  if (variants >= 0) s.truncate(variants);
  for (QChar& c : s)
    if (c == u'\n' || c == u'\r' || c == u'\t') c = u' ';
  return s;
}
}  // namespace

PageRenderer::PageRenderer(const QPaintDevice* device, double pxPerMm)
    : device_(device), pxPerMm_(pxPerMm) {}

PageRenderer::~PageRenderer() = default;

PageRenderer::Font& PageRenderer::font(const ReportFont& rf) {
  if (last_ && sameFont(last_->of, rf)) return *last_;
  for (const auto& f : fonts_)
    if (sameFont(f->of, rf)) return *(last_ = f.get());
  QFont f(QString::fromStdString(rf.name));
  // Point sizes are 1/72 inch: in millimetres 25.4 / 72 each.
  f.setPixelSize(std::max(1, static_cast<int>(rf.size * 25.4 / 72.0 * pxPerMm_ + 0.5)));
  f.setBold(rf.bold);
  f.setUnderline(rf.underline);
  // As QPainter::setFont resolves it for the device, so that the glyphs are those drawText draws.
  if (device_) f = QFont(f, device_);
  fonts_.push_back(std::make_unique<Font>(Font{rf, f, {}, {}}));
  return *(last_ = fonts_.back().get());
}

const PageRenderer::Shaped& PageRenderer::shape(Font& f, const std::string& text) {
  auto& now = f.recent;
  auto& before = f.older;
  if (auto it = now.find(text); it != now.end()) return it->second;
  if (auto it = before.find(text); it != before.end()) return now.emplace(text, it->second).first->second;
  // Two generations: texts met on every page stay, the run of one-off texts passes through.
  if (now.size() >= kTextsKept) {
    before.swap(now);
    now.clear();
  }
  QTextLayout layout(singleLine(text), f.font, const_cast<QPaintDevice*>(device_));
  // Keeps the glyphs shaped for the width, for the runs taken after the layout.
  layout.setCacheEnabled(true);
  QTextOption option;
  option.setTextDirection(Qt::LeftToRight);
  option.setFlags(QTextOption::IncludeTrailingSpaces);
  layout.setTextOption(option);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  Shaped s;
  if (line.isValid()) {
    line.setLineWidth(0x01000000);
    line.setPosition(QPointF(0, 0));
    s.width = line.naturalTextWidth();
    s.height = line.height();
  }
  layout.endLayout();
  s.runs = layout.glyphRuns();
  return now.emplace(text, std::move(s)).first->second;
}

void PageRenderer::render(QPainter& p, const ReportPage& page) {
  const double px = pxPerMm_;
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  for (const PageItem& item : page.items) {
    if (item.kind == PageItem::Kind::Line) {
      QPen pen(bgr(item.font.color));
      pen.setWidthF(std::max(1.0, 0.2 * px));
      p.setPen(pen);
      p.drawLine(QPointF(item.x * px, item.y * px),
                 QPointF((item.x + item.w) * px, (item.y + item.h) * px));
      continue;
    }
    if (item.text.empty()) continue;
    Font& f = font(item.font);
    p.setPen(bgr(item.font.color));
    const Shaped& s = shape(f, item.text);
    const double w = item.w > 0 ? item.w * px : s.width + 2;
    const QRectF r(item.x * px, item.y * px, w, std::max(item.h * px, s.height));
    if (item.font.underline) {
      // The underline as drawText places it.
      p.setFont(f.font);
      p.save();
      if (s.width > w) p.setClipRect(r, Qt::IntersectClip);
      int align = item.align == Align::Right ? Qt::AlignRight
                  : item.align == Align::Center ? Qt::AlignHCenter
                                                 : Qt::AlignLeft;
      p.drawText(r, Qt::AlignTop | Qt::TextSingleLine | align, QString::fromStdString(item.text));
      p.restore();
      continue;
    }
    // Placed as drawText places a line in its box, top aligned.
    double x = 0;
    if (item.align == Align::Right) {
      x = r.width() - s.width;
    } else if (item.align == Align::Center) {
      x = (r.width() - s.width) / 2;
    }
    // Text is cut at its box, as a printed column is.
    const bool cut = !r.contains(QRectF(r.x() + x, r.y(), s.width, s.height));
    if (cut) {
      p.save();
      p.setClipRect(r, Qt::IntersectClip);
    }
    const QPointF origin(r.x() + x, r.y());
    for (const QGlyphRun& run : s.runs) p.drawGlyphRun(origin, run);
    if (cut) p.restore();
  }
  p.restore();
}

void renderPage(QPainter& p, const ReportPage& page, double pxPerMm) {
  PageRenderer(p.device(), pxPerMm).render(p, page);
}

QImage renderSpread(const PageSource& doc, int first, int across, int down, int zoom) {
  const double pxPerMm = zoom / 100.0 * 96.0 / 25.4;
  const int gap = 12;
  int pw = static_cast<int>(doc.width * pxPerMm), ph = static_cast<int>(doc.height * pxPerMm);
  QImage img(gap + across * (pw + gap), gap + down * (ph + gap), QImage::Format_RGB32);
  img.fill(QColor(128, 128, 128));
  QPainter p(&img);
  PageRenderer renderer(&img, pxPerMm);
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
      renderer.render(p, doc.page(index));
      p.restore();
    }
  return img;
}

}  // namespace pf
