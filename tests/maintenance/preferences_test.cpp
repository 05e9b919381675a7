// The preferences form, played by a user.
#include <gtest/gtest.h>

#include <string>

#include "tests/maintenance/maintenance_fixture.h"

namespace qbtest {
namespace {

class Preferences : public MaintenanceTest {
 protected:
  void SetUp() override {
    MaintenanceTest::SetUp();
    writeCategories({"All Categories", "Default", "News", "Travel"});
    DefaultsRecord p;
    p.RECORDNUMBER = 1;
    p.DEFAULTCAT = "News";
    p.HOMEPAGE = "http://home.org";
    p.COLUMN4WIDTH = 77;
    writePrefs(p);
    GLO_DefaultCat = "News";
    GLO_HomePage = "http://home.org";
  }
  void open() {
    d.start(qb::Win_Preferences);
    ASSERT_EQ(d.window().name(), "Win_Preferences");
  }
};

TEST_F(Preferences, DriveLetterRulesOnOk) {
  struct Case {
    const char* typed;
    const char* warning;   // caption of the box shown on OK, "" none
    bool saved;
    const char* stored;
  };
  const Case cases[] = {
      {"", "", true, ""},          {"E", "", true, "E"},  {"c", "Are you sure?", true, "C"},
      {"D", "Are you sure?", true, "D"}, {"5", "Invalid...", false, ""}, {"#", "Invalid...", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    GLO_DefaultBupDrive = "";
    DefaultsRecord fresh = readPrefs();
    fresh.DEFAULTBUPDRIVE = "";
    writePrefs(fresh);
    open();
    d.enter("?PREF:DEFAULTBUPDRIVE", c.typed);
    d.click("?OK");
    if (*c.warning) expectBox(c.warning);
    EXPECT_EQ(d.box(), nullptr) << box();
    EXPECT_EQ(isOpen("Win_Preferences"), !c.saved);
    if (!c.saved) {
      EXPECT_EQ(d.focused(), "?PREF:DEFAULTBUPDRIVE");
      d.click("?CANCEL");
      EXPECT_FALSE(isOpen("Win_Preferences"));
    }
    DefaultsRecord p = readPrefs();
    EXPECT_EQ(p.DEFAULTBUPDRIVE.clip(), c.stored);
    EXPECT_EQ(GLO_DefaultBupDrive.clip(), c.stored);
    EXPECT_EQ(p.COLUMN4WIDTH, 77) << "fields the form does not edit are written back as read";
  }
}

TEST_F(Preferences, ARecordNumberOutOfRangeIsNotSaved) {
  for (int number : {0, 1, 2, 255}) [&] {
    SCOPED_TRACE(number);
    DefaultsRecord p = readPrefs();
    p.RECORDNUMBER = static_cast<std::uint8_t>(number);
    p.AUTOOPENBROWSE = 0;
    writePrefs(p);
    GLO_AutoOpenBrowse = 0;
    open();
    d.check("?PREF:AUTOOPENBROWSE", true);
    d.click("?OK");
    const bool refused = number > 1;
    if (refused) {
      ASSERT_NE(d.box(), nullptr);
      EXPECT_EQ(d.box()->message.caption, "Range Error");
      EXPECT_EQ(d.box()->message.text, "The value of PREF:RecordNumber must be in range 0 .. 1.");
      d.answer(1);
      EXPECT_EQ(d.focused(), "?PREF:AUTOOPENBROWSE");
      d.click("?CANCEL");
      while (d.box()) d.answer("&No");
    }
    EXPECT_EQ(d.box(), nullptr) << box();
    EXPECT_FALSE(isOpen("Win_Preferences"));
    EXPECT_EQ(readPrefs().AUTOOPENBROWSE, refused ? 0 : 1);
    EXPECT_EQ(GLO_AutoOpenBrowse, refused ? 0 : 1);
    EXPECT_EQ(readPrefs().RECORDNUMBER, number);
  }();
}

TEST_F(Preferences, LowerCaseLetterShownUpperWhenLeft) {
  open();
  d.enter("?PREF:DEFAULTBUPDRIVE", "c");
  EXPECT_EQ(d.text("?PREF:DEFAULTBUPDRIVE"), "C");
}

TEST_F(Preferences, HomePagePaste) {
  open();
  pf::setClipboard("http://new.org");
  d.click("?PASTEBUT");
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.text, "Do you want to overwrite the existing address?");
  EXPECT_EQ(d.box()->message.caption, "Field not empty...");
  d.answer("&Cancel");
  EXPECT_EQ(d.text("?PREF:HOMEPAGE"), "http://home.org");
  EXPECT_EQ(d.focused(), "?PREF:HOMEPAGE");

  pf::setClipboard("");
  d.click("?PASTEBUT");
  d.answer("&Overwrite");
  EXPECT_EQ(d.text("?PREF:HOMEPAGE"), "");

  pf::setClipboard("http://new.org");
  d.click("?PASTEBUT");
  EXPECT_EQ(d.box(), nullptr) << "an empty field takes the clipboard without asking";
  EXPECT_EQ(d.text("?PREF:HOMEPAGE"), "http://new.org");
  d.click("?OK");
  EXPECT_EQ(readPrefs().HOMEPAGE.clip(), "http://new.org");
  EXPECT_EQ(GLO_HomePage.clip(), "http://new.org");
}

TEST_F(Preferences, TooltipsFollowAtOnce) {
  open();
  d.check("?PREF:TOOLTIPSONOFF", true);
  d.click("?OK");
  EXPECT_TRUE(pf::noTips());
  EXPECT_EQ(readPrefs().TOOLTIPSONOFF, 1);
  open();
  EXPECT_TRUE(d.checked("?PREF:TOOLTIPSONOFF"));
  d.check("?PREF:TOOLTIPSONOFF", false);
  d.click("?OK");
  EXPECT_FALSE(pf::noTips());
}

TEST_F(Preferences, CancelChangesNothing) {
  open();
  d.check("?PREF:AUTOOPENBROWSE", true);
  d.enter("?PREF:DEFAULTBUPDRIVE", "F");
  d.click("?CANCEL");
  while (d.box()) d.answer(2);
  EXPECT_FALSE(isOpen("Win_Preferences"));
  EXPECT_EQ(readPrefs().AUTOOPENBROWSE, 0);
  EXPECT_EQ(readPrefs().DEFAULTBUPDRIVE.clip(), "");
  EXPECT_EQ(GLO_DefaultBupDrive.clip(), "");
}

TEST_F(Preferences, DefaultCategory) {
  open();
  EXPECT_EQ(d.selected("?CAT:CATEGORY"), 3) << "the stored category, News, is chosen";
  d.pick("?CAT:CATEGORY", "Travel");
  d.click("?OK");
  EXPECT_EQ(readPrefs().DEFAULTCAT.clip(), "Travel");
  EXPECT_EQ(GLO_DefaultCat.clip(), "Travel");
}

TEST_F(Preferences, StaleCategoryStoredAsAllCategories) {
  DefaultsRecord p = readPrefs();
  p.DEFAULTCAT = "Gone";
  writePrefs(p);
  GLO_DefaultCat = "Gone";
  open();
  EXPECT_EQ(d.selected("?CAT:CATEGORY"), 0);
  d.click("?OK");
  EXPECT_FALSE(isOpen("Win_Preferences"));
  EXPECT_EQ(readPrefs().DEFAULTCAT.clip(), "All Categories");
  EXPECT_EQ(GLO_DefaultCat.clip(), "Gone") << "in force until the next start";
}

}  // namespace
}  // namespace qbtest
