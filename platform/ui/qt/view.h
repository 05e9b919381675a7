// The view of the whole model: follows the model's changes (sync), keeps a WindowView per
// open window and a widget per open box or dialog, and forwards the user's input through
// its event filter.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/qt/input_filter.h"
#include "platform/ui/qt/window_view.h"
#include "platform/ui/ui.h"

class QWidget;

namespace pf::qt {

class View : public ViewObserver {
 public:
  View();
  ~View() override;

  void windowOpened(Window&) override { schedule(); }
  void windowClosed(std::uintptr_t) override { schedule(); }
  void windowChanged(Window&, int, Prop) override { schedule(); }
  void dialogOpened(Dialog&) override { schedule(); }
  void dialogClosed(int) override { schedule(); }
  void programChanged() override { schedule(); }
  std::optional<DesktopArea> desktopArea(const Window& w) override;
  std::optional<std::vector<std::string>> printers() override;

  // A sync at the next turn of the Qt loop (many model changes, one redraw).
  void schedule();
  void sync();
  void arrange(MdiArrangement how);
  // The model's active window is brought to the front again at the next sync (the user
  // activated a window that another window of its thread holds).
  void activateAgain() {
    activeSeen_ = 0;
    schedule();
  }

  // Opens a menu of the menu bar `w` uses (its own, or the frame's for an MDI child): the
  // menu `menuFeq`, or the first one that can open when it is 0.
  void openMenu(Window& w, int menuFeq);

  WindowView* find(std::uintptr_t id);
  // The window (and control) a widget belongs to.
  WindowView* owner(QObject* o, int* feq);
  QWidget* frameWidget();
  const std::map<std::uintptr_t, std::unique_ptr<WindowView>>& shown() const { return shown_; }
  InputFilter* filter() { return &filter_; }

  // While set, widget signals are the view's own doing, not the user's.
  bool syncing() const { return syncing_; }
  void setSyncing(bool on) { syncing_ = on; }

 private:
  void create(Window& w);
  void activate(std::uintptr_t id);
  void syncDialogs();

  std::map<std::uintptr_t, std::unique_ptr<WindowView>> shown_;
  std::map<int, QPointer<QWidget>> dialogs_;
  InputFilter filter_;
  QTimer poll_;
  bool queued_ = false;
  bool syncing_ = false;
  std::uintptr_t activeSeen_ = 0;
  int raisesSeen_ = 0;
  int cursorPushed_ = 0;
  std::string cursorSeen_;
  int beepsSeen_ = 0;
};

extern View* theView;

}  // namespace pf::qt
