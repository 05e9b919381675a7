// Files another tool or a failing disk left with values the program never writes: key
// copies of another kind or value than their fields make, fields of another kind, and
// bookkeeping rows without a name. Every walk ends; rebuilt keys give the records' order.
#include <gtest/gtest.h>
#include <dirent.h>
#include <unistd.h>

#include <climits>

#include "platform/core/errors.h"
#include "tests/platform/store/store_fixture.h"
#include "tests/support/temp_dir.h"

using namespace storetest;
namespace Err = pf::Err;

namespace {

// More records than a first page, so that a walk pages past the damaged one.
std::vector<Row> manyRows() {
  std::vector<Row> rows;
  for (int i = 0; i < 40; ++i) {
    std::string n = std::to_string(100 + (i * 17) % 40);
    rows.push_back({"name " + n, "c" + std::to_string(i % 7), 0, i % 9 + 1, "r" + std::to_string(i + 1)});
  }
  return rows;
}

// The notes of every record a walk reads, in order; a read error ends it with "!<code>".
// At most a few reads more than there are records: a walk that does not end fails here.
std::vector<std::string> walk(pf::File& f, Rec& r, const pf::KeyDesc& key, bool back) {
  std::vector<std::string> out;
  f.set(key);
  for (int n = 0; n < 200; ++n) {
    int rc = back ? f.previous() : f.next();
    if (rc == Err::RecordNotAvailable) return out;
    if (rc != 0) {
      out.push_back("!" + std::to_string(rc));
      return out;
    }
    out.push_back(r.NOTES.str());
  }
  ADD_FAILURE() << "the walk does not end";
  return out;
}

// Every key walked both ways.
std::vector<std::vector<std::string>> walks(pf::File& f, Rec& r, const pf::FileDesc& d) {
  std::vector<std::vector<std::string>> out;
  for (const auto& k : d.keys)
    for (bool back : {false, true}) out.push_back(walk(f, r, k, back));
  return out;
}

// The same records as the damaged file's, as the program reads them, in a file of their own.
std::vector<std::vector<std::string>> walksOfTheRecordsAsRead(const pf::FileDesc& d) {
  std::vector<Rec> records;
  {
    Rec r;
    pf::File f(d, &r);
    EXPECT_EQ(f.open(), 0);
    f.set();
    while (f.next() == 0) records.push_back(r);
  }
  qbtest::TempDir twin;
  Rec r;
  pf::File f(d, &r);
  EXPECT_EQ(f.create(), 0);
  EXPECT_EQ(f.open(), 0);
  EXPECT_EQ(f.logout(), 0);
  for (const Rec& each : records) {
    r = each;
    EXPECT_EQ(f.add(), 0);
  }
  EXPECT_EQ(f.commit(), 0);
  return walks(f, r, d);
}

struct Damage {
  std::string what;
  std::string set;  // SQL for record 5
};

std::vector<Damage> damages() {
  std::vector<Damage> out;
  // The store's key copies and the fields they are made from, each given a value of every
  // kind SQLite keeps: into a TEXT column a number turns into a text of its digits.
  for (std::string column : {"_k_NAME", "_k_CODE", "_kd_COUNT", "NAME", "CODE", "COUNT"})
    for (std::string value : {"X'7A7A'", "X''", "7", "-2.5", "'zz'", "''"}) out.push_back({column + " = " + value, column + "=" + value});
  out.push_back({"_kd_COUNT = 2^40", "_kd_COUNT=1099511627776"});
  out.push_back({"COUNT = 2^40", "COUNT=1099511627776"});
  out.push_back({"NAME longer than the field", "NAME='" + std::string(30, 'w') + "'"});
  return out;
}

TEST(DamagedValues, EveryWalkEndsAndRebuiltKeysGiveTheRecordsOrder) {
  for (const Damage& damage : damages()) [&] {
    SCOPED_TRACE(damage.what);
    qbtest::TempDir dir;
    pf::FileDesc d = desc();
    make(d, manyRows());
    ASSERT_EQ(rawSql(dir.file("test.tps"), "UPDATE rec SET " + damage.set + " WHERE _pos=5"), SQLITE_OK);
    Rec r;
    pf::File f(d, &r);
    int opened = f.open();
    // A key copy of another kind is found at the open; the rest when its record is read.
    ASSERT_TRUE(opened == 0 || opened == Err::KeyFileRebuild) << opened;
    if (opened == 0) {
      for (const auto& w : walks(f, r, d))
        if (!w.empty() && w.back()[0] == '!') {
          EXPECT_EQ(w.back(), "!" + std::to_string(Err::KeyFileRebuild));
          EXPECT_EQ(pf::errorfile(), "test.tps");
        }
    }
    EXPECT_EQ(f.build(), 0);
    f.close();
    ASSERT_EQ(f.open(), 0);
    EXPECT_EQ(walks(f, r, d), walksOfTheRecordsAsRead(d));
  }();
}

TEST(DamagedValues, AReadThatMeetsADamagedKeyGoesOnOnceTheHandlerRebuiltThem) {
  qbtest::TempDir dir;
  pf::FileDesc d = desc();
  make(d, manyRows());
  // The name's copy of record 5 holds another record's name: it is read at that place.
  ASSERT_EQ(rawSql(dir.file("test.tps"), "UPDATE rec SET _k_NAME='NAME 100' WHERE _pos=5"), SQLITE_OK);
  Rec r;
  pf::File f(d, &r);
  ASSERT_EQ(f.open(), 0);
  int calls = 0;
  pf::setDamagedKeyHandler([&](pf::File& file) {
    ++calls;
    EXPECT_EQ(&file, &f);
    return file.build() == 0;
  });
  std::vector<std::vector<std::string>> seen = walks(f, r, d);
  pf::setDamagedKeyHandler({});
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seen, walksOfTheRecordsAsRead(d));
  // Met after the sequence has handed out a page: the keys are rebuilt, but the records
  // already read were read in the damaged order, so the read reports the damage; the
  // next sequence reads every record in order.
  ASSERT_EQ(rawSql(dir.file("test.tps"), "UPDATE rec SET _k_NAME='NAME 139Z' WHERE _pos=5"), SQLITE_OK);
  calls = 0;
  pf::setDamagedKeyHandler([&](pf::File& file) {
    ++calls;
    return file.build() == 0;
  });
  std::vector<std::string> late = walk(f, r, *d.key("TST:NameKey"), false);
  std::vector<std::string> again = walk(f, r, *d.key("TST:NameKey"), false);
  pf::setDamagedKeyHandler({});
  EXPECT_EQ(calls, 1);
  ASSERT_GT(late.size(), 32u);
  EXPECT_EQ(late.back(), "!" + std::to_string(Err::KeyFileRebuild));
  EXPECT_EQ(again, seen[0]);
  // A handler that cannot rebuild them leaves the read's error.
  ASSERT_EQ(rawSql(dir.file("test.tps"), "UPDATE rec SET _k_NAME='NAME 100' WHERE _pos=5"), SQLITE_OK);
  pf::setDamagedKeyHandler([](pf::File&) { return false; });
  std::vector<std::string> stopped = walk(f, r, *d.key("TST:NameKey"), false);
  pf::setDamagedKeyHandler({});
  ASSERT_FALSE(stopped.empty());
  EXPECT_EQ(stopped.back(), "!" + std::to_string(Err::KeyFileRebuild));
}

int descriptorsOn(const std::string& path) {
  char real[PATH_MAX];
  if (!::realpath(path.c_str(), real)) return -1;
  int n = 0;
  DIR* fds = ::opendir("/proc/self/fd");
  while (dirent* e = fds ? ::readdir(fds) : nullptr) {
    char target[PATH_MAX];
    ssize_t len = ::readlinkat(::dirfd(fds), e->d_name, target, sizeof target - 1);
    if (len > 0 && std::string(target, static_cast<std::size_t>(len)) == real) ++n;
  }
  if (fds) ::closedir(fds);
  return n;
}

TEST(DamagedValues, BookkeepingWithoutNames) {
  struct Case {
    const char* what;
    std::string sql;
    int open;
    bool rebuilds;  // a rebuild of the keys mends it
  } cases[] = {
      {"a meta row without a name", "INSERT INTO meta VALUES(NULL,'x')", 0, true},
      {"the format row without its name", "UPDATE meta SET name=NULL WHERE name='format'", Err::InvalidFile, false},
      {"the keys row without its name", "UPDATE meta SET name=NULL WHERE name='keys'", Err::KeyFileRebuild, true},
      // Its index cannot be dropped, so the key cannot be made again: the rebuild fails.
      {"an index without a name",
       "PRAGMA writable_schema=ON; UPDATE sqlite_master SET name=NULL WHERE name='key1_NameKey'", Err::KeyFileRebuild,
       false},
  };
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(c.what);
    qbtest::TempDir dir;
    pf::FileDesc d = desc();
    make(d, manyRows());
    ASSERT_EQ(rawSql(dir.file("test.tps"), c.sql), SQLITE_OK);
    Rec r;
    pf::File f(d, &r);
    EXPECT_EQ(f.open(), c.open);
    if (c.open == 0) {
      EXPECT_EQ(walk(f, r, *d.key("TST:NameKey"), false).size(), manyRows().size());
      f.close();
    } else {
      // Nothing of the open is left behind.
      EXPECT_EQ(pf::errorfile(), "test.tps");
      EXPECT_FALSE(f.isOpen());
      EXPECT_EQ(descriptorsOn(dir.file("test.tps")), 0);
    }
    if (c.rebuilds) {
      EXPECT_EQ(f.build(), 0);
      EXPECT_EQ(f.open(), 0);
    } else if (c.open == Err::KeyFileRebuild) {
      EXPECT_NE(f.build(), 0);
      EXPECT_EQ(pf::errorfile(), "test.tps");
      EXPECT_EQ(descriptorsOn(dir.file("test.tps")), 0);
    }
  }();
}

}  // namespace
