// Our own icons, pictures and cursors, found by their names in the program's resources.
#pragma once

#include <QCursor>
#include <QString>
#include <string>

namespace pf::qt {

// The resource path of "Browser.ico", "~qztick4.ico", "MainBG.bmp" (letter case and the
// extension ignored); empty when we have no such picture.
QString resourcePath(const std::string& name);
// A named cursor ("SizeNS", "Wait", "Hand", ...) or one of our cursor pictures.
QCursor cursorFor(const std::string& name);

}  // namespace pf::qt
