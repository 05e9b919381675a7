// quillbox-drive: runs Quillbox headless in the current folder and plays a script of user
// actions from standard input, printing after each step what the user would see.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/classes/report_controller.h"
#include "platform/core/dates.h"
#include "platform/core/strings.h"
#include "platform/os/desktop.h"
#include "platform/os/desktop_events.h"
#include "platform/report/print.h"
#include "platform/ui/keys.h"
#include "platform/ui/test_driver.h"
#include "shell/main_program.h"

namespace {

const char* Help = R"help(usage: quillbox-drive [--date YYYY-MM-DD] [--time HH:MM] [--slice N] [--quiet] < script

Runs Quillbox without a display in the current folder (its data files, Drives.ini,
Linkvue.ini) on a fake clock (default Thursday 10 December 2026, 9:00) and plays the
script on standard input, one action a line. It echoes each action ("> ACTION") and
prints what the user then sees (with --quiet only what "show", "text", "status" and
"clipboard" ask for):
  window NAME "CAPTION" thread N   the open windows, topmost first, marked active,
                                   minimised, maximised, or (no input) while a box or
                                   another window of its thread is in front
  focus CONTROL                    the focused control of the active window
  list LIST: R rows                the rows of its visible lists (the first 20), the
                                   hidden columns left out; a cell's own colours follow
                                   it as [text BBGGRR] or [back BBGGRR]
  box "CAPTION" (ICON):            an open message box, its text line by line and its
                                   buttons, the default one marked
  desktop opens ADDRESS            an address the program handed to the desktop (the
                                   driver's desktop takes every one and opens nothing)
An action the user could not do (a disabled item, no such control, a window that takes no
input) prints "user cannot: ..." and the script goes on. "(program ended)" closes the
output when the program ended by itself (Exit, a password refused); at the end of the
script the driver ends it.

Passes (reports, the tagging reset, the category rename, the CSV export) walk the file on
their window's timer, so on the fake clock they stand still until the script lets time
pass: "slice" runs one time slice, "advance 1s" ten. --slice N cuts every pass into
slices of at most N records (without it a slice takes the whole file), so a script can
act between slices.

Controls are named as in the window's layout ("?OK", "?BROWSESITES") or by number.
Texts run to the end of the line; put them in double quotes to keep blanks at either end.

  choose ITEM              choose a menu item or press a toolbar button of the frame
  click CONTROL            press a button, check box, radio, tab or region
  focus CONTROL            click into a control
  type CONTROL TEXT        replace the control's text (not yet accepted)
  keys CONTROL TEXT        type TEXT into the control key by key, as a keyboard does
                           (a category combo completes it from its list)
  enter CONTROL TEXT       type, then Tab
  press KEY                a key to the focused control: Tab, Enter, Esc, F1, Ctrl+C ...
                           (Backspace, Delete, Left, Right, Home, End edit an entry)
  check CONTROL on|off     set a check box
  pick CONTROL CHOICE      a radio, list row, drop list row or tab, by number or text
  row LIST N [COLUMN]      click row N of a list (in COLUMN: 1 is the browse's tick)
  dblrow LIST N [COLUMN]   double-click row N of a list
  answer BUTTON            answer the open box by button number or text ("&Yes", "Yes")
  answerfile NAME          answer a file dialog (no NAME cancels)
  answerdate YYYY-MM-DD    answer the calendar (no date cancels)
  answerprinter ok|cancel  answer the printer set-up; or OK with a change:
    answerprinter printer NAME | file NAME | copies N
                           a printer of the desktop, Print to File into the PDF NAME, copies
  printers NAME,...|none   the printers the desktop offers, its default first (at the start
                           one printer, "Printer"); none: no printer is installed
  close                    the close box of the active window
  state maximize|iconize|restore   change the active window's state
  resize W H               resize the active window (dialog units)
  activate WINDOW          bring a window (procedure name or caption) to the front
  in WINDOW                later actions address WINDOW; "in" alone: the active window
  slice [N]                let N time slices of the running passes go by (default 1)
  advance N[s]             the clock forward N hundredths (or N seconds), firing timers
  wait                     run until every program thread waits
  serve MS                 answer other programs (a second start) for MS milliseconds
  text CONTROL             print a control's text, and the part of it that is selected
  printed                  print what the newest print job put on paper, line by line
                           (without a display a job is recorded, not drawn: into a PDF too)
  show                     print everything: windows, controls, rows, status bar, box
  status N                 print the frame's status zone N
  clipboard                print the clipboard
  # ...                    a comment
  quit                     end the program and the script

The script ends at the end of the input or when the program ends. The exit code is 0
unless an option is wrong.

Example, in a folder where quillbox-gen 100 has written websites:
  choose ?FILEEXPORTTOCSV
  slice 3
  text ?PROGRESS:PCTTEXT
)help";

std::string unquote(std::string s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  return s;
}

// Splits "verb arg1 rest of the line" into the verb, the first argument and the rest.
struct Line {
  std::string verb, arg, rest;
};

Line split(const std::string& text) {
  Line l;
  std::istringstream in(text);
  in >> l.verb >> l.arg;
  std::getline(in, l.rest);
  std::size_t start = l.rest.find_first_not_of(' ');
  l.rest = start == std::string::npos ? std::string() : l.rest.substr(start);
  return l;
}

std::int32_t parseDate(const std::string& s) {
  int y = 0, m = 0, d = 0;
  if (std::sscanf(s.c_str(), "%d-%d-%d", &y, &m, &d) != 3) return 0;
  return pf::dateToDay(y, m, d);
}

const char* iconWord(pf::Icon icon) {
  switch (icon) {
    case pf::Icon::Information: return "information";
    case pf::Icon::Exclamation: return "exclamation";
    case pf::Icon::Question: return "question";
    case pf::Icon::Hand: return "hand";
    case pf::Icon::RedCross: return "red cross";
    case pf::Icon::Asterisk: return "asterisk";
    case pf::Icon::None: break;
  }
  return "";
}

// A cell's own colours as the platform's 0xBBGGRR values, when it has any.
std::string cellColours(const pf::Window& w, const pf::Control& list, int row, int column) {
  if (column > static_cast<int>(list.format.columns.size())) return {};
  int field = list.format.columns[static_cast<std::size_t>(column - 1)].field;
  const pf::ListRow& r = w.row(list.feq, row);
  if (field < 1 || field > static_cast<int>(r.cells.size())) return {};
  const pf::ListCell& cell = r.cells[static_cast<std::size_t>(field - 1)];
  std::string out;
  auto add = [&out](const char* what, std::int32_t colour) {
    if (colour == -1) return;
    char hex[16];
    std::snprintf(hex, sizeof hex, "%06X", static_cast<unsigned>(colour) & 0xFFFFFFu);
    out += std::string(" [") + what + " " + hex + "]";
  };
  add("text", cell.fg);
  add("back", cell.bg);
  add("selected text", cell.selFg);
  add("selected back", cell.selBg);
  return out;
}

// Takes every address the program hands to the desktop, so that no browser starts.
pf::RecordingDesktopShell desktop;
std::size_t desktopShown = 0;

void printView(pf::TestDriver& d) {
  for (; desktopShown < desktop.opened.size(); ++desktopShown)
    std::cout << "  desktop opens " << desktop.opened[desktopShown] << "\n";
  auto windows = d.windows();
  if (windows.empty()) std::cout << "  (no window open)\n";
  for (const auto& w : windows) {
    std::cout << "  window " << w.name << " \"" << w.caption << "\" thread " << w.thread;
    if (w.active) std::cout << " active";
    if (w.iconized) std::cout << " minimised";
    if (w.maximized) std::cout << " maximised";
    if (!w.takesInput) std::cout << " (no input)";
    std::cout << "\n";
  }
  if (!windows.empty()) {
    try {
      std::string f = d.focused();
      if (!f.empty()) std::cout << "  focus " << f << "\n";
      pf::Window& w = d.window();
      for (const pf::Control& c : w.controls()) {
        if (c.kind != pf::Kind::List || c.name.empty() || !w.visible(c.feq)) continue;
        auto rows = d.rows(c.name);
        std::cout << "  list " << c.name << ": " << rows.size() << " rows";
        if (int sel = d.selected(c.name)) std::cout << ", row " << sel << " selected";
        std::cout << "\n";
        for (std::size_t i = 0; i < rows.size() && i < 20; ++i) {
          std::cout << "    " << i + 1 << ":";
          for (std::size_t col = 0; col < rows[i].size(); ++col) {
            // A column of width 0 is hidden.
            if (col < c.format.columns.size() && c.format.columns[col].width == 0) continue;
            std::cout << " | " << rows[i][col] << cellColours(w, c, static_cast<int>(i) + 1, static_cast<int>(col) + 1);
          }
          std::cout << "\n";
        }
      }
    } catch (const std::exception&) {
    }
  }
  if (pf::Dialog* b = d.box()) {
    if (b->kind == pf::DialogKind::Message || b->kind == pf::DialogKind::Halt) {
      std::cout << "  box \"" << b->message.caption << "\"";
      if (b->message.icon != pf::Icon::None) std::cout << " (" << iconWord(b->message.icon) << ")";
      std::cout << ":\n";
      for (const std::string& line : pf::messageLines(b->message.text)) std::cout << "    | " << line << "\n";
      std::cout << "    buttons:";
      for (std::size_t i = 0; i < b->buttons.size(); ++i) {
        std::cout << " [" << i + 1 << "] " << b->buttons[i];
        if (static_cast<int>(i) + 1 == b->message.defaultButton) std::cout << " (default)";
      }
      std::cout << "\n";
    } else {
      static const char* kinds[] = {"message", "halt", "printer set-up", "calendar", "save file",
                                    "open file", "pop-up menu"};
      std::cout << "  dialog " << kinds[static_cast<int>(b->kind)];
      if (b->kind == pf::DialogKind::Calendar) std::cout << " \"" << b->calendar.caption << "\"";
      if (b->kind == pf::DialogKind::SaveFile || b->kind == pf::DialogKind::OpenFile)
        std::cout << " \"" << b->file.title << "\" " << b->file.fileName << " (" << b->file.filter << ")";
      if (b->kind == pf::DialogKind::PrinterSetup) {
        const pf::PrinterChoice& c = b->printer;
        std::vector<std::string> offered = pf::desktopPrinters();
        std::cout << ": ";
        if (!c.file.empty())
          std::cout << "Print to File (PDF) " << c.file;
        else if (!c.printer.empty() || !offered.empty())
          std::cout << "printer \"" << (c.printer.empty() ? offered.front() : c.printer) << "\"";
        else
          std::cout << "Print to File (PDF)";
        std::cout << ", " << c.copies << (c.copies == 1 ? " copy" : " copies");
        if (b->printing) std::cout << ", OK prints";
        std::cout << "\n    printers:";
        for (const std::string& p : offered) std::cout << " \"" << p << "\"";
        if (offered.empty()) std::cout << " none";
      }
      std::cout << "\n";
    }
  }
}

// The newest print job as the paper shows it: each page's texts line by line, top to
// bottom, the texts of a line left to right.
void printPrinted() {
  const auto& jobs = pf::printJobs();
  if (jobs.empty()) {
    std::cout << "  nothing printed\n";
    return;
  }
  const pf::PrintJob& job = jobs.back();
  std::cout << "  printed \"" << job.name << "\", " << job.printed.pages.size()
            << (job.printed.pages.size() == 1 ? " page" : " pages");
  // The desktop's default printer, once, goes without saying.
  if (!job.output.empty())
    std::cout << " into " << job.output;
  else if (auto offered = pf::desktopPrinters(); offered.empty() || job.printer != offered.front())
    std::cout << " on \"" << job.printer << "\"";
  if (job.copies != 1) std::cout << ", " << job.copies << " copies";
  std::cout << "\n";
  for (std::size_t p = 0; p < job.printed.pages.size(); ++p) {
    std::vector<const pf::PageItem*> texts;
    for (const pf::PageItem& item : job.printed.pages[p].items)
      if (item.kind == pf::PageItem::Kind::Text && !pf::trim(item.text).empty()) texts.push_back(&item);
    // Half a millimetre apart or less is one line.
    auto row = [](const pf::PageItem* i) { return static_cast<long>(std::lround(i->y * 2)); };
    std::stable_sort(texts.begin(), texts.end(), [&](const pf::PageItem* a, const pf::PageItem* b) {
      return row(a) != row(b) ? row(a) < row(b) : a->x < b->x;
    });
    std::cout << "    page " << p + 1 << "\n";
    for (std::size_t i = 0; i < texts.size(); ++i) {
      bool first = i == 0 || row(texts[i]) != row(texts[i - 1]);
      std::cout << (first ? (i ? "\n      " : "      ") : " | ") << pf::trim(texts[i]->text);
    }
    if (!texts.empty()) std::cout << "\n";
  }
}

// Before the user looks, what an action set going has run to its end, also when the action
// failed half-way: every program thread until it waits (with the jobs it handed to worker
// threads), and the timers already due, without the clock moving. Otherwise what one
// action left undone would show in the output of the next.
void settle(pf::TestDriver& d) {
  if (!d.programEnded()) d.advance(0);
}

// Plays one line; false when the script should stop.
bool play(pf::TestDriver& d, const std::string& text, std::string& in, bool& printed) {
  Line l = split(text);
  const std::string& v = l.verb;
  std::string rest = unquote(l.rest);
  printed = false;
  if (v == "choose") d.choose(l.arg, in);
  else if (v == "click") d.click(l.arg, in);
  else if (v == "focus") d.focus(l.arg, in);
  else if (v == "type") d.type(l.arg, rest, in);
  else if (v == "keys") d.typeKeys(l.arg, rest, in);
  else if (v == "enter") d.enter(l.arg, rest, in);
  else if (v == "press") d.press(l.arg, in);
  else if (v == "check") d.check(l.arg, l.rest == "on" || l.rest == "1", in);
  else if (v == "pick") d.pick(l.arg, rest, in);
  else if (v == "row" || v == "dblrow") {
    int row = std::atoi(l.rest.c_str()), column = 0;
    std::istringstream r(l.rest);
    r >> row >> column;
    if (v == "row") d.clickRow(l.arg, row, column, in);
    else d.doubleClickRow(l.arg, row, column, in);
  } else if (v == "answer") {
    std::string b = unquote((l.arg + (l.rest.empty() ? "" : " " + l.rest)));
    bool number = !b.empty() && b.find_first_not_of("0123456789") == std::string::npos;
    if (number) d.answer(std::atoi(b.c_str()));
    else d.answer(b);
  } else if (v == "answerfile") d.answerFile(unquote(l.arg + (l.rest.empty() ? "" : " " + l.rest)));
  else if (v == "answerdate") d.answerDate(l.arg.empty() ? 0 : parseDate(l.arg));
  else if (v == "answerprinter") {
    pf::PrinterChoice c = d.box() ? d.box()->printer : pf::PrinterChoice{};
    std::string name = unquote(l.rest);
    if (l.arg == "printer") {
      c.printer = name;
      c.file.clear();
      d.answerPrinter(c);
    } else if (l.arg == "file") {
      if (name.empty()) throw std::runtime_error("answerprinter file: give the PDF file's name");
      c.file = name;
      d.answerPrinter(c);
    } else if (l.arg == "copies") {
      c.copies = std::atoi(l.rest.c_str());
      d.answerPrinter(c);
    } else if (l.arg == "ok" || l.arg == "cancel") {
      d.answerPrinter(l.arg == "ok");
    } else {
      throw std::runtime_error("answerprinter: ok, cancel, printer NAME, file NAME or copies N");
    }
  } else if (v == "printers") {
    std::vector<std::string> names;
    std::string all = unquote(l.arg + (l.rest.empty() ? "" : " " + l.rest));
    if (all != "none") {
      std::istringstream in(all);
      for (std::string n; std::getline(in, n, ',');)
        if (!pf::trim(n).empty()) names.push_back(pf::trim(n));
    }
    pf::setDesktopPrinters(names);
    printed = true;   // nothing on the screen changes
  }
  else if (v == "close") d.closeBox(in);
  else if (v == "state") {
    pf::Prop p = l.arg == "maximize" ? pf::Prop::Maximize
                 : l.arg == "iconize" || l.arg == "minimize" ? pf::Prop::Iconize
                                                              : pf::Prop::Visible;
    d.setWindowState(p, in);
  } else if (v == "resize") d.resizeWindow(std::atoi(l.arg.c_str()), std::atoi(l.rest.c_str()), in);
  else if (v == "activate") d.activate(unquote(l.arg + (l.rest.empty() ? "" : " " + l.rest)));
  else if (v == "in") {
    in = unquote(l.arg + (l.rest.empty() ? "" : " " + l.rest));
    printed = true;   // nothing the user would see has changed
    return true;
  } else if (v == "advance") {
    std::string n = l.arg;
    int factor = 1;
    if (!n.empty() && n.back() == 's') {
      n.pop_back();
      factor = 100;
    }
    d.advance(std::atoi(n.c_str()) * factor);
  } else if (v == "slice") {
    int n = l.arg.empty() ? 1 : std::atoi(l.arg.c_str());
    for (int i = 0; i < n && !d.programEnded(); ++i) d.advance(pf::PassTimerPeriod);
  } else if (v == "wait") d.idle();
  else if (v == "serve") {
    pf::processDesktopEvents(std::atoi(l.arg.c_str()));
    d.idle();
  } else if (v == "show") {
    std::cout << d.snapshot();
    printed = true;
  } else if (v == "text") {
    std::string t = d.text(l.arg, in);
    std::cout << "  " << l.arg << " \"" << t << "\"";
    pf::Window& w = d.window(in);
    int f = d.feq(l.arg, in);
    auto from = w.propInt(f, pf::Prop::SelStart), to = w.propInt(f, pf::Prop::SelEnd);
    if (from < to)
      std::cout << " (\"" << pf::utf8Left(t, static_cast<std::size_t>(to)).substr(pf::utf8Left(t, static_cast<std::size_t>(from)).size())
                << "\" selected)";
    std::cout << "\n";
    printed = true;
  } else if (v == "printed") {
    printPrinted();
    printed = true;
  } else if (v == "status") {
    std::cout << "  status " << l.arg << ": " << d.status(std::atoi(l.arg.c_str())) << "\n";
    printed = true;
  } else if (v == "clipboard") {
    std::cout << "  clipboard: " << d.clipboard() << "\n";
    printed = true;
  } else if (v == "quit") return false;
  else throw std::runtime_error("unknown action \"" + v + "\" (see --help)");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::int32_t day = pf::dateToDay(2026, 12, 10);
  std::int32_t time = 9 * 360000 + 1;
  bool quiet = false;
  bool endedItself = false;
  int slice = 0;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::cout << Help;
      return 0;
    } else if (a == "--date" && i + 1 < argc) {
      day = parseDate(argv[++i]);
    } else if (a == "--time" && i + 1 < argc) {
      int h = 0, m = 0;
      std::sscanf(argv[++i], "%d:%d", &h, &m);
      time = (h * 60 + m) * 6000 + 1;
    } else if (a == "--slice" && i + 1 < argc) {
      slice = std::atoi(argv[++i]);
    } else if (a == "--quiet") {
      quiet = true;
    } else {
      std::cerr << "quillbox-drive: unknown option " << a << " (try --help)\n";
      return 2;
    }
  }
  // Answers a second start of the program while the script runs (see "serve").
  pf::processDesktopEvents(0);
  // The driver resets the runtime, so the thread hooks go in after it.
  pf::TestDriver d(day, time);
  pf::setDesktopShell(&desktop);
  qb::installThreadHooks();
  qb::registerHelp();
  pf::setSliceRecordLimit(slice);
  d.run(qb::MainProgram, [&] {
    std::string in;
    settle(d);
    if (!quiet) {
      std::cout << "> (start)\n";
      printView(d);
    }
    std::string line;
    while (!d.programEnded() && std::getline(std::cin, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::size_t start = line.find_first_not_of(" \t");
      if (start == std::string::npos || line[start] == '#') continue;
      line = line.substr(start);
      // Shown before it is played: an action that waits (for another program's lock) is
      // seen waiting.
      std::cout << "> " << line << "\n" << std::flush;
      bool printed = false;
      try {
        bool more = play(d, line, in, printed);
        settle(d);
        if (!more) break;
      } catch (const std::exception& e) {
        settle(d);
        // The driver's own refusals already say "user cannot: ...".
        std::string what = e.what();
        std::cout << (what.rfind("user cannot:", 0) == 0 ? "  " : "  cannot: ") << what << "\n" << std::flush;
        continue;
      }
      if (!printed && !quiet) printView(d);
      std::cout.flush();
    }
    endedItself = d.programEnded();
  });
  if (endedItself) std::cout << "(program ended)\n";
  return 0;
}
