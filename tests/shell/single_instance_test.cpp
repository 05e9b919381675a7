// One program per working folder, across real processes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>
#include <cstdlib>
#include <functional>
#include <optional>
#include <utility>
#include <string>
#include <thread>

#include "platform/os/desktop_events.h"
#include "platform/os/single_instance.h"
#include "tests/support/temp_dir.h"

namespace {

// A child process with its standard input and output on pipes.
struct Child {
  pid_t pid = -1;
  int in = -1, out = -1;
  std::string output;

  // `env`: NAME=VALUE settings on top of the test's own; an empty value unsets NAME.
  explicit Child(const std::vector<std::string>& argv, const std::vector<std::string>& env = {}) {
    int toChild[2], fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) return;
    pid = fork();
    if (pid == 0) {
      dup2(toChild[0], 0);
      dup2(fromChild[1], 1);
      close(toChild[1]);
      close(fromChild[0]);
      std::vector<char*> args;
      for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
      for (const auto& e : env) {
        auto eq = e.find('=');
        if (eq + 1 == e.size()) unsetenv(e.substr(0, eq).c_str());
        else setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
      }
      execv(args[0], args.data());
      _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    in = toChild[1];
    out = fromChild[0];
  }
  ~Child() {
    if (in >= 0) close(in);
    if (out >= 0) close(out);
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
  void send(const std::string& line) {
    std::string s = line + "\n";
    ASSERT_EQ(write(in, s.data(), s.size()), static_cast<ssize_t>(s.size()));
  }
  void closeInput() {
    close(in);
    in = -1;
  }
  // Reads until `text` has appeared after `from` or the time is up.
  bool waitFor(const std::string& text, std::size_t from = 0, int ms = 15000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (output.find(text, from) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      pollfd p{out, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char buf[4096];
      ssize_t n = read(out, buf, sizeof buf);
      if (n <= 0) return output.find(text, from) != std::string::npos;
      output.append(buf, static_cast<std::size_t>(n));
    }
    return true;
  }
  // Everything left on the child's output once it has ended.
  void drain() {
    char buf[4096];
    ssize_t n;
    while ((n = read(out, buf, sizeof buf)) > 0) output.append(buf, static_cast<std::size_t>(n));
  }
  // Exit code, or -1 when it did not end in time. `pump` runs meanwhile.
  int wait(int ms, const std::function<void()>& pump = {}) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        drain();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      if (pump) pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }
};

TEST(SingleInstance, LockIsHeldUntilItsHolderEnds) {
  qbtest::TempDir dir;
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t holder = fork();
  if (holder == 0) {
    pf::InstanceLock lock("thisApp");
    int w = lock.create() ? lock.wait(50) : 99;
    if (write(ready[1], &w, sizeof w) != sizeof w) _exit(1);
    pause();
    _exit(0);
  }
  int held = -5;
  ASSERT_EQ(read(ready[0], &held, sizeof held), static_cast<ssize_t>(sizeof held));
  EXPECT_EQ(held, pf::InstanceWait::Obtained);

  pf::InstanceLock mine("thisApp");
  ASSERT_TRUE(mine.create());
  EXPECT_EQ(mine.wait(50), pf::InstanceWait::TimedOut);
  EXPECT_FALSE(mine.askToRaise(200)) << "nobody listens";

  // Killed without giving the lock up: the kernel frees it.
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  int w = mine.wait(50);
  EXPECT_TRUE(w == pf::InstanceWait::Obtained || w == pf::InstanceWait::Abandoned) << w;
  EXPECT_TRUE(mine.owned());
}

// The environment a test's lock looks at, put back afterwards.
class LockFolders {
 public:
  LockFolders(const std::string& runtime, const std::string& tmp) {
    for (auto& [name, value] : {std::pair<const char*, std::string>{"XDG_RUNTIME_DIR", runtime}, {"TMPDIR", tmp}}) {
      const char* old = std::getenv(name);
      saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      if (value.empty()) unsetenv(name);
      else setenv(name, value.c_str(), 1);
    }
  }
  ~LockFolders() {
    for (auto& [name, value] : saved_) value ? setenv(name, value->c_str(), 1) : unsetenv(name);
  }

 private:
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

// The names under `dir`, at any depth.
std::vector<std::string> namesUnder(const std::string& dir) {
  std::vector<std::string> out;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(dir, ec); !ec && it != decltype(it)(); it.increment(ec))
    out.push_back(it->path().string().substr(dir.size()));
  std::sort(out.begin(), out.end());
  return out;
}

// Whatever others have made in the temporary folders, or in the data folder under the
// lock's name, the program's lock is its data folder's, and nothing is left of it after.
TEST(SingleInstance, WhatOthersMakeFirstDoesNotStopTheLock) {
  const std::string user = "quillbox-" + std::to_string(getuid());
  const std::string lockName = "quillbox-thisApp.lock";
  struct Case {
    const char* what;
    std::function<void(const std::string& tmp)> make;  // in the temporary folder, or in the data folder
    bool asRoot = false;                              // something given to another user
  } cases[] = {
      {"nothing made yet", [](const std::string&) {}},
      {"the user's folder in the temporary folder, another user's",
       [&](const std::string& t) {
         mkdir((t + "/" + user).c_str(), 0700);
         ASSERT_EQ(chown((t + "/" + user).c_str(), 65534, 65534), 0);
       },
       true},
      {"the user's folder in the temporary folder, open to others",
       [&](const std::string& t) {
         mkdir((t + "/" + user).c_str(), 0700);
         chmod((t + "/" + user).c_str(), 0777);
       }},
      {"the user's folder in the temporary folder, a link",
       [&](const std::string& t) {
         mkdir((t + "/elsewhere").c_str(), 0700);
         ASSERT_EQ(symlink((t + "/elsewhere").c_str(), (t + "/" + user).c_str()), 0);
       }},
      {"the user's folder in the temporary folder, a file",
       [&](const std::string& t) { close(open((t + "/" + user).c_str(), O_CREAT | O_WRONLY, 0600)); }},
      {"a lock file of another user's in the data folder",
       [&](const std::string&) {
         close(open(lockName.c_str(), O_CREAT | O_WRONLY, 0666));
         ASSERT_EQ(chown(lockName.c_str(), 65534, 65534), 0);
       },
       true},
      {"a link in the data folder under the lock's name",
       [&](const std::string& t) { ASSERT_EQ(symlink((t + "/elsewhere-lock").c_str(), lockName.c_str()), 0); }},
  };
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(c.what);
    if (c.asRoot && getuid() != 0) return;
    qbtest::TempDir tmp, other;
    qbtest::TempDir dir;  // the data folder, current
    LockFolders env("", tmp.path());
    c.make(tmp.path());
    const auto made = namesUnder(tmp.path());
    {
      pf::InstanceLock lock("thisApp");
      EXPECT_TRUE(lock.create());
      EXPECT_EQ(lock.lockPath(), dir.file(lockName));
      EXPECT_EQ(lock.wait(50), pf::InstanceWait::Obtained);
      struct stat st {};
      EXPECT_EQ(lstat(lockName.c_str(), &st), 0);
      EXPECT_TRUE(S_ISREG(st.st_mode));
      EXPECT_EQ(st.st_uid, getuid());
      EXPECT_EQ(st.st_mode & 0777, 0600u);
      // Another start on the folder, with other temporary folders, meets the same lock.
      LockFolders otherEnv(other.path(), other.path());
      pf::InstanceLock second("thisApp");
      EXPECT_TRUE(second.create());
      EXPECT_EQ(second.wait(50), pf::InstanceWait::TimedOut);
      second.release();
      EXPECT_EQ(namesUnder(other.path()), std::vector<std::string>{});
      lock.release();
    }
    EXPECT_EQ(namesUnder(dir.path()), std::vector<std::string>{}) << "nothing is left in the data folder";
    EXPECT_EQ(namesUnder(tmp.path()), made) << "nothing is made in the temporary folder";
  }();

  // Lock after lock in folder after folder leaves nothing anywhere.
  qbtest::TempDir tmp;
  LockFolders env("", tmp.path());
  for (int i = 0; i < 5; ++i) {
    qbtest::TempDir dir;
    pf::InstanceLock lock("thisApp");
    EXPECT_TRUE(lock.create());
    EXPECT_EQ(lock.wait(50), pf::InstanceWait::Obtained);
    lock.release();
    EXPECT_EQ(namesUnder(dir.path()), std::vector<std::string>{});
  }
  EXPECT_EQ(namesUnder(tmp.path()), std::vector<std::string>{});
}

// A second program on the folder, started with other temporary folders than the first,
// is still the second: it hands over to the first and ends, even where another user made
// the first one's temporary folder of the user's name before it started.
TEST(SingleInstance, ASecondStartWithOtherTemporaryFoldersIsHandedOver) {
  qbtest::TempDir dir;
  const std::string squat = dir.file("squat"), other = dir.file("other");
  ASSERT_EQ(mkdir(squat.c_str(), 0700), 0);
  ASSERT_EQ(mkdir(other.c_str(), 0700), 0);
  const std::string user = squat + "/quillbox-" + std::to_string(getuid());
  ASSERT_EQ(mkdir(user.c_str(), 0700), 0);
  if (getuid() == 0) ASSERT_EQ(chown(user.c_str(), 65534, 65534), 0);
  else ASSERT_EQ(chmod(user.c_str(), 0777), 0);

  Child first({QUILLBOX_DRIVE}, {"TMPDIR=" + squat, "XDG_RUNTIME_DIR="});
  ASSERT_TRUE(first.waitFor("window Main \"Quillbox\"")) << first.output;
  // Both temporary folders other than the first program's.
  first.send("in Quillbox");
  first.send("state iconize");
  ASSERT_TRUE(first.waitFor("minimised")) << first.output;
  std::size_t mark = first.output.size();
  first.send("serve 3000");
  Child second({QUILLBOX_DRIVE, "--quiet"}, {"TMPDIR=" + other, "XDG_RUNTIME_DIR=" + other});
  second.closeInput();
  EXPECT_EQ(second.wait(15000), 0);
  EXPECT_EQ(second.output, "(program ended)\n");
  ASSERT_TRUE(first.waitFor("window Main", mark)) << first.output;
  std::string after = first.output.substr(mark);
  std::string frameLine = after.substr(after.find("window Main"));
  frameLine = frameLine.substr(0, frameLine.find('\n'));
  EXPECT_EQ(frameLine.find("minimised"), std::string::npos) << frameLine;
  first.send("quit");
  first.closeInput();
  EXPECT_EQ(first.wait(15000), 0);
  EXPECT_EQ(namesUnder(squat), std::vector<std::string>{"/quillbox-" + std::to_string(getuid())});
  EXPECT_EQ(namesUnder(other), std::vector<std::string>{});
  EXPECT_FALSE(std::filesystem::exists(dir.file("quillbox-thisApp.lock")));
}

TEST(SingleInstance, SecondStartEndsQuietlyWhenNoFrameIsOpen) {
  qbtest::TempDir dir;
  pf::processDesktopEvents(0);
  pf::InstanceLock first("thisApp");
  ASSERT_TRUE(first.create());
  ASSERT_EQ(first.wait(50), pf::InstanceWait::Obtained);
  int asked = 0;
  ASSERT_TRUE(first.listen([&asked] {
    ++asked;
    return false;  // still at the password prompt: no frame to show
  }));

  Child second({QUILLBOX_DRIVE, "--quiet"});
  second.closeInput();
  EXPECT_EQ(second.wait(15000, [] { pf::processDesktopEvents(20); }), 0);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(second.output, "(program ended)\n") << "no window, no message";
}

// A second start brings the first program's frame to the front: restored when it was
// minimised, activated when another window was in front of it.
TEST(SingleInstance, SecondStartRestoresTheFirstFrame) {
  struct Case {
    const char* what;
    std::vector<std::string> before;   // driver lines that put the frame out of sight
    const char* shown;                 // what the first driver prints once they are done
  };
  const Case cases[] = {
      {"minimised", {"in Quillbox", "state iconize"}, "minimised"},
      {"behind the browse", {}, "window BrowseWebsites"},
  };
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(c.what);
    qbtest::TempDir dir;
    Child first({QUILLBOX_DRIVE});
    ASSERT_TRUE(first.waitFor("window Main \"Quillbox\"")) << first.output;
    for (const std::string& line : c.before) first.send(line);
    ASSERT_TRUE(first.waitFor(c.shown)) << first.output;
    std::size_t mark = first.output.size();
    first.send("serve 3000");

    Child second({QUILLBOX_DRIVE, "--quiet"});
    second.closeInput();
    EXPECT_EQ(second.wait(15000), 0);
    EXPECT_EQ(second.output, "(program ended)\n");

    ASSERT_TRUE(first.waitFor("window Main", mark)) << first.output;
    std::string after = first.output.substr(mark);
    std::string frameLine = after.substr(after.find("window Main"));
    frameLine = frameLine.substr(0, frameLine.find('\n'));
    EXPECT_EQ(frameLine.find("minimised"), std::string::npos) << frameLine;
    EXPECT_NE(frameLine.find("active"), std::string::npos) << after;
    first.send("quit");
    first.closeInput();
    EXPECT_EQ(first.wait(15000), 0);
  }();
}

}  // namespace
