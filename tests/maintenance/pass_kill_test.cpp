// kill -9 of the shipped program while it writes websites: the colour tagging reset cut
// into many slices and killed between them or inside one, and a run of inserts killed
// just after the last form closed. Afterwards the file is sound, no website is lost, and
// every website is as it was or as the program last wrote it.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "data/dictionary.h"
#include "platform/store/cipher.h"
#include "tests/support/child_process.h"
#include "tests/support/record_files.h"
#include "tests/support/temp_dir.h"

namespace qbtest {
namespace {

constexpr int kSites = 3000;
constexpr int kSlice = 100;

std::string integrityOf(const std::string& path) {
  sqlite3* db = nullptr;
  std::string result;
  // Read-write, as the program opens it: a kill mid-commit leaves a journal to roll back.
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
      pf::keyConnection(db, pf::currentKey(WSitesDesc())) == SQLITE_OK) {
    sqlite3_exec(db, "PRAGMA integrity_check",
                 [](void* p, int, char** v, char**) {
                   *static_cast<std::string*>(p) += v[0] ? v[0] : "";
                   return 0;
                 },
                 &result, nullptr);
  }
  sqlite3_close(db);
  return result;
}

struct Site {
  std::string description, address, category;
  int color;
  bool operator==(const Site&) const = default;
};

std::vector<Site> sitesOnFile() {
  std::vector<Site> out;
  for (const auto& w : readRecords<WSitesRecord>(WSitesDesc()))
    out.push_back({w.DESCRIPTION.clip(), w.WEBADDRESS.clip(), w.CATEGORY.clip(), static_cast<int>(w.TEXTCOLOR)});
  return out;
}

class PassKill : public ::testing::Test {
 protected:
  std::unique_ptr<ChildProcess> drive() {
    return std::make_unique<ChildProcess>(
        std::vector<std::string>{QUILLBOX_DRIVE, "--slice", std::to_string(kSlice)});
  }
  // Plays one line and waits until the driver has shown what followed it.
  static void play(ChildProcess& p, const std::string& line) {
    static int mark = 0;
    // The driver shows an action once the one before it has ended: a harmless one marks the end.
    std::string m = "text ?END" + std::to_string(++mark);
    p.send(line);
    p.send(m);
    ASSERT_TRUE(p.waitFor("> " + m + "\n", 60000)) << line << "\n" << p.output();
  }
  static void startReset(ChildProcess& p) {
    for (const char* line : {"close", "choose ?MAINTENANCERESETCOLORS", "answer 1"}) play(p, line);
  }
  TempDir dir;
};

TEST_F(PassKill, TheColourResetKilledAnywhereLosesNoWebsite) {
  ASSERT_EQ(std::system((std::string(QUILLBOX_GEN) + " " + std::to_string(kSites) + " >/dev/null").c_str()), 0);
  const std::vector<Site> before = sitesOnFile();
  int coloured = 0;
  for (const Site& s : before) coloured += s.color != 1;
  ASSERT_GT(coloured, kSites / 10) << "the generated file has too few colours to reset";
  const std::string pristine = fileBytes(dir.file("wsites.tps"));

  // An uninterrupted reset: how many slices it takes.
  int slices = 0;
  {
    auto p = drive();
    startReset(*p);
    while (p->output().find("All Color tagging has been removed.") == std::string::npos) {
      play(*p, "slice");
      ASSERT_LT(++slices, 10 * kSites / kSlice) << p->output();
    }
  }
  ASSERT_GT(slices, 5);
  for (const Site& s : sitesOnFile()) ASSERT_EQ(s.color, 1);

  struct Case {
    int slicesFirst;
    int microsInto;  // <0: killed between slices; else this long into the next one
  };
  std::vector<Case> cases = {{1, -1}, {slices / 2, -1}, {slices - 2, -1}};
  for (int us : {0, 300, 1000, 3000, 10000}) cases.push_back({slices / 3, us});
  int cut = 0;
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(std::to_string(c.slicesFirst) + " slices, then " + std::to_string(c.microsInto) + " us");
    {
      FILE* f = std::fopen(dir.file("wsites.tps").c_str(), "wb");
      std::fwrite(pristine.data(), 1, pristine.size(), f);
      std::fclose(f);
      ::unlink(dir.file("wsites.tps-journal").c_str());
      auto p = drive();
      startReset(*p);
      for (int i = 0; i < c.slicesFirst; ++i) play(*p, "slice");
      if (c.microsInto >= 0) {
        p->send("slice");
        std::this_thread::sleep_for(std::chrono::microseconds(c.microsInto));
      }
      p->kill9();
    }
    EXPECT_EQ(integrityOf(dir.file("wsites.tps")), "ok");
    const std::vector<Site> after = sitesOnFile();
    ASSERT_EQ(after.size(), before.size());
    int reset = 0;
    for (std::size_t i = 0; i < after.size(); ++i) {
      Site was = before[i];
      if (after[i].color == 1 && was.color != 1) {
        ++reset;
        was.color = 1;
      }
      EXPECT_EQ(after[i], was) << "website " << i << " changed beyond its colour";
    }
    if (reset > 0 && reset < coloured) ++cut;
  }();
  // Kills that came before the reset wrote anything or after it wrote everything prove nothing.
  EXPECT_GT(cut, 0);
}

TEST_F(PassKill, InsertsTheFormAcceptedSurviveAKill) {
  ASSERT_EQ(std::system((std::string(QUILLBOX_GEN) + " 5 >/dev/null").c_str()), 0);
  {
    auto p = drive();
    for (int i = 1; i <= 3; ++i) {
      std::string n = std::to_string(i);
      for (const std::string& line : std::vector<std::string>{"click ?INSERT:3", "enter ?WEB:DESCRIPTION Killed " + n,
                               "enter ?WEB:WEBADDRESS https://killed" + n + ".example", "click ?OK", "answer OK"})
        play(*p, line);
    }
    p->kill9();
  }
  EXPECT_EQ(integrityOf(dir.file("wsites.tps")), "ok");
  std::vector<std::string> found;
  for (const Site& s : sitesOnFile())
    if (s.description.rfind("Killed ", 0) == 0) found.push_back(s.description);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{"Killed 1", "Killed 2", "Killed 3"}));
  EXPECT_EQ(sitesOnFile().size(), 8u);
}

}  // namespace
}  // namespace qbtest
