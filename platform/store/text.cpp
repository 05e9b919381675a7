// The comma-delimited (BASIC) and line (ASCII) drivers: one record per line of a text
// file (a line longer than a line record takes several), read in file order; a record's
// position is its byte offset plus one.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <string_view>

#include "platform/core/field.h"
#include "platform/core/strings.h"
#include "platform/store/driver.h"

namespace pf {
namespace {

constexpr std::size_t kChunk = 8 * 1024;  // on a program thread's stack
constexpr const char* kReplacement = ".qbnew";

// The name as given, in the folder it resolves to: a new file never takes over an entry
// whose name differs in letter case.
std::string givenPathOf(const FileDesc& desc) {
  std::string p = resolveName(desc.diskName);
  auto slash = p.rfind('/');
  std::string name = desc.diskName;
  auto given = name.find_last_of("/\\");
  if (given != std::string::npos) name = name.substr(given + 1);
  return slash == std::string::npos ? name : p.substr(0, slash + 1) + name;
}

// A replacement that is not locked was left by a program that ended before it could put
// it in place. A link there is removed itself, never what it points to.
bool removeIfLeft(const std::string& tmp) {
  struct stat ls {};
  if (::lstat(tmp.c_str(), &ls) != 0) return errno == ENOENT;
  if (S_ISLNK(ls.st_mode)) return ::unlink(tmp.c_str()) == 0;
  int old = ::open(tmp.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (old < 0) return false;
  struct stat st {};
  bool left = ::fstat(old, &st) == 0 && S_ISREG(st.st_mode) && ::flock(old, LOCK_EX | LOCK_NB) == 0;
  if (left) ::unlink(tmp.c_str());
  ::close(old);
  return left;
}

class TextDriver : public FileDriver {
 public:
  TextDriver(const FileDesc& desc, void* buffer, bool csv) : FileDriver(desc, buffer), csv_(csv) {}
  ~TextDriver() override { closeFd(); }

  int open(int mode) override {
    closeFd();
    detail_.clear();
    std::string p = path();
    int access = mode & 0x0F;
    bool write = csv_ && (access == OpenMode::ReadWrite || access == OpenMode::WriteOnly);
    if (write && replacing_) return openReplacement(mode);
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) {
      int e = errno;
      if (e == ENOENT) {
        auto slash = p.rfind('/');
        std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : p.substr(0, slash));
        struct stat ds {};
        return fail(::stat(dir.c_str(), &ds) == 0 ? Err::NoFile : Err::PathNotFound, p);
      }
      return fail(errnoToError(e), p);
    }
    if (S_ISDIR(st.st_mode)) return fail(Err::AccessDenied, p);
    fd_ = ::open(p.c_str(), (write ? O_RDWR | O_APPEND : O_RDONLY) | O_CLOEXEC);
    if (fd_ < 0) return fail(errnoToError(errno), p);
    mode_ = mode;
    readOnly_ = !write;
    current_ = 0;
    return Err::None;
  }

  int create() override {
    closeFd();
    std::string p = path();
    if (::unlink(p.c_str()) != 0 && errno != ENOENT) return fail(errnoToError(errno), p);
    if (int e = createPrivateFile(p)) return fail(e == ENOENT ? Err::PathNotFound : errnoToError(e), p);
    return Err::None;
  }

  int replaceOnClose() override {
    if (!csv_) return fail(Err::AccessDenied, "a line file is only read");
    closeFd();
    replacing_ = true;
    return Err::None;
  }

  int close() override {
    if (fd_ < 0) return fail(Err::NotOpen);
    if (!staged_.empty()) return closeReplacement();
    closeFd();
    return Err::None;
  }
  bool isOpen() const override { return fd_ >= 0; }

  std::unique_ptr<Cursor> cursor(const CursorSpec& spec) override;

  int get(const KeyDesc&) override { return fail(Err::RecordNotAvailable, "this file has no keys"); }
  int get(const Position& pos) override {
    if (fd_ < 0) return fail(Err::NotOpen);
    if (pos.row <= 0) return fail(Err::RecordNotAvailable);
    off_t next;
    return readRecord(static_cast<off_t>(pos.row - 1), next);
  }
  Position current() const override { return Position{current_, {}}; }
  void setCurrent(const Position& pos) override { current_ = pos.row; }

  int add() override {
    if (fd_ < 0) return fail(Err::NotOpen);
    if (readOnly_ || !csv_) return fail(Err::AccessDenied, "opened without write access");
    std::string line = formatRecord();
    struct stat st {};
    ::fstat(fd_, &st);
    const char* p = line.data();
    std::size_t left = line.size();
    while (left > 0) {
      ssize_t n = ::write(fd_, p, left);
      if (n < 0) {
        if (errno == EINTR) continue;
        int e = errno;
        if (!staged_.empty()) writeFailed_ = errnoToError(e);
        return fail(errnoToError(e), std::strerror(e));
      }
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    current_ = st.st_size + 1;
    return Err::None;
  }
  int put() override { return fail(Err::AccessDenied, "records of a text file cannot be changed"); }
  int remove() override { return fail(Err::AccessDenied, "records of a text file cannot be deleted"); }

  std::int64_t records() override {
    if (fd_ < 0) return fail(Err::NotOpen), -1;
    std::int64_t n = 0;
    off_t at = 0;
    std::string rec;
    for (;;) {
      off_t next;
      int r = readRaw(at, rec, next);
      if (r == Err::RecordNotAvailable) return n;
      if (r != Err::None) return -1;
      ++n;
      at = next;
    }
  }

  std::string line() const override { return line_; }

  // The record (without its line end) that starts at `at`, and where the next one starts.
  int readRaw(off_t at, std::string& rec, off_t& next) {
    if (!csv_) return readPiece(at, rec, next);
    rec.clear();
    bool quoted = false;
    char buf[kChunk];
    off_t pos = at;
    for (;;) {
      ssize_t n = ::pread(fd_, buf, sizeof buf, pos);
      if (n < 0) {
        if (errno == EINTR) continue;
        return fail(errnoToError(errno), "read failed");
      }
      if (n == 0) {
        if (pos == at) return fail(Err::RecordNotAvailable);
        next = pos;
        break;
      }
      ssize_t i = 0;
      bool done = false;
      for (; i < n; ++i) {
        char c = buf[i];
        if (csv_ && c == '"') quoted = !quoted;
        if (c == '\n' && !quoted) {
          done = true;
          break;
        }
      }
      rec.append(buf, static_cast<std::size_t>(i));
      if (done) {
        next = pos + i + 1;
        break;
      }
      pos += n;
    }
    if (!rec.empty() && rec.back() == '\r') rec.pop_back();
    return Err::None;
  }

  // A line record holds at most the record's size: a longer line goes on in the next
  // records, each cut after a blank in its second half where it has one and never inside a
  // character. So no read holds more than a record, however long the line.
  int readPiece(off_t at, std::string& rec, off_t& next) {
    const std::size_t room = desc_.recordSize ? desc_.recordSize : desc_.bufferSize;
    std::string buf(room + 2, '\0');   // a record and its line end
    std::size_t got = 0;
    while (got < buf.size()) {
      ssize_t n = ::pread(fd_, buf.data() + got, buf.size() - got, at + static_cast<off_t>(got));
      if (n < 0) {
        if (errno == EINTR) continue;
        return fail(errnoToError(errno), "read failed");
      }
      if (n == 0) break;
      got += static_cast<std::size_t>(n);
    }
    if (got == 0) return fail(Err::RecordNotAvailable);
    std::string_view b(buf.data(), got);
    std::size_t end = b.find('\n');
    bool ends = end != std::string_view::npos || got < buf.size();   // the line ends in view
    std::size_t text = end == std::string_view::npos ? got : end;
    if (ends && text > 0 && b[text - 1] == '\r') --text;
    if (ends && text <= room) {
      rec.assign(b.substr(0, text));
      next = at + static_cast<off_t>(end == std::string_view::npos ? got : end + 1);
      return Err::None;
    }
    std::size_t cut = utf8Fit(b, room);
    std::size_t blank = b.substr(0, cut).find_last_of(" \t");
    if (blank != std::string_view::npos && blank + 1 > room / 2) cut = blank + 1;
    if (cut == 0) cut = room;   // not text: cut anywhere rather than stop
    rec.assign(b.substr(0, cut));
    next = at + static_cast<off_t>(cut);
    return Err::None;
  }

  // The start of the record before the one that starts at `at` (at 0: none).
  int findPrevious(off_t at, off_t& start) {
    int r = findLineStart(at, start);
    if (r != Err::None || csv_) return r;
    // The line's records from its start: the last one before `at`.
    for (off_t s = start;;) {
      std::string rec;
      off_t next;
      if ((r = readPiece(s, rec, next)) != Err::None) return r;
      if (next >= at) {
        start = s;
        return Err::None;
      }
      s = next;
    }
  }

  // The start of the line that holds the byte before `at`, its line end not counted.
  int findLineStart(off_t at, off_t& start) {
    if (at <= 0) return fail(Err::RecordNotAvailable);
    off_t p = at - 1;
    char c;
    if (::pread(fd_, &c, 1, p) == 1 && c == '\n') --p;
    char buf[kChunk];
    while (p >= 0) {
      off_t from = p + 1 > static_cast<off_t>(kChunk) ? p + 1 - static_cast<off_t>(kChunk) : 0;
      ssize_t n = ::pread(fd_, buf, static_cast<std::size_t>(p + 1 - from), from);
      if (n < 0) return fail(errnoToError(errno), "read failed");
      for (ssize_t i = n - 1; i >= 0; --i)
        if (buf[i] == '\n') {
          start = from + i + 1;
          return Err::None;
        }
      p = from - 1;
    }
    start = 0;
    return Err::None;
  }

  off_t size() const {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 ? st.st_size : 0;
  }

  int readRecord(off_t at, off_t& next) {
    std::string rec;
    int r = readRaw(at, rec, next);
    if (r != Err::None) return r;
    line_ = rec;
    if (csv_) parseCsv(rec);
    else fillLine(rec);
    current_ = at + 1;
    return Err::None;
  }

 private:
  void closeFd() {
    sequence.reset();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    current_ = 0;
    if (!staged_.empty()) ::unlink(staged_.c_str());
    staged_.clear();
    writeFailed_ = 0;
  }

  // The new file is written beside the old one and locked while it is.
  int openReplacement(int mode) {
    std::string target = givenPathOf(desc_);
    std::string tmp = target + kReplacement;
    int e = createPrivateFile(tmp);
    if (e == EEXIST) {
      if (!removeIfLeft(tmp)) return fail(Err::AccessDenied, "another export is writing the file");
      e = createPrivateFile(tmp);
    }
    if (e) return fail(e == ENOENT ? Err::PathNotFound : errnoToError(e), tmp);
    fd_ = ::open(tmp.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (fd_ < 0 || ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      int err = errno;
      if (fd_ >= 0) ::close(fd_);
      fd_ = -1;
      ::unlink(tmp.c_str());
      return fail(errnoToError(err), tmp);
    }
    staged_ = tmp;
    target_ = target;
    replacing_ = false;
    mode_ = mode;
    readOnly_ = false;
    current_ = 0;
    return Err::None;
  }

  // Puts the new file in place, whole; after a failed write the old file stays.
  int closeReplacement() {
    int code = writeFailed_;
    std::string why = code ? "a line could not be written" : std::string();
    if (!code && ::fsync(fd_) != 0) code = errnoToError(errno), why = std::strerror(errno);
    if (!code && ::rename(staged_.c_str(), target_.c_str()) != 0) code = errnoToError(errno), why = std::strerror(errno);
    if (!code) staged_.clear();
    closeFd();
    return code ? fail(code, why) : Err::None;
  }

  // The whole line fills the record: blank padded, never cut inside a character.
  void fillLine(const std::string& rec) {
    std::size_t size = desc_.recordSize ? desc_.recordSize : desc_.bufferSize;
    std::size_t n = utf8Fit(rec, size);
    std::memcpy(buffer_, rec.data(), n);
    std::memset(buffer_ + n, ' ', size - n);
  }

  void setField(const FieldDesc& f, const std::string& v) {
    char* p = buffer_ + f.offset;
    switch (f.type) {
      case FieldType::String: {
        std::size_t n = utf8Fit(v, f.size);
        std::memcpy(p, v.data(), n);
        std::memset(p + n, ' ', f.size - n);
        break;
      }
      case FieldType::CString:
      case FieldType::Memo: {
        std::size_t room = f.type == FieldType::CString ? (f.size ? f.size - 1 : 0) : f.size;
        std::size_t n = utf8Fit(v, room);
        std::memcpy(p, v.data(), n);
        std::memset(p + n, 0, f.size - n);
        break;
      }
      default: {
        std::string t = trim(v);
        long long x = 0;
        std::from_chars(t.data(), t.data() + t.size(), x);
        if (f.type == FieldType::Byte) p[0] = static_cast<char>(static_cast<unsigned char>(x));
        else if (f.type == FieldType::Long) reinterpret_cast<Long*>(p)->set(static_cast<std::int32_t>(x));
        else if (f.type == FieldType::Date) reinterpret_cast<Date*>(p)->set(static_cast<std::int32_t>(x));
        else reinterpret_cast<Time*>(p)->set(static_cast<std::int32_t>(x));
      }
    }
  }

  void parseCsv(const std::string& rec) {
    std::vector<std::string> values;
    std::string cur;
    bool quoted = false, wasQuoted = false;
    for (std::size_t i = 0; i < rec.size(); ++i) {
      char c = rec[i];
      if (quoted) {
        if (c == '"') {
          if (i + 1 < rec.size() && rec[i + 1] == '"') {
            cur += '"';
            ++i;
          } else {
            quoted = false;
          }
        } else {
          cur += c;
        }
      } else if (c == '"') {
        quoted = wasQuoted = true;
      } else if (c == ',') {
        values.push_back(wasQuoted ? cur : trim(cur));
        cur.clear();
        wasQuoted = false;
      } else {
        cur += c;
      }
    }
    values.push_back(wasQuoted ? cur : trim(cur));
    for (std::size_t i = 0; i < desc_.fields.size(); ++i)
      setField(desc_.fields[i], i < values.size() ? values[i] : std::string());
  }

  std::string formatRecord() const {
    std::string line;
    for (std::size_t i = 0; i < desc_.fields.size(); ++i) {
      const FieldDesc& f = desc_.fields[i];
      const char* p = buffer_ + f.offset;
      std::string v;
      switch (f.type) {
        case FieldType::String: v = clip(std::string_view(p, f.size)); break;
        case FieldType::CString:
        case FieldType::Memo: v.assign(p, strnlen(p, f.size)); break;
        case FieldType::Byte: v = std::to_string(static_cast<unsigned char>(p[0])); break;
        case FieldType::Long: v = std::to_string(reinterpret_cast<const Long*>(p)->get()); break;
        case FieldType::Date: v = std::to_string(reinterpret_cast<const Date*>(p)->get()); break;
        case FieldType::Time: v = std::to_string(reinterpret_cast<const Time*>(p)->get()); break;
      }
      if (i) line += ',';
      line += '"';
      for (char c : v) {
        if (c == '"') line += '"';
        line += c;
      }
      line += '"';
    }
    return line + "\r\n";
  }

  bool csv_;
  bool replacing_ = false;  // the next open for writing starts a new file
  std::string staged_;      // the new file while it is written
  std::string target_;
  int writeFailed_ = 0;
  int fd_ = -1;
  std::int64_t current_ = 0;
  std::string line_;
};

struct TextState {
  enum Kind { Start, Bound, After } kind = Start;
  off_t at = 0;     // Bound: the record's start; After: the last record's start
  off_t next = 0;   // After: where the record after it starts
  Position last;
};

class TextCursor final : public Cursor {
 public:
  TextCursor(TextDriver& d, bool reverse) : d_(d), reverse_(reverse) {}
  void setStart() override { state_ = keepLast(TextState{}); }
  void setFromBuffer() override { setStart(); }
  void setAt(const Position& pos) override {
    TextState s;
    if (pos.row > 0) {
      s.kind = TextState::Bound;
      s.at = static_cast<off_t>(pos.row - 1);
    }
    state_ = keepLast(s);
  }
  int next() override { return reverse_ ? backward() : forward(); }
  int previous() override { return reverse_ ? forward() : backward(); }
  Position position() const override { return state_.last; }
  std::shared_ptr<void> save() const override { return std::make_shared<TextState>(state_); }
  void restore(const std::shared_ptr<void>& s) override {
    if (s) state_ = *static_cast<const TextState*>(s.get());
  }

 private:
  TextState keepLast(TextState s) const {
    s.last = state_.last;
    return s;
  }
  int readAt(off_t at) {
    off_t next;
    int r = d_.readRecord(at, next);
    if (r != Err::None) return r;
    state_.kind = TextState::After;
    state_.at = at;
    state_.next = next;
    state_.last = Position{at + 1, {}};
    return Err::None;
  }
  int forward() {
    if (!d_.isOpen()) return Err::NotOpen;
    off_t at = state_.kind == TextState::Start ? 0 : state_.kind == TextState::Bound ? state_.at : state_.next;
    return readAt(at);
  }
  int backward() {
    if (!d_.isOpen()) return Err::NotOpen;
    off_t start;
    if (state_.kind == TextState::Bound) return readAt(state_.at);
    off_t from = state_.kind == TextState::Start ? d_.size() : state_.at;
    int r = d_.findPrevious(from, start);
    if (r != Err::None) return r;
    return readAt(start);
  }

  TextDriver& d_;
  bool reverse_;
  TextState state_;
};

std::unique_ptr<Cursor> TextDriver::cursor(const CursorSpec& spec) {
  if (spec.key) return nullptr;
  return std::make_unique<TextCursor>(*this, spec.reverse);
}

}  // namespace

void removeLeftReplacement(const FileDesc& desc) { removeIfLeft(givenPathOf(desc) + kReplacement); }

std::unique_ptr<FileDriver> makeBasicDriver(const FileDesc& desc, void* buffer) {
  return std::make_unique<TextDriver>(desc, buffer, true);
}

std::unique_ptr<FileDriver> makeAsciiDriver(const FileDesc& desc, void* buffer) {
  return std::make_unique<TextDriver>(desc, buffer, false);
}

}  // namespace pf
