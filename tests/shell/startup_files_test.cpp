// The first start of the program over data files that another program holds locked or
// whose first page is damaged: each takes the road of its own fault, and the password
// prompt shows only where a program password is set.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <memory>
#include <string>

#include "data/dictionary.h"
#include "data/protection.h"
#include "tests/support/child_process.h"
#include "tests/support/lock_holder.h"
#include "tests/support/quick_rounds.h"
#include "tests/support/record_files.h"
#include "tests/support/temp_dir.h"

namespace qbtest {
namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

const char* const kPrompt = "\"Password required...\"";

// A folder as a start leaves it: a website, the password file, keyed with `password`
// (blank: none set).
void makeFolder(const std::string& password) {
  addRecords<WSitesRecord>(WSitesDesc(), std::vector<int>{1}, [](WSitesRecord& r, int) {
    r.DESCRIPTION = "A website";
    r.WEBADDRESS = "https://www.example.org";
  });
  AccessRecord acc;
  pf::File f(AccessDesc(), &acc);
  ASSERT_EQ(f.create(), 0);
  ASSERT_EQ(f.open(), 0);
  ASSERT_EQ(f.add(), 0);
  f.close();
  if (!password.empty()) ASSERT_EQ(ChangeProgramPassword(password), 0);
}


TEST(StartUp, ALockedOrDamagedWebsitesFileTakesItsOwnRoadAndThePromptOnlyComesWithAPassword) {
  enum class Fault { Locked, FirstPageDamaged };
  const struct {
    const char* name;
    const char* password;
    Fault fault;
    std::vector<std::string> seen;  // in the order the user sees them
  } cases[] = {
      {"held by another program", "", Fault::Locked,
       {"box \"Access Denied\"", "Could not get write access to wsites.tps so trying read-only."}},
      {"its first page damaged", "", Fault::FirstPageDamaged,
       {"box \"File Access Error\"", "File wsites.tps could not be opened."}},
      {"held by another program, a password set", "Secret99", Fault::Locked, {kPrompt}},
      {"its first page damaged, a password set", "Secret99", Fault::FirstPageDamaged, {kPrompt}},
  };
  DataKey().setPasswordRounds(kQuickRounds);
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(c.name);
    TempDir dir;
    DataKey().use(DataKey().with({}));
    makeFolder(c.password);
    std::unique_ptr<LockHolder> other;
    if (c.fault == Fault::Locked) {
      other = std::make_unique<LockHolder>("wsites.tps", "BEGIN EXCLUSIVE", -1, keyStatements(DataKey().current()));
      ASSERT_TRUE(other->holding());
    } else {
      damageFirstPage("wsites.tps");
    }
    // What the user meets first is enough: the program is ended there.
    ChildProcess program({QUILLBOX_DRIVE});
    program.waitFor(c.seen.back());
    const std::string& out = program.output();
    std::size_t at = 0;
    for (const auto& text : c.seen) {
      at = out.find(text, at);
      EXPECT_NE(at, std::string::npos) << text << "\n" << out;
      if (at == std::string::npos) break;
    }
    if (c.seen.front() != kPrompt) EXPECT_EQ(out.find(kPrompt), std::string::npos) << out;
  }();
  DataKey().setPasswordRounds(pf::FileKey::PasswordRounds);
  DataKey().use(DataKey().with({}));
}

// Someone who may write into the data folder leaves a journal that would have the start
// put a file of theirs over one of the user's elsewhere: the program says why and starts.
TEST(StartUp, AJournalOfAnotherHandIsRefusedAndTheProgramStarts) {
  TempDir dir;
  DataKey().use(DataKey().with({}));
  makeFolder("");
  ASSERT_EQ(::mkdir("home", 0700), 0);
  std::ofstream(dir.file("home/.bashrc")) << "echo hello\n";
  std::ofstream(dir.file("payload")) << "payload\n";
  const std::string journal = dir.file("payload") + "\t" + dir.file("home/.bashrc") + "\n";
  std::ofstream(dir.file("quillbox-rekey.journal")) << journal;

  ChildProcess program({QUILLBOX_DRIVE});
  EXPECT_TRUE(program.waitFor("No file it names was renamed or removed.")) << program.output();
  EXPECT_NE(program.output().find("box \"Small problem...\""), std::string::npos) << program.output();
  EXPECT_NE(program.output().find("names files outside the data folder"), std::string::npos) << program.output();
  program.send("answer OK");
  EXPECT_TRUE(program.waitFor("window Main \"Quillbox\"")) << program.output();
  program.send("quit");
  program.closeInput();
  EXPECT_EQ(program.wait(), 0);
  EXPECT_EQ(slurp(dir.file("home/.bashrc")), "echo hello\n");
  EXPECT_EQ(slurp(dir.file("payload")), "payload\n");
  EXPECT_EQ(slurp(dir.file("quillbox-rekey.journal")), journal);
}

}  // namespace
}  // namespace qbtest
