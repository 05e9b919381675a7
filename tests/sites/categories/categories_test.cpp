// The category browse and form: the protected rows, the count before a delete, the name
// checks, the rename of the websites, the closing note and the one-instance rule.
#include <gtest/gtest.h>

#include <algorithm>

#include "data/access.h"
#include "shell/procedures.h"
#include "sites/update_websites.h"
#include "tests/sites/categories/categories_fixture.h"

namespace qbtest {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

const char* const Required = "This category is required by the program and can not be ";

TEST_F(CategoriesTest, ListInNameOrderWithCountAndOpenFlag) {
  addCategories({"apple", "Zoo"});
  openCategories();
  EXPECT_EQ(names(), (std::vector<std::string>{"All Categories", "apple", "Default", "News", "Shops", "Travel", "Zoo"}));
  EXPECT_EQ(pf::trim(d.text("?LOC:COUNT")), "7");
  EXPECT_EQ(d.window().caption(), "Browse Categories");
  EXPECT_EQ(GLO_BrowseCatsOpen, 1);
  EXPECT_NE(GLO_BrowseCategoriesThread, 0);
  d.click("?CLOSE");
  EXPECT_TRUE(d.windows().empty());
  EXPECT_EQ(GLO_BrowseCatsOpen, 0);
  EXPECT_EQ(GLO_BrowseCategoriesThread, 0);
}

TEST_F(CategoriesTest, ReservedRowsAreRefusedInAnyCase) {
  // A row spelt like a reserved one in other letters is that category too: renaming it
  // would take every website of "Default" with it.
  addCategories({"default"});
  struct Case {
    const char* row;
    const char* button;
  } cases[] = {
      {"All Categories", "?CHANGE:2"}, {"Default", "?CHANGE:2"}, {"default", "?CHANGE:2"},
      {"All Categories", "?DELETE:2"}, {"Default", "?DELETE:2"}, {"default", "?DELETE:2"},
  };
  openCategories();
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(std::string(c.row) + " " + c.button);
    pickRow(c.row);
    d.click(c.button, "BrowseCategories");
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(d.box()->message.icon, pf::Icon::Exclamation);
    std::string verb = c.button == std::string("?CHANGE:2") ? "changed." : "deleted.";
    EXPECT_EQ(answerAll(), (Pairs{{c.row, std::string(Required) + verb}}));
    EXPECT_FALSE(formOpen());
  }();
  EXPECT_EQ(readCategories().size(), 6u);
}

TEST_F(CategoriesTest, DefaultCategoryOfPreferencesIsNotDeleted) {
  GLO_DefaultCat = "shops";
  openCategories();
  pickRow("Shops");
  d.click("?DELETE:2");
  // No count runs: the refusal is the only box.
  EXPECT_EQ(answerAll(), (Pairs{{padded("Shops"),
                                 "This category is set as the default category to use under [Preferences].||To "
                                 "enable removal deselect it under [Preferences] first."}}));
  EXPECT_EQ(names().size(), 5u);
}

TEST_F(CategoriesTest, CategoryInUseIsCountedAndRefused) {
  // Letter case and trailing blanks do not make another category; a leading blank or
  // another word does.
  addSites({{"Paper", "http://paper.example", "News"},
            {"Radio", "http://radio.example", "News"},
            {"Wire", "http://wire.example", "news"},
            {"Loud", "http://loud.example", "NEWS"},
            {"Indent", "http://indent.example", " News"},
            {"Longer", "http://longer.example", "Newsy"},
            {"Shop", "http://shop.example", "Shops"}});
  openCategories();
  pickRow("News");
  d.click("?DELETE:2");
  EXPECT_EQ(answerAll(), (Pairs{{"Check complete...", "4 Websites have a Category of: News"},
                                {padded("News"),
                                 "This category is currently in use and can not be deleted.||TIP: This category "
                                 "can be renamed by selecting the [Change] button."}}));
  EXPECT_TRUE(GLO_DelCategory.blank());
  EXPECT_TRUE(GLO_OldCategory.blank());
  EXPECT_EQ(names().size(), 5u);
}

TEST_F(CategoriesTest, DeleteConfirmationDecides) {
  // A website of a longer name does not keep the category in use.
  addSites({{"Trips", "http://trips.example", "Travels"}});
  openCategories();
  for (bool confirm : {false, true}) [&] {
    SCOPED_TRACE(confirm);
    pickRow("Travel");
    d.click("?DELETE:2");
    settle();
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(d.box()->message.text, "0 Websites have a Category of: Travel");
    d.answer(1);
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(d.box()->message.caption, "Confirm Delete");
    d.answer(confirm ? 1 : 2);
    settle();
    EXPECT_EQ(d.box(), nullptr);
    auto n = names();
    EXPECT_EQ(std::find(n.begin(), n.end(), "Travel") != n.end(), !confirm);
    EXPECT_EQ(pf::trim(d.text("?LOC:COUNT")), confirm ? "4" : "5");
  }();
  EXPECT_EQ(readCategories(), (std::vector<std::string>{"All Categories", "Default", "News", "Shops"}));
}

// A file from before the case rule may hold one name in two spellings. They are one
// category: one row may go while the other keeps the websites; the last one may not.
TEST_F(CategoriesTest, TwoSpellingsOfOneNameAreOneCategory) {
  addCategories({"news"});
  addSites({{"Paper", "http://paper.example", "News"}, {"Wire", "http://wire.example", "news"}});
  openCategories();
  pickRow("news");
  d.click("?DELETE:2");
  settle();
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.text, "2 Websites have a Category of: news");
  d.answer(1);
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.caption, "Confirm Delete");
  d.answer(1);
  settle();
  EXPECT_EQ(readCategories(), (std::vector<std::string>{"All Categories", "Default", "News", "Shops", "Travel"}));
  pickRow("News");
  d.click("?DELETE:2");
  Pairs boxes = answerAll();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].second.rfind("This category is currently in use", 0), 0u) << boxes[1].second;
  EXPECT_EQ(readCategories().size(), 5u);
  auto sites = readSites();
  EXPECT_EQ(findSite(sites, "Paper").CATEGORY.clip(), "News");
  EXPECT_EQ(findSite(sites, "Wire").CATEGORY.clip(), "news");
}

TEST_F(CategoriesTest, EditKeysOfTheListDoNothingButDoubleClickChecks) {
  openCategories();
  pickRow("Default");
  for (const char* key : {"Insert", "Delete", "Ctrl+Enter"}) {
    d.press(key);
    EXPECT_EQ(d.box(), nullptr) << key;
    EXPECT_FALSE(formOpen()) << key;
  }
  d.doubleClickRow("?BROWSE:1", 2);
  EXPECT_EQ(answerAll(), (Pairs{{"Default", std::string(Required) + "changed."}}));
  pickRow("News");
  d.doubleClickRow("?BROWSE:1", 3);
  EXPECT_TRUE(formOpen());
}

TEST_F(CategoriesTest, NameChecksOnOk) {
  const std::string apostrophe =
      "||Category will be deleted, please re-enter without an apostrophe.||Please also avoid using characters such "
      "as @#!:&;}]?<>~$ etc.";
  const std::string others = "Please only use characters A-Z, a-z and 1234567890||Type will be deleted, please re-enter.";
  struct Case {
    const char* typed;
    Pairs boxes;
    const char* saved;   // empty: refused, the form still open
  } cases[] = {
      {"Two Words", {}, "Two Words"},
      {"  Lead", {}, "Lead"},
      {"^={}`", {}, "^={}`"},
      {"", {{"Invalid", "Category can not be blank.||Please either enter a category or select [Cancel] to abort."}}, ""},
      {"   ", {{"Invalid", "Category can not be blank.||Please either enter a category or select [Cancel] to abort."}}, ""},
      // The apostrophe's pass comes first, whatever else the name holds.
      {"It's!", {{"Disallowed character...", "Please remove the APOSTROPHE in:  " + padded("It's!") + apostrophe}}, ""},
      {"A!#", {{padded("A!#"), others}}, ""},
      {"Two-Words", {{padded("Two-Words"), others}}, ""},
      {"Pay$", {{padded("Pay$"), others}}, ""},
      {"x(1)", {{padded("x(1)"), others}}, ""},
      {"[b]", {{padded("[b]"), others}}, ""},
      {"a\\b", {{padded("a\\b"), others}}, ""},
      {"Why?", {{padded("Why?"), others}}, ""},
  };
  openCategories();
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(c.typed);
    addThroughForm(c.typed);
    if (!c.boxes.empty()) {
      EXPECT_EQ(d.box()->message.icon, c.boxes[0].first == "Invalid" ? pf::Icon::Exclamation : pf::Icon::RedCross);
    }
    EXPECT_EQ(answerAll(), c.boxes);
    if (*c.saved) {
      EXPECT_FALSE(formOpen());
      auto n = names();
      EXPECT_NE(std::find(n.begin(), n.end(), c.saved), n.end());
    } else {
      ASSERT_TRUE(formOpen());
      EXPECT_EQ(d.focused("UpdateCategory"), "?CAT:CATEGORY");
      EXPECT_EQ(pf::trim(d.text("?CAT:CATEGORY", "UpdateCategory")), "");
      d.click("?CANCEL", "UpdateCategory");
      answerAll();
      EXPECT_FALSE(formOpen());
    }
  }();
  // Nothing blank or refused reached the file.
  EXPECT_EQ(readCategories().size(), 8u);
}

TEST(CategoryNames, EveryForbiddenCharacterHasItsPass) {
  const char* sets[] = {"'", "~!@#", "$%&*", "()_+", "[]", "|\\:;", "\"<>?", "/.,-"};
  for (int p = 0; p < 8; ++p)
    for (const char* c = sets[p]; *c; ++c) {
      EXPECT_EQ(qb::forbiddenCharacterPass(std::string("ab") + *c + "cd"), p + 1) << *c;
      // An earlier pass wins wherever its character stands.
      if (p > 0) {
        EXPECT_EQ(qb::forbiddenCharacterPass(std::string(1, *c) + "x'"), 1) << *c;
      }
    }
  for (const char* ok : {"Plain name 42", "^=", "{}", "`", ""}) EXPECT_EQ(qb::forbiddenCharacterPass(ok), 0) << ok;
}

TEST_F(CategoriesTest, ReservedNamesInAnyCaseAreNotDuplicated) {
  openCategories();
  for (const char* typed : {"default", "DEFAULT", "All categories", "aLL cATEGORIES", "  Default"}) [&] {
    SCOPED_TRACE(typed);
    addThroughForm(typed);
    Pairs boxes = answerAll();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].first, padded(pf::left(typed)));
    EXPECT_EQ(boxes[0].second, "This program category can not be duplicated.||Please enter another category description.");
    ASSERT_TRUE(formOpen());
    EXPECT_EQ(d.focused("UpdateCategory"), "?CAT:CATEGORY");
    d.click("?CANCEL", "UpdateCategory");
    answerAll();
  }();
  EXPECT_EQ(readCategories().size(), 5u);
}

TEST_F(CategoriesTest, RenameGivesTheNewNameToEveryWebsiteOfTheOld) {
  addSites({{"Paper", "http://paper.example", "News"},
            {"Wire", "http://wire.example", "news"},
            {"Loud", "http://loud.example", "NEWS"},
            {"Indent", "http://indent.example", " News"},
            {"Longer", "http://longer.example", "Newsy"},
            {"Shop", "http://shop.example", "Shops"},
            {"Mall", "http://mall.example", "shops"}});
  struct Case {
    const char* row;
    const char* typed;
    std::vector<std::pair<const char*, const char*>> after;   // website, category
    std::vector<std::string> rows;
  } cases[] = {
      {"News", "Press",
       {{"Paper", "Press"}, {"Wire", "Press"}, {"Loud", "Press"}, {"Indent", " News"}, {"Longer", "Newsy"},
        {"Shop", "Shops"}},
       {"All Categories", "Default", "Press", "Shops", "Travel"}},
      // Only the letter case changes: the websites take the new spelling.
      {"Shops", "SHOPS", {{"Shop", "SHOPS"}, {"Mall", "SHOPS"}, {"Paper", "Press"}},
       {"All Categories", "Default", "Press", "SHOPS", "Travel"}},
  };
  openCategories();
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(c.typed);
    pickRow(c.row);
    d.click("?CHANGE:2");
    ASSERT_TRUE(formOpen());
    EXPECT_EQ(d.window().caption(), "Change Category");
    d.type("?CAT:CATEGORY", c.typed, "UpdateCategory");
    d.click("?OK", "UpdateCategory");
    EXPECT_EQ(answerAll(), Pairs{});   // the rename shows nothing
    EXPECT_FALSE(formOpen());
    auto sites = readSites();
    for (const auto& [site, category] : c.after) EXPECT_EQ(findSite(sites, site).CATEGORY.clip(), category) << site;
    EXPECT_EQ(names(), c.rows);
    EXPECT_TRUE(GLO_OldCategory.blank());
    EXPECT_EQ(GLO_DelCategory.clip(), c.typed);
  }();
}

TEST_F(CategoriesTest, OkWithTheNameAsItWasWritesNothing) {
  addSites({{"Paper", "http://paper.example", "News"}, {"Radio", "http://radio.example", "News"}});
  const std::string sitesBefore = qbtest::fileBytes(WSitesDesc().diskName),
                    categoriesBefore = qbtest::fileBytes(CategoryDesc().diskName);
  openCategories();
  for (const char* typed : {"News", "  News"}) {
    SCOPED_TRACE(typed);
    pickRow("News");
    d.click("?CHANGE:2");
    d.type("?CAT:CATEGORY", typed, "UpdateCategory");
    d.click("?OK", "UpdateCategory");
    EXPECT_FALSE(passRunning());
    EXPECT_EQ(answerAll(), Pairs{});
    EXPECT_FALSE(formOpen());
  }
  d.click("?CLOSE", "BrowseCategories");
  answerAll();
  // An encrypted page written again never has the same bytes.
  EXPECT_EQ(qbtest::fileBytes(WSitesDesc().diskName), sitesBefore);
  EXPECT_EQ(qbtest::fileBytes(CategoryDesc().diskName), categoriesBefore);
}

TEST_F(CategoriesTest, ANameTakenInAnyCaseIsRefused) {
  addSites({{"Unfiled", "http://unfiled.example", ""}});
  const std::string refusal = "This category already exists.||Please enter another category description.";
  openCategories();
  for (const char* typed : {"News", "news", "SHOPS  "}) [&] {
    SCOPED_TRACE(typed);
    addThroughForm(typed);
    EXPECT_EQ(answerAll(), (Pairs{{padded(pf::clip(typed)), refusal}}));
    ASSERT_TRUE(formOpen());
    EXPECT_EQ(d.focused("UpdateCategory"), "?CAT:CATEGORY");
    d.click("?CANCEL", "UpdateCategory");
    answerAll();
  }();
  // Renamed onto another category's name: refused, nothing renamed.
  addSites({{"Trip", "http://trip.example", "Travel"}});
  pickRow("Travel");
  d.click("?CHANGE:2");
  d.type("?CAT:CATEGORY", "shops", "UpdateCategory");
  d.click("?OK", "UpdateCategory");
  EXPECT_EQ(answerAll(), (Pairs{{padded("shops"), refusal}}));
  EXPECT_TRUE(formOpen());
  d.click("?CANCEL", "UpdateCategory");
  answerAll();
  EXPECT_EQ(findSite(readSites(), "Trip").CATEGORY.clip(), "Travel");
  addThroughForm("Blogs");
  EXPECT_EQ(answerAll(), Pairs{});
  EXPECT_EQ(names(), (std::vector<std::string>{"All Categories", "Blogs", "Default", "News", "Shops", "Travel"}));
  // A website without a category is not handed the new name.
  EXPECT_EQ(findSite(readSites(), "Unfiled").CATEGORY.clip(), "");
}

TEST_F(CategoriesTest, ClosingNoteWhileBrowseWebsitesIsOpen) {
  struct Case {
    std::uint8_t sitesOpen;
    const char* button;
    bool note;
  } cases[] = {
      {1, "?INSERT:2", true},    // even when the form is cancelled
      {1, "?CHANGE:2", true},
      {1, "?DELETE:2", false},
      {0, "?INSERT:2", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.button) + " " + std::to_string(c.sitesOpen));
    GLO_BrowseSitesOpen = c.sitesOpen;
    openCategories();
    pickRow("Travel");
    d.click(c.button);
    settle();
    if (formOpen()) d.click("?CANCEL", "UpdateCategory");
    // A delete: the count, then No.
    while (d.box()) {
      d.answer(d.box()->buttons.size() > 1 ? 2 : 1);
      settle();
    }
    d.click("?CLOSE", "BrowseCategories");
    Pairs boxes = answerAll();
    if (c.note)
      EXPECT_EQ(boxes, (Pairs{{"The Browse Websites is open...",
                               "Please note:|Any changes to Categories will not take effect in Browse Websites |until "
                               "that window has been closed then re-opened."}}));
    else
      EXPECT_EQ(boxes, Pairs{});
    EXPECT_TRUE(d.windows().empty());
  }
}

TEST_F(CategoriesTest, SecondStartLeavesTheOpenWindowAndItsFlag) {
  openCategories();
  int first = GLO_BrowseCategoriesThread;
  d.start(qb::BrowseCategories);
  ASSERT_EQ(d.windows().size(), 1u);
  EXPECT_EQ(GLO_BrowseCategoriesThread, first);
  EXPECT_EQ(GLO_BrowseCatsOpen, 1);
  d.click("?CLOSE", "BrowseCategories");
  EXPECT_EQ(GLO_BrowseCatsOpen, 0);
}

TEST_F(CategoriesTest, WebsiteFormAddsAnUnknownCategoryThroughTheCategoryForm) {
  d.start([this] {
    Access_WSites().FilePrimeRecord();
    WEB->DESCRIPTION = "Kept description";
    pf::GLO_Request() = pf::Request::Insert;
    qb::UpdateWebsites();
  });
  ASSERT_EQ(d.window().name(), "UpdateWebsites");
  d.enter("?CAT:CATEGORY", "Blogs");
  ASSERT_TRUE(formOpen());
  EXPECT_EQ(d.window().caption(), "Category will be added");
  EXPECT_EQ(pf::trim(d.text("?CAT:CATEGORY", "UpdateCategory")), "Blogs");
  d.click("?OK", "UpdateCategory");
  EXPECT_FALSE(formOpen());
  auto cats = readCategories();
  EXPECT_NE(std::find(cats.begin(), cats.end(), "Blogs"), cats.end());
  EXPECT_EQ(pf::trim(d.text("?WEB:DESCRIPTION", "UpdateWebsites")), "Kept description");
  EXPECT_EQ(pf::trim(d.text("?CAT:CATEGORY", "UpdateWebsites")), "Blogs");
}

}  // namespace
}  // namespace qbtest
