// Opening indexed files: the error of each kind of trouble, key rebuilds, and sharing
// between instances and processes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "platform/core/errors.h"
#include "platform/store/cipher.h"
#include "tests/platform/store/store_fixture.h"
#include "tests/support/file_modes.h"
#include "tests/support/lock_holder.h"
#include "tests/support/temp_dir.h"

using namespace storetest;
namespace Err = pf::Err;
namespace Mode = pf::OpenMode;

namespace {

const std::vector<Row> kRows = {{"b", "", 0, 0, "b"}, {"a", "", 0, 0, "a"}};

TEST(OpenTest, EachTroubleHasItsError) {
  struct Case {
    const char* what;
    std::function<void(const qbtest::TempDir&)> setup;
    pf::FileDesc desc;
    int expect;
  } cases[] = {
      {"missing file", [](auto&) {}, desc(), Err::NoFile},
      {"missing folder", [](auto&) {}, desc("nowhere/test.tps"), Err::PathNotFound},
      {"not a database", [](auto& d) { spit(d.file("test.tps"), std::string(5000, 'q')); }, desc(), Err::InvalidFile},
      {"empty file", [](auto& d) { spit(d.file("test.tps"), ""); }, desc(), Err::InvalidFile},
      {"another program's database",
       [](auto& d) { rawSql(d.file("test.tps"), "CREATE TABLE t(x); INSERT INTO t VALUES(1);"); }, desc(),
       Err::InvalidFile},
      {"wrong password", [](auto&) { make(desc("test.tps", "right"), kRows); }, desc("test.tps", "wrong"),
       Err::BadOwner},
      {"password on a plain file", [](auto&) { make(desc(), kRows); }, desc("test.tps", "secret"), Err::BadOwner},
      {"encrypted file opened as plain", [](auto&) { make(desc("test.tps", "right"), kRows); }, desc(),
       Err::InvalidFile},
      {"declaration differs",
       [](auto&) { make(desc(), kRows); },
       [] {
         auto d = desc();
         d.fields[0].size = 30;
         return d;
       }(),
       Err::BadRecord},
      {"key index dropped",
       [](auto& d) {
         make(desc(), kRows);
         rawSql(d.file("test.tps"), "DROP INDEX key1_NameKey");
       },
       desc(), Err::KeyFileRebuild},
      {"key declared since", [](auto&) {
         auto d = desc();
         d.keys.pop_back();
         make(d, kRows);
       },
       desc(), Err::KeyFileRebuild},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    qbtest::TempDir dir;
    c.setup(dir);
    Rec r;
    pf::File f(c.desc, &r);
    EXPECT_EQ(f.open(), c.expect);
    EXPECT_EQ(pf::errorcode(), c.expect);
    EXPECT_EQ(pf::errorfile(), c.desc.diskName);
    EXPECT_FALSE(f.isOpen());
  }
}

// Another tool may have changed the table behind the file's own record of its layout.
TEST(OpenTest, TheTableMustHoldExactlyTheDeclaredColumns) {
  // The records' table made again with other columns (this SQLite cannot drop or rename one).
  auto remade = [](std::initializer_list<std::string> columns) {
    std::string sql = "ALTER TABLE rec RENAME TO old; CREATE TABLE rec(_pos INTEGER PRIMARY KEY AUTOINCREMENT";
    for (const std::string& c : columns)
      sql += ", " + c + " NOT NULL DEFAULT " + (c.substr(c.size() - 4) == "TEXT" ? "''" : "0");
    return sql + "); DROP TABLE old;";
  };
  struct Case {
    const char* what;
    std::string sql;
    int expect;
  } cases[] = {
      {"matching", "", 0},
      // Its keys went with the old table.
      {"as declared, made again",
       remade({"NAME TEXT", "CODE TEXT", "FLAG INTEGER", "COUNT INTEGER", "DAY INTEGER", "NOTES TEXT", "_k_NAME TEXT",
               "_k_CODE TEXT", "_kd_COUNT INTEGER"}),
       Err::KeyFileRebuild},
      {"a declared column missing",
       remade({"NAME TEXT", "CODE TEXT", "COUNT INTEGER", "DAY INTEGER", "NOTES TEXT", "_k_NAME TEXT", "_k_CODE TEXT",
               "_kd_COUNT INTEGER"}),
       Err::BadRecord},
      {"a column not declared", "ALTER TABLE rec ADD COLUMN EXTRA TEXT NOT NULL DEFAULT ''", Err::BadRecord},
      {"a column under another name",
       remade({"NAME TEXT", "CODE TEXT", "FLAG INTEGER", "TOTAL INTEGER", "DAY INTEGER", "NOTES TEXT", "_k_NAME TEXT",
               "_k_CODE TEXT", "_kd_COUNT INTEGER"}),
       Err::BadRecord},
      {"a column of another kind",
       remade({"NAME TEXT", "CODE TEXT", "FLAG TEXT", "COUNT INTEGER", "DAY INTEGER", "NOTES TEXT", "_k_NAME TEXT",
               "_k_CODE TEXT", "_kd_COUNT INTEGER"}),
       Err::BadRecord},
      {"a key copy left by a key no longer declared", "ALTER TABLE rec ADD COLUMN _k_OLD TEXT NOT NULL DEFAULT ''",
       0},
  };
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(c.what);
    qbtest::TempDir dir;
    make(desc(), kRows);
    ASSERT_EQ(rawSql(dir.file("test.tps"), c.sql), SQLITE_OK);
    pf::FileDesc d = desc();
    Rec r;
    pf::File f(d, &r);
    EXPECT_EQ(f.open(), c.expect);
    EXPECT_EQ(pf::errorcode(), c.expect);
    if (c.expect != 0) {
      if (c.expect == Err::BadRecord) {
        EXPECT_EQ(pf::error(), "Invalid Record Declaration");
      }
      EXPECT_FALSE(f.isOpen());
      return;
    }
    f.set(*d.key("TST:NameKey"));
    ASSERT_EQ(f.next(), 0);
    EXPECT_EQ(r.NAME.clip(), "a");
    EXPECT_EQ(r.FLAG, 0);
  }();
}

TEST(OpenTest, RebuildingKeysRepairsTheFile) {
  for (const char* damage : {"DROP INDEX key1_NameKey", "DROP INDEX key4_NameDownKey; UPDATE rec SET _k_NAME='ZZZ'"}) [&] {
    SCOPED_TRACE(damage);
    qbtest::TempDir dir;
    make(desc(), kRows);
    ASSERT_EQ(rawSql(dir.file("test.tps"), damage), SQLITE_OK);
    Rec r;
    pf::FileDesc d = desc();
    pf::File f(d, &r);
    ASSERT_EQ(f.open(), Err::KeyFileRebuild);
    ASSERT_EQ(f.build(), 0);
    ASSERT_EQ(f.open(), 0);
    f.set(*d.key("TST:NameKey"));
    ASSERT_EQ(f.next(), 0);
    EXPECT_EQ(r.NOTES.str(), "a");
    ASSERT_EQ(f.next(), 0);
    EXPECT_EQ(r.NOTES.str(), "b");
  }();
  // A key added to the declaration is built over the records already there.
  qbtest::TempDir dir;
  pf::FileDesc old = desc();
  old.keys.pop_back();
  make(old, kRows);
  Rec r;
  pf::FileDesc d = desc();
  pf::File f(d, &r);
  ASSERT_EQ(f.open(), Err::KeyFileRebuild);
  ASSERT_EQ(f.build(), 0);
  ASSERT_EQ(f.open(), 0);
  f.set(*d.key("TST:NameDownKey"));
  ASSERT_EQ(f.next(), 0);
  EXPECT_EQ(r.NOTES.str(), "b");
}

TEST(OpenTest, SharingBetweenInstances) {
  qbtest::TempDir dir;
  make(desc(), kRows);
  pf::FileDesc d = desc();
  Rec r1, r2, r3;
  pf::File holder(d, &r1), other(d, &r2), third(d, &r3);
  const int normal = Mode::ReadWrite | Mode::DenyNone;
  const int reader = Mode::ReadOnly | Mode::DenyNone;

  // Normal openers share freely.
  ASSERT_EQ(holder.open(normal), 0);
  ASSERT_EQ(other.open(normal), 0);
  // Nobody may deny writing while someone writes.
  EXPECT_EQ(third.open(Mode::ReadOnly | Mode::DenyWrite), Err::AccessDenied);
  holder.close();
  other.close();

  struct Case {
    int held, asked, expect;
  } cases[] = {
      {Mode::ReadOnly | Mode::DenyWrite, normal, Err::AccessDenied},
      {Mode::ReadOnly | Mode::DenyWrite, reader, 0},
      {Mode::ReadOnly | Mode::DenyWrite, Mode::ReadOnly | Mode::DenyWrite, 0},
      {Mode::ReadWrite | Mode::DenyWrite, normal, Err::AccessDenied},
      {Mode::ReadWrite | Mode::DenyAll, reader, Err::AccessDenied},
      {Mode::ReadOnly | Mode::DenyRead, reader, Err::AccessDenied},
      {reader, Mode::ReadWrite | Mode::DenyRead, Err::AccessDenied},
      {normal, normal, 0},
  };
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(::testing::Message() << std::hex << c.held << " then " << c.asked);
    ASSERT_EQ(holder.open(c.held), 0);
    EXPECT_EQ(other.open(c.asked), c.expect);
    if (c.expect == 0) {
      other.set();
      EXPECT_EQ(other.next(), 0);
    }
    other.close();
    holder.close();
    // Once the holder has gone, a normal open works again.
    ASSERT_EQ(other.open(normal), 0);
    other.close();
  }();
}

TEST(OpenTest, AnotherProcessHoldingTheFileDeniesWriteAccess) {
  qbtest::TempDir dir;
  make(desc(), kRows);
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    pf::FileDesc d = desc();
    Rec r;
    pf::File f(d, &r);
    char c = f.open(Mode::ReadOnly | Mode::DenyWrite) == 0 ? 'y' : 'n';
    (void)!write(ready[1], &c, 1);
    (void)!read(done[0], &c, 1);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  pf::FileDesc d = desc();
  Rec r;
  pf::File f(d, &r);
  EXPECT_EQ(f.open(), Err::AccessDenied);
  EXPECT_EQ(f.send("Recover=1"), 0);
  EXPECT_EQ(f.open(), Err::AccessDenied);
  ASSERT_EQ(f.open(Mode::ReadOnly | Mode::DenyNone), 0);
  EXPECT_EQ(f.next(), 0);
  EXPECT_EQ(f.add(), Err::AccessDenied);
  f.close();
  (void)!write(done[1], "x", 1);
  int st = 0;
  waitpid(child, &st, 0);
  EXPECT_EQ(f.open(), 0);
}

TEST(OpenTest, AnotherProgramsLockIsWaitedFor) {
  qbtest::TempDir dir;
  make(desc(), kRows);
  const std::string path = dir.file("test.tps");
  pf::FileDesc d = desc();
  Rec r;
  pf::File f(d, &r);
  {
    // Held throughout: refused as access denied, which leads to the read-only road.
    qbtest::LockHolder other(path);
    ASSERT_TRUE(other.holding());
    EXPECT_EQ(f.open(), Err::AccessDenied);
    EXPECT_FALSE(f.isOpen());
  }
  {
    // Let go while the open waits.
    qbtest::LockHolder other(path, "BEGIN EXCLUSIVE", 300);
    ASSERT_TRUE(other.holding());
    ASSERT_EQ(f.open(), 0);
    f.set();
    EXPECT_EQ(f.next(), 0);
    f.close();
  }
  {
    // Another writer: reading goes on, and a write waits for it.
    qbtest::LockHolder other(path, "BEGIN IMMEDIATE", 300);
    ASSERT_TRUE(other.holding());
    ASSERT_EQ(f.open(), 0);
    f.set();
    EXPECT_EQ(f.next(), 0);
    fill(r, {"c", "", 0, 0, "c"});
    EXPECT_EQ(f.add(), 0);
    f.close();
  }
  {
    qbtest::LockHolder other(path, "BEGIN IMMEDIATE");
    ASSERT_TRUE(other.holding());
    ASSERT_EQ(f.open(), 0);
    fill(r, {"d", "", 0, 0, "d"});
    EXPECT_EQ(f.add(), Err::Locked);
    EXPECT_EQ(pf::error(), "File Is Already Locked");
    f.close();
  }
  ASSERT_EQ(f.open(), 0);
  EXPECT_EQ(f.records(), 3);
  f.close();
}

// An encrypted file is keyed with its stretched key once the stretch has been seen to be
// SQLCipher's, and with its passphrase where it is not; a wrong key is refused either way.
TEST(OpenTest, EncryptedFilesOpenWithTheStretchedKeyOrElseTheirPassphrase) {
  struct Case {
    const char* name;
    int skew;
    bool stretched;
  };
  const Case cases[] = {{"the stretch is SQLCipher's", 0, true}, {"the stretch differs", 1, false}};
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(c.name);
    qbtest::TempDir dir;
    pf::resetDerivedKeys(c.skew);
    pf::FileDesc d = desc("test.tps", "owner");
    make(d, kRows);
    for (int i = 0; i < 2; ++i) {
      Rec r;
      pf::File f(d, &r);
      ASSERT_EQ(f.open(), 0);
      EXPECT_EQ(f.records(), 2);
      ASSERT_EQ(f.next(), 0);
      EXPECT_EQ(r.NAME.clip(), "b");
    }
    EXPECT_EQ(pf::derivedKeysProven(), c.stretched);
    Rec r;
    pf::FileDesc other = desc("test.tps", "another owner");
    pf::File f(other, &r);
    EXPECT_EQ(f.open(), Err::BadOwner);
    EXPECT_EQ(pf::derivedKeysProven(), c.stretched) << "a wrong key proves nothing";
  }();
  pf::resetDerivedKeys();
}

TEST(OpenTest, CreateReplacesAnOldFileAndItsJournal) {
  qbtest::TempDir dir;
  make(desc(), kRows);
  // A journal left by a crash must not be played into the new file.
  spit(dir.file("test.tps-journal"), std::string(3000, 'j'));
  pf::FileDesc d = desc();
  Rec r;
  pf::File f(d, &r);
  ASSERT_EQ(f.create(), 0);
  EXPECT_FALSE(f.isOpen());
  ASSERT_EQ(f.open(), 0);
  EXPECT_EQ(f.records(), 0);
  EXPECT_EQ(f.next(), Err::RecordNotAvailable);

  pf::FileDesc nowhere = desc("missing/test.tps");
  pf::File g(nowhere, &r);
  EXPECT_EQ(g.create(), Err::PathNotFound);
}

TEST(OpenTest, NewFilesAreTheirOwnersAloneWhateverTheUmask) {
  for (mode_t mask : {mode_t(0), mode_t(022), mode_t(0277)}) [&] {
    SCOPED_TRACE(mask);
    qbtest::TempDir dir;
    qbtest::ScopedUmask as(mask);
    for (const char* key : {"", "secret"}) {
      pf::FileDesc d = desc("test.tps", key);
      Rec r;
      pf::File f(d, &r);
      ASSERT_EQ(f.create(), 0);
      ASSERT_EQ(f.open(), 0);
      fill(r, {"a", "", 0, 0, "a"});
      ASSERT_EQ(f.add(), 0);   // the journal is made now
      EXPECT_EQ(qbtest::modeOf("test.tps"), 0600);
      EXPECT_EQ(qbtest::modeOf("test.tps-journal"), 0600);
      f.close();
    }
  }();
}

}  // namespace
