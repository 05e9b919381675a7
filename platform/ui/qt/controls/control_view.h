// One control of a shown window: the widget (or menu action) that draws it, and how the
// model's values reach it. One subclass per kind of control.
#pragma once

#include <QAction>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "platform/ui/window.h"

namespace pf::qt {

class WindowView;

class ControlView {
 public:
  ControlView(WindowView& win, const Control& c);
  virtual ~ControlView() = default;
  ControlView(const ControlView&) = delete;
  ControlView& operator=(const ControlView&) = delete;

  // The view of a control of `win`, its widgets made under `parent`.
  static std::unique_ptr<ControlView> make(WindowView& win, const Control& c, QWidget* parent);

  Kind kind() const { return kind_; }
  int feq() const { return feq_; }
  QWidget* widget() const { return w_; }
  QAction* action() const { return action_; }
  // The widget that takes the keyboard focus for the control.
  virtual QWidget* focusTarget() const { return w_; }
  // A list whose procedure holds one page of rows and scrolls it on its own.
  virtual bool scrollsByPage() const { return false; }

  // Shows the model's values: the widget's common properties, then the kind's own.
  virtual void sync(Window& w, const Control& c);
  // The control was destroyed at run time: its widgets go.
  void remove();

 protected:
  // The model window a user action goes to; nullptr while the view itself sets the widgets
  // (their signals are not the user's).
  struct Target {
    std::uintptr_t window = 0;
    int feq = 0;
    Window* operator()() const;
  };
  Target target() const { return Target{windowId_, feq_}; }
  virtual void syncContent(Window&, const Control&) {}

  WindowView& win_;
  QPointer<QWidget> w_;
  QPointer<QAction> action_;

 private:
  std::uintptr_t windowId_;
  int feq_;
  Kind kind_;
};

}  // namespace pf::qt
