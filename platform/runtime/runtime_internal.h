// Runtime pieces shared between its own files and its test helpers.
#pragma once

namespace pf::detail {

// Drops every thread and starts a fresh program state (thread 1's context new,
// numbers from 1 again). With keepConfig the hooks, notifier and event loop stay.
void resetState(bool keepConfig);
void resetClock();
// Makes runnable the program threads whose off-thread job has finished; with `block`
// and no view to tell, first waits while jobs are pending. True when it woke any.
bool wakeFinishedJobs(bool block);
// True when a headless turn would wait for off-thread jobs: some are running, none has
// ended, and no view is told when they end.
bool jobsToWaitFor();

}  // namespace pf::detail
