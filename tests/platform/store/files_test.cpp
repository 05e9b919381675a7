// File names without regard to letter case, and the file operations by name.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/core/errors.h"
#include "tests/platform/store/store_fixture.h"
#include "tests/support/temp_dir.h"

using namespace storetest;
namespace Err = pf::Err;

namespace {

TEST(FileNamesTest, EveryCapitalisationReachesTheSameFile) {
  qbtest::TempDir dir;
  make(desc("Defaults.tps"), {{"only", "", 0, 0, "only"}});
  ASSERT_EQ(mkdir("Sub", 0777), 0);
  spit("Sub/ViewLic.txt", "x");
  struct Case {
    const char* name;
    const char* resolved;
  } cases[] = {
      {"Defaults.tps", "Defaults.tps"},   {"DEFAULTS.TPS", "Defaults.tps"},  {"defaults.tps", "Defaults.tps"},
      {"sub/viewlic.TXT", "Sub/ViewLic.txt"}, {"SUB\\VIEWLIC.txt", "Sub/ViewLic.txt"},
      {"NewFile.TPS", "NewFile.TPS"},     {"sub/New.txt", "Sub/New.txt"},    {"none/New.txt", "none/New.txt"},
  };
  for (const auto& c : cases) EXPECT_EQ(pf::resolveName(c.name), c.resolved) << c.name;
  EXPECT_EQ(pf::resolveName(dir.path() + "/DEFAULTS.tps"), dir.path() + "/Defaults.tps");

  for (const char* name : {"Defaults.tps", "DEFAULTS.TPS", "defaults.tps"}) [&] {
    SCOPED_TRACE(name);
    EXPECT_TRUE(pf::fileExists(name));
    pf::FileDesc d = desc(name);
    Rec r;
    pf::File f(d, &r);
    ASSERT_EQ(f.open(), 0);
    ASSERT_EQ(f.next(), 0);
    EXPECT_EQ(r.NOTES.str(), "only");
  }();
  // Creating under another capitalisation replaces the file rather than adding one.
  make(desc("DEFAULTS.TPS"), {});
  int count = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    if (e.is_regular_file()) ++count;
  EXPECT_EQ(count, 1);
  EXPECT_FALSE(pf::fileExists("other.tps"));
  EXPECT_EQ(pf::errorcode(), Err::NoFile);
}

TEST(FileOperationsTest, ResultsAndErrors) {
  qbtest::TempDir dir;
  spit("Source.csv", "\"abc\"\r\n");
  spit("old.csv", "old contents that are longer");

  EXPECT_EQ(pf::copyFile("source.CSV", "OLD.csv"), 0);  // replaces, keeping the old name
  EXPECT_EQ(slurp("old.csv"), "\"abc\"\r\n");
  EXPECT_FALSE(std::filesystem::exists("OLD.csv"));
  EXPECT_EQ(pf::copyFile("Source.csv", "copy.csv"), 0);
  EXPECT_EQ(slurp("copy.csv"), "\"abc\"\r\n");
  EXPECT_EQ(pf::makeDirectory("Backup"), 0);
  EXPECT_EQ(pf::copyFile("Source.csv", "backup"), 0);  // into a folder, under its own name
  EXPECT_EQ(slurp("Backup/Source.csv"), "\"abc\"\r\n");

  struct Case {
    const char* what;
    int code;
    int expect;
    const char* file;
  } cases[] = {
      {"copy of a missing file", pf::copyFile("missing.csv", "x.csv"), Err::NoFile, "missing.csv"},
      {"copy into a missing folder", pf::copyFile("Source.csv", "nowhere/x.csv"), Err::PathNotFound, "nowhere/x.csv"},
      {"remove a missing file", pf::removeFile("missing.csv"), Err::NoFile, "missing.csv"},
      {"remove in a missing folder", pf::removeFile("nowhere/x.csv"), Err::PathNotFound, "nowhere/x.csv"},
      {"remove a folder", pf::removeFile("Backup"), Err::AccessDenied, "Backup"},
      {"make an existing folder", pf::makeDirectory("backup"), Err::AccessDenied, "backup"},
      {"make in a missing folder", pf::makeDirectory("a/b"), Err::PathNotFound, "a/b"},
      {"change to a missing folder", pf::setCurrentDirectory("nowhere"), Err::PathNotFound, "nowhere"},
      {"remove a file", pf::removeFile("COPY.CSV"), Err::None, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.code, c.expect) << c.what;
  EXPECT_FALSE(std::filesystem::exists("copy.csv"));

  EXPECT_EQ(pf::removeFile("missing.csv"), Err::NoFile);
  EXPECT_EQ(pf::errorcode(), Err::NoFile);
  EXPECT_EQ(pf::errorfile(), "missing.csv");
  EXPECT_EQ(pf::error(), "File Not Found");

  std::string home = pf::currentDirectory();
  EXPECT_EQ(home, std::filesystem::current_path().string());
  EXPECT_EQ(pf::setCurrentDirectory("BACKUP"), 0);
  EXPECT_EQ(pf::currentDirectory(), home + "/Backup");
  EXPECT_TRUE(pf::fileExists("source.csv"));
  EXPECT_EQ(pf::setCurrentDirectory(home), 0);
}

}  // namespace
