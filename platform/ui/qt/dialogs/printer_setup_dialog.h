// The printer set-up dialog: the page and printer that reports print on (no printing here).
// It shows itself.
#pragma once

#include <QPageSetupDialog>

#include "platform/ui/ui.h"

namespace pf::qt {

class PrinterSetupDialog : public QPageSetupDialog {
 public:
  PrinterSetupDialog(const Dialog& d, QWidget* parent);
};

}  // namespace pf::qt
