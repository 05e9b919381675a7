// The open-file or save-file dialog; answers the chosen file's name.
#pragma once

#include <QFileDialog>

#include "platform/ui/ui.h"

namespace pf::qt {

class FileDialog : public QFileDialog {
 public:
  FileDialog(const Dialog& d, QWidget* parent);
};

}  // namespace pf::qt
