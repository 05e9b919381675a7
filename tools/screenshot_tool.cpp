// quillbox-screenshots OUTDIR: starts Quillbox in the current folder (tools/screenshots fills it
// with generated websites first) and saves a picture of every window as a user meets it: the
// frame and its menus, the websites browse on each tab, each form in each mode, the category
// windows, the search and link dialogs, the report chooser, a report's progress window and
// preview page (while it grows and complete), printing into a PDF under its progress window
// (cancelled, then to the end), the maintenance windows, a box of every kind and the help window. For people
// to look at.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/os/help_window.h"
#include "platform/os/program.h"
#include "platform/report/print.h"
#include "platform/runtime/message.h"
#include "platform/runtime/runtime.h"
#include "platform/ui/keys.h"
#include "platform/ui/qt/qt_view.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "shell/main_program.h"

namespace {

QString out;

pf::Window* byName(const std::string& name) {
  for (pf::Window* w : pf::windowsInZOrder())
    if (w->name() == name) return w;
  return nullptr;
}

bool shown(const std::string& name) { return byName(name) != nullptr; }

void press(const std::string& window, const std::string& control) {
  if (pf::Window* w = byName(window)) {
    int feq = w->feq(control);
    if (feq) w->userPress(feq);
    else std::fprintf(stderr, "screenshots: %s has no %s\n", window.c_str(), control.c_str());
  } else {
    std::fprintf(stderr, "screenshots: no window %s for %s\n", window.c_str(), control.c_str());
  }
}

void menu(const std::string& item) { press("Main", item); }

void chooseTab(int tab) {
  if (pf::Window* b = byName("BrowseWebsites")) b->userChooseTab(b->feq("?CURRENTTAB"), tab);
}

// The user drags a control (the splitter bar) by `dy` pixels with the left button.
void drag(const std::string& window, const std::string& control, int dy) {
  pf::Window* w = byName(window);
  QWidget* bar = w ? pf::qt::controlWidget(w->id(), w->feq(control)) : nullptr;
  if (!bar) return;
  QPoint at = bar->rect().center();
  auto send = [bar](QEvent::Type t, QPoint p, Qt::MouseButtons b) {
    QMouseEvent e(t, p, bar->mapToGlobal(p), Qt::LeftButton, b, Qt::NoModifier);
    QApplication::sendEvent(bar, &e);
  };
  send(QEvent::MouseButtonPress, at, Qt::LeftButton);
  for (int step = 1; step <= 4; ++step) send(QEvent::MouseMove, at + QPoint(0, dy * step / 4), Qt::LeftButton);
  send(QEvent::MouseButtonRelease, at + QPoint(0, dy), Qt::NoButton);
}

// The user sizes a window by its frame to `w` by `h` pixels.
void resizeTo(const std::string& window, int w, int h) {
  if (pf::Window* m = byName(window))
    if (QWidget* top = pf::qt::widgetFor(m->id())) top->resize(QSize(w, h).expandedTo(top->minimumSizeHint()));
}

// The newest open box, or nullptr.
pf::Dialog* box() {
  auto open = pf::openDialogs();
  return open.empty() ? nullptr : open.front();
}

void answer(int button) {
  if (pf::Dialog* d = box()) pf::answerDialog(d->id, button);
}

// What the user sees: the whole screen under a display server, else the frame with the
// top-level windows drawn where they stand.
void shot(const std::string& name) {
  QPixmap pic;
  QScreen* screen = QGuiApplication::primaryScreen();
  if (QGuiApplication::platformName() == "xcb" && screen) {
    pic = screen->grabWindow(0);
  } else if (QWidget* f = pf::qt::frameWidget()) {
    pic = f->grab();
    QPainter p(&pic);
    for (QWidget* top : QApplication::topLevelWidgets())
      if (top != f && top->isVisible() && !qobject_cast<QMenu*>(top))
        p.drawPixmap(f->mapFromGlobal(top->mapToGlobal(QPoint(0, 0))), top->grab());
  }
  if (!pic.isNull()) pic.save(out + "/" + QString::fromStdString(name) + ".png");
}

// A picture at once, between two slices of a pass: what is drawn then is what the user sees.
void shotNow(const std::string& name) {
  QApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
  shot(name);
}

// The process's resident memory.
double residentMb() {
  QFile f("/proc/self/status");
  if (!f.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
  return 0;
}

// What a print left: the PDF (its pages), the print jobs, the memory.
void printed(const char* when) {
  QFile pdf("report.pdf");
  int pages = 0;
  if (pdf.open(QIODevice::ReadOnly)) {
    const QByteArray bytes = pdf.readAll();
    for (qsizetype at = bytes.indexOf("/Type /Page\n"); at >= 0; at = bytes.indexOf("/Type /Page\n", at + 1)) ++pages;
  }
  std::fprintf(stderr, "screenshots: %s: report.pdf %s, %d pages; %zu print jobs; %.1f MB resident\n", when,
               pdf.exists() ? "written" : "absent", pages, pf::printJobs().size(), residentMb());
}

void menuShots() {
  auto* f = qobject_cast<QMainWindow*>(pf::qt::frameWidget());
  if (!f) return;
  const auto actions = f->menuBar()->actions();
  for (QAction* a : actions) {
    QMenu* m = a->menu();
    if (!m) continue;
    QRect r = f->menuBar()->actionGeometry(a);
    QPoint at = f->menuBar()->mapToGlobal(r.bottomLeft());
    m->popup(at);
    QCoreApplication::processEvents();
    QPixmap pic = f->grab();
    QPainter p(&pic);
    p.drawPixmap(f->mapFromGlobal(at), m->grab());
    p.end();
    pic.save(out + "/menu-" + a->text().remove('&').toLower() + ".png");
    m->hide();
  }
}

// A procedure that shows one box of each kind, one after the other.
void boxesOfEveryKind() {
  pf::message("An information box.||It carries the information icon.", "Information", pf::Icon::Information);
  pf::message("A warning box with two buttons.", "Exclamation", pf::Icon::Exclamation, "&Remove|&Cancel", 2);
  pf::message("A question with three answers?", "Question", pf::Icon::Question, "&Yes|&No|&Cancel", 1);
  pf::message("A stop box: something went wrong.", "Hand", pf::Icon::Hand);
  pf::message("A box with the red cross.", "Red cross", pf::Icon::RedCross);
  pf::message("A plain box without an icon or a caption.");
}

struct Step {
  std::string what;
  std::function<void()> act;
  std::function<bool()> ready;   // empty: go on after the settle time
  int settle = 400;
};

std::vector<Step> steps;

void add(std::string what, std::function<void()> act, std::function<bool()> ready = {}, int settle = 400) {
  steps.push_back(Step{std::move(what), std::move(act), std::move(ready), settle});
}
void snap(const std::string& name) { add("shot " + name, [name] { shot(name); }, {}, 150); }
void waitFor(const std::string& what, std::function<bool()> ready, int settle = 500) {
  add(what, [] {}, std::move(ready), settle);
}

void run(std::size_t i) {
  if (i >= steps.size()) return;
  steps[i].act();
  auto started = std::make_shared<QElapsedTimer>();
  started->start();
  auto poll = std::make_shared<std::function<void()>>();
  *poll = [i, started, poll] {
    const Step& s = steps[i];
    if (s.ready && !s.ready() && started->elapsed() < 15000) {
      QTimer::singleShot(50, *poll);
      return;
    }
    if (s.ready && !s.ready()) std::fprintf(stderr, "screenshots: gave up waiting: %s\n", s.what.c_str());
    QTimer::singleShot(s.settle, [i] { run(i + 1); });
  };
  QTimer::singleShot(50, *poll);
}

void plan() {
  auto rows = [] {
    pf::Window* b = byName("BrowseWebsites");
    return b && b->rowCount(b->feq("?BROWSE:1")) > 0;
  };
  waitFor("the browse", rows, 1200);
  snap("frame");
  add("menus", menuShots);

  const char* tabs[] = {"description", "address", "category", "favorites", "highlighted", "colored"};
  for (int t = 1; t <= 6; ++t) {
    add("tab", [t] { chooseTab(t); }, {}, 500);
    snap(std::string("browse-tab") + std::to_string(t) + "-" + tabs[t - 1]);
  }
  add("tab 1", [] { chooseTab(1); });
  add("one category", [] {
    pf::Window* b = byName("BrowseWebsites");
    int combo = b->feq("?CAT:CATEGORY");
    if (b->rowCount(combo) >= 3) b->userSelectRow(combo, 3);
  }, {}, 600);
  snap("browse-one-category");
  add("all categories", [] {
    if (pf::Window* b = byName("BrowseWebsites")) b->userKey(pf::Key::F2);
  });
  add("splitter down", [] { drag("BrowseWebsites", "?HSPLIT", 90); }, {}, 600);
  snap("browse-splitter-down");
  add("splitter up", [] { drag("BrowseWebsites", "?HSPLIT", -160); }, {}, 600);
  snap("browse-splitter-up");
  add("browse made smaller", [] { resizeTo("BrowseWebsites", 640, 420); }, {}, 600);
  snap("browse-smaller");
  add("browse made larger", [] { resizeTo("BrowseWebsites", 900, 600); }, {}, 600);
  snap("browse-larger");
  add("Window > Tile", [] { menu("?TILE"); }, {}, 600);
  snap("browse-tiled");
  add("Window > Cascade", [] { menu("?CASCADE"); }, {}, 600);
  snap("browse-cascaded");

  // The website form in its three modes.
  add("insert", [] { press("BrowseWebsites", "?INSERT:3"); }, [] { return shown("UpdateWebsites"); });
  snap("form-insert");
  add("cancel", [] { press("UpdateWebsites", "?CANCEL"); }, [] { return !shown("UpdateWebsites"); });
  add("change", [] { press("BrowseWebsites", "?CHANGE:3"); }, [] { return shown("UpdateWebsites"); });
  snap("form-change");
  add("cancel", [] { press("UpdateWebsites", "?CANCEL"); }, [] { return !shown("UpdateWebsites"); });
  add("view", [] { press("BrowseWebsites", "?VIEW"); }, [] { return shown("UpdateWebsites"); });
  snap("form-view");
  add("close", [] { press("UpdateWebsites", "?CANCEL"); }, [] { return !shown("UpdateWebsites"); });
  add("delete", [] { press("BrowseWebsites", "?DELETE:3"); }, [] { return box() != nullptr; });
  snap("form-delete-question");
  add("keep it", [] {
    if (pf::Dialog* d = box()) pf::answerDialog(d->id, static_cast<int>(d->buttons.size()));
  }, [] { return box() == nullptr; });

  // Search and the link dialogs.
  add("search", [] { press("BrowseWebsites", "?GISBUSKDAF3"); }, [] { return shown("BuscadorF3"); });
  snap("search");
  add("close search", [] { press("BuscadorF3", "?F3BOT_CANCELAR"); }, [] { return !shown("BuscadorF3"); });
  add("other link", [] { press("BrowseWebsites", "?QLBUT"); }, [] { return shown("Win_OtherLink"); });
  snap("link-other");
  add("close", [] {
    if (pf::Window* w = byName("Win_OtherLink")) w->userClose();
  }, [] { return !shown("Win_OtherLink"); });
  add("e-mail", [] { press("BrowseWebsites", "?EMAILBUT"); }, [] { return shown("Win_EmailLink"); });
  snap("link-email");
  add("close", [] {
    if (pf::Window* w = byName("Win_EmailLink")) w->userClose();
  }, [] { return !shown("Win_EmailLink"); });

  // The report chooser, a report's question, progress window and preview.
  add("chooser", [] { press("BrowseWebsites", "?PRINTBUT"); }, [] { return shown("Win_Reports"); });
  snap("report-chooser");
  add("print", [] { press("Win_Reports", "?CLOSE"); }, [] { return box() != nullptr; });
  snap("report-question");
  add("include", [] { answer(2); }, [] {
    // Page 1 goes to the preview as soon as it is laid out: the progress window shows
    // until then.
    pf::Window* p = byName("Rpt_Websites");
    QWidget* top = p ? pf::qt::widgetFor(p->id()) : nullptr;
    if (!top || !top->isVisible()) return shown("_PreviewWindow_");
    shotNow("report-progress");
    return true;
  }, 100);
  waitFor("the preview", [] { return shown("_PreviewWindow_"); }, 1200);
  snap("report-preview");
  add("pages to print", [] { press("_PreviewWindow_", "?PREVIEW:PAGESTOPRINT"); }, [] { return shown("_PagesToPrint_"); });
  snap("report-pages-to-print");
  add("cancel", [] { press("_PagesToPrint_", "?CANCEL"); }, [] { return !shown("_PagesToPrint_"); });
  add("exit preview", [] { press("_PreviewWindow_", "?PREVIEW:EXITBUTTON"); }, [] { return !shown("_PreviewWindow_"); }, 800);

  // Printing: the preview while the pages after the first are still laid out, then with
  // every page; Print into a PDF under the progress window, cancelled, then to the end.
  auto report = [](const std::string& suffix) {
    add("chooser" + suffix, [] { press("BrowseWebsites", "?PRINTBUT"); }, [] { return shown("Win_Reports"); });
    add("print" + suffix, [] { press("Win_Reports", "?CLOSE"); }, [] { return box() != nullptr; });
    add("exclude" + suffix, [] { answer(1); }, [] { return shown("_PreviewWindow_"); }, 0);
  };
  auto complete = [] {
    pf::Window* w = byName("_PreviewWindow_");
    std::string count = w ? w->text(w->feq("?PREVIEW:PAGECOUNT")) : "";
    return !count.empty() && count.find("...") == std::string::npos;
  };
  add("print into a PDF", [] {
    pf::setPrintToFile(QDir::current().absoluteFilePath("report.pdf").toStdString());
    std::fprintf(stderr, "screenshots: before the prints %.1f MB resident\n", residentMb());
  });
  report("");
  snap("report-preview-building");
  waitFor("every page", complete, 300);
  snap("report-preview-complete");
  add("print", [] { press("_PreviewWindow_", "?PREVIEW:PRINTBUTTON"); }, [] { return shown("_PrintProgress_"); }, 0);
  add("shot print-progress", [] { shot("print-progress"); }, {}, 0);
  add("cancel printing", [] { press("_PrintProgress_", "?PROGRESS:CANCEL"); }, [] {
    return !shown("_PrintProgress_") && !shown("Win_Reports");
  });
  add("after cancel", [] { printed("after Cancel"); });
  report(" again");
  waitFor("every page again", complete, 300);
  add("print to the end", [] { press("_PreviewWindow_", "?PREVIEW:PRINTBUTTON"); }, [] {
    return !shown("_PrintProgress_") && !shown("_PreviewWindow_") && !shown("Win_Reports");
  }, 1000);
  add("after printing", [] {
    printed("printed");
    pf::setPrintToFile("");
  });

  // Categories.
  add("categories", [] { menu("?BROWSECATEGORIES"); }, [] { return shown("BrowseCategories"); });
  snap("categories-browse");
  add("insert", [] { press("BrowseCategories", "?INSERT:2"); }, [] { return shown("UpdateCategory"); });
  snap("category-form-insert");
  add("cancel", [] { press("UpdateCategory", "?CANCEL"); }, [] { return !shown("UpdateCategory"); });
  add("a category", [] {
    if (pf::Window* b = byName("BrowseCategories")) b->userSelectRow(b->feq("?BROWSE:1"), 4);
  });
  add("change", [] { press("BrowseCategories", "?CHANGE:2"); }, [] { return shown("UpdateCategory"); });
  snap("category-form-change");
  // A new name: the rename pass runs (its window hidden) and says what it did.
  add("rename", [] {
    if (pf::Window* f = byName("UpdateCategory")) {
      f->userType(f->feq("?CAT:CATEGORY"), "Learning");
      f->userPress(f->feq("?OK"));
    }
  }, [] { return box() != nullptr || !shown("UpdateCategory"); }, 800);
  snap("category-renamed");
  add("ok", [] {
    while (box()) answer(1);
  }, [] { return box() == nullptr; }, 400);
  add("cancel", [] {
    if (shown("UpdateCategory")) press("UpdateCategory", "?CANCEL");
  }, [] { return !shown("UpdateCategory"); });
  add("close", [] { press("BrowseCategories", "?CLOSE"); }, [] { return !shown("BrowseCategories"); });
  // A category changed while the websites browse is open: the closing note.
  waitFor("the closing note", [] { return box() != nullptr; }, 400);
  snap("categories-closing-note");
  add("ok", [] {
    while (box()) answer(1);
  }, [] { return box() == nullptr; });
  add("selected category report", [] { menu("?REPORTSBYSELCAT"); }, [] { return shown("Win_SelectCategory"); });
  snap("category-picker");
  add("continue", [] { press("Win_SelectCategory", "?CLOSE"); }, [] { return box() != nullptr; });
  // The renamed category has websites: the preview opens on page 1 ("No Records" otherwise).
  add("exclude", [] { answer(1); }, [] { return shown("_PreviewWindow_") || box() != nullptr; }, 600);
  snap("category-report-preview");
  add("exit preview", [] {
    if (shown("_PreviewWindow_")) press("_PreviewWindow_", "?PREVIEW:EXITBUTTON");
    else answer(1);
  }, [] { return !shown("_PreviewWindow_") && !shown("Rpt_WebsitesSelectedCat") && box() == nullptr; }, 800);

  // Windows of the frame's own thread: the browse must be closed for the maintenance menu.
  add("close the browse", [] { press("BrowseWebsites", "?CLOSE"); }, [] { return !shown("BrowseWebsites"); }, 1200);
  snap("frame-alone");
  add("preferences", [] { menu("?PREFERENCESSEL"); }, [] { return shown("Win_Preferences"); });
  snap("preferences");
  add("cancel", [] { press("Win_Preferences", "?CANCEL"); }, [] { return !shown("Win_Preferences"); });
  add("backup", [] { menu("?FILECREATEADATABACKUP"); }, [] { return shown("Win_BackupData"); });
  snap("backup");
  add("close", [] { press("Win_BackupData", "?CLOSE"); }, [] { return !shown("Win_BackupData"); });
  snap("backup-closed-unused");
  add("ok", [] {
    while (box()) answer(1);
  }, [] { return box() == nullptr; });
  // The password form tells the user to read its help first, then opens.
  add("password", [] { menu("?FILEPWORDPROTECTION"); }, [] { return box() != nullptr || shown("Update_Password"); });
  snap("password-notice");
  add("ok", [] {
    while (box()) answer(1);
  }, [] { return box() == nullptr && shown("Update_Password"); });
  snap("password-form");
  add("cancel", [] {
    if (pf::Window* w = byName("Update_Password")) w->userClose();
  }, [] { return !shown("Update_Password"); });
  add("about", [] { menu("?ABOUTABOUT"); }, [] { return shown("Win_About"); });
  snap("about");
  add("close", [] {
    if (pf::Window* w = byName("Win_About")) w->userClose();
  }, [] { return !shown("Win_About"); });
  add("reset colours", [] { menu("?MAINTENANCERESETCOLORS"); }, [] { return box() != nullptr; });
  snap("tagging-reset-question");
  add("remove", [] { answer(1); }, [] {
    pf::Window* p = byName("RemoveTagging");
    std::string pct = p ? p->text(p->feq("?PROGRESS:PCTTEXT")) : "";
    if (pct.empty() || pct == "0% Completed") return false;
    shotNow("tagging-reset-progress");
    return true;
  }, 100);
  waitFor("the end of the reset", [] { return !shown("RemoveTagging"); }, 600);
  add("end message", [] {}, {}, 300);
  snap("tagging-reset-done");
  add("ok", [] {
    while (box()) answer(1);
  }, [] { return box() == nullptr; });
  add("integrity check", [] { menu("?REPORTSINTEGRITYREPORT"); }, [] { return shown("_PreviewWindow_") || box(); }, 1200);
  snap("integrity-preview");
  // Print on a desktop without a printer: the box says why, the preview stays open.
  auto printBox = [] { return box() && box()->message.caption == "Print"; };
  add("print without a printer", [] {
    if (!shown("_PreviewWindow_")) return;
    pf::setDesktopPrinters({});
    press("_PreviewWindow_", "?PREVIEW:PRINTBUTTON");
  }, [printBox] { return !shown("_PreviewWindow_") || printBox(); }, 600);
  snap("print-failure");
  add("cancel the print", [printBox] {
    if (printBox()) answer(2);
  }, [printBox] { return !printBox(); });
  add("exit preview", [] {
    if (shown("_PreviewWindow_")) press("_PreviewWindow_", "?PREVIEW:EXITBUTTON");
    else answer(1);
  }, [] { return !shown("_PreviewWindow_") && !box(); }, 800);
  add("print setup", [] { menu("?PRINTSETUP"); }, [] { return box() != nullptr; }, 800);
  snap("print-setup");
  add("cancel", [] { answer(0); }, [] { return box() == nullptr; });
  add("calendar", [] { menu("?CALENDAR"); }, [] { return box() != nullptr; }, 600);
  snap("calendar");
  add("cancel", [] { answer(0); }, [] { return box() == nullptr; });

  // A box of every kind.
  add("boxes", [] { pf::start(boxesOfEveryKind, 25000); }, [] { return box() != nullptr; });
  for (const char* kind : {"information", "exclamation", "question", "hand", "redcross", "plain"}) {
    snap(std::string("box-") + kind);
    add("next box", [] { answer(1); }, [] { return true; }, 500);
  }
  // A wide frame: the toolbar and the status bar span it.
  add("wide frame", [] {
    if (QWidget* f = pf::qt::frameWidget()) f->resize(1270, 700);
  }, {}, 600);
  snap("frame-wide");
  // The help window, as Help contents opens it.
  add("help", [] { menu("?HELPHELPCONTENTS"); }, [] {
    QWidget* help = pf::qtHelpWindow();
    return help && help->isVisible();
  }, 600);
  snap("help");
  add("end", [] {
    if (pf::Window* f = pf::appFrame()) f->userClose();
  });
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
  QDir().mkpath(out);
  qb::installThreadHooks();
  qb::registerHelp();
  plan();
  QTimer::singleShot(0, [] { run(0); });
  QTimer::singleShot(240000, [] { pf::endAllThreads(); });
  pf::runOnDesktop(qb::MainProgram);
  return 0;
}
