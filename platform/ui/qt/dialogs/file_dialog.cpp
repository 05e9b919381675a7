#include "platform/ui/qt/dialogs/file_dialog.h"

#include "platform/ui/qt/convert.h"

namespace pf::qt {

FileDialog::FileDialog(const Dialog& d, QWidget* parent) : QFileDialog(parent, qs(d.file.title)) {
  setOption(QFileDialog::DontUseNativeDialog);
  // The replace question is the program's own box, asked after the dialog has answered.
  setOption(QFileDialog::DontConfirmOverwrite);
  setAcceptMode(d.kind == DialogKind::SaveFile ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  QStringList filters;
  auto parts = splitButtons(d.file.filter);
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2)
    filters << qs(parts[i]) + " (" + qs(parts[i + 1]).replace(';', ' ') + ")";
  if (!filters.isEmpty()) setNameFilters(filters);
  if (!d.file.fileName.empty()) selectFile(qs(d.file.fileName));
  setWindowModality(Qt::NonModal);
  int id = d.id;
  QObject::connect(this, &QFileDialog::finished, [id, this](int result) {
    QStringList files = selectedFiles();
    if (result == QDialog::Accepted && !files.isEmpty()) answerDialog(id, 1, ss(files.front()));
    else answerDialog(id, 0);
  });
}

}  // namespace pf::qt
