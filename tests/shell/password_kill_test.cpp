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
  for (double at : {0.2, 0.6, 0.9, 0.97, 1.05, 1.3}) {
    SCOPED_TRACE("killed at " + std::to_string(at) + " of " + std::to_string(takes.count()) + " ms, from " + current);
    {
      qbtest::ChildProcess c({QUILLBOX_DRIVE, "--quiet"});
      changeTo(c);
      std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(at * takes.count())));
      c.kill9();
    }
    // The next start finishes or undoes the change; one of the two passwords lets in.
    auto startWith = [&](const std::string& password) {
      return play("type ?LOC:PASSWORD " + password + "\nclick ?CLOSE\nin BrowseWebsites\ntext ?LOC:RECORDCOUNT\nquit\n")
                 .find(count) != std::string::npos;
    };
    EXPECT_TRUE(startWith(current) || startWith(other));
    auto opensBoth = [](const std::string& password) {
      pf::CipherKey key = DataKey().with(password);
      return pf::tryKey(WSitesDesc(), key) == pf::KeyFit::Opens && pf::tryKey(AccessDesc(), key) == pf::KeyFit::Opens;
    };
    bool stayed = opensBoth(current), changed = opensBoth(other);
    EXPECT_NE(stayed, changed) << "both files open with one of the two passwords, the same one";
    if (changed) std::swap(current, other);
    EXPECT_FALSE(pf::fileExists("quillbox-rekey.journal"));
    EXPECT_FALSE(pf::fileExists("wsites.tps.qbkey"));
  }
}

}  // namespace
