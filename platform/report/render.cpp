#include "platform/report/render.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

#include "platform/ui/qt/fonts.h"

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
  // The designs' fonts ("MS Sans Serif", "Arial") in their metric-compatible free faces.
  QFont f(qt::familyFor(rf.name));
  // Point sizes are 1/72 inch: in millimetres 25.4 / 72 each.
  f.setPixelSize(std::max(1, static_cast<int>(std::lround(rf.size * 25.4 / 72.0 * kPaperPxPerMm))));
  f.setHintingPreference(QFont::PreferNoHinting);
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

double PageRenderer::widthMm(const PageItem& item) {
  if (item.text.empty()) return 0;
  return shape(font(item.font), item.text).width / kPaperPxPerMm;
}

double PageRenderer::heightMm(const PageItem& item) {
  Font& f = font(item.font);
  if (f.heightMm <= 0) f.heightMm = QFontMetricsF(f.font).height() / kPaperPxPerMm;
  return f.heightMm;
}

// A text may run on past its box into the free space beside it, up to the next text or
// upright rule on its line: "Printed:" keeps its colon and a date its last digit where the
// design leaves room; a long address stops at the column after it.
TextRoom PageRenderer::roomOf(const ReportPage& page, std::size_t index) {
  const PageItem& item = page.items[index];
  const double top = item.y, bottom = item.y + heightMm(item);
  const double start = item.x, end = item.x + item.w;
  const double eps = 0.01, touch = 0.5;   // mm
  TextRoom room{start, end, -1e9, 1e9};
  for (std::size_t j = 0; j < page.items.size(); ++j) {
    if (j == index) continue;
    const PageItem& o = page.items[j];
    double oTop, oBottom, oStart, oEnd;
    if (o.kind == PageItem::Kind::Line) {
      if (o.w != 0) continue;   // only an upright rule parts texts
      oTop = std::min(o.y, o.y + o.h);
      oBottom = std::max(o.y, o.y + o.h);
      oStart = oEnd = o.x;
    } else {
      if (o.text.empty()) continue;
      oTop = o.y;
      oBottom = o.y + heightMm(o);
      oStart = o.x;
      oEnd = o.x + o.w;
    }
    if (std::min(bottom, oBottom) - std::max(top, oTop) <= touch) continue;   // not on this line
    if (oStart >= end - eps) room.right = std::min(room.right, oStart);
    if (oEnd <= start + eps) room.left = std::max(room.left, oEnd);
  }
  return room;
}

namespace {
// Where a text of `width` runs, from its item's box and alignment (mm).
std::pair<double, double> extentOf(const PageItem& item, double width) {
  double x = item.align == Align::Right    ? item.x + item.w - width
             : item.align == Align::Center ? item.x + (item.w - width) / 2
                                           : item.x;
  return {x, x + width};
}
}  // namespace

std::vector<CutText> PageRenderer::cuts(const ReportPage& page, double pageWidth) {
  std::vector<CutText> out;
  for (std::size_t i = 0; i < page.items.size(); ++i) {
    const PageItem& item = page.items[i];
    if (item.kind != PageItem::Kind::Text || item.text.empty()) continue;
    double width = widthMm(item);
    auto [from, to] = extentOf(item, width);
    TextRoom room = roomOf(page, i);
    double left = std::max(room.left, 0.0), right = std::min(room.right, pageWidth);
    if (from < left - 0.01 || to > right + 0.01) out.push_back(CutText{&item, width, right - left});
  }
  return out;
}

void PageRenderer::render(QPainter& p, const ReportPage& page) {
  const double px = pxPerMm_, k = kPaperPxPerMm;
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  // The whole page in paper pixels: one transform for all its items, not one each.
  p.scale(px / k, px / k);
  for (std::size_t i = 0; i < page.items.size(); ++i) {
    const PageItem& item = page.items[i];
    if (item.kind == PageItem::Kind::Line) {
      QPen pen(bgr(item.font.color));
      pen.setWidthF(std::max(1.0, 0.2 * px) * k / px);
      p.setPen(pen);
      p.drawLine(QPointF(item.x * k, item.y * k), QPointF((item.x + item.w) * k, (item.y + item.h) * k));
      continue;
    }
    if (item.text.empty()) continue;
    Font& f = font(item.font);
    const Shaped& s = shape(f, item.text);
    const double width = s.width / k;
    auto [from, to] = extentOf(item, width);
    p.setPen(bgr(item.font.color));
    // Only a text that leaves its box needs the room around it.
    bool clipped = false;
    if (from < item.x - 0.01 || to > item.x + item.w + 0.01) {
      TextRoom room = roomOf(page, i);
      if (from < room.left || to > room.right) {
        double l = std::max(from, room.left), r = std::min(to, room.right);
        p.save();
        p.setClipRect(QRectF(l * k, item.y * k, std::max(0.0, r - l) * k, s.height + 1), Qt::IntersectClip);
        clipped = true;
      }
    }
    const QRectF at(from * k, item.y * k, s.width, s.height);
    if (item.font.underline) {
      // The underline as drawText places it.
      p.setFont(f.font);
      p.drawText(at, Qt::AlignTop | Qt::AlignLeft | Qt::TextSingleLine, singleLine(item.text));
    } else {
      for (const QGlyphRun& run : s.runs) p.drawGlyphRun(at.topLeft(), run);
    }
    if (clipped) p.restore();
  }
  p.restore();
}

void renderPage(QPainter& p, const ReportPage& page, double pxPerMm) {
  PageRenderer(p.device(), pxPerMm).render(p, page);
}

TextRoom roomOf(const ReportPage& page, std::size_t index) {
  return PageRenderer(nullptr, PageRenderer::kPaperPxPerMm).roomOf(page, index);
}

std::vector<CutText> cutTexts(const ReportPage& page, double pageWidth) {
  return PageRenderer(nullptr, PageRenderer::kPaperPxPerMm).cuts(page, pageWidth);
}

double textWidthMm(const PageItem& item) {
  return PageRenderer(nullptr, PageRenderer::kPaperPxPerMm).widthMm(item);
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
