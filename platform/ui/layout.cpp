// Layout text, one file per procedure (resources/layouts/<Procedure>.layout):
//
//   # a comment; blank lines are ignored
//   window UpdateCategory mdi "Update Category" at 0,0 size 200,80 resize min 200,80
//     entry ?CAT:CATEGORY at 50,10 size 100,10 picture "@s25" tip "Category name"
//     option ?LOC:MODE "Mode" at 10,30 size 100,30
//       radio ?LOC:MODE:1 " One" at 15,40 size 40,10 value "1"
//     end
//     button ?OK "&OK" at 100,60 size 40,14 default
//   end
//
// The first statement is the window: `window <Procedure> frame|mdi|plain`. Every other line
// is one control: its kind, optionally its name (beginning with '?'), optionally its text in
// double quotes (\" and \\ inside; \n breaks a tip onto a second line), then attributes in any order. menubar, menu, toolbar,
// sheet, tab, option and group open a block that a line `end` closes; the window's own
// block may be closed by a last `end` or by the end of the file.
//
// Kinds: string entry prompt button check option radio group list combo droplist dropcombo
// sheet tab text image region box line panel progress menubar menu item separator toolbar.
// A `list` or `combo` with `drop N` becomes a drop list or drop combo.
//
// Attributes (numbers decimal or 0x hex; colours 0xBBGGRR; keys as "F2", "Ctrl+Enter"):
//   at X,Y   size W,H   use NAME   picture "@s45"   format "10L(2)|M~Name~@s25@"
//   from "a|b|c" (fixed rows)   tip "..."   msg "..."   icon "x.ico"   cursor "~hand.cur"
//   drag "HSplit"   key F2   keytext "F1 Key"   alert F12 (may repeat)
//   font "Arial" 8 [bold]   color C   fontcolor C   fill C   value "1" (radio)
//   values "1" "0" (check: on, off)   drop N   range LOW,HIGH (progress)
//   hide disable immediate readonly skip default vscroll hscroll required checked
//   password (an entry that masks what is typed)   boxed (an option drawn as a box with
//   its text as the caption; without it an option only groups its radios)
//   left center right (the alignment of a string's or prompt's text)
// Window attributes: its text is the caption; at, size, font, icon, wallpaper "x.bmp",
//   resize, immediate, maximize, iconize, center, noesc, min W,H, max W,H, timer N
//   (hundredths), status W1,W2,... (-1 takes the rest of the width).
// toolbar: `toolbar height N`.
//
// Numbers: the window's controls get 1, 2, ... in the order of the file; everything inside
// a menubar or toolbar block gets -1, -2, ... in order. A control's use variable defaults to
// its name without the '?'.
#include "platform/ui/layout.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <utility>

#include "platform/core/strings.h"
#include "platform/ui/keys.h"

namespace pf {

namespace detail {
// Generated from resources/layouts at build time: (procedure, text) pairs.
const std::vector<std::pair<const char*, const char*>>& embeddedLayoutTexts();
}  // namespace detail

namespace {

struct Token {
  std::string text;
  bool quoted = false;
};

std::vector<Token> tokenize(const std::string& line, int lineNo) {
  std::vector<Token> out;
  std::size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') { ++i; continue; }
    if (c == '#' && out.empty()) break;
    if (c == '"') {
      Token t;
      t.quoted = true;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char d = line[i++];
        if (d == '\\' && i < line.size()) {
          char e = line[i++];
          t.text += e == 'n' ? '\n' : e;
          continue;
        }
        if (d == '"') { closed = true; break; }
        t.text += d;
      }
      if (!closed) throw LayoutError(lineNo, "unclosed text");
      out.push_back(std::move(t));
      continue;
    }
    Token t;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '"')
      t.text += line[i++];
    // "3, 2" reads as "3,2"
    while (!t.text.empty() && t.text.back() == ',' && i < line.size()) {
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '"')
        t.text += line[i++];
    }
    out.push_back(std::move(t));
  }
  return out;
}

long number(const std::string& s, int lineNo) {
  if (s.empty()) throw LayoutError(lineNo, "number expected");
  char* end = nullptr;
  // Decimal, or hex after 0x; a leading zero is not octal ("010" is ten).
  const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
  long v = std::strtol(s.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
  if (*end != 0) throw LayoutError(lineNo, "not a number: " + s);
  return v;
}

std::vector<int> numbers(const std::string& s, int lineNo) {
  std::vector<int> out;
  std::size_t start = 0;
  while (start <= s.size()) {
    std::size_t comma = s.find(',', start);
    std::string part = s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    out.push_back(static_cast<int>(number(part, lineNo)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out;
}

bool isBlockKind(Kind k) {
  return k == Kind::Menubar || k == Kind::Menu || k == Kind::Toolbar || k == Kind::Sheet ||
         k == Kind::Tab || k == Kind::Option || k == Kind::Group;
}

bool hasValue(Kind k) {
  switch (k) {
    case Kind::String: case Kind::Entry: case Kind::Text: case Kind::Check: case Kind::Option:
    case Kind::List: case Kind::Combo: case Kind::DropList: case Kind::DropCombo:
    case Kind::Progress: case Kind::Sheet:
      return true;
    default:
      return false;
  }
}

class Parser {
 public:
  Parser(const std::vector<Token>& t, int line) : t_(t), line_(line) {}
  bool more() const { return i_ < t_.size(); }
  const Token& peek() const { return t_[i_]; }
  const Token& next() {
    if (!more()) throw LayoutError(line_, "value missing at the end of the line");
    return t_[i_++];
  }
  std::string quoted(const std::string& what) {
    const Token& t = next();
    if (!t.quoted) throw LayoutError(line_, what + " needs a text in double quotes");
    return t.text;
  }
  std::string word(const std::string& what) {
    const Token& t = next();
    if (t.quoted) throw LayoutError(line_, what + " needs a word, not a text");
    return t.text;
  }
  std::pair<int, int> pair(const std::string& what) {
    auto v = numbers(word(what), line_);
    if (v.size() != 2) throw LayoutError(line_, what + " needs two numbers: A,B");
    return {v[0], v[1]};
  }
  int line() const { return line_; }

 private:
  const std::vector<Token>& t_;
  std::size_t i_ = 0;
  int line_;
};

void fontAttr(Parser& p, Font& f) {
  f.name = p.quoted("font");
  if (p.more() && !p.peek().quoted && std::isdigit(static_cast<unsigned char>(p.peek().text[0])))
    f.size = static_cast<int>(number(p.next().text, p.line()));
  if (p.more() && !p.peek().quoted && lower(p.peek().text) == "bold") {
    p.next();
    f.style = 700;
  }
}

void windowAttrs(Parser& p, WindowAttrs& w) {
  while (p.more()) {
    if (p.peek().quoted) { w.caption = p.next().text; continue; }
    std::string a = lower(p.next().text);
    if (a == "at") std::tie(w.x, w.y) = p.pair("at");
    else if (a == "size") std::tie(w.w, w.h) = p.pair("size");
    else if (a == "font") fontAttr(p, w.font);
    else if (a == "icon") w.icon = p.quoted("icon");
    else if (a == "wallpaper") w.wallpaper = p.quoted("wallpaper");
    else if (a == "resize") w.resizable = true;
    else if (a == "immediate") w.immediate = true;
    else if (a == "maximize") w.maximize = true;
    else if (a == "iconize") w.iconize = true;
    else if (a == "center") w.center = true;
    else if (a == "noesc") w.noEscClose = true;
    else if (a == "min") std::tie(w.minW, w.minH) = p.pair("min");
    else if (a == "max") std::tie(w.maxW, w.maxH) = p.pair("max");
    else if (a == "timer") w.timer = static_cast<int>(number(p.word("timer"), p.line()));
    else if (a == "status") w.statusWidths = numbers(p.word("status"), p.line());
    else throw LayoutError(p.line(), "unknown window attribute: " + a);
  }
}

void controlAttrs(Parser& p, Control& c, WindowAttrs& w) {
  bool textSeen = false;
  while (p.more()) {
    if (p.peek().quoted) {
      if (textSeen) throw LayoutError(p.line(), "a second text needs an attribute name before it");
      c.text = p.next().text;
      textSeen = true;
      continue;
    }
    std::string a = lower(p.next().text);
    if (a == "at") std::tie(c.x, c.y) = p.pair("at");
    else if (a == "size") std::tie(c.w, c.h) = p.pair("size");
    else if (a == "use") c.use = p.word("use");
    else if (a == "picture") c.picture = p.quoted("picture");
    else if (a == "format") c.format = ListFormat::parse(p.quoted("format"));
    else if (a == "from") {
      std::string items = p.quoted("from");
      std::size_t start = 0;
      while (start <= items.size()) {
        std::size_t bar = items.find('|', start);
        c.rows.push_back(ListRow{items.substr(start, bar == std::string::npos ? std::string::npos : bar - start)});
        if (bar == std::string::npos) break;
        start = bar + 1;
      }
    }
    else if (a == "tip") c.tip = p.quoted("tip");
    else if (a == "msg") c.msg = p.quoted("msg");
    else if (a == "icon") c.icon = p.quoted("icon");
    else if (a == "cursor") c.cursor = p.quoted("cursor");
    else if (a == "drag") c.dragId = p.quoted("drag");
    else if (a == "keytext") c.keyText = p.quoted("keytext");
    else if (a == "key" || a == "alert") {
      std::string k = p.word(a);
      int code = parseKey(k);
      if (!code) throw LayoutError(p.line(), "unknown key: " + k);
      if (a == "key") c.key = code; else c.alerts.push_back(code);
    }
    else if (a == "font") fontAttr(p, c.font);
    else if (a == "color") c.color = static_cast<std::int32_t>(number(p.word("color"), p.line()));
    else if (a == "fontcolor") c.fontColor = static_cast<std::int32_t>(number(p.word("fontcolor"), p.line()));
    else if (a == "fill") c.fill = static_cast<std::int32_t>(number(p.word("fill"), p.line()));
    else if (a == "value") c.value = p.quoted("value");
    else if (a == "values") { c.valueOn = p.quoted("values"); c.valueOff = p.quoted("values"); }
    else if (a == "drop") c.drop = static_cast<int>(number(p.word("drop"), p.line()));
    else if (a == "range") std::tie(c.rangeLow, c.rangeHigh) = p.pair("range");
    else if (a == "height" && c.kind == Kind::Toolbar) w.toolbarHeight = static_cast<int>(number(p.word("height"), p.line()));
    else if (a == "hide") c.hide = true;
    else if (a == "disable") c.disable = true;
    else if (a == "immediate") c.immediate = true;
    else if (a == "readonly") c.readOnly = true;
    else if (a == "skip") c.skip = true;
    else if (a == "default") c.isDefault = true;
    else if (a == "vscroll") c.vscroll = true;
    else if (a == "hscroll") c.hscroll = true;
    else if (a == "required") c.required = true;
    else if (a == "checked") c.checked = true;
    else if (a == "password") c.password = true;
    else if (a == "boxed") c.boxed = true;
    else if (a == "left") c.align = 'L';
    else if (a == "center") c.align = 'C';
    else if (a == "right") c.align = 'R';
    else throw LayoutError(p.line(), "unknown attribute: " + a);
  }
}

struct Registry {
  std::map<std::string, Layout> parsed;       // lower-cased name
  std::map<std::string, std::string> added;   // registered texts
  bool embeddedRead = false;
  std::map<std::string, std::pair<std::string, const char*>> embedded;  // lower -> (name, text)
  void readEmbedded() {
    if (embeddedRead) return;
    embeddedRead = true;
    for (const auto& [name, text] : detail::embeddedLayoutTexts()) embedded[lower(name)] = {name, text};
  }
};

Registry& reg() {
  static Registry r;
  return r;
}

}  // namespace

Layout parseLayout(const std::string& text) {
  Layout out;
  bool haveWindow = false, windowClosed = false;
  struct Open { int feq; Kind kind; bool negative; };
  std::vector<Open> stack;
  int nextPos = 1, nextNeg = -1;
  int lineNo = 0;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t nl = text.find('\n', pos);
    std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    pos = nl == std::string::npos ? text.size() + 1 : nl + 1;
    ++lineNo;
    auto tokens = tokenize(line, lineNo);
    if (tokens.empty()) continue;
    if (tokens[0].quoted) throw LayoutError(lineNo, "a line begins with a kind, not a text");
    std::string kindWord = lower(tokens[0].text);
    if (windowClosed) throw LayoutError(lineNo, "text after the window's end");
    if (kindWord == "window") {
      if (haveWindow) throw LayoutError(lineNo, "a second window");
      if (tokens.size() < 3) throw LayoutError(lineNo, "window needs a procedure name and frame, mdi or plain");
      out.window.name = tokens[1].text;
      std::string k = lower(tokens[2].text);
      if (k == "frame") out.window.kind = WindowKind::Frame;
      else if (k == "mdi") out.window.kind = WindowKind::MdiChild;
      else if (k == "plain") out.window.kind = WindowKind::Plain;
      else throw LayoutError(lineNo, "window kind must be frame, mdi or plain");
      std::vector<Token> rest(tokens.begin() + 3, tokens.end());
      Parser p(rest, lineNo);
      windowAttrs(p, out.window);
      haveWindow = true;
      continue;
    }
    if (!haveWindow) throw LayoutError(lineNo, "the first statement must be the window");
    if (kindWord == "end") {
      if (tokens.size() > 1) throw LayoutError(lineNo, "end takes nothing after it");
      if (stack.empty()) windowClosed = true;
      else stack.pop_back();
      continue;
    }
    Control c;
    bool separatorLine = kindWord == "separator";
    c.kind = separatorLine ? Kind::Item : kindFromName(kindWord);
    if (c.kind == Kind::None) throw LayoutError(lineNo, "unknown kind: " + tokens[0].text);
    c.separator = separatorLine;
    std::size_t first = 1;
    if (tokens.size() > 1 && !tokens[1].quoted && tokens[1].text[0] == '?') {
      c.name = tokens[1].text;
      first = 2;
    }
    std::vector<Token> rest(tokens.begin() + static_cast<long>(first), tokens.end());
    Parser p(rest, lineNo);
    controlAttrs(p, c, out.window);
    if (c.drop > 0 && c.kind == Kind::List) c.kind = Kind::DropList;
    if (c.drop > 0 && c.kind == Kind::Combo) c.kind = Kind::DropCombo;
    if ((c.kind == Kind::DropList || c.kind == Kind::DropCombo) && c.drop == 0) c.drop = 10;
    bool inBar = !stack.empty() && stack.back().negative;
    bool negative = inBar || c.kind == Kind::Menubar || c.kind == Kind::Toolbar;
    if ((c.kind == Kind::Menu || c.kind == Kind::Item) && !inBar)
      throw LayoutError(lineNo, "menus and items belong inside a menubar");
    if (c.kind == Kind::Tab && (stack.empty() || stack.back().kind != Kind::Sheet))
      throw LayoutError(lineNo, "a tab belongs inside a sheet");
    if (c.kind == Kind::Radio && (stack.empty() || stack.back().kind != Kind::Option))
      throw LayoutError(lineNo, "a radio belongs inside an option");
    c.feq = negative ? nextNeg-- : nextPos++;
    c.parent = stack.empty() ? 0 : stack.back().feq;
    if (c.use.empty() && hasValue(c.kind) && c.name.size() > 1) c.use = c.name.substr(1);
    if (isBlockKind(c.kind)) stack.push_back({c.feq, c.kind, negative});
    out.controls.push_back(std::move(c));
  }
  if (!haveWindow) throw LayoutError(lineNo, "no window statement");
  if (!stack.empty()) throw LayoutError(lineNo, "a block is not closed with end");
  // A sheet starts on its first tab.
  for (auto& c : out.controls)
    if (c.kind == Kind::Sheet) c.selected = 1;
  return out;
}

void registerLayout(const std::string& procedure, const std::string& text) {
  Layout l = parseLayout(text);
  auto& r = reg();
  r.added[lower(procedure)] = text;
  r.parsed[lower(procedure)] = std::move(l);
}

void registerLayout(const std::string& procedure, Layout layout) {
  layout.window.name = procedure;
  reg().parsed[lower(procedure)] = std::move(layout);
}

const Layout& findLayout(const std::string& procedure) {
  auto& r = reg();
  std::string key = lower(procedure);
  auto it = r.parsed.find(key);
  if (it != r.parsed.end()) return it->second;
  r.readEmbedded();
  auto e = r.embedded.find(key);
  if (e == r.embedded.end()) throw LayoutError(0, "no layout for " + procedure);
  try {
    return r.parsed[key] = parseLayout(e->second.second);
  } catch (const LayoutError& err) {
    r.parsed.erase(key);
    throw LayoutError(err.line, e->second.first + ".layout: " + err.what());
  }
}

bool hasLayout(const std::string& procedure) {
  auto& r = reg();
  std::string key = lower(procedure);
  if (r.parsed.count(key)) return true;
  r.readEmbedded();
  return r.embedded.count(key) != 0;
}

std::vector<std::string> layoutNames() {
  auto& r = reg();
  r.readEmbedded();
  std::map<std::string, std::string> names;
  for (const auto& [k, v] : r.embedded) names[k] = v.first;
  for (const auto& [k, v] : r.parsed) names.emplace(k, v.window.name.empty() ? k : v.window.name);
  std::vector<std::string> out;
  for (const auto& [k, v] : names) out.push_back(v);
  return out;
}

namespace {
struct KindName { Kind k; const char* n; };
constexpr KindName kKinds[] = {
    {Kind::String, "string"}, {Kind::Image, "image"}, {Kind::Region, "region"},
    {Kind::Line, "line"}, {Kind::Box, "box"}, {Kind::Entry, "entry"},
    {Kind::Button, "button"}, {Kind::Prompt, "prompt"}, {Kind::Option, "option"},
    {Kind::Check, "check"}, {Kind::Group, "group"}, {Kind::List, "list"},
    {Kind::Combo, "combo"}, {Kind::Text, "text"}, {Kind::Menu, "menu"},
    {Kind::Item, "item"}, {Kind::Radio, "radio"}, {Kind::Menubar, "menubar"},
    {Kind::Toolbar, "toolbar"}, {Kind::Sheet, "sheet"}, {Kind::Tab, "tab"},
    {Kind::Panel, "panel"}, {Kind::Progress, "progress"}, {Kind::DropList, "droplist"},
    {Kind::DropCombo, "dropcombo"},
};
}  // namespace

const char* kindName(Kind k) {
  for (const auto& e : kKinds)
    if (e.k == k) return e.n;
  return "none";
}

Kind kindFromName(const std::string& name) {
  std::string l = lower(name);
  for (const auto& e : kKinds)
    if (l == e.n) return e.k;
  return Kind::None;
}

}  // namespace pf
