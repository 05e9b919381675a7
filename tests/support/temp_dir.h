// A temporary working folder for one test: made on construction, made current, and
// removed (with the previous folder restored) on destruction.
#pragma once

#include <string>

namespace qbtest {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  std::string previous_;
};

}  // namespace qbtest
