// A test's umask for a while, and the permission bits of a file.
#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <map>
#include <string>

namespace qbtest {

class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(old_); }
  ScopedUmask(const ScopedUmask&) = delete;
  ScopedUmask& operator=(const ScopedUmask&) = delete;

 private:
  mode_t old_;
};

// The permission bits, or -1 when there is no such file.
inline int modeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

// Everything below a folder, as paths relative to it, with its permission bits.
inline void entriesBelow(const std::string& dir, std::map<std::string, int>& out, const std::string& prefix = {}) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  while (dirent* e = ::readdir(d)) {
    std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    const std::string path = dir + "/" + n;
    out[prefix + n] = modeOf(path);
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) entriesBelow(path, out, prefix + n + "/");
  }
  ::closedir(d);
}

}  // namespace qbtest
