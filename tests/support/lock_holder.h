// Another program holding a plain data file locked as SQLite locks it: a child process
// with its own connection in BEGIN EXCLUSIVE (no one else may read or write) or BEGIN
// IMMEDIATE (others may read but not write), until released or for `holdMs`.
#pragma once

#include <poll.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace qbtest {

class LockHolder {
 public:
  // The caller must have no connection of its own on the file while the child starts.
  explicit LockHolder(const std::string& path, const std::string& begin = "BEGIN EXCLUSIVE", int holdMs = -1) {
    int ready[2], done[2];
    if (::pipe(ready) != 0 || ::pipe(done) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      // Its end of the release pipe closed, so that the parent's closing is seen.
      ::close(done[1]);
      ::close(ready[0]);
      sqlite3* db = nullptr;
      char c = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
                       sqlite3_exec(db, begin.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK
                   ? 'y'
                   : 'n';
      (void)!::write(ready[1], &c, 1);
      pollfd p{done[0], POLLIN, 0};
      ::poll(&p, 1, holdMs);
      sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
      sqlite3_close(db);
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(done[0]);
    char c = 0;
    holding_ = ::read(ready[0], &c, 1) == 1 && c == 'y';
    ::close(ready[0]);
    release_ = done[1];
  }
  ~LockHolder() { release(); }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

  bool holding() const { return holding_; }
  // Ends the child's transaction and waits until the child has gone.
  void release() {
    if (release_ >= 0) ::close(release_);
    release_ = -1;
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
    holding_ = false;
  }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool holding_ = false;
};

}  // namespace qbtest
