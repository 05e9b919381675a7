// A fresh folder for a benchmark's files, the current folder while it lasts, removed with
// everything in it at the end.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

namespace qb::bench {

class BenchFolder {
 public:
  explicit BenchFolder(const std::string& name)
      : path_(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_);
    std::filesystem::current_path(path_);
  }
  ~BenchFolder() {
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(path_);
  }
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace qb::bench
