#include "data/access.h"
#include "data/dictionary.h"
#include "data/globals.h"
#include "platform/classes/browse_manager.h"
#include "platform/classes/window_controller.h"
#include "platform/store/view.h"
#include "sites/categories.h"

namespace qb {

namespace {

class SelectCategoryWindow : public pf::WindowController {
 public:
  SelectCategoryWindow() : WindowController("Win_SelectCategory") {
    InstanceMarker = &GLO_Win_SelectCategoryThread;
    WindowTopic = "Win_SelectCategory.htm";
  }

  std::uint8_t Setup() override {
    if (std::uint8_t rc = SetupBegin()) return rc;
    FIRSTFIELD = win().feq("?PROMPT1");
    WindowAddButton(win().feq("?CLOSE"), pf::Response::Cancelled);
    if (SetupFiles({&Relate_Category()}) != 0) return pf::Answer::LeaveLoop;
    OpenWindow();
    // Every category in name order; the row of GLO:DelCategory (else the first) is
    // taken at once, so GLO:DelCategory names a category from the start.
    combo.DropComboInit(pf::use(CAT->CATEGORY), win().feq("?CAT:CATEGORY"), view, Relate_Category(), *this, 0, 1, 0);
    combo.ViewAddSortOrder(nullptr);
    combo.DropAddDisplayField(pf::use(CAT->CATEGORY));
    combo.DropAddUpdateField(pf::use(CAT->CATEGORY), pf::use(GLO_DelCategory));
    WindowAddComponent(combo);
    SetupEnd();
    return 0;
  }

  std::uint8_t TearDown() override {
    if (std::uint8_t rc = WindowController::TearDown()) return rc;
    return TearDownEnd();
  }

 private:
  pf::View view{Category()};
  pf::DropComboLookup combo;
};

}  // namespace

void Win_SelectCategory() {
  SelectCategoryWindow w;
  pf::GLO_Response() = w.Execute();
}

}  // namespace qb
