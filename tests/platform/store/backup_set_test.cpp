// Backup sets: copies made through SQLite's online backup, put in place whole, beside
// whatever else the user keeps in the folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "platform/core/errors.h"
#include "platform/store/backup_set.h"
#include "tests/platform/store/store_fixture.h"
#include "tests/support/file_modes.h"
#include "tests/support/temp_dir.h"

using namespace storetest;
namespace Err = pf::Err;

namespace {

std::vector<Row> someRows(int n) {
  std::vector<Row> rows;
  for (int i = 0; i < n; ++i) rows.push_back({"name " + std::to_string(i), "c" + std::to_string(i % 7), 0, i, "notes"});
  return rows;
}

// The records of a copy, read through the store with the given key; -1 when it does not open.
int rowsIn(const std::string& path, const std::string& key) {
  pf::FileDesc d = desc(path, key);
  Rec r;
  pf::File f(d, &r);
  if (f.open(pf::OpenMode::ReadOnly | pf::OpenMode::DenyNone) != 0) return -1;
  int n = 0;
  f.set();
  while (f.next() == 0) ++n;
  return n;
}

// name -> contents of the plain files of a folder; folders show as "<folder>".
std::map<std::string, std::string> contents(const std::string& dir) {
  std::map<std::string, std::string> out;
  for (const char* probe : {"data.tps", "data.tps-journal", "other.tps", "notes.txt", "sub"}) {
    std::string p = dir + "/" + probe;
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0) continue;
    out[probe] = S_ISDIR(st.st_mode) ? "<folder>" : slurp(p);
  }
  return out;
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

TEST(OnlineCopyTest, CopiesKeepTheKeyTheyWereMadeWith) {
  qbtest::ScopedUmask anyoneMay(0);
  for (const char* key : {"", "PipKoraLunaMesh", "a key of another kind"}) [&] {
    SCOPED_TRACE(key);
    qbtest::TempDir dir;
    pf::FileDesc d = desc("data.tps", key);
    make(d, someRows(30));
    ASSERT_EQ(::mkdir("usb", 0777), 0);
    {
      pf::BackupSet set({&d});
      ASSERT_EQ(set.begin("usb/SitesBup"), 0);
      ASSERT_EQ(set.add(d), 0) << pf::error();
      ASSERT_EQ(set.commit(), 0) << pf::error();
    }
    const std::string copy = "usb/SitesBup/data.tps";
    EXPECT_EQ(rowsIn(copy, key), 30);
    EXPECT_EQ(qbtest::modeOf(copy), 0600);
    if (*key) {
      EXPECT_EQ(rowsIn(copy, "wrong"), -1);
      EXPECT_EQ(rowsIn(copy, ""), -1);
    }
    EXPECT_FALSE(exists("usb/SitesBup.qbcopy"));
    EXPECT_FALSE(exists("usb/SitesBup.qbold"));
  }();
}

TEST(OnlineCopyTest, AJournalLeftHotByACrashIsPlayedBackFirst) {
  qbtest::TempDir dir;
  pf::FileDesc d = desc("data.tps");
  make(d, someRows(300));
  // A writer killed half-way through its transaction, its changes partly in the file.
  pid_t child = fork();
  if (child == 0) {
    sqlite3* db = nullptr;
    sqlite3_open_v2("data.tps", &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, "PRAGMA cache_size=1; BEGIN; DELETE FROM rec;", nullptr, nullptr, nullptr);
    kill(getpid(), SIGKILL);
  }
  int st = 0;
  waitpid(child, &st, 0);
  ASSERT_TRUE(WIFSIGNALED(st));
  struct stat js {};
  ASSERT_EQ(::stat("data.tps-journal", &js), 0);
  ASSERT_GT(js.st_size, 0);

  ASSERT_EQ(::mkdir("usb", 0777), 0);
  {
    pf::BackupSet set({&d});
    ASSERT_EQ(set.begin("usb/SitesBup"), 0);
    ASSERT_EQ(set.add(d), 0) << pf::error();
    ASSERT_EQ(set.commit(), 0);
  }
  EXPECT_EQ(rowsIn("usb/SitesBup/data.tps", ""), 300);
  std::vector<std::string> check;
  rawSql("usb/SitesBup/data.tps", "PRAGMA integrity_check", &check);
  EXPECT_EQ(check, std::vector<std::string>{"ok"});
}

TEST(BackupSetTest, RefusesWhatIsNotAFolderAndLeavesItAlone) {
  struct Case {
    const char* what;
    const char* kind;
  } cases[] = {{"a plain file", "file"}, {"a link to a plain file", "link"}, {"a link to nothing", "dangling"},
               {"a pipe", "fifo"}, {"a file in the way of the copies", "staging"}};
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(c.what);
    qbtest::TempDir dir;
    pf::FileDesc d = desc("data.tps");
    make(d, someRows(3));
    std::string kind = c.kind, guarded = "SitesBup";
    if (kind == "file") spit("SitesBup", "the user's own");
    if (kind == "link") {
      spit("elsewhere", "the user's own");
      ASSERT_EQ(::symlink("elsewhere", "SitesBup"), 0);
      guarded = "elsewhere";
    }
    if (kind == "dangling") {
      ASSERT_EQ(::symlink("nowhere", "SitesBup"), 0);
    }
    if (kind == "fifo") {
      ASSERT_EQ(::mkfifo("SitesBup", 0600), 0);
    }
    if (kind == "staging") {
      ASSERT_EQ(::mkdir("SitesBup", 0777), 0);
      spit("SitesBup.qbcopy", "the user's own");
      guarded = "SitesBup.qbcopy";
    }
    pf::BackupSet set({&d});
    EXPECT_EQ(set.begin(dir.file("SitesBup")), Err::AccessDenied);
    EXPECT_EQ(set.add(d), Err::NotOpen);
    EXPECT_NE(set.commit(), 0);
    if (kind == "file" || kind == "link" || kind == "staging") {
      EXPECT_EQ(slurp(guarded), "the user's own");
    } else {
      EXPECT_FALSE(exists("SitesBup.qbcopy"));
    }
    EXPECT_FALSE(exists("SitesBup.qbold"));
  }();
}

TEST(BackupSetTest, WhatElseTheFolderHoldsStaysWithTheNewSet) {
  qbtest::TempDir dir;
  pf::FileDesc d = desc("data.tps"), other = desc("other.tps");
  make(d, someRows(5));   // no other.tps here: its older copy stays
  ASSERT_EQ(::mkdir("real", 0777), 0);
  ASSERT_EQ(::mkdir("real/SitesBup", 0750), 0);
  ASSERT_EQ(::chmod("real/SitesBup", 0750), 0);
  spit("real/SitesBup/data.tps", "an old copy");
  spit("real/SitesBup/data.tps-journal", "a journal that would spoil the new copy");
  spit("real/SitesBup/other.tps", "an older copy of the other file");
  spit("real/SitesBup/notes.txt", "the user's notes");
  ASSERT_EQ(::mkdir("real/SitesBup/sub", 0777), 0);
  spit("real/SitesBup/sub/x", "kept");
  // The user's link to the folder stays a link.
  ASSERT_EQ(::symlink("real/SitesBup", "SitesBup"), 0);

  for (int round = 0; round < 2; ++round) [&] {
    SCOPED_TRACE(round);
    pf::BackupSet set({&d, &other});
    ASSERT_EQ(set.begin("SitesBup"), 0) << pf::error();
    ASSERT_EQ(set.add(d), 0);
    ASSERT_EQ(set.commit(), 0) << pf::error();
    auto now = contents("real/SitesBup");
    EXPECT_EQ(now.count("data.tps-journal"), 0u);
    EXPECT_EQ(now["other.tps"], "an older copy of the other file");
    EXPECT_EQ(now["notes.txt"], "the user's notes");
    EXPECT_EQ(now["sub"], "<folder>");
    EXPECT_EQ(slurp("real/SitesBup/sub/x"), "kept");
    EXPECT_EQ(rowsIn("real/SitesBup/data.tps", ""), 5);
    EXPECT_EQ(qbtest::modeOf("real/SitesBup"), 0750);
    struct stat st {};
    ASSERT_EQ(::lstat("SitesBup", &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    for (const char* left : {"real/SitesBup.qbcopy", "real/SitesBup.qbold", "SitesBup.qbcopy"})
      EXPECT_FALSE(exists(left)) << left;
  }();
}

TEST(BackupSetTest, AFailedCopyLeavesTheOldSetAsItWas) {
  qbtest::TempDir dir;
  pf::FileDesc d = desc("data.tps"), other = desc("other.tps");
  make(d, someRows(5));
  spit("other.tps", std::string(5000, 'x'));   // not a database: its copy fails
  ASSERT_EQ(::mkdir("SitesBup", 0777), 0);
  spit("SitesBup/data.tps", "the old copy");
  spit("SitesBup/notes.txt", "the user's notes");
  {
    pf::BackupSet set({&d, &other});
    ASSERT_EQ(set.begin("SitesBup"), 0);
    ASSERT_EQ(set.add(d), 0);
    EXPECT_EQ(set.add(other), Err::InvalidFile);
    EXPECT_EQ(pf::errorfile(), "other.tps");
  }
  EXPECT_EQ(contents("SitesBup"),
            (std::map<std::string, std::string>{{"data.tps", "the old copy"}, {"notes.txt", "the user's notes"}}));
  EXPECT_FALSE(exists("SitesBup.qbcopy"));
}

TEST(BackupSetTest, TheLeftoversOfACrashAreMendedFirst) {
  using Files = std::map<std::string, std::string>;
  struct Case {
    const char* moment;
    const char* folder;    // nullptr: no such folder
    Files set, staged, retired;
    const char* expectFolder;
    Files expect;
  } cases[] = {
      {"while copying", "", {{"data.tps", "old"}}, {{"data.tps", "half"}, {"notes.txt", "n"}}, {}, "",
       {{"data.tps", "old"}, {"notes.txt", "n"}}},
      {"after the folders changed places", "", {{"data.tps", "new"}, {"notes.txt", "n"}}, {{"data.tps", "old"}},
       {}, "", {{"data.tps", "new"}, {"notes.txt", "n"}}},
      {"between two renames", nullptr, {}, {{"data.tps", "new"}, {"notes.txt", "n"}}, {{"data.tps", "old"}}, "",
       {{"data.tps", "new"}, {"notes.txt", "n"}}},
      {"after two renames", "", {{"data.tps", "new"}, {"notes.txt", "n"}}, {}, {{"data.tps", "old"}}, "",
       {{"data.tps", "new"}, {"notes.txt", "n"}}},
      {"during the first set ever", nullptr, {}, {{"data.tps", "new"}}, {}, nullptr, {}},
      {"after two renames, the folder removed since", nullptr, {}, {}, {{"data.tps", "old"}}, "",
       {{"data.tps", "old"}}},
  };
  pf::FileDesc d = desc("data.tps");
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(c.moment);
    qbtest::TempDir dir;
    auto fill = [](const std::string& folder, const Files& files) {
      ASSERT_EQ(::mkdir(folder.c_str(), 0777), 0);
      for (const auto& [name, text] : files) spit(folder + "/" + name, text);
    };
    if (c.folder) fill("SitesBup", c.set);
    if (!c.staged.empty()) fill("SitesBup.qbcopy", c.staged);
    if (!c.retired.empty()) fill("SitesBup.qbold", c.retired);
    {
      pf::BackupSet set({&d});
      ASSERT_EQ(set.begin("SitesBup"), 0) << pf::error();
    }
    EXPECT_EQ(exists("SitesBup"), c.expectFolder != nullptr);
    EXPECT_EQ(contents("SitesBup"), c.expect);
    EXPECT_FALSE(exists("SitesBup.qbcopy"));
    EXPECT_FALSE(exists("SitesBup.qbold"));
  }();
}

}  // namespace
