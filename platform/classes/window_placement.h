// A window's placement for the INI file, and put back on the window where the user can reach
// it whatever the file says.
#pragma once

#include "platform/classes/ini_manager.h"
#include "platform/ui/ui.h"

namespace pf {

class Window;

// Keeps `p` within `area`: no larger than it, and moved in so that the whole window shows
// when it fits. `w` and `h` are the window's size when `p` gives none.
void keepOnDesktop(WindowPlacement& p, const DesktopArea& area, int w, int h);

// The window's placement as the INI file keeps it: position and size only for a window
// neither maximised nor minimised, size only for a resizable one.
WindowPlacement placementOf(const Window& w, bool resizable);

// Gives the window the position and size of `p`, kept on its desktop (keepOnDesktop), then
// maximises it when `p` says so.
void applyPlacement(Window& w, WindowPlacement p);

}  // namespace pf
