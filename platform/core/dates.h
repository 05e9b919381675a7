// Day numbers: day 4 is 1 January 1801 (a Thursday); 0 means no date.
#pragma once

#include <cstdint>

namespace pf {

std::int32_t dateToDay(int year, int month, int day);  // out-of-range parts are normalised
void dayToDate(std::int32_t dayNumber, int& year, int& month, int& day);
int dayOfWeek(std::int32_t dayNumber);  // 0 Sunday .. 6 Saturday

}  // namespace pf
