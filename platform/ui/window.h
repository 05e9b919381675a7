// A window of the model: built from a layout, opened on the calling program thread, and run
// by its procedure's loop:
//
//   pf::Window win("UpdateWebsites");
//   win.bind("WEB:DESCRIPTION", pf::use(rec.DESCRIPTION));
//   win.open();
//   while (win.accept()) {
//     if (win.event() == pf::EVENT::Accepted && win.field() == win.feq("?OK")) win.close();
//   }
//
// accept() carries out the platform's own actions (focus moves, taking entries into their
// variables, Esc and the close box, timers, AcceptAll) and returns each event the procedure
// must see. Control 0 addresses the window itself in the property calls.
//
// The user* calls are the user's side: the Qt view and the test driver make them from outside
// any program thread; they change what the user sees at once and post the rest to the
// window's thread. Procedures never call them.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime/runtime.h"
#include "platform/ui/controls.h"
#include "platform/ui/layout.h"

namespace pf {

class Window {
 public:
  explicit Window(const std::string& procedure);   // from findLayout(); throws LayoutError
  explicit Window(const Layout& layout);
  ~Window();                                       // closes it when still open
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  std::uintptr_t id() const;       // never reused; Event::window
  const std::string& name() const;
  WindowKind kind() const;
  int thread() const;              // 0 until opened
  const WindowAttrs& attrs() const;

  // --- life ---------------------------------------------------------------------------
  // Shows the window on top of the calling thread's windows; OpenWindow is its first event.
  void open();
  bool isOpen() const;
  // Next event; false once the window has closed (the loop ends).
  bool accept();
  // Posts CloseWindow; the window closes after the procedure has seen it, unless it cycles.
  void close();
  // Closes at once, without an event.
  void closeNow();
  // Refuses the current event's default: a CloseWindow or CloseDown does not close.
  void cycle();

  // --- the current event ------------------------------------------------------------
  const Event& currentEvent() const;
  int event() const;
  int field() const;
  int keyCode() const;    // AlertKey's key, CloseWindow's Esc, Selected's Tab or Shift+Tab, ...
  int focus() const;
  // The control Tab (dir 1) or Shift+Tab (-1) moves the focus to from `from`; 0 when none.
  int nextFocusable(int from, int dir) const;
  int mouseX() const;   // dialog units from the client area's corner
  int mouseY() const;

  // --- events from the program --------------------------------------------------------
  void post(int code, int control = 0, std::int64_t param = 0);
  // Moves the focus (posts Selected for the control); a prompt passes it to the next
  // control. select(0) starts AcceptAll.
  void select(int feq);
  void selectRow(int feq, int row);    // a list's row (NewSelection is not posted)
  // Every input control in turn is taken as if accepted; a handler that selects a control
  // ends the mode; when all pass, EVENT::Completed is posted.
  void acceptAll();
  bool inAcceptAll() const;
  // Shows the use variables in their controls (0: all).
  void display(int feq = 0);
  // Takes the controls' shown values into their use variables (0: all).
  void update(int feq = 0);

  // --- controls -----------------------------------------------------------------------
  int feq(std::string_view name) const;   // letter case ignored; 0 when absent
  // nullptr when absent. The pointer holds until that control is destroyed, whatever other
  // controls are created or destroyed meanwhile.
  const Control* control(int feq) const;
  const std::list<Control>& controls() const;   // layout order
  int create(Kind kind, int feq = 0, int parent = 0);   // 0: the next free number
  void destroy(int feq);
  void setPosition(int feq, int x, int y, int w, int h);
  int highestFeq() const;

  // --- properties ---------------------------------------------------------------------
  std::string propText(int feq, Prop p, int index = 0) const;
  std::int64_t propInt(int feq, Prop p, int index = 0) const;
  void setProp(int feq, Prop p, std::string_view value, int index = 0);
  void setProp(int feq, Prop p, std::int64_t value, int index = 0);

  std::string text(int feq) const { return propText(feq, Prop::Text); }
  void setText(int feq, std::string_view s) { setProp(feq, Prop::Text, s); }
  void hide(int feq) { setProp(feq, Prop::Hide, 1); }
  void unhide(int feq) { setProp(feq, Prop::Hide, 0); }
  void disable(int feq) { setProp(feq, Prop::Disable, 1); }
  void enable(int feq) { setProp(feq, Prop::Disable, 0); }
  bool hidden(int feq) const { return propInt(feq, Prop::Hide) != 0; }
  bool disabled(int feq) const { return propInt(feq, Prop::Disable) != 0; }
  bool visible(int feq) const { return propInt(feq, Prop::Visible) != 0; }
  std::int32_t color(int feq) const { return static_cast<std::int32_t>(propInt(feq, Prop::Color)); }
  void setColor(int feq, std::int32_t c) { setProp(feq, Prop::Color, c); }
  int choice(int feq) const { return static_cast<int>(propInt(feq, Prop::Selected)); }
  std::string caption() const { return propText(0, Prop::Text); }
  void setCaption(std::string_view s) { setProp(0, Prop::Text, s); }
  void setTimer(int hundredths) { setProp(0, Prop::Timer, hundredths); }

  // --- use variables -------------------------------------------------------------------
  void bind(int feq, const Binding& b);
  // Binds every control whose use name is `useName`; returns how many.
  int bind(std::string_view useName, const Binding& b);

  // --- keys ---------------------------------------------------------------------------
  void alert(int key);              // the window's alert keys
  void alert(int feq, int key);     // a control's
  void unalert(int key);
  void unalert(int feq, int key);
  bool alerted(int feq, int key) const;

  // --- lists, combos, drop lists -----------------------------------------------------
  int rowCount(int feq) const;
  const ListRow& row(int feq, int row) const;        // 1-based
  void setRows(int feq, std::vector<ListRow> rows);
  void addRow(int feq, ListRow r);
  void insertRow(int feq, int at, ListRow r);        // before row `at` (1-based)
  void setRow(int feq, int row, ListRow r);
  void deleteRow(int feq, int row);
  void clearRows(int feq);
  // The text a cell shows: its value through the column's picture.
  std::string cellText(int feq, int row, int column) const;   // display column, 1-based
  int columnCount(int feq) const;
  int columnWidth(int feq, int column) const { return static_cast<int>(propInt(feq, Prop::ColumnWidth, column)); }
  void setColumnWidth(int feq, int column, int width) { setProp(feq, Prop::ColumnWidth, width, column); }
  int rowsVisible(int feq) const { return static_cast<int>(propInt(feq, Prop::Items)); }

  // --- status bar: the window's own or, for an MDI child, nothing (use the frame's) ----
  void setStatusText(int zone, std::string_view s) { setProp(0, Prop::StatusText, s, zone); }
  std::string statusText(int zone) const { return propText(0, Prop::StatusText, zone); }

  // --- registered handlers: run before the procedure sees the event -------------------
  // A handler answering non-zero consumes the event.
  using Handler = std::function<int(Window&, const Event&)>;
  void registerHandler(int event, Handler h, const void* owner, int control = 0);
  void unregisterHandler(int event, const void* owner, int control = 0);

  // --- the user's side (the view and the test driver) -------------------------------
  bool takesInput() const;                 // open, top of its thread, no box open there
  void userFocus(int feq);                 // clicked into or tabbed to
  void userType(int feq, std::string_view text);   // the shown text changed (no event)
  // A keystroke in an entry, as its editor carried it out: the text, the cursor and the
  // other end of the selection it left (characters), and the key. An immediate combo
  // gets the newest keystroke as NewSelection with the key in the event's parameter.
  void userKeystroke(int feq, std::string_view text, int cursor, int anchor, int key);
  void userPress(int feq);                 // button, check, radio, menu item, toolbar button
  void userKey(int key);                   // to the focused control
  void userSelectRow(int feq, int row, int column = 0);
  void userDoubleClick(int feq, int row, int column = 0);
  void userChooseTab(int sheet, int tab);  // tab: 1-based among the sheet's tabs
  void userScroll(int feq, int scrollEvent, int thumb = 0);   // EVENT::ScrollUp ... ScrollDrag
  void userMouse(int feq, int mouseEvent, int x, int y);      // EVENT::MouseDown/Up/Move
  void userColumnResize(int feq, int column, int width);
  void userMoveColumn(int feq, int from, int to);
  void userClose();                        // the close box
  void userResize(int w, int h);
  void userMove(int x, int y);
  void userSetState(Prop state);           // Prop::Maximize, Prop::Iconize or Prop::Active (restore: Prop::Visible)
  void userActivate();
  // The view shows `rows` rows of the list at once (its row height is its own); a change
  // reaches the procedure as EVENT::Sized, so that a page of rows is filled anew.
  void userListRows(int feq, int rows);
  // Where an Alt key stroke goes by the hot keys of the texts ("&OK"): this window's
  // buttons, check boxes, radio buttons and prompts, then the frame's toolbar (from an MDI
  // child), then the menus of the menu bar (the window's own or the frame's), then this
  // window's tabs. The first in layout order wins; hidden and disabled ones take no key.
  struct Mnemonic {
    Window* window = nullptr;   // nullptr: nothing answers the key
    int feq = 0;
  };
  Mnemonic mnemonicTarget(int key);

  // The model's change counter (the view redraws when it moved).
  std::uint64_t changes() const;

 public:
  struct Impl;   // the model's state; window.cpp and the platform's own parts only

 private:
  friend struct WindowAccess;
  std::unique_ptr<Impl> d_;

  Control* find(int feq);
  const Control* findc(int feq) const;
  Control& need(int feq);
  const Control& needc(int feq) const;
  void changed(int feq, Prop p);
  bool shown(const Control& c) const;
  bool enabledc(const Control& c) const;
  bool focusable(const Control& c) const;
  void closeInternal();
  void pushStep(std::function<void()> s);
  void deliverLater(Event e);
  void finishCurrent();
  void route(const Event& e);
  void acceptAllStep(int from);
  void showValue(Control& c);
  void takeValue(Control& c, bool& rejected);
  void moveFocus(int to, bool postSelected, int key = 0);
  int leaveFocused();
  void leaveThen(std::function<void()> then);
  void postInput(int kind, int feq, int a = 0, int b = 0, int c = 0);
  void runInput(const Event& e);
  void pressControl(int feq);
  bool pressByKey(int key);
  bool pressMnemonic(int key);
  void keyDefault(int key);
  void listKey(Control& c, int key);
  void pickRow(Control& c, int row, int column, bool twice);
};

}  // namespace pf
