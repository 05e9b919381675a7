// A model window on the screen: the frame (main window with its MDI area, menu bar, toolbar
// and status bar), an MDI child, or a plain window of its own; and the views of its controls.
#pragma once

#include <QMdiSubWindow>
#include <QPointer>
#include <QRect>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/ui/qt/controls/control_view.h"
#include "platform/ui/qt/dialog_units.h"
#include "platform/ui/window.h"

class QLabel;
class QMainWindow;
class QMdiArea;
class QMenuBar;
class QStatusBar;

namespace pf::qt {

class View;

class WindowView {
 public:
  WindowView(View& view, Window& w);   // builds its widgets and shows them
  ~WindowView();
  void show(Window& w);   // first shown, unless the program hid it
  WindowView(const WindowView&) = delete;
  WindowView& operator=(const WindowView&) = delete;

  // Shows the model's state: controls made or destroyed at run time, every control's
  // values, the placement the program set, the window's state and focus.
  void sync(Window& w);
  // What changes without a model change: whether it takes input, the status texts.
  void syncInput(Window& w);
  void syncFocus(Window& w);
  ControlView* control(int feq);

  std::uintptr_t id = 0;
  WindowKind kind = WindowKind::Plain;
  QPointer<QWidget> top;
  QMainWindow* main = nullptr;
  QMdiArea* mdi = nullptr;
  QPointer<QMdiSubWindow> sub;
  QPointer<QWidget> client;
  QMenuBar* menubar = nullptr;
  QWidget* strip = nullptr;    // toolbar controls
  QStatusBar* status = nullptr;
  std::vector<QLabel*> zones;
  std::map<int, std::unique_ptr<ControlView>> controls;
  Units u;
  QRect geomSeen{-1, -1, -1, -1};   // dialog units last put on the screen
  std::uint64_t seen = ~0ull;
  int focusSeen = -1;
  bool inputSeen = true;

 private:
  void addControl(const Control& c);
  void fitSubWindow();
  void keepInside(Window& w);
  void placePlain(Window& w);
  QRect room() const;

  View& view_;
  bool shown_ = false;
};

}  // namespace pf::qt
