// Copies of indexed data files through SQLite's online backup: the copy is the database
// as one read transaction sees it, whatever other connections and processes write, and a
// journal left hot by a crash is played back before it is read.
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/core/errors.h"
#include "platform/runtime/runtime.h"
#include "platform/store/connection.h"
#include "platform/store/driver.h"
#include "platform/store/lock_wait.h"

namespace pf {
namespace {

struct Connection {
  sqlite3* db = nullptr;
  ~Connection() {
    if (db) sqlite3_close_v2(db);
  }
  int exec(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
  std::string message() const { return db ? sqlite3_errmsg(db) : "out of memory"; }
};

void removeCopy(const std::string& to) {
  ::unlink(to.c_str());
  ::unlink((to + "-journal").c_str());
}

}  // namespace

int onlineCopy(const FileDesc& desc, const std::string& from, const std::string& to, std::string& detail) {
  struct stat st {};
  if (::stat(from.c_str(), &st) != 0) {
    detail = from;
    return errnoToError(errno);
  }
  if (!S_ISREG(st.st_mode)) {
    detail = from;
    return Err::AccessDenied;
  }
  const bool encrypted = desc.cipher != nullptr;

  // Read-write where allowed: only a connection that may write plays back a hot journal.
  Connection src;
  int flags = (::access(from.c_str(), W_OK) == 0 ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
  int rc = sqlite3_open_v2(from.c_str(), &src.db, flags, nullptr);
  if (rc == SQLITE_OK) rc = configureConnection(src.db, desc);
  // The read transaction holds one snapshot for the whole copy; taking it waits for a
  // writer as every connection of the store does.
  LockWait wait;
  // Off the windows' thread: the first read of an encrypted file stretches its key.
  auto begin = [&src] {
    int r = SQLITE_OK;
    runOffThread([&] { r = src.exec("BEGIN; SELECT count(*) FROM sqlite_master"); });
    return r;
  };
  while (rc == SQLITE_OK && (rc = begin()) != SQLITE_OK) {
    src.exec("ROLLBACK");
    if (wait.again(rc)) rc = SQLITE_OK;
  }
  if (rc != SQLITE_OK) {
    detail = src.message();
    return (rc & 0xFF) == SQLITE_NOTADB && encrypted ? Err::BadOwner : sqliteError(rc);
  }

  if (int e = createPrivateFile(to)) {
    detail = to;
    return errnoToError(e);
  }
  Connection dst;
  rc = sqlite3_open_v2(to.c_str(), &dst.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  // The copy's key is the source's, so it opens as the source did when it was made.
  if (rc == SQLITE_OK) rc = configureConnection(dst.db, desc);
  if (rc == SQLITE_OK) {
    sqlite3_backup* b = sqlite3_backup_init(dst.db, "main", src.db, "main");
    if (!b) {
      rc = sqlite3_errcode(dst.db);
    } else {
      // Every page read, encrypted again and written, and the copy synced: the windows go
      // on meanwhile, and a writer of the file waits for the snapshot as it would anyway.
      int end = SQLITE_OK;
      runOffThread([&] {
        rc = sqlite3_backup_step(b, -1);
        end = sqlite3_backup_finish(b);
      });
      rc = rc == SQLITE_DONE ? end : rc;
    }
  }
  if (rc != SQLITE_OK) {
    detail = dst.message();
    src.exec("ROLLBACK");
    sqlite3_close_v2(dst.db);
    dst.db = nullptr;
    removeCopy(to);
    return sqliteError(rc);
  }
  src.exec("ROLLBACK");
  rc = sqlite3_close(dst.db);
  dst.db = nullptr;
  if (rc != SQLITE_OK) {
    detail = sqlite3_errstr(rc);
    removeCopy(to);
    return sqliteError(rc);
  }
  return Err::None;
}

}  // namespace pf
