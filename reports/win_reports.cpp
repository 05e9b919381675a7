#include "data/globals.h"
#include "platform/classes/window_controller.h"
#include "reports/reports.h"

namespace qb {

namespace {

class WinReportsWindow : public pf::WindowController {
 public:
  WinReportsWindow() : WindowController("Win_Reports") {
    InstanceMarker = &GLO_Win_ReportsThread;
    win().bind("LOC:SELREPORT", pf::use(LOC_SELREPORT));
    win().setProp(win().feq("?LOC:SELREPORT:RADIO3:2"), pf::Prop::Tip,
                  "Number of website visits to date.\n     (sorted most to least)");
  }

  std::uint8_t Setup() override {
    if (std::uint8_t rc = SetupBegin()) return rc;
    FIRSTFIELD = win().feq("?LOC:SELREPORT:RADIO1:2");
    WindowAddButton(win().feq("?CLOSE"), pf::Response::Cancelled);
    WindowAddButton(win().feq("?CANCEL"), pf::Response::Cancelled);
    LOC_SELREPORT = 1;
    OpenWindow();
    SetupEnd();
    return 0;
  }

  std::uint8_t OnAccepted() override {
    int c = win().field();
    if (c == win().feq("?CLOSE")) {
      win().update();
      using Report = void (*)();
      static const Report reports[] = {Rpt_Websites,        Rpt_WebsitesByCat,
                                       Rpt_Visits,          Rpt_WebsitesSelectedCat,
                                       Rpt_FavoritesOnly,   Rpt_WebsitesSecurityOnly};
      if (LOC_SELREPORT >= 1 && LOC_SELREPORT <= 6) reports[LOC_SELREPORT - 1]();
    } else if (c == win().feq("?HELP")) {
      win().update();
      if (Help) Help->HelpKeywordLookup("Printing reports", "Not found", "Help Topic");
    }
    return WindowController::OnAccepted();
  }

  std::uint8_t TearDown() override {
    if (std::uint8_t rc = WindowController::TearDown()) return rc;
    return TearDownEnd();
  }

 private:
  std::uint8_t LOC_SELREPORT = 0;
};

}  // namespace

void Win_Reports() {
  WinReportsWindow w;
  pf::GLO_Response() = w.Execute();
}

}  // namespace qb
