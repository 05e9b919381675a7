// The data backup of the shipped program on a large file, killed at each moment of its
// work or meeting another process that writes meanwhile.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "data/dictionary.h"
#include "platform/store/cipher.h"
#include "platform/store/file.h"
#include "tests/support/child_process.h"
#include "tests/support/file_modes.h"
#include "tests/support/record_files.h"
#include "tests/support/temp_dir.h"

namespace qbtest {
namespace {

int run(const std::vector<std::string>& argv) {
  ChildProcess p(argv);
  p.closeInput();
  return p.wait();
}

void generate(int websites) { ASSERT_EQ(run({QUILLBOX_GEN, std::to_string(websites)}), 0); }

template <class Record>
int countIn(const pf::FileDesc& desc, const std::string& path) {
  pf::FileDesc copy = desc;
  copy.diskName = path;
  Record r;
  pf::File f(copy, &r);
  if (f.open(pf::OpenMode::ReadOnly | pf::OpenMode::DenyNone) != 0) return -1;
  int n = static_cast<int>(f.records());
  f.close();
  return n;
}

// SQLite's own check of a copy, opened with the key of the file it was made from.
std::string integrityOf(const std::string& path, const pf::FileDesc& desc) {
  sqlite3* db = nullptr;
  std::string result;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      pf::keyConnection(db, pf::currentKey(desc)) == SQLITE_OK) {
    char* err = nullptr;
    sqlite3_exec(db, "PRAGMA integrity_check",
                 [](void* p, int, char** v, char**) {
                   *static_cast<std::string*>(p) += v[0] ? v[0] : "";
                   return 0;
                 },
                 &result, &err);
    if (err) result = err;
    sqlite3_free(err);
  }
  sqlite3_close(db);
  return result;
}

// The categories tell one round's set from another's.
void addCategory(const std::string& name) {
  addRecords<CategoryRecord>(CategoryDesc(), std::vector<std::string>{name},
                             [](CategoryRecord& r, const std::string& n) { r.CATEGORY = n; });
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

bool hasData(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

ino_t inodeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// The moments of a backup a kill comes at, each as the destination shows it from outside:
// `staging` is the folder the copies are made in, `set` the backup folder, `oldSet` what
// the backup folder was before.
struct Moment {
  const char* what;
  bool (*reached)(const std::string& staging, const std::string& set, ino_t oldSet);
};
const Moment Moments[] = {
    {"the folder for the copies made", [](const std::string& s, const std::string&, ino_t) { return exists(s); }},
    {"the websites half copied",
     [](const std::string& s, const std::string&, ino_t) { return hasData(s + "/wsites.tps"); }},
    {"the websites copied",
     [](const std::string& s, const std::string&, ino_t) { return exists(s + "/Defaults.tps"); }},
    {"the last file begun",
     [](const std::string& s, const std::string&, ino_t) { return exists(s + "/Category.tps"); }},
    {"the two sets changed places",
     [](const std::string&, const std::string& set, ino_t old) { return inodeOf(set) != old; }},
    {"the backup complete",
     [](const std::string& s, const std::string& set, ino_t old) { return inodeOf(set) != old && !exists(s); }},
};

class BackupProcesses : public ::testing::Test {
 protected:
  void SetUp() override {
    usb = dir.path() + "/usb";
    set = usb + "/SitesBup/";
    ::mkdir(usb.c_str(), 0777);
    std::ofstream("Drives.ini") << "[Drives]\nE=" << usb << "\n";
  }
  // The program with its backup window open, drive E: chosen.
  std::unique_ptr<ChildProcess> readyToBackUp() {
    auto p = std::make_unique<ChildProcess>(std::vector<std::string>{QUILLBOX_DRIVE, "--quiet"});
    for (const char* line : {"close", "choose ?FILECREATEADATABACKUP", "click ?EBUT"}) p->send(line);
    EXPECT_TRUE(p->waitFor("> click ?EBUT"));
    return p;
  }
  void backUpWhole() {
    auto p = readyToBackUp();
    for (const char* line : {"click ?STARTBUP", "answer &No", "quit"}) p->send(line);
    p->closeInput();
    EXPECT_EQ(p->wait(), 0);
  }
  std::pair<int, int> setCounts() {
    return {countIn<WSitesRecord>(WSitesDesc(), set + "wsites.tps"),
            countIn<CategoryRecord>(CategoryDesc(), set + "Category.tps")};
  }

  TempDir dir;
  std::string usb, set;
};

TEST_F(BackupProcesses, AKillAtAnyMomentLeavesTheOldSetOrTheNew) {
  generate(3000);
  backUpWhole();
  std::pair<int, int> last = setCounts();
  ASSERT_EQ(last.first, 3000);
  generate(30000);
  const std::string staging = usb + "/SitesBup.qbcopy", folder = usb + "/SitesBup";

  int leftToMend = 0, round = 0;
  for (const Moment& m : Moments) {
    SCOPED_TRACE(m.what);
    addCategory("Round " + std::to_string(round++));
    std::pair<int, int> source = {countIn<WSitesRecord>(WSitesDesc(), "wsites.tps"),
                                  countIn<CategoryRecord>(CategoryDesc(), "Category.tps")};
    const ino_t oldSet = inodeOf(folder);
    auto p = readyToBackUp();
    p->send("click ?STARTBUP");
    // Watched as closely as the machine allows; the kill follows at once.
    bool came = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!(came = m.reached(staging, folder, oldSet)) && std::chrono::steady_clock::now() < deadline) {}
    p->kill9();
    EXPECT_TRUE(came) << "the backup never got there";
    if (exists(staging)) ++leftToMend;

    std::pair<int, int> now = setCounts();
    EXPECT_TRUE(now == last || now == source)
        << "set of " << now.first << " websites and " << now.second << " categories; before " << last.first << "/"
        << last.second << ", source " << source.first << "/" << source.second;
    EXPECT_EQ(integrityOf(set + "wsites.tps", WSitesDesc()), "ok");
    EXPECT_EQ(integrityOf(set + "Category.tps", CategoryDesc()), "ok");
    last = now;
  }
  EXPECT_GT(leftToMend, 0) << "no kill came while the copies were written";

  // The next backup tidies whatever the kills left: the backup folder and its copies only.
  backUpWhole();
  EXPECT_EQ(setCounts().first, countIn<WSitesRecord>(WSitesDesc(), "wsites.tps"));
  std::map<std::string, int> entries;
  entriesBelow(usb, entries);
  std::set<std::string> left;
  for (const auto& e : entries) left.insert(e.first);
  EXPECT_EQ(left, (std::set<std::string>{"SitesBup", "SitesBup/wsites.tps", "SitesBup/Defaults.tps",
                                         "SitesBup/Access.tps", "SitesBup/Category.tps"}));
}

// Another program adding websites all along, kLot at a time in one transaction each,
// however long a lot takes. (quillbox-gen commits whenever a time slice is spent, so on
// a busy machine its lots are cut into several transactions.) Ends only by SIGKILL.
constexpr int kLot = 1000;

[[noreturn]] void addLotsAllAlong() {
  ::setpgid(0, 0);
  WSitesRecord r;
  pf::File f(WSitesDesc(), &r);
  for (int lot = 0;; ++lot) {
    if (f.open() == 0) {
      bool whole = f.logout() == 0;
      for (int i = 0; whole && i < kLot; ++i) {
        r = WSitesRecord{};
        r.DESCRIPTION = "Lot " + std::to_string(lot) + " site " + std::to_string(i);
        r.WEBADDRESS = "https://lot" + std::to_string(lot) + ".example/" + std::to_string(i);
        r.CATEGORY = "News";
        whole = f.add() == 0;
      }
      // A lot that meets the backup's lock goes back whole and is tried again.
      if (!whole || f.commit() != 0) f.rollback();
      f.close();
    }
    ::usleep(20 * 1000);
  }
}

TEST_F(BackupProcesses, AnotherProgramWritingMeanwhileGetsNoHalfWrittenCopy) {
  generate(30000);
  pid_t writer = fork();
  if (writer == 0) addLotsAllAlong();
  ::setpgid(writer, writer);
  // Stopped however the test ends.
  struct Stop {
    pid_t group;
    ~Stop() {
      ::kill(-group, SIGKILL);
      ::waitpid(group, nullptr, 0);
    }
  } stop{writer};
  // The backups start once the writer is at work, however slow the machine.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (countIn<WSitesRecord>(WSitesDesc(), "wsites.tps") <= 30000 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_GT(countIn<WSitesRecord>(WSitesDesc(), "wsites.tps"), 30000) << "the writer never committed a lot";
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    backUpWhole();
    int n = setCounts().first;
    EXPECT_GT(n, 30000);
    EXPECT_EQ(n % kLot, 0) << n << " websites: a transaction cut in two";
    EXPECT_EQ(integrityOf(set + "wsites.tps", WSitesDesc()), "ok");
  }
}

}  // namespace
}  // namespace qbtest
