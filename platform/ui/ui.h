// Program-wide parts of the window layer: the open windows and boxes, key aliasing,
// tooltips, the cursor, the clipboard, timers and the standard dialogs. All of it lives on
// the one GUI thread; program threads reach it directly.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/runtime/message.h"
#include "platform/ui/controls.h"

namespace pf {

class Window;

// --- open windows ------------------------------------------------------------------
Window* findWindow(std::uintptr_t id);
std::vector<Window*> windowsInZOrder();   // topmost first
Window* activeWindow();                   // the one with the user's focus
Window* topWindow(int thread = 0);        // the thread's top open window (0: calling thread)
Window* appFrame();                       // the open application frame, if any
// The frame's status bar (or the calling thread's own window's when there is no frame).
void setFrameStatus(int zone, const std::string& text);

// --- program-wide settings -----------------------------------------------------------
void setKeyAlias(int from, int to);       // every window; to == from removes it
void clearKeyAlias(int from);
int aliasOf(int key);
void setNoTips(bool off);                 // tooltips off everywhere
bool noTips();

// A short sound; counted so that tests can see it.
void beep();
// Brings `w` (the top window of its thread) and the program to the front, restored when
// minimised: also when it is the active window already but behind another program's.
void raiseWindow(Window& w);
int raiseCount();
int beepCount();

// --- the frame's MDI children: tile, cascade, arrange the minimised ones --------------
enum class MdiArrangement { Tile, Cascade, ArrangeIcons };
void arrangeChildren(MdiArrangement how);
void setArrangeHandler(std::function<void(MdiArrangement)> handler);  // the view's
int arrangeCount();  // how often it was asked (headless tests)

// --- cursor: the wait cursor is counted --------------------------------------------
void pushWaitCursor();
void popWaitCursor();
int waitCursorDepth();
struct WaitCursor {
  WaitCursor() { pushWaitCursor(); }
  ~WaitCursor() { popWaitCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};
// The program-wide cursor ("" normal, "SizeNS", "Hand", "~hand.cur"); a control's own
// Prop::Cursor shows while the pointer is over it.
void setProgramCursor(const std::string& cursor);
const std::string& programCursor();

// --- clipboard (text) ----------------------------------------------------------------
std::string clipboard();
void setClipboard(const std::string& text);
struct ClipboardBackend {
  std::function<std::string()> get;
  std::function<void(const std::string&)> set;
};
void setClipboardBackend(ClipboardBackend backend);   // empty: in memory

// --- blocking boxes and dialogs -----------------------------------------------------
// Each asks on the calling program thread and waits there for the answer; that thread's
// windows take no input meanwhile, other threads' windows stay live.
enum class DialogKind { Message, Halt, PrinterSetup, Calendar, SaveFile, OpenFile, Popup };

struct CalendarRequest {
  std::string caption = "Calendar";
  std::int32_t date = 0;            // day number shown first; 0: today
  int firstDayOfWeek = 0;           // 0 Sunday
  std::int32_t sundayColor = 0x0000FF, saturdayColor = 0x0000FF;
  std::int32_t weekdayColor = 0x000000, holidayColor = 0x008000;
  bool takeHighlightedOnClose = false;
};

struct FileRequest {
  std::string title;
  std::string fileName;             // proposed name
  std::string filter;               // "CSV files|*.csv" (pairs of text and pattern)
  bool save = true;
};

// Where reports print, as the printer set-up left it.
struct PrinterChoice {
  std::string printer;   // the printer's name; empty: the desktop's default printer
  std::string file;      // "Print to File": this PDF instead of a printer
  int copies = 1;
};

struct Dialog {
  int id = 0;
  int thread = 0;
  DialogKind kind = DialogKind::Message;
  MessageRequest message;           // Message, Halt
  std::vector<std::string> buttons; // Message: the button texts as given ("&Remove")
  CalendarRequest calendar;
  FileRequest file;
  bool answered = false;
  int answer = 0;                   // Message: 1-based button; others: 1 OK, 0 cancelled
  std::string answerText;           // file name
  std::int32_t answerDate = 0;
  PrinterChoice printer;            // PrinterSetup: the choice shown, then the one answered
  bool printing = false;            // PrinterSetup: its OK prints at once
};

// The printer set-up, starting from printerChoice(); OK keeps what it chose there. With
// `printing` its OK button is the one that prints. 1 OK, 0 cancelled.
int printerSetup(bool printing = false);
PrinterChoice printerChoice();
void setPrinterChoice(const PrinterChoice& choice);
// Answers an open printer set-up with OK and `chosen`.
void answerPrinterSetup(int id, const PrinterChoice& chosen);
// The printers the desktop offers, its default first: the view's, or without a view one
// printer called "Printer". A desktop given here (none: no printer at all) stands instead
// until the window layer is reset.
std::vector<std::string> desktopPrinters();
void setDesktopPrinters(std::vector<std::string> names);

// A popup menu: "~&Find|~&Print|-|&Move{&Top|Page &Up}|-|&Goto". "|" separates items, "-"
// is a separator line, a leading "~" greys an item, "{...}" holds the submenu of the item
// before it. The Popup dialog carries the text in message.text and the items that can be
// numbered in `buttons`. Answers the chosen item's number counted over those items (titles
// of submenus and separators not counted), or 0 when the menu was dismissed or a greyed
// item came back.
struct PopupItem {
  std::string text;        // as written, without the "~"
  int depth = 0;           // 0 top level, 1 inside a submenu, ...
  bool separator = false;
  bool disabled = false;
  bool submenu = false;    // a title that opens the items after it
  int number = 0;          // 1-based over the choosable items; 0 for titles and separators
};
std::vector<PopupItem> popupItems(const std::string& menu);
int popup(const std::string& menu);
std::int32_t calendarDialog(const CalendarRequest& r);   // chosen day, 0 when cancelled
// A save dialog answered with a file that exists under exactly that name asks whether to
// replace it; No shows the dialog again.
bool fileDialog(const FileRequest& r, std::string& fileName);

std::vector<Dialog*> openDialogs();                  // newest first
Dialog* findDialog(int id);
void answerDialog(int id, int answer, const std::string& text = {}, std::int32_t date = 0);
// The texts of a message's buttons ("&Remove|&Cancel"; empty: "&OK").
std::vector<std::string> splitButtons(const std::string& buttons);
// The lines a box shows: "|" breaks the line, "||" leaves an empty line.
std::vector<std::string> messageLines(const std::string& text);
std::string stripAmpersand(const std::string& s);

// --- the desktop ------------------------------------------------------------------------
// Where windows can stand: the desktop's work area, in the dialog units of one window's font.
struct DesktopArea {
  int x = 0, y = 0, w = 0, h = 0;
};
// As the view measures it for `w`; without a view, a desktop of 1280 by 1024 pixels in the
// usual 8-point font.
DesktopArea desktopArea(const Window& w);

// --- the view ---------------------------------------------------------------------------
// The Qt view (or nothing) follows the model through these calls; they come from inside
// program threads and must only note what to redraw.
class ViewObserver {
 public:
  virtual ~ViewObserver() = default;
  virtual void windowOpened(Window& w) = 0;
  virtual void windowClosed(std::uintptr_t id) = 0;
  virtual void windowChanged(Window& w, int feq, Prop p) = 0;   // feq 0: the window
  virtual void dialogOpened(Dialog& d) = 0;
  virtual void dialogClosed(int id) = 0;
  virtual void programChanged() = 0;   // z-order, input, cursor, tips
  // The desktop's work area for `w` (desktopArea); nothing when the view cannot tell.
  virtual std::optional<DesktopArea> desktopArea(const Window&) { return std::nullopt; }
  // The system's printers, its default first (desktopPrinters).
  virtual std::optional<std::vector<std::string>> printers() { return std::nullopt; }
};
void setViewObserver(ViewObserver* v);
ViewObserver* viewObserver();

// Installs the message and halt handlers that show boxes through this layer. Without a
// view, a test driver answers them. `exitOnHalt`: after the halt box, the process ends with
// code 0 (the real program); otherwise the threads end and the caller goes on.
void installWindowLayer(bool exitOnHalt);

// Posts Timer events to windows whose timer is due by clockTime()/today(). The view calls
// it from its own timer; the test driver when it advances the fake clock.
void pollTimers();
// Absolute time in hundredths (day * 8640000 + time of day) and the next timer due (0: none).
std::int64_t nowHundredths();
std::int64_t nextTimerDue();

// Forgets every window and box (tests).
void resetWindowLayer();

}  // namespace pf
