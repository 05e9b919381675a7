#include "platform/ui/qt/dialogs/dialogs.h"

#include "platform/ui/qt/dialogs/calendar_dialog.h"
#include "platform/ui/qt/dialogs/file_dialog.h"
#include "platform/ui/qt/dialogs/message_box.h"
#include "platform/ui/qt/dialogs/popup_menu.h"
#include "platform/ui/qt/dialogs/printer_setup_dialog.h"

namespace pf::qt {

QWidget* showDialog(Dialog& d, QWidget* parent) {
  QWidget* w = nullptr;
  switch (d.kind) {
    case DialogKind::Message:
    case DialogKind::Halt: w = new MessageBox(d, parent); break;
    case DialogKind::PrinterSetup: return new PrinterSetupDialog(d, parent);
    case DialogKind::Calendar: w = new CalendarDialog(d, parent); break;
    case DialogKind::SaveFile:
    case DialogKind::OpenFile: w = new FileDialog(d, parent); break;
    case DialogKind::Popup: {
      auto* m = new PopupMenu(d, parent);
      m->popup(QCursor::pos());
      return m;
    }
  }
  if (w) w->show();
  return w;
}

}  // namespace pf::qt
