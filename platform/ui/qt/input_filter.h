// Turns what Qt reports (keys, focus, mouse, wheel, close boxes, moves and resizes, window
// states) into the model's user* calls. No system code runs here.
#pragma once

#include <QObject>

namespace pf::qt {

class View;

class InputFilter : public QObject {
 public:
  explicit InputFilter(View* v) : v_(v) {}
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  View* v_;
};

}  // namespace pf::qt
