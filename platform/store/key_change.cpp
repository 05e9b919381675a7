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

std::string baseName(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
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
  // Names only: the journal names files in its own folder and nowhere else.
  for (const auto& s : swaps) body += baseName(s.copy) + '\t' + baseName(s.target) + '\n';
  ::unlink(tmp.c_str());
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
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

// A file the journal names may be renamed or replaced only when it is a plain file of
// this user's, not a link: someone who can write into the folder must not reach through
// it to a file elsewhere. "" when it may, else why not.
std::string unfit(const std::string& name, const struct stat& st, bool onlyName) {
  if (S_ISLNK(st.st_mode)) return name + " is a link";
  if (!S_ISREG(st.st_mode)) return name + " is not a plain file";
  if (st.st_uid != ::geteuid()) return name + " belongs to another user";
  // Another name of the same file would be written through the data file later.
  if (onlyName && st.st_nlink != 1) return name + " has another name (a hard link)";
  return {};
}

struct Planned {
  std::string copy, target;  // paths
};

// The swaps the journal at `path` asks for. Only what changeKey writes is taken: one
// "copy<TAB>file" line for each of `files` at most, by their names in the journal's own
// folder, and only plain files of this user's. Anything else is refused with `why`.
int readJournal(const std::string& path, const std::vector<const FileDesc*>& files, std::vector<Planned>& out,
                std::string& why) {
  const std::string journal = baseName(path);
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    int e = errno;
    why = e == ELOOP ? journal + " is a link" : journal + ": " + std::strerror(e);
    return e == ELOOP ? Err::InvalidFile : errnoToError(e);
  }
  struct stat st {};
  std::string body;
  if (::fstat(fd, &st) != 0) {
    why = journal + ": " + std::strerror(errno);
  } else if (std::string bad = unfit(journal, st, false); !bad.empty()) {
    why = bad;
  } else if (st.st_size > 4096) {
    why = journal + " is not a journal of this program";
  } else {
    char buf[4097];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0 && body.size() < 4096) body.append(buf, static_cast<std::size_t>(n));
    if (n < 0) why = journal + ": " + std::strerror(errno);
  }
  ::close(fd);
  if (!why.empty()) return Err::InvalidFile;

  const std::string dir = folderOf(path);
  std::vector<std::pair<std::string, std::string>> ours;  // copy, file: the names changeKey writes
  for (const FileDesc* f : files) {
    std::string target = resolveName(f->diskName);
    if (folderOf(target) == dir) ours.emplace_back(baseName(target) + kCopy, baseName(target));
  }
  std::vector<bool> named(ours.size(), false);
  const std::string notOurs = journal + " is not a journal of this program";
  if (body.empty() || body.back() != '\n') return why = notOurs, Err::InvalidFile;
  for (std::size_t from = 0; from < body.size();) {
    std::size_t end = body.find('\n', from);
    std::string line = body.substr(from, end - from);
    from = end + 1;
    std::size_t tab = line.find('\t');
    if (tab == std::string::npos || line.find('\t', tab + 1) != std::string::npos) return why = notOurs, Err::InvalidFile;
    std::string copy = line.substr(0, tab), target = line.substr(tab + 1);
    std::size_t i = 0;
    while (i < ours.size() && !(ours[i].first == copy && ours[i].second == target)) ++i;
    if (i == ours.size()) {
      bool elsewhere = copy.find('/') != std::string::npos || target.find('/') != std::string::npos;
      why = journal + (elsewhere ? " names files outside the data folder: " : " names files that are not the program's: ") +
            copy + ", " + target;
      return Err::InvalidFile;
    }
    if (named[i]) return why = journal + " names " + target + " twice", Err::InvalidFile;
    named[i] = true;
    Planned p{dir + "/" + copy, dir + "/" + target};
    struct stat c {}, t {};
    if (::lstat(p.copy.c_str(), &c) != 0) {
      if (errno == ENOENT) continue;  // already in place
      return why = copy + ": " + std::strerror(errno), errnoToError(errno);
    }
    if (std::string bad = unfit(copy, c, true); !bad.empty()) return why = bad, Err::InvalidFile;
    if (::lstat(p.target.c_str(), &t) != 0)
      return why = target + ": " + std::strerror(errno), errno == ENOENT ? Err::InvalidFile : errnoToError(errno);
    if (std::string bad = unfit(target, t, false); !bad.empty()) return why = bad, Err::InvalidFile;
    out.push_back(std::move(p));
  }
  return Err::None;
}

// Past the point of no return: every copy still beside its file replaces it. A journal
// that is not the program's own is left as it is, and so is every file.
int rollForward(const std::string& journal, const std::vector<const FileDesc*>& files, std::string& why) {
  std::vector<Planned> swaps;
  if (int code = readJournal(journal, files, swaps, why)) return code;
  int e = 0;
  for (const auto& s : swaps) {
    // The old file's journal would be played back into the new one.
    ::unlink((s.target + "-journal").c_str());
    if (::rename(s.copy.c_str(), s.target.c_str()) != 0 && !e) e = errno;
  }
  if (!e) e = syncFolder(folderOf(journal));
  if (!e && ::unlink(journal.c_str()) != 0) e = errno;
  if (!e) e = syncFolder(folderOf(journal));
  if (e) why = baseName(journal) + ": " + std::strerror(e);
  return e ? errnoToError(e) : Err::None;
}

bool present(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
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
  // this change's copies; a journal that is not ours stays, and so does the key.
  if (int code = completeKeyChange(files, &detail)) return failed(code);
  // A walk of this process that holds a file over its turns lets go of it first, and
  // takes it again only under the new key.
  LockWaiter asking;
  waitForWriteTransactions();

  std::vector<Swap> swaps;
  swaps.reserve(files.size());
  for (const FileDesc* f : files) {
    std::string target = resolveName(f->diskName);
    if (!exists(target)) continue;
    // The journal names the files in its own folder only.
    if (folderOf(target) != folderOf(journal)) return detail = target + ": not in the folder of the others", failed(Err::InvalidFile);
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
  int code = e ? errnoToError(e) : Err::None;
  if (e) detail = std::strerror(e);
  if (!swaps.empty()) {
    int r = rollForward(journal, files, detail);
    if (!code) code = r;
  }
  step(8);
  if (code) {
    detail += " (finished at the next start)";
    return failed(code);
  }
  return Err::None;
}

int completeKeyChange(const std::vector<const FileDesc*>& files, std::string* why) {
  std::string journal = journalPath(files);
  if (present(journal)) {
    std::string detail;
    int code = rollForward(journal, files, detail);
    if (code && why) *why = detail;
    return code;
  }
  ::unlink((journal + ".tmp").c_str());
  for (const FileDesc* f : files) removeCopy(resolveName(f->diskName) + kCopy);
  return Err::None;
}

}  // namespace pf
