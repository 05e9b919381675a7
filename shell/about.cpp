#include "shell/about.h"

#include "data/globals.h"
#include "platform/classes/window_controller.h"
#include "platform/ui/controls.h"
#include "shell/open_url.h"
#include "shell/view_licence.h"

namespace qb {
namespace {

class WinAboutWindow : public pf::WindowController {
 public:
  WinAboutWindow() : WindowController("Win_About") {
    InstanceMarker = &GLO_Win_AboutThread;
    ResizeStrategy = 0;
  }

  std::uint8_t Setup() override {
    if (std::uint8_t rc = SetupBegin()) return rc;
    OpenWindow();
    win().setText(win().feq("?QZWEBURL"), AuthorWebsite);
    createLinkArea();
    SetupEnd();
    return 0;
  }

  std::uint8_t TearDown() override {
    if (std::uint8_t rc = WindowController::TearDown()) return rc;
    return TearDownEnd();
  }

  std::uint8_t OnFieldEvent() override {
    if (win().field() == AboutLinkArea && win().event() == pf::EVENT::MouseUp)
      OpenURL(win().id(), AuthorWebsite);
    return WindowController::OnFieldEvent();
  }

  std::uint8_t OnAccepted() override {
    int control = win().field();
    if (control == win().feq("?BUTTON1")) win().post(pf::EVENT::CloseWindow);
    if (control == win().feq("?BUTTON3")) ViewLicence();
    return WindowController::OnAccepted();
  }

 private:
  // A region exactly over the address, so that only the address reacts to the mouse.
  void createLinkArea() {
    int area = win().create(pf::Kind::Region, AboutLinkArea);
    win().setProp(area, pf::Prop::Immediate, 1);
    if (const pf::Control* url = win().control(win().feq("?QZWEBURL")))
      win().setPosition(area, url->x, url->y, url->w, url->h);
    win().unhide(area);
    win().setProp(area, pf::Prop::Cursor, "~hand.cur");
  }
};

}  // namespace

void Win_About() {
  WinAboutWindow w;
  pf::GLO_Response() = w.Execute();
}

}  // namespace qb
