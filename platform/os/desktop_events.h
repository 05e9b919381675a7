// For headless runs (the driver): answers the desktop's requests (a later start asking
// the running program to show its frame) for a while.
#pragma once

namespace pf {

// Processes the desktop's events for about `milliseconds`; makes a core application
// first when there is none.
void processDesktopEvents(int milliseconds);

}  // namespace pf
