// Plays the user against the headless window model: no display, no real time.
//
//   pf::TestDriver d;                     // fake clock, boxes wait for the driver
//   d.run(Main, [&] {                     // Main runs as program thread 1
//     d.choose("?BROWSESITES");           // every action runs until all threads wait
//     d.type("?WEB:DESCRIPTION", "News"); d.press("Tab");
//     d.click("?OK");
//     EXPECT_EQ(d.box()->message.text, "...");  d.answer("&Yes");
//   });
//
// or, without a thread 1, d.start(proc) runs a procedure on a new program thread.
// Controls are named as in the layout ("?OK") or given by number ("-3"), and are looked up
// in the active window unless `in` names a window (its procedure name or caption). A
// misuse (no such control, a window that takes no input, no box open) throws
// std::runtime_error saying what the user could not do.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/runtime/runtime.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"

namespace pf {

class TestDriver {
 public:
  // day, time: the fake clock's start (default 10 December 2026, 9:00).
  explicit TestDriver(std::int32_t day = 0, std::int32_t time = 9 * 360000 + 1);
  ~TestDriver();   // ends every program thread; resets the runtime and the window layer
  TestDriver(const TestDriver&) = delete;
  TestDriver& operator=(const TestDriver&) = delete;

  // --- running ------------------------------------------------------------------------
  // Runs `main` as program thread 1 and `user` as the user; returns when `user` has
  // returned (the program's threads are then ended) or the program ended by itself.
  void run(Procedure main, const std::function<void()>& user);
  int start(Procedure proc, std::string parameter = {});   // a new thread; runs until idle
  void idle();                        // run until every thread waits
  void advance(std::int32_t hundredths);   // fake clock forward, firing due timers in order
  bool programEnded() const;

  // --- the user's actions (each ends with idle()) --------------------------------------
  void choose(const std::string& menuItem, const std::string& in = {});   // menu or toolbar
  void click(const std::string& control, const std::string& in = {});     // button, check, radio, tab, region
  void focus(const std::string& control, const std::string& in = {});
  // Focuses the control and replaces its text (not yet accepted: Tab or a click does that).
  void type(const std::string& control, const std::string& text, const std::string& in = {});
  // Focuses the control and types the text into it key by key, as a keyboard does: each
  // character goes in over the selection or at the cursor, and a combo that completes
  // what is typed sees every keystroke. press() with Backspace, Delete, Left, Right, Home
  // or End edits a focused one-line entry the same way.
  void typeKeys(const std::string& control, const std::string& text, const std::string& in = {});
  // type() then Tab.
  void enter(const std::string& control, const std::string& text, const std::string& in = {});
  void press(const std::string& key, const std::string& in = {});        // "Tab", "Ctrl+Enter", "F3"
  void press(int key, const std::string& in = {});
  void check(const std::string& control, bool on, const std::string& in = {});
  // Radio by its text or value, list/combo/drop list row by number ("3") or shown text,
  // sheet tab by its text or number.
  void pick(const std::string& control, const std::string& choice, const std::string& in = {});
  void clickRow(const std::string& list, int row, int column = 0, const std::string& in = {});
  void doubleClickRow(const std::string& list, int row, int column = 0, const std::string& in = {});
  void scroll(const std::string& list, int scrollEvent, int thumb = 0, const std::string& in = {});
  void resizeColumn(const std::string& list, int column, int width, const std::string& in = {});
  void mouse(const std::string& control, int mouseEvent, int x, int y, const std::string& in = {});
  // Press on the control at (x, y), move by (dx, dy), release: MouseDown, Dragging (when
  // the control has a drag id), MouseMove, MouseUp.
  void drag(const std::string& control, int x, int y, int dx, int dy, const std::string& in = {});
  void closeBox(const std::string& in = {});          // the window's close box
  void resizeWindow(int w, int h, const std::string& in = {});
  // The screen shows `rows` rows of the list at once (as the Qt view reports it).
  void showRows(const std::string& list, int rows, const std::string& in = {});
  void setWindowState(Prop state, const std::string& in = {});   // Maximize, Iconize, Visible = restore
  void activate(const std::string& window);

  // --- boxes and dialogs ----------------------------------------------------------------
  Dialog* box();                                   // the newest open box or dialog, or null
  void answer(int button);                         // 1-based
  void answer(const std::string& buttonText);      // "&Remove" or "Remove"
  void answerDate(std::int32_t day);               // calendar; 0 cancels
  void answerFile(const std::string& fileName);    // file dialog; empty cancels
  void answerPrinter(bool ok);
  void answerPrinter(const PrinterChoice& chosen);   // OK with this printer, copies or file
  const std::vector<Dialog>& history() const;      // every box shown so far, answered or not
  std::vector<std::string> boxTexts() const;       // their texts, oldest first

  // --- what the user sees ---------------------------------------------------------------
  struct WindowInfo {
    std::string name, caption;
    int thread = 0;
    WindowKind kind = WindowKind::Plain;
    bool active = false, takesInput = false, iconized = false, maximized = false;
    std::uintptr_t id = 0;
  };
  std::vector<WindowInfo> windows() const;         // z-order, topmost first
  Window& window(const std::string& in = {});      // active window or the named one
  std::string focused(const std::string& in = {}); // name of the focused control
  std::string text(const std::string& control, const std::string& in = {});
  bool visible(const std::string& control, const std::string& in = {});
  bool enabled(const std::string& control, const std::string& in = {});
  bool checked(const std::string& control, const std::string& in = {});
  int selected(const std::string& control, const std::string& in = {});
  std::vector<std::vector<std::string>> rows(const std::string& list, const std::string& in = {});
  std::string status(int zone);                    // the frame's status zone
  std::string clipboard() const;
  std::string cursor() const;                      // "Wait" while counted, else the program's
  // Everything above as text: windows, focus, controls, rows, status bar, box.
  std::string snapshot() const;

  int feq(const std::string& control, const std::string& in = {});

 private:
  // The window and control of an entry that takes typing, given the focus; fails otherwise.
  std::pair<Window*, int> focusEntry(const std::string& control, const std::string& in);
  struct Impl;
  Impl* d_;
};

}  // namespace pf
