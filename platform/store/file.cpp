#include "platform/store/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/core/strings.h"
#include "platform/store/driver.h"

namespace pf {

int errnoToError(int e) {
  switch (e) {
    case 0: return Err::None;
    case ENOENT: return Err::NoFile;
    case ENOTDIR:
    case ENAMETOOLONG: return Err::PathNotFound;
    case EMFILE:
    case ENFILE: return Err::TooManyFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EBUSY:
    case ETXTBSY:
    case EEXIST: return Err::AccessDenied;
    default: return Err::FileSystemError;
  }
}

int createPrivateFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return errno;
  // The umask may have taken the owner's bits too. A file system without modes (a FAT
  // stick) refuses the change; the file is made all the same.
  (void)::fchmod(fd, 0600);
  ::close(fd);
  return 0;
}

namespace {

int status(const std::string& file, int code, const std::string& detail = {}) {
  if (code == Err::None) clearError();
  else setError(code, file, detail);
  return code;
}

std::string parentOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool isDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// errno of a path that does not exist: ENOENT for a missing file in an existing folder,
// ENOTDIR (Path Not Found) when the folder itself is missing.
int missingError(const std::string& path) { return isDirectory(parentOf(path)) ? ENOENT : ENOTDIR; }

}  // namespace

// ---------------------------------------------------------------- Position

std::string Position::encode() const {
  if (row == 0) return {};
  return key.empty() ? std::to_string(row) : std::to_string(row) + ":" + key;
}

Position Position::decode(const std::string& s) {
  Position p;
  std::string t = trim(s);
  std::size_t i = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
  if (i == 0 || i > 18) return p;
  p.row = std::stoll(t.substr(0, i));
  if (i < t.size() && t[i] == ':') p.key = t.substr(i + 1);
  return p;
}

// ---------------------------------------------------------------- File

struct File::State {
  std::vector<char> buffer;
  bool hasSequence = false;
  const KeyDesc* key = nullptr;
  std::shared_ptr<void> cursor;
  Position current;
};

File::File(const FileDesc& desc, void* buffer) : desc_(desc), buffer_(buffer) {
  switch (desc.driver) {
    case Driver::Indexed: driver_ = makeIndexedDriver(desc, buffer); break;
    case Driver::Basic: driver_ = makeBasicDriver(desc, buffer); break;
    case Driver::Ascii: driver_ = makeAsciiDriver(desc, buffer); break;
  }
}

File::~File() = default;

std::string File::path() const { return driver_->path(); }

int File::open(int mode) {
  int r = driver_->open(mode);
  return status(name(), r, driver_->detail());
}

int File::create() {
  int r = driver_->create();
  return status(name(), r, driver_->detail());
}

int File::close() {
  int r = driver_->close();
  return status(name(), r, driver_->detail());
}

bool File::isOpen() const { return driver_->isOpen(); }
bool File::readOnly() const { return driver_->readOnly(); }
int File::openMode() const { return driver_->openMode(); }

int File::send(const std::string& option) { return status(name(), driver_->send(option)); }
int File::replaceOnClose() { return status(name(), driver_->replaceOnClose(), driver_->detail()); }

namespace {

void startSequence(FileDriver& d, const KeyDesc* key) {
  d.sequence = d.cursor(CursorSpec{key, false, nullptr});
  d.sequenceKey = key;
  if (!d.sequence && key) {
    d.sequence = d.cursor(CursorSpec{});
    d.sequenceKey = nullptr;
  }
}

std::function<bool(File&)>& damagedKeyHandler() {
  static std::function<bool(File&)> handler;
  return handler;
}

}  // namespace

void File::set() {
  readSinceSet_ = false;
  startSequence(*driver_, nullptr);
  if (driver_->sequence) driver_->sequence->setStart();
}

void File::set(const KeyDesc& key) {
  readSinceSet_ = false;
  startSequence(*driver_, &key);
  if (driver_->sequence) driver_->sequence->setStart();
}

void File::setFromBuffer(const KeyDesc& key) {
  readSinceSet_ = false;
  startSequence(*driver_, &key);
  if (driver_->sequence) driver_->sequence->setFromBuffer();
}

void File::setAt(const Position& pos) {
  readSinceSet_ = false;
  if (!driver_->sequence) startSequence(*driver_, nullptr);
  if (driver_->sequence) driver_->sequence->setAt(pos);
}

void setDamagedKeyHandler(std::function<bool(File&)> handler) { damagedKeyHandler() = std::move(handler); }

bool handleDamagedKey(File& file) { return damagedKeyHandler() && damagedKeyHandler()(file); }

int File::step(bool prev) {
  if (!isOpen()) return status(name(), Err::NotOpen);
  if (!driver_->sequence) set();
  if (!driver_->sequence) return status(name(), Err::RecordNotAvailable);
  Cursor& seq = *driver_->sequence;
  int r = readRebuildingKeys(*this, !readSinceSet_, [&] { return prev ? seq.previous() : seq.next(); });
  if (r == Err::None) readSinceSet_ = true;
  return status(name(), r, driver_->detail());
}

int File::next() { return step(false); }
int File::previous() { return step(true); }

int File::get(const KeyDesc& key) { return status(name(), driver_->get(key), driver_->detail()); }
int File::get(const Position& pos) { return status(name(), driver_->get(pos), driver_->detail()); }

Position File::position() const {
  Position cur = driver_->current();
  if (driver_->sequence) {
    Position p = driver_->sequence->position();
    if (p.row == cur.row) return p;
  }
  return cur;
}

std::string File::line() const { return driver_->line(); }

int File::add() { return status(name(), driver_->add(), driver_->detail()); }
int File::put() { return status(name(), driver_->put(), driver_->detail()); }
int File::remove() { return status(name(), driver_->remove(), driver_->detail()); }

int File::putIfUnchanged(const std::vector<unsigned char>& asRead, std::vector<unsigned char>& onFile) {
  onFile.clear();
  const std::size_t size = desc_.bufferSize;
  if (asRead.size() != size) return status(name(), Err::BadRecord, "the record as read is not a record of this file");
  const bool framed = !inTransaction();
  // Without a frame another writer could come between the comparison and the write.
  if (framed && logout() != Err::None) return errorcode();
  auto* buffer = static_cast<unsigned char*>(buffer_);
  std::vector<unsigned char> mine(buffer, buffer + size);
  auto giveUp = [&](int code, const std::string& detail) {
    std::memcpy(buffer, mine.data(), size);
    if (framed) driver_->rollback();
    return status(name(), code, detail);
  };
  if (int r = driver_->get(driver_->current())) return giveUp(r, driver_->detail());
  if (!sameRecord(desc_, buffer, asRead.data())) {
    onFile.assign(buffer, buffer + size);
    return giveUp(Err::FileChanged, "another writer changed the record after it was read");
  }
  std::memcpy(buffer, mine.data(), size);
  if (int r = driver_->put()) return giveUp(r, driver_->detail());
  if (framed && driver_->commit() != Err::None) return giveUp(driver_->lastError(), driver_->detail());
  return status(name(), Err::None);
}

std::int64_t File::records() {
  std::int64_t n = driver_->records();
  int code = driver_->lastError() ? driver_->lastError() : Err::FileSystemError;
  status(name(), n < 0 ? code : Err::None, driver_->detail());
  return n;
}

int File::build() {
  int r = driver_->build();
  if (r == Err::None) ++keysBuilt_;
  return status(name(), r, driver_->detail());
}
int File::logout() { return status(name(), driver_->logout(), driver_->detail()); }
int File::commit() { return status(name(), driver_->commit(), driver_->detail()); }
int File::rollback() { return status(name(), driver_->rollback(), driver_->detail()); }
bool File::inTransaction() const { return driver_->inTransaction(); }

std::shared_ptr<File::State> File::saveState() const {
  auto s = std::make_shared<State>();
  auto* b = static_cast<const char*>(buffer_);
  s->buffer.assign(b, b + desc_.bufferSize);
  s->hasSequence = driver_->sequence != nullptr;
  s->key = driver_->sequenceKey;
  if (driver_->sequence) s->cursor = driver_->sequence->save();
  s->current = driver_->current();
  return s;
}

void File::restoreState(const State& s) {
  readSinceSet_ = s.hasSequence;
  std::memcpy(buffer_, s.buffer.data(), std::min<std::size_t>(s.buffer.size(), desc_.bufferSize));
  if (s.hasSequence) {
    startSequence(*driver_, s.key);
    if (driver_->sequence) driver_->sequence->restore(s.cursor);
  } else {
    driver_->sequence.reset();
    driver_->sequenceKey = nullptr;
  }
  driver_->setCurrent(s.current);
}

// ---------------------------------------------------------------- names

std::string resolveName(const std::string& name) {
  std::string n = name;
  for (char& c : n)
    if (c == '\\') c = '/';
  if (n.empty()) return n;
  bool absolute = n[0] == '/';
  std::vector<std::string> parts;
  for (std::size_t from = 0; from <= n.size();) {
    auto slash = n.find('/', from);
    std::string part = n.substr(from, slash == std::string::npos ? std::string::npos : slash - from);
    if (!part.empty()) parts.push_back(part);
    if (slash == std::string::npos) break;
    from = slash + 1;
  }
  std::string out = absolute ? "/" : "";
  bool scanning = true;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    std::string part = parts[i];
    if (scanning && part != "." && part != "..") {
      std::string candidate = out + part;
      struct stat st {};
      if (::lstat(candidate.c_str(), &st) != 0) {
        std::string dir = out.empty() ? "." : out;
        bool found = false;
        if (DIR* d = ::opendir(dir.c_str())) {
          std::string want = upper(part);
          while (dirent* e = ::readdir(d)) {
            if (upper(e->d_name) == want) {
              part = e->d_name;
              found = true;
              break;
            }
          }
          ::closedir(d);
        }
        if (!found) scanning = false;
      }
    }
    out += part;
    if (i + 1 < parts.size()) out += "/";
  }
  if (n.size() > 1 && n.back() == '/' && !out.empty() && out.back() != '/') out += "/";
  return out;
}

// ---------------------------------------------------------------- file operations

bool fileExists(const std::string& name) {
  std::string p = resolveName(name);
  struct stat st {};
  bool ok = !p.empty() && ::stat(p.c_str(), &st) == 0;
  status(name, ok ? Err::None : Err::NoFile);
  return ok;
}

int removeFile(const std::string& name) {
  std::string p = resolveName(name);
  struct stat st {};
  if (::lstat(p.c_str(), &st) != 0) return status(name, errnoToError(missingError(p)));
  if (S_ISDIR(st.st_mode)) return status(name, Err::AccessDenied);
  if (::unlink(p.c_str()) != 0) return status(name, errnoToError(errno), std::strerror(errno));
  // A rollback journal left beside a removed data file would be played into a new file
  // of the same name.
  ::unlink((p + "-journal").c_str());
  return status(name, Err::None);
}

namespace {

int copyTo(const std::string& from, const std::string& to, std::string dst) {
  std::string src = resolveName(from);
  struct stat st {};
  if (::stat(src.c_str(), &st) != 0) return status(from, errnoToError(missingError(src)));
  if (S_ISDIR(st.st_mode)) return status(from, Err::AccessDenied);
  if (isDirectory(dst)) {
    auto slash = src.rfind('/');
    dst += "/" + (slash == std::string::npos ? src : src.substr(slash + 1));
  }
  if (!isDirectory(parentOf(dst))) return status(to, Err::PathNotFound);
  int in = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return status(from, errnoToError(errno), std::strerror(errno));
  // Written beside the target and renamed over it, so a failed copy never leaves half a
  // file in place of a good one.
  std::string tmp = dst + ".qbcopy";
  int out = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 0777);
  if (out < 0) {
    int e = errno;
    ::close(in);
    return status(to, errnoToError(e), std::strerror(e));
  }
  std::vector<char> buf(64 * 1024);
  int err = 0;
  for (;;) {
    ssize_t n = ::read(in, buf.data(), buf.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      break;
    }
    if (n == 0) break;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = ::write(out, buf.data() + done, static_cast<std::size_t>(n - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        err = errno;
        break;
      }
      done += w;
    }
    if (err) break;
  }
  ::close(in);
  if (!err && ::fsync(out) != 0) err = errno;
  if (::close(out) != 0 && !err) err = errno;
  if (!err && ::rename(tmp.c_str(), dst.c_str()) != 0) err = errno;
  if (err) {
    ::unlink(tmp.c_str());
    return status(to, errnoToError(err), std::strerror(err));
  }
  return status(to, Err::None);
}

}  // namespace

int copyFile(const std::string& from, const std::string& to) { return copyTo(from, to, resolveName(to)); }

int copyFileExactly(const std::string& from, const std::string& to) { return copyTo(from, to, to); }

int makeDirectory(const std::string& name) {
  std::string p = resolveName(name);
  // The owner's alone: it is made to hold copies of the data files.
  if (::mkdir(p.c_str(), 0700) != 0) {
    int e = errno;
    return status(name, e == ENOENT ? Err::PathNotFound : errnoToError(e), std::strerror(e));
  }
  return status(name, Err::None);
}

std::string currentDirectory() {
  std::vector<char> buf(PATH_MAX);
  if (!::getcwd(buf.data(), buf.size())) {
    status(".", errnoToError(errno));
    return {};
  }
  status(".", Err::None);
  return buf.data();
}

int setCurrentDirectory(const std::string& name) {
  std::string p = resolveName(name);
  if (::chdir(p.c_str()) != 0) {
    int e = errno;
    return status(name, e == ENOENT ? Err::PathNotFound : errnoToError(e), std::strerror(e));
  }
  return status(name, Err::None);
}

}  // namespace pf
