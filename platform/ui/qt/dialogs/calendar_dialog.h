// The calendar dialog: a month calendar with the model's colours; answers the chosen day.
#pragma once

#include <QDialog>

#include "platform/ui/ui.h"

namespace pf::qt {

class CalendarDialog : public QDialog {
 public:
  CalendarDialog(const Dialog& d, QWidget* parent);
};

}  // namespace pf::qt
