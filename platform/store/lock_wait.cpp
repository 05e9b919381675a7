#include "platform/store/lock_wait.h"

#include <sqlite3.h>

#include <algorithm>

#include "platform/runtime/runtime.h"

namespace pf {
namespace {

constexpr int kMomentMs = 25;

}  // namespace

bool LockWait::again(int sqliteResult) {
  if ((sqliteResult & 0xFF) != SQLITE_BUSY || left_ <= 0 || programEnded()) return false;
  int moment = std::min(left_, kMomentMs);
  yieldFor(moment);
  left_ -= moment;
  return !programEnded();
}

}  // namespace pf
