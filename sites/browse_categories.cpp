#include <algorithm>
#include <string>

#include "data/access.h"
#include "data/dictionary.h"
#include "data/globals.h"
#include "platform/classes/browse_manager.h"
#include "platform/classes/error_manager.h"
#include "platform/classes/window_controller.h"
#include "platform/core/strings.h"
#include "platform/runtime/message.h"
#include "platform/store/view.h"
#include "platform/ui/keys.h"
#include "platform/ui/ui.h"
#include "sites/categories.h"

namespace qb {

namespace {

class BrowseCategoriesWindow;

class CategoriesBrowse : public pf::BrowseManager {
 public:
  explicit CategoriesBrowse(BrowseCategoriesWindow& w) : owner_(w) {}
  int BrowseReload() override;
  std::uint8_t BrowseOnKey(int key) override;

 private:
  BrowseCategoriesWindow& owner_;
};

class BrowseCategoriesWindow : public pf::WindowController {
 public:
  BrowseCategoriesWindow() : WindowController("BrowseCategories"), brw(*this) {
    InstanceMarker = &GLO_BrowseCategoriesThread;
    ResizeMinSize = 0;
  }

  std::uint8_t Setup() override;
  std::uint8_t TearDown() override;
  std::uint8_t ExecuteUpdate(int number, std::uint8_t request) override;
  std::uint8_t OnAccepted() override;
  void SetupResizer(pf::ControlResizer& r) override;

  int feq(const char* name) { return win().feq(name); }

  std::int32_t LOC_COUNT = 0;
  std::uint8_t LOC_ChangeMade = 0;

 private:
  // True when the button's handling stops here.
  bool refuseChange();
  bool refuseDelete();

  pf::View view{Category()};
  CategoriesBrowse brw;
  bool setOpenFlag_ = false;
};

int CategoriesBrowse::BrowseReload() {
  if (!VIEW || !VIEW->isOpen()) return pf::BrowseManager::BrowseReload();
  pf::WaitCursor wait;
  Relate_Category().RelationSetQuickScan(true);
  std::int32_t count = 0;
  VIEW->set();
  for (;;) {
    int r = BrowseFetchNext();
    if (r == 5) break;
    if (r != 0) {
      Relate_Category().RelationSetQuickScan(false);
      // The list cannot be trusted any more.
      WINDOW->win().post(pf::EVENT::CloseWindow);
      return 3;
    }
    ++count;
  }
  owner_.LOC_COUNT = std::min<std::int32_t>(count, 32767);
  int rc = pf::BrowseManager::BrowseReload();
  Relate_Category().RelationSetQuickScan(false);
  return rc;
}

std::uint8_t CategoriesBrowse::BrowseOnKey(int key) {
  switch (key) {
    case pf::Key::MouseLeft2:
      // Through the button, so that its checks apply.
      if (BrowseHasRecords()) WINDOW->win().post(pf::EVENT::Accepted, CHANGECONTROL);
      return pf::Answer::Handled;
    case pf::Key::Insert:
    case pf::Key::Delete:
    case pf::Key::CtrlEnter:
      // Editing happens only through the buttons.
      return pf::Answer::Handled;
    default:
      return pf::BrowseManager::BrowseOnKey(key);
  }
}

std::uint8_t BrowseCategoriesWindow::Setup() {
  if (std::uint8_t rc = SetupBegin()) return rc;
  int list = feq("?BROWSE:1");
  FIRSTFIELD = list;
  WindowAddButton(feq("?CLOSE"), pf::Response::Cancelled);
  LOC_ChangeMade = 0;
  if (SetupFiles({&Relate_Category()}) != 0) return pf::Answer::LeaveLoop;
  brw.BrowseInit(list, view, Relate_Category(), *this);
  brw.INSERTCONTROL = feq("?INSERT:2");
  brw.CHANGECONTROL = feq("?CHANGE:2");
  brw.DELETECONTROL = feq("?DELETE:2");
  win().bind(feq("?LOC:COUNT"), pf::use(LOC_COUNT));
  OpenWindow();
  GLO_BrowseCatsOpen = 1;
  setOpenFlag_ = true;
  brw.BrowseAddSortOrder(&CAT_CatKey());
  brw.StepTextInit();
  brw.BrowseAddLocator(pf::use(CAT->CATEGORY));
  brw.BrowseAddField("CAT:CATEGORY", pf::use(CAT->CATEGORY), 1);
  brw.ASKPROCEDURE = 1;
  WindowAddComponent(brw);
  pf::Window& w = win();
  w.setProp(0, pf::Prop::MinWidth, 151);
  w.setProp(0, pf::Prop::MaxWidth, 151);
  w.setProp(0, pf::Prop::MinHeight, 200);
  w.setProp(0, pf::Prop::MaxHeight, 500);
  SetupEnd();
  return 0;
}

void BrowseCategoriesWindow::SetupResizer(pf::ControlResizer& r) {
  using namespace pf;
  r.ResizeSetStrategy(feq("?BROWSE:1"), ResizePos::Fixed, ResizePos::Fixed, ResizeSize::Fixed, ResizeSize::Grow);
  for (const char* c : {"?CURRENTTAB", "?INSERT:2", "?CHANGE:2", "?DELETE:2", "?LOC:COUNT", "?HELP", "?CLOSE"})
    r.ResizeSetStrategy(feq(c), ResizePos::Fixed, ResizePos::Move, ResizeSize::Fixed, ResizeSize::Fixed);
}

std::uint8_t BrowseCategoriesWindow::TearDown() {
  if (std::uint8_t rc = WindowController::TearDown()) return rc;
  if (FILESOPENED && GLO_BrowseSitesOpen == 1 && LOC_ChangeMade == 1)
    pf::message("Please note:|Any changes to Categories will not take effect in Browse Websites |until that "
                "window has been closed then re-opened.",
                "The Browse Websites is open...", pf::Icon::Information);
  // A start refused by the one-instance rule leaves the open window's flag alone.
  if (setOpenFlag_) GLO_BrowseCatsOpen = 0;
  setOpenFlag_ = false;
  LOC_ChangeMade = 0;
  return TearDownEnd();
}

std::uint8_t BrowseCategoriesWindow::ExecuteUpdate(int number, std::uint8_t request) {
  WindowController::ExecuteUpdate(number, request);
  pf::GLO_Request() = request;
  UpdateCategory();
  return pf::GLO_Response() ? pf::GLO_Response() : pf::Response::Cancelled;
}

// The reserved names and the default category are compared as the category key compares
// names: without regard to letter case.
bool BrowseCategoriesWindow::refuseChange() {
  std::string name = CAT->CATEGORY.clip();
  if (reservedCategoryName(name)) {
    pf::message("This category is required by the program and can not be changed.", name, pf::Icon::Exclamation);
    return true;
  }
  return false;
}

bool BrowseCategoriesWindow::refuseDelete() {
  std::string name = CAT->CATEGORY.clip();
  if (reservedCategoryName(name)) {
    pf::message("This category is required by the program and can not be deleted.", name, pf::Icon::Exclamation);
    return true;
  }
  if (pf::foldEqual(name, GLO_DefaultCat.clip())) {
    pf::message("This category is set as the default category to use under [Preferences].||To enable removal "
                "deselect it under [Preferences] first.",
                CAT->CATEGORY.str(), pf::Icon::Exclamation);
    return true;
  }
  pf::Position selected = brw.BrowseUpdateViewRecord() ? Category().position() : pf::Position{};
  GLO_DelCategory = CAT->CATEGORY.str();
  GLO_RenameMode = 0;
  bool inUse = DeleteCategory({0, CAT->CATEGORY.str(), {}, {}}).count > 0;
  // A file may hold one name in two spellings; the websites keep the other row.
  if (inUse && !selected.empty() && categoryNameTaken(CAT->CATEGORY.str(), selected)) {
    GLO_DelCategory = "";
    return false;
  }
  if (inUse) {
    pf::message("This category is currently in use and can not be deleted.||TIP: This category can be renamed by "
                "selecting the [Change] button.",
                CAT->CATEGORY.str(), pf::Icon::Exclamation);
    GLO_DelCategory = "";
    return true;
  }
  return false;
}

std::uint8_t BrowseCategoriesWindow::OnAccepted() {
  int c = win().field();
  if (c == feq("?INSERT:2")) {
    LOC_ChangeMade = 1;
  } else if (c == feq("?CHANGE:2") && brw.BrowseHasRecords()) {
    if (refuseChange()) return pf::Answer::Handled;
    LOC_ChangeMade = 1;
  } else if (c == feq("?DELETE:2") && brw.BrowseHasRecords()) {
    if (refuseDelete()) return pf::Answer::Handled;
  }
  std::uint8_t rc = WindowController::OnAccepted();
  if (c == feq("?HELP")) {
    UpdateComponents();
    if (Help) Help->HelpKeywordLookup("Add a new category", "Not found", "Help Topic");
  }
  return rc;
}

}  // namespace

void BrowseCategories() {
  BrowseCategoriesWindow w;
  pf::GLO_Response() = w.Execute();
}

}  // namespace qb
