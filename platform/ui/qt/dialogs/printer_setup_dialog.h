// The printer set-up: Qt's print dialog, where the user picks a printer or Print to File
// (PDF) and the copies. It prints nothing itself: its OK keeps the choice on the printer
// that reports print on (and in the model's printer choice). Its OK reads "OK", or "Print"
// when the print waits on it. It shows itself.
#pragma once

#include <QPrintDialog>

#include "platform/ui/ui.h"

namespace pf::qt {

class PrinterSetupDialog : public QPrintDialog {
 public:
  PrinterSetupDialog(const Dialog& d, QWidget* parent);
};

}  // namespace pf::qt
