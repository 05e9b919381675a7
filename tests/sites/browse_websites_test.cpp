// The websites browse as a user meets it: tabs and categories, colours, counting,
// opening a site, tagging, copying, the form's roads, widths and the kept layout.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <utility>

#include "data/globals.h"
#include "platform/classes/ini_manager.h"
#include "platform/ui/keys.h"
#include "shell/main_program.h"
#include "shell/procedures.h"
#include "sites/browse_websites.h"
#include "tests/sites/sites_fixture.h"

namespace {

using qbtest::Site;
using Names = std::vector<std::string>;

class BrowseTest : public qbtest::SitesTest {
 protected:
  // 2,000 websites, then `count` pages from `first` on overwritten, both worked out from
  // the file's number of pages.
  void addDamaged(const std::function<std::pair<std::streamoff, std::streamoff>(std::streamoff)>& span) {
    std::vector<Site> many;
    for (int i = 0; i < 2000; ++i)
      many.push_back({"Site " + std::to_string(i), "http://x.example", "News", 0, 0, 1, "", "", std::string(200, 'n')});
    qbtest::addSites(many);
    std::fstream f("wsites.tps", std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(0, std::ios::end);
    auto [first, count] = span(f.tellg() / 4096);
    f.seekp(first * 4096);
    f << std::string(static_cast<std::size_t>(count * 4096), 'U');
  }
  // Six websites over two categories; one without an address, tags of every kind.
  void addSample() {
    qbtest::addSites({
        {"Daily Paper", "http://paper.example", "News", 1, 0, 1},
        {"Weather", "http://weather.example", "News", 0, 1, 8},
        // Spelt otherwise, still of its category: the filter ignores letter case.
        {"Gazette", "", "news", 0, 0, 3},
        {"Bookshop", "http://books.example", "Shops", 1, 1, 5},
        {"Market", "http://market.example", "SHOPS", 0, 0, 1},
        {"Atlas", "http://atlas.example", "Travel", 0, 0, 7},
    });
  }
  pf::ListRow row(int r) { return d.window("BrowseWebsites").row(d.feq("?BROWSE:1", "BrowseWebsites"), r); }
  int list() { return d.feq("?BROWSE:1", "BrowseWebsites"); }
  std::string selectedDescription() {
    auto names = column(2);
    int s = d.selected("?BROWSE:1", "BrowseWebsites");
    return s >= 1 && s <= static_cast<int>(names.size()) ? names[static_cast<std::size_t>(s - 1)] : "";
  }
};

TEST_F(BrowseTest, TabsByCategory) {
  addSample();
  struct Case {
    const char* category;
    int tab;
    const char* caption;
    Names rows;
  } cases[] = {
      {"All Categories", 1, "All sites by description",
       {"Atlas", "Bookshop", "Daily Paper", "Gazette", "Market", "Weather"}},
      // A website without an address is not on the address tab.
      {"All Categories", 2, "All sites by address (URL)",
       {"Atlas", "Bookshop", "Market", "Daily Paper", "Weather"}},
      {"All Categories", 3, "All sites grouped by category",
       {"Daily Paper", "Gazette", "Weather", "Bookshop", "Market", "Atlas"}},
      {"All Categories", 4, "Favorites only", {"Bookshop", "Daily Paper"}},
      {"All Categories", 5, "Highlighted only", {"Bookshop", "Weather"}},
      {"All Categories", 6, "Colored only", {"Atlas", "Bookshop", "Gazette", "Weather"}},
      {"News", 1, "News by description", {"Daily Paper", "Gazette", "Weather"}},
      {"News", 2, "News by address (URL)", {"Daily Paper", "Weather"}},
      {"News", 4, "News - Favorites only", {"Daily Paper"}},
      {"News", 5, "News - Highlighted only", {"Weather"}},
      {"News", 6, "News - Colored only", {"Gazette", "Weather"}},
      {"Shops", 6, "Shops - Colored only", {"Bookshop"}},
  };
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(std::string(c.category) + " tab " + std::to_string(c.tab));
    GLO_DefaultCat = c.category;
    openBrowse();
    if (c.tab != 1) d.pick("?CURRENTTAB", std::to_string(c.tab));
    bool all = std::string(c.category) == "All Categories";
    EXPECT_EQ(caption(), c.caption);
    EXPECT_EQ(column(2), c.rows);
    EXPECT_EQ(count(), std::to_string(c.rows.size()));
    EXPECT_EQ(d.visible("?TAB3:2"), all);
    EXPECT_EQ(d.visible("?ALLCATBUT"), !all);
    EXPECT_EQ(pf::trim(d.text("?CAT:CATEGORY")), c.category);
    d.click("?CLOSE");
    ASSERT_TRUE(d.windows().empty());
  }();
}

TEST_F(BrowseTest, ComboAndF2ChangeTheCategory) {
  addSample();
  openBrowse();
  d.pick("?CAT:CATEGORY", "Shops");
  EXPECT_EQ(caption(), "Shops by description");
  EXPECT_EQ(column(2), (Names{"Bookshop", "Market"}));
  EXPECT_EQ(count(), "2");
  EXPECT_FALSE(d.visible("?TAB3:2"));
  d.pick("?CURRENTTAB", "5");
  EXPECT_EQ(caption(), "Shops - Highlighted only");
  EXPECT_EQ(column(2), (Names{"Bookshop"}));
  d.press("F2");
  EXPECT_EQ(caption(), "Highlighted only");
  EXPECT_EQ(pf::trim(d.text("?CAT:CATEGORY")), "All Categories");
  EXPECT_FALSE(d.visible("?ALLCATBUT"));
  EXPECT_TRUE(d.visible("?TAB3:2"));
  EXPECT_EQ(column(2), (Names{"Bookshop", "Weather"}));
  // The pressed button is gone: the list has the focus, and typing reaches its locator.
  EXPECT_EQ(d.focused(), "?BROWSE:1");
  d.pick("?CAT:CATEGORY", "Shops");
  d.click("?ALLCATBUT");
  EXPECT_EQ(d.focused(), "?BROWSE:1");
}

// A category picked on the category tab hides the tab but keeps it chosen: the list is
// still grouped by category and shows every website of the category.
TEST_F(BrowseTest, ACategoryPickedOnTheCategoryTab) {
  addSample();
  openBrowse();
  d.pick("?CURRENTTAB", "3");
  d.pick("?CAT:CATEGORY", "News");
  EXPECT_EQ(caption(), "News category only");
  EXPECT_EQ(column(2), (Names{"Daily Paper", "Gazette", "Weather"}));
  EXPECT_EQ(count(), "3");
  EXPECT_FALSE(d.visible("?TAB3:2"));
  EXPECT_EQ(d.selected("?CURRENTTAB"), 3);
  d.press("F2");
  EXPECT_EQ(caption(), "All sites grouped by category");
  EXPECT_TRUE(d.visible("?TAB3:2"));
  EXPECT_EQ(count(), "6");
}

// An empty tab must not empty the category filter for every other tab.
TEST_F(BrowseTest, AnEmptyTabKeepsTheCategory) {
  qbtest::addSites({{"Daily Paper", "http://paper.example", "News"},
                    {"Weather", "http://weather.example", "News"},
                    {"Market", "http://market.example", "Shops"}});
  for (const char* category : {"All Categories", "News"}) {
    SCOPED_TRACE(category);
    GLO_DefaultCat = category;
    openBrowse();
    d.pick("?CURRENTTAB", "4");
    EXPECT_TRUE(column(2).empty());
    EXPECT_EQ(count(), "0");
    d.pick("?CURRENTTAB", "1");
    bool all = std::string(category) == "All Categories";
    EXPECT_EQ(caption(), all ? "All sites by description" : "News by description");
    EXPECT_EQ(column(2), all ? (Names{"Daily Paper", "Market", "Weather"}) : (Names{"Daily Paper", "Weather"}));
    EXPECT_EQ(pf::trim(d.text("?CAT:CATEGORY")), category);
    d.click("?CLOSE");
  }
}

TEST_F(BrowseTest, RowColoursAndTheTick) {
  struct Case {
    std::uint8_t highlight, colour, favourite;
    std::int32_t fg, bg;
  } cases[] = {
      {0, 1, 0, 0x000000, -1}, {0, 2, 1, 0x000080, -1}, {0, 3, 0, 0x008000, -1},
      {0, 4, 0, 0x008080, -1}, {0, 5, 0, 0x800000, -1}, {0, 6, 0, 0x808000, -1},
      {0, 7, 0, 0x808080, -1}, {0, 8, 0, 0x0000FF, -1}, {0, 0, 0, -1, -1},
      {0, 9, 0, -1, -1},
      // Highlighted: default text on pale yellow whatever the colour.
      {1, 8, 1, -1, 0xCAFFFF},
  };
  std::vector<Site> sites;
  char name = 'A';
  for (const Case& c : cases) {
    Site s{std::string("Site ") + name++, "http://x.example", "News", c.favourite, c.highlight, c.colour};
    sites.push_back(s);
  }
  qbtest::addSites(sites);
  GLO_DefaultCat = "";
  openBrowse();
  d.window("BrowseWebsites").setProp(list(), pf::Prop::Height, 400);   // every row on one page
  d.pick("?CURRENTTAB", "2");
  d.pick("?CURRENTTAB", "1");
  ASSERT_EQ(d.rows("?BROWSE:1").size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    pf::ListRow r = row(static_cast<int>(i) + 1);
    EXPECT_EQ(r.cells[1].fg, cases[i].fg);
    EXPECT_EQ(r.cells[1].bg, cases[i].bg);
    EXPECT_EQ(r.cells[1].selFg, -1);
    EXPECT_EQ(r.cells[1].selBg, -1);
    EXPECT_EQ(r.cells[0].icon, cases[i].favourite);
    for (int c = 2; c < 6; ++c) EXPECT_EQ(r.cells[static_cast<std::size_t>(c)].fg, -1);
  }
  // A colour above 1 is listed on the colour tab; 0 and 1 are not.
  d.pick("?CURRENTTAB", "6");
  EXPECT_EQ(count(), "9");
}

TEST_F(BrowseTest, OpeningASiteRecordsOneVisit) {
  qbtest::addSites({{"Plain", "http://plain.example", "News", 0, 0, 1, "", "", "", 4},
                    {"Host only", "www.host.example", "News"},
                    {"Capitals", "HTTP://CAPS.EXAMPLE", "News"}});
  openBrowse();
  d.clickRow("?BROWSE:1", 3);   // Plain
  d.click("?INTERNETLINK");
  EXPECT_EQ(d.box(), nullptr);
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(shell.opened[0], "http://plain.example");
  auto all = qbtest::readSites();
  EXPECT_EQ(qbtest::findSite(all, "Plain").VISITS.get(), 5);
  EXPECT_EQ(qbtest::findSite(all, "Plain").LASTVISIT.get(), pf::dateToDay(2026, 12, 10));
  EXPECT_EQ(selectedDescription(), "Plain");

  // A double click and Enter warn about a link without "http" (capitals too), then open.
  for (const char* name : {"Host only", "Capitals"}) [&] {
    SCOPED_TRACE(name);
    int r = name == std::string("Capitals") ? 1 : 2;
    if (r == 1) d.doubleClickRow("?BROWSE:1", r, 2);
    else {
      d.clickRow("?BROWSE:1", r, 2);
      d.press("Enter");
    }
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(boxCaption(), "Link may not work!");
    d.answer(1);
    EXPECT_EQ(qbtest::findSite(qbtest::readSites(), name).VISITS.get(), 1);
    EXPECT_EQ(d.windows().size(), 1u);   // the form did not open
  }();
  EXPECT_EQ(shell.opened.size(), 3u);
}

// The user asked for the site: its visit counts whatever the desktop made of the address.
TEST_F(BrowseTest, ARefusedAddressStillCountsTheVisit) {
  qbtest::addSites({{"Blank", "", "News"},
                    {"Refused", "http://refused.example", "News"},
                    {"Script", "javascript:alert(1)", "News"}});
  openBrowse();
  // The button warns about a blank address as it gets the focus, and opens nothing.
  d.clickRow("?BROWSE:1", 1);
  d.click("?INTERNETLINK");
  EXPECT_EQ(boxText(), "No websites?||You must firstly select an address from the list.");
  d.answer(1);
  EXPECT_EQ(d.focused(), "?INSERT:3");
  EXPECT_EQ(qbtest::findSite(qbtest::readSites(), "Blank").VISITS.get(), 0);

  const char* refused = "The address could not be handed to the web browser.";
  const char* warning = "This URL does not appear to be a correct website link?";
  struct Case {
    const char* site;
    int row;
    bool enter;          // Enter on the list, else the button
    bool desktopTakes;
    std::vector<std::string> boxes;
  } cases[] = {
      {"Blank", 1, true, true, {warning, refused}},
      {"Script", 3, false, true, {warning, refused}},
      {"Refused", 2, false, false, {refused}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.site);
    shell.answer = c.desktopTakes;
    d.clickRow("?BROWSE:1", c.row);
    if (c.enter) d.press("Enter");
    else d.click("?INTERNETLINK");
    std::vector<std::string> boxes;
    for (int i = 0; i < 3 && d.box(); ++i) {
      boxes.push_back(boxText());
      d.answer(1);
    }
    EXPECT_EQ(boxes, c.boxes);
    auto site = qbtest::findSite(qbtest::readSites(), c.site);
    EXPECT_EQ(site.VISITS.get(), 1);
    EXPECT_EQ(site.LASTVISIT.get(), pf::dateToDay(2026, 12, 10));
  }
  // Only the web address went to the desktop.
  EXPECT_EQ(shell.opened, (std::vector<std::string>{"http://refused.example"}));
}

TEST_F(BrowseTest, FavouriteClickTogglesTheRowUnderThePointer) {
  qbtest::addSites({{"One", "http://1.example", "News", 1}, {"Two", "http://2.example", "News", 0},
                    {"Three", "http://3.example", "News", 1}});
  openBrowse();   // One, Three, Two
  d.clickRow("?BROWSE:1", 3, 1);
  auto all = qbtest::readSites();
  EXPECT_EQ(qbtest::findSite(all, "Two").FAVOURITEYN, 1);
  EXPECT_EQ(qbtest::findSite(all, "One").FAVOURITEYN, 1);
  EXPECT_EQ(selectedDescription(), "Two");
  EXPECT_EQ(row(3).cells[0].icon, 1);
  // A click elsewhere in the row, or below the last row, changes nothing.
  d.clickRow("?BROWSE:1", 1, 2);
  d.clickRow("?BROWSE:1", 9, 1);
  all = qbtest::readSites();
  EXPECT_EQ(qbtest::findSite(all, "One").FAVOURITEYN, 1);
  EXPECT_EQ(qbtest::findSite(all, "Three").FAVOURITEYN, 1);
  // On the favourites tab a removed tick takes the website off the list.
  d.pick("?CURRENTTAB", "4");
  EXPECT_EQ(count(), "3");
  d.clickRow("?BROWSE:1", 1, 1);
  EXPECT_EQ(column(2), (Names{"Three", "Two"}));
  EXPECT_EQ(count(), "2");
}

TEST_F(BrowseTest, HighlightAndColourButtons) {
  qbtest::addSites({{"Red one", "http://r.example", "News", 0, 0, 8}, {"Lit", "http://l.example", "News", 0, 1, 1}});
  openBrowse();   // Lit, Red one
  d.click("?YELLOW_HL");
  EXPECT_EQ(qbtest::findSite(qbtest::readSites(), "Lit").HIGHLIGHT, 0);
  d.click("?YELLOW_HL");
  EXPECT_EQ(qbtest::findSite(qbtest::readSites(), "Lit").HIGHLIGHT, 1);
  d.pick("?CURRENTTAB", "6");
  EXPECT_EQ(column(2), (Names{"Red one"}));
  d.click("?CLR1");
  EXPECT_EQ(qbtest::findSite(qbtest::readSites(), "Red one").TEXTCOLOR, 1);
  EXPECT_TRUE(column(2).empty());
  EXPECT_EQ(count(), "0");
  EXPECT_EQ(d.focused(), "?BROWSE:1");
}

TEST_F(BrowseTest, CopyButtons) {
  qbtest::addSites({{"Both", "http://b.example", "News", 0, 0, 1, "  joe", " secret "},
                    {"None", "http://n.example", "News", 0, 0, 1, "   ", ""}});
  openBrowse();   // Both, None
  d.click("?LOGON_BUT");
  EXPECT_EQ(d.clipboard(), "joe");
  EXPECT_FALSE(d.enabled("?LOGON_BUT"));
  EXPECT_TRUE(d.enabled("?PWORD_BUT"));
  d.click("?PWORD_BUT");
  EXPECT_EQ(d.clipboard(), "secret");
  EXPECT_TRUE(d.enabled("?LOGON_BUT"));
  EXPECT_FALSE(d.enabled("?PWORD_BUT"));
  EXPECT_EQ(d.focused(), "?BROWSE:1");
  // A new selection enables both again; nothing to copy says so.
  d.clickRow("?BROWSE:1", 2, 2);
  EXPECT_TRUE(d.enabled("?PWORD_BUT"));
  d.click("?LOGON_BUT");
  EXPECT_EQ(boxCaption(), "No ID or Password...");
  d.answer(1);
  EXPECT_EQ(d.clipboard(), "secret");
  EXPECT_TRUE(d.enabled("?LOGON_BUT"));
  EXPECT_TRUE(d.enabled("?PWORD_BUT"));
}

TEST_F(BrowseTest, TheNotesPaneFollowsTheSelectedRow) {
  qbtest::addSites({{"Atlas", "http://a.example", "Travel", 1, 0, 1, "", "", "Maps of the world."},
                    {"Bank", "http://b.example", "Shops", 0, 0, 1, "", "", "Line one\r\nLine two"},
                    {"Cinema", "http://c.example", "News"}});
  openBrowse();   // Atlas, Bank, Cinema
  struct Step {
    const char* what;
    std::function<void()> act;
    std::string notes;
  };
  const Step steps[] = {
      {"opened", [] {}, "Maps of the world."},
      {"clicked", [&] { d.clickRow("?BROWSE:1", 2, 2); }, "Line one\r\nLine two"},
      {"a row without notes", [&] { d.clickRow("?BROWSE:1", 3, 2); }, ""},
      {"key up", [&] { d.press("Up"); }, "Line one\r\nLine two"},
      {"typed locator", [&] { d.press("A"); }, "Maps of the world."},
      {"another tab", [&] { d.pick("?CURRENTTAB", "2"); }, "Maps of the world."},
      {"an empty tab", [&] { d.pick("?CURRENTTAB", "5"); }, ""},
      {"favourites", [&] { d.pick("?CURRENTTAB", "4"); }, "Maps of the world."},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    s.act();
    EXPECT_EQ(d.text("?WEB:SITENOTES", "BrowseWebsites"), s.notes);
  }
}

TEST_F(BrowseTest, TabGoesRoundTheButtons) {
  qbtest::addSites({{"Atlas", "http://a.example", "Travel"}, {"Bank", "", "Shops"}});
  openBrowse();
  const Names round = {"?CAT:CATEGORY", "?INTERNETLINK", "?LOGON_BUT", "?PWORD_BUT", "?YELLOW_HL",
                       "?CLR1", "?CLR2", "?CLR3", "?CLR4", "?CLR5", "?CLR6", "?CLR7", "?CLR8",
                       "?QLBUT", "?EMAILBUT", "?VIEW", "?SECURITYBUT", "?CATBUT", "?INSERT:3",
                       "?CHANGE:3", "?DELETE:3", "?GISBUSKDAF3", "?PRINTBUT", "?HELP", "?CLOSE",
                       "?BROWSE:1"};
  Names seen;
  for (std::size_t i = 0; i < round.size(); ++i) {
    d.press("Tab");
    seen.push_back(d.focused());
  }
  EXPECT_EQ(seen, round);
  struct Case {
    const char* what;
    std::function<void()> act;
    std::string focus;
  };
  const Case cases[] = {
      {"back over the notes", [&] { d.focus("?INTERNETLINK"); d.press("Shift+Tab"); }, "?CAT:CATEGORY"},
      {"a click on the notes", [&] { d.focus("?WEB:SITENOTES"); }, "?BROWSE:1"},
      // No address to go to: the Go button hands the focus on to Insert after its message.
      {"onto Go without an address",
       [&] { d.clickRow("?BROWSE:1", 2, 2); d.focus("?CAT:CATEGORY"); d.press("Tab"); d.answer(1); },
       "?INSERT:3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.act();
    EXPECT_EQ(d.focused(), c.focus);
  }
}

TEST_F(BrowseTest, DeleteAsksFirst) {
  qbtest::addSites({{"Keep", "http://k.example", "News"}, {"Lose", "http://l.example", "News"}});
  openBrowse();
  d.clickRow("?BROWSE:1", 2, 2);
  d.click("?DELETE:3");
  EXPECT_EQ(boxText(), "Are you sure you want to delete the highlighted record?");
  d.answer(2);
  EXPECT_EQ(qbtest::readSites().size(), 2u);
  d.clickRow("?BROWSE:1", 2, 2);
  d.press("Delete");
  ASSERT_NE(d.box(), nullptr);
  d.answer(1);
  EXPECT_EQ(qbtest::readSites().size(), 1u);
  EXPECT_EQ(column(2), (Names{"Keep"}));
  EXPECT_EQ(count(), "1");
  EXPECT_EQ(selectedDescription(), "Keep");
}

TEST_F(BrowseTest, InsertRoadEndToEnd) {
  qbtest::addSites({{"Zebra", "http://z.example", "News"}});
  openBrowse();
  d.click("?INSERT:3");
  ASSERT_EQ(d.window().name(), "UpdateWebsites");
  EXPECT_EQ(d.window().caption(), "Add Website");
  d.enter("?WEB:DESCRIPTION", "Kite shop");
  d.enter("?WEB:WEBADDRESS", "HTTP://Kites.Example/Shop?Item=Red");
  d.pick("?CAT:CATEGORY", "Shops");
  d.click("?WEB:FAVOURITEYN");
  d.pick("?WEB:TEXTCOLOR", "3");
  d.click("?OK");
  ASSERT_EQ(d.box(), nullptr) << boxText();
  ASSERT_EQ(d.window().name(), "BrowseWebsites");
  EXPECT_EQ(column(2), (Names{"Kite shop", "Zebra"}));
  EXPECT_EQ(selectedDescription(), "Kite shop");
  EXPECT_EQ(row(1).cells[1].fg, 0x008000);
  EXPECT_EQ(row(1).cells[0].icon, 1);
  EXPECT_EQ(count(), "2");
  auto kite = qbtest::findSite(qbtest::readSites(), "Kite shop");
  EXPECT_EQ(kite.WEBADDRESS.str(), "http://kites.example/Shop?Item=Red");
  EXPECT_EQ(kite.CATEGORY.clip(), "Shops");
  EXPECT_EQ(kite.DATEADDED.get(), pf::dateToDay(2026, 12, 10));
  EXPECT_EQ(kite.DATEUPDATED.get(), pf::dateToDay(2026, 12, 10));
  EXPECT_EQ(kite.HIGHLIGHT2, 0);
  EXPECT_EQ(pf::trim(d.text("?CAT:CATEGORY")), "All Categories");
}

// The form fills its category list through the same buffer; the browse keeps its own.
TEST_F(BrowseTest, TheFormDoesNotMoveTheFilter) {
  qbtest::addSites({{"Paper", "http://p.example", "News"}, {"Shop", "http://s.example", "Shops"},
                    {"Weather", "http://w.example", "News"}});
  GLO_DefaultCat = "News";
  openBrowse();
  d.clickRow("?BROWSE:1", 2, 2);   // Weather
  d.click("?CHANGE:3");
  ASSERT_EQ(d.window().caption(), "Edit Website");
  d.pick("?CAT:CATEGORY", "Travel");
  d.click("?CANCEL");
  if (d.box()) d.answer("No");
  ASSERT_EQ(d.window().name(), "BrowseWebsites");
  EXPECT_EQ(pf::trim(d.text("?CAT:CATEGORY")), "News");
  d.pick("?CURRENTTAB", "2");
  EXPECT_EQ(caption(), "News by address (URL)");
  EXPECT_EQ(column(2), (Names{"Paper", "Weather"}));
}

TEST_F(BrowseTest, ViewOnlyForm) {
  qbtest::addSites({{"Paper", "http://p.example", "News"}});
  openBrowse();
  d.click("?VIEW");
  ASSERT_EQ(d.window().caption(), "View Only Mode");
  EXPECT_FALSE(d.enabled("?OK"));
  EXPECT_FALSE(d.enabled("?WEB:DESCRIPTION"));
  EXPECT_TRUE(d.enabled("?WEB:TEXTCOLOR"));
  d.click("?CANCEL");
  EXPECT_EQ(d.window().name(), "BrowseWebsites");
}

TEST_F(BrowseTest, ButtonsFollowTheRows) {
  openBrowse();
  EXPECT_EQ(count(), "0");
  for (const char* c : {"?CHANGE:3", "?DELETE:3", "?VIEW", "?GISBUSKDAF3"}) EXPECT_FALSE(d.enabled(c)) << c;
  EXPECT_TRUE(d.enabled("?INSERT:3"));
}

TEST_F(BrowseTest, ColumnWidthsByField) {
  qbtest::addSites({{"Paper", "http://p.example", "News"}});
  GLO_Column4Width = 60;
  GLO_Column5Width = 50;
  GLO_Column6Width = 40;
  openBrowse();
  pf::Window& w = d.window("BrowseWebsites");
  EXPECT_EQ(w.columnWidth(list(), 4), 60);
  EXPECT_EQ(w.columnWidth(list(), 6), 40);
  d.click("?SECURITYBUT");
  EXPECT_EQ(w.columnWidth(list(), 4), 0);
  EXPECT_EQ(w.columnWidth(list(), 5), 0);
  // Resizing another column while they are hidden keeps their widths.
  d.resizeColumn("?BROWSE:1", 6, 300);
  EXPECT_EQ(GLO_Column4Width, 60);
  EXPECT_EQ(GLO_Column6Width, 255);
  d.click("?SECURITYBUT");
  EXPECT_EQ(w.columnWidth(list(), 4), 60);
  EXPECT_EQ(w.columnWidth(list(), 5), 50);
  // A column moved elsewhere is still known by its field.
  w.userMoveColumn(list(), 4, 2);
  d.idle();
  d.resizeColumn("?BROWSE:1", 2, 33);
  EXPECT_EQ(GLO_Column4Width, 33);
  EXPECT_EQ(GLO_Column5Width, 50);
  d.click("?CATBUT");
  EXPECT_EQ(w.columnWidth(list(), 6), 0);
  d.click("?CLOSE");
  // Written back to the preferences record when the window closes.
  DefaultsRecord p;
  pf::File f(DefaultsDesc(), &p);
  ASSERT_EQ(f.open(), 0);
  f.set();
  ASSERT_EQ(f.next(), 0);
  EXPECT_EQ(p.COLUMN4WIDTH, 33);
  EXPECT_EQ(p.COLUMN5WIDTH, 50);
  EXPECT_EQ(p.COLUMN6WIDTH, 255);
}

TEST_F(BrowseTest, ListLayoutInTheIniFile) {
  qbtest::addSites({{"Paper", "http://p.example", "News"}});
  openBrowse();
  d.click("?CLOSE");
  EXPECT_EQ(pf::AppIni.fetch("BrowseWebsites", "SRCFOriginal?Browse:1"), qb::BrowseWebsitesFormat);
  EXPECT_EQ(pf::AppIni.fetch("BrowseWebsites", "SRCF?Browse:1"), qb::BrowseWebsitesFormat);

  pf::ListFormat moved = pf::ListFormat::parse(qb::BrowseWebsitesFormat);
  moved.columns[1].width = 150;
  std::swap(moved.columns[1], moved.columns[2]);
  // The designed layout with one text replaced.
  auto designedWith = [](const std::string& from, const std::string& to) {
    std::string s = qb::BrowseWebsitesFormat;
    std::size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return s.replace(at, from.size(), to);
  };
  struct Case {
    std::string stored;
    bool used;
  } cases[] = {
      {moved.str(), true},
      {"10L(5)|I~F~L(2)@n3@131L(2)|M*~Description~@s45@", false},   // other columns
      {"garbage@(((", false},
      // Pictures no wider than the field they show; the address holds 254 bytes.
      {designedWith("@S80@", "@s254@"), true},
      {designedWith("@S80@", "@s255@"), false},
      {designedWith("@s45@", "@s46@"), false},
      {designedWith("@s45@", "@s999999999@"), false},
      {designedWith("@n3@", "@n4@"), false},   // a byte shows at most 3 digits
      {designedWith("131L", "99999999999L"), false},
      {designedWith("L(2)|M*~Desc", "L(99999999999)|M*~Desc"), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    pf::AppIni.update("BrowseWebsites", "SRCF?Browse:1", c.stored);
    openBrowse();
    std::string shown = d.window("BrowseWebsites").propText(list(), pf::Prop::Format);
    EXPECT_EQ(shown, c.used ? c.stored : qb::BrowseWebsitesFormat);
    EXPECT_EQ(d.rows("?BROWSE:1").size(), 1u);
    d.click("?CLOSE");
  }
}

TEST_F(BrowseTest, OneInstance) {
  qbtest::addSites({{"Paper", "http://p.example", "News"}});
  openBrowse();
  EXPECT_EQ(GLO_BrowseSitesOpen, 1);
  d.setWindowState(pf::Prop::Iconize);
  d.start(qb::BrowseWebsites, "");
  EXPECT_EQ(d.windows().size(), 1u);
  EXPECT_FALSE(d.windows()[0].iconized);
  EXPECT_EQ(GLO_BrowseSitesOpen, 1);   // the refused start leaves the flag to the open one
  d.click("?CLOSE", "BrowseWebsites");
  EXPECT_EQ(GLO_BrowseSitesOpen, 0);
  EXPECT_EQ(GLO_BrowseWebsitesThread, 0);
}

// The browse ended by an exception says so in the stop box and gives back its marker and
// open flag, in its set-up (a thread without its access objects) as in its event loop (a
// box that cannot be shown): the next start opens it.
TEST_F(BrowseTest, AnExceptionEndsTheBrowseAndFreesIt) {
  const pf::MessageHandler shown = pf::messageHandler();
  for (bool inSetup : {true, false}) [&] {
    SCOPED_TRACE(inSetup ? "set-up" : "event loop");
    if (inSetup) {
      pf::setThreadStartHook(nullptr);
      d.start(qb::BrowseWebsites, "");
    } else {
      pf::setMessageHandler([shown](const pf::MessageRequest& r) -> int {
        if (r.caption == "No records...") throw std::runtime_error("the box broke");
        return shown(r);
      });
      openBrowse();
      EXPECT_EQ(GLO_BrowseSitesOpen, 1);
      d.focus("?INTERNETLINK");   // the empty list's "No websites?" box
    }
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(boxCaption(), "Stop");
    EXPECT_EQ(boxText().rfind("An error has ended BrowseWebsites:|", 0), 0u) << boxText();
    EXPECT_EQ(GLO_BrowseWebsitesThread, 0);
    EXPECT_EQ(GLO_BrowseSitesOpen, 0);
    d.answer("&Ignore");
    EXPECT_TRUE(d.windows().empty());

    qb::installThreadHooks();
    pf::setMessageHandler(shown);
    openBrowse();
    EXPECT_EQ(GLO_BrowseSitesOpen, 1);
    d.click("?CLOSE", "BrowseWebsites");
  }();
}

TEST_F(BrowseTest, PagesAndLocator) {
  std::vector<Site> many;
  for (int i = 0; i < 60; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "%c site %02d", 'A' + i / 5, i);
    many.push_back({name, "http://x.example", "News"});
  }
  qbtest::addSites(many);
  openBrowse();
  int page = static_cast<int>(d.rows("?BROWSE:1").size());
  ASSERT_GT(page, 5);
  ASSERT_LT(page, 60);
  EXPECT_EQ(count(), "60");
  EXPECT_EQ(column(2).front(), "A site 00");
  d.press("Ctrl+End");
  EXPECT_EQ(column(2).back(), "L site 59");
  EXPECT_EQ(selectedDescription(), "L site 59");
  d.press("Ctrl+Home");
  d.press("PgDn");
  EXPECT_EQ(column(2).front(), many[static_cast<std::size_t>(page)].description);
  // Down past the page's last row brings one more row in.
  d.press("Ctrl+Home");
  for (int i = 0; i < page; ++i) d.press("Down");
  EXPECT_EQ(column(2).front(), "A site 01");
  EXPECT_EQ(selectedDescription(), many[static_cast<std::size_t>(page)].description);
  // Typing seeks on the description, letter case ignored.
  d.press("G");
  EXPECT_EQ(selectedDescription(), "G site 30");
  d.press("Space");
  d.press("S");
  EXPECT_EQ(selectedDescription(), "G site 30");
  d.press("Ctrl+Home");
  d.press("Z");
  EXPECT_EQ(selectedDescription(), "L site 59");
  // Fewer rows than a page from the letter on: the page fills from above, the row found
  // stays selected.
  d.press("Ctrl+Home");
  d.press("K");
  EXPECT_EQ(selectedDescription(), "K site 50");
  EXPECT_EQ(column(2).back(), "L site 59");
}

TEST_F(BrowseTest, ACountThatFailsSaysWhy) {
  // Pages in the second half of the file overwritten: the file still opens.
  addDamaged([](std::streamoff pages) { return std::pair{pages / 2, pages / 4}; });
  openBrowse();
  EXPECT_EQ(boxCaption(), "Record count");
  EXPECT_EQ(boxText(), "The websites could not be counted.|Invalid Data File");
}

TEST_F(BrowseTest, APageThatCannotBeReadSaysWhy) {
  // A few pages near the start overwritten: the file opens and the count index still
  // counts, but the first page of the list cannot be read.
  addDamaged([](std::streamoff pages) { return std::pair{pages * 2 / 32, pages * 3 / 32 - pages * 2 / 32}; });
  d.start(qb::BrowseWebsites, "");
  std::vector<std::string> boxes;
  for (int i = 0; i < 10 && d.box(); ++i) {
    boxes.push_back(boxCaption() + ": " + boxText());
    d.answer(1);
  }
  EXPECT_EQ(boxes, std::vector<std::string>{"Record Retrieval Error: Error: (Invalid Data File) attempting to access a "
                                            "record from the wsites.tps file.  Returning to previous window."});
  EXPECT_EQ(count(), "2000") << "the damage missed the count index, as the fixture means it to";
  EXPECT_TRUE(column(2).empty());
}

TEST_F(BrowseTest, APageIsAsLongAsTheScreenShowsRows) {
  std::vector<Site> many;
  for (int i = 0; i < 60; ++i) many.push_back({"Site " + std::to_string(100 + i), "http://x.example", "News"});
  qbtest::addSites(many);
  openBrowse();
  d.press("PgDn");
  d.press("Down");
  std::string chosen = selectedDescription();
  std::string top = column(2).front();
  // The list was made taller (a drag of the splitter, a larger window), then shorter.
  for (int rows : {24, 7, 24}) {
    SCOPED_TRACE(rows);
    d.showRows("?BROWSE:1", rows);
    EXPECT_EQ(d.rows("?BROWSE:1").size(), static_cast<std::size_t>(rows));
    EXPECT_EQ(column(2).front(), top) << "the page starts where it started";
    EXPECT_EQ(selectedDescription(), chosen);
  }
  d.press("Ctrl+End");
  d.showRows("?BROWSE:1", 30);
  EXPECT_EQ(d.rows("?BROWSE:1").size(), 30u) << "rows above the last come in";
  EXPECT_EQ(column(2).back(), "Site 159");
}

}  // namespace

namespace {

// The frame starts the real browse on a thread of its own.
TEST_F(BrowseTest, TheFrameStartsTheBrowse) {
  qbtest::addSites({{"Paper", "http://p.example", "News"}});
  d.run(qb::MainProgram, [&] {
    d.choose("?BROWSESITES");
    bool found = false;
    for (const auto& w : d.windows())
      if (w.name == "BrowseWebsites") {
        found = true;
        EXPECT_NE(w.thread, 1);
        EXPECT_EQ(w.caption, "All sites by description");
      }
    EXPECT_TRUE(found);
    EXPECT_EQ(GLO_BrowseSitesOpen, 1);
    d.click("?CLOSE", "BrowseWebsites");
    EXPECT_EQ(GLO_BrowseSitesOpen, 0);
  });
}

}  // namespace
