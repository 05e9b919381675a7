// Two programs on one folder writing the same websites: the shipped driver playing the
// user in one, another writer (this test, or a second driver) in the other. Neither
// writer's change may be lost.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>

#include "data/dictionary.h"
#include "platform/core/strings.h"
#include "platform/store/file.h"
#include "tests/support/child_process.h"
#include "tests/support/record_files.h"
#include "tests/support/temp_dir.h"

namespace qbtest {
namespace {

using namespace std::chrono_literals;

void generate(int websites) {
  ChildProcess gen({QUILLBOX_GEN, std::to_string(websites)});
  gen.closeInput();
  ASSERT_EQ(gen.wait(), 0);
}

// The websites in description order, as the browse lists them.
std::vector<WSitesRecord> byDescription() {
  std::vector<WSitesRecord> out;
  WSitesRecord r;
  pf::File f(WSitesDesc(), &r);
  if (f.open() != 0) return out;
  f.set(WEB_KeyDescription());
  while (f.next() == 0) out.push_back(r);
  f.close();
  return out;
}

// Waits until the program has played what it was sent before its output reached `from`:
// the last action sent was "clipboard".
void waitForMarker(ChildProcess& program, std::size_t from) {
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (program.output().find("  clipboard:", from) == std::string::npos &&
         std::chrono::steady_clock::now() < deadline)
    program.waitFor("\x01", 100);
  ASSERT_NE(program.output().find("  clipboard:", from), std::string::npos) << program.output();
}

// Plays `actions` and waits until they are done.
void play(ChildProcess& program, const std::string& actions) {
  const std::size_t from = program.output().size();
  program.send(actions + "\nclipboard");
  waitForMarker(program, from);
}

void quit(ChildProcess& program) {
  program.send("quit");
  program.closeInput();
  EXPECT_EQ(program.wait(), 0);
  EXPECT_EQ(program.output().find("user cannot"), std::string::npos) << program.output();
}

TEST(TwoWriters, ABrowseChangeThatWaitsForTheOtherWriterKeepsTheOthersChange) {
  TempDir dir;
  generate(5);
  ChildProcess browse({QUILLBOX_DRIVE, "--quiet"});
  play(browse, "row ?BROWSE:1 3");
  const WSitesRecord before = byDescription().at(2);

  // The other writer changes the same website and holds the file while the browse
  // tries to colour it.
  WSitesRecord r;
  pf::File other(WSitesDesc(), &r);
  ASSERT_EQ(other.open(), 0);
  ASSERT_EQ(other.logout(), 0);
  other.set(WEB_KeyDescription());
  for (int i = 0; i < 3; ++i) ASSERT_EQ(other.next(), 0);
  ASSERT_EQ(r.DESCRIPTION.clip(), before.DESCRIPTION.clip());
  r.VISITS = before.VISITS.get() + 100;
  r.HIGHLIGHT = before.HIGHLIGHT == 0 ? 1 : 0;
  ASSERT_EQ(other.put(), 0);
  const std::size_t from = browse.output().size();
  browse.send("click ?CLR5\nclipboard");
  ASSERT_TRUE(browse.waitFor("> click ?CLR5")) << browse.output();
  std::this_thread::sleep_for(300ms);
  ASSERT_EQ(other.commit(), 0);
  other.close();
  waitForMarker(browse, from);
  quit(browse);
  EXPECT_EQ(browse.output().find("box"), std::string::npos) << browse.output();

  const WSitesRecord after = byDescription().at(2);
  EXPECT_EQ(after.DESCRIPTION.clip(), before.DESCRIPTION.clip());
  EXPECT_EQ(after.TEXTCOLOR, 5) << "the browse's change";
  EXPECT_EQ(after.VISITS.get(), before.VISITS.get() + 100) << "the other writer's change";
  EXPECT_EQ(after.HIGHLIGHT, before.HIGHLIGHT == 0 ? 1 : 0) << "the other writer's change";
}

// "Reset (clear) all Color tagging" in one program, one website a slice, while the
// browse of another highlights every website between two of its slices, after the reset
// had read some of them ahead: the reset completes and every highlight stays.
TEST(TwoWriters, ATaggingResetKeepsWhatTheOtherProgramTaggedBetweenItsSlices) {
  TempDir dir;
  generate(5);
  const std::vector<WSitesRecord> before = byDescription();
  ASSERT_EQ(before.size(), 5u);

  ChildProcess reset({QUILLBOX_DRIVE, "--slice", "1"});
  play(reset, "in BrowseWebsites\nclick ?CLOSE\nin\nchoose ?MAINTENANCERESETCOLORS\nanswer &Remove\nslice");
  // Another session of the user's (on another machine, say): its program is not the one
  // instance of this session's.
  const std::string session = dir.file("session");
  ASSERT_EQ(::mkdir(session.c_str(), 0700), 0);
  ChildProcess browse({QUILLBOX_DRIVE, "--quiet"}, {"XDG_RUNTIME_DIR=" + session});
  std::string toggles;
  for (int row = 1; row <= 5; ++row) toggles += "row ?BROWSE:1 " + std::to_string(row) + "\nclick ?YELLOW_HL\n";
  play(browse, toggles + "text ?LOC:RECORDCOUNT");
  quit(browse);
  play(reset, "slice 20");
  quit(reset);
  EXPECT_NE(reset.output().find("All Color tagging has been removed."), std::string::npos) << reset.output();

  const std::vector<WSitesRecord> after = byDescription();
  ASSERT_EQ(after.size(), 5u);
  for (std::size_t i = 0; i < after.size(); ++i) {
    SCOPED_TRACE(after[i].DESCRIPTION.clip());
    EXPECT_EQ(after[i].TEXTCOLOR, 1) << "the reset's change";
    EXPECT_EQ(after[i].HIGHLIGHT, before[i].HIGHLIGHT == 0 ? 1 : 0) << "the other program's change";
  }
}

}  // namespace
}  // namespace qbtest
