#include "platform/core/pictures.h"

#include <cctype>
#include <cstdint>
#include <vector>

#include "platform/core/dates.h"
#include "platform/core/field.h"
#include "platform/core/strings.h"

namespace pf {
namespace {

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};

char lowerAscii(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the digits at s[i], advancing i; a longer number reads as `most`.
int readInt(std::string_view s, std::size_t& i, int most = 100000000) {
  int v = 0;
  while (i < s.size() && isDigit(s[i])) {
    if (v <= most) v = v * 10 + (s[i] - '0');
    ++i;
  }
  return v > most ? most : v;
}

int readWidth(std::string_view s, std::size_t& i) { return readInt(s, i, MaxPictureWidth); }

bool hasB(std::string_view rest) {
  for (char c : rest)
    if (lowerAscii(c) == 'b') return true;
  return false;
}

std::string magnitude(std::int64_t v) {
  std::uint64_t u = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  return std::to_string(u);
}

std::string formatNumber(std::int64_t v, const Picture& p) {
  if (p.blankWhenZero && v == 0) return {};
  std::string digits = magnitude(v);
  std::string sign = v < 0 ? "-" : "";
  auto width = static_cast<std::size_t>(p.width);
  std::string r;
  if (p.zeroFill && digits.size() + sign.size() < width)
    r = sign + std::string(width - digits.size() - sign.size(), '0') + digits;
  else
    r = sign + digits;
  if (width == 0) return r;
  if (r.size() > width) return std::string(width, '#');
  return std::string(width - r.size(), ' ') + r;
}

std::string twoDigits(int v, bool zero) {
  std::string s = std::to_string(v);
  return (zero && s.size() < 2) ? "0" + s : s;
}

std::string formatDate(std::int64_t day, const Picture& p) {
  if (day <= 0 || day > INT32_MAX) return {};
  int y, m, d;
  dayToDate(static_cast<std::int32_t>(day), y, m, d);
  if (p.style == 4) return monthName(m) + " " + twoDigits(d, p.zeroFill) + ", " + std::to_string(y);
  return twoDigits(d, p.zeroFill) + "/" + twoDigits(m, p.zeroFill) + "/" + std::to_string(y);
}

std::string formatTime(std::int64_t t, const Picture& p) {
  if (t <= 0) return {};
  std::int64_t hundredths = (t - 1) % (24LL * 360000);
  int h = static_cast<int>(hundredths / 360000);
  int m = static_cast<int>(hundredths / 6000 % 60);
  int h12 = h % 12 == 0 ? 12 : h % 12;
  return twoDigits(h12, p.zeroFill) + ":" + twoDigits(m, true) + (h < 12 ? "AM" : "PM");
}

std::string formatPattern(std::int64_t v, const Picture& p) {
  if (p.blankWhenZero && v == 0) return {};
  std::string digits = magnitude(v);
  std::string out;  // built right to left
  std::size_t next = digits.size();  // digits[next - 1] is the next to place
  std::size_t firstPos = std::string::npos;
  for (std::size_t i = p.pattern.size(); i-- > 0;) {
    char c = p.pattern[i];
    if (c == '#' || c == '<') firstPos = i;
  }
  for (std::size_t i = p.pattern.size(); i-- > 0;) {
    char c = p.pattern[i];
    if (c != '#' && c != '<') {
      out.push_back(c);
      continue;
    }
    if (i == firstPos) {
      // The leftmost place takes every digit still left, so a wide number is never cut.
      if (next == 0 && c == '#') out.push_back('0');
      while (next > 0) out.push_back(digits[--next]);
      if (v < 0) out.push_back('-');
    } else if (next > 0) {
      out.push_back(digits[--next]);
    } else if (c == '#') {
      out.push_back('0');
    }
  }
  return std::string(out.rbegin(), out.rend());
}

// Splits a text into runs of digits and runs of letters; anything else separates.
struct Token {
  bool number;
  std::string text;
};
std::vector<Token> tokens(std::string_view s) {
  std::vector<Token> r;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (isDigit(s[i])) {
      std::size_t j = i;
      while (j < s.size() && isDigit(s[j])) ++j;
      r.push_back({true, std::string(s.substr(i, j - i))});
      i = j;
    } else if (std::isalpha(c)) {
      std::size_t j = i;
      while (j < s.size() && std::isalpha(static_cast<unsigned char>(s[j]))) ++j;
      r.push_back({false, std::string(s.substr(i, j - i))});
      i = j;
    } else {
      ++i;
    }
  }
  return r;
}

int monthFromName(const std::string& word) {
  if (word.size() < 3) return 0;
  std::string w = lower(word);
  for (int m = 1; m <= 12; ++m) {
    std::string name = lower(kMonths[m - 1]);
    if (name.compare(0, w.size(), w) == 0) return m;
  }
  return 0;
}

std::optional<Value> readDate(std::string_view text) {
  std::vector<Token> t = tokens(text);
  int d = 0, m = 0, y = 0;
  std::vector<int> numbers;
  for (const Token& k : t) {
    if (k.number) {
      if (k.text.size() > 5) return std::nullopt;
      numbers.push_back(std::stoi(k.text));
    } else if (m == 0 && (m = monthFromName(k.text)) != 0) {
      if (!numbers.empty() && numbers.size() != 1) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  if (m != 0) {
    if (numbers.size() != 2) return std::nullopt;
    d = numbers[0];
    y = numbers[1];
  } else {
    if (numbers.size() != 3) return std::nullopt;
    d = numbers[0];
    m = numbers[1];
    y = numbers[2];
  }
  if (y < 100) y += y < 50 ? 2000 : 1900;
  if (m < 1 || m > 12 || d < 1 || d > 31) return std::nullopt;
  std::int32_t day = dateToDay(y, m, d);
  int ry, rm, rd;
  dayToDate(day, ry, rm, rd);
  if (day == 0 || ry != y || rm != m || rd != d) return std::nullopt;  // 31/02 and the like
  return Value(day);
}

std::optional<Value> readTime(std::string_view text) {
  std::string s = upper(trim(text));
  std::size_t i = 0;
  if (i >= s.size() || !isDigit(s[i])) return std::nullopt;
  int h = readInt(s, i), m = 0, sec = 0;
  if (i < s.size() && s[i] == ':') {
    ++i;
    if (i >= s.size() || !isDigit(s[i])) return std::nullopt;
    m = readInt(s, i);
    if (i < s.size() && s[i] == ':') {
      ++i;
      if (i >= s.size() || !isDigit(s[i])) return std::nullopt;
      sec = readInt(s, i);
    }
  }
  while (i < s.size() && s[i] == ' ') ++i;
  std::string_view rest = std::string_view(s).substr(i);
  if (rest == "AM" || rest == "PM") {
    if (h < 1 || h > 12) return std::nullopt;
    h = h % 12 + (rest == "PM" ? 12 : 0);
  } else if (!rest.empty()) {
    return std::nullopt;
  }
  if (h > 23 || m > 59 || sec > 59) return std::nullopt;
  return Value(static_cast<std::int64_t>(h * 3600 + m * 60 + sec) * 100 + 1);
}

std::optional<Value> readNumber(std::string_view text) {
  std::string s = trim(text);
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  std::uint64_t v = 0;
  bool any = false;
  for (; i < s.size(); ++i) {
    if (s[i] == ',' || s[i] == ' ') continue;
    if (!isDigit(s[i])) return std::nullopt;
    any = true;
    v = v * 10 + static_cast<std::uint64_t>(s[i] - '0');
    if (v > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
  }
  if (!any) return std::nullopt;
  auto n = static_cast<std::int64_t>(v);
  return Value(negative ? -n : n);
}

std::optional<Value> readPattern(std::string_view text, const Picture& p) {
  // Take away the pattern's own characters from the front, then read what is left.
  std::string_view s = text;
  std::size_t lit = p.pattern.find_first_of("#<");
  std::string_view prefix = std::string_view(p.pattern).substr(0, lit == std::string::npos ? p.pattern.size() : lit);
  std::string_view ltrim = s.substr(std::min(s.find_first_not_of(' '), s.size()));
  if (!prefix.empty() && ltrim.substr(0, prefix.size()) == prefix) s = ltrim.substr(prefix.size());
  std::string digits;
  bool negative = false;
  for (char c : s) {
    if (isDigit(c)) digits.push_back(c);
    else if (c == '-' && digits.empty()) negative = true;
    else if (c != ' ' && p.pattern.find(c) == std::string::npos) return std::nullopt;
  }
  if (digits.size() > 18) return std::nullopt;
  std::int64_t n = digits.empty() ? 0 : std::stoll(digits);
  return Value(negative ? -n : n);
}

}  // namespace

std::string monthName(int month) { return month >= 1 && month <= 12 ? kMonths[month - 1] : ""; }

Picture parsePicture(std::string_view s) {
  Picture p;
  if (!s.empty() && s[0] == '@') s.remove_prefix(1);
  if (s.empty()) return p;
  char kind = lowerAscii(s[0]);
  std::size_t i = 1;
  auto zeroFlag = [&] {
    if (i + 1 < s.size() && s[i] == '0' && isDigit(s[i + 1])) {
      ++i;
      return true;
    }
    return false;
  };
  switch (kind) {
    case 's':
      p.kind = Picture::Kind::String;
      p.width = readWidth(s, i);
      break;
    case 'n':
      p.kind = Picture::Kind::Number;
      if (i < s.size() && s[i] == '-') ++i;
      p.zeroFill = zeroFlag();
      p.width = readWidth(s, i);
      p.blankWhenZero = hasB(s.substr(i));
      break;
    case 'd':
    case 't':
      p.kind = kind == 'd' ? Picture::Kind::Date : Picture::Kind::Time;
      p.zeroFill = zeroFlag();
      p.style = readInt(s, i);
      p.blankWhenZero = hasB(s.substr(i));
      break;
    case 'p': {
      std::size_t end = s.size();
      if (end >= 3 && lowerAscii(s[end - 1]) == 'b' && lowerAscii(s[end - 2]) == 'p') {
        p.blankWhenZero = true;
        --end;
      }
      if (end >= 2 && lowerAscii(s[end - 1]) == 'p') {
        p.kind = Picture::Kind::Pattern;
        p.pattern = std::string(s.substr(1, end - 2));
      }
      break;
    }
    default:
      break;
  }
  return p;
}

int fieldTextWidth(FieldType type, std::size_t size) {
  switch (type) {
    case FieldType::String:
    case FieldType::Memo: return static_cast<int>(size);
    case FieldType::CString: return size > 0 ? static_cast<int>(size - 1) : 0;
    case FieldType::Byte: return 3;    // 255
    default: return 14;                // -2,147,483,648
  }
}

bool pictureFits(const Picture& picture, FieldType type, std::size_t size) {
  return picture.width <= fieldTextWidth(type, size);
}

std::string format(const Value& value, const Picture& p) {
  switch (p.kind) {
    case Picture::Kind::None: return value.text();
    case Picture::Kind::String:
      return p.width > 0 ? padRight(value.text(), static_cast<std::size_t>(p.width)) : value.text();
    case Picture::Kind::Number: return formatNumber(value.number(), p);
    case Picture::Kind::Date: return formatDate(value.number(), p);
    case Picture::Kind::Time: return formatTime(value.number(), p);
    case Picture::Kind::Pattern: return formatPattern(value.number(), p);
  }
  return value.text();
}

std::string format(const Value& value, std::string_view picture) { return format(value, parsePicture(picture)); }

std::optional<Value> tryDeformat(std::string_view text, const Picture& p) {
  if (p.kind == Picture::Kind::None) return Value(text);
  if (p.kind == Picture::Kind::String) {
    if (p.width <= 0) return Value(text);
    return Value(text.substr(0, utf8Fit(text, static_cast<std::size_t>(p.width))));
  }
  if (isBlank(text)) return Value(0);
  switch (p.kind) {
    case Picture::Kind::Number: return readNumber(text);
    case Picture::Kind::Date: return readDate(text);
    case Picture::Kind::Time: return readTime(text);
    case Picture::Kind::Pattern: return readPattern(text, p);
    default: return std::nullopt;
  }
}

std::optional<Value> tryDeformat(std::string_view text, std::string_view picture) {
  return tryDeformat(text, parsePicture(picture));
}

Value deformat(std::string_view text, std::string_view picture) {
  Picture p = parsePicture(picture);
  if (auto v = tryDeformat(text, p)) return *v;
  return p.kind == Picture::Kind::None || p.kind == Picture::Kind::String ? Value(std::string()) : Value(0);
}

std::string formatField(const FieldDesc& field, const void* buffer, std::string_view picture) {
  return format(fieldValue(field, buffer), picture);
}

}  // namespace pf
