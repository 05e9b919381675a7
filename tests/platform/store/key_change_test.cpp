// Changing the key of two encrypted files together: what opens them afterwards, what
// other connections see, and what a failure or a kill -9 at any moment leaves behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "platform/core/errors.h"
#include "platform/runtime/runtime.h"
#include "platform/runtime/testing.h"
#include "platform/store/cipher.h"
#include "platform/store/key_change.h"
#include "tests/platform/store/store_fixture.h"
#include "tests/support/file_modes.h"
#include "tests/support/quick_rounds.h"
#include "tests/support/temp_dir.h"

using namespace storetest;
namespace Err = pf::Err;
using pf::KeyFit;

namespace {

// Two files keyed alike through one key source, as a program keeps its encrypted files.
struct Pair {
  Pair() { key.setPasswordRounds(qbtest::kQuickRounds); }
  pf::FileKey key{pf::Secret("owner-words")};
  pf::FileDesc one = keyed("one.tps"), two = keyed("two.tps");
  std::vector<const pf::FileDesc*> files() const { return {&one, &two}; }

  pf::FileDesc keyed(const char* name) {
    pf::FileDesc d = desc(name);
    d.cipher = &key;
    return d;
  }
  // Both files with `n` records (one deleted on the way, so positions have a gap).
  void make(int n) {
    for (const pf::FileDesc* d : files()) {
      std::vector<Row> rows;
      for (int i = 0; i < n; ++i) rows.push_back({"name" + std::to_string(i), "c", 0, i, "memo " + std::to_string(i)});
      storetest::make(*d, rows);
      Rec r;
      pf::File f(*d, &r);
      f.open();
      f.set();
      f.next();
      f.remove();
      f.close();
    }
  }
};

// The names of the records, in record order; empty when the file does not open.
std::vector<std::string> names(const pf::FileDesc& d) {
  Rec r;
  pf::File f(d, &r);
  std::vector<std::string> out;
  if (f.open() != 0) return out;
  f.set();
  while (f.next() == 0) out.push_back(r.NAME.clip());
  return out;
}

std::vector<std::string> expectedNames(int n) {
  std::vector<std::string> out;
  for (int i = 1; i < n; ++i) out.push_back("name" + std::to_string(i));
  return out;
}

class KeyChange : public ::testing::Test {
 protected:
  qbtest::TempDir dir;
  Pair p;
  pf::CipherKey owner = p.key.with(""), secret = p.key.with("Secret99"), other = p.key.with("Other123");
};

TEST_F(KeyChange, OnlyTheKeyInForceOpensEitherFileAndNoRecordIsLost) {
  p.make(30);
  struct Step {
    const char* to;
    pf::CipherKey* key;
  };
  Step steps[] = {{"a password", &secret}, {"another password", &other}, {"the owner password alone", &owner}};
  for (const auto& s : steps) [&] {
    SCOPED_TRACE(s.to);
    std::string why;
    ASSERT_EQ(pf::changeKey(p.files(), p.key, *s.key, &why), 0) << why;
    for (const pf::FileDesc* d : p.files()) {
      SCOPED_TRACE(d->diskName);
      for (pf::CipherKey* k : {&owner, &secret, &other})
        EXPECT_EQ(pf::tryKey(*d, *k), k == s.key ? KeyFit::Opens : KeyFit::WrongKey);
      EXPECT_EQ(names(*d), expectedNames(30));
      EXPECT_FALSE(pf::fileExists(d->diskName + ".qbkey"));
    }
    EXPECT_EQ(p.key.hasPassword(), s.key != &owner);
  }();
  EXPECT_FALSE(pf::fileExists("quillbox-rekey.journal"));
  // Positions are not handed out again: the copy kept the file's counter.
  Rec r;
  pf::File f(p.one, &r);
  ASSERT_EQ(f.open(), 0);
  fill(r, {"new", "", 0, 0, ""});
  ASSERT_EQ(f.add(), 0);
  EXPECT_EQ(f.position().row, 31);
}

TEST_F(KeyChange, ReKeyedFilesAreStillTheirOwnersAlone) {
  qbtest::ScopedUmask anyoneMay(0);
  p.make(3);
  for (pf::CipherKey* k : {&secret, &owner}) {
    ASSERT_EQ(pf::changeKey(p.files(), p.key, *k), 0);
    for (const char* f : {"one.tps", "two.tps"}) EXPECT_EQ(qbtest::modeOf(f), 0600) << f;
  }
}

TEST_F(KeyChange, WhatTheKeyOpensIsToldApartFromDamage) {
  p.make(3);
  std::string bytes = slurp(dir.file("one.tps"));
  struct Case {
    const char* what;
    std::function<void()> damage;
    KeyFit right, wrong;
  } cases[] = {
      {"no file", [] { ::unlink("one.tps"); }, KeyFit::Missing, KeyFit::Missing},
      {"intact", [] {}, KeyFit::Opens, KeyFit::WrongKey},
      {"no bytes", [] { spit("one.tps", ""); }, KeyFit::Damaged, KeyFit::Damaged},
      {"not whole pages", [&] { spit("one.tps", bytes.substr(0, bytes.size() - 100)); }, KeyFit::Damaged, KeyFit::Damaged},
      {"a plain database", [] {
         ::unlink("one.tps");
         rawSql("one.tps", "CREATE TABLE t(x); INSERT INTO t VALUES(1);");
       }, KeyFit::Damaged, KeyFit::Damaged},
      {"a folder", [] {
         ::unlink("one.tps");
         ::mkdir("one.tps", 0700);
       }, KeyFit::Damaged, KeyFit::Damaged},
      // A key that reads the first page sees the damage behind it; a wrong one cannot.
      {"pages after the first overwritten", [&] {
         std::string b = bytes;
         std::fill(b.begin() + 4096, b.end(), '\x55');
         spit("one.tps", b);
       }, KeyFit::Damaged, KeyFit::WrongKey},
      // No key reads the first page; the pages behind it still tell the file's own key.
      {"first page overwritten", [&] {
         std::string b = bytes;
         std::fill(b.begin() + 16, b.begin() + 4096, '\x55');
         spit("one.tps", b);
       }, KeyFit::Damaged, KeyFit::WrongKey},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    ::rmdir("one.tps");
    spit("one.tps", bytes);
    c.damage();
    EXPECT_EQ(pf::tryKey(p.one, owner), c.right);
    EXPECT_EQ(pf::tryKey(p.one, secret), c.wrong);
  }
}

TEST_F(KeyChange, AFileLeftMidWriteByAKillIsStillToldByItsKey) {
  p.make(3);
  pid_t child = fork();
  if (child == 0) {
    Rec r;
    pf::File f(p.one, &r);
    if (f.open() != 0 || f.logout() != 0) _exit(2);
    for (int i = 0; i < 2000; ++i) {
      fill(r, {"pending", "", 0, i, std::string(90, 'x')});
      f.add();
    }
    kill(getpid(), SIGKILL);  // the journal is left hot
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  ASSERT_GT(slurp(dir.file("one.tps-journal")).size(), 0u);
  EXPECT_EQ(pf::tryKey(p.one, secret), KeyFit::WrongKey);
  EXPECT_EQ(pf::tryKey(p.one, owner), KeyFit::Opens);
  EXPECT_EQ(names(p.one), expectedNames(3)) << "the unfinished records are rolled back";
}

TEST_F(KeyChange, ConnectionsOpenedBeforeTheChangeGoOnWithTheNewKey) {
  p.make(600);
  Rec r;
  pf::File reader(p.one, &r);
  ASSERT_EQ(reader.open(), 0);
  reader.set(*p.one.key("TST:NameKey"));
  for (int i = 0; i < 5; ++i) ASSERT_EQ(reader.next(), 0);
  std::string fifth = r.NAME.clip();
  Rec w;
  pf::File writer(p.two, &w);
  ASSERT_EQ(writer.open(), 0);

  ASSERT_EQ(pf::changeKey(p.files(), p.key, secret), 0);

  // The sequence goes on where it was, in the replaced file.
  std::vector<std::string> rest;
  while (reader.next() == 0) rest.push_back(r.NAME.clip());
  EXPECT_EQ(pf::errorcode(), Err::RecordNotAvailable);
  EXPECT_EQ(rest.size(), 599u - 5);
  EXPECT_GT(rest.front(), fifth);
  // A write lands in the file that is there now, under the new key.
  fill(w, {"after the change", "", 0, 0, ""});
  ASSERT_EQ(writer.add(), 0);
  writer.close();
  reader.close();
  EXPECT_EQ(pf::tryKey(p.two, secret), KeyFit::Opens);
  EXPECT_EQ(names(p.two).back(), "after the change");
}

TEST_F(KeyChange, AFailedChangeLeavesEveryFileUnderTheOldKey) {
  p.make(10);
  struct Case {
    const char* what;
    std::function<void()> before, after;
    int code;
  };
  Rec r;
  pf::File busy(p.two, &r);
  Case cases[] = {
      // Another connection half-way through its writes.
      {"a transaction open on the second file",
       [&] {
         ASSERT_EQ(busy.open(), 0);
         ASSERT_EQ(busy.logout(), 0);
       },
       [&] {
         busy.rollback();
         busy.close();
       },
       Err::Locked},
      {"the copy of the second file cannot be written",
       [] { ::mkdir("two.tps.qbkey", 0700); }, [] { ::rmdir("two.tps.qbkey"); }, Err::AccessDenied},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.before();
    std::string why;
    EXPECT_EQ(pf::changeKey(p.files(), p.key, secret, &why), c.code);
    EXPECT_NE(why.find("two.tps"), std::string::npos) << why;
    c.after();
    EXPECT_FALSE(p.key.hasPassword());
    for (const pf::FileDesc* d : p.files()) {
      EXPECT_EQ(pf::tryKey(*d, owner), KeyFit::Opens) << d->diskName;
      EXPECT_EQ(names(*d), expectedNames(10));
      EXPECT_FALSE(pf::fileExists(d->diskName + ".qbkey"));
    }
    EXPECT_FALSE(pf::fileExists("quillbox-rekey.journal"));
  }
}

// Every name under `dir` with what it is: a link and where it points, or the bytes held.
std::map<std::string, std::string> folderState(const std::string& dir) {
  std::map<std::string, std::string> out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
    std::string name = e.path().string().substr(dir.size());
    if (e.is_symlink())
      out[name] = "link to " + std::filesystem::read_symlink(e.path()).string();
    else if (e.is_regular_file())
      out[name] = slurp(e.path().string());
    else
      out[name] = "folder";
  }
  return out;
}

void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

TEST_F(KeyChange, AJournalThatIsNotTheProgramsOwnRenamesAndRemovesNothing) {
  const std::string journal = "quillbox-rekey.journal";
  // Files of the user's outside the data folder, and one of the folder's that is not ours.
  const std::string home = dir.file("home");
  const struct {
    const char* what;
    std::function<void()> craft;  // lays out the copies and links and writes the journal
    const char* why;              // what the refusal says
  } cases[] = {
      {"a file outside the folder",
       [&] { writeText(journal, dir.file("payload") + "\t" + home + "/.bashrc\n"); }, "outside the data folder"},
      {"another file of the folder", [&] { writeText(journal, "payload\tnotes.txt\n"); }, "not the program's"},
      {"the program's names behind a separator",
       [&] {
         writeText("one.tps.qbkey", "payload");
         writeText(journal, "./one.tps.qbkey\t./one.tps\n");
       },
       "outside the data folder"},
      {"one file's copy over the other file",
       [&] {
         writeText("one.tps.qbkey", "payload");
         writeText(journal, "one.tps.qbkey\ttwo.tps\n");
       },
       "not the program's"},
      {"a copy that is a link",
       [&] {
         ::symlink((home + "/.bashrc").c_str(), "one.tps.qbkey");
         writeText(journal, "one.tps.qbkey\tone.tps\n");
       },
       "one.tps.qbkey is a link"},
      {"a copy that is another name of a file elsewhere",
       [&] {
         ::link((home + "/.bashrc").c_str(), "one.tps.qbkey");
         writeText(journal, "one.tps.qbkey\tone.tps\n");
       },
       "another name"},
      {"a data file that is a link",
       [&] {
         ::rename("one.tps", (home + "/one.tps").c_str());
         ::symlink((home + "/one.tps").c_str(), "one.tps");
         writeText("one.tps.qbkey", "payload");
         writeText(journal, "one.tps.qbkey\tone.tps\n");
       },
       "one.tps is a link"},
      {"a copy of another user's",
       [&] {
         writeText("one.tps.qbkey", "payload");
         ASSERT_EQ(::chown("one.tps.qbkey", 65534, 65534), 0);
         writeText(journal, "one.tps.qbkey\tone.tps\n");
       },
       "belongs to another user"},
      {"a file named twice",
       [&] {
         writeText("one.tps.qbkey", "payload");
         writeText(journal, "one.tps.qbkey\tone.tps\none.tps.qbkey\tone.tps\n");
       },
       "twice"},
      {"a journal that is a link",
       [&] {
         writeText("one.tps.qbkey", "payload");
         writeText(home + "/j", "one.tps.qbkey\tone.tps\n");
         ::symlink((home + "/j").c_str(), journal.c_str());
       },
       "is a link"},
      {"lines without a copy", [&] { writeText(journal, "one.tps\n"); }, "not a journal of this program"},
      {"an empty journal", [&] { writeText(journal, ""); }, "not a journal of this program"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (std::string(c.what).find("another user") != std::string::npos && ::geteuid() != 0) continue;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) std::filesystem::remove_all(e.path());
    // Nothing is opened before the journal is found to be ours: the files' bytes are enough.
    writeText("one.tps", "the first file");
    writeText("two.tps", "the second file");
    ::mkdir(home.c_str(), 0700);
    writeText(home + "/.bashrc", "echo hello\n");
    writeText("payload", "payload");
    writeText("notes.txt", "my notes\n");
    c.craft();
    const auto before = folderState(dir.path());
    std::string why;
    EXPECT_NE(pf::completeKeyChange(p.files(), &why), 0);
    EXPECT_NE(why.find(c.why), std::string::npos) << why;
    EXPECT_EQ(folderState(dir.path()), before);
    // Nor does a change of the key go past it.
    EXPECT_NE(pf::changeKey(p.files(), p.key, secret), 0);
    EXPECT_EQ(folderState(dir.path()), before);
    EXPECT_FALSE(p.key.hasPassword());
  }
}

// The first stretch of a key is held on its worker until a change of the key has been
// made on another program thread meanwhile.
std::atomic<bool> stretching{false}, changed{false};
std::mutex changeMutex;
std::condition_variable changeMade;
void holdTheFirstStretch() {
  if (stretching.exchange(true)) return;
  std::unique_lock<std::mutex> l(changeMutex);
  changeMade.wait_for(l, std::chrono::seconds(60), [] { return changed.load(); });
}

TEST_F(KeyChange, AChangeOfKeyWhileAFirstOpenStretchesItsKeyLeavesTheOpenItsOwn) {
  p.make(5);
  // The first file as it is now: what the key the open begins with opens.
  std::filesystem::copy_file("one.tps", "before.tps");
  pf::resetDerivedKeys();
  stretching = changed = false;
  pf::setStretchProbe(holdTheFirstStretch);
  pf::testing::resetRuntime();
  int opened = -1, change = -1;
  std::vector<std::string> seen;
  pf::start(
      [&] {
        Rec r;
        pf::File f(p.one, &r);
        opened = f.open();
        f.set();
        while (f.next() == 0) seen.push_back(r.NAME.clip());
        f.close();
      },
      50000);
  pf::start(
      [&] {
        for (int i = 0; !stretching && i < 12000; ++i) pf::yieldFor(5);
        change = pf::changeKey(p.files(), p.key, secret);
        {
          std::lock_guard<std::mutex> l(changeMutex);
          changed = true;
        }
        changeMade.notify_all();
      },
      50000);
  pf::runUntilIdle();
  pf::setStretchProbe(nullptr);
  pf::testing::resetRuntime();
  EXPECT_TRUE(stretching);
  EXPECT_EQ(change, 0);
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(seen, expectedNames(5));
  // The stretch the open waited for was of the key it began with, and keys stretched once
  // a process are still in use.
  EXPECT_TRUE(pf::derivedKeysProven());
  EXPECT_TRUE(pf::laterPagesTakeKey("before.tps", owner));
  EXPECT_EQ(names(p.one), expectedNames(5));
}

// After a kill and the next start's clean-up: one key opens both files, with every record.
void expectOneKey(Pair& p, const std::vector<pf::CipherKey*>& keys, int records, const std::string& when) {
  std::string why;
  EXPECT_EQ(pf::completeKeyChange(p.files(), &why), 0) << when << ": " << why;
  int opening = 0;
  for (pf::CipherKey* k : keys) {
    KeyFit a = pf::tryKey(p.one, *k), b = pf::tryKey(p.two, *k);
    EXPECT_EQ(a, b) << when << ": the two files answer one key differently";
    if (a == KeyFit::Opens && b == KeyFit::Opens) {
      ++opening;
      p.key.use(pf::CipherKey(*k));
    }
  }
  ASSERT_EQ(opening, 1) << when;
  EXPECT_EQ(names(p.one), expectedNames(records)) << when;
  EXPECT_EQ(names(p.two), expectedNames(records)) << when;
  for (const char* left : {"one.tps.qbkey", "two.tps.qbkey", "quillbox-rekey.journal", "quillbox-rekey.journal.tmp"})
    EXPECT_FALSE(pf::fileExists(left)) << when << ": " << left;
}

int killStep = 0;

// Killed after each step in turn: the journal is in place from step 4 on.
class KeyChangeKilled : public KeyChange, public ::testing::WithParamInterface<int> {};

TEST_P(KeyChangeKilled, BothFilesAreLeftUnderOneKey) {
  const int at = GetParam();
  p.make(50);
  pid_t child = fork();
  if (child == 0) {
    killStep = at;
    pf::setKeyChangeProbe([](int step) {
      if (step == killStep) kill(getpid(), SIGKILL);
    });
    pf::changeKey(p.files(), p.key, secret);
    _exit(3);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  expectOneKey(p, {&owner, &secret}, 50, "killed after step " + std::to_string(at));
  EXPECT_EQ(p.key.hasPassword(), at >= 4) << "the new key holds from the journal on";
}

INSTANTIATE_TEST_SUITE_P(AtEveryStep, KeyChangeKilled, ::testing::Range(1, 9));

TEST_F(KeyChange, AKillAtAnyMomentOfRepeatedChangesLeavesBothFilesUnderOneKey) {
  p.make(3000);
  std::mt19937 random(12345);
  for (int round = 0; round < 12; ++round) {
    pid_t child = fork();
    if (child == 0) {
      for (;;) pf::changeKey(p.files(), p.key, p.key.hasPassword() ? owner : secret);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50 + random() % 700));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    expectOneKey(p, {&owner, &secret}, 3000, "round " + std::to_string(round));
  }
}

}  // namespace
