#include "platform/ui/qt/controls/tab_control.h"

#include <QTabBar>

#include "platform/ui/qt/controls/sheet_control.h"
#include "platform/ui/qt/convert.h"
#include "platform/ui/qt/window_view.h"

namespace pf::qt {

TabControl::TabControl(WindowView& win, const Control& c) : ControlView(win, c) {
  if (auto* sheet = dynamic_cast<SheetControl*>(win.control(c.parent))) sheet->addTab(c.feq, qs(c.text));
}

void TabControl::sync(Window&, const Control& c) {
  auto* sheet = dynamic_cast<SheetControl*>(win_.control(c.parent));
  if (!sheet) return;
  int index = sheet->tabIndex(c.feq);
  if (index < 0 || index >= sheet->tabs()->count()) return;
  QTabBar* tabs = sheet->tabs();
  tabs->setTabText(index, qs(c.text));
  tabs->setTabVisible(index, !c.hide);
  tabs->setTabEnabled(index, !c.disable);
  tabs->setTabToolTip(index, noTips() ? QString() : qs(c.tip));
}

}  // namespace pf::qt
