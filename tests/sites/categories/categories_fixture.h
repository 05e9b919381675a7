// The category windows played as a user: the browse on its own thread, its form and
// count pass on that thread, the picker on a thread of its own.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "data/globals.h"
#include "sites/categories.h"
#include "tests/sites/sites_fixture.h"

namespace qbtest {

inline std::vector<std::string> readCategories() {
  std::vector<std::string> out;
  CategoryRecord r;
  pf::File f(CategoryDesc(), &r);
  if (f.open() != 0) return out;
  f.set();
  while (f.next() == 0) out.push_back(r.CATEGORY.clip());
  f.close();
  return out;
}

// A name as a caption that shows all 25 characters of the field.
inline std::string padded(const std::string& name) { return name + std::string(25 - name.size(), ' '); }

class CategoriesTest : public SitesTest {
 protected:
  void SetUp() override {
    SitesTest::SetUp();
    GLO_BrowseCategoriesThread = GLO_Win_SelectCategoryThread = 0;
    GLO_BrowseCatsOpen = 0;
    GLO_DelCategory = "";
    GLO_OldCategory = "";
    GLO_RenameMode = 0;
  }

  void openCategories() {
    d.start(qb::BrowseCategories);
    ASSERT_EQ(d.window().name(), "BrowseCategories");
  }
  std::vector<std::string> names() {
    std::vector<std::string> out;
    for (const auto& r : d.rows("?BROWSE:1", "BrowseCategories")) out.push_back(pf::trim(r[0]));
    return out;
  }
  void pickRow(const std::string& name) {
    auto n = names();
    for (std::size_t i = 0; i < n.size(); ++i)
      if (n[i] == name) {
        d.clickRow("?BROWSE:1", static_cast<int>(i) + 1, 0, "BrowseCategories");
        return;
      }
    FAIL() << "no row " << name;
  }
  // The count and rename pass walks on its window's timer: lets the clock run until it
  // has finished.
  void settle() {
    for (int i = 0; i < 50 && passRunning(); ++i) d.advance(20);
  }
  bool passRunning() {
    for (const auto& w : d.windows())
      if (w.name == "DeleteCategory") return true;
    return false;
  }
  // Every open box, oldest first, answered with `button`: (caption, text).
  std::vector<std::pair<std::string, std::string>> answerAll(int button = 1) {
    std::vector<std::pair<std::string, std::string>> out;
    settle();
    while (d.box()) {
      out.emplace_back(d.box()->message.caption, d.box()->message.text);
      d.answer(button);
      settle();
    }
    return out;
  }
  bool formOpen() {
    for (const auto& w : d.windows())
      if (w.name == "UpdateCategory") return true;
    return false;
  }
  // Insert, type the name, OK.
  void addThroughForm(const std::string& name) {
    d.click("?INSERT:2", "BrowseCategories");
    ASSERT_TRUE(formOpen());
    d.type("?CAT:CATEGORY", name, "UpdateCategory");
    d.click("?OK", "UpdateCategory");
  }
};

}  // namespace qbtest
