#include "platform/report/report.h"

#include <malloc.h>

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

namespace {
void releaseFreeMemory() { malloc_trim(0); }
}  // namespace

Report::Report(std::string jobName) : jobName_(std::move(jobName)) {}

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
  discardPages();
  docWidth_ = pageWidth;
  docHeight_ = pageHeight;
  open_ = true;
}

void Report::close() {
  open_ = false;
  pageOpen_ = false;
}

const ReportBand& Report::band(std::uint16_t index) const {
  return index == 0 ? header_ : index == 1 ? footer_ : details_[index - 2];
}

void Report::startPage() {
  pageStarts_.push_back(static_cast<std::uint32_t>(placed_.size()));
  pageOpen_ = true;
  cursor_ = detailTop;
  if (hasHeader_) layBand(0, header_.x, header_.y);
}

void Report::layBand(std::uint16_t index, double originX, double originY) {
  placed_.push_back({static_cast<std::uint32_t>(texts_.size()), index, static_cast<float>(originX),
                     static_cast<float>(originY)});
  for (const ReportControl& c : band(index).controls)
    if (c.kind == ReportControl::Kind::Field) {
      texts_ += reportFieldText(c.use);
      texts_ += '\0';
    }
}

void Report::buildBand(const Placed& placed, int pageNumber, ReportPage& page) const {
  const char* text = texts_.data() + placed.texts;
  for (const ReportControl& c : band(placed.band).controls) {
    PageItem item;
    item.control = c.name;
    item.x = placed.x + c.x;
    item.y = placed.y + c.y;
    item.w = c.w;
    item.h = c.h;
    item.font = c.font;
    item.align = c.align;
    switch (c.kind) {
      case ReportControl::Kind::Line: item.kind = PageItem::Kind::Line; break;
      case ReportControl::Kind::Text: item.text = c.text; break;
      case ReportControl::Kind::Field:
        item.text = text;
        text += item.text.size() + 1;
        break;
      case ReportControl::Kind::PageNumber:
        item.text = clip(format(Value(static_cast<std::int64_t>(pageNumber)), c.text));
        break;
    }
    page.items.push_back(std::move(item));
  }
}

int Report::pageCount() const {
  return static_cast<int>(pageStarts_.size()) - (pageOpen_ ? 1 : 0);
}

ReportPage Report::page(int index) const {
  ReportPage out;
  if (index < 0 || index >= static_cast<int>(pageStarts_.size())) return out;
  std::size_t from = pageStarts_[index];
  std::size_t to = index + 1 < static_cast<int>(pageStarts_.size()) ? pageStarts_[index + 1] : placed_.size();
  for (std::size_t i = from; i < to; ++i) buildBand(placed_[i], index + 1, out);
  return out;
}

PageSource Report::pages() const {
  return {jobName_, docWidth_, docHeight_, [this] { return pageCount(); },
          [this](int i) { return page(i); }};
}

ReportDocument Report::document() const {
  ReportDocument doc{jobName_, docWidth_, docHeight_, {}};
  for (int i = 0; i < pageCount(); ++i) doc.pages.push_back(page(i));
  return doc;
}

int Report::print(const std::string& detail) {
  if (!open_) return -1;
  std::size_t found = details_.size();
  for (std::size_t i = 0; i < details_.size(); ++i)
    if (foldEqual(details_[i].name, detail)) found = i;
  if (found == details_.size()) return -1;
  const ReportBand& b = details_[found];
  if (pageOpen_ && cursor_ + b.h > detailTop + detailHeight + 1e-9) endPages();
  if (!pageOpen_) startPage();
  layBand(static_cast<std::uint16_t>(found + 2), detailLeft, cursor_);
  cursor_ += b.h;
  return 0;
}

void Report::endPages() {
  if (!pageOpen_) return;
  if (hasFooter_) layBand(1, footer_.x, footer_.y);
  pageOpen_ = false;
}

ReportDocument Report::takePages() {
  ReportDocument out = document();
  discardPages();
  return out;
}

void Report::discardPages() {
  std::vector<Placed>().swap(placed_);
  std::vector<std::uint32_t>().swap(pageStarts_);
  std::string().swap(texts_);
  pageOpen_ = false;
  // Thousands of pages leave the heap full of holes; hand them back to the system.
  releaseFreeMemory();
}

PageSource pagesOf(const ReportDocument& doc) {
  return {doc.name, doc.width, doc.height, [&doc] { return static_cast<int>(doc.pages.size()); },
          [&doc](int i) { return doc.pages[i]; }};
}

}  // namespace pf
