// The column format of a list, combo or drop list, as one string:
//   "10L(5)|I~F~L(2)@n3@Q'(F) Favorite (Click on to Change)'131L(2)|M*~Description~@s45@..."
// Per column: width (dialog units), alignment L/R/C/D with an optional (indent), then
// modifiers: | right border, M resizable, * colours per cell, I (J) icon, ~header~ with its own
// optional alignment and (indent), @picture@, Q'tip', #n# the row cell it shows (1-based).
// The parsed string keeps every token so str() gives back exactly what was parsed, with the
// current widths and column order.
#pragma once

#include <string>
#include <vector>

namespace pf {

struct ListColumn {
  int width = 0;             // 0: hidden, its place kept
  char align = 'L';          // L, R, C or D (decimal)
  int indent = 0;
  bool rightBorder = false;  // |
  bool resizable = false;    // M
  bool colors = false;       // *
  bool icon = false;         // I or J
  std::string header;        // between the tildes
  char headerAlign = 0;      // 0: as the column
  int headerIndent = 0;
  std::string picture;       // with its leading '@': "@s45"
  std::string tip;           // Q'...'
  int field = 0;             // the row cell shown, 1-based
  std::string source;        // the tokens as parsed, width excluded (kept for str())
  bool explicitField = false;  // had #n#
};

struct ListFormat {
  std::vector<ListColumn> columns;   // in display order
  bool valid = true;                 // false: the text did not parse (columns may be partial)

  static ListFormat parse(const std::string& text);
  // The format string with the present widths and order; a column shown out of its natural
  // place names its cell with #n#.
  std::string str() const;
  // Display index (1-based) of the column that shows row cell `field`; 0 when none.
  int columnOfField(int field) const;
  int cellCount() const;   // highest cell number shown
};

}  // namespace pf
