// The category picker's initial choice and what it leaves in GLO:DelCategory, and the
// count and rename pass called directly on a thread whose website record is in use.
#include <gtest/gtest.h>

#include "data/access.h"
#include "tests/sites/categories/categories_fixture.h"

namespace qbtest {
namespace {

class PickerTest : public CategoriesTest {
 protected:
  void openPicker() {
    d.start(qb::Win_SelectCategory);
    ASSERT_EQ(d.window().name(), "Win_SelectCategory");
  }
};

TEST_F(PickerTest, InitialChoice) {
  // Added out of order and in mixed case: the list is alphabetical all the same.
  addCategories({"apple", "Beta"});
  struct Case {
    const char* held;
    const char* chosen;
  } cases[] = {
      {"Shops", "Shops"},
      {"Default", "Default"},
      {"", "All Categories"},
      {"Cat in use", "All Categories"},
      {"Gone", "All Categories"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.held);
    GLO_DelCategory = c.held;
    openPicker();
    EXPECT_EQ(d.window().caption(), "Selected category listing...");
    std::vector<std::string> shown;
    for (const auto& r : d.rows("?CAT:CATEGORY")) shown.push_back(pf::trim(r[0]));
    EXPECT_EQ(shown, (std::vector<std::string>{"All Categories", "apple", "Beta", "Default", "News", "Shops",
                                               "Travel"}));
    EXPECT_EQ(pf::trim(d.text("?CAT:CATEGORY")), c.chosen);
    EXPECT_EQ(GLO_DelCategory.clip(), c.chosen);   // before anything is pressed
    d.click("?CLOSE");
    EXPECT_TRUE(d.windows().empty());
    EXPECT_EQ(GLO_DelCategory.clip(), c.chosen);
    EXPECT_EQ(GLO_Win_SelectCategoryThread, 0);
  }
}

TEST_F(PickerTest, ChoosingARowAndTypingAnUnknownName) {
  GLO_DelCategory = "News";
  openPicker();
  d.pick("?CAT:CATEGORY", "All Categories");
  EXPECT_EQ(GLO_DelCategory.clip(), "All Categories");
  d.pick("?CAT:CATEGORY", "Travel");
  EXPECT_EQ(GLO_DelCategory.clip(), "Travel");
  // Nothing is added for a name that is not in the list.
  d.enter("?CAT:CATEGORY", "Nowhere");
  EXPECT_TRUE(GLO_DelCategory.blank());
  EXPECT_EQ(pf::trim(d.text("?CAT:CATEGORY")), "");
  d.click("?CLOSE");
  EXPECT_EQ(readCategories().size(), 5u);
}

TEST_F(PickerTest, EmptyCategoryFileLeavesTheValue) {
  pf::removeFile(CategoryDesc().diskName);
  CategoryRecord r;
  pf::File f(CategoryDesc(), &r);
  ASSERT_EQ(f.create(), 0);
  GLO_DelCategory = "Earlier";
  openPicker();
  EXPECT_EQ(d.rows("?CAT:CATEGORY").size(), 0u);
  d.click("?CLOSE");
  EXPECT_EQ(GLO_DelCategory.clip(), "Earlier");
}

TEST_F(PickerTest, SecondCallWhileOpenReturnsAtOnce) {
  openPicker();
  int first = GLO_Win_SelectCategoryThread;
  GLO_DelCategory = "Untouched";
  bool returned = false;
  d.start([&] {
    qb::Win_SelectCategory();
    returned = true;
  });
  EXPECT_TRUE(returned);
  EXPECT_EQ(d.windows().size(), 1u);
  EXPECT_EQ(GLO_DelCategory.clip(), "Untouched");
  EXPECT_EQ(GLO_Win_SelectCategoryThread, first);
}

// The pass on a thread that holds a website of its own in its record.
TEST_F(CategoriesTest, PassKeepsTheCallersWebsiteRecord) {
  addSites({{"Paper", "http://paper.example", "News"}, {"Radio", "http://radio.example", "News"},
            {"Shop", "http://shop.example", "Shops"}});
  struct Case {
    std::uint8_t mode;
    const char* del;
    const char* old;
    const char* after;   // GLO:DelCategory afterwards
    std::vector<std::string> boxes;
  } cases[] = {
      {0, "News", "Old", "Cat in use", {"2 Websites have a Category of: News"}},
      {0, "Travel", "", "", {"0 Websites have a Category of: Travel"}},
      // Equal names rewrite with the same value.
      {1, "Shops", "Shops", "Shops", {}},
      {1, "Press", "News", "Press", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.del);
    std::string description, category;
    d.start([&] {
      Relate_WSites().RelationOpen();
      Access_WSites().FilePrimeRecord();
      WEB->DESCRIPTION = "Being edited";
      WEB->CATEGORY = "Mine";
      GLO_DelCategory = c.del;
      GLO_OldCategory = c.old;
      GLO_RenameMode = c.mode;
      qb::DeleteCategory();
      description = WEB->DESCRIPTION.clip();
      category = WEB->CATEGORY.clip();
      Relate_WSites().RelationClose();
    });
    settle();
    std::vector<std::string> shown;
    while (d.box()) {
      shown.push_back(d.box()->message.text);
      d.answer(1);
    }
    EXPECT_EQ(shown, c.boxes);
    EXPECT_EQ(description, "Being edited");
    EXPECT_EQ(category, "Mine");
    EXPECT_EQ(GLO_DelCategory.clip(), c.after);
    EXPECT_TRUE(GLO_OldCategory.blank());
  }
  auto sites = readSites();
  EXPECT_EQ(findSite(sites, "Paper").CATEGORY.clip(), "Press");
  EXPECT_EQ(findSite(sites, "Shop").CATEGORY.clip(), "Shops");
}

}  // namespace
}  // namespace qbtest
