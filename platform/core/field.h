// Byte-exact field storage for record buffers. Every type here has alignment 1 so a
// record struct can be laid out at the offsets its file declares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace pf {

// Length of the longest prefix of `s` of at most `max` bytes that does not end inside a
// UTF-8 character.
std::size_t utf8Fit(std::string_view s, std::size_t max);

// STRING(n): exactly n bytes, blank padded on the right. Blank means all blanks.
template <std::size_t N>
struct String {
  static constexpr std::size_t size = N;
  char b[N];

  String() { clear(); }
  String(std::string_view s) { assign(s); }  // NOLINT(google-explicit-constructor)
  String(const char* s) { assign(s); }       // NOLINT(google-explicit-constructor)
  String& operator=(std::string_view s) { assign(s); return *this; }
  String& operator=(const std::string& s) { assign(s); return *this; }
  String& operator=(const char* s) { assign(s); return *this; }

  void assign(std::string_view s) {
    std::size_t n = utf8Fit(s, N);
    std::memcpy(b, s.data(), n);
    std::memset(b + n, ' ', N - n);
  }
  void clear() { std::memset(b, ' ', N); }
  // The whole field, trailing blanks included.
  std::string str() const { return std::string(b, N); }
  // The text without its trailing blanks.
  std::string clip() const { return std::string(b, clipLen()); }
  std::string_view view() const { return std::string_view(b, clipLen()); }
  std::size_t clipLen() const {
    std::size_t n = N;
    while (n > 0 && b[n - 1] == ' ') --n;
    return n;
  }
  bool blank() const { return clipLen() == 0; }
  operator std::string() const { return clip(); }  // NOLINT(google-explicit-constructor)
  // Padded strings compare without regard to trailing blanks, letter case counting.
  friend bool operator==(const String& a, std::string_view s) {
    std::size_t n = s.size();
    while (n > 0 && s[n - 1] == ' ') --n;
    return a.view() == s.substr(0, n);
  }
  template <std::size_t M>
  friend bool operator==(const String& a, const String<M>& c) { return a.view() == c.view(); }
};

// CSTRING(n): at most n - 1 bytes followed by a zero byte. Blank means empty.
template <std::size_t N>
struct CString {
  static_assert(N >= 1);
  static constexpr std::size_t size = N;
  char b[N];

  CString() { clear(); }
  CString(std::string_view s) { assign(s); }  // NOLINT(google-explicit-constructor)
  CString(const char* s) { assign(s); }       // NOLINT(google-explicit-constructor)
  CString& operator=(std::string_view s) { assign(s); return *this; }
  CString& operator=(const std::string& s) { assign(s); return *this; }
  CString& operator=(const char* s) { assign(s); return *this; }

  void assign(std::string_view s) {
    std::size_t z = s.find('\0');
    if (z != std::string_view::npos) s = s.substr(0, z);
    std::size_t n = utf8Fit(s, N - 1);
    std::memcpy(b, s.data(), n);
    std::memset(b + n, 0, N - n);
  }
  void clear() { std::memset(b, 0, N); }
  std::size_t len() const { return strnlen(b, N); }
  std::string str() const { return std::string(b, len()); }
  std::string clip() const {
    std::size_t n = len();
    while (n > 0 && b[n - 1] == ' ') --n;
    return std::string(b, n);
  }
  std::string_view view() const { return std::string_view(b, len()); }
  bool blank() const { return clip().empty(); }
  operator std::string() const { return str(); }  // NOLINT(google-explicit-constructor)
  friend bool operator==(const CString& a, std::string_view s) { return a.view() == s; }
};

// LONG: signed 32 bits, little-endian.
struct Long {
  unsigned char b[4];
  Long() { std::memset(b, 0, 4); }
  Long(std::int32_t v) { set(v); }  // NOLINT(google-explicit-constructor)
  Long& operator=(std::int32_t v) { set(v); return *this; }
  void set(std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(u >> (8 * i));
  }
  std::int32_t get() const {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(b[i]) << (8 * i);
    return static_cast<std::int32_t>(u);
  }
  operator std::int32_t() const { return get(); }  // NOLINT(google-explicit-constructor)
  Long& operator+=(std::int32_t d) { set(get() + d); return *this; }
};

// DATE: byte 0 day, byte 1 month, bytes 2-3 year; all zero means no date. Read and
// written as a day number (day 4 = 1 January 1801, 0 = none).
struct Date {
  unsigned char b[4];
  Date() { std::memset(b, 0, 4); }
  Date(std::int32_t day) { set(day); }  // NOLINT(google-explicit-constructor)
  Date& operator=(std::int32_t day) { set(day); return *this; }
  void set(std::int32_t day);
  std::int32_t get() const;
  operator std::int32_t() const { return get(); }  // NOLINT(google-explicit-constructor)
};

// TIME: never written by the system; kept as four opaque bytes (hundredths + 1).
struct Time {
  unsigned char b[4];
  Time() { std::memset(b, 0, 4); }
  std::int32_t get() const {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(b[i]) << (8 * i);
    return static_cast<std::int32_t>(u);
  }
  void set(std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(u >> (8 * i));
  }
  operator std::int32_t() const { return get(); }  // NOLINT(google-explicit-constructor)
};

using Byte = std::uint8_t;

// MEMO(n): free text of up to n bytes kept beside the fixed part of the record.
template <std::size_t N>
struct Memo {
  static constexpr std::size_t size = N;
  char b[N];
  Memo() { clear(); }
  Memo& operator=(std::string_view s) {
    std::size_t n = utf8Fit(s, N);
    std::memcpy(b, s.data(), n);
    std::memset(b + n, 0, N - n);
    return *this;
  }
  Memo& operator=(const std::string& s) { return *this = std::string_view(s); }
  Memo& operator=(const char* s) { return *this = std::string_view(s); }
  void clear() { std::memset(b, 0, N); }
  std::size_t len() const { return strnlen(b, N); }
  std::string str() const { return std::string(b, len()); }
  std::string clip() const {
    std::size_t n = len();
    while (n > 0 && (b[n - 1] == ' ' || b[n - 1] == '\0')) --n;
    return std::string(b, n);
  }
  bool blank() const { return clip().empty(); }
  operator std::string() const { return str(); }  // NOLINT(google-explicit-constructor)
};

static_assert(alignof(String<3>) == 1 && alignof(CString<3>) == 1 && alignof(Long) == 1 &&
              alignof(Date) == 1 && alignof(Time) == 1 && alignof(Memo<3>) == 1);

}  // namespace pf
