// A read-only view of a text file in a list control: one line of the file per row. The
// viewer keeps only the lines in view, follows the list's scrolling, and offers a popup
// menu (Find, Print, Move, Goto) on the right mouse button.
//
//   pf::LineFile file;                 // the window's line file (ascii driver)
//   pf::TextViewer viewer;
//   ready = viewer.TextViewerInit(file, "ViewLic.txt", win(), win().feq("?ASCIIBOX"),
//                                 pf::AppErrors, pf::TextViewerFlag::Find);
//   ... OnFieldEvent: if (ready && viewer.TextViewerTakeEvent(win().event()) == 5) return 5;
//   ... at CloseWindow: viewer.TextViewerKill();
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/field.h"
#include "platform/core/record.h"
#include "platform/store/file.h"
#include "platform/ui/controls.h"

namespace pf {

class ErrorManager;
class Window;
class TextViewer;

namespace TextViewerFlag {
constexpr std::uint8_t Find = 1;
constexpr std::uint8_t Print = 2;
}  // namespace TextViewerFlag

// A text file read line by line: record `A1:TEXTLINE` STRING(255). A longer line goes on in
// the next records (the line driver cuts it after a blank where it can), so the viewer
// shows it wrapped into rows of at most 255 bytes and nothing reads a whole long line.
class LineFile {
 public:
  static constexpr std::size_t NameSize = 260;   // the file-name variable, with its end
  LineFile();
  ~LineFile();
  LineFile(const LineFile&) = delete;
  LineFile& operator=(const LineFile&) = delete;

  String<255> TEXTLINE;
  // Relative names are in the current working directory; cut to NameSize - 1 bytes.
  void setName(const std::string& name);
  const std::string& name() const { return desc_.diskName; }
  File& file() { return *file_; }

 private:
  FileDesc desc_;
  std::unique_ptr<File> file_;
};

// The Find dialog and the search behind it; a window may hand the viewer its own.
class TextSearcher {
 public:
  virtual ~TextSearcher() = default;
  std::string what;          // at most 32 characters
  bool matchCase = false;
  bool up = false;

  // The Find dialog: each "&Next" searches from the viewer's selected line and shows the
  // line found; the dialog stays until "&Cancel".
  virtual void Ask(TextViewer& viewer);
  // The first line after (before, going up) `from` that holds `what`; with `from` 0 the
  // search starts at line 1 itself. 0 when none.
  virtual std::int64_t Next(TextViewer& viewer, std::int64_t from);
  bool Matches(const std::string& line) const;
};

// What a print of lines is handed to: the report layer installs the real one.
struct TextPrintJob {
  std::string title;                // the file's name
  std::vector<std::string> lines;
  std::int64_t firstLine = 1;
  bool preview = false;
};
using TextPrintSink = std::function<bool(const TextPrintJob&)>;
void setTextPrintSink(TextPrintSink sink);

// The print-options dialog and the print behind it; a window may hand the viewer its own.
class TextPrinter {
 public:
  virtual ~TextPrinter() = default;
  // All lines or a range, preview, printer set-up; then PrintLines.
  virtual void Ask(TextViewer& viewer);
  virtual bool PrintLines(TextViewer& viewer, std::int64_t first, std::int64_t last, bool preview);
};

class TextViewer {
 public:
  static constexpr const char* PopupMenu =
      "~&Find|~&Print|-|&Move{&Top|Page &Up|Page &Down|Bottom}|-|&Goto";
  // Popup item numbers.
  enum Item { FindItem = 1, PrintItem, TopItem, PageUpItem, PageDownItem, BottomItem, GotoItem };

  TextViewer();
  ~TextViewer();
  TextViewer(const TextViewer&) = delete;
  TextViewer& operator=(const TextViewer&) = delete;

  // Opens the file (read-only, others may read and write it) and shows it from line 1 in
  // the list. 1 ready; 0 when the file cannot be opened (error 21 reported through
  // `errors`; tried again only when the answer is level 0 or 1).
  std::uint8_t TextViewerInit(LineFile& file, const std::string& fileName, Window& window,
                              int listControl, ErrorManager& errors, std::uint8_t enableFlags);
  // 5 when the event was the viewer's and is handled, 0 otherwise.
  std::uint8_t TextViewerTakeEvent(int event);
  // Gives the list back as it was, releases what the viewer made, closes the file.
  void TextViewerKill();
  void TextViewerSetSearcher(TextSearcher& searcher);
  void TextViewerSetPrinter(TextPrinter& printer);

  // --- for searchers, printers and tests ------------------------------------------------
  bool ready() const { return ready_; }
  // Reads the whole file once (wait cursor) to know where it ends.
  std::int64_t lineCount();
  // Line n (1-based, a record of the line file) as it is in the file; false past the end.
  bool readLine(std::int64_t n, std::string& text);
  // The bytes the viewer holds of the file: its index and the lines read last.
  std::size_t heldBytes() const;
  std::int64_t topLine() const { return top_; }
  int pageSize() const { return page_; }
  // The line of the selected row, 0 when no row is selected.
  std::int64_t selectedLine() const;
  // Brings a line into view (and selects its row).
  void showLine(std::int64_t n, bool select = true);
  void showTop();
  void showBottom();
  void pageUp();
  void pageDown();
  void lineUp();
  void lineDown();
  void showThumb(int position);   // 0..100
  // Runs the popup menu as if the right mouse button had been pressed on the list.
  void popupMenu();
  void gotoDialog();
  Window& window() { return *window_; }
  int list() const { return list_; }
  const std::string& fileName() const;

 private:
  bool indexTo(std::int64_t n);   // knows line n's place; false when the file is shorter
  bool loadBlock(std::size_t block);
  std::int64_t maxTop();
  void fill();
  void setThumb();
  int currentPage() const;

  LineFile* file_ = nullptr;
  Window* window_ = nullptr;
  ErrorManager* errors_ = nullptr;
  int list_ = 0;
  std::uint8_t flags_ = 0;
  bool ready_ = false;
  // Lines are read in blocks of kBlock; the index keeps where each block starts (a file
  // position), so it stays small however many lines the file has.
  static constexpr std::int64_t kBlock = 64;
  std::vector<std::int64_t> index_;
  bool indexComplete_ = false;
  std::int64_t lines_ = 0;            // the number of lines, once the index is complete
  std::int64_t blockFirst_ = 0;       // the first line in block_ (0: none read)
  std::vector<std::string> block_;
  std::int64_t top_ = 1;
  int page_ = 1;
  int columnWidth_ = 0;
  // The list as it was before the viewer took it.
  std::string oldFormat_;
  bool oldImmediate_ = false;
  std::vector<int> addedAlerts_;
  std::unique_ptr<TextSearcher> ownSearcher_;
  std::unique_ptr<TextPrinter> ownPrinter_;
  TextSearcher* searcher_ = nullptr;
  TextPrinter* printer_ = nullptr;
};

}  // namespace pf
