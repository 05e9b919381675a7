#include "platform/ui/qt/controls/control_view.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

#include "platform/ui/qt/controls/button_control.h"
#include "platform/ui/qt/controls/check_control.h"
#include "platform/ui/qt/controls/combo_control.h"
#include "platform/ui/qt/controls/entry_control.h"
#include "platform/ui/qt/controls/frame_control.h"
#include "platform/ui/qt/controls/group_control.h"
#include "platform/ui/qt/controls/image_control.h"
#include "platform/ui/qt/controls/label_control.h"
#include "platform/ui/qt/controls/list_control.h"
#include "platform/ui/qt/controls/menu_control.h"
#include "platform/ui/qt/controls/menu_item_control.h"
#include "platform/ui/qt/controls/progress_control.h"
#include "platform/ui/qt/controls/region_control.h"
#include "platform/ui/qt/controls/sheet_control.h"
#include "platform/ui/qt/controls/tab_control.h"
#include "platform/ui/qt/controls/text_control.h"
#include "platform/ui/qt/convert.h"
#include "platform/ui/qt/fonts.h"
#include "platform/ui/qt/resources.h"
#include "platform/ui/qt/view.h"
#include "platform/ui/qt/window_view.h"

namespace pf::qt {

ControlView::ControlView(WindowView& win, const Control& c)
    : win_(win), windowId_(win.id), feq_(c.feq), kind_(c.kind) {}

Window* ControlView::Target::operator()() const {
  if (!theView || theView->syncing()) return nullptr;
  return findWindow(window);
}

std::unique_ptr<ControlView> ControlView::make(WindowView& win, const Control& c, QWidget* parent) {
  std::unique_ptr<ControlView> v;
  switch (c.kind) {
    case Kind::Menu: v = std::make_unique<MenuControl>(win, c); break;
    case Kind::Item: v = std::make_unique<MenuItemControl>(win, c); break;
    case Kind::String:
    case Kind::Prompt: v = std::make_unique<LabelControl>(win, c, parent); break;
    case Kind::Entry: v = std::make_unique<EntryControl>(win, c, parent); break;
    case Kind::Text: v = std::make_unique<TextControl>(win, c, parent); break;
    case Kind::Button: v = std::make_unique<ButtonControl>(win, c, parent); break;
    case Kind::Check:
    case Kind::Radio: v = std::make_unique<CheckControl>(win, c, parent); break;
    case Kind::Option:
    case Kind::Group: v = std::make_unique<GroupControl>(win, c, parent); break;
    case Kind::List: v = std::make_unique<ListControl>(win, c, parent); break;
    case Kind::Combo:
    case Kind::DropCombo:
    case Kind::DropList: v = std::make_unique<ComboControl>(win, c, parent); break;
    case Kind::Sheet: v = std::make_unique<SheetControl>(win, c, parent); break;
    case Kind::Tab: v = std::make_unique<TabControl>(win, c); break;
    case Kind::Image: v = std::make_unique<ImageControl>(win, c, parent); break;
    case Kind::Region: v = std::make_unique<RegionControl>(win, c, parent); break;
    case Kind::Box:
    case Kind::Panel:
    case Kind::Line: v = std::make_unique<FrameControl>(win, c, parent); break;
    case Kind::Progress: v = std::make_unique<ProgressControl>(win, c, parent); break;
    default: v = std::make_unique<ControlView>(win, c); break;   // menubar, toolbar: nothing to draw
  }
  if (QWidget* w = v->widget()) {
    w->setProperty("qbFeq", c.feq);
    w->installEventFilter(theView->filter());
    if (auto* cb = qobject_cast<QComboBox*>(w); cb && cb->lineEdit()) cb->lineEdit()->installEventFilter(theView->filter());
    if (QWidget* f = v->focusTarget(); f && f != w) f->installEventFilter(theView->filter());
    w->show();
  }
  return v;
}

void ControlView::sync(Window& w, const Control& c) {
  QWidget* wd = w_;
  if (!wd) return;
  wd->setVisible(w.visible(c.feq));
  wd->setEnabled(w.propInt(c.feq, Prop::Enabled) != 0);
  wd->setGeometry(win_.u.rect(c));
  wd->setToolTip(noTips() ? QString() : qs(c.tip));
  if (!c.cursor.empty()) wd->setCursor(cursorFor(c.cursor));
  if (c.font.size > 0 || !c.font.name.empty() || c.font.style) wd->setFont(fontOf(c.font, win_.client->font()));
  if (c.color != -1 || c.fontColor != -1) {
    QPalette pal = wd->palette();
    if (c.color != -1) {
      pal.setColor(QPalette::Base, bgr(c.color));
      pal.setColor(QPalette::Window, bgr(c.color));
      pal.setColor(QPalette::Button, bgr(c.color));
    }
    if (c.fontColor != -1) {
      pal.setColor(QPalette::Text, bgr(c.fontColor));
      pal.setColor(QPalette::WindowText, bgr(c.fontColor));
      pal.setColor(QPalette::ButtonText, bgr(c.fontColor));
    }
    wd->setPalette(pal);
    wd->setAutoFillBackground(c.color != -1 && c.kind != Kind::Entry);
  } else if (wd->testAttribute(Qt::WA_SetPalette)) {
    wd->setPalette(QPalette());
    wd->setAutoFillBackground(false);
  }
  syncContent(w, c);
}

void ControlView::remove() {
  delete w_.data();
  delete action_.data();
}

}  // namespace pf::qt
