// The shipped program killed with -9 while "&Apply and Save" re-keys its files: the next
// start asks for one password, old or new, and every website is there.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "data/dictionary.h"
#include "platform/store/key_change.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kWebsites = 400;

void writeWebsites() {
  WSitesRecord rec;
  pf::File f(WSitesDesc(), &rec);
  ASSERT_EQ(f.create(), 0);
  ASSERT_EQ(f.open(), 0);
  ASSERT_EQ(f.logout(), 0);
  for (int i = 0; i < kWebsites; ++i) {
    rec = WSitesRecord{};
    rec.DESCRIPTION = "Website " + std::to_string(i);
    rec.PASSWORD = "pw" + std::to_string(i);
    ASSERT_EQ(f.add(), 0);
  }
  ASSERT_EQ(f.commit(), 0);
  f.close();
}

// The script of a start that gives `password` and reads the websites count.
std::string startWith(const std::string& password) {
  return "type ?LOC:PASSWORD " + password + "\nclick ?CLOSE\nin BrowseWebsites\ntext ?LOC:RECORDCOUNT\nquit\n";
}

// What the program printed for a whole script.
std::string play(const std::string& script) {
  qbtest::ChildProcess c({QUILLBOX_DRIVE, "--quiet"});
  c.send(script);
  c.closeInput();
  c.waitFor("(the end of the output)", 30000);
  c.wait();
  return c.output();
}

TEST(PasswordChangeKilled, TheNextStartOpensWithOnePasswordAndEveryWebsite) {
  qbtest::TempDir dir;
  writeWebsites();
  const std::string count = "?LOC:RECORDCOUNT \"" + std::to_string(kWebsites) + "\"";
  ASSERT_EQ(play("choose ?FILEPWORDPROTECTION\nanswer OK\ntype ?LOC:PWORD First111\ntype ?LOC:MATCHPW First111\n"
                 "click ?VALBUT\nclick ?OKBUTTON\nquit\n")
                .find("user cannot"),
            std::string::npos);
  std::string current = "First111", other = "Second22";
  // One change followed to its end gives the time a re-key takes here.
  auto changeTo = [&](qbtest::ChildProcess& c) {
    c.send("type ?LOC:PASSWORD " + current + "\nclick ?CLOSE\nchoose ?FILECHGCLEARPASSWORDPROTECTION\n"
           "type ?LOC:PWORD " + other + "\ntype ?LOC:MATCHPW " + other + "\nclick ?VALBUT\ntext ?LOC:PWORD");
    ASSERT_TRUE(c.waitFor("?LOC:PWORD \"" + other + "\"")) << c.output();
    c.send("click ?OKBUTTON");
  };
  std::chrono::milliseconds takes{};
  {
    qbtest::ChildProcess c({QUILLBOX_DRIVE, "--quiet"});
    changeTo(c);
    auto from = std::chrono::steady_clock::now();
    c.send("text ?LOC:PWORD");
    ASSERT_TRUE(c.waitFor("user cannot")) << c.output();  // the form has closed
    takes = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - from);
    c.send("quit");
    c.closeInput();
    c.wait();
    std::swap(current, other);
  }
  // Kills spread over the re-key and a little past it.
  for (double at : {0.05, 0.3, 0.55, 0.75, 0.9, 1.0, 1.2}) {
    SCOPED_TRACE("killed at " + std::to_string(at) + " of " + std::to_string(takes.count()) + " ms, from " + current);
    {
      qbtest::ChildProcess c({QUILLBOX_DRIVE, "--quiet"});
      changeTo(c);
      std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(at * takes.count())));
      c.kill9();
    }
    std::string withCurrent = play(startWith(current));
    bool stayed = withCurrent.find(count) != std::string::npos;
    if (!stayed) {
      std::string withOther = play(startWith(other));
      ASSERT_NE(withOther.find(count), std::string::npos) << "neither password opens the program:\n"
                                                          << withCurrent << withOther;
      std::swap(current, other);
    }
    // The password not in force opens neither file.
    pf::CipherKey notInForce = DataKey().with(other);
    EXPECT_EQ(pf::tryKey(WSitesDesc(), notInForce), pf::KeyFit::WrongKey);
    EXPECT_EQ(pf::tryKey(AccessDesc(), notInForce), pf::KeyFit::WrongKey);
    EXPECT_FALSE(pf::fileExists("quillbox-rekey.journal"));
    EXPECT_FALSE(pf::fileExists("wsites.tps.qbkey"));
  }
}

}  // namespace
