// A window that hosts a TextViewer on its list ?ASCIIBOX: the list's events, the window's
// refreshes and its closing reach the viewer while it is ready.
#pragma once

#include <cstdint>
#include <string>

#include "platform/classes/text_viewer.h"
#include "platform/classes/window_controller.h"

namespace pf {

class TextViewerWindow : public WindowController {
 public:
  using WindowController::WindowController;

  void Refresh(std::uint8_t force = 0) override {
    if (win().inAcceptAll()) return;
    if (ready_) viewer_.TextViewerTakeEvent(win().event());
    WindowController::Refresh(force);
  }

  std::uint8_t OnFieldEvent() override {
    if (ready_ && win().field() == win().feq("?ASCIIBOX") &&
        viewer_.TextViewerTakeEvent(win().event()) == Answer::Handled)
      return Answer::Handled;
    return WindowController::OnFieldEvent();
  }

  std::uint8_t OnWindowEvent() override {
    if (win().event() == EVENT::CloseWindow && ready_) {
      viewer_.TextViewerKill();
      ready_ = 0;
    }
    return WindowController::OnWindowEvent();
  }

 protected:
  LineFile file_;
  TextViewer viewer_;
  std::uint8_t ready_ = 0;  // 1 while the viewer is set up
};

}  // namespace pf
