// The printer set-up dialog: chooses the printer and page that reports print on.
#pragma once

#include <QPrintDialog>

#include "platform/ui/ui.h"

namespace pf::qt {

class PrinterSetupDialog : public QPrintDialog {
 public:
  PrinterSetupDialog(const Dialog& d, QWidget* parent);
};

}  // namespace pf::qt
