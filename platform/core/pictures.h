// Display pictures: how a value is shown in a list, an entry, a report or a message, and
// how the shown text is read back. A picture may be written with or without its leading
// '@'; its letters may be of either case.
//   s<n>      text of n bytes, cut at a character boundary and blank padded ("@s45")
//   n<n>[B]   number right-aligned in n characters, blank when zero with B ("@n3", "N8B");
//   n0<n>     zero-filled to n digits ("N010"); a number too wide shows n '#' signs
//   d4        "December 10, 2026"     d04: day with two digits
//   d17[B]    "10/12/2026"            d017: day and month with two digits
//   t3        "9:05AM"                t03: hour with two digits
//   p...p[B]  pattern: '#' a digit, '<' a digit left out while it would be a leading
//             zero, anything else itself ("pPage <<#p" shows "Page 7")
// Dates and times of 0 show as empty text. Other date styles show as d17, other time
// styles as t3; an unknown picture shows the value as it is.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/core/record.h"
#include "platform/core/value.h"

namespace pf {

struct Picture {
  enum class Kind { None, String, Number, Date, Time, Pattern };
  Kind kind = Kind::None;
  int width = 0;               // String, Number: characters; 0 means as wide as the value
  int style = 0;               // Date, Time
  bool zeroFill = false;       // Number: leading zeros; Date, Time: two-digit parts
  bool blankWhenZero = false;
  std::string pattern;         // Pattern: the text between the two p's
};

// No field is wider than a memo's 65,520 bytes; a picture asking for more is read as that
// wide, so a width of a billion costs no more than the widest field.
constexpr int MaxPictureWidth = 65520;

Picture parsePicture(std::string_view picture);

// The most characters a field of this type and size gives a picture to show: its bytes for
// text (a CSTRING's less its terminator), its longest number with sign and thousands
// separators for numbers, dates and times.
int fieldTextWidth(FieldType type, std::size_t size);
// Whether the picture asks for no more characters than such a field can give.
bool pictureFits(const Picture& picture, FieldType type, std::size_t size);

std::string format(const Value& value, const Picture& picture);
std::string format(const Value& value, std::string_view picture);

// The value a text shows under a picture: a text for s pictures (cut to the picture's
// width), else a number (day number, time value). Blank text reads as 0. nullopt when the
// text is not something the picture could show (letters in a number, 31/02/2026, 25:00).
std::optional<Value> tryDeformat(std::string_view text, const Picture& picture);
std::optional<Value> tryDeformat(std::string_view text, std::string_view picture);
// As tryDeformat, with 0 (or empty text for s pictures) for unreadable text.
Value deformat(std::string_view text, std::string_view picture);

// A field of a record buffer as a list cell or report field shows it.
std::string formatField(const FieldDesc& field, const void* buffer, std::string_view picture);

// "January" .. "December"; empty outside 1..12.
std::string monthName(int month);

}  // namespace pf
