#include "platform/ui/keys.h"

#include <cctype>
#include <cstdlib>
#include <utility>

namespace pf {
namespace {

struct Named {
  const char* name;
  int code;
};

constexpr Named kNames[] = {
    {"MouseLeft", Key::MouseLeft},   {"MouseRight", Key::MouseRight},
    {"MouseCenter", Key::MouseCenter}, {"MouseLeft2", Key::MouseLeft2},
    {"MouseRight2", Key::MouseRight2}, {"MouseCenter2", Key::MouseCenter2},
    {"BS", Key::BS},       {"Backspace", Key::BS}, {"Tab", Key::Tab},
    {"Enter", Key::Enter}, {"Return", Key::Enter}, {"Esc", Key::Esc},
    {"Escape", Key::Esc},  {"Space", Key::Space},  {"PgUp", Key::PgUp},
    {"PageUp", Key::PgUp}, {"PgDn", Key::PgDn},    {"PageDown", Key::PgDn},
    {"End", Key::End},     {"Home", Key::Home},    {"Left", Key::Left},
    {"Up", Key::Up},       {"Right", Key::Right},  {"Down", Key::Down},
    {"Insert", Key::Insert}, {"Ins", Key::Insert}, {"Delete", Key::Delete},
    {"Del", Key::Delete},  {"Quote", Key::Quote},
};

bool sameFold(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return i == a.size() && b[i] == 0;
}

int baseKey(const std::string& s) {
  if (s.empty()) return 0;
  for (const auto& n : kNames)
    if (sameFold(s, n.name)) return n.code;
  if ((s[0] == 'F' || s[0] == 'f') && s.size() >= 2 && s.size() <= 3) {
    int n = std::atoi(s.c_str() + 1);
    if (n >= 1 && n <= 12) return Key::F1 + n - 1;
  }
  if (s.size() == 1) {
    char c = s[0];
    if (std::isalnum(static_cast<unsigned char>(c))) return Key::letter(c);
    if (c == '\'') return Key::Quote;
  }
  if (s.size() > 3 && (s.rfind("Key", s.size() - 3) == s.size() - 3))
    return baseKey(s.substr(0, s.size() - 3));   // "F1Key", "EnterKey"
  return 0;
}

}  // namespace

int parseKey(const std::string& name) {
  int mods = 0;
  std::string rest = name;
  for (;;) {
    auto plus = rest.find('+');
    if (plus == std::string::npos || plus + 1 >= rest.size()) break;
    std::string mod = rest.substr(0, plus);
    if (sameFold(mod, "Ctrl") || sameFold(mod, "Control")) mods |= Key::Ctrl;
    else if (sameFold(mod, "Shift")) mods |= Key::Shift;
    else if (sameFold(mod, "Alt")) mods |= Key::Alt;
    else return 0;
    rest = rest.substr(plus + 1);
  }
  int base = baseKey(rest);
  return base ? (base | mods) : 0;
}

std::string keyName(int code) {
  std::string out;
  if (code & Key::Ctrl) out += "Ctrl+";
  if (code & Key::Shift) out += "Shift+";
  if (code & Key::Alt) out += "Alt+";
  int base = code & 0xFF;
  for (const auto& n : kNames)
    if (n.code == base) return out + n.name;
  if (base >= Key::F1 && base <= Key::F12) return out + "F" + std::to_string(base - Key::F1 + 1);
  if ((base >= '0' && base <= '9') || (base >= 'A' && base <= 'Z')) return out + static_cast<char>(base);
  return out + "#" + std::to_string(base);
}

bool isMouseKey(int code) {
  int base = code & 0xFF;
  return base >= Key::MouseLeft && base <= Key::MouseCenter2 && base != 3;
}

int mnemonicKey(const std::string& text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    char c = text[i + 1];
    if (c == '&') {
      ++i;
      continue;
    }
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return Key::Alt | Key::letter(c);
    return 0;
  }
  return 0;
}

}  // namespace pf
