#include "platform/ui/list_format.h"

#include <cctype>

namespace pf {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlign(char c) { return c == 'L' || c == 'R' || c == 'C' || c == 'D'; }

// Widths, indents and cell numbers beyond this make the format invalid: no window is wider.
constexpr int MostNumber = 32767;

// Reads the digits at s[j], advancing j; sets `bad` when the number is beyond MostNumber.
int readNumber(const std::string& s, std::size_t& j, bool& bad) {
  int n = 0;
  while (j < s.size() && isDigit(s[j])) {
    if (n <= MostNumber) n = n * 10 + (s[j] - '0');
    ++j;
  }
  if (n > MostNumber) {
    bad = true;
    return MostNumber;
  }
  return n;
}

// Reads "(n)" at s[i]; returns the number or -1 and leaves i past it.
int readParen(const std::string& s, std::size_t& i, bool& bad) {
  if (i >= s.size() || s[i] != '(') return -1;
  std::size_t j = i + 1;
  bool neg = false;
  if (j < s.size() && s[j] == '-') { neg = true; ++j; }
  int n = readNumber(s, j, bad);
  if (j >= s.size() || s[j] != ')') return -1;
  i = j + 1;
  return neg ? -n : n;
}

}  // namespace

ListFormat ListFormat::parse(const std::string& s) {
  ListFormat f;
  std::size_t i = 0;
  int lastField = 0;
  while (i < s.size()) {
    if (!isDigit(s[i])) {   // stray text between columns
      f.valid = false;
      ++i;
      continue;
    }
    ListColumn c;
    bool bad = false;
    c.width = readNumber(s, i, bad);
    std::size_t start = i;
    if (i < s.size() && isAlign(s[i])) {
      c.align = s[i++];
      int n = readParen(s, i, bad);
      if (n >= 0) c.indent = n;
    }
    while (i < s.size() && !isDigit(s[i])) {
      char ch = s[i];
      if (ch == '~') {
        std::size_t end = s.find('~', i + 1);
        if (end == std::string::npos) { f.valid = false; i = s.size(); break; }
        c.header = s.substr(i + 1, end - i - 1);
        i = end + 1;
        if (i < s.size() && isAlign(s[i])) {
          c.headerAlign = s[i++];
          int n = readParen(s, i, bad);
          if (n >= 0) c.headerIndent = n;
        }
      } else if (ch == '@') {
        std::size_t end = s.find('@', i + 1);
        if (end == std::string::npos) { f.valid = false; i = s.size(); break; }
        c.picture = s.substr(i, end - i);   // "@s45"
        i = end + 1;
      } else if (ch == 'Q' && i + 1 < s.size() && s[i + 1] == '\'') {
        std::size_t j = i + 2;
        std::string tip;
        bool closed = false;
        while (j < s.size()) {
          if (s[j] == '\'') {
            if (j + 1 < s.size() && s[j + 1] == '\'') { tip += '\''; j += 2; continue; }
            closed = true;
            ++j;
            break;
          }
          tip += s[j++];
        }
        if (!closed) f.valid = false;
        c.tip = tip;
        i = j;
      } else if (ch == '#') {
        std::size_t j = i + 1;
        int n = readNumber(s, j, bad);
        if (j < s.size() && s[j] == '#') {
          c.field = n;
          c.explicitField = true;
          i = j + 1;
        } else {
          f.valid = false;
          i = j;
        }
      } else if (ch == '|') {
        c.rightBorder = true;
        ++i;
      } else if (ch == 'M') {
        c.resizable = true;
        ++i;
      } else if (ch == '*') {
        c.colors = true;
        ++i;
      } else if (ch == 'I' || ch == 'J') {
        c.icon = true;
        ++i;
      } else if (std::isupper(static_cast<unsigned char>(ch)) || ch == '_' || ch == '/' || ch == '?') {
        ++i;   // modifiers we keep but do not act on
        if (i < s.size() && s[i] == '(') {
          std::size_t close = s.find(')', i);
          i = close == std::string::npos ? s.size() : close + 1;
        }
      } else {
        f.valid = false;
        ++i;
      }
    }
    if (bad) f.valid = false;
    c.source = s.substr(start, i - start);
    if (!c.explicitField) c.field = lastField + 1;
    lastField = c.field;
    f.columns.push_back(std::move(c));
  }
  return f;
}

std::string ListFormat::str() const {
  std::string out;
  int prev = 0;
  for (const auto& c : columns) {
    out += std::to_string(c.width < 0 ? 0 : c.width);
    out += c.source;
    if (!c.explicitField && c.field != prev + 1) out += "#" + std::to_string(c.field) + "#";
    prev = c.field;
  }
  return out;
}

int ListFormat::columnOfField(int field) const {
  for (std::size_t i = 0; i < columns.size(); ++i)
    if (columns[i].field == field) return static_cast<int>(i) + 1;
  return 0;
}

int ListFormat::cellCount() const {
  int n = 0;
  for (const auto& c : columns) n = c.field > n ? c.field : n;
  return n;
}

}  // namespace pf
