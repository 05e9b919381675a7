#include "platform/core/visible_text.h"

namespace pf {

namespace {

// The length of the hidden or reordering character at s[i], or 0 when there is none.
std::size_t hiddenAt(std::string_view s, std::size_t i, bool lines) {
  auto b = [&](std::size_t k) { return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0u; };
  unsigned c = b(0);
  if (c < 0x20 || c == 0x7F) return lines && (c == '\n' || c == '\r' || c == '\t') ? 0 : 1;
  if (c == 0xC2 && b(1) >= 0x80 && b(1) <= 0x9F) return 2;              // C1 controls
  if (c == 0xD8 && b(1) == 0x9C) return 2;                               // arabic letter mark
  if (c == 0xE2 && b(1) == 0x80 && (b(2) == 0x8E || b(2) == 0x8F)) return 3;  // LRM, RLM
  if (c == 0xE2 && b(1) == 0x80 && b(2) >= 0xA8 && b(2) <= 0xAE) return 3;  // separators, LRE..RLO
  if (c == 0xE2 && b(1) == 0x81 && b(2) >= 0xA6 && b(2) <= 0xA9) return 3;  // LRI..PDI
  return 0;
}

std::string replaceHidden(std::string_view s, bool lines, std::string_view with) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    if (std::size_t n = hiddenAt(s, i, lines)) {
      out += with;
      i += n;
    } else {
      out += s[i++];
    }
  }
  return out;
}

}  // namespace

std::string enteredText(std::string_view s, bool lines) { return replaceHidden(s, lines, {}); }
std::string visibleText(std::string_view s, bool lines) { return replaceHidden(s, lines, "\xEF\xBF\xBD"); }

}  // namespace pf
