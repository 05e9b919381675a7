// Events picked out of the calling thread's queue ahead of the others: a thread that waits
// for something else (the answer to a box) still lets its windows' timers tick.
#pragma once

#include <functional>

#include "platform/runtime/runtime.h"

namespace pf {

// True when the calling thread's queue holds an event that `which` accepts.
bool queueHolds(const std::function<bool(const Event&)>& which);
// Takes the first such event out of the queue; false when there is none.
bool takeEvent(const std::function<bool(const Event&)>& which, Event& out);

}  // namespace pf
