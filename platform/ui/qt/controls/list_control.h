// A list: a tree widget of rows and columns, with its own scroll bar when the procedure holds only
// one page of rows and scrolls it itself.
#pragma once

#include "platform/ui/qt/controls/control_view.h"

#include <string>

class QScrollBar;
class QTreeWidget;

namespace pf::qt {

class ListControl : public ControlView {
 public:
  ListControl(WindowView& win, const Control& c, QWidget* parent);
  QWidget* focusTarget() const override;
  bool scrollsByPage() const override { return bar_ != nullptr; }

 protected:
  void syncContent(Window& w, const Control& c) override;

 private:
  QTreeWidget* tree_ = nullptr;
  QScrollBar* bar_ = nullptr;
  std::string rowsSeen_;   // what the rows last showed
};

}  // namespace pf::qt
