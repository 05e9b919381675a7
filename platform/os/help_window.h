// The help window of the Qt view: one top-level browser of help pages that belongs to
// no program window, so it stays open when the window that asked for it closes.
#pragma once

namespace pf {

// Installs the Qt help window as the program's help viewer (needs a QApplication).
void installQtHelpViewer();
// Closes the help window if it is open (program end).
void closeQtHelpViewer();

}  // namespace pf
