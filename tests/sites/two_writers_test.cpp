// Two programs on one folder writing the same websites: the shipped driver playing the
// user in one, another writer (this test, or a second driver) in the other. Neither
// writer's change may be lost.
#include <gtest/gtest.h>

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

// Plays `actions`, then a marker action, and waits until the marker's output is there.
void play(ChildProcess& program, const std::string& actions, const std::string& marker) {
  program.send(actions + "\ntext " + marker);
  ASSERT_TRUE(program.waitFor("  " + marker + " \"")) << program.output();
}

TEST(TwoWriters, ABrowseChangeThatWaitsForTheOtherWriterKeepsTheOthersChange) {
  TempDir dir;
  generate(5);
  ChildProcess browse({QUILLBOX_DRIVE, "--quiet"});
  play(browse, "row ?BROWSE:1 3", "?LOC:RECORDCOUNT");
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
  browse.send("click ?CLR5\ntext ?CURRENTTAB");
  ASSERT_TRUE(browse.waitFor("> click ?CLR5")) << browse.output();
  std::this_thread::sleep_for(300ms);
  ASSERT_EQ(other.commit(), 0);
  other.close();
  ASSERT_TRUE(browse.waitFor("  ?CURRENTTAB \"")) << browse.output();
  browse.send("quit");
  browse.closeInput();
  EXPECT_EQ(browse.wait(), 0);
  EXPECT_EQ(browse.output().find("user cannot"), std::string::npos) << browse.output();
  EXPECT_EQ(browse.output().find("box"), std::string::npos) << browse.output();

  const WSitesRecord after = byDescription().at(2);
  EXPECT_EQ(after.DESCRIPTION.clip(), before.DESCRIPTION.clip());
  EXPECT_EQ(after.TEXTCOLOR, 5) << "the browse's change";
  EXPECT_EQ(after.VISITS.get(), before.VISITS.get() + 100) << "the other writer's change";
  EXPECT_EQ(after.HIGHLIGHT, before.HIGHLIGHT == 0 ? 1 : 0) << "the other writer's change";
}

}  // namespace
}  // namespace qbtest
