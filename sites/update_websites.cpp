#include "sites/update_websites.h"

#include "data/access.h"
#include "data/dictionary.h"
#include "data/globals.h"
#include "platform/classes/browse_manager.h"
#include "platform/classes/error_manager.h"
#include "platform/classes/window_controller.h"
#include "platform/core/pictures.h"
#include "platform/core/strings.h"
#include "platform/core/visible_text.h"
#include "platform/runtime/message.h"
#include "platform/store/view.h"
#include "platform/ui/keys.h"
#include "platform/ui/ui.h"
#include "shell/procedures.h"

namespace qb {

std::string normaliseAddress(const std::string& address) {
  std::string s = pf::trim(address);
  std::size_t start = 0;
  std::size_t scheme = s.find("://");
  std::size_t firstSep = s.find_first_of("/?#");
  if (scheme != std::string::npos && scheme < firstSep) {
    start = scheme + 3;
  } else {
    std::size_t colon = s.find(':');
    // "mailto:Name@Host": the scheme, and the host after the '@'.
    if (colon != std::string::npos && colon < firstSep && s.find('.') > colon) {
      std::string out = pf::lower(s.substr(0, colon + 1));
      std::string rest = s.substr(colon + 1);
      std::size_t at = rest.rfind('@');
      if (at != std::string::npos) rest = rest.substr(0, at + 1) + pf::lower(rest.substr(at + 1));
      return out + rest;
    }
  }
  std::size_t end = s.find_first_of("/?#", start);
  if (end == std::string::npos) end = s.size();
  // Letters of the user part before an '@' in the host part are the user's.
  std::size_t at = s.rfind('@', end);
  std::size_t hostStart = (at != std::string::npos && at >= start) ? at + 1 : start;
  return pf::lower(s.substr(0, start)) + s.substr(start, hostStart - start) +
         pf::lower(s.substr(hostStart, end - hostStart)) + s.substr(end);
}

bool addressMissing(const std::string& address) {
  std::string s = pf::lower(pf::trim(address));
  return s.empty() || s == "http://www.";
}

namespace {

constexpr int HistoryKey = pf::Key::Ctrl | pf::Key::Quote;   // 734

std::string d017(std::int32_t day) { return pf::format(pf::Value(static_cast<std::int64_t>(day)), "@D017"); }

class UpdateWebsitesWindow : public pf::WindowController {
 public:
  UpdateWebsitesWindow() : WindowController("UpdateWebsites") {
    InstanceMarker = &GLO_UpdateWebsitesThread;
  }

  std::uint8_t RunEventLoop() override;
  std::uint8_t Setup() override;
  std::uint8_t TearDown() override;
  void PrimeHook() override { WEB->TEXTCOLOR = 1; }
  std::uint8_t Execute() override;
  std::uint8_t ExecuteUpdate(int number, std::uint8_t request) override;
  std::uint8_t OnAccepted() override;
  std::uint8_t OnFieldEvent() override;

 private:
  int feq(const char* name) { return win().feq(name); }
  bool viewMode() const { return ORIGINALREQUEST == pf::Request::View; }
  // Each answers true when the button's handling stops here.
  bool prime();
  bool clearAddress();
  bool paste();
  bool deleteNotes();
  bool okChecks();
  void addHistory();
  void stop(int control) { win().select(control); }

  std::string LOC_DATEADDED, LOC_DATEUPDATED, LOC_LASTVISITED, LOC_VISITS;
  pf::View catView{Category()};
  pf::DropComboLookup combo;
};

std::uint8_t UpdateWebsitesWindow::Setup() {
  if (std::uint8_t rc = SetupBegin()) return rc;
  FIRSTFIELD = feq("?WEB:NAMECOMMENT:PROMPT");
  WindowInitHistory(HistoryKey);
  for (const char* c : {"?WEB:DESCRIPTION", "?WEB:WEBADDRESS", "?WEB:LOGONID", "?WEB:PASSWORD",
                        "?WEB:QZVT_YN", "?WEB:HIGHLIGHT", "?WEB:HIGHLIGHT2", "?WEB:FAVOURITEYN",
                        "?WEB:TEXTCOLOR"})
    WindowAddHistoryField(feq(c));
  WindowAddSaveFile(Access_WSites());
  WindowAddButton(feq("?CANCEL"), pf::Response::Cancelled);
  PRIMARY = &Relate_WSites();
  if (SetupFiles({&Relate_Category(), &Relate_WSites()}) != 0) return pf::Answer::LeaveLoop;

  std::int32_t today = pf::today();
  LOC_DATEADDED = "Added:     " + d017(WEB->DATEADDED != 0 ? WEB->DATEADDED.get() : today);
  LOC_DATEUPDATED = "Updated:  " + d017(WEB->DATEADDED != 0 && WEB->DATEUPDATED != 0 ? WEB->DATEUPDATED.get() : today);
  LOC_LASTVISITED = WEB->LASTVISIT != 0 ? "Last visit:  " + d017(WEB->LASTVISIT) : "Last visit:  - -";
  LOC_VISITS = "Number of visits:  " + pf::format(pf::Value(static_cast<std::int64_t>(WEB->VISITS.get())), "@N10");

  if (viewMode()) {
    INSERTACTION = CHANGEACTION = DELETEACTION = 1;
    CANCELACTION = 0;
    OKCONTROL = 0;
  } else {
    CHANGEACTION = 2;
    OKCONTROL = feq("?OK");
    if (PrepareFiles() != 0) return pf::Answer::Handled;
  }

  pf::Window& w = win();
  w.bind("WEB:DESCRIPTION", pf::use(WEB->DESCRIPTION));
  w.bind("WEB:WEBADDRESS", pf::use(WEB->WEBADDRESS));
  w.bind("WEB:LOGONID", pf::use(WEB->LOGONID));
  w.bind("WEB:PASSWORD", pf::use(WEB->PASSWORD));
  w.bind("WEB:HIGHLIGHT", pf::use(WEB->HIGHLIGHT));
  w.bind("WEB:FAVOURITEYN", pf::use(WEB->FAVOURITEYN));
  w.bind("WEB:QZVT_YN", pf::use(WEB->QZVT_YN));
  w.bind("WEB:HIGHLIGHT2", pf::use(WEB->HIGHLIGHT2));
  w.bind("WEB:TEXTCOLOR", pf::use(WEB->TEXTCOLOR));
  w.bind("WEB:SITENOTES", pf::use(WEB->SiteNotes));
  w.bind("LOC:DATEADDED", pf::use(LOC_DATEADDED));
  w.bind("LOC:DATEUPDATED", pf::use(LOC_DATEUPDATED));
  w.bind("LOC:LASTVISITED", pf::use(LOC_LASTVISITED));
  w.bind("LOC:VISITS", pf::use(LOC_VISITS));
  OpenWindow();
  if (viewMode())
    for (const char* c : {"?WEB:DESCRIPTION", "?WEB:WEBADDRESS", "?CAT:CATEGORY", "?WEB:LOGONID",
                          "?PRIMEBUT", "?CLEARBUT", "?ADDHISTBUT", "?WEB:PASSWORD", "?WEB:HIGHLIGHT",
                          "?WEB:FAVOURITEYN", "?WEB:SITENOTES", "?DELNOTESBUT", "?PASTEBUT", "?OK"})
      w.disable(feq(c));

  combo.DropComboInit(pf::use(CAT->CATEGORY), feq("?CAT:CATEGORY"), catView, Relate_Category(), *this,
                      1, 0, 0);
  combo.ENTRYCOMPLETION = 0;
  combo.ASKPROCEDURE = 1;
  combo.ViewAddSortOrder(nullptr);
  combo.ViewSetFilter("CAT:Category <> 'All Categories'");
  combo.DropAddDisplayField(pf::use(CAT->CATEGORY));
  combo.DropAddUpdateField(pf::use(CAT->CATEGORY), pf::use(WEB->CATEGORY));
  combo.DEFAULTFILL = 0;
  WindowAddComponent(combo);
  SetupEnd();
  return 0;
}

std::uint8_t UpdateWebsitesWindow::RunEventLoop() {
  switch (ORIGINALREQUEST) {
    case pf::Request::View: win().setCaption("View Only Mode"); break;
    case pf::Request::Insert: win().setCaption("Add Website"); break;
    case pf::Request::Change: win().setCaption("Edit Website"); break;
    default: win().setCaption(""); break;
  }
  return WindowController::RunEventLoop();
}

std::uint8_t UpdateWebsitesWindow::Execute() {
  std::uint8_t r = WindowController::Execute();
  return viewMode() ? pf::Response::Cancelled : r;
}

std::uint8_t UpdateWebsitesWindow::TearDown() {
  // The caller finds the record just written in its buffer, not the copy kept before.
  bool written = RESPONSE == pf::Response::Completed &&
                 (ORIGINALREQUEST == pf::Request::Insert || ORIGINALREQUEST == pf::Request::Change);
  pf::Position pos = written ? WSites().position() : pf::Position{};
  if (std::uint8_t rc = WindowController::TearDown()) return rc;
  if (written && !pos.empty()) WSites().get(pos);
  return TearDownEnd();
}

std::uint8_t UpdateWebsitesWindow::ExecuteUpdate(int /*number*/, std::uint8_t request) {
  if (viewMode()) return pf::Response::Cancelled;
  pf::GLO_Request() = request;
  procedure(Proc::UpdateCategory)();
  return pf::GLO_Response() ? pf::GLO_Response() : pf::Response::Cancelled;
}

bool UpdateWebsitesWindow::prime() {
  if (!WEB->WEBADDRESS.blank()) {
    pf::message("Can not prime with 'http://www.' as the entry field is not blank!||You can use the [Clear] "
                "button to remove the existing URL.",
                "Please note...", pf::Icon::Question);
    stop(feq("?WEB:WEBADDRESS"));
    return true;
  }
  WEB->WEBADDRESS = "http://www.";
  win().display(feq("?WEB:WEBADDRESS"));
  return false;
}

bool UpdateWebsitesWindow::clearAddress() {
  if (WEB->WEBADDRESS.blank()) return false;
  int a = pf::message("Are you sure you want to remove the current address (URL)?", "Remove?", pf::Icon::Question,
                      "&Remove|&Cancel", 1);
  if (a == 1) {
    WEB->WEBADDRESS = "";
    win().display(feq("?WEB:WEBADDRESS"));
  }
  stop(feq("?WEB:WEBADDRESS"));
  return true;
}

bool UpdateWebsitesWindow::paste() {
  // Pasted as typed: what the field cannot show is not taken.
  std::string text = pf::enteredText(pf::clipboard());
  int address = feq("?WEB:WEBADDRESS");
  if (pf::clip(text).empty()) {
    pf::message("Nothing to Paste from the Windows Clipboard?", "Clipboard empty...", pf::Icon::Question);
    stop(address);
    return true;
  }
  if (pf::clip(text).size() > 254) {
    pf::message("The text being pasted is to long for this entry field", "255 Characters Max...",
                pf::Icon::Exclamation);
    stop(address);
    return true;
  }
  if (!WEB->WEBADDRESS.blank()) {
    int a = pf::message("Do you want to overwrite the existing address?", "Field not empty...", pf::Icon::Question,
                        "&Overwrite|&Cancel", 1);
    if (a != 1) {
      stop(address);
      return true;
    }
    WEB->WEBADDRESS = text;
  }
  if (WEB->WEBADDRESS.blank() || WEB->WEBADDRESS.clip() == "http://www.") WEB->WEBADDRESS = text;
  win().display(address);
  return false;
}

bool UpdateWebsitesWindow::deleteNotes() {
  if (WEB->SiteNotes.blank()) {
    pf::message("There are no notes to delete.", "Blank...", pf::Icon::Exclamation);
    return true;
  }
  int a = pf::message("Completely delete all these notes?", "Please confirm...", pf::Icon::Question,
                      "&Cancel|&Delete", 1);
  if (a == 2) {
    WEB->SiteNotes = "";
    win().display();
    pf::message("You can still retain by clicking on this windows |[Cancel] button then the [No] button.",
                "Deleted in error?", pf::Icon::Information);
  }
  return false;
}

bool UpdateWebsitesWindow::okChecks() {
  if (WEB->DESCRIPTION.blank()) {
    pf::message("The 'Description' entry field can not be blank.", "Small problem...", pf::Icon::Exclamation);
    stop(feq("?WEB:DESCRIPTION"));
    return true;
  }
  if (addressMissing(WEB->WEBADDRESS.str())) {
    pf::message("No website address (URL) has been entered for this record!||The recommended method is to "
                "Copy and Paste this from your browser.",
                "Small problem...", pf::Icon::Exclamation);
    stop(feq("?WEB:WEBADDRESS"));
    return true;
  }
  if (WEB->CATEGORY.blank()) {
    WEB->CATEGORY = DefaultCategory;
    CAT->CATEGORY = DefaultCategory;
    win().display(feq("?CAT:CATEGORY"));
    pf::message("No category was selected.||A category of [Default] has been assigned in the meantime.||This "
                "Default category can be changed later if required.",
                "Please note...", pf::Icon::Information);
  }
  if (pf::lower(pf::sub(pf::trim(WEB->WEBADDRESS.str()), 1, 4)) != "http")
    pf::message("The website address does not start with: http||The recommended method is to Copy and Paste "
                "the address from your browser.||This will not be a problem if using this entry field for "
                "non-internet use.",
                "URL OK?", pf::Icon::Question);
  if (ORIGINALREQUEST == pf::Request::Insert && WEB->PASSWORD.clip().find(' ') != std::string::npos)
    pf::message("Your password contains a blank space.||A lot of websites do not allow blank spaces in "
                "passwords.||This may, or may not be important?|",
                "Just a point to note...", pf::Icon::Question);
  if (WEB->TEXTCOLOR == 0) WEB->TEXTCOLOR = 1;
  std::int32_t today = pf::today();
  if (WEB->DATEADDED == 0) WEB->DATEADDED = today;
  if (WEB->DATEADDED <= today) WEB->DATEUPDATED = today;
  // The completion takes every control's shown value again.
  win().display();
  return false;
}

void UpdateWebsitesWindow::addHistory() {
  const std::string crlf = "\r\n";
  std::int32_t today = pf::today();
  std::string block = " History of " + WEB->DESCRIPTION.clip() + " as at: " + d017(today) + crlf +
                      " Added:     " + d017(WEB->DATEADDED) + crlf + " Updated:  " + d017(today) + crlf +
                      " Last visit:  " + d017(WEB->LASTVISIT) + crlf + " Number of visits:  " +
                      pf::format(pf::Value(static_cast<std::int64_t>(WEB->VISITS.get())), "@N10") + crlf + crlf;
  std::string notes = WEB->SiteNotes.clip();
  WEB->SiteNotes = notes.empty() ? block : notes + crlf + crlf + block;
  win().display(feq("?WEB:SITENOTES"));
}

std::uint8_t UpdateWebsitesWindow::OnAccepted() {
  int c = win().field();
  pf::Window& w = win();
  if (c == feq("?PRIMEBUT")) {
    if (prime()) return pf::Answer::Handled;
  } else if (c == feq("?CLEARBUT")) {
    if (clearAddress()) return pf::Answer::Handled;
  } else if (c == feq("?PASTEBUT")) {
    if (paste()) return pf::Answer::Handled;
  } else if (c == feq("?DELNOTESBUT")) {
    if (deleteNotes()) return pf::Answer::Handled;
  } else if (c == feq("?WEB:WEBADDRESS")) {
    WEB->WEBADDRESS = normaliseAddress(WEB->WEBADDRESS.str());
    w.display(c);
  } else if (c == feq("?WEB:LOGONID")) {
    WEB->LOGONID = pf::left(WEB->LOGONID.str());
    w.display(c);
  } else if (c == feq("?WEB:PASSWORD")) {
    WEB->PASSWORD = pf::left(WEB->PASSWORD.str());
    w.display(c);
  } else if (c == feq("?OK")) {
    if (okChecks()) return pf::Answer::Handled;
  }
  std::uint8_t rc = WindowController::OnAccepted();
  if (c == feq("?ADDHISTBUT")) addHistory();
  if (c == feq("?HELP") && Help) Help->HelpKeywordLookup("Edit a website", "Not found", "Help Topic");
  return rc;
}

std::uint8_t UpdateWebsitesWindow::OnFieldEvent() {
  if (win().field() == feq("?OK")) {
    WEB->WEBADDRESS = normaliseAddress(WEB->WEBADDRESS.str());
    win().display(feq("?WEB:WEBADDRESS"));
  }
  return WindowController::OnFieldEvent();
}

}  // namespace

void UpdateWebsites() {
  UpdateWebsitesWindow w;
  pf::GLO_Response() = w.Execute();
}

}  // namespace qb
