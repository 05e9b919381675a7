#include "platform/core/strings.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cstdint>

#include "platform/core/field.h"

namespace pf {
namespace {

locale_t utf8Locale() {
  // A private locale: case mapping must not depend on what the program set globally,
  // or key order would change between runs.
  static locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return loc;
}

// Decodes one character at s[i]; returns its length, or 0 when the bytes are not valid
// UTF-8 (the caller then takes the byte as it is).
std::size_t decode(std::string_view s, std::size_t i, char32_t& cp) {
  auto c = static_cast<unsigned char>(s[i]);
  std::size_t n;
  char32_t v;
  if (c < 0x80) { cp = c; return 1; }
  if (c >= 0xC2 && c <= 0xDF) { n = 2; v = c & 0x1F; }
  else if (c >= 0xE0 && c <= 0xEF) { n = 3; v = c & 0x0F; }
  else if (c >= 0xF0 && c <= 0xF4) { n = 4; v = c & 0x07; }
  else return 0;
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    auto cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80) return 0;
    v = (v << 6) | (cc & 0x3F);
  }
  // Reject overlong forms, surrogates and values past U+10FFFF.
  if ((n == 3 && v < 0x800) || (n == 4 && (v < 0x10000 || v > 0x10FFFF)) ||
      (v >= 0xD800 && v <= 0xDFFF))
    return 0;
  cp = v;
  return n;
}

std::size_t encode(char32_t cp, char* out) {
  if (cp < 0x80) { out[0] = static_cast<char>(cp); return 1; }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

char32_t mapCase(char32_t cp, bool toUpper) {
  if (cp < 0x80) {
    if (toUpper && cp >= 'a' && cp <= 'z') return cp - 32;
    if (!toUpper && cp >= 'A' && cp <= 'Z') return cp + 32;
    return cp;
  }
  locale_t loc = utf8Locale();
  if (!loc) return cp;
  wint_t r = toUpper ? towupper_l(static_cast<wint_t>(cp), loc) : towlower_l(static_cast<wint_t>(cp), loc);
  // A mapping to a surrogate or beyond Unicode would not encode; keep the original.
  if (r > 0x10FFFF || (r >= 0xD800 && r <= 0xDFFF)) return cp;
  return static_cast<char32_t>(r);
}

// Writes the case-mapped form of the character at s[i] into out; returns the bytes read.
std::size_t mapOne(std::string_view s, std::size_t i, bool toUpper, char* out, std::size_t& outLen) {
  char32_t cp;
  std::size_t n = decode(s, i, cp);
  if (n == 0) {
    out[0] = s[i];
    outLen = 1;
    return 1;
  }
  outLen = encode(mapCase(cp, toUpper), out);
  return n;
}

std::string mapString(std::string_view s, bool toUpper) {
  std::string r(s);
  // Plain ASCII, most of any text, maps byte by byte in place.
  const char from = toUpper ? 'a' : 'A', to = toUpper ? 'z' : 'Z';
  std::size_t i = 0;
  for (; i < r.size() && static_cast<unsigned char>(r[i]) < 0x80; ++i)
    if (r[i] >= from && r[i] <= to) r[i] = static_cast<char>(r[i] ^ 0x20);
  if (i == r.size()) return r;
  r.resize(i);
  char buf[4];
  for (; i < s.size();) {
    std::size_t outLen;
    i += mapOne(s, i, toUpper, buf, outLen);
    r.append(buf, outLen);
  }
  return r;
}

std::size_t clipLen(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return n;
}

// The upper-cased bytes of a text, produced one character at a time.
class FoldStream {
 public:
  explicit FoldStream(std::string_view s) : s_(s.substr(0, clipLen(s))) {}
  // -1 at the end.
  int next() {
    if (pos_ == len_) {
      if (i_ >= s_.size()) return -1;
      auto c = static_cast<unsigned char>(s_[i_]);
      if (c < 0x80) {  // the common case, without decoding
        ++i_;
        return (c >= 'a' && c <= 'z') ? c - 32 : c;
      }
      i_ += mapOne(s_, i_, true, buf_, len_);
      pos_ = 0;
    }
    return static_cast<unsigned char>(buf_[pos_++]);
  }

 private:
  std::string_view s_;
  std::size_t i_ = 0;
  char buf_[4] = {};
  std::size_t len_ = 0;
  std::size_t pos_ = 0;
};

}  // namespace

std::string clip(std::string_view s) { return std::string(s.substr(0, clipLen(s))); }

std::string left(std::string_view s) {
  std::size_t i = s.find_first_not_of(' ');
  return i == std::string_view::npos ? std::string() : std::string(s.substr(i));
}

std::string trim(std::string_view s) { return left(s.substr(0, clipLen(s))); }

bool isBlank(std::string_view s) { return clipLen(s) == 0; }

std::string upper(std::string_view s) { return mapString(s, true); }
std::string lower(std::string_view s) { return mapString(s, false); }

std::string sub(std::string_view s, int start, int len) {
  if (len <= 0) return {};
  auto size = static_cast<std::int64_t>(s.size());
  std::int64_t from = start > 0 ? start - 1 : (start < 0 ? size + start : 0);
  std::int64_t to = from + len;
  from = std::max<std::int64_t>(from, 0);
  to = std::min(to, size);
  if (from >= to) return {};
  return std::string(s.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)));
}

int instring(std::string_view needle, std::string_view s, int step, int start) {
  if (needle.empty() || needle.size() > s.size() || step == 0) return 0;
  const auto last = static_cast<std::int64_t>(s.size() - needle.size()) + 1;
  std::int64_t p = start < 1 ? 1 : start;
  if (step < 0 && p > last) p -= ((p - last + (-step) - 1) / (-step)) * (-step);
  for (; p >= 1 && p <= last; p += step)
    if (s.compare(static_cast<std::size_t>(p - 1), needle.size(), needle) == 0) return static_cast<int>(p);
  return 0;
}

std::string all(std::string_view pattern, std::size_t n) {
  if (pattern.empty()) return std::string(n, ' ');
  std::string r;
  r.reserve(n + pattern.size());
  while (r.size() < n) r.append(pattern);
  return padRight(r, n);
}

std::string padRight(std::string_view s, std::size_t n) {
  std::string r(s.substr(0, utf8Fit(s, n)));
  r.resize(n, ' ');
  return r;
}

std::size_t utf8Length(std::string_view s) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < s.size(); ++count) {
    char32_t cp;
    std::size_t n = decode(s, i, cp);
    i += n ? n : 1;
  }
  return count;
}

std::string utf8Left(std::string_view s, std::size_t n) {
  std::size_t i = 0;
  for (std::size_t count = 0; i < s.size() && count < n; ++count) {
    char32_t cp;
    std::size_t len = decode(s, i, cp);
    i += len ? len : 1;
  }
  return std::string(s.substr(0, i));
}

std::string caseFold(std::string_view s) { return upper(s.substr(0, clipLen(s))); }

int foldCompare(std::string_view a, std::string_view b) {
  FoldStream x(a), y(b);
  for (;;) {
    int cx = x.next(), cy = y.next();
    if (cx != cy) return cx < cy ? -1 : 1;
    if (cx < 0) return 0;
  }
}

}  // namespace pf
