// kill -9 during a category rename, through the shipped binaries: quillbox-gen writes the
// websites, quillbox-drive renames their category in many time slices and is killed
// between two slices or while the rename is being written. Afterwards every file is
// sound, no website is lost, and the websites, the category and the preferences all carry
// the old name or all the new one.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "data/dictionary.h"
#include "platform/core/strings.h"
#include "tests/support/record_files.h"
#include "tests/support/temp_dir.h"

namespace qbtest {
namespace {

constexpr int kSites = 20000;
constexpr int kSlice = 2000;

// quillbox-drive playing lines as they are sent, its output read back.
class Drive {
 public:
  Drive() {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      dup2(out[1], 2);
      close(in[1]);
      close(out[0]);
      std::string slice = std::to_string(kSlice);
      execl(QB_DRIVE, "quillbox-drive", "--slice", slice.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    to_ = in[1];
    from_ = out[0];
  }
  ~Drive() {
    if (pid_ > 0) kill();
    if (to_ >= 0) close(to_);
    if (from_ >= 0) close(from_);
  }
  void send(const std::string& line) {
    std::string l = line + "\n";
    (void)!write(to_, l.data(), l.size());
  }
  // Sends the line and returns what the driver printed for it, once it has played it.
  std::string play(const std::string& line) {
    send(line);
    send("status 1");
    std::string marker = "> status 1\n";
    while (buffer_.find(marker) == std::string::npos && readSome(30000)) {}
    std::size_t at = buffer_.find(marker);
    std::string shown = buffer_.substr(0, at);
    buffer_ = at == std::string::npos ? std::string() : buffer_.substr(at + marker.size());
    return shown;
  }
  void kill() {
    ::kill(pid_, SIGKILL);
    int st = 0;
    waitpid(pid_, &st, 0);
    pid_ = 0;
  }
  void quit() {
    send("quit");
    close(to_);
    to_ = -1;
    while (readSome(30000)) {}
    int st = 0;
    waitpid(pid_, &st, 0);
    pid_ = 0;
  }

 private:
  bool readSome(int ms) {
    pollfd p{from_, POLLIN, 0};
    if (poll(&p, 1, ms) <= 0) return false;
    char b[4096];
    ssize_t n = read(from_, b, sizeof b);
    if (n <= 0) return false;
    buffer_.append(b, static_cast<std::size_t>(n));
    return true;
  }
  pid_t pid_ = 0;
  int to_ = -1, from_ = -1;
  std::string buffer_;
};

std::string integrity(const std::string& path, const std::string& key) {
  sqlite3* db = nullptr;
  std::string result = "cannot open";
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    std::string sql = (key.empty() ? "" : "PRAGMA key='" + key + "';PRAGMA cipher_page_size=4096;") +
                      std::string("PRAGMA integrity_check");
    result.clear();
    sqlite3_exec(db, sql.c_str(),
                 [](void* r, int n, char** v, char**) {
                   if (n > 0) *static_cast<std::string*>(r) += v[0] ? v[0] : "";
                   return 0;
                 },
                 &result, nullptr);
  }
  sqlite3_close(db);
  return result;
}

bool hotJournal(const TempDir& dir) {
  struct stat st {};
  for (const char* f : {"wsites.tps-journal", "Category.tps-journal", "Defaults.tps-journal"})
    if (::stat(dir.file(f).c_str(), &st) == 0 && st.st_size > 0) return true;
  return false;
}

class RenameKill : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(std::system((std::string(QB_GEN) + " " + std::to_string(kSites) + " >/dev/null").c_str()), 0);
    // Every website in the category renamed, so that writing the rename takes a while.
    WSitesRecord w;
    pf::File sites(WSitesDesc(), &w);
    ASSERT_EQ(sites.open(), 0);
    ASSERT_EQ(sites.logout(), 0);
    sites.set();
    while (sites.next() == 0) {
      w.CATEGORY = "News";
      ASSERT_EQ(sites.put(), 0);
    }
    ASSERT_EQ(sites.commit(), 0);
    sites.close();
    addRecords<DefaultsRecord>(DefaultsDesc(), std::vector<int>{1}, [](DefaultsRecord& r, int) {
      r.RECORDNUMBER = 1;
      r.DEFAULTCAT = "News";
    });
    for (const char* f : kFiles) pristine_.push_back(fileBytes(dir.file(f)));
  }
  void restore() {
    for (std::size_t i = 0; i < pristine_.size(); ++i) {
      std::string path = dir.file(kFiles[i]);
      FILE* f = std::fopen(path.c_str(), "wb");
      std::fwrite(pristine_[i].data(), 1, pristine_[i].size(), f);
      std::fclose(f);
      ::unlink((path + "-journal").c_str());
    }
  }
  // The rename of "News" to "Press" started: the form's OK pressed, the pass running.
  static void startRename(Drive& d) {
    for (const char* line : {"choose ?BROWSECATEGORIES", "in BrowseCategories", "pick ?BROWSE:1 News",
                             "click ?CHANGE:2", "in UpdateCategory", "type ?CAT:CATEGORY Press", "click ?OK", "in"}) {
      std::string shown = d.play(line);
      EXPECT_EQ(shown.find("cannot"), std::string::npos) << line << "\n" << shown;
    }
  }
  // Sound files, every website there, and one name everywhere.
  void expectWholeOrUntouched() {
    EXPECT_EQ(integrity(dir.file("wsites.tps"), std::string(OwnerPassword().view())), "ok");
    EXPECT_EQ(integrity(dir.file("Category.tps"), ""), "ok");
    EXPECT_EQ(integrity(dir.file("Defaults.tps"), ""), "ok");
    auto sites = readRecords<WSitesRecord>(WSitesDesc());
    ASSERT_EQ(sites.size(), static_cast<std::size_t>(kSites));
    std::size_t renamed = 0;
    for (const auto& s : sites) renamed += s.CATEGORY.clip() == "Press";
    EXPECT_TRUE(renamed == 0 || renamed == sites.size()) << renamed << " of " << sites.size() << " renamed";
    const std::string name = renamed ? "Press" : "News";
    std::vector<std::string> categories;
    for (const auto& c : readRecords<CategoryRecord>(CategoryDesc())) categories.push_back(c.CATEGORY.clip());
    EXPECT_NE(std::find(categories.begin(), categories.end(), name), categories.end()) << name;
    EXPECT_EQ(std::find(categories.begin(), categories.end(), renamed ? "News" : "Press"), categories.end());
    auto prefs = readRecords<DefaultsRecord>(DefaultsDesc());
    ASSERT_EQ(prefs.size(), 1u);
    EXPECT_EQ(prefs[0].DEFAULTCAT.clip(), name);
  }

  static constexpr const char* kFiles[] = {"wsites.tps", "Category.tps", "Defaults.tps"};
  TempDir dir;
  std::vector<std::string> pristine_;
};

TEST_F(RenameKill, AKillBetweenSlicesOrWhileWritingLeavesOneNameEverywhere) {
  // An uninterrupted run: how many slices the walk takes, and how long the last one and
  // the writing of the rename take together.
  int slices = 0;
  std::chrono::microseconds tail{};
  {
    Drive d;
    startRename(d);
    for (;;) {
      auto start = std::chrono::steady_clock::now();
      std::string shown = d.play("advance 10");
      ++slices;
      if (shown.find("window UpdateCategory") == std::string::npos) {
        tail = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
        break;
      }
      ASSERT_LT(slices, 100) << shown;
    }
    d.quit();
  }
  ASSERT_GT(slices, 3);
  expectWholeOrUntouched();
  EXPECT_EQ(readRecords<WSitesRecord>(WSitesDesc())[0].CATEGORY.clip(), "Press");

  struct Case {
    int slicesFirst;  // slices played before the kill
    double into;      // <0: killed between slices; else killed this far into the last one
  };
  std::vector<Case> cases = {{1, -1}, {slices / 2, -1}, {slices - 1, -1}};
  for (double f : {0.05, 0.2, 0.35, 0.5, 0.65, 0.8, 0.95}) cases.push_back({slices - 1, f});
  int interrupted = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.slicesFirst) + " slices, then " + std::to_string(c.into));
    restore();
    {
      Drive d;
      startRename(d);
      for (int i = 0; i < c.slicesFirst; ++i) d.play("advance 10");
      if (c.into >= 0) {
        d.send("advance 10");
        std::this_thread::sleep_for(std::chrono::microseconds(static_cast<std::int64_t>(tail.count() * c.into)));
      }
      d.kill();
    }
    if (hotJournal(dir)) ++interrupted;
    expectWholeOrUntouched();
  }
  // Some kills must have met the rename being written, or the table proved nothing.
  EXPECT_GT(interrupted, 0);
}

}  // namespace
}  // namespace qbtest
