#include <memory>
#include <string>

#include "data/dictionary.h"
#include "maintenance/maintenance.h"
#include "platform/classes/error_manager.h"
#include "platform/classes/text_viewer_window.h"
#include "platform/core/errors.h"
#include "platform/core/strings.h"
#include "platform/runtime/events.h"
#include "platform/runtime/message.h"
#include "platform/store/file.h"
#include "platform/ui/keys.h"
#include "platform/ui/ui.h"

namespace qb {
namespace {

class ViewSaveCsvWindow : public pf::TextViewerWindow {
 public:
  ViewSaveCsvWindow() : TextViewerWindow("ViewSaveCSV") { ResizeStrategy = pf::Resize::Anchor; }

  std::uint8_t Setup() override {
    if (std::uint8_t rc = SetupBegin()) return rc;
    FIRSTFIELD = feq("?ASCIIBOX");
    WindowAddButton(feq("?CLOSE"), pf::Response::Cancelled);
    LOC_AskToSave = 1;
    OpenWindow();
    Resizer.ResizeInit(pf::Resize::Anchor, 0, 0, &win());
    RESIZE = &Resizer;
    RestorePlacement();
    // The export's own name: an older file whose name differs only in letter case is
    // not the export.
    ready_ = viewer_.TextViewerInit(file_, SitesCSVDesc().diskName, win(), feq("?ASCIIBOX"), pf::AppErrors,
                                    pf::TextViewerFlag::Find | pf::TextViewerFlag::Print);
    if (!ready_) return pf::Level::Fatal;
    viewer_.TextViewerSetPrinter(printer_);
    viewer_.TextViewerSetSearcher(searcher_);
    SetAlertKeys();
    Help = std::make_unique<pf::HelpController>();
    Help->HelpInit(HelpFile, pf::Key::F12, &win());
    return 0;
  }

  std::uint8_t TearDown() override {
    if (std::uint8_t rc = WindowController::TearDown()) return rc;
    return TearDownEnd();
  }

  std::uint8_t OnEvent() override {
    for (const char* b : {"?PRINT", "?SEARCH"}) ready_ ? win().enable(feq(b)) : win().disable(feq(b));
    return WindowController::OnEvent();
  }

  std::uint8_t OnSelected() override {
    if (win().field() == feq("?CLOSE") && LOC_AskToSave == 1) {
      stayOnce_ = false;
      if (pf::message("Do you want to 'Save' the CSV file?||Use the [Save CSV file as...] button to save.", "Save?",
                      pf::Icon::Question, "&Yes|&No", 1) == 1) {
        // The press that brought the focus here must not close the window.
        stayOnce_ = true;
        win().select(feq("?SAVEBUT"));
        return pf::Answer::Handled;
      }
      pf::message("The CSV file has not been saved.", "Please note...", pf::Icon::Information);
      win().post(pf::EVENT::CloseWindow);
      return pf::Answer::Handled;
    }
    return WindowController::OnSelected();
  }

  std::uint8_t OnAccepted() override {
    int c = win().field();
    if (c == feq("?CLOSE") && stayOnce_) {
      stayOnce_ = false;
      return pf::Answer::Handled;
    }
    if (c == feq("?SEARCH")) {
      win().update();
      if (ready_) searcher_.Ask(viewer_);
    } else if (c == feq("?PRINT")) {
      win().update();
      if (ready_) printer_.Ask(viewer_);
    } else if (c == feq("?SAVEBUT")) {
      stayOnce_ = false;
      save();
      LOC_AskToSave = 0;
    }
    return WindowController::OnAccepted();
  }

 private:
  int feq(const char* name) { return win().feq(name); }

  void save() {
    LOC_StartPath = pf::currentDirectory();
    LOC_SourceFile = pf::clip(LOC_StartPath) + "/SitesCSV.csv";
    pf::FileRequest r;
    r.title = "File to save to";
    r.fileName = LOC_SaveFileName;
    r.filter = "CSV files|*.csv";
    r.save = true;
    std::string chosen = LOC_SaveFileName;
    if (!pf::fileDialog(r, chosen)) {
      LOC_Saved = 0;
    } else {
      LOC_SaveFileName = chosen;
      LOC_TargetFile = pf::clip(LOC_SaveFileName);
      // The export is ours; the name the user chose is the file written, spelt exactly so.
      if (pf::copyFileExactly(LOC_SourceFile, LOC_TargetFile) != 0) {
        pf::message("Problem saving? " + LOC_TargetFile + "||Try saving using a different file name. ", "Error...",
                    pf::Icon::RedCross);
        LOC_Saved = 0;
      } else {
        LOC_Saved = 1;
      }
      // The confirmation names the file as it was saved.
      if (LOC_Saved == 1) pf::message(LOC_TargetFile, "File saved...", pf::Icon::Information);
    }
    // The dialog may have moved the working folder; the data files are found by plain names.
    pf::setCurrentDirectory(LOC_StartPath);
    win().select(feq("?CLOSE"));
  }

  pf::TextSearcher searcher_;
  pf::TextPrinter printer_;
  std::string LOC_SaveFileName, LOC_SourceFile, LOC_StartPath, LOC_TargetFile;
  std::uint8_t LOC_Saved = 0;
  std::uint8_t LOC_AskToSave = 1;
  bool stayOnce_ = false;
};

}  // namespace

void ViewSaveCSV() {
  ViewSaveCsvWindow w;
  pf::GLO_Response() = w.Execute();
}

}  // namespace qb
