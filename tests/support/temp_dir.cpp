#include "tests/support/temp_dir.h"

#include <filesystem>
#include <stdexcept>
#include <cstdlib>
#include <unistd.h>

namespace qbtest {

TempDir::TempDir() {
  previous_ = std::filesystem::current_path().string();
  std::string tmpl = (std::filesystem::temp_directory_path() / "qbtest-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
  std::filesystem::current_path(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::current_path(previous_, ec);
  std::filesystem::remove_all(path_, ec);
}

}  // namespace qbtest
