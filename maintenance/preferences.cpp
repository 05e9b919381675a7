#include <string>
#include <vector>

#include "data/access.h"
#include "data/dictionary.h"
#include "data/globals.h"
#include "maintenance/maintenance.h"
#include "platform/classes/browse_manager.h"
#include "platform/classes/error_manager.h"
#include "platform/classes/file_accessor.h"
#include "platform/classes/window_controller.h"
#include "platform/core/strings.h"
#include "platform/runtime/message.h"
#include "platform/store/view.h"
#include "platform/ui/binding.h"
#include "platform/ui/ui.h"

namespace qb {
namespace {

class PreferencesWindow : public pf::WindowController {
 public:
  PreferencesWindow() : WindowController("Win_Preferences") {
    pf::Window& w = win();
    w.bind("PREF:AUTOOPENBROWSE", pf::use(PREF->AUTOOPENBROWSE));
    w.bind("PREF:SHOWPWORDS", pf::use(PREF->SHOWPWORDS));
    w.bind("PREF:SHOWCATS", pf::use(PREF->SHOWCATS));
    w.bind("PREF:TOOLTIPSONOFF", pf::use(PREF->TOOLTIPSONOFF));
    w.bind("PREF:HOMEPAGE", pf::use(PREF->HOMEPAGE));
    w.bind("PREF:NOMAINBG", pf::use(PREF->NOMAINBG));
    w.bind("PREF:DEFAULTBUPDRIVE", pf::use(PREF->DEFAULTBUPDRIVE));
    w.bind("CAT:CATEGORY", pf::use(CAT->CATEGORY));
  }

  std::uint8_t Setup() override {
    if (std::uint8_t rc = SetupBegin()) return rc;
    FIRSTFIELD = feq("?PREF:AUTOOPENBROWSE");
    WindowAddButton(feq("?CANCEL"), pf::Response::Cancelled);
    WindowAddSaveFile(Access_Defaults());
    PRIMARY = &Relate_Defaults();
    SetupFiles({&Relate_Category(), &Relate_Defaults()});
    Defaults().set();
    if (Defaults().next() == pf::Err::None) REQUEST = ORIGINALREQUEST = pf::Request::Change;
    if (REQUEST == pf::Request::Insert || REQUEST == pf::Request::Delete) {
      pf::AppErrors.throwError(REQUEST == pf::Request::Insert ? pf::Msg::InsertIllegal : pf::Msg::DeleteIllegal);
      return pf::Answer::Handled;
    }
    OKCONTROL = feq("?OK");
    if (PrepareFiles() != 0) return pf::Answer::Handled;
    OpenWindow();
    drop.DropListInit(feq("?CAT:CATEGORY"), catView, Relate_Category(), *this);
    drop.ViewAddSortOrder(&CAT_CatKey());
    drop.DropAddDisplayField(pf::use(CAT->CATEGORY));
    drop.DropAddUpdateField(pf::use(CAT->CATEGORY), pf::use(PREF->DEFAULTCAT));
    drop.DEFAULTFILL = 0;
    WindowAddComponent(drop);
    SetupEnd();
    return 0;
  }

  std::uint8_t TearDown() override {
    if (std::uint8_t rc = WindowController::TearDown()) return rc;
    return TearDownEnd();
  }

  std::uint8_t OnAccepted() override {
    int c = win().field();
    if (c == feq("?PASTEBUT")) {
      paste();
    } else if (c == feq("?PREF:DEFAULTBUPDRIVE")) {
      PREF->DEFAULTBUPDRIVE = pf::upper(PREF->DEFAULTBUPDRIVE.str());
      win().display(c);
    } else if (c == feq("?OK")) {
      if (!okSteps()) return pf::Answer::Handled;
    } else if (c == feq("?HELP")) {
      std::uint8_t rc = WindowController::OnAccepted();
      if (Help) Help->HelpKeywordLookup("Apply your default preferences", "Not found", "Help Topic");
      return rc;
    }
    return WindowController::OnAccepted();
  }

 private:
  int feq(const char* name) { return win().feq(name); }

  void paste() {
    std::string text = pf::clipboard();
    if (!PREF->HOMEPAGE.blank()) {
      if (pf::message("Do you want to overwrite the existing address?", "Field not empty...", pf::Icon::Question,
                      "&Overwrite|&Cancel", 1) != 1) {
        win().select(feq("?PREF:HOMEPAGE"));
        return;
      }
      PREF->HOMEPAGE = text;
    }
    if (PREF->HOMEPAGE.blank()) PREF->HOMEPAGE = text;
    win().display(feq("?PREF:HOMEPAGE"));
  }

  // False when the OK stops and the form stays open.
  bool okSteps() {
    win().update();
    PREF->DEFAULTBUPDRIVE = pf::upper(PREF->DEFAULTBUPDRIVE.str());
    win().display(feq("?PREF:DEFAULTBUPDRIVE"));
    std::string drive = PREF->DEFAULTBUPDRIVE.clip();
    if (drive == "C") {
      pf::message(
          "The program and its data are normally already on the C: drive.| It is recommended to use an external "
          "drive.|| USB flash or external hard drives are a good choice.",
          "Are you sure?", pf::Icon::Question);
    } else if (drive == "D") {
      pf::message(
          "Is 'D' is a DVD or CD-ROM drive?||If so please be advised that you can not backup directly to DVD or "
          "CD-ROM.|| USB flash or external hard drives are a good choice.",
          "Are you sure?", pf::Icon::Question);
    } else if (!drive.empty() && (drive[0] < 'A' || drive[0] > 'Z')) {
      pf::message(
          "The backup destination drive must be in the range of [A - Z].||Alternatively it can be left blank and "
          "selected at the time of backup.|",
          "Invalid...", pf::Icon::RedCross);
      win().select(feq("?PREF:DEFAULTBUPDRIVE"));
      return false;
    }
    if (!recordPasses()) {
      win().select(FIRSTFIELD);
      return false;
    }
    const Copies before = copies();
    GLO_AutoOpenBrowse = PREF->AUTOOPENBROWSE;
    GLO_ShowPwords = PREF->SHOWPWORDS;
    GLO_DefaultBupDrive = PREF->DEFAULTBUPDRIVE.str();
    GLO_ShowCats = PREF->SHOWCATS;
    GLO_DefaultCat = PREF->DEFAULTCAT.str();
    GLO_HomePage = PREF->HOMEPAGE.str();
    // After the copies: a stale category stays in force until the next start.
    if (CAT->CATEGORY.blank()) PREF->DEFAULTCAT = "All Categories";
    if (PREF->HOMEPAGE.blank()) GLO_HomePage.clear();
    std::vector<unsigned char> onFile;
    int rc = Defaults().putIfUnchanged(RecordAsRead(), onFile);
    if (rc == pf::Err::FileChanged) {
      // Another program saved its preferences meanwhile: nothing is saved or put in force.
      restore(before);
      Access_Defaults().FileThrowMessage(pf::Msg::PutError, {});
      TakeRecordOnFile(onFile);
      win().select(FIRSTFIELD);
      return false;
    }
    if (rc != pf::Err::None) {
      pf::stopBox(pf::error());
    } else {
      SnapshotRecord();
    }
    pf::setNoTips(PREF->TOOLTIPSONOFF != 0);
    return true;
  }

  // The process-wide preference copies the OK sets.
  struct Copies {
    std::uint8_t autoOpenBrowse, showPwords, showCats;
    std::string defaultBupDrive, defaultCat, homePage;
  };
  Copies copies() const {
    return {GLO_AutoOpenBrowse, GLO_ShowPwords, GLO_ShowCats, GLO_DefaultBupDrive.str(), GLO_DefaultCat.str(),
            GLO_HomePage.str()};
  }
  void restore(const Copies& c) {
    GLO_AutoOpenBrowse = c.autoOpenBrowse;
    GLO_ShowPwords = c.showPwords;
    GLO_ShowCats = c.showCats;
    GLO_DefaultBupDrive = c.defaultBupDrive;
    GLO_DefaultCat = c.defaultCat;
    GLO_HomePage = c.homePage;
  }

  // The file's own checks of every field (the record number's range), each reported.
  bool recordPasses() {
    const int fields = static_cast<int>(DefaultsDesc().fields.size());
    for (int f = 1; f <= fields; ++f)
      if (Access_Defaults().FileValidateFieldReport(f) != pf::Level::Benign) return false;
    return true;
  }

  pf::View catView{Category()};
  pf::DropListLookup drop;
};

}  // namespace

void Win_Preferences() {
  PreferencesWindow w;
  pf::GLO_Response() = w.Execute();
}

}  // namespace qb
