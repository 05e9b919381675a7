// The first thread's main procedure and the program-wide set-up around it.
#pragma once

#include <functional>

namespace qb {

// Makes every thread but the first get its access objects when it starts, and every
// thread give them back when it ends; a thread that an exception ends is shown in the
// error manager's stop box. Run before the first thread starts.
void installThreadHooks();

// Registers the help pages under "Linkvue.chm".
void registerHelp();

// The main procedure of the first thread: error manager, matcher, INI file, the first
// thread's access objects, single instance, drag setting, the frame, shut-down.
void MainProgram();

// What the frame's "show yourself" request does when a later start asks for it: the
// "Quillbox" frame found minimised is shown normal, else raised. False when no such
// frame is open (the first instance is still at its password prompt).
bool RaiseFrame();

}  // namespace qb
