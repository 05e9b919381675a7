// The program password as the key of wsites.tps and Access.tps: what the files on disk
// say about it, which typed entries open them, and what other tools can read.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/dictionary.h"
#include "data/protection.h"
#include "platform/store/key_change.h"
#include "tests/support/lock_holder.h"
#include "tests/support/quick_rounds.h"
#include "tests/support/record_files.h"
#include "tests/support/temp_dir.h"

namespace {

using pf::KeyFit;

// How a file is left on disk before the program starts: keyed with the owner password
// alone, with a program password or another one; its first page damaged; held locked by
// another program.
enum class On { Missing, Owner, Secret, Other, Empty, Garbage, OwnerFirstPageDamaged, SecretFirstPageDamaged,
                OwnerLocked, SecretLocked };

const char* const kSecret = "Secret99";
const char* const kOther = "Other123";

// The other programs that hold files locked, until the next case.
std::vector<std::unique_ptr<qbtest::LockHolder>> holders;


void put(const pf::FileDesc& d, On how) {
  ::unlink(d.diskName.c_str());
  auto keyed = [&](const char* password) {
    DataKey().use(DataKey().with(password));
    WSitesRecord web;
    AccessRecord acc;
    void* buffer = &d == &WSitesDesc() ? static_cast<void*>(&web) : static_cast<void*>(&acc);
    web.DESCRIPTION = "A website";
    web.PASSWORD = "site-password-1";
    pf::File f(d, buffer);
    ASSERT_EQ(f.create(), 0);
    ASSERT_EQ(f.open(), 0);
    ASSERT_EQ(f.add(), 0);
    f.close();
    DataKey().use(DataKey().with({}));
  };
  switch (how) {
    case On::Missing: break;
    case On::Owner: keyed(""); break;
    case On::Secret: keyed(kSecret); break;
    case On::Other: keyed(kOther); break;
    case On::Empty: std::ofstream(d.diskName).flush(); break;
    case On::Garbage: std::ofstream(d.diskName) << "not a data file of any kind, just some words"; break;
    case On::OwnerFirstPageDamaged: keyed(""); qbtest::damageFirstPage(d.diskName); break;
    case On::SecretFirstPageDamaged: keyed(kSecret); qbtest::damageFirstPage(d.diskName); break;
    case On::OwnerLocked:
    case On::SecretLocked: {
      const char* password = how == On::OwnerLocked ? "" : kSecret;
      keyed(password);
      holders.push_back(std::make_unique<qbtest::LockHolder>(d.diskName, "BEGIN EXCLUSIVE", -1,
                                                             qbtest::keyStatements(DataKey().with(password))));
      ASSERT_TRUE(holders.back()->holding());
      break;
    }
  }
}

class ProtectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DataKey().setPasswordRounds(qbtest::kQuickRounds);
    DataKey().use(DataKey().with({}));
  }
  void TearDown() override {
    holders.clear();
    DataKey().setPasswordRounds(pf::FileKey::PasswordRounds);
    DataKey().use(DataKey().with({}));
  }
  qbtest::TempDir dir;
};

TEST_F(ProtectionTest, TheDataSaysWhetherAPasswordIsSet) {
  struct Case {
    On web, acc;
    Protection expect;
  } cases[] = {
      {On::Missing, On::Missing, Protection::None},
      {On::Owner, On::Missing, Protection::None},
      {On::Owner, On::Owner, Protection::None},
      {On::Missing, On::Owner, Protection::None},
      // Removing, emptying or replacing the password file changes nothing.
      {On::Secret, On::Secret, Protection::Password},
      {On::Secret, On::Missing, Protection::Password},
      {On::Secret, On::Empty, Protection::Password},
      {On::Secret, On::Owner, Protection::Password},
      {On::Secret, On::Garbage, Protection::Password},
      // No data yet: the password file says it.
      {On::Missing, On::Secret, Protection::Password},
      {On::Garbage, On::Secret, Protection::Password},
      // A password file that cannot be read, or is keyed unlike the open data.
      {On::Owner, On::Garbage, Protection::Unreadable},
      {On::Owner, On::Empty, Protection::Unreadable},
      {On::Owner, On::Secret, Protection::Unreadable},
      {On::Missing, On::Garbage, Protection::Unreadable},
      // A data file whose first page is damaged: its other pages say which key it takes.
      {On::OwnerFirstPageDamaged, On::Missing, Protection::None},
      {On::OwnerFirstPageDamaged, On::Owner, Protection::None},
      {On::SecretFirstPageDamaged, On::Secret, Protection::Password},
      {On::SecretFirstPageDamaged, On::Owner, Protection::Password},
      // Held by another program: the password file says it, or the opens wait.
      {On::OwnerLocked, On::Owner, Protection::None},
      {On::OwnerLocked, On::Missing, Protection::Locked},
      {On::SecretLocked, On::Secret, Protection::Password},
      {On::Owner, On::OwnerLocked, Protection::None},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("wsites " + std::to_string(static_cast<int>(c.web)) + ", Access " +
                 std::to_string(static_cast<int>(c.acc)));
    holders.clear();
    put(WSitesDesc(), c.web);
    put(AccessDesc(), c.acc);
    EXPECT_EQ(ProbeProtection(), c.expect);
  }
}

TEST_F(ProtectionTest, AnEntryIsRightWhenItOpensTheData) {
  struct Case {
    On web, acc;
    const char* entry;
    bool right;
  } cases[] = {
      {On::Secret, On::Secret, kSecret, true},
      {On::Secret, On::Secret, "  Secret99  ", true},
      {On::Secret, On::Secret, "secret99", false},
      {On::Secret, On::Secret, "", false},
      {On::Secret, On::Secret, kOther, false},
      // The password file does not decide while there is data.
      {On::Secret, On::Other, kOther, false},
      {On::Secret, On::Missing, kSecret, true},
      {On::Secret, On::Owner, kSecret, true},
      {On::Secret, On::Garbage, kSecret, true},
      {On::Secret, On::Empty, kSecret, true},
      {On::Missing, On::Secret, kSecret, true},
      {On::Missing, On::Secret, kOther, false},
      {On::SecretFirstPageDamaged, On::Secret, kSecret, true},
      {On::SecretFirstPageDamaged, On::Secret, kOther, false},
      {On::SecretLocked, On::Secret, kSecret, true},
      {On::SecretLocked, On::Secret, kOther, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("entry \"") + c.entry + "\", wsites " + std::to_string(static_cast<int>(c.web)) +
                 ", Access " + std::to_string(static_cast<int>(c.acc)));
    DataKey().use(DataKey().with({}));
    holders.clear();
    put(WSitesDesc(), c.web);
    put(AccessDesc(), c.acc);
    EXPECT_EQ(UseProgramPassword(c.entry), c.right);
    EXPECT_EQ(DataKey().hasPassword(), c.right) << "only a right entry is put in force";
    if (c.right) {
      // A missing or foreign password file is made again under the password, not the owner's.
      pf::CipherKey key = DataKey().with(kSecret);
      EXPECT_EQ(pf::tryKey(AccessDesc(), key), KeyFit::Opens);
      if (c.web == On::Secret) EXPECT_EQ(pf::tryKey(WSitesDesc(), key), KeyFit::Opens);
    } else if (c.acc == On::Owner || c.acc == On::Secret) {
      EXPECT_EQ(pf::tryKey(AccessDesc(), DataKey().with(c.acc == On::Owner ? "" : kSecret)), KeyFit::Opens)
          << "a wrong entry changes no file";
    }
  }
}

TEST_F(ProtectionTest, ADamagedDataFileIsNotTakenForAWrongEntry) {
  put(WSitesDesc(), On::Secret);
  put(AccessDesc(), On::Secret);
  // Records beyond the first page overwritten: only the right key gets that far.
  std::string bytes;
  {
    std::ifstream in("wsites.tps", std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  ASSERT_GT(bytes.size(), 8192u);
  std::fill(bytes.begin() + 4096, bytes.end(), '\x33');
  std::ofstream("wsites.tps", std::ios::binary | std::ios::trunc) << bytes;
  EXPECT_EQ(ProbeProtection(), Protection::Password);
  EXPECT_FALSE(UseProgramPassword(kOther));
  EXPECT_TRUE(UseProgramPassword(kSecret)) << "the damage is for the file's open to report";
  AccessRecord rec;
  pf::File web(WSitesDesc(), &rec);
  EXPECT_EQ(web.open(), pf::Err::InvalidFile);
}

// What the sqlcipher program reads from a file with a passphrase and its rounds.
std::string sqlcipherReads(const std::string& file, const pf::Secret& passphrase, int rounds) {
  std::string script = "sqlcipher-script.sql";
  {
    std::ofstream s(script, std::ios::binary);
    s << "PRAGMA key='" << passphrase.view() << "';\nPRAGMA cipher_page_size=4096;\n"
      << "PRAGMA kdf_iter=" << rounds << ";\nSELECT count(*) FROM rec;\n";
  }
  std::string cmd = "sqlcipher -batch " + file + " < " + script + " 2>&1";
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
  }
  ::unlink(script.c_str());
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

TEST_F(ProtectionTest, OnlyThePasswordInForceOpensEitherFileEvenForTheSqlcipherProgram) {
  put(WSitesDesc(), On::Owner);
  put(AccessDesc(), On::Owner);
  pf::Secret owner = OwnerPassword();
  struct Step {
    const char* password;
  } steps[] = {{kSecret}, {kOther}, {""}};
  for (const auto& s : steps) [&] {
    SCOPED_TRACE(std::string("changed to \"") + s.password + "\"");
    std::string why;
    ASSERT_EQ(ChangeProgramPassword(s.password, &why), 0) << why;
    for (const pf::FileDesc* d : {&WSitesDesc(), &AccessDesc()}) {
      SCOPED_TRACE(d->diskName);
      for (const char* p : {"", kSecret, kOther}) {
        pf::CipherKey key = DataKey().with(p);
        bool inForce = std::string(p) == s.password;
        EXPECT_EQ(pf::tryKey(*d, key), inForce ? KeyFit::Opens : KeyFit::WrongKey) << "\"" << p << "\"";
        EXPECT_EQ(sqlcipherReads(d->diskName, key.passphrase, key.rounds) == "1", inForce) << "\"" << p << "\"";
      }
      // Nor the owner password alone stretched as a password would be.
      if (*s.password) EXPECT_NE(sqlcipherReads(d->diskName, owner, qbtest::kQuickRounds), "1");
      std::ifstream in(d->diskName, std::ios::binary);
      std::string bytes(std::istreambuf_iterator<char>(in), {});
      EXPECT_EQ(bytes.find("site-password-1"), std::string::npos);
      EXPECT_EQ(bytes.find("A website"), std::string::npos);
    }
  }();
}

TEST_F(ProtectionTest, ThePasswordFileHoldsNoPassword) {
  put(WSitesDesc(), On::Owner);
  put(AccessDesc(), On::Owner);
  ASSERT_EQ(ChangeProgramPassword(kSecret), 0);
  AccessRecord rec;
  pf::File f(AccessDesc(), &rec);
  ASSERT_EQ(f.open(), 0);
  f.set();
  ASSERT_EQ(f.next(), 0);
  EXPECT_TRUE(rec.PWORD.blank());
  EXPECT_EQ(f.next(), pf::Err::RecordNotAvailable);
}

}  // namespace
