// Waiting for a lock that another connection or program holds on a data file. SQLite
// itself never waits (its busy wait would stop every program thread); a store call that
// meets a lock waits here, outside SQLite, a moment at a time, while the other program
// threads and the window system go on, and then tries again.
#pragma once

namespace pf {

// How long a store call waits for a lock before it gives up.
constexpr int kLockWaitMs = 3000;

class LockWait {
 public:
  explicit LockWait(int limitMs = kLockWaitMs) : left_(limitMs) {}
  ~LockWait();
  LockWait(const LockWait&) = delete;
  LockWait& operator=(const LockWait&) = delete;
  // Given SQLite's answer to a call: true when the database was busy and there is time
  // left, once a moment has gone by; the caller then makes the call again.
  bool again(int sqliteResult);

 private:
  int left_;
  bool counted_ = false;
};

// How many store calls of this process wait for a lock just now.
int lockWaiters();
// For a change of whole files that must not meet a writer of this process half-way: while
// it lives it counts as a call that waits for a lock, so the walks that hold a file over
// their turns let go of it at their next turn and wait before they take it again.
class LockWaiter {
 public:
  LockWaiter();
  ~LockWaiter();
  LockWaiter(const LockWaiter&) = delete;
  LockWaiter& operator=(const LockWaiter&) = delete;
};
// The store counts the write transactions of this process's connections; the wait lets
// the others run until none is open (at most kLockWaitMs).
void countWriteTransaction(bool opened);
void waitForWriteTransactions();
// For a writer that holds a file for long stretches: lets the calls that wait for a lock
// have their turn before it takes the file again (for at most kLockWaitMs).
void letLockWaitersIn();

}  // namespace pf
