// The browse's search window and the search over the list, played through the frame so
// that the status bar is the frame's.
#include <gtest/gtest.h>

#include "platform/classes/help_controller.h"

#include <cstring>

#include "sites/search_window.h"
#include "tests/sites/sites_fixture.h"

namespace {

TEST(SearchState, BlockAndStartParameter) {
  qb::SearchState s;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&s), sizeof s), std::string(20, ' ') + "210");

  // A handle, not an address: ten digits always hold it.
  EXPECT_EQ(qb::searchParameter(7, 3), "00000000070000000003");
  struct Case {
    const char* text;
    bool ok;
    std::int32_t thread, handle;
  } cases[] = {{"00000000070000000003", true, 7, 3},
               {"0000000007000000003", false, 0, 0},
               {"00000000070000000x03", false, 0, 0},
               {"99999999990000000001", false, 0, 0}};
  for (const auto& c : cases) {
    std::int32_t t = 0, h = 0;
    EXPECT_EQ(qb::parseSearchParameter(c.text, t, h), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(t, c.thread) << c.text;
      EXPECT_EQ(h, c.handle) << c.text;
    }
  }

  // A released block is no longer reached.
  std::int32_t h = qb::registerSearchState(&s);
  EXPECT_EQ(qb::findSearchState(h), &s);
  qb::releaseSearchState(h);
  EXPECT_EQ(qb::findSearchState(h), nullptr);
  std::int32_t next = qb::registerSearchState(&s);
  EXPECT_NE(next, h);
  qb::releaseSearchState(next);
}

class SearchTest : public qbtest::SitesTest {
 protected:
  // Runs `body` with the frame up and the browse open.
  template <class F>
  void withBrowse(F body) {
    d.run(qb::MainProgram, [&] {
      d.choose("?BROWSESITES");
      ASSERT_TRUE(hasWindow("BrowseWebsites"));
      body();
    });
  }
  bool hasWindow(const std::string& name) {
    for (const auto& w : d.windows())
      if (w.name == name) return true;
    return false;
  }
  int searchWindows() {
    int n = 0;
    for (const auto& w : d.windows()) n += w.name == "BuscadorF3";
    return n;
  }
  void openSearch() {
    d.activate("BrowseWebsites");
    d.press("F3", "BrowseWebsites");
    ASSERT_TRUE(hasWindow("BuscadorF3"));
  }
  // "1" up, "2" down.
  void findNext(const std::string& word, const std::string& direction = "2") {
    d.type("?BRW1:PRC:PAL", word, "BuscadorF3");
    d.pick("?BRW1:PRC:DIR", direction, "BuscadorF3");
    d.click("?F3BOT_SIGUIENTE", "BuscadorF3");
  }
  std::string selectedDescription() {
    int s = d.selected("?BROWSE:1", "BrowseWebsites");
    auto c = column(2);
    return s >= 1 && s <= static_cast<int>(c.size()) ? c[static_cast<std::size_t>(s - 1)] : "";
  }
  void pickRow(int row) { d.clickRow("?BROWSE:1", row, 2, "BrowseWebsites"); }
};

TEST_F(SearchTest, EachColumnFindsAndIsNamed) {
  // Logon ID, Password and Category are hidden; the tick column reads 0 or 1.
  qbtest::addSites({
      {"Alpha", "http://a.example", "News"},
      {"Bravo", "http://b.example", "News", 1},
      {"Charlie 1", "http://c.example", "News"},
      {"Delta", "http://d.example", "Shops", 0, 0, 1, "reader"},
      {"Echo", "http://e.example", "Shops", 0, 0, 1, "", "pa55"},
      {"Foxtrot", "http://f.example", "Travel"},
      {"golf shop", "http://g.example", "News"},
  });
  GLO_ShowPwords = GLO_ShowCats = 0;
  withBrowse([&] {
    pf::Window& b = d.window("BrowseWebsites");
    int list = b.feq("?BROWSE:1");
    ASSERT_EQ(b.columnWidth(list, 4), 0);
    ASSERT_EQ(b.columnWidth(list, 5), 0);
    openSearch();
    struct Case {
      const char* word;
      const char* found;
      const char* title;
    } cases[] = {
        {"1", "Bravo", "F"},                          // before "Charlie 1"
        {"reader", "Delta", "Logon ID"},
        {"PA55", "Echo", "Password"},
        {"travel", "Foxtrot", "Category"},
        {"GOLF", "golf shop", "Description"},
        {"f.exa", "Foxtrot", "Website address (URL)"},
    };
    for (const auto& c : cases) {
      pickRow(1);
      findNext(c.word);
      EXPECT_EQ(selectedDescription(), c.found) << c.word;
      EXPECT_EQ(d.status(1), std::string("Match located: ") + c.title) << c.word;
      EXPECT_EQ(d.box(), nullptr) << c.word;
    }
    // A blank word searches nothing and writes nothing.
    pf::setFrameStatus(1, "");
    pickRow(1);
    findNext("");
    EXPECT_EQ(d.status(1), "");
    EXPECT_EQ(selectedDescription(), "Alpha");
  });
}

TEST_F(SearchTest, FindNextMovesOnAndEndsWithSearchComplete) {
  qbtest::addSites({{"News one", "http://1.example", "News"},
                    {"News three", "http://3.example", "News"},
                    {"News two", "http://2.example", "News"},
                    {"Other", "http://o.example", "Shops"}});
  withBrowse([&] {
    openSearch();
    findNext("news");
    EXPECT_EQ(selectedDescription(), "News one");   // the selected row itself first
    d.click("?F3BOT_SIGUIENTE", "BuscadorF3");
    EXPECT_EQ(selectedDescription(), "News three");
    // The browse's own F3 repeats the search without the search window.
    d.activate("BrowseWebsites");
    d.press("F3", "BrowseWebsites");
    EXPECT_EQ(selectedDescription(), "News two");
    EXPECT_EQ(searchWindows(), 1);

    int beeps = pf::beepCount();
    d.click("?F3BOT_SIGUIENTE", "BuscadorF3");
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(boxText(), "Search complete");
    EXPECT_EQ(boxCaption(), "Search");
    EXPECT_EQ(d.box()->message.icon, pf::Icon::Hand);
    EXPECT_GT(pf::beepCount(), beeps);
    d.answer(1);
    EXPECT_EQ(d.box(), nullptr);

    // After a click the search starts at the clicked row itself.
    pickRow(2);
    d.click("?F3BOT_SIGUIENTE", "BuscadorF3");
    EXPECT_EQ(selectedDescription(), "News three");
  });
}

TEST_F(SearchTest, SearchRunsAcrossPagesAndTurnsBack) {
  std::vector<qbtest::Site> sites{{"Aardvark target", "http://a.example", "News"}};
  for (int i = 0; i < 60; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "Site %02d", i);
    sites.push_back({name, "http://s.example", "News"});
  }
  sites.push_back({"Zebra target", "http://z.example", "News"});
  qbtest::addSites(sites);
  withBrowse([&] {
    int page = d.window("BrowseWebsites").rowsVisible(d.feq("?BROWSE:1", "BrowseWebsites"));
    ASSERT_LT(page, 40);
    openSearch();
    findNext("target");
    EXPECT_EQ(selectedDescription(), "Aardvark target");
    d.click("?F3BOT_SIGUIENTE", "BuscadorF3");
    EXPECT_EQ(selectedDescription(), "Zebra target");
    EXPECT_EQ(d.box(), nullptr);
    d.click("?F3BOT_SIGUIENTE", "BuscadorF3");
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(boxText(), "Search complete");
    d.answer(1);
    // Upward, the counter starts again and the search runs the whole way up.
    findNext("target", "1");
    EXPECT_EQ(d.box(), nullptr);
    EXPECT_EQ(selectedDescription(), "Zebra target");   // the selected row itself
    d.click("?F3BOT_SIGUIENTE", "BuscadorF3");
    EXPECT_EQ(d.box(), nullptr);
    EXPECT_EQ(selectedDescription(), "Aardvark target");
    d.click("?F3BOT_SIGUIENTE", "BuscadorF3");
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(boxText(), "Search complete");
    d.answer(1);
  });
}

TEST_F(SearchTest, TheTwoWindowsCloseEachOther) {
  qbtest::addSites({{"Paper", "http://p.example", "News"}, {"Weather", "http://w.example", "News"}});
  withBrowse([&] {
    openSearch();
    EXPECT_EQ(d.window("BuscadorF3").caption(), "Search");
    EXPECT_EQ(d.text("?BRW1:PRC:PAL", "BuscadorF3"), "");
    EXPECT_EQ(d.selected("?BRW1:PRC:DIR", "BuscadorF3"), 2);
    // The search window has no help of its own: F1 there opens nothing.
    std::size_t helpBefore = pf::helpShown().size();
    d.press("F1", "BuscadorF3");
    EXPECT_EQ(pf::helpShown().size(), helpBefore);
    // A second F3 while the window is open starts nothing.
    d.activate("BrowseWebsites");
    d.press("F3", "BrowseWebsites");
    EXPECT_EQ(searchWindows(), 1);

    pickRow(2);
    findNext("weather", "1");
    EXPECT_EQ(selectedDescription(), "Weather");
    // The close box, then Search: a new window with the last word and Down.
    d.closeBox("BuscadorF3");
    EXPECT_EQ(searchWindows(), 0);
    openSearch();
    EXPECT_EQ(searchWindows(), 1);
    EXPECT_EQ(d.text("?BRW1:PRC:PAL", "BuscadorF3"), "weather");
    EXPECT_EQ(d.selected("?BRW1:PRC:DIR", "BuscadorF3"), 2);

    // Esc in the browse closes only the search window; a second Esc the browse.
    d.activate("BrowseWebsites");
    d.press("Esc", "BrowseWebsites");
    EXPECT_EQ(searchWindows(), 0);
    EXPECT_TRUE(hasWindow("BrowseWebsites"));
    // Nothing was asked of the closed window: the list's pop-up item opens it again.
    d.activate("BrowseWebsites");
    d.focus("?BROWSE:1", "BrowseWebsites");
    d.press("MouseRight", "BrowseWebsites");
    ASSERT_NE(d.box(), nullptr);
    ASSERT_EQ(d.box()->kind, pf::DialogKind::Popup);
    d.answer(4);
    EXPECT_EQ(searchWindows(), 1);
    d.click("?F3BOT_CANCELAR", "BuscadorF3");
    EXPECT_EQ(searchWindows(), 0);
    d.activate("BrowseWebsites");
    d.press("Esc", "BrowseWebsites");
    EXPECT_FALSE(hasWindow("BrowseWebsites"));

    // Closing the browse any other way closes its search window too.
    d.choose("?BROWSESITES");
    openSearch();
    d.click("?CLOSE", "BrowseWebsites");
    EXPECT_FALSE(hasWindow("BrowseWebsites"));
    EXPECT_EQ(searchWindows(), 0);
  });
}

}  // namespace

// A search over many pages comes to rest where paging one page after another leaves
// the list: on the page that holds the match, and at the end on the last page, its last
// row selected.
TEST_F(SearchTest, FarSearchesEndOnThePagesThatPagingReaches) {
  const int total = 100, hit = 73, upHit = 12;
  std::vector<qbtest::Site> sites;
  for (int i = 0; i < total; ++i) {
    char name[24];
    std::snprintf(name, sizeof name, i == hit ? "Site %03d target" : "Site %03d", i);
    sites.push_back({name, "http://s.example", "News"});
  }
  qbtest::addSites(sites);
  auto site = [](int i) {
    char name[24];
    std::snprintf(name, sizeof name, i == hit ? "Site %03d target" : "Site %03d", i);
    return std::string(name);
  };
  withBrowse([&] {
    const int n = d.window("BrowseWebsites").rowsVisible(d.feq("?BROWSE:1", "BrowseWebsites"));
    ASSERT_LT(n, 30);
    openSearch();
    findNext("target");
    EXPECT_EQ(selectedDescription(), site(hit));
    EXPECT_EQ(column(2).front(), site(hit / n * n));

    findNext("nowhere");
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(boxText(), "Search complete");
    d.answer(1);
    EXPECT_EQ(column(2).front(), site(total - n));
    EXPECT_EQ(d.selected("?BROWSE:1", "BrowseWebsites"), n);

    findNext("Site 012", "1");
    EXPECT_EQ(d.box(), nullptr);
    EXPECT_EQ(selectedDescription(), site(upHit));
    // Upward the pages end where the last one began.
    const int first = total - n, pages = (first - upHit + n - 1) / n;
    EXPECT_EQ(column(2).front(), site(std::max(0, first - pages * n)));
  });
}
