#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/runtime/runtime.h"
#include "platform/runtime/runtime_internal.h"

namespace pf {
namespace {

struct Jobs {
  std::mutex m;
  std::condition_variable cv;
  int pending = 0;
  std::vector<int> finished;  // program threads whose job is done, to be woken
  std::function<void()> notifier;
};

// True on a worker's OS thread, where no program thread runs.
thread_local bool onWorker = false;

// Never destroyed: a worker may still be finishing while the process exits.
Jobs& jobs() {
  static Jobs* j = new Jobs;
  return *j;
}

}  // namespace

void setOffThreadNotifier(std::function<void()> notifier) {
  std::lock_guard<std::mutex> l(jobs().m);
  jobs().notifier = std::move(notifier);
}

void runOffThread(const std::function<void()>& job) {
  if (onWorker || !inProgramThread() || programEnded()) {
    job();
    return;
  }
  Jobs& j = jobs();
  const int me = thread();
  auto done = std::make_shared<std::atomic<bool>>(false);
  std::exception_ptr failure;
  {
    std::lock_guard<std::mutex> l(j.m);
    ++j.pending;
  }
  std::thread worker([&job, &failure, &j, done, me] {
    onWorker = true;
    try {
      job();
    } catch (...) {
      failure = std::current_exception();
    }
    std::function<void()> notify;
    {
      std::lock_guard<std::mutex> l(j.m);
      --j.pending;
      j.finished.push_back(me);
      done->store(true);
      notify = j.notifier;
    }
    j.cv.notify_all();
    if (notify) notify();
  });
  // Also when this thread is unwound while it waits: the job uses the caller's objects.
  struct Join {
    std::thread& t;
    ~Join() { t.join(); }
  } join{worker};
  waitUntil([&] { return done->load(); });
  if (!done->load()) return;  // the program is ending; the join waits for the job
  if (failure) std::rethrow_exception(failure);
}

void yieldFor(int ms) {
  if (ms <= 0) return;
  auto nap = [ms] { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
  if (onWorker || !inProgramThread()) {
    nap();
    return;
  }
  if (programEnded()) return;
  runOffThread(nap);
}

bool offThreadJobsRunning() {
  Jobs& j = jobs();
  std::lock_guard<std::mutex> l(j.m);
  return j.pending > 0 || !j.finished.empty();
}

namespace detail {

bool jobsToWaitFor() {
  Jobs& j = jobs();
  std::lock_guard<std::mutex> l(j.m);
  return !j.notifier && j.finished.empty() && j.pending > 0;
}

bool wakeFinishedJobs(bool block) {
  Jobs& j = jobs();
  std::vector<int> finished;
  {
    std::unique_lock<std::mutex> l(j.m);
    // A view that is told when a job ends comes back by itself; a headless loop waits.
    if (block && !j.notifier && j.finished.empty() && j.pending > 0)
      j.cv.wait(l, [&] { return !j.finished.empty() || j.pending == 0; });
    finished.swap(j.finished);
  }
  for (int n : finished) wake(n);
  return !finished.empty();
}

}  // namespace detail
}  // namespace pf
