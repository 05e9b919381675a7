// A shipped program run by a test in the current folder: its standard input on a pipe,
// its standard output read back, killed when the test is done with it.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace qbtest {

class ChildProcess {
 public:
  // `env`: NAME=VALUE settings on top of the test's own environment.
  explicit ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {}) {
    int toChild[2], fromChild[2];
    if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(toChild[0], 0);
      ::dup2(fromChild[1], 1);
      ::close(toChild[1]);
      ::close(fromChild[0]);
      std::vector<char*> args;
      for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
      for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
      ::execv(args[0], args.data());
      ::_exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    in_ = toChild[1];
    out_ = fromChild[0];
  }
  ~ChildProcess() {
    closeInput();
    if (out_ >= 0) ::close(out_);
    kill9();
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  void send(const std::string& line) {
    std::string s = line + "\n";
    if (in_ >= 0 && ::write(in_, s.data(), s.size()) != static_cast<ssize_t>(s.size())) closeInput();
  }
  void closeInput() {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
  }
  // Reads until `text` has appeared in the output or the time is up.
  bool waitFor(const std::string& text, int ms = 20000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (output_.find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline || out_ < 0) return false;
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      char buf[4096];
      ssize_t n = ::read(out_, buf, sizeof buf);
      if (n <= 0) return output_.find(text) != std::string::npos;
      output_.append(buf, static_cast<std::size_t>(n));
    }
    return true;
  }
  // The exit status once it has ended (-1 when it was killed or never ran).
  int wait() {
    if (pid_ <= 0) return -1;
    int st = 0;
    ::waitpid(pid_, &st, 0);
    pid_ = -1;
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }
  void kill9() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  const std::string& output() const { return output_; }

 private:
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
  std::string output_;
};

}  // namespace qbtest
