#include "shell/view_licence.h"

#include <memory>
#include <string>

#include "platform/classes/error_manager.h"
#include "platform/classes/text_viewer.h"
#include "platform/classes/window_controller.h"
#include "platform/ui/keys.h"

namespace qb {
namespace {

class ViewLicenceWindow : public pf::WindowController {
 public:
  ViewLicenceWindow() : WindowController("ViewLicence") { ResizeStrategy = 0; }

  std::uint8_t Setup() override {
    if (std::uint8_t rc = SetupBegin()) return rc;
    WindowAddButton(win().feq("?CLOSE"), pf::Response::Cancelled);
    FIRSTFIELD = win().feq("?ASCIIBOX");
    OpenWindow();
    RestorePlacement();
    fileName_ = LicenceFile;
    ready_ = viewer_.TextViewerInit(file_, fileName_, win(), win().feq("?ASCIIBOX"), pf::AppErrors,
                                    pf::TextViewerFlag::Find);
    if (!ready_) return pf::Level::Fatal;
    SetAlertKeys();
    Help = std::make_unique<pf::HelpController>();
    Help->HelpInit(HelpFile, pf::Key::F12, &win());
    return 0;
  }

  std::uint8_t TearDown() override {
    if (std::uint8_t rc = WindowController::TearDown()) return rc;
    return TearDownEnd();
  }

  void Refresh(std::uint8_t force = 0) override {
    if (win().inAcceptAll()) return;
    if (ready_) viewer_.TextViewerTakeEvent(win().event());
    WindowController::Refresh(force);
  }

  std::uint8_t OnFieldEvent() override {
    if (ready_ && win().field() == win().feq("?ASCIIBOX") &&
        viewer_.TextViewerTakeEvent(win().event()) == pf::Answer::Handled)
      return pf::Answer::Handled;
    return WindowController::OnFieldEvent();
  }

  std::uint8_t OnWindowEvent() override {
    if (win().event() == pf::EVENT::CloseWindow && ready_) {
      viewer_.TextViewerKill();
      ready_ = 0;
    }
    return WindowController::OnWindowEvent();
  }

 private:
  pf::LineFile file_;
  pf::TextViewer viewer_;
  std::string fileName_;
  std::uint8_t ready_ = 0;
};

}  // namespace

void ViewLicence() {
  ViewLicenceWindow w;
  pf::GLO_Response() = w.Execute();
}

}  // namespace qb
