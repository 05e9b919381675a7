#include "platform/core/field.h"

#include "platform/core/dates.h"

namespace pf {

std::size_t utf8Fit(std::string_view s, std::size_t max) {
  if (s.size() <= max) return s.size();
  std::size_t n = max;
  // Step back over continuation bytes to the start of the character that would be cut.
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return n;
}

void Date::set(std::int32_t day) {
  if (day <= 0) {
    std::memset(b, 0, 4);
    return;
  }
  // Two year bytes hold years past 9999, but such a date would read back as 31 Dec 9999.
  static const std::int32_t lastDay = dateToDay(9999, 12, 31);
  if (day > lastDay) day = lastDay;
  int y, m, d;
  dayToDate(day, y, m, d);
  b[0] = static_cast<unsigned char>(d);
  b[1] = static_cast<unsigned char>(m);
  b[2] = static_cast<unsigned char>(y & 0xFF);
  b[3] = static_cast<unsigned char>((y >> 8) & 0xFF);
}

std::int32_t Date::get() const {
  int d = b[0], m = b[1], y = b[2] | (b[3] << 8);
  if (d == 0 && m == 0 && y == 0) return 0;
  if (y > 9999) return dateToDay(9999, 12, 31);
  return dateToDay(y, m, d);
}

}  // namespace pf
