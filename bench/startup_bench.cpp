// The program's start over N generated websites, on the Qt view (offscreen unless
// QT_QPA_PLATFORM says otherwise): the real program, started as a process of its own, each
// start seven times (medians). Qt loads the paint watch into it (paint_watch.cpp), which
// notes when a window has first been painted, types the password, and closes the frame.
//
//   startup_ms                  from the process's start until the frame has been painted,
//                               without a program password
//   startup_password_prompt_ms  with one: from the process's start until the password
//                               prompt has been painted
//   startup_password_frame_ms   from the Return that ends the typed password until the
//                               frame has been painted (the key stretching, the files'
//                               opening, the frame)
//   startup_password_ms         from the process's start until the frame has been painted,
//                               the password typed the moment the prompt was painted
//
// Prints `name value` lines.
//
//   startup_bench [N]      (N websites, default 100000, as quillbox-gen writes them)
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "bench/figures.h"
#include "bench/folder.h"
#include "bench/generator.h"
#include "data/access.h"
#include "data/protection.h"

extern char** environ;

namespace {

constexpr int kRuns = 7;
constexpr auto kLongest = std::chrono::seconds(60);
const char* const kPassword = "Bench2Start";
const char* const kPromptTitle = "Password required...";

using Clock = std::chrono::steady_clock;

// What the paint watch saw of one start, in milliseconds from the process's start.
struct Start {
  double prompt = -1, typed = -1, frame = -1;
  std::string windows;  // the titles of the windows painted before the frame
  bool ended = false;   // the program ended by itself once its frame was closed
};

std::string logPath() { return (std::filesystem::current_path() / "paints.log").string(); }

Start start() {
  std::filesystem::remove(logPath());
  Start s;
  char* const argv[] = {const_cast<char*>(QB_PROGRAM), nullptr};
  const Clock::time_point t0 = Clock::now();
  pid_t pid;
  if (posix_spawn(&pid, QB_PROGRAM, nullptr, nullptr, argv, environ) != 0) {
    std::perror(QB_PROGRAM);
    return s;
  }
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (Clock::now() - t0 > kLongest) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  s.ended = WIFEXITED(status) && WEXITSTATUS(status) == 0;

  const long long start = std::chrono::duration_cast<std::chrono::nanoseconds>(t0.time_since_epoch()).count();
  std::ifstream log(logPath());
  std::string line;
  while (std::getline(log, line)) {
    std::istringstream in(line);
    std::string what, title;
    long long ns = 0;
    in >> what >> ns;
    std::getline(in >> std::ws, title);
    double ms = (ns - start) / 1e6;
    if (what == "frame" && s.frame < 0) s.frame = ms;
    if (s.frame >= 0) continue;
    if (what == "window") {
      s.windows += (s.windows.empty() ? "" : ", ") + title;
      if (title == kPromptTitle && s.prompt < 0) s.prompt = ms;
    }
    if (what == "typed" && s.typed < 0) s.typed = ms;
  }
  return s;
}

void complain(const char* what, const Start& s) {
  std::fprintf(stderr, "startup_bench: %s (frame %.1f, prompt %.1f, typed %.1f, windows before the frame: %s%s)\n",
               what, s.frame, s.prompt, s.typed, s.windows.empty() ? "none" : s.windows.c_str(),
               s.ended ? "" : "; the program did not end by itself");
}

}  // namespace

int main(int argc, char** argv) {
  const std::int64_t n = argc > 1 ? std::atoll(argv[1]) : qb::bench::kDefaultWebsites;
  qb::bench::BenchFolder folder("quillbox-startup-bench");
  std::string error;
  if (qb::bench::writeWebsites(qb::bench::makeWebsites(n, 1), &error) != 0) {
    std::fprintf(stderr, "startup_bench: %s\n", error.c_str());
    return 1;
  }
  FreeThreadAccess();

  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const char* paths = std::getenv("QT_PLUGIN_PATH");
  setenv("QT_PLUGIN_PATH", (std::string(QB_PLUGINS) + (paths ? std::string(":") + paths : "")).c_str(), 1);
  setenv("QT_QPA_GENERIC_PLUGINS", "quillbox-paint-watch", 1);
  setenv("QB_PAINT_WATCH_LOG", logPath().c_str(), 1);
  unsetenv("QB_PAINT_WATCH_PASSWORD");

  qb::bench::Figures figures(n);
  // The first start makes the preferences and the password file; it is not counted.
  if (Start first = start(); first.frame < 0 || !first.ended) {
    complain("the first start showed no frame", first);
    return 1;
  }
  for (int i = 0; i < kRuns; ++i) {
    Start s = start();
    bool right = s.frame >= 0 && s.windows.empty() && s.ended;
    if (!right) complain("a start without a password went wrong", s);
    figures.record("startup_ms", right ? s.frame : -1);
  }

  if (ChangeProgramPassword(kPassword, &error) != 0) {
    std::fprintf(stderr, "startup_bench: the password could not be set: %s\n", error.c_str());
    return 1;
  }
  setenv("QB_PAINT_WATCH_PASSWORD", kPassword, 1);
  for (int i = 0; i < kRuns; ++i) {
    Start s = start();
    bool right = s.prompt >= 0 && s.typed >= s.prompt && s.frame >= s.typed && s.ended;
    if (!right) complain("a start with a password went wrong", s);
    figures.record("startup_password_prompt_ms", right ? s.prompt : -1);
    figures.record("startup_password_frame_ms", right ? s.frame - s.typed : -1);
    figures.record("startup_password_ms", right ? s.frame : -1);
  }
  figures.print();
  return 0;
}
