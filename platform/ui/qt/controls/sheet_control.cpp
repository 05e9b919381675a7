#include "platform/ui/qt/controls/sheet_control.h"

#include <QApplication>
#include <QFrame>
#include <QTabBar>
#include <algorithm>

#include "platform/ui/qt/view.h"
#include "platform/ui/qt/window_view.h"

namespace pf::qt {

SheetControl::SheetControl(WindowView& win, const Control& c, QWidget* parent) : ControlView(win, c) {
  auto* holder = new QWidget(parent);
  page_ = new QFrame(holder);
  page_->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
  tabs_ = new QTabBar(holder);
  tabs_->setDrawBase(false);
  tabs_->setExpanding(false);   // tabs as wide as their texts, as designed
  // A window's wallpaper brush would fill the tabs black.
  QPalette tp = tabs_->palette();
  tp.setBrush(QPalette::Window, QApplication::palette().window());
  tp.setBrush(QPalette::Button, QApplication::palette().button());
  tabs_->setPalette(tp);
  tabs_->setProperty("qbFeq", c.feq);
  QObject::connect(tabs_, &QTabBar::currentChanged, [t = target()](int index) {
    if (index < 0) return;
    if (Window* m = t()) m->userChooseTab(t.feq, index + 1);
  });
  // Qt moves its current tab off a tab it hides, while the model keeps the hidden tab
  // chosen: a click on the tab Qt shows as current must still choose it.
  QObject::connect(tabs_, &QTabBar::tabBarClicked, [this, t = target()](int index) {
    if (index < 0 || index != tabs_->currentIndex()) return;   // currentChanged follows
    Window* m = t();
    if (m && m->choice(t.feq) != index + 1) m->userChooseTab(t.feq, index + 1);
  });
  w_ = holder;
}

void SheetControl::addTab(int feq, const QString& text) {
  bool was = theView->syncing();
  theView->setSyncing(true);
  tabs_->addTab(text);
  tabFeqs_.push_back(feq);
  theView->setSyncing(was);
}

int SheetControl::tabIndex(int feq) const {
  auto it = std::find(tabFeqs_.begin(), tabFeqs_.end(), feq);
  return it == tabFeqs_.end() ? -1 : static_cast<int>(it - tabFeqs_.begin());
}

void SheetControl::syncContent(Window&, const Control& c) {
  QRect r = win_.u.rect(c);
  int th = tabs_->sizeHint().height();
  tabs_->setGeometry(0, 0, r.width(), th);
  page_->setGeometry(0, th - 1, r.width(), r.height() - th + 1);
  if (c.selected >= 1) tabs_->setCurrentIndex(c.selected - 1);
  w_->lower();
}

}  // namespace pf::qt
