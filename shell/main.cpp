// The program: reads no command line, runs the main program on the desktop.
#include "platform/os/program.h"
#include "shell/main_program.h"

int main(int argc, char** argv) {
  qb::installThreadHooks();
  qb::registerHelp();
  return pf::runDesktopProgram(argc, argv, qb::MainProgram);
}
