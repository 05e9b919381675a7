// Runs the program on the desktop: the Qt application, the view, the help window.
#pragma once

#include "platform/runtime/runtime.h"

namespace pf {

// Runs `main` as program thread 1 under the Qt view; returns the process's exit code.
int runDesktopProgram(int argc, char** argv, Procedure main);

// The same inside an application object that already exists (tests, tools).
void runOnDesktop(Procedure main);

}  // namespace pf
