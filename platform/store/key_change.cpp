#include "platform/store/key_change.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

#include "platform/core/errors.h"
#include "platform/store/cipher.h"
#include "platform/store/driver.h"
#include "platform/store/file.h"
#include "platform/store/lock_wait.h"

namespace pf {
namespace {

constexpr const char* kJournal = "quillbox-rekey.journal";
constexpr const char* kCopy = ".qbkey";   // a file's copy under the new key
constexpr const char* kSchema = "rekeyed";

void (*probe_)(int) = nullptr;
void step(int n) {
  if (probe_) probe_(n);
}

std::string folderOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string journalPath(const std::vector<const FileDesc*>& files) {
  std::string first = files.empty() ? std::string() : resolveName(files.front()->diskName);
  return folderOf(first) + "/" + kJournal;
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// A rename or a removal in a folder is durable only once the folder is synced.
int syncFolder(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  int e = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return e;
}

void removeCopy(const std::string& copy) {
  ::unlink(copy.c_str());
  ::unlink((copy + "-journal").c_str());
}

// A connection of its own to the file at `path`, keyed with `key`.
struct Connection {
  sqlite3* db = nullptr;
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  Connection(Connection&& o) noexcept : db(std::exchange(o.db, nullptr)) {}
  // `attaching`: files attached to it may be new (an attach takes the main file's flags).
  int open(const std::string& path, const CipherKey& key, int busyMs, bool attaching = false) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (attaching ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc == SQLITE_OK) rc = keyConnection(db, &key);
    sqlite3_busy_timeout(db, busyMs);
    return rc;
  }
  int exec(const std::string& sql) { return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr); }
  // The first column of the first row, as a number; -1 when the statement fails.
  std::int64_t number(const std::string& sql, int* rc = nullptr) {
    sqlite3_stmt* st = nullptr;
    int r = sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    std::int64_t v = -1;
    if (r == SQLITE_OK) {
      r = sqlite3_step(st);
      if (r == SQLITE_ROW) v = sqlite3_column_int64(st, 0), r = SQLITE_OK;
    }
    sqlite3_finalize(st);
    if (rc) *rc = r;
    return v;
  }
  std::string text(const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    std::string v;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) {
      const unsigned char* t = sqlite3_column_text(st, 0);
      if (t) v = reinterpret_cast<const char*>(t);
    }
    sqlite3_finalize(st);
    return v;
  }
  std::string message() const { return db ? sqlite3_errmsg(db) : "out of memory"; }
  void close() {
    if (db) sqlite3_close_v2(db);
    db = nullptr;
  }
  ~Connection() { close(); }
};

struct Swap {
  std::string target, copy;
  Connection old;  // still on the file being replaced, to shut it after the swap
};

// Writes `copy` as the whole of `file` under `next`, checking it reads back complete.
int copyUnderKey(Swap& s, const CipherKey& current, const CipherKey& next, std::string& why) {
  removeCopy(s.copy);
  // The copy becomes the data file: it is made its owner's alone before SQLite fills it.
  if (int e = createPrivateFile(s.copy)) return why = std::strerror(e), errnoToError(e);
  Connection& src = s.old;
  if (src.open(s.target, current, 500, true) != SQLITE_OK) return why = src.message(), Err::BadOwner;
  int rc;
  std::int64_t records = src.number("SELECT count(*) FROM rec", &rc);
  if (rc != SQLITE_OK) return why = src.message(), rc == SQLITE_NOTADB ? Err::BadOwner : Err::InvalidFile;
  if (attachKeyed(src.db, s.copy, kSchema, &next) != SQLITE_OK) return why = src.message(), Err::AccessDenied;
  // Immediate: no writer of the file may be half-way while it is copied.
  rc = src.exec("BEGIN IMMEDIATE");
  if (rc == SQLITE_OK) rc = src.exec(std::string("SELECT sqlcipher_export('") + kSchema + "')");
  if (rc == SQLITE_OK) rc = src.exec("COMMIT");
  if (rc != SQLITE_OK) {
    why = src.message();
    src.exec("ROLLBACK");
    src.exec(std::string("DETACH ") + kSchema);
    return (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED ? Err::Locked : Err::FileSystemError;
  }
  src.exec(std::string("DETACH ") + kSchema);

  Connection check;
  if (check.open(s.copy, next, 0) != SQLITE_OK) return why = check.message(), Err::FileSystemError;
  if (check.text("PRAGMA quick_check") != "ok" || check.number("SELECT count(*) FROM rec") != records)
    return why = "the copy under the new key is not complete", Err::FileSystemError;
  return Err::None;
}

// The file a swap replaced may still be open elsewhere: emptied of its records, a late
// write to it fails instead of going into a file nobody will read again. Without a
// journal, since its journal's name is now the new file's.
void shutReplaced(Connection& old) {
  if (!old.db) return;
  if (old.exec("PRAGMA journal_mode=OFF") == SQLITE_OK && old.exec("BEGIN IMMEDIATE") == SQLITE_OK) {
    if (old.exec("DROP TABLE rec") == SQLITE_OK)
      old.exec("COMMIT");
    else
      old.exec("ROLLBACK");
  }
  old.close();
}

int writeJournal(const std::string& path, const std::vector<Swap>& swaps, std::string& why) {
  std::string tmp = path + ".tmp";
  std::string body;
  for (const auto& s : swaps) body += s.copy + '\t' + s.target + '\n';
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return why = std::strerror(errno), errnoToError(errno);
  int e = 0;
  for (std::size_t done = 0; done < body.size() && !e;) {
    ssize_t n = ::write(fd, body.data() + done, body.size() - done);
    if (n < 0 && errno != EINTR) e = errno;
    if (n > 0) done += static_cast<std::size_t>(n);
  }
  if (!e && ::fsync(fd) != 0) e = errno;
  if (::close(fd) != 0 && !e) e = errno;
  step(3);
  if (!e && ::rename(tmp.c_str(), path.c_str()) != 0) e = errno;
  if (!e) e = syncFolder(folderOf(path));
  if (e) {
    ::unlink(tmp.c_str());
    return why = std::strerror(e), errnoToError(e);
  }
  return Err::None;
}

std::vector<std::pair<std::string, std::string>> readJournal(const std::string& path) {
  std::vector<std::pair<std::string, std::string>> out;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    auto tab = line.find('\t');
    if (tab == std::string::npos) continue;
    out.emplace_back(line.substr(0, tab), line.substr(tab + 1));
  }
  return out;
}

// Past the point of no return: every copy still beside its file replaces it.
int rollForward(const std::string& journal) {
  int e = 0;
  for (const auto& [copy, target] : readJournal(journal)) {
    if (!exists(copy)) continue;  // already in place
    // The old file's journal would be played back into the new one.
    ::unlink((target + "-journal").c_str());
    if (::rename(copy.c_str(), target.c_str()) != 0 && !e) e = errno;
  }
  if (!e) e = syncFolder(folderOf(journal));
  if (!e && ::unlink(journal.c_str()) != 0) e = errno;
  if (!e) e = syncFolder(folderOf(journal));
  return e;
}

}  // namespace

void setKeyChangeProbe(void (*probe)(int)) { probe_ = probe; }

KeyFit tryKey(const FileDesc& desc, const CipherKey& key) {
  std::string path = resolveName(desc.diskName);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return KeyFit::Missing;
  if (!S_ISREG(st.st_mode) || st.st_size == 0 || st.st_size % kCipherPageSize != 0 || plainHeader(path))
    return KeyFit::Damaged;
  Connection c;
  if (c.open(path, key, 500) != SQLITE_OK) return KeyFit::Damaged;
  int rc;
  std::int64_t formats = c.number("SELECT count(*) FROM meta WHERE name='format'", &rc);
  // Only a key that decrypts the first page gets as far as a damaged page behind it.
  if ((rc & 0xFF) == SQLITE_CORRUPT) return KeyFit::Damaged;
  if ((rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED) return KeyFit::Locked;
  // A damaged first page refuses every key: the pages behind it tell whether it is this one.
  if (rc != SQLITE_OK) return laterPagesTakeKey(path, key) ? KeyFit::Damaged : KeyFit::WrongKey;
  return formats == 1 ? KeyFit::Opens : KeyFit::Damaged;
}

int changeKey(const std::vector<const FileDesc*>& files, FileKey& key, const CipherKey& next, std::string* why) {
  std::string detail;
  auto failed = [&](int code) {
    if (why) *why = detail;
    return code;
  };
  std::string journal = journalPath(files);
  // A change left half-done by a crash is settled first, or its journal would name
  // this change's copies.
  completeKeyChange(files);
  // A walk of this process that holds a file over its turns lets go of it first, and
  // takes it again only under the new key.
  LockWaiter asking;
  waitForWriteTransactions();

  std::vector<Swap> swaps;
  swaps.reserve(files.size());
  for (const FileDesc* f : files) {
    std::string target = resolveName(f->diskName);
    if (!exists(target)) continue;
    swaps.emplace_back();
    swaps.back().target = target;
    swaps.back().copy = target + kCopy;
  }
  int n = 0;
  for (auto& s : swaps) {
    int code = copyUnderKey(s, key.current(), next, detail);
    if (code != Err::None) {
      for (auto& t : swaps) removeCopy(t.copy);
      detail = s.target + ": " + detail;
      return failed(code);
    }
    step(++n);  // 1, 2: a file copied
  }
  if (!swaps.empty()) {
    if (int e = syncFolder(folderOf(journal))) {
      for (auto& t : swaps) removeCopy(t.copy);
      detail = std::strerror(e);
      return failed(errnoToError(e));
    }
    if (int code = writeJournal(journal, swaps, detail)) {
      for (auto& t : swaps) removeCopy(t.copy);
      return failed(code);
    }
  }
  step(4);  // the point of no return
  int e = 0;
  n = 0;
  for (auto& s : swaps) {
    ::unlink((s.target + "-journal").c_str());
    if (::rename(s.copy.c_str(), s.target.c_str()) != 0 && !e) e = errno;
    step(5 + n++);  // 5, 6: a file replaced
  }
  for (auto& s : swaps) shutReplaced(s.old);
  // From here the files are under the new key, whatever the journal's removal does.
  key.use(next);
  step(7);
  if (!swaps.empty()) {
    int r = rollForward(journal);
    if (!e) e = r;
  }
  step(8);
  if (e) {
    detail = std::string(std::strerror(e)) + " (finished at the next start)";
    return failed(errnoToError(e));
  }
  return Err::None;
}

void completeKeyChange(const std::vector<const FileDesc*>& files) {
  std::string journal = journalPath(files);
  if (exists(journal)) {
    rollForward(journal);
    return;
  }
  ::unlink((journal + ".tmp").c_str());
  for (const FileDesc* f : files) removeCopy(resolveName(f->diskName) + kCopy);
}

}  // namespace pf
