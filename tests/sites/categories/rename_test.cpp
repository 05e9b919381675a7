// A category rename in the user's timing: a pass of many time slices, another thread's
// picker between them, another program holding the websites file, and the preferences'
// default category renamed with it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "data/access.h"
#include "tests/sites/categories/categories_fixture.h"

namespace qbtest {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

class RenameTest : public CategoriesTest {
 protected:
  // Change on `row`, the new name typed, OK.
  void rename(const std::string& row, const std::string& to) {
    openCategories();
    pickRow(row);
    d.click("?CHANGE:2");
    ASSERT_TRUE(formOpen());
    d.type("?CAT:CATEGORY", to, "UpdateCategory");
    d.click("?OK", "UpdateCategory");
  }
  std::vector<std::string> categoriesOfSites() {
    std::vector<std::string> out;
    for (const auto& r : readSites()) out.push_back(r.CATEGORY.clip());
    return out;
  }
  std::string defaultCategoryOnFile() {
    auto prefs = readRecords<DefaultsRecord>(DefaultsDesc());
    return prefs.empty() ? std::string("(none)") : prefs[0].DEFAULTCAT.clip();
  }
  void addNews(int n) {
    std::vector<Site> sites;
    for (int i = 0; i < n; ++i) sites.push_back({"Site " + std::to_string(i), "http://site.example", "News"});
    addSites(sites);
  }
};

TEST_F(RenameTest, ThePickerOnAnotherThreadBetweenSlicesChangesNothing) {
  addNews(8);
  pf::setSliceRecordLimit(1);
  rename("News", "Press");
  ASSERT_TRUE(passRunning());
  d.advance(10);
  ASSERT_TRUE(passRunning());
  // Reports > "Only those with a selected Category": the picker takes GLO:DelCategory.
  d.start(qb::Win_SelectCategory);
  ASSERT_EQ(d.window().name(), "Win_SelectCategory");
  EXPECT_EQ(GLO_DelCategory.clip(), "All Categories");
  settle();
  EXPECT_FALSE(passRunning());
  EXPECT_EQ(categoriesOfSites(), std::vector<std::string>(8, "Press"));
  EXPECT_EQ(readCategories(), (std::vector<std::string>{"All Categories", "Default", "Press", "Shops", "Travel"}));
  EXPECT_FALSE(formOpen());
  d.click("?CLOSE", "Win_SelectCategory");
  EXPECT_EQ(answerAll(), Pairs{});
}

// Another program holds a write transaction on the websites file until told to end.
class Holder {
 public:
  Holder() {
    if (pipe(ready_) != 0 || pipe(done_) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      WSitesRecord r;
      pf::File f(WSitesDesc(), &r);
      char c = f.open() == 0 && f.logout() == 0 ? 'y' : 'n';
      (void)!write(ready_[1], &c, 1);
      (void)!read(done_[0], &c, 1);
      _exit(0);
    }
    char c = 0;
    held_ = read(ready_[0], &c, 1) == 1 && c == 'y';
  }
  ~Holder() { release(); }
  bool held() const { return held_; }
  void release() {
    if (pid_ <= 0) return;
    (void)!write(done_[1], "x", 1);
    int st = 0;
    waitpid(pid_, &st, 0);
    pid_ = 0;
  }

 private:
  int ready_[2] = {-1, -1}, done_[2] = {-1, -1};
  pid_t pid_ = 0;
  bool held_ = false;
};

TEST_F(RenameTest, WebsitesHeldByAnotherProgramLeaveEverythingAsItWas) {
  addNews(3);
  GLO_DefaultCat = "News";
  writePreferences("News");
  Holder other;
  ASSERT_TRUE(other.held());
  rename("News", "Press");
  Pairs boxes = answerAll();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].first, "Record was not updated");
  EXPECT_EQ(boxes[0].second,
            "An error (File Is Already Locked) was experienced when making changes to the Process:View file.");
  EXPECT_TRUE(formOpen());
  EXPECT_EQ(categoriesOfSites(), std::vector<std::string>(3, "News"));
  EXPECT_EQ(readCategories(), (std::vector<std::string>{"All Categories", "Default", "News", "Shops", "Travel"}));
  EXPECT_EQ(defaultCategoryOnFile(), "News");
  EXPECT_EQ(GLO_DefaultCat.clip(), "News");
  // Once the other program has let go, the same OK goes through.
  other.release();
  d.click("?OK", "UpdateCategory");
  EXPECT_EQ(answerAll(), Pairs{});
  EXPECT_FALSE(formOpen());
  EXPECT_EQ(categoriesOfSites(), std::vector<std::string>(3, "Press"));
  EXPECT_EQ(defaultCategoryOnFile(), "Press");
}

TEST_F(RenameTest, ACategoryAnotherProgramDeletedMidwayIsNamedInTheError) {
  addNews(4);
  pf::setSliceRecordLimit(1);
  rename("News", "Press");
  ASSERT_TRUE(passRunning());
  d.advance(10);
  {
    CategoryRecord r;
    pf::File f(CategoryDesc(), &r);
    ASSERT_EQ(f.open(), 0);
    r.CATEGORY = "News";
    ASSERT_EQ(f.get(CAT_CatKey()), 0);
    ASSERT_EQ(f.remove(), 0);
    f.close();
  }
  pf::setSliceRecordLimit(0);
  Pairs boxes = answerAll();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].first, "Record was not updated");
  EXPECT_NE(boxes[0].second.find("An error (Record Not Available) was experienced"), std::string::npos)
      << boxes[0].second;
  EXPECT_EQ(categoriesOfSites(), std::vector<std::string>(4, "News"));
}

TEST_F(RenameTest, ThePreferencesDefaultCategoryIsRenamedWithIt) {
  addNews(2);
  struct Case {
    const char* onFile;   // PREF:DEFAULTCAT
    const char* running;  // GLO:DefaultCat
    const char* row;
    const char* to;
    const char* onFileAfter;
    const char* runningAfter;
  } cases[] = {
      {"news", "News", "News", "Press", "Press", "Press"},
      {"Shops", "Shops", "Travel", "Trips", "Shops", "Shops"},
  };
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(c.to);
    writePreferences(c.onFile);
    GLO_DefaultCat = c.running;
    rename(c.row, c.to);
    EXPECT_EQ(answerAll(), Pairs{});
    EXPECT_EQ(defaultCategoryOnFile(), c.onFileAfter);
    EXPECT_EQ(GLO_DefaultCat.clip(), c.runningAfter);
    // The renamed default stays protected from a delete.
    pickRow(c.runningAfter);
    d.click("?DELETE:2");
    Pairs boxes = answerAll();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].second.rfind("This category is set as the default category", 0), 0u) << boxes[0].second;
    d.click("?CLOSE", "BrowseCategories");
    answerAll();
  }();
}

}  // namespace
}  // namespace qbtest
