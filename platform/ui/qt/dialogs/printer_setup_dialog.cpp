#include "platform/ui/qt/dialogs/printer_setup_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>

#include "platform/ui/qt/qt_view.h"

namespace pf::qt {

namespace {

// The printer starts from what the model chose last, so the dialog shows it.
QPrinter& printerFor(const PrinterChoice& c) {
  QPrinter& p = pf::qt::printer();
  if (!c.file.empty()) {
    p.setOutputFileName(QString::fromStdString(c.file));
  } else {
    p.setOutputFileName({});
    if (!c.printer.empty()) p.setPrinterName(QString::fromStdString(c.printer));
  }
  p.setCopyCount(c.copies);
  return p;
}

}  // namespace

PrinterSetupDialog::PrinterSetupDialog(const Dialog& d, QWidget* parent)
    : QPrintDialog(&printerFor(d.printer), parent) {
  // The pages are chosen in the preview ("Pages to Print..."), not here.
  setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintCollateCopies |
             QAbstractPrintDialog::PrintShowPageSize);
  // Modal to its own program thread only, through the model, as every box: the windows of
  // other threads (a browse inside the frame) stay live.
  setWindowModality(Qt::NonModal);
  if (auto* box = findChild<QDialogButtonBox*>())
    if (QPushButton* ok = box->button(QDialogButtonBox::Ok))
      ok->setText(d.printing ? tr("&Print") : tr("OK"));
  // Print to File proposes a file named after the report, not a bare folder.
  if (d.printer.file.empty())
    if (auto* name = findChild<QLineEdit*>("filename"); name && QFileInfo(name->text()).isDir())
      name->setText(QDir(name->text()).filePath("QZKB Report.pdf"));
  int id = d.id;
  // Accepting puts the choice on the printer; the model is told what it became. Closed by
  // the program first (the dialog is hidden and deleted), nothing is answered here.
  connect(this, &QDialog::finished, this, [this, id](int result) {
    if (result != QDialog::Accepted) {
      answerDialog(id, 0);
      return;
    }
    const QPrinter* p = printer();
    PrinterChoice chosen;
    if (p->outputFormat() == QPrinter::PdfFormat && !p->outputFileName().isEmpty())
      chosen.file = p->outputFileName().toStdString();
    else
      chosen.printer = p->printerName().toStdString();
    chosen.copies = p->copyCount();
    answerPrinterSetup(id, chosen);
  });
  show();
}

}  // namespace pf::qt
