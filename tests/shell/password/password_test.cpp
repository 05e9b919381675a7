// The start-up password gate, played as a user at the prompt.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/password.h"
#include "tests/shell/password/shell_fixture.h"

namespace qbtest {
namespace {

using PasswordGate = ShellTest;

const char* const kInvalid =
    "The password you entered is INVALID.||Remember that a password is Case Sensitive.||"
    "The invalid password will be cleared.";

enum class Finish { None, Cancel, CloseBox, Esc };

struct GateCase {
  const char* name;
  std::vector<std::string> entries;   // each typed and validated in turn
  Finish finish;
  int invalidMessages;
  std::string halt;                   // empty: the frame opens
};

TEST_F(PasswordGate, EntrySequences) {
  const GateCase cases[] = {
      {"right at once", {"Secret1"}, Finish::None, 0, ""},
      {"right with blanks around it", {"  Secret1  "}, Finish::None, 0, ""},
      {"wrong, wrong, right", {"secret1", "", "Secret1"}, Finish::None, 2, ""},
      {"three wrong", {"secret1", "SECRET1", "Secret"}, Finish::None, 2, qb::HaltThreeWrong},
      {"three empty", {"", "", ""}, Finish::None, 2, qb::HaltThreeWrong},
      {"cancel at once", {}, Finish::Cancel, 0, qb::HaltCancelled},
      {"cancel after a wrong one", {"nope"}, Finish::Cancel, 1, qb::HaltCancelled},
      {"close box", {"nope"}, Finish::CloseBox, 1, qb::HaltNotEntered},
      {"escape", {}, Finish::Esc, 0, qb::HaltNotEntered},
  };
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(c.name);
    resetShellGlobals();
    TempDir own;
    writeAccess("Secret1");
    pf::TestDriver d;
    int invalid = 0;
    std::string halt;
    bool frameBeforeRight = false, frameAfter = false;
    runProgram(d, [&] {
      ASSERT_TRUE(isOpen(d, "ValidatePassword"));
      EXPECT_EQ(d.window().caption(), "Password required...");
      EXPECT_EQ(d.focused(), "?LOC:PASSWORD");
      for (const auto& entry : c.entries) {
        frameBeforeRight = frameBeforeRight || isOpen(d, "Main");
        d.type("?LOC:PASSWORD", entry);
        d.click("?CLOSE");
        if (d.programEnded() || (d.box() && d.box()->kind == pf::DialogKind::Halt)) break;
        if (d.box() && d.box()->message.text == kInvalid) {
          EXPECT_EQ(d.box()->message.caption, "Invalid...");
          EXPECT_EQ(d.box()->message.icon, pf::Icon::RedCross);
          ++invalid;
          d.answer(1);
          EXPECT_EQ(d.text("?LOC:PASSWORD"), "") << "the wrong entry is cleared";
          EXPECT_EQ(d.focused(), "?LOC:PASSWORD");
        }
      }
      if (!d.box() && !d.programEnded()) {
        if (c.finish == Finish::Cancel) d.click("?CANCELBUT");
        if (c.finish == Finish::CloseBox) d.closeBox();
        if (c.finish == Finish::Esc) d.press("Esc");
      }
      halt = haltText(d);
      frameAfter = !d.programEnded() && isOpen(d, "Main");
    });
    EXPECT_EQ(invalid, c.invalidMessages);
    EXPECT_EQ(halt, c.halt);
    EXPECT_FALSE(frameBeforeRight) << "the frame showed before the password was right";
    EXPECT_EQ(frameAfter, c.halt.empty());
    EXPECT_EQ(GLO_PasswordOn, 1);
    if (c.halt.empty()) {
      EXPECT_TRUE(GLO_ProgramPassword.blank()) << "the copy is dropped once used";
    }
  }();
}

TEST_F(PasswordGate, TheEntryMasksWhatIsTyped) {
  writeAccess("Secret1");
  pf::TestDriver d;
  runProgram(d, [&] {
    const pf::Control* entry = d.window().control(d.feq("?LOC:PASSWORD"));
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->password);
  });
}

TEST_F(PasswordGate, NoPasswordShowsNoPrompt) {
  struct Case {
    const char* name;
    bool file;
    std::optional<std::string> record;
  };
  const Case cases[] = {
      {"no Access.tps", false, std::nullopt},
      {"an empty Access.tps", true, std::nullopt},
      {"a blank password", true, std::string()},
      {"a password of blanks", true, std::string("     ")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    resetShellGlobals();
    TempDir own;
    if (c.file) writeAccess(c.record);
    pf::TestDriver d;
    bool frame = false;
    runProgram(d, [&] { frame = isOpen(d, "Main"); });
    EXPECT_TRUE(frame);
    EXPECT_EQ(GLO_PasswordOn, 0);
    for (const auto& shown : d.history()) EXPECT_NE(shown.kind, pf::DialogKind::Halt);
  }
}

TEST_F(PasswordGate, ARefusedWindowEndsTheProgram) {
  // Another prompt already showing: this one opens nothing and must not count as right.
  writeAccess("Secret1");
  GLO_ValidatePasswordThread = 99;
  pf::TestDriver d;
  std::string halt;
  bool frame = true;
  runProgram(d, [&] {
    frame = isOpen(d, "Main");
    halt = haltText(d);
  });
  EXPECT_FALSE(frame);
  EXPECT_EQ(halt, qb::HaltNotEntered);
}

TEST_F(PasswordGate, AnUnreadablePasswordFileEndsTheProgram) {
  // Anything but a password file: the program must not open as if no password were set.
  {
    FILE* f = std::fopen("Access.tps", "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("this is not a database file, and it is long enough to be read as one....", f);
    std::fclose(f);
  }
  pf::TestDriver d;
  bool frame = true;
  runProgram(d, [&] {
    frame = isOpen(d, "Main");
    while (d.box() && d.box()->kind == pf::DialogKind::Message) d.answer(1);
    haltText(d);
  });
  EXPECT_FALSE(frame);
}

// The password file after someone has been at it, the program and its data left alone.
enum class Tamper { Removed, Emptied, OwnerKeyed, OwnerKeyedWithAPassword, Garbage };

void tamper(Tamper how) {
  std::remove("Access.tps");
  if (how == Tamper::Emptied) std::fclose(std::fopen("Access.tps", "wb"));
  if (how == Tamper::Garbage) {
    FILE* f = std::fopen("Access.tps", "wb");
    std::fputs("not a password file", f);
    std::fclose(f);
  }
  if (how == Tamper::OwnerKeyed || how == Tamper::OwnerKeyedWithAPassword) {
    // What the owner password alone, which is in every copy of the program, can make.
    AccessRecord rec;
    pf::File f(AccessDesc(), &rec);
    ASSERT_EQ(f.create(), 0);
    ASSERT_EQ(f.open(), 0);
    if (how == Tamper::OwnerKeyedWithAPassword) rec.PWORD = "mine12";
    ASSERT_EQ(f.add(), 0);
    f.close();
  }
}

TEST_F(PasswordGate, APasswordFileRemovedOrReplacedLetsNobodyIn) {
  const Tamper cases[] = {Tamper::Removed, Tamper::Emptied, Tamper::OwnerKeyed,
                          Tamper::OwnerKeyedWithAPassword, Tamper::Garbage};
  for (Tamper how : cases) {
    SCOPED_TRACE("tampered " + std::to_string(static_cast<int>(how)));
    resetShellGlobals();
    TempDir own;
    writeAccess("Secret1", true);
    tamper(how);
    // Three tries with anything but the password: the same prompt and the same end.
    {
      pf::TestDriver d;
      std::string halt;
      bool frame = false, asked = false;
      runProgram(d, [&] {
        asked = isOpen(d, "ValidatePassword");
        for (const char* entry : {"", "mine12", "secret1"}) {
          frame = frame || isOpen(d, "Main");
          d.type("?LOC:PASSWORD", entry);
          d.click("?CLOSE");
          if (d.box() && d.box()->message.text == kInvalid) d.answer(1);
        }
        halt = haltText(d);
      });
      EXPECT_TRUE(asked);
      EXPECT_FALSE(frame);
      EXPECT_EQ(halt, qb::HaltThreeWrong);
      EXPECT_EQ(openingPassword({"", "mine12"}), "(none)") << "the data opens with no other password";
    }
    // The password still opens the program, and the password file is made again under it.
    resetShellGlobals();
    pf::TestDriver d;
    bool frame = false;
    runProgram(d, [&] {
      d.type("?LOC:PASSWORD", "Secret1");
      d.click("?CLOSE");
      frame = isOpen(d, "Main");
    });
    EXPECT_TRUE(frame);
    EXPECT_EQ(openingPassword({"", "mine12", "Secret1"}), "Secret1");
  }
}

}  // namespace
}  // namespace qbtest
