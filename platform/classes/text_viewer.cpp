#include "platform/classes/text_viewer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "platform/classes/error_manager.h"
#include "platform/core/errors.h"
#include "platform/core/strings.h"
#include "platform/runtime/message.h"
#include "platform/ui/keys.h"
#include "platform/ui/layout.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"

namespace pf {
namespace {

constexpr int kCharWidth = 4;   // dialog units of an average character
constexpr std::uint8_t kHandled = 5;

// The viewer's own dialogs; registered on first use so that no program needs to ship them.
void registerDialogs() {
  static bool done = false;
  if (done) return;
  done = true;
  registerLayout("TextViewerFind", R"(
window TextViewerFind plain "Find" size 236,62 center noesc
  prompt ?FindPrompt "Find What:" at 6,9 size 40,10
  entry ?FindWhat at 48,8 size 120,11 picture "@s32"
  check ?MatchCase "Match &Case" at 6,28 size 60,10
  option ?Direction "&Direction" at 72,22 size 96,30
    radio ?DirectionUp "&Up" at 80,34 size 34,10 value "Up"
    radio ?DirectionDown "&Down" at 120,34 size 40,10 value "Down"
  end
  button ?Next "&Next" at 178,7 size 50,14 default
  button ?Cancel "&Cancel" at 178,25 size 50,14
end
)");
  registerLayout("TextViewerGoto", R"(
window TextViewerGoto plain "Goto" size 168,46 center
  prompt ?LinePrompt "&Line No:" at 6,9 size 36,10
  entry ?LineNo at 44,8 size 56,11 picture "@s10"
  button ?Go "&Go" at 110,7 size 50,14 default
  button ?Cancel "&Cancel" at 110,25 size 50,14
end
)");
  registerLayout("TextViewerPrint", R"(
window TextViewerPrint plain "Print" size 200,92 center
  option ?Range "Print Range" at 6,4 size 120,62
    radio ?RangeAll "&All lines" at 12,16 size 60,10 value "All"
    radio ?RangeLines "&Lines" at 12,30 size 40,10 value "Lines"
  end
  prompt ?FirstPrompt "&From:" at 24,46 size 22,10
  entry ?FirstLine at 48,45 size 30,11 picture "@s10"
  prompt ?LastPrompt "&To:" at 82,46 size 14,10
  entry ?LastLine at 96,45 size 28,11 picture "@s10"
  check ?Preview "Pre&view" at 12,72 size 60,10
  button ?Print "&Print" at 136,7 size 56,14 default
  button ?Setup "&Setup..." at 136,25 size 56,14
  button ?Cancel "&Cancel" at 136,43 size 56,14
end
)");
}

TextPrintSink& printSink() {
  static TextPrintSink sink;
  return sink;
}

// Tabs to the next multiple of eight, so columns line up in the list.
std::string expandTabs(const std::string& s) {
  if (s.find('\t') == std::string::npos) return s;
  std::string out;
  std::size_t col = 0;
  for (char c : s) {
    if (c == '\t') {
      std::size_t n = 8 - col % 8;
      out.append(n, ' ');
      col += n;
    } else {
      out += c;
      if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++col;
    }
  }
  return out;
}

std::int64_t parseLineNumber(const std::string& s) {
  std::string t = trim(s);
  if (t.empty() || t.size() > 18) return -1;
  for (char c : t)
    if (c < '0' || c > '9') return -1;
  return std::strtoll(t.c_str(), nullptr, 10);
}

}  // namespace

// --- LineFile --------------------------------------------------------------------------

LineFile::LineFile() {
  desc_.label = "ASCIIFile";
  desc_.prefix = "A1";
  desc_.driver = Driver::Ascii;
  desc_.create = false;
  desc_.recordSize = desc_.bufferSize = sizeof(TEXTLINE);
  desc_.fields = {FieldDesc{"A1:TEXTLINE", FieldType::String, 0, sizeof(TEXTLINE)}};
  file_ = std::make_unique<File>(desc_, TEXTLINE.b);
}

LineFile::~LineFile() {
  if (file_ && file_->isOpen()) file_->close();
}

void LineFile::setName(const std::string& name) {
  desc_.diskName = name.substr(0, NameSize - 1);
}

// --- TextSearcher ----------------------------------------------------------------------

bool TextSearcher::Matches(const std::string& line) const {
  if (what.empty()) return false;
  if (matchCase) return line.find(what) != std::string::npos;
  return lower(line).find(lower(what)) != std::string::npos;
}

std::int64_t TextSearcher::Next(TextViewer& viewer, std::int64_t from) {
  if (what.empty()) return 0;
  std::string text;
  if (up) {
    std::int64_t n = from == 0 ? 1 : from - 1;
    for (; n >= 1; --n)
      if (viewer.readLine(n, text) && Matches(text)) return n;
    return 0;
  }
  for (std::int64_t n = from == 0 ? 1 : from + 1; viewer.readLine(n, text); ++n)
    if (Matches(text)) return n;
  return 0;
}

void TextSearcher::Ask(TextViewer& viewer) {
  registerDialogs();
  Window w("TextViewerFind");
  String<32> findWhat(what);
  std::uint8_t caseOn = matchCase ? 1 : 0;
  std::string direction = up ? "Up" : "Down";
  w.bind(w.feq("?FindWhat"), use(findWhat));
  w.bind(w.feq("?MatchCase"), use(caseOn));
  w.bind(w.feq("?Direction"), use(direction));
  w.open();
  w.display();
  w.select(w.feq("?FindWhat"));
  while (w.accept()) {
    if (w.event() == EVENT::CloseWindow) continue;   // the close box: the loop ends
    if (w.event() != EVENT::Accepted) continue;
    if (w.field() == w.feq("?Cancel")) {
      w.close();
    } else if (w.field() == w.feq("?Next")) {
      w.update();
      what = findWhat.clip();
      matchCase = caseOn != 0;
      up = direction == "Up";
      if (what.empty()) {
        w.select(w.feq("?FindWhat"));
        continue;
      }
      std::int64_t found = Next(viewer, viewer.selectedLine());
      if (found)
        viewer.showLine(found, true);
      else
        message("\"" + what + "\" was not found.", "Find", Icon::Information);
    }
  }
}

// --- TextPrinter -----------------------------------------------------------------------

void setTextPrintSink(TextPrintSink sink) { printSink() = std::move(sink); }

bool TextPrinter::PrintLines(TextViewer& viewer, std::int64_t first, std::int64_t last, bool preview) {
  TextPrintJob job;
  job.title = viewer.fileName();
  job.firstLine = first;
  job.preview = preview;
  std::string text;
  {
    WaitCursor wait;
    for (std::int64_t n = first; n <= last && viewer.readLine(n, text); ++n) job.lines.push_back(text);
  }
  if (!printSink()) {
    message("Printing is not available.", "Print", Icon::Exclamation);
    return false;
  }
  return printSink()(job);
}

void TextPrinter::Ask(TextViewer& viewer) {
  registerDialogs();
  Window w("TextViewerPrint");
  std::int64_t selected = viewer.selectedLine();
  std::string range = "All";
  std::string first = std::to_string(selected ? selected : 1);
  std::string last = std::to_string(selected ? selected : viewer.topLine() + viewer.pageSize() - 1);
  std::uint8_t preview = 0;
  w.bind(w.feq("?Range"), use(range));
  w.bind(w.feq("?FirstLine"), use(first));
  w.bind(w.feq("?LastLine"), use(last));
  w.bind(w.feq("?Preview"), use(preview));
  w.open();
  w.display();
  while (w.accept()) {
    if (w.event() != EVENT::Accepted) continue;
    int f = w.field();
    if (f == w.feq("?Cancel")) {
      w.close();
    } else if (f == w.feq("?Setup")) {
      printerSetup();
    } else if (f == w.feq("?Print")) {
      w.update();
      std::int64_t from = 1, to = viewer.lineCount();
      if (range == "Lines") {
        std::int64_t a = parseLineNumber(first), b = parseLineNumber(last);
        if (a < 1 || b < a) {
          message("Give a first and a last line, the first not after the last.", "Print",
                  Icon::Exclamation);
          w.select(w.feq("?FirstLine"));
          continue;
        }
        from = a;
        to = std::min(b, to);
      }
      w.close();
      if (from <= to) PrintLines(viewer, from, to, preview != 0);
    }
  }
}

// --- TextViewer ------------------------------------------------------------------------

TextViewer::TextViewer() = default;

TextViewer::~TextViewer() {
  if (ready_) TextViewerKill();
}

std::uint8_t TextViewer::TextViewerInit(LineFile& file, const std::string& fileName, Window& window,
                                        int listControl, ErrorManager& errors,
                                        std::uint8_t enableFlags) {
  file_ = &file;
  window_ = &window;
  errors_ = &errors;
  list_ = listControl;
  flags_ = enableFlags;
  file.setName(fileName);
  for (;;) {
    if (file.file().open(OpenMode::ReadOnly | OpenMode::DenyNone) == Err::None) break;
    int level = errors.throwFile(Msg::FileLoadError, file.name());
    if (level != Level::Benign && level != Level::User) return 0;
  }
  index_.clear();
  block_.clear();
  blockFirst_ = 0;
  lines_ = 0;
  file.file().set();
  indexComplete_ = file.file().next() != Err::None;
  if (!indexComplete_) index_.push_back(file.file().position().row);

  const Control* c = window.control(list_);
  if (c) {
    oldFormat_ = window.propText(list_, Prop::Format);
    oldImmediate_ = c->immediate;
  }
  columnWidth_ = c ? std::max(c->w - 6, 20) : 200;
  window.setProp(list_, Prop::Format, std::to_string(columnWidth_) + "L(2)");
  window.setProp(list_, Prop::Immediate, 1);
  addedAlerts_.clear();
  for (int key : {Key::MouseRight, Key::Ctrl | Key::PgUp, Key::Ctrl | Key::PgDn}) {
    if (window.alerted(list_, key)) continue;
    window.alert(list_, key);
    addedAlerts_.push_back(key);
  }
  if (flags_ & TextViewerFlag::Find) {
    ownSearcher_ = std::make_unique<TextSearcher>();
    searcher_ = ownSearcher_.get();
  }
  if (flags_ & TextViewerFlag::Print) {
    ownPrinter_ = std::make_unique<TextPrinter>();
    printer_ = ownPrinter_.get();
  }
  ready_ = true;
  top_ = 1;
  page_ = currentPage();
  fill();
  return 1;
}

void TextViewer::TextViewerKill() {
  if (!ready_) return;
  ready_ = false;
  if (window_ && window_->control(list_)) {
    window_->clearRows(list_);
    window_->setProp(list_, Prop::Format, oldFormat_);
    window_->setProp(list_, Prop::Immediate, oldImmediate_ ? 1 : 0);
    window_->setProp(list_, Prop::VScrollPos, 0);
    for (int key : addedAlerts_) window_->unalert(list_, key);
  }
  addedAlerts_.clear();
  ownSearcher_.reset();
  ownPrinter_.reset();
  searcher_ = nullptr;
  printer_ = nullptr;
  index_.clear();
  block_.clear();
  blockFirst_ = 0;
  indexComplete_ = false;
  if (file_ && file_->file().isOpen()) file_->file().close();
}

void TextViewer::TextViewerSetSearcher(TextSearcher& searcher) { searcher_ = &searcher; }
void TextViewer::TextViewerSetPrinter(TextPrinter& printer) { printer_ = &printer; }

const std::string& TextViewer::fileName() const {
  static const std::string none;
  return file_ ? file_->name() : none;
}

int TextViewer::currentPage() const {
  int n = window_ ? window_->rowsVisible(list_) : 1;
  return n < 1 ? 1 : n;
}

// Reads a block's lines into block_; reading the last block known also finds where the
// next one starts, or that the file ends in it.
bool TextViewer::loadBlock(std::size_t block) {
  std::int64_t first = static_cast<std::int64_t>(block) * kBlock + 1;
  if (blockFirst_ == first) return true;
  if (block >= index_.size()) return false;
  File& f = file_->file();
  block_.clear();
  blockFirst_ = 0;
  f.setAt(Position{index_[block], {}});
  while (static_cast<std::int64_t>(block_.size()) < kBlock && f.next() == Err::None)
    block_.push_back(f.line());
  std::int64_t read = static_cast<std::int64_t>(block_.size());
  if (read < kBlock) {
    // The end, or a file that cannot be read further.
    indexComplete_ = true;
    lines_ = first - 1 + read;
    index_.resize(block + 1);
  } else if (block + 1 == index_.size() && !indexComplete_) {
    if (f.next() == Err::None) {
      index_.push_back(f.position().row);
    } else {
      indexComplete_ = true;
      lines_ = first - 1 + read;
    }
  }
  if (block_.empty()) return false;
  blockFirst_ = first;
  return true;
}

bool TextViewer::indexTo(std::int64_t n) {
  if (!ready_ || n < 1) return false;
  // Line n exists once its block is known to be followed by another, or the end is known.
  std::size_t block = static_cast<std::size_t>((n - 1) / kBlock);
  while (!indexComplete_ && index_.size() <= block + 1)
    if (!loadBlock(index_.size() - 1)) break;
  return indexComplete_ ? n <= lines_ : true;
}

std::int64_t TextViewer::lineCount() {
  if (!ready_) return 0;
  if (!indexComplete_) {
    WaitCursor wait;
    while (!indexComplete_)
      if (!loadBlock(index_.size() - 1)) break;
  }
  return lines_;
}

bool TextViewer::readLine(std::int64_t n, std::string& text) {
  if (!indexTo(n)) return false;
  std::size_t block = static_cast<std::size_t>((n - 1) / kBlock);
  if (!loadBlock(block)) return false;
  std::size_t at = static_cast<std::size_t>((n - 1) % kBlock);
  if (at >= block_.size()) return false;
  text = block_[at];
  return true;
}

std::size_t TextViewer::heldBytes() const {
  std::size_t n = index_.capacity() * sizeof(std::int64_t) + block_.capacity() * sizeof(std::string);
  for (const std::string& line : block_) n += line.capacity();
  return n;
}

std::int64_t TextViewer::maxTop() {
  std::int64_t count = lineCount();
  return std::max<std::int64_t>(1, count - page_ + 1);
}

std::int64_t TextViewer::selectedLine() const {
  if (!ready_) return 0;
  int row = window_->choice(list_);
  if (row < 1 || row > window_->rowCount(list_)) return 0;
  return top_ + row - 1;
}

void TextViewer::fill() {
  if (!ready_) return;
  int selected = window_->choice(list_);
  std::vector<ListRow> rows;
  std::string text;
  int widest = columnWidth_;
  for (int i = 0; i < page_; ++i) {
    if (!readLine(top_ + i, text)) break;
    ListRow r;
    r.cells.push_back(ListCell{expandTabs(text)});
    widest = std::max(widest, static_cast<int>(utf8Length(r.cells[0].value)) * kCharWidth + 8);
    rows.push_back(std::move(r));
  }
  if (widest > columnWidth_) {
    // Long lines are shown whole: the column grows and the list scrolls sideways.
    columnWidth_ = widest;
    window_->setColumnWidth(list_, 1, columnWidth_);
  }
  int count = static_cast<int>(rows.size());
  window_->setRows(list_, std::move(rows));
  if (count > 0 && selected >= 1) window_->selectRow(list_, std::min(selected, count));
  setThumb();
}

void TextViewer::setThumb() {
  // The thumb is placed only once the end is known; before that it follows line 1.
  int pos = 0;
  if (indexComplete_) {
    std::int64_t top = maxTop();
    pos = top <= 1 ? 0 : static_cast<int>((top_ - 1) * 100 / (top - 1));
  }
  window_->setProp(list_, Prop::VScrollPos, std::clamp(pos, 0, 100));
}

void TextViewer::showLine(std::int64_t n, bool select) {
  if (!ready_ || n < 1) return;
  if (n < top_ || n >= top_ + page_) {
    top_ = n;
    // Near the end the last page stays full.
    if (!indexTo(n + page_ - 1)) top_ = std::min(n, maxTop());
  }
  fill();
  if (select) window_->selectRow(list_, static_cast<int>(n - top_ + 1));
}

void TextViewer::showTop() {
  top_ = 1;
  fill();
  if (window_->rowCount(list_) > 0) window_->selectRow(list_, 1);
}

void TextViewer::showBottom() {
  top_ = maxTop();
  fill();
  int n = window_->rowCount(list_);
  if (n > 0) window_->selectRow(list_, n);
}

void TextViewer::pageUp() {
  top_ = std::max<std::int64_t>(1, top_ - page_);
  fill();
}

void TextViewer::pageDown() {
  if (!indexTo(top_ + page_)) {
    // Already on the last page: the last line is selected.
    int n = window_->rowCount(list_);
    if (n > 0) window_->selectRow(list_, n);
    return;
  }
  top_ += page_;
  if (!indexTo(top_ + page_ - 1)) top_ = maxTop();
  fill();
}

void TextViewer::lineUp() {
  if (top_ > 1) {
    --top_;
    fill();
  }
}

void TextViewer::lineDown() {
  if (indexTo(top_ + page_)) {
    ++top_;
    fill();
  }
}

void TextViewer::showThumb(int position) {
  std::int64_t top = maxTop();
  top_ = 1 + (top - 1) * std::clamp(position, 0, 100) / 100;
  fill();
}

void TextViewer::gotoDialog() {
  registerDialogs();
  Window w("TextViewerGoto");
  std::int64_t current = selectedLine();
  std::string line = current ? std::to_string(current) : std::string();
  w.bind(w.feq("?LineNo"), use(line));
  w.open();
  w.display();
  w.select(w.feq("?LineNo"));
  std::int64_t go = 0;
  while (w.accept()) {
    if (w.event() != EVENT::Accepted) continue;
    if (w.field() == w.feq("?Cancel")) {
      w.close();
    } else if (w.field() == w.feq("?Go")) {
      w.update();
      std::int64_t n = parseLineNumber(line);
      if (n < 1) {
        beep();
        w.select(w.feq("?LineNo"));
        continue;
      }
      go = n;
      w.close();
    }
  }
  if (go) {
    if (!indexTo(go)) go = std::max<std::int64_t>(1, lineCount());
    if (indexTo(go)) showLine(go, true);
  }
}

void TextViewer::popupMenu() {
  std::string menu = PopupMenu;
  if (flags_ & TextViewerFlag::Find) menu.replace(menu.find("~&Find"), 6, "&Find");
  if (flags_ & TextViewerFlag::Print) menu.replace(menu.find("~&Print"), 7, "&Print");
  switch (popup(menu)) {
    case FindItem:
      if (searcher_) searcher_->Ask(*this);
      break;
    case PrintItem:
      if (printer_) printer_->Ask(*this);
      break;
    case TopItem: showTop(); break;
    case PageUpItem: pageUp(); break;
    case PageDownItem: pageDown(); break;
    case BottomItem: showBottom(); break;
    case GotoItem: gotoDialog(); break;
    default: break;
  }
}

std::uint8_t TextViewer::TextViewerTakeEvent(int event) {
  if (!ready_) return 0;
  const Event& e = window_->currentEvent();
  if (e.control == 0) {
    if (event == EVENT::Sized || event == EVENT::Restored || event == EVENT::Maximized) {
      int page = currentPage();
      if (page != page_) {
        page_ = page;
        if (indexComplete_) top_ = std::min(top_, maxTop());
        fill();
      }
    }
    return 0;
  }
  if (e.control != list_) return 0;
  switch (event) {
    case EVENT::ScrollUp: lineUp(); return kHandled;
    case EVENT::ScrollDown: lineDown(); return kHandled;
    case EVENT::PageUp: pageUp(); return kHandled;
    case EVENT::PageDown: pageDown(); return kHandled;
    case EVENT::ScrollTop: showTop(); return kHandled;
    case EVENT::ScrollBottom: {
      WaitCursor wait;
      showBottom();
      return kHandled;
    }
    case EVENT::ScrollDrag: {
      WaitCursor wait;
      showThumb(window_->propInt(list_, Prop::VScrollPos));
      return kHandled;
    }
    case EVENT::AlertKey: {
      int key = window_->keyCode();
      if (key == (Key::Ctrl | Key::PgUp)) {
        showTop();
        return kHandled;
      }
      if (key == (Key::Ctrl | Key::PgDn)) {
        WaitCursor wait;
        showBottom();
        return kHandled;
      }
      if (key == Key::MouseRight) {
        popupMenu();
        return kHandled;
      }
      return 0;
    }
    default:
      return 0;
  }
}

}  // namespace pf
