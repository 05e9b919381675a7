// A change over several files: the case rule of its steps, all files or none, each file
// reached with its own key, and a kill at any moment of the commit.
#include "platform/store/joint_change.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <dirent.h>
#include <thread>

#include "tests/platform/store/store_fixture.h"
#include "tests/support/temp_dir.h"

namespace storetest {
namespace {

namespace Err = pf::Err;

// Runs SQL on a file with the key the store gives it.
int keyedSql(const std::string& path, const std::string& key, const std::string& sql,
             std::vector<std::string>* out = nullptr) {
  std::string keyed = key.empty() ? sql : "PRAGMA key='" + key + "';PRAGMA cipher_page_size=4096;" + sql;
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_exec(db, keyed.c_str(),
                      [](void* p, int n, char** v, char**) {
                        if (auto* o = static_cast<std::vector<std::string>*>(p); o && n > 0)
                          o->push_back(v[0] ? v[0] : "");
                        return 0;
                      },
                      out, nullptr);
  sqlite3_close(db);
  return rc;
}

std::vector<std::string> names(const pf::FileDesc& d) {
  std::vector<std::string> out;
  Rec r;
  pf::File f(d, &r);
  if (f.open() != 0) return out;
  f.set();
  while (f.next() == 0) out.push_back(r.NAME.clip());
  f.close();
  return out;
}

pf::FileDesc keyless(const std::string& diskName) {
  pf::FileDesc d = desc(diskName);
  d.keys.clear();
  return d;
}

TEST(JointChange, ARewriteMatchesAsTheKeyDoes) {
  qbtest::TempDir dir;
  const std::vector<Row> rows = {{"News"}, {"news"}, {"NEWS"}, {" News"}, {"Newsy"}, {"Other"}};
  // One file whose field is in a key, one whose field is in none.
  for (const pf::FileDesc& d : {desc("keyed.tps"), keyless("plain.tps")}) [&] {
    SCOPED_TRACE(d.diskName);
    make(d, rows);
    Rec r;
    pf::File f(d, &r);
    ASSERT_EQ(f.open(), 0);
    pf::JointChange change;
    change.rewrite(f, 0, "nEWs  ", "Press");
    ASSERT_EQ(change.commit(), 0);
    EXPECT_EQ(change.changed(), (std::vector<std::int64_t>{3}));
    // Leading blanks and other words are other names.
    EXPECT_EQ(names(d), (std::vector<std::string>{"Press", "Press", "Press", " News", "Newsy", "Other"}));
    if (!d.keys.empty()) {
      // The key follows: the new name is found by it, the old one no more.
      r.NAME = "PRESS";
      EXPECT_EQ(f.get(d.keys[0]), 0);
      r.NAME = "news";
      EXPECT_EQ(f.get(d.keys[0]), Err::RecordNotAvailable);
    }
    f.close();
  }();
}

TEST(JointChange, TheNewTextIsStoredAsAWriteOfTheRecordStoresIt) {
  qbtest::TempDir dir;
  const pf::FileDesc d = desc("names.tps");
  make(d, {{"News"}, {"Shops"}, {"Other"}});
  // An earlier version stored names padded to the field.
  ASSERT_EQ(rawSql(dir.file("names.tps"), "UPDATE rec SET \"NAME\"='News' || printf('%16s','') WHERE rowid=1"),
            SQLITE_OK);
  const std::string padded = std::string("Press") + std::string(15, ' ');
  std::string elevenE;
  for (int i = 0; i < 11; ++i) elevenE += "\xC3\xA9";  // 22 bytes for a 20-byte field
  Rec r;
  pf::File f(d, &r);
  ASSERT_EQ(f.open(), 0);
  pf::JointChange change;
  change.rewrite(f, 0, "news", padded);
  pf::Position shops, other;
  shops.row = 2;
  other.row = 3;
  change.setIfStill(f, shops, 0, "Shops     ", "Market   ");
  change.set(f, other, 0, elevenE);
  ASSERT_EQ(change.commit(), 0);
  f.close();
  std::vector<std::string> stored;
  ASSERT_EQ(rawSql(dir.file("names.tps"), "SELECT \"NAME\" FROM rec ORDER BY rowid", &stored), SQLITE_OK);
  std::string tenE;
  for (int i = 0; i < 10; ++i) tenE += "\xC3\xA9";
  EXPECT_EQ(stored, (std::vector<std::string>{"Press", "Market", tenE}));
  // Found by its key as any name is.
  ASSERT_EQ(f.open(), 0);
  r.NAME = "press";
  EXPECT_EQ(f.get(d.keys[0]), 0);
  f.close();
}

// An encrypted first file, a plain one and one encrypted under another password.
struct ThreeFiles {
  pf::FileDesc main = desc("main.tps", "first secret"), side = desc("side.tps"),
               third = desc("third.tps", "second secret");
  Rec rm, rs, rt;
  pf::File fm{main, &rm}, fs{side, &rs}, ft{third, &rt};

  ThreeFiles() {
    make(main, {{"News"}, {"Shops"}, {"news"}});
    make(side, {{"Shops"}, {"News"}});
    make(third, {{"NEWS"}});
  }
  int open() { return fm.open() | fs.open() | ft.open(); }
  void close() {
    fm.close();
    fs.close();
    ft.close();
  }
};

TEST(JointChange, EveryFileTakesTheChangeOrNone) {
  struct Case {
    const char* name;
    std::int64_t sideRow;  // the side record the change names
    int code;
    const char* asRead = nullptr;  // the name the side record was read with, when given
  } cases[] = {{"whole", 2, 0},
               {"a record gone", 99, Err::RecordNotAvailable},
               {"a record still as it was read", 2, 0, "News  "},
               {"a record another writer changed meanwhile", 2, Err::FileChanged, "news"},
               {"a record gone since it was read", 99, Err::RecordNotAvailable, "News"}};
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(c.name);
    qbtest::TempDir dir;
    ThreeFiles t;
    ASSERT_EQ(t.open(), 0);
    pf::JointChange change;
    change.rewrite(t.fm, 0, "News", "Press");
    if (c.asRead)
      change.setIfStill(t.fs, pf::Position{c.sideRow, {}}, 0, c.asRead, "Press");
    else
      change.set(t.fs, pf::Position{c.sideRow, {}}, 0, "Press");
    change.rewrite(t.ft, 0, "News", "Press");
    EXPECT_EQ(change.commit(), c.code) << pf::error() << " / " << pf::errorfile() << " / " << pf::currentErrorStatus().extra;
    if (c.code != 0) {
      EXPECT_EQ(change.failedFile(), &t.fs);
      EXPECT_EQ(pf::errorcode(), c.code);
      EXPECT_EQ(pf::errorfile(), "side.tps");
    }
    t.close();
    if (c.code == 0) {
      EXPECT_EQ(change.changed(), (std::vector<std::int64_t>{2, 1, 1}));
      EXPECT_EQ(names(t.main), (std::vector<std::string>{"Press", "Shops", "Press"}));
      EXPECT_EQ(names(t.side), (std::vector<std::string>{"Shops", "Press"}));
      EXPECT_EQ(names(t.third), (std::vector<std::string>{"Press"}));
    } else {
      EXPECT_EQ(names(t.main), (std::vector<std::string>{"News", "Shops", "news"}));
      EXPECT_EQ(names(t.side), (std::vector<std::string>{"Shops", "News"}));
      EXPECT_EQ(names(t.third), (std::vector<std::string>{"NEWS"}));
    }
    // Each file keeps its own key: the plain one stays readable by any tool, the
    // encrypted ones only with theirs.
    std::vector<std::string> out;
    EXPECT_EQ(keyedSql(dir.file("side.tps"), "", "SELECT count(*) FROM rec", &out), SQLITE_OK);
    EXPECT_NE(keyedSql(dir.file("third.tps"), "first secret", "SELECT count(*) FROM rec"), SQLITE_OK);
    EXPECT_EQ(keyedSql(dir.file("third.tps"), "second secret", "SELECT count(*) FROM rec"), SQLITE_OK);
  }();
}

TEST(JointChange, AFileThatCannotBeWrittenIsRefusedBeforeAnythingChanges) {
  struct Case {
    const char* name;
    int sideMode;  // -1: not open
    int code;
  } cases[] = {{"not open", -1, Err::NotOpen},
               {"read-only", pf::OpenMode::ReadOnly | pf::OpenMode::DenyNone, Err::AccessDenied}};
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(c.name);
    qbtest::TempDir dir;
    ThreeFiles t;
    ASSERT_EQ(t.fm.open(), 0);
    if (c.sideMode >= 0) {
      ASSERT_EQ(t.fs.open(c.sideMode), 0);
    }
    pf::JointChange change;
    change.rewrite(t.fm, 0, "News", "Press");
    change.rewrite(t.fs, 0, "News", "Press");
    EXPECT_EQ(change.commit(), c.code) << pf::error() << " / " << pf::errorfile() << " / " << pf::currentErrorStatus().extra;
    EXPECT_EQ(change.failedFile(), &t.fs);
    t.close();
    EXPECT_EQ(names(t.main), (std::vector<std::string>{"News", "Shops", "news"}));
  }();
}

std::int64_t fileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// A journal still holding pages, or a super-journal: the kill came inside the commit.
bool commitInterrupted(const qbtest::TempDir& dir) {
  if (fileSize(dir.file("main.tps-journal")) > 0 || fileSize(dir.file("side.tps-journal")) > 0) return true;
  bool super = false;
  if (DIR* d = opendir(dir.path().c_str())) {
    while (dirent* e = readdir(d))
      if (std::string(e->d_name).find("-mj") != std::string::npos) super = true;
    closedir(d);
  }
  return super;
}

TEST(JointChange, AKillAtAnyMomentOfTheCommitLeavesAllOrNothing) {
  qbtest::TempDir dir;
  const pf::FileDesc main = desc("main.tps", "first secret"), side = desc("side.tps");
  const int n = 20000;
  std::vector<Row> many(n, Row{"News"});
  for (int i = 0; i < n; ++i) many[static_cast<std::size_t>(i)].notes = "notes of website " + std::to_string(i);
  make(main, many);
  make(side, {{"Shops"}, {"News"}});
  const std::string mainBytes = slurp(dir.file("main.tps")), sideBytes = slurp(dir.file("side.tps"));

  // The child commits the change; the parent kills it after `delay`, or lets it finish.
  auto run = [&](std::chrono::microseconds delay, bool kill) {
    spit(dir.file("main.tps"), mainBytes);
    spit(dir.file("side.tps"), sideBytes);
    int ready[2];
    if (pipe(ready) != 0) return std::chrono::microseconds(-1);
    pid_t child = fork();
    if (child == 0) {
      Rec rm, rs;
      pf::File fm(main, &rm), fs(side, &rs);
      if (fm.open() != 0 || fs.open() != 0) _exit(2);
      pf::JointChange change;
      // The small step first: a commit that is not one would show it at once.
      change.set(fs, pf::Position{2, {}}, 0, "Press");
      change.rewrite(fm, 0, "news", "Press");
      (void)!write(ready[1], "r", 1);
      _exit(change.commit() == 0 ? 0 : 1);
    }
    char c;
    (void)!read(ready[0], &c, 1);
    auto start = std::chrono::steady_clock::now();
    if (kill) {
      std::this_thread::sleep_for(delay);
      ::kill(child, SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
    close(ready[0]);
    close(ready[1]);
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
  };
  const auto whole = run({}, false);
  ASSERT_GT(whole.count(), 0);

  int interrupted = 0;
  for (double at : {0.0, 0.1, 0.25, 0.4, 0.55, 0.7, 0.85, 0.95, 1.2}) [&] {
    SCOPED_TRACE(at);
    run(std::chrono::microseconds(static_cast<std::int64_t>(whole.count() * at)), true);
    if (commitInterrupted(dir)) ++interrupted;
    // Opening the files plays back what the kill left.
    std::vector<std::string> mainNames = names(main), sideNames = names(side);
    ASSERT_EQ(mainNames.size(), static_cast<std::size_t>(n));
    std::size_t renamed = std::count(mainNames.begin(), mainNames.end(), "Press");
    EXPECT_TRUE(renamed == 0 || renamed == mainNames.size()) << renamed;
    EXPECT_EQ(sideNames, (std::vector<std::string>{"Shops", renamed ? "Press" : "News"}));
    for (const auto& [file, key] : {std::pair{"main.tps", "first secret"}, std::pair{"side.tps", ""}}) {
      std::vector<std::string> check;
      EXPECT_EQ(keyedSql(dir.file(file), key, "PRAGMA integrity_check", &check), SQLITE_OK);
      EXPECT_EQ(check, (std::vector<std::string>{"ok"})) << file;
    }
  }();
  // Some kills must have met the commit at work, or the table proved nothing.
  EXPECT_GT(interrupted, 0);
}

}  // namespace
}  // namespace storetest
