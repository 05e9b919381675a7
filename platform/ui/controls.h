// Controls and window attributes of the window model: what a layout declares and what the
// program reads and sets at run time. Positions and sizes are dialog units; colours are
// 0x00BBGGRR with -1 for the default.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/ui/binding.h"
#include "platform/ui/list_format.h"

namespace pf {

// Control types; the numbers are what Prop::Type reports.
enum class Kind : int {
  None = 0,
  String = 2,      // display text, optionally of a use variable through its picture
  Image = 3,
  Region = 4,
  Line = 5,
  Box = 6,
  Entry = 8,
  Button = 9,
  Prompt = 10,
  Option = 11,     // radio group; its use variable holds the chosen radio's value
  Check = 12,
  Group = 13,
  List = 14,
  Combo = 15,      // entry plus list, no drop-down part
  Text = 17,       // multi-line entry
  Menu = 19,
  Item = 20,       // menu item (or separator)
  Radio = 21,
  Menubar = 22,
  Toolbar = 23,
  Sheet = 26,
  Tab = 27,
  Panel = 28,
  Progress = 29,
  DropList = 33,
  DropCombo = 34,
};

const char* kindName(Kind k);      // "entry", "droplist", ...
Kind kindFromName(const std::string& name);  // Kind::None when unknown

enum class WindowKind { Frame, MdiChild, Plain };

enum class Prop : int {
  // controls (and the window for feq 0 where it makes sense)
  Text = 1,        // caption, label, entry's shown text, image name, window caption
  Hide, Disable, Color, FontColor, FontName, FontSize, FontStyle, Icon, Tip, Msg,
  Selected,        // list/combo/droplist row; option's radio number; sheet's tab number
  Items,           // rows a list shows at once (read only)
  FirstRow,        // the list's first row in view (1-based)
  Format, Xpos, Ypos, Width, Height, Immediate, Cursor,
  Drop,            // rows of the drop-down part; 0: none
  ValueOn, ValueOff,  // check box values
  Value,           // radio's value
  Checked,         // menu item tick, check box state
  Key,             // key that presses the control
  KeyText,         // text shown right-aligned on a menu item
  ReadOnly, Skip, Default, Picture, DragId, Use,
  VScrollPos,      // 0..100, the list's thumb
  ColumnWidth,     // index: display column (1-based)
  IconList,        // index: icon number of a list
  MouseDownRow, MouseDownColumn, MouseDownField,  // where the last click in a list landed
  Type,            // Kind as a number (read only)
  Fill, Bevel,     // box/region look; Bevel takes index 1..3
  Progress, RangeLow, RangeHigh,
  Visible,         // read only: shown, its parents shown and its tab chosen
  Enabled,         // read only: enabled with its parents
  Parent,          // read only
  Count,           // read only: rows of a list
  // An entry's selection in characters: SelStart puts the cursor there with nothing
  // selected, SelEnd then moves the cursor, selecting from SelStart to it.
  SelStart, SelEnd,
  Touched,         // the user changed the entry since it was last shown: leaving accepts it
  // window
  Iconize = 100, Maximize, Active, Timer, MinWidth, MinHeight, MaxWidth, MaxHeight,
  AcceptAll, Wallpaper, Resizable, StatusText,  // StatusText: index = zone (1-based)
  StatusWidth,     // index = zone; -1 takes the remaining width
  StatusZones,     // read only: number of zones
};

struct Font {
  std::string name;   // empty: the window's
  int size = 0;       // points; 0: the window's
  int style = 0;      // 400 normal, 700 bold; 0: normal
};

struct ListCell {
  std::string value;       // the row's value; shown through the column's picture
  int icon = 0;            // icon number of the list's icon list; 0 none
  std::int32_t fg = -1, bg = -1, selFg = -1, selBg = -1;
};
struct ListRow {
  std::vector<ListCell> cells;   // cell n (1-based in formats) is cells[n - 1]
  ListRow() = default;
  ListRow(std::initializer_list<std::string> values) {
    for (auto& v : values) cells.push_back(ListCell{v});
  }
};

struct Control {
  int feq = 0;
  std::string name;        // "?OK"; may be empty for decoration
  Kind kind = Kind::None;
  int parent = 0;          // enclosing sheet, tab, option, group, menu, menubar or toolbar
  int x = 0, y = 0, w = 0, h = 0;
  std::string text;        // shown text (an entry's screen text)
  bool hide = false, disable = false, immediate = false, readOnly = false, skip = false;
  bool isDefault = false, vscroll = false, hscroll = false, required = false;
  bool separator = false;  // menu separator
  bool password = false;   // an entry that shows what is typed as masks
  bool boxed = false;      // an option group drawn as a box with its text as the caption
  char align = 'L';        // a string's or prompt's text: 'L', 'C' (centred) or 'R'
  std::int32_t color = -1, fontColor = -1, fill = -1;
  std::int32_t bevel[3] = {0, 0, 0};
  Font font;
  std::string icon, tip, msg, picture, cursor, dragId, keyText;
  int key = 0;
  std::vector<int> alerts;
  std::string valueOn = "1", valueOff = "0";   // check
  std::string value;                           // radio
  bool checked = false;                        // check state, menu tick
  int drop = 0;
  ListFormat format;
  std::vector<ListRow> rows;
  std::map<int, std::string> icons;            // list icon list
  int selected = 0;
  int viewRows = 0;         // rows the view shows at once (0: worked out from the height)
  int vscrollPos = 0;
  int progress = 0, rangeLow = 0, rangeHigh = 100;
  int mouseDownRow = 0, mouseDownColumn = 0, mouseDownField = 0;
  std::string use;         // name of the use variable ("WEB:DESCRIPTION")
  Binding binding;
  bool edited = false;     // the user changed the text since it was last shown or taken
  // The entry's text cursor and the other end of its selection, in characters (equal:
  // nothing selected). A text the program sets puts the caret at its end.
  int caret = 0, anchor = 0;
  std::uint64_t selectionSet = 0;   // moves when the program sets the text or the selection
  int keystrokes = 0;               // keystrokes the user made in the entry

  bool isMenuLike() const { return kind == Kind::Menu || kind == Kind::Item || kind == Kind::Menubar; }
  bool hasRows() const {
    return kind == Kind::List || kind == Kind::Combo || kind == Kind::DropList ||
           kind == Kind::DropCombo;
  }
  bool hasEntry() const {
    return kind == Kind::Entry || kind == Kind::Text || kind == Kind::Combo ||
           kind == Kind::DropCombo;
  }
};

struct WindowAttrs {
  std::string name;        // the procedure
  WindowKind kind = WindowKind::Plain;
  std::string caption;
  int x = -1, y = -1, w = 200, h = 100;   // -1: centred / placed by the system
  Font font{"MS Sans Serif", 8, 400};
  std::string icon, wallpaper;
  bool resizable = false, immediate = false, maximize = false, iconize = false;
  bool center = false, noEscClose = false;
  int minW = 0, minH = 0, maxW = 0, maxH = 0;
  int timer = 0;           // hundredths; 0 none
  int toolbarHeight = 0;
  std::vector<int> statusWidths;   // empty: no status bar; -1: the rest of the width
};

}  // namespace pf
