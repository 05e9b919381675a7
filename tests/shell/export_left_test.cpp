// A start after an export that was ended midway: its unfinished copy goes, and nothing
// that is not that copy, or that an export still writes, is touched.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace qbtest {
namespace {

std::string slurp(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool there(const std::string& name) {
  struct stat st {};
  return ::lstat(name.c_str(), &st) == 0;
}

TEST(ExportLeft, TheStartRemovesOnlyTheCopyAKilledExportLeft) {
  enum class Left { Unlocked, HeldByAnExport, TwinName, Link };
  const struct {
    const char* name;
    Left left;
    const char* file;  // what lies beside the export
    bool stays;
  } cases[] = {
      {"left by a killed export", Left::Unlocked, "SitesCSV.csv.qbnew", false},
      {"an export still writes it", Left::HeldByAnExport, "SitesCSV.csv.qbnew", true},
      {"another file's name in other letters", Left::TwinName, "sitescsv.csv.qbnew", true},
      {"a link in its place", Left::Link, "SitesCSV.csv.qbnew", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::ofstream("SitesCSV.csv") << "\"last export\"\r\n";
    std::ofstream("notes.txt") << "mine";
    if (c.left == Left::Link) ASSERT_EQ(::symlink("notes.txt", c.file), 0);
    else std::ofstream(c.file) << "\"half\"\r\n";
    int held = -1;
    if (c.left == Left::HeldByAnExport) {
      held = ::open(c.file, O_RDONLY | O_CLOEXEC);
      ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    }
    ChildProcess p({QUILLBOX_DRIVE, "--quiet"});
    p.send("quit");
    p.closeInput();
    p.waitFor("\n(the end)\n");
    EXPECT_EQ(p.wait(), 0);
    if (held >= 0) ::close(held);
    EXPECT_EQ(there(c.file), c.stays);
    EXPECT_EQ(slurp("SitesCSV.csv"), "\"last export\"\r\n");
    EXPECT_EQ(slurp("notes.txt"), "mine");
  }
}

}  // namespace
}  // namespace qbtest
