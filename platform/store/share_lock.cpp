#include "platform/store/share_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <utility>
#include <vector>

#include "platform/core/errors.h"
#include "platform/core/record.h"
#include "platform/runtime/runtime.h"
#include "platform/store/driver.h"

namespace pf {
namespace {

// Open-file-description locks on bytes far beyond any data and beyond SQLite's own lock
// bytes. Each opener holds a shared lock on the bytes that say what it does and what it
// refuses; a conflicting opener sees them with F_OFD_GETLK.
constexpr off_t kBase = off_t(1) << 44;
constexpr off_t kReading = kBase + 0, kWriting = kBase + 1, kDenyRead = kBase + 2, kDenyWrite = kBase + 3;

// Closing any descriptor of a file drops every POSIX lock this process holds on it,
// SQLite's included. So a lock descriptor is closed only when no connection of ours uses
// the file any more; until then it waits here for the next opener.
struct Inode {
  int users = 0;
  std::vector<int> spare;
};
std::map<std::pair<unsigned long long, unsigned long long>, Inode>& inodes() {
  static std::map<std::pair<unsigned long long, unsigned long long>, Inode> m;
  return m;
}

bool lockByte(int fd, off_t at, short type) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = at;
  fl.l_len = 1;
  return fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

// True when another open file description holds a lock on the byte.
bool heldByOther(int fd, off_t at) {
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = at;
  fl.l_len = 1;
  if (fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

void unlockAll(int fd) {
  struct flock fl {};
  fl.l_type = F_UNLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = kBase;
  fl.l_len = 4;
  fcntl(fd, F_OFD_SETLK, &fl);
}

}  // namespace

int ShareLock::acquire(const std::string& path, int mode, int waitMs) {
  release();
  int access = mode & 0x0F;
  int share = mode & 0xF0;
  bool reads = access != OpenMode::WriteOnly;
  bool writes = access == OpenMode::WriteOnly || access == OpenMode::ReadWrite;
  bool denyRead = share == OpenMode::DenyAll || share == OpenMode::DenyRead;
  bool denyWrite = share == OpenMode::DenyAll || share == OpenMode::DenyWrite;

  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errnoToError(errno);
  auto key = std::make_pair(static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino));
  Inode& node = inodes()[key];
  int fd;
  if (!node.spare.empty()) {
    fd = node.spare.back();
    node.spare.pop_back();
  } else {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      int e = errno;
      if (node.users == 0 && node.spare.empty()) inodes().erase(key);
      return errnoToError(e);
    }
  }
  node.users++;
  fd_ = fd;
  dev_ = key.first;
  ino_ = key.second;

  for (int waited = 0;; waited += 20) {
    bool ok = (!reads || lockByte(fd, kReading, F_RDLCK)) && (!writes || lockByte(fd, kWriting, F_RDLCK)) &&
              (!denyRead || lockByte(fd, kDenyRead, F_RDLCK)) && (!denyWrite || lockByte(fd, kDenyWrite, F_RDLCK));
    bool conflict = !ok || (reads && heldByOther(fd, kDenyRead)) || (writes && heldByOther(fd, kDenyWrite)) ||
                    (denyRead && heldByOther(fd, kReading)) || (denyWrite && heldByOther(fd, kWriting));
    if (!conflict) return Err::None;
    unlockAll(fd);
    if (waited >= waitMs || programEnded()) break;
    yieldFor(20);
  }
  release();
  return Err::AccessDenied;
}

void ShareLock::release() {
  if (fd_ < 0) return;
  unlockAll(fd_);
  auto key = std::make_pair(dev_, ino_);
  auto it = inodes().find(key);
  if (it == inodes().end()) {
    ::close(fd_);
  } else {
    Inode& node = it->second;
    node.users--;
    if (node.users <= 0) {
      ::close(fd_);
      for (int s : node.spare) ::close(s);
      inodes().erase(it);
    } else {
      node.spare.push_back(fd_);
    }
  }
  fd_ = -1;
}

}  // namespace pf
