#include "shell/view_licence.h"

#include <memory>
#include <string>

#include "platform/classes/error_manager.h"
#include "platform/classes/text_viewer_window.h"
#include "platform/ui/keys.h"

namespace qb {
namespace {

class ViewLicenceWindow : public pf::TextViewerWindow {
 public:
  ViewLicenceWindow() : TextViewerWindow("ViewLicence") { ResizeStrategy = 0; }

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

 private:
  std::string fileName_;
};

}  // namespace

void ViewLicence() {
  ViewLicenceWindow w;
  pf::GLO_Response() = w.Execute();
}

}  // namespace qb
