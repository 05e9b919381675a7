// Another program holding a data file locked as SQLite locks it: a child process with
// its own connection in BEGIN EXCLUSIVE (no one else may read or write) or BEGIN
// IMMEDIATE (others may read but not write), until released or for `holdMs`. An
// encrypted file is keyed first, as the sqlcipher program would be given its key.
#pragma once

#include <poll.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/store/cipher.h"
#include "platform/store/file_key.h"

namespace qbtest {

// What the sqlcipher program is told to open a file keyed with `key`.
inline std::string keyStatements(const pf::CipherKey& key) {
  std::string quoted;
  for (char c : key.passphrase.view()) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return "PRAGMA key='" + quoted + "';PRAGMA cipher_page_size=" + std::to_string(pf::kCipherPageSize) +
         ";PRAGMA kdf_iter=" + std::to_string(key.rounds) + ";";
}

class LockHolder {
 public:
  // The caller must have no connection of its own on the file while the child starts.
  // `keyed`: keyStatements() for an encrypted file.
  explicit LockHolder(const std::string& path, const std::string& begin = "BEGIN EXCLUSIVE", int holdMs = -1,
                      const std::string& keyed = {}) {
    int ready[2], done[2];
    if (::pipe(ready) != 0 || ::pipe(done) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      // Its end of the release pipe closed, so that the parent's closing is seen.
      ::close(done[1]);
      ::close(ready[0]);
      sqlite3* db = nullptr;
      char c = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
                       sqlite3_exec(db, (keyed + begin).c_str(), nullptr, nullptr, nullptr) == SQLITE_OK
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
