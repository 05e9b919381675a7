// Pages drawn by PageRenderer look exactly as the same items drawn one by one with
// QPainter::drawText where their boxes and the room beside them put them, on screen and
// in a PDF.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/report/render.h"
#include "platform/report/report.h"
#include "platform/ui/qt/fonts.h"

namespace {

QColor bgr(std::int32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

// Each item on its own: its font made at paper precision, its text measured and drawn
// where its alignment puts it, cut where the room beside its box ends.
void drawOneByOne(QPainter& p, const pf::ReportPage& page, double px) {
  const double k = pf::PageRenderer::kPaperPxPerMm;
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  for (std::size_t i = 0; i < page.items.size(); ++i) {
    const pf::PageItem& item = page.items[i];
    if (item.kind == pf::PageItem::Kind::Line) {
      QPen pen(bgr(item.font.color));
      pen.setWidthF(std::max(1.0, 0.2 * px));
      p.setPen(pen);
      p.drawLine(QPointF(item.x * px, item.y * px), QPointF((item.x + item.w) * px, (item.y + item.h) * px));
      continue;
    }
    if (item.text.empty()) continue;
    QFont f(pf::qt::familyFor(item.font.name));
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(item.font.size * 25.4 / 72.0 * k))));
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setBold(item.font.bold);
    f.setUnderline(item.font.underline);
    p.save();
    p.scale(px / k, px / k);
    p.setFont(f);
    p.setPen(bgr(item.font.color));
    QFontMetricsF fm(p.font(), p.device());
    // drawText shows a single line with its line breaks and tabs as blanks.
    QString text = QString::fromStdString(item.text);
    for (QChar& c : text)
      if (c == u'\n' || c == u'\r' || c == u'\t') c = u' ';
    const double w = fm.horizontalAdvance(text) / k;
    double from = item.align == pf::Align::Right ? item.x + item.w - w
                  : item.align == pf::Align::Center ? item.x + (item.w - w) / 2 : item.x;
    pf::TextRoom room = pf::roomOf(page, i);
    if (from < room.left || from + w > room.right) {
      double l = std::max(from, room.left), r = std::min(from + w, room.right);
      p.setClipRect(QRectF(l * k, item.y * k, std::max(0.0, r - l) * k, fm.height() + 1), Qt::IntersectClip);
    }
    p.drawText(QRectF(from * k, item.y * k, w * k, fm.height()), Qt::AlignTop | Qt::AlignLeft | Qt::TextSingleLine, text);
    p.restore();
  }
}

pf::PageItem text(double x, double y, double w, const std::string& s, pf::Align a = pf::Align::Left,
                  pf::ReportFont font = {"Arial", 8}) {
  pf::PageItem i;
  i.x = x, i.y = y, i.w = w, i.h = 5, i.text = s, i.align = a, i.font = font;
  return i;
}

// A page with what reports put on one: aligned and cut columns, a box sized by its text,
// bold, underlined and coloured texts, blanks and tabs, texts met again, and many texts
// met once.
std::vector<pf::ReportPage> samplePages() {
  pf::ReportPage page;
  pf::ReportFont bold{"Arial", 8, true}, title{"Arial", 14, false, false, 0x800000};
  pf::ReportFont under{"MS Sans Serif", 8, false, true};
  page.items.push_back(text(7, 7, 55, "Quillbox", pf::Align::Left, title));
  page.items.push_back(text(62, 8, 93, "Store in a safe place", pf::Align::Center, under));
  page.items.push_back(text(160, 9, 33, "Sorted by description.", pf::Align::Right));
  pf::PageItem rule;
  rule.kind = pf::PageItem::Kind::Line;
  rule.x = 7, rule.y = 20, rule.w = 185;
  page.items.push_back(rule);
  page.items.push_back(text(44, 259, 134, "Excludes any websites that have not yet been visited.", pf::Align::Center));
  for (int row = 0; row < 24; ++row) {
    double y = 21 + row * 8;
    page.items.push_back(text(8, y, 68, "Website number " + std::to_string(row % 5), pf::Align::Left, bold));
    page.items.push_back(text(78, y, 41, "A category far too long for its column"));
    page.items.push_back(text(8, y + 3, 170, "http://www.example.com/\tpath\nend " + std::to_string(row)));
    page.items.push_back(text(181, y + 3, 14, std::to_string(row * 37), pf::Align::Right));
    page.items.push_back(text(124, y, 0, "  lead and trail  "));
  }
  std::vector<pf::ReportPage> pages{page};
  pf::ReportPage many;
  for (int i = 0; i < 3000; ++i)
    many.items.push_back(text(8 + (i % 4) * 50, 10 + (i / 4 % 50) * 5, 48, "Once only " + std::to_string(i)));
  pages.push_back(many);
  pages.push_back(page);
  return pages;
}

// The pages one below the other, each at a whole pixel, so that rounding is the same.
void drawAll(QPainter& p, const std::vector<pf::ReportPage>& pages, double px, bool renderer) {
  pf::PageRenderer r(p.device(), px);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    p.save();
    p.translate(0, std::round(i * 297 * px));
    if (renderer)
      r.render(p, pages[i]);
    else
      drawOneByOne(p, pages[i], px);
    p.restore();
  }
}

QImage onScreen(const std::vector<pf::ReportPage>& pages, bool renderer) {
  const double px = 150 / 25.4;
  QImage img(static_cast<int>(210 * px), static_cast<int>(297 * px * pages.size()), QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  drawAll(p, pages, px, renderer);
  return img;
}

// The text operators of every page's content (fonts, positions, glyphs), in order.
std::vector<std::string> pdfText(const std::vector<pf::ReportPage>& pages, bool renderer) {
  QByteArray bytes;
  {
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    QPdfWriter writer(&out);
    writer.setResolution(300);
    QPainter p(&writer);
    drawAll(p, {pages[0]}, 300 / 25.4, renderer);
    for (std::size_t i = 1; i < pages.size(); ++i) {
      writer.newPage();
      drawAll(p, {pages[i]}, 300 / 25.4, renderer);
    }
  }
  std::vector<std::string> ops;
  for (qsizetype at = bytes.indexOf("stream\n"); at >= 0; at = bytes.indexOf("stream\n", at + 1)) {
    qsizetype end = bytes.indexOf("\nendstream", at);
    if (end < 0) break;
    QByteArray packed = bytes.mid(at + 7, end - at - 7);
    // qUncompress wants the unpacked size first; any guess does, it grows.
    QByteArray content = qUncompress(QByteArray("\x00\x10\x00\x00", 4) + packed);
    for (const QByteArray& line : content.split('\n'))
      if (line.endsWith(" Tj") || line.endsWith(" Tf 1 0 0 -1 0 0 Tm")) ops.push_back(line.toStdString());
    at = end + 10;   // past "endstream", which holds "stream" too
  }
  return ops;
}

// The same PDF operator: the same words, numbers within a tenth of a unit.
bool sameOperator(const std::string& a, const std::string& b) {
  std::istringstream ia(a), ib(b);
  std::string x, y;
  while (true) {
    bool ga = static_cast<bool>(ia >> x), gb = static_cast<bool>(ib >> y);
    if (!ga || !gb) return ga == gb;
    if (x == y) continue;
    char* ea = nullptr;
    char* eb = nullptr;
    double da = std::strtod(x.c_str(), &ea), db = std::strtod(y.c_str(), &eb);
    if (*ea || *eb || std::fabs(da - db) > 0.1) return false;
  }
}

TEST(PageRenderer, DrawsWhatDrawTextDraws) {
  int argc = 1;
  char arg0[] = "render";
  char* argv[] = {arg0, nullptr};
  QGuiApplication app(argc, argv);
  std::vector<pf::ReportPage> pages = samplePages();
  QImage ours = onScreen(pages, true), theirs = onScreen(pages, false);
  int differ = 0;
  for (int y = 0; y < ours.height(); ++y)
    for (int x = 0; x < ours.width(); ++x) differ += ours.pixel(x, y) != theirs.pixel(x, y);
  EXPECT_EQ(differ, 0) << "pixels that differ on screen";

  std::vector<std::string> pdf = pdfText(pages, true), reference = pdfText(pages, false);
  EXPECT_GT(pdf.size(), 3000u * 10);
  // Glyph positions may differ by the layout's 1/64 pixel rounding at paper scale.
  ASSERT_EQ(pdf.size(), reference.size());
  int unlike = 0;
  for (std::size_t i = 0; i < pdf.size(); ++i)
    if (!sameOperator(pdf[i], reference[i]) && ++unlike < 5)
      ADD_FAILURE() << "operator " << i << ": " << pdf[i] << " / " << reference[i];
  EXPECT_EQ(unlike, 0);
}

}  // namespace
