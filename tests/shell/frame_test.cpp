// The frame as a user meets it: dispatch, guards, confirmations, the preference
// bootstrap, calendar and clock, the Maintenance menu, and leaving the program.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "data/dictionary.h"
#include "data/globals.h"
#include "platform/classes/help_controller.h"
#include "platform/core/dates.h"
#include "platform/os/desktop.h"
#include "platform/ui/layout.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/ui.h"
#include "shell/main_frame.h"
#include "shell/main_program.h"
#include "shell/procedures.h"
#include "tests/support/temp_dir.h"

namespace {

struct Call {
  std::string name;
  int thread;
  int stack;
  int removeTagMode;
  int passwordChangeMode;
};
std::vector<Call> calls;

const char* Names[] = {"BrowseWebsites", "BrowseCategories", "Win_OtherLink", "Rpt_Websites",
                       "Rpt_WebsitesByCat", "Rpt_Visits", "Rpt_WebsitesSelectedCat",
                       "Rpt_FavoritesOnly", "Rpt_WebsitesSecurityOnly", "Rpt_Integrity",
                       "Win_Preferences", "RemoveTagging", "Win_BackupData", "Update_Password",
                       "Create_CSV", "Win_About"};

qb::Proc proc(std::string_view name) {
  for (qb::Proc p : qb::AllProcs)
    if (qb::procName(p) == name) return p;
  throw std::invalid_argument("no procedure " + std::string(name));
}

// A stand-in browse: a window of its own that keeps the open flag while it runs.
const char* BrowseLayout = R"(
window FakeBrowse mdi "Browse Websites" size 200,100
  button ?CLOSE "Close" at 10,10 size 40,14
end
)";
bool browseRefusesClose = false;

void fakeBrowse() {
  calls.push_back({"BrowseWebsites", pf::thread(), pf::ctx().stackSize, 0, 0});
  pf::Window w("FakeBrowse");
  GLO_BrowseSitesOpen = 1;
  w.open();
  while (w.accept()) {
    bool closing = w.event() == pf::EVENT::CloseWindow || w.event() == pf::EVENT::CloseDown;
    if (closing && browseRefusesClose) w.cycle();
    if (w.event() == pf::EVENT::Accepted) w.close();
  }
  GLO_BrowseSitesOpen = 0;
}

void writeDefaults(const DefaultsRecord& r) {
  DefaultsRecord buf = r;
  pf::File f(DefaultsDesc(), &buf);
  ASSERT_EQ(f.create(), 0);
  ASSERT_EQ(f.open(), 0);
  ASSERT_EQ(f.add(), 0);
  ASSERT_EQ(f.close(), 0);
}

std::vector<DefaultsRecord> readDefaults() {
  std::vector<DefaultsRecord> out;
  DefaultsRecord buf;
  pf::File f(DefaultsDesc(), &buf);
  if (f.open() != 0) return out;
  f.set();
  while (f.next() == 0) out.push_back(buf);
  f.close();
  return out;
}

DefaultsRecord preferences(std::uint8_t autoOpen = 0) {
  DefaultsRecord r;
  r.RECORDNUMBER = 1;
  r.AUTOOPENBROWSE = autoOpen;
  r.SHOWPWORDS = 1;
  r.SHOWCATS = 1;
  r.DEFAULTCAT = "All Categories";
  r.COLUMN4WIDTH = 40;
  r.COLUMN5WIDTH = 41;
  r.COLUMN6WIDTH = 20;
  return r;
}

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    browseRefusesClose = false;
    pf::registerLayout("FakeBrowse", BrowseLayout);
    for (const char* n : Names) {
      std::string name = n;
      qb::setProcedure(proc(name), [name] {
        calls.push_back({name, pf::thread(), pf::ctx().stackSize, GLO_RemoveTagMode,
                         GLO_PasswordChangeMode});
      });
    }
    GLO_BrowseSitesOpen = GLO_BrowseCatsOpen = 0;
    GLO_PasswordOn = 0;
    GLO_RemoveTagMode = 0;
    GLO_HomePage = "";
    qb::registerHelp();
    pf::helpShown().clear();
    pf::setDesktopShell(&shell);
  }
  void TearDown() override {
    pf::setDesktopShell(nullptr);
    for (const char* n : Names) qb::setProcedure(proc(n), {});
  }

  // Runs the program with `user` playing; the frame is open when it starts.
  void run(const std::function<void()>& user) {
    qb::installThreadHooks();
    driver.run(qb::MainProgram, [&] {
      ASSERT_FALSE(driver.windows().empty());
      user();
    });
  }

  std::string box() { return driver.box() ? driver.box()->message.text : std::string(); }

  qbtest::TempDir dir;
  pf::RecordingDesktopShell shell;
  pf::TestDriver driver{pf::dateToDay(2026, 12, 10), 9 * 360000 + 1};
};

// A procedure the frame leaves out of its registration ends the program when it is asked for.
TEST(ProcedureRegistry, TheFrameRegistersEveryProcedure) {
  qb::registerProcedures();
  for (qb::Proc p : qb::AllProcs) {
    SCOPED_TRACE(std::string(qb::procName(p)));
    EXPECT_TRUE(static_cast<bool>(qb::procedure(p)));
  }
}

TEST(ProcedureRegistryDeathTest, AnUnregisteredProcedureFailsLoudly) {
  EXPECT_DEATH({ (void)qb::procedure(qb::Proc::Win_About); }, "Win_About was never registered");
}

TEST_F(FrameTest, EveryChoiceReachesItsProcedure) {
  writeDefaults(preferences());
  struct Case {
    const char* item;
    const char* procedure;
    bool frameThread;
    int stack;
  } cases[] = {
      {"?LINKSBUT", "BrowseWebsites", false, 50000},
      {"?BROWSESITES", "BrowseWebsites", false, 50000},
      {"?CATBUT", "BrowseCategories", false, 25000},
      {"?BROWSECATEGORIES", "BrowseCategories", false, 25000},
      {"?BROWSENOTLISTED", "Win_OtherLink", true, 0},
      {"?REPORTSWEBSITELISTING", "Rpt_Websites", false, 50000},
      {"?REPORTSBYCATEGORY", "Rpt_WebsitesByCat", false, 50000},
      {"?REPORTSVISITS", "Rpt_Visits", false, 25000},
      {"?REPORTSBYSELCAT", "Rpt_WebsitesSelectedCat", false, 50000},
      {"?REPORTSFAVORITEWEBSITESONLY", "Rpt_FavoritesOnly", false, 50000},
      {"?RPTSONLYIDORPASSWORD", "Rpt_WebsitesSecurityOnly", false, 25000},
      {"?PREFERENCESSEL", "Win_Preferences", true, 0},
      {"?REPORTSINTEGRITYREPORT", "Rpt_Integrity", false, 25000},
      {"?FILEPWORDPROTECTION", "Update_Password", false, 25000},
      {"?FILEEXPORTTOCSV", "Create_CSV", false, 25000},
      {"?FILECREATEADATABACKUP", "Win_BackupData", true, 0},
      {"?BUPBUT", "Win_BackupData", false, 25000},
      {"?ABOUTABOUT", "Win_About", true, 0},
  };
  run([&] {
    for (const Case& c : cases) [&] {
      SCOPED_TRACE(c.item);
      calls.clear();
      driver.choose(c.item);
      ASSERT_EQ(calls.size(), 1u);
      EXPECT_EQ(calls[0].name, c.procedure);
      EXPECT_EQ(calls[0].thread == 1, c.frameThread);
      if (!c.frameThread) {
        EXPECT_EQ(calls[0].stack, c.stack);
      }
    }();
  });
}

TEST_F(FrameTest, PasswordItemsWithoutAPassword) {
  writeDefaults(preferences());
  run([&] {
    EXPECT_TRUE(driver.enabled("?FILEPWORDPROTECTION"));
    EXPECT_FALSE(driver.enabled("?FILECHGCLEARPASSWORDPROTECTION"));
  });
}

TEST_F(FrameTest, PasswordItemsWithAPassword) {
  writeDefaults(preferences());
  GLO_PasswordOn = 1;
  run([&] {
    EXPECT_FALSE(driver.enabled("?FILEPWORDPROTECTION"));
    EXPECT_TRUE(driver.enabled("?FILECHGCLEARPASSWORDPROTECTION"));
    driver.choose("?FILECHGCLEARPASSWORDPROTECTION");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].passwordChangeMode, 1);
    GLO_PasswordOn = 0;  // removed in the password form: the items keep their state
    driver.advance(100);
    EXPECT_TRUE(driver.enabled("?FILECHGCLEARPASSWORDPROTECTION"));
    EXPECT_FALSE(driver.enabled("?FILEPWORDPROTECTION"));
  });
}

TEST_F(FrameTest, WindowMenuArrangesTheChildren) {
  writeDefaults(preferences());
  run([&] {
    std::vector<pf::MdiArrangement> asked;
    pf::setArrangeHandler([&](pf::MdiArrangement how) { asked.push_back(how); });
    driver.choose("?TILE");
    driver.choose("?CASCADE");
    driver.choose("?ARRANGE");
    pf::setArrangeHandler(nullptr);
    EXPECT_EQ(asked, (std::vector<pf::MdiArrangement>{pf::MdiArrangement::Tile,
                                                      pf::MdiArrangement::Cascade,
                                                      pf::MdiArrangement::ArrangeIcons}));
  });
}

TEST_F(FrameTest, HomePageButton) {
  writeDefaults(preferences());
  run([&] {
    driver.choose("?INTERNETLINK");
    EXPECT_EQ(box(),
              "Enter (Copy and Paste) the address (URL) of your Home Page under [Preferences].||You can "
              "then use this button for direct access to your Home Page.");
    EXPECT_EQ(driver.box()->message.caption, "No Home Page address (URL) entered...");
    driver.answer(1);
    EXPECT_TRUE(shell.opened.empty());

    GLO_HomePage = "www.example.org   ";
    driver.choose("?INTERNETLINK");
    EXPECT_EQ(driver.box(), nullptr);
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], "http://www.example.org");
  });
}

TEST_F(FrameTest, BackupIsRefusedWhileABrowseIsOpen) {
  writeDefaults(preferences());
  struct Case {
    int sites, cats;
    const char* text;
    const char* caption;
  } cases[] = {
      {1, 0, "Please [Close] the Browse Websites window to enable the Backup option", "File open..."},
      {0, 1, "Please [Close] the Browse Categories window to enable the Backup option", "File open..."},
      {1, 1, "Please [Close] the Browse Websites and Browse Categories windows to enable the Backup option",
       "Files open..."},
  };
  run([&] {
    for (const Case& c : cases) {
      for (const char* item : {"?BUPBUT", "?FILECREATEADATABACKUP"}) [&] {
        SCOPED_TRACE(std::string(item) + " " + c.text);
        GLO_BrowseSitesOpen = static_cast<std::uint8_t>(c.sites);
        GLO_BrowseCatsOpen = static_cast<std::uint8_t>(c.cats);
        driver.choose(item);
        EXPECT_EQ(box(), c.text);
        ASSERT_NE(driver.box(), nullptr);
        EXPECT_EQ(driver.box()->message.caption, c.caption);
        driver.answer(1);
        EXPECT_TRUE(calls.empty());
      }();
    }
    GLO_BrowseSitesOpen = GLO_BrowseCatsOpen = 0;
  });
}

TEST_F(FrameTest, TaggingResetsAskFirst) {
  writeDefaults(preferences());
  struct Case {
    const char* item;
    const char* text;
    int mode;
  } cases[] = {
      {"?MAINTENANCERESETCOLORS", "Warning: All Color tagging will be removed!", 1},
      {"?MAINTENANCECLEARHL", "Warning: All Highlight tagging will be removed!", 2},
      {"?MAINTENANCERESETCLEARALLFAVORITESTAGGING",
       "Warning: All Favorite tagging will be removed (un-ticked)!", 3},
  };
  run([&] {
    for (const Case& c : cases) [&] {
      SCOPED_TRACE(c.item);
      calls.clear();
      driver.choose(c.item);
      ASSERT_NE(driver.box(), nullptr);
      EXPECT_EQ(box(), c.text);
      EXPECT_EQ(driver.box()->message.caption, "Are you sure?");
      EXPECT_EQ(driver.box()->buttons, (std::vector<std::string>{"&Remove", "&Cancel"}));
      EXPECT_EQ(driver.box()->message.defaultButton, 2);
      driver.answer("&Cancel");
      EXPECT_TRUE(calls.empty());

      driver.choose(c.item);
      driver.answer("&Remove");
      ASSERT_EQ(calls.size(), 1u);
      EXPECT_EQ(calls[0].name, "RemoveTagging");
      EXPECT_EQ(calls[0].thread, 1);
      EXPECT_EQ(calls[0].removeTagMode, c.mode);
    }();
  });
}

TEST_F(FrameTest, MaintenanceMenuFollowsTheWebsitesBrowse) {
  writeDefaults(preferences());
  qb::setProcedure(qb::Proc::BrowseWebsites, fakeBrowse);
  run([&] {
    EXPECT_TRUE(driver.enabled("?MAINTENANCEMENU"));
    driver.choose("?BROWSESITES");
    driver.activate("Quillbox");
    EXPECT_FALSE(driver.enabled("?MAINTENANCEMENU"));
    driver.click("?CLOSE", "FakeBrowse");
    driver.advance(100);
    EXPECT_TRUE(driver.enabled("?MAINTENANCEMENU"));

    // The flag set with no frame event since: the choice itself is refused.
    GLO_BrowseSitesOpen = 1;
    calls.clear();
    driver.choose("?PREFERENCESSEL");
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(driver.enabled("?MAINTENANCEMENU"));
    GLO_BrowseSitesOpen = 0;
  });
}

TEST_F(FrameTest, BootstrapOfAMissingPreferencesFile) {
  run([&] {
    ASSERT_EQ(calls.size(), 1u) << "the websites browse opens by itself";
    EXPECT_EQ(calls[0].name, "BrowseWebsites");
    EXPECT_NE(calls[0].thread, 1);
    EXPECT_EQ(calls[0].stack, 50000);
  });
  auto recs = readDefaults();
  ASSERT_EQ(recs.size(), 1u);
  const DefaultsRecord& r = recs[0];
  EXPECT_EQ(r.RECORDNUMBER, 1);
  EXPECT_EQ(r.AUTOOPENBROWSE, 1);
  EXPECT_EQ(r.SHOWPWORDS, 1);
  EXPECT_EQ(r.SHOWCATS, 1);
  EXPECT_EQ(r.TOOLTIPSONOFF, 0);
  EXPECT_EQ(r.DEFAULTCAT.clip(), "All Categories");
  EXPECT_EQ(r.COLUMN4WIDTH, 45);
  EXPECT_EQ(r.COLUMN5WIDTH, 45);
  EXPECT_EQ(r.COLUMN6WIDTH, 25);
  EXPECT_FALSE(pf::noTips());
  EXPECT_EQ(GLO_Column4Width, 45);
  EXPECT_EQ(GLO_Column6Width, 25);
  EXPECT_EQ(GLO_DefaultCat.clip(), "All Categories");
}

TEST_F(FrameTest, BootstrapOfAnEmptyPreferencesFile) {
  {
    DefaultsRecord buf;
    pf::File f(DefaultsDesc(), &buf);
    ASSERT_EQ(f.create(), 0);
  }
  run([&] { EXPECT_EQ(box(), "") << "an empty file is no error"; });
  auto recs = readDefaults();
  ASSERT_EQ(recs.size(), 1u) << "the file gets its record";
  EXPECT_EQ(recs[0].COLUMN5WIDTH, 45);
  EXPECT_EQ(GLO_AutoOpenBrowse, 1);
}

TEST_F(FrameTest, BootstrapOfZeroWidthsAndSettings) {
  DefaultsRecord r = preferences();
  r.COLUMN4WIDTH = 0;
  r.COLUMN5WIDTH = 0;
  r.COLUMN6WIDTH = 0;
  r.TOOLTIPSONOFF = 1;
  r.HOMEPAGE = "https://example.org/  ";
  r.DEFAULTBUPDRIVE = "E";
  r.DEFAULTCAT = "News";
  writeDefaults(r);
  run([&] { EXPECT_TRUE(calls.empty()) << "no browse when the preferences say so"; });
  EXPECT_EQ(GLO_Column4Width, 45);
  EXPECT_EQ(GLO_Column5Width, 45);
  EXPECT_EQ(GLO_Column6Width, 25);
  EXPECT_TRUE(pf::noTips());
  EXPECT_EQ(GLO_HomePage.str(), "https://example.org/");
  EXPECT_EQ(GLO_DefaultBupDrive.str(), "E");
  EXPECT_EQ(GLO_DefaultCat.clip(), "News");
  auto recs = readDefaults();
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(recs[0].COLUMN4WIDTH, 0) << "the record is not changed";
  pf::setNoTips(false);
}

TEST_F(FrameTest, BootstrapReportsAnUnreadableFile) {
  {
    std::ofstream out("Defaults.tps");
    out << "this is not a data file at all, just some text that fills a page or so\n";
  }
  run([&] {
    EXPECT_EQ(box().rfind("Error with ", 0), 0u) << box();
    driver.answer(1);
    EXPECT_FALSE(driver.windows().empty()) << "the frame goes on";
  });
  EXPECT_EQ(GLO_Column4Width, 45);
}

TEST(FrameTexts, CalendarAndClock) {
  struct Case {
    std::int32_t day;
    const char* text;
  } cases[] = {
      {4, "Thursday, January 1, 1801"},
      {pf::dateToDay(2026, 12, 10), "Thursday, December 10, 2026"},
      {pf::dateToDay(2026, 12, 13), "Sunday, December 13, 2026"},
      {pf::dateToDay(2027, 1, 2), "Saturday, January 2, 2027"},
      {pf::dateToDay(2024, 2, 29), "Thursday, February 29, 2024"},
  };
  for (const Case& c : cases) EXPECT_EQ(qb::calendarText(c.day), c.text);
  EXPECT_EQ(qb::clockText(9 * 360000 + 1), "9:00AM");
  EXPECT_EQ(qb::clockText(23 * 360000 + 59 * 6000 + 1), "11:59PM");
}

TEST(FrameClock, CalendarAndClockFollowTheTime) {
  qbtest::TempDir dir;
  writeDefaults(preferences());
  pf::TestDriver d(pf::dateToDay(2026, 12, 10), 23 * 360000 + 59 * 6000 + 58 * 100 + 1);
  qb::installThreadHooks();
  d.run(qb::MainProgram, [&] {
    EXPECT_EQ(d.text("?CALENDAR"), "Thursday, December 10, 2026");
    EXPECT_EQ(d.status(4), "11:59PM");
    d.advance(300);
    EXPECT_EQ(d.text("?CALENDAR"), "Friday, December 11, 2026") << "within a second of midnight";
    EXPECT_EQ(d.status(4), "12:00AM");
    d.advance(6000);
    EXPECT_EQ(d.status(4), "12:01AM");
  });
}

TEST_F(FrameTest, LeavingEmptiesTheClipboardAndSavesThePlacement) {
  writeDefaults(preferences());
  run([&] {
    pf::setClipboard("my secret password");
    driver.choose("?EXIT");
    EXPECT_TRUE(driver.programEnded());
  });
  EXPECT_EQ(pf::clipboard(), "");
  std::ifstream in("Linkvue.ini");
  std::stringstream s;
  s << in.rdbuf();
  EXPECT_NE(s.str().find("[Main]"), std::string::npos) << s.str();
}

TEST_F(FrameTest, ClosingTheFrameClosesOtherThreadsWindowsFirst) {
  writeDefaults(preferences());
  qb::setProcedure(qb::Proc::BrowseWebsites, fakeBrowse);
  run([&] {
    browseRefusesClose = true;
    driver.choose("?BROWSESITES");
    driver.activate("Quillbox");
    driver.closeBox("Quillbox");
    driver.advance(200);
    EXPECT_EQ(driver.windows().size(), 2u) << "a window that refuses keeps the frame open";
    EXPECT_EQ(GLO_BrowseSitesOpen, 1);

    browseRefusesClose = false;
    driver.activate("Quillbox");
    driver.choose("?EXIT");
    driver.advance(200);
    EXPECT_TRUE(driver.programEnded());
  });
  EXPECT_EQ(GLO_BrowseSitesOpen, 0) << "the browse ran its own close";
}

TEST_F(FrameTest, HelpFromTheFrame) {
  writeDefaults(preferences());
  run([&] {
    driver.choose("?HELPHELPCONTENTS");
    ASSERT_FALSE(pf::helpShown().empty());
    EXPECT_EQ(pf::helpShown().back().page, "index.html");
    driver.choose("?HELPQUICKHELP");
    EXPECT_EQ(pf::helpShown().back().page, "tour.htm");
    EXPECT_TRUE(pf::helpShown().back().found);
    pf::helpShown().clear();
    driver.press("F1");
    ASSERT_FALSE(pf::helpShown().empty()) << "F1 works in the frame";
    EXPECT_EQ(pf::helpShown().back().page, "index.html");
  });
}

TEST(HelpPages, EveryKeywordAndTopicHasItsPage) {
  qb::registerHelp();
  const pf::HelpBook* book = pf::findHelpBook("LINKVUE.chm");
  ASSERT_NE(book, nullptr);
  EXPECT_TRUE(book->pages.count(book->contents));
  for (const char* k : {"Browse websites tour", "Add a new website", "Edit a website", "Backup",
                        "Add a new category", "Edit a category", "Printing reports",
                        "Apply your default preferences", "Apply Password Protection"}) [&] {
    SCOPED_TRACE(k);
    std::string key = k;
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    ASSERT_TRUE(book->keywords.count(key));
    EXPECT_TRUE(book->pages.count(book->keywords.at(key)));
  }();
  for (const char* t : {"Program defaults.htm", "Win_SelectCategory.htm", "Win_QuickLink.htm"})
    EXPECT_TRUE(book->pages.count(t)) << t;
  for (const auto& e : book->index) EXPECT_TRUE(book->pages.count(e.page)) << e.keyword << " -> " << e.page;
  // The contents lead to every page, and only to pages there are.
  std::set<std::string> listed;
  std::function<void(const std::vector<pf::HelpContentsEntry>&)> walk = [&](const auto& entries) {
    for (const auto& e : entries) {
      if (!e.page.empty()) {
        EXPECT_TRUE(book->pages.count(e.page)) << e.title << " -> " << e.page;
        listed.insert(e.page);
      }
      walk(e.children);
    }
  };
  walk(book->tree);
  for (const auto& [name, html] : book->pages) EXPECT_TRUE(listed.count(name)) << name << " is not in the contents";
  // Links between the pages all lead somewhere.
  for (const auto& [name, html] : book->pages) {
    for (std::size_t at = html.find("href=\""); at != std::string::npos; at = html.find("href=\"", at + 1)) {
      std::size_t end = html.find('"', at + 6);
      std::string target = html.substr(at + 6, end - at - 6);
      EXPECT_TRUE(book->pages.count(target)) << name << " links to " << target;
    }
  }
}

}  // namespace
