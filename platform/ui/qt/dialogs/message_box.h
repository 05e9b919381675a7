// A message box: the model's text, icon and buttons; answers the button's number.
#pragma once

#include <QMessageBox>

#include "platform/ui/ui.h"

namespace pf::qt {

class MessageBox : public QMessageBox {
 public:
  MessageBox(const Dialog& d, QWidget* parent);
};

}  // namespace pf::qt
