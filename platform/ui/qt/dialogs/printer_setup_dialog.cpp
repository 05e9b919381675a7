#include "platform/ui/qt/dialogs/printer_setup_dialog.h"

#include "platform/ui/qt/qt_view.h"

namespace pf::qt {

PrinterSetupDialog::PrinterSetupDialog(const Dialog& d, QWidget* parent) : QPageSetupDialog(&pf::qt::printer(), parent) {
  setWindowModality(Qt::NonModal);
  int id = d.id;
  QObject::connect(this, &QDialog::finished, [id](int result) { answerDialog(id, result == QDialog::Accepted ? 1 : 0); });
}

}  // namespace pf::qt
