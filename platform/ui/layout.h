// Window layouts: one text per procedure (resources/layouts/<Procedure>.layout), embedded in
// the program. The format is described at the top of layout.cpp.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ui/controls.h"

namespace pf {

struct Layout {
  WindowAttrs window;
  std::vector<Control> controls;   // in layout order; feq set (1.. for window controls,
                                   // -1.. for menu and toolbar controls)
};

struct LayoutError : std::runtime_error {
  int line;
  LayoutError(int line, const std::string& what)
      : std::runtime_error("layout line " + std::to_string(line) + ": " + what), line(line) {}
};

Layout parseLayout(const std::string& text);   // throws LayoutError

// The layout of a procedure: registered ones first, then the embedded files. Throws
// LayoutError (line 0) when there is none.
const Layout& findLayout(const std::string& procedure);
bool hasLayout(const std::string& procedure);
// Adds or replaces a layout (tests use their own small ones).
void registerLayout(const std::string& procedure, const std::string& text);
// Another procedure's window made from a layout (windows shared by several procedures).
void registerLayout(const std::string& procedure, Layout layout);
std::vector<std::string> layoutNames();

}  // namespace pf
