#include "sites/browse_websites.h"

#include <algorithm>
#include <functional>

#include "data/access.h"
#include "data/dictionary.h"
#include "data/globals.h"
#include "platform/classes/browse_manager.h"
#include "platform/classes/error_manager.h"
#include "platform/classes/ini_manager.h"
#include "platform/classes/splitter_bar.h"
#include "platform/classes/window_controller.h"
#include "platform/core/strings.h"
#include "platform/runtime/message.h"
#include "platform/runtime/runtime.h"
#include "platform/store/bind.h"
#include "platform/store/view.h"
#include "platform/ui/keys.h"
#include "platform/ui/ui.h"
#include "shell/open_url.h"
#include "shell/procedures.h"
#include "sites/link_dialogs.h"
#include "sites/search_window.h"
#include "sites/update_websites.h"

namespace qb {

const char* const BrowseWebsitesFormat =
    "10L(5)|I~F~L(2)@n3@Q'(F) Favorite (Click on to Change)'"
    "131L(2)|M*~Description~@s45@Q'Browse List'"
    "120L(2)|M*~Website address (URL)~@S80@Q'Browse List'"
    "75L(2)|M*~Logon ID~@s45@Q'Browse List'"
    "75L(2)|M*~Password~@s45@Q'Browse List'"
    "100L(2)|M*~Category~@s25@Q'(F) Favorite (Click on to Change)'";

std::int32_t descriptionColour(std::uint8_t textColour) {
  static const std::int32_t table[] = {0x000000, 0x000080, 0x008000, 0x008080,
                                       0x800000, 0x808000, 0x808080, 0x0000FF};
  return textColour >= 1 && textColour <= 8 ? table[textColour - 1] : -1;
}

std::string browseCaption(int tab, const std::string& category) {
  static const char* const one[] = {" by description", " by address (URL)", " category only",
                                    " - Favorites only", " - Highlighted only", " - Colored only"};
  static const char* const all[] = {"All sites by description", "All sites by address (URL)",
                                    "All sites grouped by category", "Favorites only",
                                    "Highlighted only", "Colored only"};
  if (tab < 1 || tab > 6) return {};
  if (pf::clip(category) == AllCategories) return all[tab - 1];
  return pf::clip(category) + one[tab - 1];
}

namespace {

constexpr const char* Section = "BrowseWebsites";
constexpr const char* IniOriginal = "SRCFOriginal?Browse:1";
constexpr const char* IniCurrent = "SRCF?Browse:1";
constexpr const char* CategoryPart = "9Z";

// Cells of the list row.
enum Cell { FavouriteCell = 1, DescriptionCell, AddressCell, LogonCell, PasswordCell, CategoryCell };

class BrowseWebsitesWindow;

class WebsitesBrowse : public pf::BrowseManager {
 public:
  explicit WebsitesBrowse(BrowseWebsitesWindow& w) : owner_(w) {}
  void BrowseChooseSortOrder(std::uint8_t force) override;
  void BrowseFillRow(pf::BrowseRow& row) override;
  int BrowseReload() override;
  void BrowseEnableButtons() override;
  std::uint8_t BrowseOnKey(int key) override;
  void BrowseLimitView(std::uint8_t request, std::uint8_t response) override;
  int BrowseFetchNext() override;
  int BrowseFetchPrevious() override;
  // Every order carries the category part, so a tab change keeps the category.
  void setCategoryPart(const std::string& expression) {
    for (int n = 1; n <= orderCount(); ++n) BrowseSetFilterPart(n, CategoryPart, expression);
  }

 private:
  BrowseWebsitesWindow& owner_;
};

// After a drag the resizer works from the layout the user chose.
class BrowseSplitter : public pf::SplitterBar {
 public:
  explicit BrowseSplitter(pf::WindowController& w) : owner_(w) {}
  void SplitterDragEnded(std::int32_t /*bar*/) override {
    if (pf::ControlResizer* r = owner_.RESIZE) r->ResizeReset();
  }

 private:
  pf::WindowController& owner_;
};

class CategoryCombo : public pf::DropComboLookup {
 public:
  explicit CategoryCombo(BrowseWebsitesWindow& w) : owner_(w) {}
  int DropLoadList(std::uint8_t force) override {
    int r = pf::DropComboLookup::DropLoadList(force);
    for (auto& row : LISTQUEUE)
      for (auto& cell : row.display.cells) cell.fg = cell.bg = cell.selFg = cell.selBg = -1;
    return r;
  }
  std::uint8_t TakeEvent() override;

 private:
  BrowseWebsitesWindow& owner_;
};

class BrowseWebsitesWindow : public pf::WindowController {
 public:
  BrowseWebsitesWindow()
      : WindowController("BrowseWebsites"), brw(*this), combo(*this), split(*this) {
    InstanceMarker = &GLO_BrowseWebsitesThread;
    ResizeMinSize = 0;
    searchHandle_ = registerSearchState(&SearchState_);
  }
  ~BrowseWebsitesWindow() override {
    releaseSearchState(searchHandle_);
    pf::unbind("BrowseFilter");
  }

  std::uint8_t RunEventLoop() override;
  std::uint8_t Setup() override;
  std::uint8_t TearDown() override;
  void Refresh(std::uint8_t force = 0) override;
  std::uint8_t ExecuteUpdate(int number, std::uint8_t request) override;
  std::uint8_t OnAccepted() override;
  std::uint8_t OnFieldEvent() override;
  std::uint8_t OnNewSelection() override;
  std::uint8_t OnSelected() override;
  std::uint8_t OnCloseRequest() override;
  void SetupResizer(pf::ControlResizer& r) override;

  // The Search button: opens the search window, or searches again once a word was asked.
  void searchButton();
  void SearchList();
  // A page scroll of the search; true when it brought rows not seen before.
  bool searchScroll(bool down);
  // Passes over the pages beyond the list that the search would only page through.
  void searchSkip(bool down, const std::string& word);
  // Whether any website the list can show holds the word.
  bool listHolds(const std::string& word);

  // Reads the combo's value (`fromCombo`) or keeps the browse's own, then sets the
  // category part, the caption and the category controls, and refills.
  void ApplyCategoryFilter(bool fromCombo);
  void SaveColumnWidths();

  int feq(const char* name) { return win().feq(name); }
  int tab() { return win().choice(feq("?CURRENTTAB")); }
  int list() { return feq("?BROWSE:1"); }

  pf::String<25> BrowseFilter;
  std::uint8_t LOC_ShowSecurity = 0;
  std::uint8_t LOC_ShowCategory = 0;
  std::int32_t LOC_RECORDCOUNT = 0;
  std::int32_t ownerFlag = 0;

  pf::View view{WSites()};
  pf::View catView{Category()};
  WebsitesBrowse brw;
  CategoryCombo combo;
  BrowseSplitter split;

  SearchState SearchState_;
  pf::String<20> LastFoundWord;
  pf::String<1> LastDirection{"2"};
  std::uint8_t SearchEndCount = 0;
  std::int32_t SearchRow = 0;
  std::uint8_t SearchFound = 0;
  pf::CString<256> SearchColumnTitle;
  std::int32_t SearchThread = 0;
  // Set while the search scrolls: only its own arrivals at the end of the list count.
  bool searchScrolling_ = false;
  bool searchEndHit_ = false;

  void openWebsite(bool reread);
  void visitRecorded();

 private:
  std::int32_t searchHandle_ = 0;
  // Re-read, change, write, show.
  template <class F>
  void changeSelected(F change, bool refresh);
  void copyToClipboard(int which);
  void restoreListFormat();
  void keepColumnWidths();
  void callProcedure(const pf::Procedure& body);

  bool setOpenFlag_ = false;
  bool warnedBlank_ = false;
};

void WebsitesBrowse::BrowseChooseSortOrder(std::uint8_t force) {
  int t = owner_.tab();
  BrowseSetSort(t >= 1 && t <= 6 ? t : 7, force);
}

void WebsitesBrowse::BrowseFillRow(pf::BrowseRow& row) {
  pf::BrowseManager::BrowseFillRow(row);
  auto& cells = row.display.cells;
  pf::ListCell& fav = cells[FavouriteCell - 1];
  fav.icon = WEB->FAVOURITEYN == 1 ? 1 : 0;
  pf::ListCell& d = cells[DescriptionCell - 1];
  if (WEB->HIGHLIGHT == 1) {
    d.fg = -1;
    d.bg = HighlightBackground;
  } else {
    d.fg = descriptionColour(WEB->TEXTCOLOR);
    d.bg = -1;
  }
  d.selFg = d.selBg = -1;
}

int WebsitesBrowse::BrowseReload() {
  auto count = [this] {
    pf::WaitCursor wait;
    Relate_WSites().RelationSetQuickScan(true);
    std::int64_t n = VIEW->count();
    if (n < 0) {
      // The list stays as it was, and so does quick scanning.
      pf::message("The websites could not be counted.|" + pf::error(), "Record count", pf::Icon::Exclamation);
      return false;
    }
    Relate_WSites().RelationSetQuickScan(false);
    owner_.LOC_RECORDCOUNT = static_cast<std::int32_t>(n);
    return true;
  };
  const std::uint64_t built = VIEW->file().keysBuilt();
  if (!count()) return 3;
  int rc = pf::BrowseManager::BrowseReload();
  // Keys rebuilt while the list was read: the count went by the damaged ones.
  if (VIEW->file().keysBuilt() != built && !count()) return 3;
  return rc;
}

void WebsitesBrowse::BrowseEnableButtons() {
  pf::BrowseManager::BrowseEnableButtons();
  WINDOW->SetControlEnabled(owner_.feq("?GISBUSKDAF3"), BrowseHasRecords() ? 0 : 1);
}

int WebsitesBrowse::BrowseFetchNext() {
  int r = pf::BrowseManager::BrowseFetchNext();
  if (r != 0 && owner_.searchScrolling_ && owner_.SearchState_.SearchDirection == "2")
    owner_.searchEndHit_ = true;
  return r;
}

int WebsitesBrowse::BrowseFetchPrevious() {
  int r = pf::BrowseManager::BrowseFetchPrevious();
  if (r != 0 && owner_.searchScrolling_ && owner_.SearchState_.SearchDirection == "1")
    owner_.searchEndHit_ = true;
  return r;
}

std::uint8_t WebsitesBrowse::BrowseOnKey(int key) {
  if (key == pf::Key::MouseLeft2) {
    owner_.openWebsite(true);
    return pf::Answer::Handled;
  }
  if (key == pf::Key::MouseRight) {
    pf::Window& w = win();
    auto item = [&w](int c, const char* text) {
      bool on = c && w.propInt(c, pf::Prop::Visible) && w.propInt(c, pf::Prop::Enabled);
      return std::string(on ? "" : "~") + text;
    };
    int search = owner_.feq("?GISBUSKDAF3");
    std::string menu = item(INSERTCONTROL, "&Insert") + "|" + item(CHANGECONTROL, "&Change") + "|" +
                       item(DELETECONTROL, "&Delete") + "|-|" + item(search, "&Search");
    const int controls[] = {INSERTCONTROL, CHANGECONTROL, DELETECONTROL, search};
    int chosen = pf::popup(menu);
    if (chosen >= 1 && chosen <= 4) w.post(pf::EVENT::Accepted, controls[chosen - 1]);
    return pf::Answer::Handled;
  }
  return pf::BrowseManager::BrowseOnKey(key);
}

void WebsitesBrowse::BrowseLimitView(std::uint8_t request, std::uint8_t response) {
  pf::BrowseManager::BrowseLimitView(request, response);
  if (pf::GLO_VCRRequest() != 0) return;
  if (request == pf::Request::Insert && WSites().records() < 2 && CAT->CATEGORY.blank()) {
    CAT->CATEGORY = AllCategories;
    owner_.ApplyCategoryFilter(true);
  }
}

std::uint8_t CategoryCombo::TakeEvent() {
  std::uint8_t rc = pf::DropComboLookup::TakeEvent();
  const pf::Event& e = win().currentEvent();
  if (e.control != LISTCONTROL) return rc;
  if (e.code == pf::EVENT::Accepted) {
    owner_.ApplyCategoryFilter(true);
    win().select(owner_.list());
  } else if (e.code == pf::EVENT::NewSelection && e.param) {
    // A keystroke that completed the entry; one that did not leaves the typed text be.
    if (pf::foldEqual(win().text(LISTCONTROL), USEFIELD.get())) owner_.ApplyCategoryFilter(true);
  }
  return rc;
}

// ---------------------------------------------------------------------- the window

std::uint8_t BrowseWebsitesWindow::Setup() {
  if (std::uint8_t rc = SetupBegin()) return rc;
  ownerFlag = LOC_InstanceThread;
  pf::bind("BrowseFilter", pf::BoundValue{pf::FieldType::String, BrowseFilter.b, 25});
  WindowAddButton(feq("?CLOSE"), pf::Response::Cancelled);
  if (SetupFiles({&Relate_Category(), &Relate_WSites()}) != 0) return pf::Answer::LeaveLoop;

  brw.BrowseInit(list(), view, Relate_WSites(), *this);
  OpenWindow();
  GLO_BrowseSitesOpen = 1;
  setOpenFlag_ = true;

  struct OrderSpec {
    const pf::KeyDesc* key;
    pf::Binding locator;
    const char* standard;
  };
  const OrderSpec orders[] = {
      {&WEB_KeyDescription(), pf::use(WEB->DESCRIPTION), nullptr},
      {&WEB_KeyWebsite(), pf::use(WEB->WEBADDRESS), nullptr},
      {&WEB_CategoryKey(), pf::use(WEB->CATEGORY), nullptr},
      {&WEB_KeyDescription(), pf::use(WEB->DESCRIPTION), "(WEB:FavouriteYN=1)"},
      {&WEB_KeyDescription(), pf::use(WEB->DESCRIPTION), "(WEB:HighLight=1)"},
      {&WEB_KeyDescription(), pf::use(WEB->DESCRIPTION), "(WEB:TextColor > 1)"},
      {&WEB_KeyDescription(), pf::use(WEB->DESCRIPTION), nullptr},
  };
  for (const auto& o : orders) {
    brw.BrowseAddSortOrder(o.key);
    brw.BrowseAddLocator(o.locator);
    if (o.standard) brw.ViewSetFilter(o.standard);
  }
  brw.StepTextInit();
  brw.BrowseSetIcon(1, "~qztick4.ico");
  brw.BrowseAddField("WEB:FavouriteYN", pf::use(WEB->FAVOURITEYN), FavouriteCell);
  brw.BrowseAddField("WEB:Description", pf::use(WEB->DESCRIPTION), DescriptionCell);
  brw.BrowseAddField("WEB:WebAddress", pf::use(WEB->WEBADDRESS), AddressCell);
  brw.BrowseAddField("WEB:LogonID", pf::use(WEB->LOGONID), LogonCell);
  brw.BrowseAddField("WEB:Password", pf::use(WEB->PASSWORD), PasswordCell);
  brw.BrowseAddField("WEB:Category", pf::use(WEB->CATEGORY), CategoryCell);
  brw.BrowseAddField("WEB:HighLight", pf::use(WEB->HIGHLIGHT), 0);
  brw.BrowseAddField("WEB:TextColor", pf::use(WEB->TEXTCOLOR), 0);
  brw.BrowseAddField("WEB:SiteNotes", pf::use(WEB->SiteNotes), 0);
  restoreListFormat();   // its pictures are checked against the fields just paired
  brw.SELECTCONTROL = feq("?SELECT:2");
  brw.INSERTCONTROL = feq("?INSERT:3");
  brw.CHANGECONTROL = feq("?CHANGE:3");
  brw.DELETECONTROL = feq("?DELETE:3");
  brw.VIEWCONTROL = feq("?VIEW");
  brw.ASKPROCEDURE = 1;
  WindowAddComponent(brw);

  win().setProp(0, pf::Prop::MinWidth, 419);
  win().setProp(0, pf::Prop::MinHeight, 250);

  int cat = feq("?CAT:CATEGORY");
  combo.DropComboInit(pf::use(CAT->CATEGORY), cat, catView, Relate_Category(), *this, 0, 0, 0);
  combo.ViewAddSortOrder(&CAT_CatKey());
  combo.DropAddDisplayField(pf::use(CAT->CATEGORY));
  combo.DropAddUpdateField(pf::use(CAT->CATEGORY), pf::use(BrowseFilter));
  combo.DEFAULTFILL = 0;
  WindowAddComponent(combo);
  win().setProp(cat, pf::Prop::Tip, "Select to view a single category only.\n(Press F2 to reset)");

  win().bind(feq("?LOC:RECORDCOUNT"), pf::use(LOC_RECORDCOUNT));
  win().bind(feq("?WEB:SITENOTES"), pf::use(WEB->SiteNotes));
  win().alert(list(), pf::Key::MouseLeft);
  win().alert(list(), pf::Key::Enter);
  win().alert(list(), pf::Key::MouseRight);
  SetupEnd();
  split.SplitterInit(win(), 0);
  split.EDGEBUFFER = 5;
  int bar = split.SplitterAddBar(feq("?HSPLIT"));
  split.SplitterAddAbove(bar, list(), 0, 1);
  // The tabs' frame around the list ends where the list does.
  split.SplitterAddAbove(bar, feq("?CURRENTTAB"), 0, 1);
  split.SplitterAddBelow(bar, feq("?WEB:SITENOTES"), 0, 1);
  return 0;
}

void BrowseWebsitesWindow::SetupResizer(pf::ControlResizer& r) {
  using namespace pf;
  r.ResizeSetStrategy(list(), ResizePos::Fixed, ResizePos::Fixed, ResizeSize::Grow, ResizeSize::Grow);
  r.ResizeSetStrategy(feq("?CURRENTTAB"), ResizePos::Fixed, ResizePos::Fixed, ResizeSize::Grow, ResizeSize::Grow);
  for (const char* c : {"?WEB:SITENOTES", "?HSPLIT"})
    r.ResizeSetStrategy(feq(c), ResizePos::Fixed, ResizePos::Move, ResizeSize::Grow, ResizeSize::Fixed);
  // The count sits in the bottom row of buttons: it goes down with them, not under the list.
  r.ResizeSetStrategy(feq("?LOC:RECORDCOUNT"), ResizePos::Move, ResizePos::Move, ResizeSize::Fixed, ResizeSize::Fixed);
  for (const char* c : {"?CATPROMPT", "?CAT:CATEGORY", "?ALLCATBUT", "?CATSHOWBUT"})
    r.ResizeSetStrategy(feq(c), ResizePos::Move, ResizePos::Fixed, ResizeSize::Fixed, ResizeSize::Fixed);
  for (const char* c : {"?YELLOW_HL", "?CLR1", "?CLR2", "?CLR3", "?CLR4", "?CLR5", "?CLR6", "?CLR7",
                        "?CLR8", "?QLBUT", "?EMAILBUT", "?INTERNETLINK", "?LOGON_BUT", "?PWORD_BUT",
                        "?VIEW", "?INSERT:3", "?CHANGE:3", "?DELETE:3", "?GISBUSKDAF3", "?PRINTBUT"})
    r.ResizeSetStrategy(feq(c), ResizePos::Fixed, ResizePos::Move, ResizeSize::Fixed, ResizeSize::Fixed);
  for (const char* c : {"?SECURITYBUT", "?CATBUT", "?HELP", "?CLOSE", "?SELECT:2"})
    r.ResizeSetStrategy(feq(c), ResizePos::Move, ResizePos::Move, ResizeSize::Fixed, ResizeSize::Fixed);
}

void BrowseWebsitesWindow::restoreListFormat() {
  pf::Window& w = win();
  std::string designed = w.propText(list(), pf::Prop::Format);
  std::string original = pf::AppIni.fetch(Section, IniOriginal);
  if (original == designed && !original.empty() && original.find('@') != std::string::npos) {
    std::string stored = pf::AppIni.fetch(Section, IniCurrent, designed);
    if (stored != designed && !stored.empty() && brw.formatFits(stored))
      w.setProp(list(), pf::Prop::Format, stored);
    return;
  }
  pf::AppIni.update(Section, IniOriginal, designed);
  pf::AppIni.update(Section, IniCurrent, designed);
}

std::uint8_t BrowseWebsitesWindow::RunEventLoop() {
  LOC_ShowCategory = GLO_ShowCats == 1 ? 1 : 0;
  LOC_ShowSecurity = GLO_ShowPwords == 1 ? 1 : 0;
  if (GLO_DefaultCat.blank() || GLO_DefaultCat == AllCategories)
    CAT->CATEGORY = AllCategories;
  else
    CAT->CATEGORY = GLO_DefaultCat.clip();
  ApplyCategoryFilter(true);
  return WindowController::RunEventLoop();
}

void BrowseWebsitesWindow::ApplyCategoryFilter(bool fromCombo) {
  if (fromCombo) {
    // An emptied combo means every category, never a filter on a blank one.
    if (CAT->CATEGORY.blank()) CAT->CATEGORY = AllCategories;
    BrowseFilter = CAT->CATEGORY.clip();
  } else {
    CAT->CATEGORY = BrowseFilter.clip();
  }
  bool all = pf::foldEqual(BrowseFilter.clip(), AllCategories);
  // Letter case ignored, as the category key and the category procedures compare names.
  brw.setCategoryPart(all ? std::string() : std::string("UPPER(WEB:Category)=UPPER(BrowseFilter)"));
  int t = tab();
  if (t >= 1 && t <= 6) win().setCaption(browseCaption(t, BrowseFilter.clip()));
  pf::Window& w = win();
  if (!all) {
    w.hide(feq("?TAB3:2"));
    w.unhide(feq("?ALLCATBUT"));
    w.unhide(feq("?CATSHOWBUT"));
  } else {
    w.unhide(feq("?TAB3:2"));
    w.hide(feq("?ALLCATBUT"));
    w.hide(feq("?CATSHOWBUT"));
  }
  brw.BrowseChooseSortOrder(1);
  w.display();
}

void BrowseWebsitesWindow::Refresh(std::uint8_t force) {
  WindowController::Refresh(force);
  pf::Window& w = win();
  if (!w.isOpen() || w.inAcceptAll()) return;
  int n = w.columnCount(list());
  for (int c = 1; c <= n; ++c) {
    const pf::BrowseField* f = brw.fieldOfColumn(c);
    if (!f) continue;
    int width = -1;
    if (pf::foldEqual(f->name, "WEB:LogonID")) width = LOC_ShowSecurity == 1 ? GLO_Column4Width : 0;
    else if (pf::foldEqual(f->name, "WEB:Password")) width = LOC_ShowSecurity == 1 ? GLO_Column5Width : 0;
    else if (pf::foldEqual(f->name, "WEB:Category")) width = LOC_ShowCategory == 1 ? GLO_Column6Width : 0;
    if (width >= 0 && w.columnWidth(list(), c) != width) w.setColumnWidth(list(), c, width);
  }
}

void BrowseWebsitesWindow::keepColumnWidths() {
  // By field, whatever the column order; a hidden column keeps its last width.
  pf::Window& w = win();
  int n = w.columnCount(list());
  for (int c = 1; c <= n; ++c) {
    const pf::BrowseField* f = brw.fieldOfColumn(c);
    if (!f) continue;
    int width = w.columnWidth(list(), c);
    if (width <= 0) continue;
    std::uint8_t kept = static_cast<std::uint8_t>(std::min(width, 255));
    if (pf::foldEqual(f->name, "WEB:LogonID")) GLO_Column4Width = kept;
    else if (pf::foldEqual(f->name, "WEB:Password")) GLO_Column5Width = kept;
    else if (pf::foldEqual(f->name, "WEB:Category")) GLO_Column6Width = kept;
  }
}

void BrowseWebsitesWindow::SaveColumnWidths() {
  pf::File& f = Defaults();
  std::string failed;
  auto step = [&](int code) {
    if (code != 0 && failed.empty()) failed = pf::errorfile().empty() ? f.name() : pf::errorfile();
    return code == 0;
  };
  if (step(f.open(pf::OpenMode::ReadWrite | pf::OpenMode::DenyWrite))) {
    f.set();
    if (step(f.next())) {
      PREF->COLUMN4WIDTH = GLO_Column4Width;
      PREF->COLUMN5WIDTH = GLO_Column5Width;
      PREF->COLUMN6WIDTH = GLO_Column6Width;
      step(f.put());
    }
    step(f.close());
  }
  if (!failed.empty()) pf::message("Error with " + failed);
}

std::uint8_t BrowseWebsitesWindow::TearDown() {
  if (SearchState_.SearchOpen == "1" && SearchThread) pf::post(pf::EVENT::CloseDown, 0, SearchThread);
  if (std::uint8_t rc = WindowController::TearDown()) return rc;
  releaseSearchState(searchHandle_);
  if (FILESOPENED) SaveColumnWidths();
  if (OPENED) pf::AppIni.update(Section, IniCurrent, win().propText(list(), pf::Prop::Format));
  // Only the instance that set the flag clears it.
  if (setOpenFlag_) GLO_BrowseSitesOpen = 0;
  pf::unbind("BrowseFilter");
  std::uint8_t rc = TearDownEnd();
  split.SplitterKill();
  return rc;
}

std::uint8_t BrowseWebsitesWindow::ExecuteUpdate(int /*number*/, std::uint8_t request) {
  pf::GLO_Request() = request;
  UpdateWebsites();
  std::uint8_t response = pf::GLO_Response();
  // The form's category list uses the same buffer: the combo shows the browse's own.
  CAT->CATEGORY = BrowseFilter.clip();
  win().display(feq("?CAT:CATEGORY"));
  return response ? response : pf::Response::Cancelled;
}

template <class F>
void BrowseWebsitesWindow::changeSelected(F change, bool refresh) {
  if (!brw.BrowseHasRecords()) return;
  if (brw.BrowseUpdateViewRecord()) {
    // Changed as it is on file once the write holds the file, not as it was read.
    Relate_WSites().RelationUpdate(std::function<void()>(change));
  } else {
    // Not read again (another program holds the file, or the record is gone): not
    // changed, and the user is told so as for a write that fails.
    bool locked = pf::errorcode() == pf::Err::Locked;
    Access_WSites().FileThrowMessage(pf::Msg::PutError, {});
    // The list already shows the record as it is; reading it again would only meet the lock.
    if (locked) return;
  }
  if (refresh) {
    // The forced refresh recounts and refills around the written (selected) record.
    Refresh(1);
    return;
  }
  brw.BrowseResetView();
  brw.BrowsePostNewSelection();
}

void BrowseWebsitesWindow::openWebsite(bool reread) {
  if (!brw.BrowseHasRecords()) return;
  if (reread) brw.BrowseUpdateViewRecord();
  std::string address = WEB->WEBADDRESS.clip();
  if (address.substr(0, 4) != "http")
    pf::message("This URL does not appear to be a correct website link?", "Link may not work!",
                pf::Icon::Exclamation);
  if (!OpenURL(win().id(), address))
    pf::message("The address could not be handed to the web browser.", "Link may not work!",
                pf::Icon::Exclamation);
  // The user asked for the site: the visit counts whatever became of the address.
  visitRecorded();
}

void BrowseWebsitesWindow::visitRecorded() {
  changeSelected([] { WEB->LASTVISIT = pf::today(); }, false);
  changeSelected([] { WEB->VISITS = WEB->VISITS.get() + 1; }, false);
}

void BrowseWebsitesWindow::copyToClipboard(int which) {
  std::string value = which == 1 ? WEB->LOGONID.clip() : WEB->PASSWORD.clip();
  int used = feq(which == 1 ? "?LOGON_BUT" : "?PWORD_BUT");
  int other = feq(which == 1 ? "?PWORD_BUT" : "?LOGON_BUT");
  if (!value.empty()) {
    pf::setClipboard(pf::trim(value));
    win().disable(used);
    win().enable(other);
  } else {
    pf::message(
        "Nothing to copy to the Windows Clipboard.||Logon ID and Passwords are entered under Update "
        "Websites.",
        "No ID or Password...", pf::Icon::Question);
    win().enable(used);
    win().enable(other);
  }
  win().select(list());
}

void BrowseWebsitesWindow::callProcedure(const pf::Procedure& body) {
  brw.BrowseUpdateViewRecord();
  body();
  Refresh(0);
}

std::uint8_t BrowseWebsitesWindow::OnAccepted() {
  int c = win().field();
  pf::Window& w = win();
  if (c == feq("?INTERNETLINK")) {
    bool warned = warnedBlank_;
    warnedBlank_ = false;
    if (warned && WEB->WEBADDRESS.blank()) return pf::Answer::Handled;
    openWebsite(true);
  } else if (c == feq("?YELLOW_HL")) {
    changeSelected([] { WEB->HIGHLIGHT = WEB->HIGHLIGHT == 0 ? 1 : 0; }, true);
    w.select(list());
  } else if (c >= feq("?CLR1") && c <= feq("?CLR8")) {
    std::uint8_t colour = static_cast<std::uint8_t>(c - feq("?CLR1") + 1);
    changeSelected([colour] { WEB->TEXTCOLOR = colour; }, true);
    w.select(list());
  } else if (c == feq("?LOGON_BUT")) {
    copyToClipboard(1);
  } else if (c == feq("?PWORD_BUT")) {
    copyToClipboard(2);
  } else if (c == feq("?SECURITYBUT")) {
    LOC_ShowSecurity = LOC_ShowSecurity == 0 ? 1 : 0;
    Refresh(0);
    w.select(list());
  } else if (c == feq("?CATBUT")) {
    LOC_ShowCategory = LOC_ShowCategory == 0 ? 1 : 0;
    Refresh(0);
    w.select(list());
  } else if (c == feq("?ALLCATBUT")) {
    if (BrowseFilter.clip() != AllCategories) CAT->CATEGORY = AllCategories;
    ApplyCategoryFilter(true);
    w.display(feq("?CAT:CATEGORY"));
    // The button hides itself: the list takes the focus, so typing goes on working.
    w.select(list());
  } else if (c == feq("?QLBUT")) {
    callProcedure(Win_OtherLink);
  } else if (c == feq("?EMAILBUT")) {
    callProcedure(Win_EmailLink);
  } else if (c == feq("?PRINTBUT")) {
    callProcedure(procedure(Proc::Win_Reports));
  } else if (c == feq("?HELP")) {
    brw.BrowseUpdateViewRecord();
    if (Help) Help->HelpKeywordLookup("Add a new website", "Not found", "Help Topic");
  }
  std::uint8_t rc = WindowController::OnAccepted();
  if (c == feq("?GISBUSKDAF3")) searchButton();
  return rc;
}

std::uint8_t BrowseWebsitesWindow::OnCloseRequest() {
  pf::Window& w = win();
  // Esc closes the search window first; a second Esc closes the browse.
  if (w.event() == pf::EVENT::CloseWindow && w.keyCode() == pf::Key::Esc &&
      SearchState_.SearchOpen == "1") {
    if (SearchThread) pf::post(pf::EVENT::CloseDown, 0, SearchThread);
    SearchState_.SearchRequest = "1";
    SearchState_.SearchOpen = "0";
    w.cycle();
    return pf::Answer::Handled;
  }
  return WindowController::OnCloseRequest();
}

void BrowseWebsitesWindow::searchButton() {
  if (!brw.BrowseHasRecords()) return;
  brw.BrowseUpdateViewRecord();
  SearchFound = 0;
  if (SearchState_.SearchRequest == "2") {
    SearchList();
    if (SearchThread) pf::post(pf::EVENT::GainFocus, 0, SearchThread);
    return;
  }
  if (SearchState_.SearchOpen == "1") return;
  SearchEndCount = 0;
  SearchState_.SearchDirection = "2";
  SearchState_.SearchOpen = "1";
  std::string parameter = searchParameter(pf::thread(), searchHandle_);
  SearchThread = pf::start([parameter] { BuscadorF3(parameter); }, SearchStack, parameter);
}

bool BrowseWebsitesWindow::searchScroll(bool down) {
  const auto& rows = brw.rows();
  pf::Position edge = down ? rows.back().position : rows.front().position;
  searchEndHit_ = false;
  searchScrolling_ = true;
  brw.BrowseScrollEvent(down ? pf::EVENT::PageDown : pf::EVENT::PageUp);
  searchScrolling_ = false;
  const auto& now = brw.rows();
  int at = 0;
  for (std::size_t i = 0; i < now.size(); ++i)
    if (now[i].position.row == edge.row) at = static_cast<int>(i) + 1;
  int n = static_cast<int>(now.size());
  bool fresh = at == 0 || (down ? at < n : at > 1);
  // The counter says how far past the end of the list the search has run.
  if (fresh)
    SearchEndCount = searchEndHit_ ? 1 : 0;
  else if (SearchEndCount < 255)
    ++SearchEndCount;
  SearchRow = at == 0 ? (down ? 1 : n) : at + (down ? 1 : -1);
  return fresh;
}

namespace {

// Whether any text the search tests holds the word: the list's cells, without trailing
// blanks, in capitals.
bool searchMatches(const std::string& word) {
  auto holds = [&](std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return pf::upper(text).find(word) != std::string::npos;
  };
  return holds(std::to_string(WEB->FAVOURITEYN)) || holds(WEB->DESCRIPTION.view()) ||
         holds(WEB->WEBADDRESS.view()) || holds(WEB->LOGONID.view()) || holds(WEB->PASSWORD.view()) ||
         holds(WEB->CATEGORY.view());
}

}  // namespace

bool BrowseWebsitesWindow::listHolds(const std::string& word) {
  pf::View all(WSites());
  all.setFilter("1", brw.VIEW->filter());
  if (all.open() != 0) return true;
  Relate_WSites().RelationSetQuickScan(true);
  int r = 0;
  bool holds = false;
  pf::TurnGiver turns;
  while (!holds && (r = all.next()) == 0) {
    holds = searchMatches(word);
    turns.give();
  }
  Relate_WSites().RelationSetQuickScan(false);
  return holds || r != pf::Err::RecordNotAvailable;
}

// Page by page, a search of a long list spends its time showing pages. Those beyond the
// list with no match are read from the store in large batches instead, and the list is
// put where the last of them would have left it; the page scrolls then go on from there,
// so the search ends, and finds, as it would have.
void BrowseWebsitesWindow::searchSkip(bool down, const std::string& word) {
  const auto& rows = brw.rows();
  const int n = brw.pageRows();
  // Past the end once, the page scrolls tell the rest.
  if (rows.empty() || static_cast<int>(rows.size()) < n || SearchEndCount > 0) return;
  // No website of the list holds the word: read in the file's own order, which is far
  // quicker than the key's, that settles it, and paging would end on the last page.
  if (!listHolds(word)) {
    brw.BrowseScrollEvent(down ? pf::EVENT::ScrollBottom : pf::EVENT::ScrollTop);
    return;
  }
  const pf::Position edge = down ? rows.back().position : rows.front().position;
  pf::View& v = *brw.VIEW;
  Relate_WSites().RelationSetQuickScan(true);
  v.setAt(edge);
  std::int64_t passed = 0;
  pf::Position last, before;  // the ends of the last two pages passed
  bool found = false;
  int r;
  pf::TurnGiver turns;
  while ((r = down ? v.next() : v.previous()) == 0) {
    turns.give();
    if (v.position().row == edge.row) continue;
    if (searchMatches(word)) {
      found = true;
      break;
    }
    if (++passed % n == 0) {
      before = last;
      last = v.position();
    }
  }
  Relate_WSites().RelationSetQuickScan(false);
  if (!found && r != pf::Err::RecordNotAvailable) return;
  // A last page that ends exactly at the end of the list is left to the page scroll,
  // which finds the end behind it.
  if (!found && passed % n == 0) last = before;
  if (last.empty()) return;
  brw.BrowseShowPageAt(last, !down);
  SearchEndCount = 0;
}

void BrowseWebsitesWindow::SearchList() {
  static const char* const titles[] = {"F", "Description", "Website address (URL)", "Logon ID",
                                       "Password", "Category"};
  static const int cells[] = {FavouriteCell, DescriptionCell, AddressCell,
                              LogonCell, PasswordCell, CategoryCell};
  pf::WaitCursor wait;
  if (!(SearchState_.SearchDirection == LastDirection)) {
    SearchEndCount = 0;
    LastDirection = SearchState_.SearchDirection.str();
  }
  bool down = !(SearchState_.SearchDirection == "1");
  int step = down ? 1 : -1;
  int selected = brw.selectedRow();
  if (LastFoundWord.str() == SearchState_.SearchWord.str() && selected == SearchRow)
    SearchRow += step;
  else
    SearchRow = selected;
  // Leading blanks of the word count; trailing ones do not.
  std::string word = pf::upper(SearchState_.SearchWord.clip());
  while (!SearchFound) {
    const auto& rows = brw.rows();
    if (rows.empty()) break;
    if (SearchRow < 1 || SearchRow > static_cast<int>(rows.size())) {
      searchSkip(down, word);
      searchScroll(down);
      if (SearchEndCount >= 2) {
        LastFoundWord.clear();
        pf::beep();
        pf::message("Search complete", "Search", pf::Icon::Hand);
        return;
      }
      continue;
    }
    const pf::BrowseRow& row = rows[static_cast<std::size_t>(SearchRow - 1)];
    for (int i = 0; i < 6; ++i) {
      std::size_t cell = static_cast<std::size_t>(cells[i] - 1);
      if (cell >= row.display.cells.size()) continue;
      if (pf::upper(pf::clip(row.display.cells[cell].value)).find(word) != std::string::npos) {
        SearchFound = 1;
        SearchColumnTitle = titles[i];
        break;
      }
    }
    if (SearchFound) break;
    LastFoundWord.clear();
    SearchRow += step;
  }
  if (!SearchFound) return;
  win().selectRow(list(), SearchRow);
  brw.TakeSelectedRow();
  win().display();
  brw.BrowsePostNewSelection();
  LastFoundWord = SearchState_.SearchWord.str();
  pf::beep();
  pf::setFrameStatus(1, "Match located: " + std::string(SearchColumnTitle.view()));
}

std::uint8_t BrowseWebsitesWindow::OnFieldEvent() {
  pf::Window& w = win();
  const pf::Event& e = w.currentEvent();
  if (e.control == feq("?CURRENTTAB") && e.code == pf::EVENT::NewSelection) {
    ApplyCategoryFilter(false);
    w.select(list());
  } else if (e.control == list() && e.code == pf::EVENT::AlertKey) {
    int key = static_cast<int>(e.param);
    if (key == pf::Key::MouseLeft) {
      // The row under the pointer, and only a row that is there.
      int row = static_cast<int>(w.propInt(list(), pf::Prop::MouseDownRow));
      int field = static_cast<int>(w.propInt(list(), pf::Prop::MouseDownField));
      if (field == FavouriteCell && row >= 1 && row <= w.rowCount(list())) {
        if (w.choice(list()) != row) {
          w.selectRow(list(), row);
          brw.TakeSelectedRow();
        }
        changeSelected([] { WEB->FAVOURITEYN = WEB->FAVOURITEYN == 0 ? 1 : 0; }, true);
      }
      return pf::Answer::Handled;
    }
    if (key == pf::Key::Enter) openWebsite(false);
  } else if (e.control == list() && e.code == pf::EVENT::ColumnResize) {
    keepColumnWidths();
  }
  return WindowController::OnFieldEvent();
}

std::uint8_t BrowseWebsitesWindow::OnNewSelection() {
  int c = win().field();
  if (c == list()) {
    win().enable(feq("?LOGON_BUT"));
    win().enable(feq("?PWORD_BUT"));
    warnedBlank_ = false;
    return 0;
  }
  // A new tab is refilled once, by the category filter that follows.
  if (c == feq("?CURRENTTAB")) return 0;
  return WindowController::OnNewSelection();
}

std::uint8_t BrowseWebsitesWindow::OnSelected() {
  int c = win().field();
  std::uint8_t rc = WindowController::OnSelected();
  if (c == feq("?WEB:SITENOTES")) {
    // Tab and Shift+Tab pass over the pane; a click there hands the focus to the list.
    int key = win().keyCode();
    int to = key == pf::Key::Tab ? win().nextFocusable(c, 1)
             : key == pf::Key::ShiftTab ? win().nextFocusable(c, -1) : 0;
    win().select(to ? to : list());
  } else if (c == feq("?INTERNETLINK") && WEB->WEBADDRESS.blank()) {
    pf::message("No websites?||You must firstly select an address from the list.", "No records...",
                pf::Icon::Question);
    warnedBlank_ = true;
    win().select(feq("?INSERT:3"));
  }
  return rc;
}

}  // namespace

void BrowseWebsites() {
  BrowseWebsitesWindow w;
  pf::GLO_Response() = w.Execute();
}

}  // namespace qb
