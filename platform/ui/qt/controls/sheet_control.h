// A sheet: its tab bar over a raised page.
#pragma once

#include "platform/ui/qt/controls/control_view.h"

#include <QString>
#include <vector>

class QFrame;
class QTabBar;

namespace pf::qt {

class SheetControl : public ControlView {
 public:
  SheetControl(WindowView& win, const Control& c, QWidget* parent);
  // A tab of this sheet (the tab controls add themselves in layout order).
  void addTab(int feq, const QString& text);
  int tabIndex(int feq) const;   // -1 when not one of ours
  QTabBar* tabs() const { return tabs_; }

 protected:
  void syncContent(Window& w, const Control& c) override;

 private:
  QTabBar* tabs_ = nullptr;
  QFrame* page_ = nullptr;
  std::vector<int> tabFeqs_;
};

}  // namespace pf::qt
