#include "platform/core/dates.h"

namespace pf {
namespace {

// Civil-date arithmetic on the proleptic Gregorian calendar, counted from 1 March of
// year 0 so that leap days fall at the end of a cycle.
constexpr std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = yoe + era * 400 + (m <= 2);
}

// Constant-initialised: other files may convert dates while their statics are set up.
constexpr std::int64_t kEpoch = daysFromCivil(1801, 1, 1) - 4;
constexpr std::int64_t kLastDay = daysFromCivil(9999, 12, 31) - kEpoch;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

std::int32_t dateToDay(int year, int month, int day) {
  std::int64_t m0 = static_cast<std::int64_t>(month) - 1;
  std::int64_t y = year + floorDiv(m0, 12);
  m0 -= floorDiv(m0, 12) * 12;
  std::int64_t n = daysFromCivil(y, static_cast<int>(m0) + 1, 1) + (static_cast<std::int64_t>(day) - 1) - kEpoch;
  if (n < 1 || n > kLastDay) return 0;
  return static_cast<std::int32_t>(n);
}

void dayToDate(std::int32_t dayNumber, int& year, int& month, int& day) {
  if (dayNumber <= 0) {
    year = month = day = 0;
    return;
  }
  std::int64_t y;
  civilFromDays(dayNumber + kEpoch, y, month, day);
  year = static_cast<int>(y);
}

int dayOfWeek(std::int32_t dayNumber) {
  int r = dayNumber % 7;
  return r < 0 ? r + 7 : r;
}

}  // namespace pf
