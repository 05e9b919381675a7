// Sharing between openers of one data file (deny read / deny write), across processes
// and between instances in this process.
#pragma once

#include <string>

namespace pf {

class ShareLock {
 public:
  ShareLock() = default;
  ~ShareLock() { release(); }
  ShareLock(const ShareLock&) = delete;
  ShareLock& operator=(const ShareLock&) = delete;

  // Takes the locks for an open with `mode` (OpenMode access and sharing), trying again
  // for up to `waitMs` while another opener's sharing refuses it. 0, Err::AccessDenied,
  // or the error of opening the file.
  int acquire(const std::string& path, int mode, int waitMs);
  // Call only after the database connection on the file has been closed.
  void release();
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  unsigned long long dev_ = 0, ino_ = 0;
};

}  // namespace pf
