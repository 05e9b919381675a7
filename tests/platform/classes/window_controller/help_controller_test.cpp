// Context help: which page F1 opens, keyword look-ups, and the help object's life.
#include <gtest/gtest.h>

#include <functional>

#include "platform/classes/help_controller.h"
#include "platform/classes/window_controller.h"
#include "platform/ui/keys.h"
#include "platform/ui/layout.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/ui.h"
#include "tests/support/temp_dir.h"

namespace {

const char* HelpLayout = R"(
window HelpWin plain "Help Test" size 150,60
  entry ?ONE at 5,5 size 60,10
  entry ?TWO at 5,20 size 60,10
end
)";

struct Config {
  std::string windowTopic;
  bool controlTopic = false;
  int key = pf::Key::F12;
};
Config config;
pf::HelpController* live = nullptr;

void helpWindow() {
  pf::Window w("HelpWin");
  w.open();
  pf::HelpController help;
  help.HelpInit("Test.chm", config.key);
  if (!config.windowTopic.empty()) help.HelpSetTopic(config.windowTopic);
  if (config.controlTopic) help.HelpAddTopic(w.feq("?ONE"), "one.htm");
  live = &help;
  while (w.accept()) {
  }
  help.HelpKill();
  live = nullptr;
}

class HelpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pf::registerLayout("HelpWin", HelpLayout);
    pf::HelpBook book;
    book.pages = {{"index.html", "<p>contents</p>"}, {"one.htm", "<p>one</p>"},
                  {"win.htm", "<p>win</p>"}, {"tour.htm", "<p>tour</p>"}};
    book.keywords = {{"browse websites tour", "tour.htm"}};
    pf::registerHelpBook("Test.chm", book);
    pf::helpShown().clear();
    config = Config{};
  }
  std::string lastPage() { return pf::helpShown().empty() ? "" : pf::helpShown().back().page; }

  pf::TestDriver driver;
};

TEST_F(HelpTest, F1OpensTheControlThenTheWindowThenTheContents) {
  struct Case {
    std::string windowTopic;
    bool controlTopic;
    const char* focus;
    const char* page;
  } cases[] = {
      {"", false, "?ONE", "index.html"},
      {"", true, "?ONE", "one.htm"},
      {"", true, "?TWO", "index.html"},
      {"win.htm", true, "?ONE", "one.htm"},
      {"win.htm", true, "?TWO", "win.htm"},
      {"win.htm", false, "?ONE", "win.htm"},
  };
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(std::string(c.focus) + " window topic '" + c.windowTopic + "'");
    config.windowTopic = c.windowTopic;
    config.controlTopic = c.controlTopic;
    driver.start(helpWindow);
    driver.focus(c.focus);
    pf::helpShown().clear();
    driver.press("F1");
    ASSERT_EQ(pf::helpShown().size(), 1u) << "F1 arrives as the help key, once";
    EXPECT_EQ(lastPage(), c.page);
    EXPECT_TRUE(pf::helpShown().back().found);
    driver.press("F12");
    EXPECT_EQ(pf::helpShown().size(), 2u);
    driver.closeBox();
  }();
}

TEST_F(HelpTest, F1AsHelpKeyIsRefused) {
  config.key = pf::Key::F1;
  driver.start(helpWindow);
  ASSERT_NE(driver.box(), nullptr);
  EXPECT_EQ(driver.box()->message.text, "HTML Help Cannot use the F1Key as it's Aliased KEY!");
  driver.answer("&Ignore");
  ASSERT_NE(live, nullptr);
  EXPECT_EQ(live->BINITDONE, 0);
  driver.press("F1");
  driver.press("F12");
  EXPECT_TRUE(pf::helpShown().empty());
  EXPECT_EQ(pf::aliasOf(pf::Key::F1), pf::Key::F1);
}

TEST_F(HelpTest, NothingHappensBeforeInitOrAfterKill) {
  pf::HelpController help;
  help.HelpShowContents();
  help.HelpShowTopic("one.htm");
  help.HelpAddTopic(1, "one.htm");
  help.HelpKeywordLookup("Browse websites tour", "Not found", "Help Topic");
  EXPECT_EQ(help.HelpKill(), 1);
  EXPECT_TRUE(pf::helpShown().empty());

  driver.start(helpWindow);
  ASSERT_NE(live, nullptr);
  EXPECT_EQ(live->HelpKill(), 1);
  EXPECT_EQ(live->HelpKill(), 1);
  EXPECT_EQ(pf::aliasOf(pf::Key::F1), pf::Key::F1) << "F1 is itself again";
  live->HelpShowContents();
  driver.press("F12");
  EXPECT_TRUE(pf::helpShown().empty());
}

TEST_F(HelpTest, SecondTopicForAControlReplacesTheFirst) {
  driver.start(helpWindow);
  ASSERT_NE(live, nullptr);
  int one = driver.feq("?ONE");
  live->HelpAddTopic(one, "one.htm");
  live->HelpAddTopic(one, "win.htm");
  EXPECT_EQ(live->QHELPTOPICS->size(), 1u);
  live->HelpShowControlTopic(one);
  EXPECT_EQ(lastPage(), "win.htm");
}

TEST_F(HelpTest, LongPageNameIsCut) {
  driver.start(helpWindow);
  ASSERT_NE(live, nullptr);
  live->HelpShowTopic(std::string(300, 'p'));
  EXPECT_EQ(lastPage(), std::string(255, 'p'));
  EXPECT_FALSE(pf::helpShown().back().found);
}

TEST_F(HelpTest, KeywordLookup) {
  driver.start(helpWindow);
  ASSERT_NE(live, nullptr);
  live->HelpKeywordLookup("BROWSE websites tour  ", "Help Topic", "Not Found");
  EXPECT_EQ(lastPage(), "tour.htm");
  EXPECT_EQ(driver.box(), nullptr);

  pf::helpShown().clear();
  driver.start([] { live->HelpKeywordLookup("Backup", "Not found", "Help Topic"); });
  ASSERT_NE(driver.box(), nullptr);
  EXPECT_EQ(driver.box()->message.text, "Not found");
  EXPECT_EQ(driver.box()->message.caption, "Help Topic");
  driver.answer(1);
  EXPECT_TRUE(pf::helpShown().empty());
}

TEST_F(HelpTest, HelpWindowOutlivesItsWindow) {
  struct Recorder : pf::HelpViewer {
    void show(const pf::HelpShown& what) override {
      pages.push_back(what.page);
      lastHtml = pf::helpPageHtml(what.file, what.page);
    }
    std::vector<std::string> pages;
    std::string lastHtml;
  } viewer;
  pf::setHelpViewer(&viewer);
  driver.start(helpWindow);
  driver.press("F1");
  driver.closeBox();
  EXPECT_TRUE(driver.windows().empty());
  ASSERT_EQ(viewer.pages.size(), 1u);
  EXPECT_EQ(viewer.lastHtml, "<p>contents</p>");
  pf::setHelpViewer(nullptr);
}

TEST(HelpBook, BuiltFromFiles) {
  pf::HelpBook b = pf::helpBookFromFiles({{"index.html", "i"},
                                          {"A page.htm", "a"},
                                          {"notes.txt", "ignored"},
                                          {"keywords.txt", "# comment\r\nOne Key|A page.htm\r\nbroken line\n"
                                                           "another|index.html\n"},
                                          {"contents.txt", "# comment\r\n"
                                                           "Start|index.html\n"
                                                           "Book\n"
                                                           "  Inner book\n"
                                                           "    Deep|A page.htm\n"
                                                           "  Second|index.html\r\n"
                                                           "Last|A page.htm\n"}});
  EXPECT_EQ(b.pages.size(), 2u);
  ASSERT_EQ(b.keywords.count("one key"), 1u);
  EXPECT_EQ(b.keywords.at("one key"), "A page.htm");
  EXPECT_EQ(b.keywords.size(), 2u);
  ASSERT_EQ(b.index.size(), 2u);
  EXPECT_EQ(b.index[0].keyword, "another") << "in keyword order, letter case ignored";
  EXPECT_EQ(b.index[1].keyword, "One Key") << "as written";

  // The tree as an outline: depth, title, page.
  std::vector<std::string> outline;
  std::function<void(const std::vector<pf::HelpContentsEntry>&, int)> walk = [&](const auto& entries, int depth) {
    for (const auto& e : entries) {
      outline.push_back(std::to_string(depth) + " " + e.title + "|" + e.page);
      walk(e.children, depth + 1);
    }
  };
  walk(b.tree, 0);
  EXPECT_EQ(outline, (std::vector<std::string>{"0 Start|index.html", "0 Book|", "1 Inner book|",
                                               "2 Deep|A page.htm", "1 Second|index.html",
                                               "0 Last|A page.htm"}));
}

TEST(HelpBook, TitlesTextAndSearch) {
  pf::HelpBook b;
  b.pages = {
      {"a.htm", "<html><head><title>Backup &amp; restore</title><style>p{}</style></head>"
                "<body><h1>Backup</h1><p>Copy the <b>data</b>base files; a backup&nbsp;copy.</p></body></html>"},
      {"b.htm", "<html><head><title>Passwords</title></head><body><p>Keep the password safe. "
                "Passwords are not in the backup.</p></body></html>"},
      {"c.htm", "<p>No title here &#233;t&#xE9;</p>"},
  };
  EXPECT_EQ(b.title("a.htm"), "Backup & restore");
  EXPECT_EQ(b.title("c.htm"), "c.htm");
  EXPECT_EQ(b.title("missing.htm"), "missing.htm");
  EXPECT_EQ(pf::helpPageText(b.pages["a.htm"]), "Backup Copy the database files; a backup copy.")
      << "the head is left out; an inline tag does not split a word";
  EXPECT_EQ(pf::helpPageText(b.pages["c.htm"]), "No title here \xC3\xA9t\xC3\xA9");

  struct Case {
    const char* words;
    std::vector<std::string> pages;   // in the order found
  } cases[] = {
      {"backup", {"a.htm", "b.htm"}},     // two hits, then one
      {"BACKUP copy", {"a.htm"}},         // every word must be there
      {"pass", {"b.htm"}},                // a word matches the words it begins
      {"database", {"a.htm"}},
      {"été", {"c.htm"}},
      {"restore", {}},                    // the title is not the page's text
      {"  ", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words);
    std::vector<std::string> found;
    for (const auto& h : b.search(c.words)) found.push_back(h.page);
    EXPECT_EQ(found, c.pages);
  }
  auto hits = b.search("backup");
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0].title, "Backup & restore");
  EXPECT_EQ(hits[0].hits, 2);
}

}  // namespace
