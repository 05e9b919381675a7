// The password form, played from the frame's File menu.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "shell/password.h"
#include "tests/shell/password/shell_fixture.h"

namespace qbtest {
namespace {

using PasswordForm = ShellTest;

const char* const kImportant =
    "Please do read the 'Help' topic first!||Click on the [ ? ] Help button from the 'Apply "
    "Password Protection' window next.";
const char* const kCancelled = "No changes to the password configuration have been made.";

// Opens the form in apply mode (no password set at start).
void openApply(pf::TestDriver& d) {
  d.choose("?FILEPWORDPROTECTION");
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.text, kImportant);
  EXPECT_EQ(d.box()->message.caption, "IMPORTANT...");
  d.answer(1);
  ASSERT_EQ(d.window().name(), "Update_Password");
}

// Gives the start-up password, then opens the form in change mode.
void openChange(pf::TestDriver& d, const std::string& current) {
  d.type("?LOC:PASSWORD", current);
  d.click("?CLOSE");
  ASSERT_EQ(d.box(), nullptr);
  d.choose("?FILECHGCLEARPASSWORDPROTECTION");
  ASSERT_EQ(d.box(), nullptr) << "change mode shows no reminder";
  ASSERT_EQ(d.window().name(), "Update_Password");
}

// Types both entries and validates them; the texts of the boxes shown, acknowledged.
std::vector<std::string> validate(pf::TestDriver& d, const std::string& pw, const std::string& again) {
  d.type("?LOC:PWORD", pw);
  d.type("?LOC:MATCHPW", again);
  d.click("?VALBUT");
  std::vector<std::string> texts;
  while (pf::Dialog* b = d.box()) {
    texts.push_back(b->message.caption + " " + b->message.text);
    d.answer(1);
  }
  return texts;
}

TEST_F(PasswordForm, ChecksInOrder) {
  const std::string empty = "Invalid... You must enter a valid password.";
  const std::string noMatch = "Invalid match... You must enter a matching password.";
  const std::string differ = "Invalid match... The passwords do not match.";
  const std::string shortPw = "Invalid password... A Password must have at lease 6 characters.";
  struct Case {
    const char* pw;
    const char* again;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {"", "", {empty}},
      {"", "abcdef", {empty}},
      {"abcdef", "", {noMatch}},
      {"abc", "", {noMatch, shortPw}},
      {"abcdef", "abcdeg", {differ}},
      {"Abcdef", "abcdef", {differ}},
      {"abc", "abd", {differ, shortPw}},
      {"abcde", "abcde", {shortPw}},
      {"  abcd", "  abcd", {shortPw}},      // stored without its blanks: 4 characters
      {" abcdef", "abcdef", {differ}},      // leading blanks count in the comparison
      {"abcdef   ", "abcdef", {}},          // trailing blanks do not
      {"  abcdef  ", "  abcdef", {}},
      {"Secret99", "Secret99", {}},
  };
  pf::TestDriver d;
  runProgram(d, [&] {
    openApply(d);
    EXPECT_FALSE(d.visible("?LOC:REMOVEPW")) << "apply mode never shows the removal box";
    EXPECT_FALSE(d.enabled("?OKBUTTON"));
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string("\"") + c.pw + "\" / \"" + c.again + "\"");
      if (!d.enabled("?VALBUT")) {
        // Still validated from the case before: editing an entry must undo that.
        d.enter("?LOC:PWORD", "changed");
        EXPECT_TRUE(d.enabled("?VALBUT"));
        EXPECT_FALSE(d.enabled("?OKBUTTON"));
      }
      EXPECT_EQ(validate(d, c.pw, c.again), c.messages);
      bool valid = c.messages.empty();
      EXPECT_EQ(d.enabled("?OKBUTTON"), valid);
      EXPECT_EQ(d.enabled("?VALBUT"), !valid);
    }
  });
  EXPECT_EQ(openingPassword({"", "Secret99", "changed"}), "") << "nothing is keyed without Apply and Save";
}

TEST_F(PasswordForm, ApplyStoresThePasswordWithoutItsBlanks) {
  pf::TestDriver d;
  runProgram(d, [&] {
    openApply(d);
    EXPECT_EQ(d.window().caption(), "Apply Password Protection...");
    EXPECT_TRUE(validate(d, "  Secret99 ", "  Secret99").empty());
    d.click("?OKBUTTON");
    EXPECT_FALSE(isOpen(d, "Update_Password"));
  });
  EXPECT_EQ(openingPassword({"", "  Secret99 ", "Secret99"}), "  Secret99 ") << "blanks around it do not count";
  EXPECT_EQ(openingPassword({"", "Secret9"}), "(none)");
}

TEST_F(PasswordForm, AnEntryChangedAfterValidationIsNotSaved) {
  pf::TestDriver d;
  runProgram(d, [&] {
    openApply(d);
    EXPECT_TRUE(validate(d, "Secret99", "Secret99").empty());
    d.type("?LOC:MATCHPW", "x");   // not left yet: Apply takes it on the way
    d.click("?OKBUTTON");
    EXPECT_TRUE(isOpen(d, "Update_Password")) << "a stale validation must not close the form";
    EXPECT_FALSE(d.enabled("?OKBUTTON"));
    EXPECT_TRUE(d.enabled("?VALBUT"));
  });
  EXPECT_EQ(openingPassword({"", "Secret99", "Secret99x"}), "");
}

enum class Removal { Untouched, Ticked, TickedThenUnticked };
enum class Close { Apply, Cancel, CloseBox, Esc, FrameCloses };

TEST_F(PasswordForm, OnlyApplyWritesWhatTheFormShows) {
  struct Case {
    Removal removal;
    Close close;
    const char* stored;
  };
  const Case cases[] = {
      {Removal::Untouched, Close::Apply, "NewPass22"},
      {Removal::Ticked, Close::Apply, ""},
      {Removal::TickedThenUnticked, Close::Apply, "NewPass22"},
      {Removal::Untouched, Close::Cancel, "OldPass1"},
      {Removal::Ticked, Close::Cancel, "OldPass1"},
      {Removal::TickedThenUnticked, Close::Cancel, "OldPass1"},
      {Removal::Untouched, Close::CloseBox, "OldPass1"},
      {Removal::Ticked, Close::CloseBox, "OldPass1"},
      {Removal::TickedThenUnticked, Close::CloseBox, "OldPass1"},
      {Removal::Ticked, Close::Esc, "OldPass1"},
      {Removal::Ticked, Close::FrameCloses, "OldPass1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("removal " + std::to_string(static_cast<int>(c.removal)) + ", close " +
                 std::to_string(static_cast<int>(c.close)));
    resetShellGlobals();
    TempDir own;
    writeAccess("OldPass1");
    pf::TestDriver d;
    runProgram(d, [&] {
      openChange(d, "OldPass1");
      EXPECT_TRUE(d.visible("?LOC:REMOVEPW"));
      EXPECT_FALSE(d.enabled("?LOC:REMOVEPW")) << "removal waits for a validation";
      EXPECT_TRUE(validate(d, "NewPass22", "NewPass22").empty());
      if (c.removal != Removal::Untouched) {
        d.click("?LOC:REMOVEPW");
        EXPECT_EQ(d.text("?LOC:PWORD"), "");
        EXPECT_EQ(d.text("?LOC:MATCHPW"), "");
      }
      if (c.removal == Removal::TickedThenUnticked) {
        d.click("?LOC:REMOVEPW");
        EXPECT_EQ(d.text("?LOC:PWORD"), "NewPass22") << "unticking gives the typed password back";
        EXPECT_EQ(d.text("?LOC:MATCHPW"), "NewPass22");
      }
      switch (c.close) {
        case Close::Apply: d.click("?OKBUTTON"); break;
        case Close::Cancel:
          d.click("?CANCEL");
          acknowledge(d, kCancelled);
          break;
        case Close::CloseBox: d.closeBox(); break;
        case Close::Esc: d.press("Esc"); break;
        case Close::FrameCloses: d.choose("?EXIT", "Main"); break;
      }
      if (!d.programEnded()) {
        EXPECT_FALSE(isOpen(d, "Update_Password"));
      }
    });
    EXPECT_EQ(openingPassword({"", "OldPass1", "NewPass22"}), c.stored);
  }
}

TEST_F(PasswordForm, APasswordSetInOneRunIsAskedForInTheNext) {
  {
    pf::TestDriver d;
    runProgram(d, [&] {
      openApply(d);
      EXPECT_TRUE(validate(d, "Secret99", "Secret99").empty());
      d.click("?OKBUTTON");
      EXPECT_TRUE(d.enabled("?FILEPWORDPROTECTION", "Main")) << "the menu keeps its state for the run";
    });
  }
  resetShellGlobals();
  pf::TestDriver d;
  bool asked = false, frame = false;
  runProgram(d, [&] {
    asked = isOpen(d, "ValidatePassword") && !isOpen(d, "Main");
    d.type("?LOC:PASSWORD", "Secret99");
    d.click("?CLOSE");
    frame = isOpen(d, "Main");
    EXPECT_FALSE(d.enabled("?FILEPWORDPROTECTION", "Main"));
    EXPECT_TRUE(d.enabled("?FILECHGCLEARPASSWORDPROTECTION", "Main"));
  });
  EXPECT_TRUE(asked);
  EXPECT_TRUE(frame);
}

TEST_F(PasswordForm, ARemovedPasswordIsNotAskedForAgain) {
  writeAccess("OldPass1");
  {
    pf::TestDriver d;
    runProgram(d, [&] {
      openChange(d, "OldPass1");
      EXPECT_TRUE(validate(d, "anything", "anything").empty());
      d.click("?LOC:REMOVEPW");
      d.click("?OKBUTTON");
    });
  }
  resetShellGlobals();
  pf::TestDriver d;
  bool frame = false;
  runProgram(d, [&] { frame = isOpen(d, "Main") && !isOpen(d, "ValidatePassword"); });
  EXPECT_TRUE(frame);
}

TEST_F(PasswordForm, HelpLooksUpItsKeyword) {
  qb::registerHelp();
  pf::TestDriver d;
  runProgram(d, [&] {
    openApply(d);
    pf::helpShown().clear();
    d.click("?HELP");
    EXPECT_EQ(d.box(), nullptr);
    ASSERT_EQ(pf::helpShown().size(), 1u);
    EXPECT_EQ(pf::helpShown()[0].page, "password.htm");
    EXPECT_TRUE(isOpen(d, "Update_Password"));
  });
}

// The websites on disk, read with `password` in force ("": the owner password alone).
std::vector<std::string> websites(const std::string& password) {
  DataKey().use(DataKey().with(password));
  std::vector<std::string> out;
  WSitesRecord rec;
  pf::File f(WSitesDesc(), &rec);
  if (f.open() == 0) {
    f.set();
    while (f.next() == 0) out.push_back(rec.DESCRIPTION.clip());
  }
  f.close();
  DataKey().use(DataKey().with({}));
  return out;
}

TEST_F(PasswordForm, ChangingAndRemovingThePasswordKeepEveryWebsite) {
  writeAccess("OldPass1", true);
  struct Step {
    const char* current;
    const char* next;   // empty: removed
  } steps[] = {{"OldPass1", "NewPass22"}, {"NewPass22", ""}};
  for (const auto& s : steps) {
    SCOPED_TRACE(std::string(s.current) + " to \"" + s.next + "\"");
    resetShellGlobals();
    pf::TestDriver d;
    runProgram(d, [&] {
      openChange(d, s.current);
      EXPECT_TRUE(validate(d, *s.next ? s.next : "anything", *s.next ? s.next : "anything").empty());
      if (!*s.next) d.click("?LOC:REMOVEPW");
      d.click("?OKBUTTON");
      EXPECT_EQ(d.box(), nullptr);
      EXPECT_FALSE(isOpen(d, "Update_Password"));
    });
    EXPECT_EQ(openingPassword({"", "OldPass1", "NewPass22"}), s.next);
    EXPECT_EQ(websites(s.next), std::vector<std::string>{"A website"});
    EXPECT_TRUE(websites(s.current).empty()) << "the old password opens nothing any more";
  }
}

TEST_F(PasswordForm, AChangeThatCannotBeMadeSaysSoAndChangesNothing) {
  writeAccess("OldPass1", true);
  // The copy of the data under the new key has nowhere to go.
  ASSERT_EQ(::mkdir("wsites.tps.qbkey", 0700), 0);
  pf::TestDriver d;
  std::string caption, text;
  runProgram(d, [&] {
    openChange(d, "OldPass1");
    EXPECT_TRUE(validate(d, "NewPass22", "NewPass22").empty());
    d.click("?OKBUTTON");
    ASSERT_NE(d.box(), nullptr);
    caption = d.box()->message.caption;
    text = d.box()->message.text;
    d.answer(1);
    EXPECT_FALSE(isOpen(d, "Update_Password"));
    EXPECT_TRUE(isOpen(d, "Main"));
  });
  EXPECT_EQ(caption, "Not changed...");
  EXPECT_EQ(text.rfind("The password protection could not be changed: the data files keep the password they had.", 0), 0u)
      << text;
  EXPECT_EQ(openingPassword({"", "OldPass1", "NewPass22"}), "OldPass1");
  EXPECT_EQ(websites("OldPass1"), std::vector<std::string>{"A website"});
}

}  // namespace
}  // namespace qbtest
