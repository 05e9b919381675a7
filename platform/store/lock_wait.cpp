#include "platform/store/lock_wait.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>

#include "platform/runtime/runtime.h"

namespace pf {
namespace {

constexpr int kMomentMs = 25;

// Also counted on a worker's OS thread (a joint change waits there).
std::atomic<int> waiters{0};
std::atomic<int> writeTransactions{0};

// Short naps while the others run, as long as `count` is above 0 (at most kLockWaitMs): a
// waiter tries again every moment, and a few naps let the slowest of them in.
void napWhileAny(const std::atomic<int>& count) {
  for (int left = kLockWaitMs; left > 0 && count.load() > 0 && !programEnded(); left -= 5) yieldFor(5);
}

}  // namespace

LockWait::~LockWait() {
  if (counted_) --waiters;
}

bool LockWait::again(int sqliteResult) {
  if ((sqliteResult & 0xFF) != SQLITE_BUSY || left_ <= 0 || programEnded()) return false;
  if (!counted_) {
    counted_ = true;
    ++waiters;
  }
  int moment = std::min(left_, kMomentMs);
  yieldFor(moment);
  left_ -= moment;
  return !programEnded();
}

int lockWaiters() { return waiters.load(); }

LockWaiter::LockWaiter() { ++waiters; }
LockWaiter::~LockWaiter() { --waiters; }

void countWriteTransaction(bool opened) { writeTransactions += opened ? 1 : -1; }

void waitForWriteTransactions() { napWhileAny(writeTransactions); }

void letLockWaitersIn() { napWhileAny(waiters); }

}  // namespace pf
