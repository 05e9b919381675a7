// A popup menu of the model's items; answers the chosen item's number, 0 when dismissed.
#pragma once

#include <QMenu>

#include "platform/ui/ui.h"

namespace pf::qt {

class PopupMenu : public QMenu {
 public:
  PopupMenu(const Dialog& d, QWidget* parent);
};

}  // namespace pf::qt
