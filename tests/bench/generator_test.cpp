// The website generator: what it writes through the access objects, and the framing of
// its writes.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "bench/generator.h"
#include "data/access.h"
#include "platform/classes/error_manager.h"
#include "platform/runtime/testing.h"
#include "tests/support/temp_dir.h"

namespace {

using qb::bench::Website;

class GeneratorTest : public ::testing::Test {
 protected:
  void SetUp() override { pf::testing::resetRuntime(); }
  void TearDown() override {
    FreeThreadAccess();
    pf::testing::resetRuntime();
  }
  qbtest::TempDir dir;
};

std::map<std::string, int> categoryRows() {
  CategoryRecord rec;
  pf::File f(CategoryDesc(), &rec);
  std::map<std::string, int> rows;
  if (f.open() != 0) return rows;
  f.set();
  while (f.next() == 0) ++rows[rec.CATEGORY.clip()];
  return rows;
}

TEST_F(GeneratorTest, WritesPlausibleWebsitesAndTheirCategoriesOnce) {
  auto sites = qb::bench::makeWebsites(400, 3);
  std::string error;
  ASSERT_EQ(qb::bench::writeWebsites(sites, &error), 0) << error;

  WSitesRecord rec;
  pf::File f(WSitesDesc(), &rec);
  ASSERT_EQ(f.open(), 0);
  EXPECT_EQ(f.records(), 400);
  std::set<std::string> used;
  int favourites = 0, visited = 0, notes = 0, logons = 0;
  f.set();
  while (f.next() == 0) {
    SCOPED_TRACE(rec.DESCRIPTION.clip());
    EXPECT_FALSE(rec.DESCRIPTION.blank());
    std::string address = rec.WEBADDRESS.str();
    EXPECT_TRUE(address.rfind("http://", 0) == 0 || address.rfind("https://", 0) == 0 ||
                address.rfind("ftp://", 0) == 0) << address;
    for (char c : address) EXPECT_FALSE(c >= 'A' && c <= 'Z') << address;
    EXPECT_NE(rec.CATEGORY.clip(), AllCategories);
    EXPECT_GT(rec.DATEADDED.get(), 0);
    EXPECT_GE(rec.DATEUPDATED.get(), rec.DATEADDED.get());
    EXPECT_EQ(rec.LASTVISIT.get() != 0, rec.VISITS.get() != 0);
    if (rec.VISITS.get()) {
      EXPECT_GE(rec.LASTVISIT.get(), rec.DATEADDED.get());
    }
    EXPECT_GE(rec.TEXTCOLOR, 1);
    EXPECT_LE(rec.TEXTCOLOR, 8);
    used.insert(rec.CATEGORY.clip());
    favourites += rec.FAVOURITEYN;
    visited += rec.VISITS.get() != 0;
    notes += !rec.SiteNotes.str().empty();
    logons += !rec.LOGONID.blank();
  }
  // Spread over the kinds of values a collection has, not all alike.
  EXPECT_GT(used.size(), 15u);
  for (int n : {favourites, visited, notes, logons}) {
    EXPECT_GT(n, 0);
    EXPECT_LT(n, 400);
  }
  f.close();

  // A second run adds its websites; categories already there are not added again.
  ASSERT_EQ(qb::bench::writeWebsites(qb::bench::makeWebsites(50, 4), &error), 0) << error;
  ASSERT_EQ(f.open(), 0);
  EXPECT_EQ(f.records(), 450);
  auto rows = categoryRows();
  EXPECT_EQ(rows[AllCategories], 1);
  EXPECT_EQ(rows[DefaultCategory], 1);
  for (const auto& c : used) EXPECT_EQ(rows[c], 1) << c;
  for (const auto& [name, n] : rows) EXPECT_EQ(n, 1) << name;
}

TEST_F(GeneratorTest, TheSameSeedGivesTheSameWebsites) {
  auto a = qb::bench::makeWebsites(50, 9), b = qb::bench::makeWebsites(50, 9), c = qb::bench::makeWebsites(50, 10);
  auto key = [](const std::vector<Website>& v) {
    std::string s;
    for (const auto& w : v) s += w.description + "|" + w.address + "|" + w.password + "\n";
    return s;
  };
  EXPECT_EQ(key(a), key(b));
  EXPECT_NE(key(a), key(c));
}

TEST_F(GeneratorTest, AFailedStepEndsItsFrameWithoutItsWrites) {
  CategoryRecord rec;
  pf::File f(CategoryDesc(), &rec);
  ASSERT_EQ(f.create(), 0);
  ASSERT_EQ(f.open(), 0);
  int n = 0;
  qb::bench::FrameStats stats;
  // A time slice no batch fills: every write so far is in the one frame that fails.
  int code = qb::bench::runFramed(f, [&]() -> int {
        if (n == 3) return -pf::Err::AccessDenied;
        rec.CATEGORY = "c" + std::to_string(n++);
        return f.add() == 0 ? 1 : -pf::errorcode();
      }, &stats, 1 << 30);
  EXPECT_EQ(code, pf::Err::AccessDenied);
  EXPECT_FALSE(f.inTransaction());
  EXPECT_EQ(stats.frames, 1);
  EXPECT_EQ(f.records(), 0);

  n = 0;
  code = qb::bench::runFramed(f, [&]() -> int {
        if (n == 5) return 0;
        rec.CATEGORY = "d" + std::to_string(n++);
        return f.add() == 0 ? 1 : -pf::errorcode();
      }, &stats);
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(f.inTransaction());
  EXPECT_EQ(f.records(), 5);
}

}  // namespace
