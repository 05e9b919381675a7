#include "shell/main_frame.h"

#include "data/access.h"
#include "data/dictionary.h"
#include "data/globals.h"
#include "platform/classes/error_manager.h"
#include "platform/core/pictures.h"
#include "platform/core/strings.h"
#include "platform/runtime/message.h"
#include "platform/ui/ui.h"
#include "maintenance/maintenance.h"
#include "reports/reports.h"
#include "shell/about.h"
#include "shell/open_url.h"
#include "shell/password.h"
#include "shell/procedures.h"
#include "shell/update_password.h"
#include "sites/browse_websites.h"
#include "sites/categories.h"
#include "sites/link_dialogs.h"

namespace qb {
namespace {

// Seven names in slots of nine characters, Sunday first.
const char WeekDays[] = "Sunday   Monday   Tuesday  WednesdayThursday Friday   Saturday ";

std::string fileError(const pf::File& file) {
  std::string name = pf::errorfile().empty() ? file.name() : pf::errorfile();
  return "Error with " + name + " (" + pf::error() + ")";
}

void primeDefaults() {
  *PREF = DefaultsRecord{};
  PREF->RECORDNUMBER = 1;
  PREF->AUTOOPENBROWSE = 1;
  PREF->SHOWPWORDS = 1;
  PREF->SHOWCATS = 1;
  PREF->TOOLTIPSONOFF = 0;
  PREF->HOMEPAGE = "";
  PREF->AUTOPWORD = 0;
  PREF->DEFAULTCAT = AllCategories;
  PREF->COLUMN4WIDTH = 45;
  PREF->COLUMN5WIDTH = 45;
  PREF->COLUMN6WIDTH = 25;
}

}  // namespace

std::string calendarText(std::int32_t day) {
  int slot = day % 7;
  if (slot < 0) slot += 7;
  return pf::clip(std::string(WeekDays + slot * 9, 9)) + ", " + pf::format(day, "@D4");
}

std::string clockText(std::int32_t time) { return pf::format(time, "@T3"); }

void registerProcedures() {
  registerProcedure(Proc::BrowseWebsites, BrowseWebsites);
  registerProcedure(Proc::BrowseCategories, BrowseCategories);
  registerProcedure(Proc::UpdateCategory, UpdateCategory);
  registerProcedure(Proc::Win_OtherLink, Win_OtherLink);
  registerProcedure(Proc::Win_EmailLink, Win_EmailLink);
  registerProcedure(Proc::Rpt_Websites, Rpt_Websites);
  registerProcedure(Proc::Rpt_WebsitesByCat, Rpt_WebsitesByCat);
  registerProcedure(Proc::Rpt_Visits, Rpt_Visits);
  registerProcedure(Proc::Rpt_WebsitesSelectedCat, Rpt_WebsitesSelectedCat);
  registerProcedure(Proc::Rpt_FavoritesOnly, Rpt_FavoritesOnly);
  registerProcedure(Proc::Rpt_WebsitesSecurityOnly, Rpt_WebsitesSecurityOnly);
  registerProcedure(Proc::Rpt_Integrity, Rpt_Integrity);
  registerProcedure(Proc::Win_Reports, Win_Reports);
  registerProcedure(Proc::Win_SelectCategory, Win_SelectCategory);
  registerProcedure(Proc::Win_Preferences, Win_Preferences);
  registerProcedure(Proc::RemoveTagging, RemoveTagging);
  registerProcedure(Proc::Win_BackupData, Win_BackupData);
  registerProcedure(Proc::Update_Password, Update_Password);
  registerProcedure(Proc::Create_CSV, Create_CSV);
  registerProcedure(Proc::Win_About, Win_About);
  registerProcedure(Proc::ViewSaveCSV, ViewSaveCSV);
}

void startProcedure(Proc p, int stack) { pf::start(procedure(p), stack); }

void callProcedure(Proc p) { procedure(p)(); }

void Main() {
  registerProcedures();
  MainFrame frame;
  pf::GLO_Response() = frame.Execute();
}

MainFrame::MainFrame() : WindowController("Main") {
  ResizeStrategy = pf::Resize::Anchor;
  ResizeMinSize = 0;
  ControlTopics = {{win().feq("?MAINTENANCEMENU"), "Program defaults.htm"}};
}

std::uint8_t MainFrame::Setup() {
  if (std::uint8_t rc = SetupBegin()) return rc;
  FIRSTFIELD = 1;
  CheckStartupPassword();
  OpenWindow();
  // A handler, so that the clock goes on while a window holds the frame's thread.
  win().registerHandler(
      pf::EVENT::Timer,
      [this](pf::Window&, const pf::Event&) {
        setCalendarAndClock();
        return 0;
      },
      this);
  win().setProp(0, pf::Prop::MinWidth, 400);
  win().setProp(0, pf::Prop::MinHeight, 300);
  SetupEnd();
  return 0;
}

std::uint8_t MainFrame::RunEventLoop() {
  std::int64_t timer = win().propInt(0, pf::Prop::Timer);
  if (timer < 1 || timer > 100) win().setTimer(100);
  setCalendarAndClock();
  return WindowController::RunEventLoop();
}

std::uint8_t MainFrame::TearDown() {
  if (std::uint8_t rc = WindowController::TearDown()) return rc;
  pf::setClipboard("");
  return TearDownEnd();
}

void MainFrame::setCalendarAndClock() {
  win().setText(feq("?CALENDAR"), calendarText(pf::today()));
  win().setStatusText(4, clockText(pf::clockTime()));
}

void MainFrame::setPasswordItems() {
  int apply = feq("?FILEPWORDPROTECTION");
  int change = feq("?FILECHGCLEARPASSWORDPROTECTION");
  if (GLO_PasswordOn == 1) {
    win().disable(apply);
    win().enable(change);
  } else {
    win().enable(apply);
    win().disable(change);
  }
}

void MainFrame::followMaintenanceMenu() {
  int menu = feq("?MAINTENANCEMENU");
  bool off = GLO_BrowseSitesOpen == 1;
  if (win().disabled(menu) != off) SetControlEnabled(menu, off ? 1 : 0);
}

bool MainFrame::maintenanceAllowed() {
  // A choice can arrive before the next window event has disabled the menu.
  followMaintenanceMenu();
  return GLO_BrowseSitesOpen != 1;
}

void MainFrame::Refresh(std::uint8_t force) {
  FORCEDRESET = static_cast<std::uint8_t>(FORCEDRESET + force);
  if (!win().isOpen() || win().inAcceptAll()) return;
  setPasswordItems();
  WindowController::Refresh(0);
}

std::uint8_t MainFrame::OnWindowEvent() {
  const pf::Event& e = win().currentEvent();
  if (e.code == pf::EVENT::OpenWindow) setPasswordItems();
  std::uint8_t rc = WindowController::OnWindowEvent();
  // The timer too: the menu then follows a browse within a second even when nothing
  // else happens in the frame.
  followMaintenanceMenu();
  return rc;
}

void MainFrame::AfterOpen() {
  preferenceBootstrap();
  WindowController::AfterOpen();
}

void MainFrame::preferenceBootstrap() {
  pf::File& file = Defaults();
  const int mode = pf::OpenMode::ReadWrite | pf::OpenMode::DenyWrite;
  // Every statement is checked: a failure is shown and the frame goes on with defaults.
  auto check = [&](int rc) {
    if (rc != 0) pf::message(fileError(file));
    return rc == 0;
  };
  bool opened = false;
  int rc = file.open(mode);
  if (rc == pf::Err::NoFile) {
    if (check(file.create()) && check(file.open(mode))) {
      primeDefaults();
      check(file.add());
      check(file.close());
      rc = file.open(mode);
    } else {
      rc = -1;
    }
  }
  if (rc > 0) check(rc);
  opened = rc == 0;
  if (opened) {
    file.set();
    int read = file.next();
    if (read == pf::Err::RecordNotAvailable) {
      // A file without its record gets one.
      primeDefaults();
      check(file.add());
    } else if (!check(read)) {
      primeDefaults();
    }
    check(file.close());
  } else {
    primeDefaults();
  }

  GLO_AutoOpenBrowse = PREF->AUTOOPENBROWSE;
  GLO_ShowPwords = PREF->SHOWPWORDS;
  GLO_ShowCats = PREF->SHOWCATS;
  GLO_HomePage = PREF->HOMEPAGE.clip();
  GLO_DefaultBupDrive = PREF->DEFAULTBUPDRIVE.str();
  GLO_DefaultCat = PREF->DEFAULTCAT.str();
  GLO_Column4Width = PREF->COLUMN4WIDTH;
  GLO_Column5Width = PREF->COLUMN5WIDTH;
  GLO_Column6Width = PREF->COLUMN6WIDTH;
  pf::setNoTips(PREF->TOOLTIPSONOFF != 0);
  if (GLO_Column4Width == 0) GLO_Column4Width = 45;
  if (GLO_Column5Width == 0) GLO_Column5Width = 45;
  if (GLO_Column6Width == 0) GLO_Column6Width = 25;
  if (GLO_AutoOpenBrowse == 1) startProcedure(Proc::BrowseWebsites, LargeStack);
}

bool MainFrame::homePageGuard() {
  if (!GLO_HomePage.clip().empty()) return true;
  pf::message(
      "Enter (Copy and Paste) the address (URL) of your Home Page under [Preferences].||You can "
      "then use this button for direct access to your Home Page.",
      "No Home Page address (URL) entered...", pf::Icon::Information);
  return false;
}

bool MainFrame::backupGuard() {
  bool sites = GLO_BrowseSitesOpen == 1, cats = GLO_BrowseCatsOpen == 1;
  if (sites && cats)
    pf::message("Please [Close] the Browse Websites and Browse Categories windows to enable the Backup option",
                "Files open...", pf::Icon::Information);
  else if (sites)
    pf::message("Please [Close] the Browse Websites window to enable the Backup option", "File open...",
                pf::Icon::Information);
  else if (cats)
    pf::message("Please [Close] the Browse Categories window to enable the Backup option", "File open...",
                pf::Icon::Information);
  return !sites && !cats;
}

std::uint8_t MainFrame::OnAccepted() {
  int control = win().field();
  if (control == feq("?INTERNETLINK")) {
    if (!homePageGuard()) return pf::Answer::Handled;
  } else if (control == feq("?BUPBUT")) {
    if (!backupGuard()) return pf::Answer::Handled;
  } else {
    fileMenu(control);
    editAction(control);
    windowMenu(control);
    browseMenu(control);
    reportsMenu(control);
    maintenanceMenu(control);
    helpMenu(control);
  }
  std::uint8_t rc = WindowController::OnAccepted();
  if (control == feq("?CALENDAR")) {
    pf::CalendarRequest r;
    r.caption = "View Calendar";
    r.date = pf::today();
    r.firstDayOfWeek = 0;
    r.sundayColor = r.saturdayColor = 0x0000FF;
    r.weekdayColor = 0x000000;
    r.holidayColor = 0x008000;
    r.takeHighlightedOnClose = true;
    pf::calendarDialog(r);
    Refresh(1);
  } else if (control == feq("?INTERNETLINK")) {
    OpenURL(win().id(), GLO_HomePage.clip());
  } else if (control == feq("?LINKSBUT")) {
    startProcedure(Proc::BrowseWebsites, LargeStack);
  } else if (control == feq("?CATBUT")) {
    startProcedure(Proc::BrowseCategories, SmallStack);
  } else if (control == feq("?BUPBUT")) {
    startProcedure(Proc::Win_BackupData, SmallStack);
  }
  return rc;
}

void MainFrame::fileMenu(int control) {
  if (control == feq("?PRINTSETUP")) {
    pf::printerSetup();
  } else if (control == feq("?FILEPWORDPROTECTION")) {
    GLO_PasswordChangeMode = 0;
    startProcedure(Proc::Update_Password, SmallStack);
  } else if (control == feq("?FILECHGCLEARPASSWORDPROTECTION")) {
    GLO_PasswordChangeMode = 1;
    startProcedure(Proc::Update_Password, SmallStack);
  } else if (control == feq("?FILEEXPORTTOCSV")) {
    startProcedure(Proc::Create_CSV, SmallStack);
  } else if (control == feq("?FILECREATEADATABACKUP")) {
    if (backupGuard()) callProcedure(Proc::Win_BackupData);
  } else if (control == feq("?EXIT")) {
    win().close();
  }
}

void MainFrame::editAction(int control) {
  bool cut = control == feq("?CUT"), copy = control == feq("?COPY"), paste = control == feq("?PASTE");
  if (!cut && !copy && !paste) return;
  // The focused entry of the window the user worked in last, never the frame itself.
  pf::Window* target = nullptr;
  for (pf::Window* w : pf::windowsInZOrder())
    if (w->isOpen() && w != &win()) {
      target = w;
      break;
    }
  if (!target) return;
  int f = target->focus();
  const pf::Control* c = target->control(f);
  if (!c || !c->hasEntry()) return;
  if (copy || cut) pf::setClipboard(target->text(f));
  if (cut && !c->readOnly) target->userType(f, "");
  if (paste && !c->readOnly) target->userType(f, target->text(f) + pf::clipboard());
}

void MainFrame::windowMenu(int control) {
  if (control == feq("?TILE")) pf::arrangeChildren(pf::MdiArrangement::Tile);
  else if (control == feq("?CASCADE")) pf::arrangeChildren(pf::MdiArrangement::Cascade);
  else if (control == feq("?ARRANGE")) pf::arrangeChildren(pf::MdiArrangement::ArrangeIcons);
}

void MainFrame::browseMenu(int control) {
  if (control == feq("?BROWSESITES"))
    startProcedure(Proc::BrowseWebsites, LargeStack);
  else if (control == feq("?BROWSECATEGORIES"))
    startProcedure(Proc::BrowseCategories, SmallStack);
  else if (control == feq("?BROWSENOTLISTED"))
    callProcedure(Proc::Win_OtherLink);
}

void MainFrame::reportsMenu(int control) {
  static const struct {
    const char* item;
    Proc procedure;
    int stack;
  } reports[] = {
      {"?REPORTSWEBSITELISTING", Proc::Rpt_Websites, LargeStack},
      {"?REPORTSBYCATEGORY", Proc::Rpt_WebsitesByCat, LargeStack},
      {"?REPORTSVISITS", Proc::Rpt_Visits, SmallStack},
      {"?REPORTSBYSELCAT", Proc::Rpt_WebsitesSelectedCat, LargeStack},
      {"?REPORTSFAVORITEWEBSITESONLY", Proc::Rpt_FavoritesOnly, LargeStack},
      {"?RPTSONLYIDORPASSWORD", Proc::Rpt_WebsitesSecurityOnly, SmallStack},
  };
  for (const auto& r : reports)
    if (control == feq(r.item)) startProcedure(r.procedure, r.stack);
}

void MainFrame::tagReset(const char* text, std::uint8_t mode) {
  if (pf::message(text, "Are you sure?", pf::Icon::Exclamation, "&Remove|&Cancel", 2) != 1) return;
  GLO_RemoveTagMode = mode;
  callProcedure(Proc::RemoveTagging);
}

void MainFrame::maintenanceMenu(int control) {
  bool item = control == feq("?PREFERENCESSEL") || control == feq("?MAINTENANCERESETCOLORS") ||
              control == feq("?MAINTENANCECLEARHL") ||
              control == feq("?MAINTENANCERESETCLEARALLFAVORITESTAGGING") ||
              control == feq("?REPORTSINTEGRITYREPORT");
  if (!item || !maintenanceAllowed()) return;
  if (control == feq("?PREFERENCESSEL"))
    callProcedure(Proc::Win_Preferences);
  else if (control == feq("?MAINTENANCERESETCOLORS"))
    tagReset("Warning: All Color tagging will be removed!", 1);
  else if (control == feq("?MAINTENANCECLEARHL"))
    tagReset("Warning: All Highlight tagging will be removed!", 2);
  else if (control == feq("?MAINTENANCERESETCLEARALLFAVORITESTAGGING"))
    tagReset("Warning: All Favorite tagging will be removed (un-ticked)!", 3);
  else if (control == feq("?REPORTSINTEGRITYREPORT"))
    startProcedure(Proc::Rpt_Integrity, SmallStack);
}

void MainFrame::helpMenu(int control) {
  if (control == feq("?HELPHELPCONTENTS")) {
    if (Help) Help->HelpShowContents();
  } else if (control == feq("?HELPQUICKHELP")) {
    if (Help) Help->HelpKeywordLookup("Browse websites tour", "Help Topic", "Not Found");
  } else if (control == feq("?ABOUTABOUT")) {
    callProcedure(Proc::Win_About);
  }
}

}  // namespace qb
