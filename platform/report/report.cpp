#include "platform/report/report.h"

#include <utility>

#include "platform/core/pictures.h"
#include "platform/core/strings.h"

namespace pf {

std::vector<const PageItem*> ReportPage::itemsOf(const std::string& control) const {
  std::vector<const PageItem*> out;
  for (const PageItem& i : items)
    if (i.control == control) out.push_back(&i);
  return out;
}

std::vector<std::string> ReportPage::textsOf(const std::string& control) const {
  std::vector<std::string> out;
  for (const PageItem* i : itemsOf(control)) out.push_back(i->text);
  return out;
}

std::string reportFieldText(const Binding& use) {
  if (!use.bound()) return {};
  Value v = use.numeric() ? Value(use.getNumber()) : Value(use.get());
  std::string text = use.picture.empty() ? v.text() : format(v, use.picture);
  // Numbers are placed by the control's alignment, not by their padding.
  return use.numeric() ? trim(text) : clip(text);
}

Report::Report(std::string jobName) : jobName_(std::move(jobName)) { doc_.name = jobName_; }

ReportBand& Report::header(double x, double y, double w, double h, const ReportFont& font) {
  header_ = ReportBand{"header", x, y, w, h, font, {}};
  hasHeader_ = true;
  return header_;
}

ReportBand& Report::footer(double x, double y, double w, double h, const ReportFont& font) {
  footer_ = ReportBand{"footer", x, y, w, h, font, {}};
  hasFooter_ = true;
  return footer_;
}

ReportBand& Report::detail(const std::string& name, double w, double h, const ReportFont& font) {
  details_.push_back(ReportBand{name, 0, 0, w, h, font, {}});
  return details_.back();
}

namespace {
ReportControl& add(ReportBand& band, ReportControl c) {
  c.font = band.font;
  band.controls.push_back(std::move(c));
  return band.controls.back();
}
}  // namespace

ReportControl& Report::text(ReportBand& band, const std::string& name, const std::string& text,
                            double x, double y, double w, double h, Align align) {
  ReportControl c;
  c.kind = ReportControl::Kind::Text;
  c.name = name;
  c.text = text;
  c.x = x, c.y = y, c.w = w, c.h = h, c.align = align;
  return add(band, std::move(c));
}

ReportControl& Report::field(ReportBand& band, const std::string& name, const Binding& use,
                             double x, double y, double w, double h, Align align) {
  ReportControl c;
  c.kind = ReportControl::Kind::Field;
  c.name = name;
  c.use = use;
  c.x = x, c.y = y, c.w = w, c.h = h, c.align = align;
  return add(band, std::move(c));
}

ReportControl& Report::line(ReportBand& band, const std::string& name, double x, double y,
                            double w, double h) {
  ReportControl c;
  c.kind = ReportControl::Kind::Line;
  c.name = name;
  c.x = x, c.y = y, c.w = w, c.h = h;
  return add(band, std::move(c));
}

ReportControl& Report::pageNumber(ReportBand& band, const std::string& name,
                                  const std::string& picture, double x, double y, double w,
                                  double h, Align align) {
  ReportControl c;
  c.kind = ReportControl::Kind::PageNumber;
  c.name = name;
  c.text = picture;
  c.x = x, c.y = y, c.w = w, c.h = h, c.align = align;
  return add(band, std::move(c));
}

bool Report::setText(const std::string& control, const std::string& text) {
  bool found = false;
  auto set = [&](ReportBand& b) {
    for (ReportControl& c : b.controls)
      if (c.kind == ReportControl::Kind::Text && foldEqual(c.name, control)) {
        c.text = text;
        found = true;
      }
  };
  set(header_);
  set(footer_);
  for (ReportBand& b : details_) set(b);
  return found;
}

std::string Report::textOf(const std::string& control) const {
  auto find = [&](const ReportBand& b, std::string& out) {
    for (const ReportControl& c : b.controls)
      if (foldEqual(c.name, control)) {
        out = c.text;
        return true;
      }
    return false;
  };
  std::string out;
  if (find(header_, out) || find(footer_, out)) return out;
  for (const ReportBand& b : details_)
    if (find(b, out)) return out;
  return {};
}

void Report::open() {
  doc_ = ReportDocument{};
  doc_.name = jobName_;
  doc_.width = pageWidth;
  doc_.height = pageHeight;
  open_ = true;
  pageOpen_ = false;
}

void Report::close() {
  open_ = false;
  pageOpen_ = false;
}

void Report::startPage() {
  doc_.pages.emplace_back();
  pageOpen_ = true;
  cursor_ = detailTop;
  if (hasHeader_) layBand(header_, header_.x, header_.y);
}

void Report::layBand(const ReportBand& band, double originX, double originY) {
  ReportPage& page = doc_.pages.back();
  for (const ReportControl& c : band.controls) {
    PageItem item;
    item.control = c.name;
    item.x = originX + c.x;
    item.y = originY + c.y;
    item.w = c.w;
    item.h = c.h;
    item.font = c.font;
    item.align = c.align;
    switch (c.kind) {
      case ReportControl::Kind::Line: item.kind = PageItem::Kind::Line; break;
      case ReportControl::Kind::Text: item.text = c.text; break;
      case ReportControl::Kind::Field: item.text = reportFieldText(c.use); break;
      case ReportControl::Kind::PageNumber:
        item.text = clip(format(Value(static_cast<std::int64_t>(doc_.pages.size())), c.text));
        break;
    }
    page.items.push_back(std::move(item));
  }
}

int Report::print(const std::string& detail) {
  if (!open_) return -1;
  const ReportBand* band = nullptr;
  for (const ReportBand& b : details_)
    if (foldEqual(b.name, detail)) band = &b;
  if (!band) return -1;
  if (pageOpen_ && cursor_ + band->h > detailTop + detailHeight + 1e-9) endPages();
  if (!pageOpen_) startPage();
  layBand(*band, detailLeft, cursor_);
  cursor_ += band->h;
  return 0;
}

void Report::endPages() {
  if (!pageOpen_) return;
  if (hasFooter_) layBand(footer_, footer_.x, footer_.y);
  pageOpen_ = false;
}

ReportDocument Report::takePages() {
  ReportDocument out = std::move(doc_);
  doc_ = ReportDocument{};
  doc_.name = jobName_;
  doc_.width = pageWidth;
  doc_.height = pageHeight;
  pageOpen_ = false;
  return out;
}

void Report::discardPages() { (void)takePages(); }

}  // namespace pf
