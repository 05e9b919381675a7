// Passes in the user's timing: cut into time slices of a few records, one slice per tick
// of the pass's timer, with the test acting between slices as another thread would.
//
//   qbtest::Slices slices(d, 2);                  // at most 2 records per slice
//   d.start(qb::RemoveTagging);
//   slices.run([&](int n) { if (n == 1) d.click("?YELLOW_HL", "BrowseWebsites"); });
#pragma once

#include <functional>

#include "platform/classes/report_controller.h"
#include "platform/runtime/runtime.h"
#include "platform/ui/test_driver.h"

namespace qbtest {

class Slices {
 public:
  // Every pass takes at most `records` records per slice while this lives.
  Slices(pf::TestDriver& d, int records) : d_(d) { pf::setSliceRecordLimit(records); }
  ~Slices() { pf::setSliceRecordLimit(0); }
  Slices(const Slices&) = delete;
  Slices& operator=(const Slices&) = delete;

  // One slice: the fake clock moves on one timer period and every thread runs until it
  // waits.
  void next() {
    d_.advance(pf::PassTimerPeriod);
    ++count_;
  }

  // Slices until `done` holds (by default: until a box asks the user), at most `limit`.
  // Before each slice but the first, `between(n)` acts, n being the slices run so far.
  // Answers the number of slices run.
  int run(const std::function<void(int)>& between = {}, std::function<bool()> done = {},
          int limit = 1000) {
    if (!done) done = [this] { return d_.box() != nullptr; };
    int start = count_;
    while (!done() && count_ - start < limit && !d_.programEnded()) {
      if (between && count_ > start) between(count_ - start);
      next();
    }
    return count_ - start;
  }

  int count() const { return count_; }

 private:
  pf::TestDriver& d_;
  int count_ = 0;
};

}  // namespace qbtest
