// A bound on the real time one step of a test may take: a step that hangs ends the test
// program at once, saying which step, instead of holding up the whole run.
//
//   { qbtest::Watchdog w("the listing with a blob in _k_DESCRIPTION", 30); ...the step... }
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace qbtest {

class Watchdog {
 public:
  Watchdog(std::string what, int seconds) : what_(std::move(what)) {
    thread_ = std::thread([this, seconds] {
      std::unique_lock<std::mutex> l(m_);
      if (cv_.wait_for(l, std::chrono::seconds(seconds), [this] { return done_; })) return;
      std::fprintf(stderr, "\n%s did not end within %d s\n", what_.c_str(), seconds);
      std::fflush(stderr);
      std::_Exit(2);
    });
  }
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> l(m_);
      done_ = true;
    }
    cv_.notify_one();
    thread_.join();
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  std::string what_;
  std::mutex m_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace qbtest
