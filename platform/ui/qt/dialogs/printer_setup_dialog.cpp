#include "platform/ui/qt/dialogs/printer_setup_dialog.h"

#include <QTimer>

#include "platform/ui/qt/qt_view.h"

namespace pf::qt {

PrinterSetupDialog::PrinterSetupDialog(const Dialog& d, QWidget* parent) : QPageSetupDialog(&pf::qt::printer(), parent) {
  // Only exec() puts what the user chose on the printer, so this dialog runs a loop of its
  // own, modal to the window that asked, once the view's turn is over. When the program
  // closes it first, hiding it ends the loop and nothing is put on the printer.
  setWindowModality(Qt::WindowModal);
  int id = d.id;
  QTimer::singleShot(0, this, [this, id] {
    int result = exec();
    answerDialog(id, result == QDialog::Accepted ? 1 : 0);
  });
}

}  // namespace pf::qt
