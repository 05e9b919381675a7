#include "platform/store/backup_set.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/core/errors.h"
#include "platform/core/strings.h"
#include "platform/store/connection.h"
#include "platform/store/driver.h"
#include "platform/store/file.h"

namespace pf {
namespace {

int status(const std::string& file, int code, const std::string& detail = {}) {
  if (code == Err::None) clearError();
  else setError(code, file, detail);
  return code;
}

int failErrno(const std::string& file, int e) { return status(file, errnoToError(e), std::strerror(e)); }

enum class Kind { Missing, Folder, Other };

Kind kindOf(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return Kind::Missing;
  return S_ISDIR(st.st_mode) ? Kind::Folder : Kind::Other;
}

std::vector<std::string> entries(const std::string& dir) {
  std::vector<std::string> out;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") out.push_back(n);
    }
    ::closedir(d);
  }
  return out;
}

void syncFolder(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

std::string parentOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Both names at once, where the file system can; false with errno when it cannot.
bool swapNames(const std::string& a, const std::string& b) {
  return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
}

}  // namespace

BackupSet::BackupSet(std::vector<const FileDesc*> members) : members_(std::move(members)) {}

BackupSet::~BackupSet() {
  if (open_) drop();
}

std::string BackupSet::stagingName(const std::string& folder) { return folder + ".qbcopy"; }
std::string BackupSet::retiredName(const std::string& folder) { return folder + ".qbold"; }

bool BackupSet::isMember(const std::string& entry) const {
  std::string e = upper(entry);
  for (const FileDesc* m : members_) {
    std::string n = upper(m->diskName);
    for (const char* suffix : {"", "-JOURNAL", "-WAL", "-SHM", ".QBCOPY"})
      if (e == n + suffix) return true;
  }
  return false;
}

namespace {

// Empties a folder that stands beside `home`: the members' files go, everything else
// moves into `home` unless `home` already has an entry of that name. True when the
// folder itself could then be removed.
template <class IsMember>
bool tidy(const std::string& dir, const std::string& home, IsMember isMember) {
  for (const std::string& e : entries(dir)) {
    std::string path = dir + "/" + e;
    if (isMember(e) && kindOf(path) == Kind::Other) {
      ::unlink(path.c_str());
      continue;
    }
    if (kindOf(home) == Kind::Missing) ::mkdir(home.c_str(), 0700);
    if (kindOf(home + "/" + e) == Kind::Missing) ::rename(path.c_str(), (home + "/" + e).c_str());
  }
  return ::rmdir(dir.c_str()) == 0 || errno == ENOENT;
}

}  // namespace

int BackupSet::begin(const std::string& folder) {
  if (open_) drop();
  added_.clear();
  std::string f = resolveName(folder);
  while (f.size() > 1 && f.back() == '/') f.pop_back();
  struct stat st {};
  if (::lstat(f.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    // A link to a folder: the set goes where it leads, so the link stays as it is.
    char real[PATH_MAX];
    if (::stat(f.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || !::realpath(f.c_str(), real))
      return status(folder, Err::AccessDenied, "not a folder");
    f = real;
  }
  Kind k = kindOf(f);
  if (k == Kind::Other) return status(folder, Err::AccessDenied, "not a folder");
  if (::stat(parentOf(f).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return status(folder, Err::PathNotFound);
  folder_ = f;
  staging_ = stagingName(f);
  retired_ = retiredName(f);

  // A crash may have left either temporary folder; anything of those names that this
  // program did not make is left alone.
  auto member = [this](const std::string& e) { return isMember(e); };
  for (const std::string& t : {retired_, staging_})
    if (kindOf(t) == Kind::Other) return status(t, Err::AccessDenied, "in the way of the backup");
  if (kindOf(retired_) == Kind::Folder) {
    // Only a commit makes it, once the staged set is complete: that set goes in place.
    if (kindOf(folder_) == Kind::Missing) {
      const std::string& whole = kindOf(staging_) == Kind::Folder ? staging_ : retired_;
      if (::rename(whole.c_str(), folder_.c_str()) != 0) return failErrno(folder, errno);
    }
    if (kindOf(retired_) == Kind::Folder && !tidy(retired_, folder_, member)) return failErrno(retired_, errno);
  }
  if (kindOf(staging_) == Kind::Folder && !tidy(staging_, folder_, member)) return failErrno(staging_, errno);

  if (::mkdir(staging_.c_str(), 0700) != 0) return failErrno(staging_, errno);
  // The set's folder keeps the mode the user gave the old one.
  if (::stat(folder_.c_str(), &st) == 0) ::chmod(staging_.c_str(), st.st_mode & 07777);
  open_ = true;
  return status(folder, Err::None);
}

int BackupSet::add(const FileDesc& member) {
  if (!open_) return status(member.diskName, Err::NotOpen);
  std::string detail;
  std::string to = staging_ + "/" + member.diskName;
  int rc = onlineCopy(member, resolveName(member.diskName), to, detail);
  if (rc != Err::None) return status(member.diskName, rc, detail);
  added_.push_back(upper(member.diskName));
  return status(member.diskName, Err::None);
}

int BackupSet::commit() {
  if (!open_) return status(folder_, Err::NotOpen);
  const bool replacing = kindOf(folder_) == Kind::Folder;
  if (replacing) {
    std::vector<std::string> old = entries(folder_);
    for (const FileDesc* m : members_) {
      if (std::find(added_.begin(), added_.end(), upper(m->diskName)) != added_.end()) continue;
      for (const std::string& e : old) {
        if (upper(e) != upper(m->diskName) || kindOf(folder_ + "/" + e) != Kind::Other) continue;
        std::string from = folder_ + "/" + e, to = staging_ + "/" + e;
        if (::link(from.c_str(), to.c_str()) != 0 && copyFile(from, to) != Err::None) {
          int code = errorcode();
          drop();
          return status(from, code);
        }
      }
    }
    for (const std::string& e : old) {
      if (isMember(e) && kindOf(folder_ + "/" + e) == Kind::Other) continue;
      if (::rename((folder_ + "/" + e).c_str(), (staging_ + "/" + e).c_str()) != 0) {
        int err = errno;
        drop();
        return failErrno(folder_ + "/" + e, err);
      }
    }
  }
  syncFolder(staging_);
  auto member = [this](const std::string& e) { return isMember(e); };
  if (!replacing) {
    if (::rename(staging_.c_str(), folder_.c_str()) != 0) {
      int err = errno;
      drop();
      return failErrno(folder_, err);
    }
  } else if (swapNames(staging_, folder_)) {
    // The old set now has the staging name; a crash from here on only leaves it to tidy.
    tidy(staging_, folder_, member);
  } else if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
    // Two renames where one cannot do: the retired name tells a later start that the
    // staged set was complete.
    if (::rename(folder_.c_str(), retired_.c_str()) != 0) {
      int err = errno;
      drop();
      return failErrno(folder_, err);
    }
    if (::rename(staging_.c_str(), folder_.c_str()) != 0) {
      int err = errno;
      ::rename(retired_.c_str(), folder_.c_str());
      drop();
      return failErrno(folder_, err);
    }
    tidy(retired_, folder_, member);
  } else {
    int err = errno;
    drop();
    return failErrno(folder_, err);
  }
  syncFolder(parentOf(folder_));
  open_ = false;
  return status(folder_, Err::None);
}

void BackupSet::drop() {
  open_ = false;
  tidy(staging_, folder_, [this](const std::string& e) { return isMember(e); });
}

}  // namespace pf
