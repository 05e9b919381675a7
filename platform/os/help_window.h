// The help window of the Qt view: one top-level window of help pages that belongs to no
// program window, so it stays open when the window that asked for it closes. It shows
// the help file's contents tree, keyword index and full-text search beside the page,
// with Back and Forward.
#pragma once

class QWidget;

namespace pf {

// Installs the Qt help window as the program's help viewer (needs a QApplication).
void installQtHelpViewer();
// Closes the help window if it is open (program end).
void closeQtHelpViewer();
// The help window once it has been shown, else nullptr.
QWidget* qtHelpWindow();

}  // namespace pf
