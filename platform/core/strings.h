// The string functions procedures use on UTF-8 text. Positions and lengths count bytes,
// as field sizes do; "blank" means the space character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pf {

std::string clip(std::string_view s);   // trailing blanks removed
std::string left(std::string_view s);   // leading blanks removed
std::string trim(std::string_view s);   // both
bool isBlank(std::string_view s);       // empty or only blanks

// Letter case of every letter the C.UTF-8 locale knows (Latin, Greek, Cyrillic, ...);
// bytes that are not valid UTF-8 pass through unchanged.
std::string upper(std::string_view s);
std::string lower(std::string_view s);

// `len` bytes from the 1-based `start`; a negative start counts from the end (-1 is
// the last byte). Never reads past the text.
std::string sub(std::string_view s, int start, int len);

// 1-based position of `needle` in `s`, trying start, start + step, ... (a negative step
// searches backwards); 0 when absent or when `needle` is empty.
int instring(std::string_view needle, std::string_view s, int step = 1, int start = 1);

// `pattern` repeated to exactly n bytes (blank padded when a character would be cut).
std::string all(std::string_view pattern, std::size_t n);
// Exactly n bytes: cut at a character boundary, then blank padded.
std::string padRight(std::string_view s, std::size_t n);
// Number of UTF-8 characters.
std::size_t utf8Length(std::string_view s);
// The first n UTF-8 characters (all of them when there are fewer).
std::string utf8Left(std::string_view s, std::size_t n);

// Key comparison: letter case ignored for all letters, trailing blanks ignored. The order
// is that of the upper-cased texts, so foldCompare(a, b) has the sign of
// caseFold(a).compare(caseFold(b)).
std::string caseFold(std::string_view s);
int foldCompare(std::string_view a, std::string_view b);
inline bool foldEqual(std::string_view a, std::string_view b) { return foldCompare(a, b) == 0; }

}  // namespace pf
