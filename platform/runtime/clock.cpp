#include <chrono>
#include <ctime>

#include "platform/core/dates.h"
#include "platform/runtime/runtime.h"
#include "platform/runtime/runtime_internal.h"

namespace pf {
namespace {

constexpr std::int32_t kDay = 24 * 60 * 60 * 100;  // hundredths in a day

struct FakeClock {
  bool on = false;
  std::int32_t day = 0;
  std::int32_t time = 1;
};

FakeClock& fake() {
  static FakeClock c;
  return c;
}

std::int32_t sliceLimit = 0;
int passTurn = kPassTurnMs;

struct Now {
  std::tm tm{};
  int hundredths = 0;
};

Now now() {
  auto point = std::chrono::system_clock::now();
  std::time_t secs = std::chrono::system_clock::to_time_t(point);
  Now n;
  localtime_r(&secs, &n.tm);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(point.time_since_epoch()).count();
  n.hundredths = static_cast<int>((ms % 1000 + 1000) % 1000 / 10);
  return n;
}

}  // namespace

std::int32_t today() {
  if (fake().on) return fake().day;
  Now n = now();
  return dateToDay(n.tm.tm_year + 1900, n.tm.tm_mon + 1, n.tm.tm_mday);
}

std::int32_t clockTime() {
  if (fake().on) return fake().time;
  Now n = now();
  return (n.tm.tm_hour * 3600 + n.tm.tm_min * 60 + n.tm.tm_sec) * 100 + n.hundredths + 1;
}

void useFakeClock(std::int32_t day, std::int32_t time) {
  fake().on = true;
  fake().day = day;
  fake().time = time;
  advanceFakeClock(0);  // brings an out-of-range time into its day
}

void advanceFakeClock(std::int32_t hundredths) {
  auto& c = fake();
  // Times run 1 .. kDay; carry whole days into the date, also backwards.
  std::int64_t t = static_cast<std::int64_t>(c.time) - 1 + hundredths;
  std::int64_t days = t >= 0 ? t / kDay : -((-t + kDay - 1) / kDay);
  c.day += static_cast<std::int32_t>(days);
  c.time = static_cast<std::int32_t>(t - days * kDay + 1);
}

bool fakeClock() { return fake().on; }

void setSliceRecordLimit(std::int32_t records) { sliceLimit = records > 0 ? records : 0; }
std::int32_t sliceRecordLimit() { return sliceLimit; }

void setPassTurnMs(int ms) { passTurn = ms > 0 ? ms : 0; }
int passTurnMs() { return passTurn; }

namespace detail {
void resetClock() {
  fake() = FakeClock{};
  sliceLimit = 0;
  passTurn = kPassTurnMs;
}
}  // namespace detail

}  // namespace pf
