// Views: filters (run as SQL and evaluated, with the same results), parts, counts,
// paging around a position, locators, reverse order and writes through the view.
#include <gtest/gtest.h>

#include <functional>

#include "platform/core/errors.h"
#include "platform/store/bind.h"
#include "platform/store/view.h"
#include "tests/platform/store/store_fixture.h"
#include "tests/support/temp_dir.h"

using namespace storetest;
namespace Err = pf::Err;

namespace {

using Ids = std::vector<std::string>;

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Counts by name and flag read an index of their own.
    d.countIndexes = {{"TST:NameKey", {0, 2}}};
    make(d, {{"Alpha", "X", 1, 2, "1"},
             {"beta", "", 0, 5, "2"},
             {"Gamma", "Y", 1, 1, "3"},
             {"  delta", "", 0, 0, "4"},
             {"", "Z", 0, 3, "5"},  // no name: not in TST:NameKey
             {"alpha", "x", 1, 9, "6"},
             {"Epsilon", "  ", 0, 4, "7"}});
    ASSERT_EQ(file.open(), 0);
    pf::bind("GLO:Name", {pf::FieldType::String, &gloName, 20});
    pf::bind("BrowseFilter", {pf::FieldType::String, &browseFilter, 25});
    pf::bind("GLO:Flag", {pf::FieldType::Byte, &gloFlag, 1});
  }
  void TearDown() override {
    for (const char* n : {"GLO:Name", "BrowseFilter", "GLO:Flag"}) pf::unbind(n);
  }

  Ids readAll(pf::View& v, bool backwards = false) {
    Ids ids;
    int rc;
    while ((rc = backwards ? v.previous() : v.next()) == 0) ids.push_back(r.NOTES.str());
    EXPECT_EQ(rc, Err::RecordNotAvailable);
    return ids;
  }

  qbtest::TempDir dir;
  pf::FileDesc d = desc();
  Rec r;
  pf::File file{d, &r};
  pf::String<20> gloName{"alpha"};
  pf::String<25> browseFilter{"News"};
  pf::Byte gloFlag = 1;
};

TEST_F(ViewTest, FiltersGiveTheSameRecordsAsSqlAndEvaluated) {
  const Ids all = {"4", "1", "6", "2", "7", "3"};  // TST:NameKey order
  struct Case {
    const char* filter;
    Ids ids;
  } cases[] = {
      {"TST:FLAG=1", {"1", "6", "3"}},
      {"(TST:COUNT > 1)", {"1", "6", "2", "7"}},
      {"CLIP(LEFT(TST:NAME)) > ''", all},
      {"TST:NAME=GLO:Name", {"6"}},
      {"CLIP(TST:NAME)=CLIP(GLO:Name)", {"6"}},
      {"CLIP(TST:CODE) > '' OR CLIP( TST:NAME) > ''", all},
      {"CLIP(TST:CODE) > ''", {"1", "6", "3"}},
      {"TST:NAME <> 'Alpha'", {"4", "6", "2", "7", "3"}},
      {"BrowseFilter", all},
      {"UPPER(TST:NAME) = 'ALPHA'", {"1", "6"}},
      {"SUB(TST:NAME, 1, 1) = 'a'", {"6"}},
      {"LEN(TST:NAME) = 20 AND LEN(CLIP(TST:NAME)) = 5", {"1", "6", "3"}},
      {"LEN(SUB(TST:NAME, 18, 5)) = 3", all},
      {"INSTRING('ta', TST:NAME, 1, 1) > 0", {"4", "2"}},
      {"NOT TST:FLAG", {"4", "2", "7"}},
      {"TST:COUNT % 2 = 1", {"6", "2", "3"}},
      {"TST:FLAG = GLO:Flag", {"1", "6", "3"}},
      {"TST:CODE & TST:NAME = 'XAlpha'", {"1"}},
      {"LEFT(TST:NAME) = 'delta'", {"4"}},
      {"TST:COUNT / 2 = 2.5", {"2"}},
      // Upper-cased on both sides: answered by the name without letter case.
      {"UPPER(TST:NAME)=UPPER(GLO:Name)", {"1", "6"}},
      {"UPPER(GLO:Name) <> UPPER(TST:NAME)", {"4", "2", "7", "3"}},
      {"UPPER(TST:NAME) = UPPER('  DELTA  ')", {"4"}},
      {"UPPER(TST:NAME) = UPPER(SUB(TST:NAME, 1, 5))", {"1", "6", "2", "3"}},
      {"UPPER(TST:NAME)=UPPER(GLO:Name) AND TST:FLAG=1", {"1", "6"}},
      {"NOT (UPPER(TST:NAME)=UPPER(GLO:Name)) AND (TST:FLAG=1)", {"3"}},
  };
  for (bool evaluated : {false, true}) {
    for (const auto& c : cases) [&] {
      SCOPED_TRACE(::testing::Message() << c.filter << (evaluated ? " (evaluated)" : " (SQL)"));
      pf::View v(file);
      v.setOrder(d.key("TST:NameKey"));
      v.setFilter("5 Standard", c.filter);
      v.setEvaluateOnly(evaluated);
      ASSERT_EQ(v.open(), 0);
      EXPECT_EQ(v.filterRunsAsSql(), !evaluated);
      v.set();
      EXPECT_EQ(readAll(v), c.ids);
      v.set();
      EXPECT_EQ(readAll(v, true), Ids(c.ids.rbegin(), c.ids.rend()));
      EXPECT_EQ(v.count(), static_cast<std::int64_t>(c.ids.size()));
    }();
  }
}

TEST_F(ViewTest, PartsHoldTogetherAndBoundValuesAreReadAtEachStart) {
  pf::View v(file);
  v.setOrder(d.key("TST:NameKey"));
  v.setFilter("5 Standard", "(TST:FavouriteYN=1)");  // an unknown field: refused at open
  EXPECT_EQ(v.open(), Err::BadFilter);
  EXPECT_EQ(pf::errorcode(), Err::BadFilter);
  v.setFilter("5 Standard", "(TST:FLAG=1)");
  v.setFilter("9Z", "CLIP(TST:NAME)=CLIP(GLO:Name)");
  ASSERT_EQ(v.open(), 0);
  EXPECT_EQ(v.filter(), "((TST:FLAG=1)) AND (CLIP(TST:NAME)=CLIP(GLO:Name))");
  v.set();
  EXPECT_EQ(readAll(v), Ids{"6"});
  gloName = "Gamma";
  EXPECT_EQ(readAll(v), Ids{});  // the sequence keeps the value it started with
  v.set();
  EXPECT_EQ(readAll(v), Ids{"3"});
  EXPECT_EQ(v.count(), 1);
  v.setFilter("9Z", "");
  v.set();
  EXPECT_EQ(readAll(v), (Ids{"1", "6", "3"}));
  v.setFilter("9Z", "TST:NAME = (");
  v.set();
  EXPECT_EQ(v.next(), Err::BadFilter);
  EXPECT_EQ(v.count(), -1);

  pf::View unopened(file);
  file.close();
  EXPECT_EQ(unopened.open(), Err::NotOpen);
}

TEST_F(ViewTest, OrdersReverseAndRecordOrder) {
  pf::View v(file);
  ASSERT_EQ(v.open(), 0);
  EXPECT_EQ(readAll(v), (Ids{"1", "2", "3", "4", "5", "6", "7"}));
  EXPECT_EQ(v.count(), 7);
  v.setOrder(d.key("TST:CountKey"));
  v.setReverse(true);
  v.set();
  EXPECT_EQ(readAll(v), (Ids{"3", "1", "5", "7", "2", "6"}));  // fewest visits first; 0 not in the key
  EXPECT_EQ(v.count(), 6);
  v.setOrder(d.key("TST:CodeNameKey"));
  v.setReverse(false);
  v.setFilter("5 Standard", "TST:FLAG=0");
  v.set();
  EXPECT_EQ(readAll(v), (Ids{"4", "2", "7", "5"}));
}

TEST_F(ViewTest, PagesAroundAPositionAndTypingLocator) {
  file.close();
  std::vector<Row> rows;
  for (int i = 0; i < 300; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "%s%03d", i % 3 ? "Site" : "site", i);
    rows.push_back({name, "", i % 2, i, std::to_string(i)});
  }
  make(d, rows);
  ASSERT_EQ(file.open(), 0);
  for (bool evaluated : {false, true}) [&] {
    SCOPED_TRACE(evaluated ? "evaluated" : "SQL");
    pf::View v(file);
    v.setOrder(d.key("TST:NameKey"));
    v.setFilter("5 Standard", "TST:FLAG=1");
    v.setEvaluateOnly(evaluated);
    ASSERT_EQ(v.open(), 0);
    EXPECT_EQ(v.count(), 150);

    // A page of five after and before record 151, as a list fills around its selection.
    pf::Position at;
    v.set();
    while (v.next() == 0)
      if (r.NOTES.str() == "151") at = v.position();
    ASSERT_FALSE(at.empty());
    v.setAt(at);
    Ids after, before;
    for (int i = 0; i < 5 && v.next() == 0; ++i) after.push_back(r.NOTES.str());
    v.setAt(at);
    for (int i = 0; i < 5 && v.previous() == 0; ++i) before.push_back(r.NOTES.str());
    EXPECT_EQ(after, (Ids{"151", "153", "155", "157", "159"}));
    EXPECT_EQ(before, (Ids{"151", "149", "147", "145", "143"}));

    // The locator: first passing record whose name is not below what was typed.
    struct Case {
      const char* typed;
      const char* first;
    } cases[] = {{"site2", "201"}, {"SITE15", "151"}, {"s", "1"}, {"site299", "299"}, {"t", nullptr}};
    for (const auto& c : cases) [&] {
      SCOPED_TRACE(c.typed);
      r = Rec{};
      r.NAME = c.typed;
      v.setFromBuffer();
      if (c.first) {
        ASSERT_EQ(v.next(), 0);
        EXPECT_EQ(r.NOTES.str(), c.first);
      } else {
        EXPECT_EQ(v.next(), Err::RecordNotAvailable);
      }
    }();
  }();
}

TEST_F(ViewTest, WritesThroughTheViewAndCountsLeaveTheBufferAlone) {
  pf::View v(file);
  v.setOrder(d.key("TST:NameKey"));
  v.setFilter("5 Standard", "TST:FLAG=1");
  ASSERT_EQ(v.open(), 0);
  ASSERT_EQ(v.next(), 0);
  ASSERT_EQ(v.next(), 0);
  EXPECT_EQ(r.NOTES.str(), "6");
  r.FLAG = 0;
  ASSERT_EQ(v.put(), 0);
  v.set();
  EXPECT_EQ(readAll(v), (Ids{"1", "3"}));

  pf::View e(file);
  e.setFilter("5 Standard", "TST:FLAG=0");
  e.setEvaluateOnly(true);
  ASSERT_EQ(e.open(), 0);
  ASSERT_EQ(file.get(pf::Position{3, {}}), 0);
  EXPECT_EQ(e.count(), 5);
  EXPECT_EQ(r.NOTES.str(), "3");
  EXPECT_EQ(file.position().row, 3);
  // An evaluated read that finds nothing more leaves the buffer as it was.
  e.setAt(pf::Position{7, {}});
  ASSERT_EQ(e.next(), 0);
  EXPECT_EQ(r.NOTES.str(), "7");
  r.NAME = "kept";
  EXPECT_EQ(e.next(), Err::RecordNotAvailable);
  EXPECT_EQ(r.NAME.clip(), "kept");
}

// A walk that reads each record once, met between two of its time slices by another
// connection's writes: the record it had read last is deleted, one record moves on ahead
// of it, one behind it, one leaves the filter. Once the next slice's frame has begun, the
// walk goes on from where it was with the records as they are now; the one moved behind
// comes after the end of the order.
TEST_F(ViewTest, AWalkReadsEachRecordOnceAsItIsWhateverOtherWritersDoBetweenSlices) {
  pf::View v(file);
  v.setOrder(d.key("TST:NameKey"));
  v.setFilter("5 Standard", "TST:COUNT<>99");
  v.setEachOnce(true);
  ASSERT_EQ(v.open(), 0);
  ASSERT_EQ(v.next(), 0);
  EXPECT_EQ(r.NOTES.str(), "4");
  ASSERT_EQ(v.next(), 0);
  EXPECT_EQ(r.NOTES.str(), "1");

  Rec o;
  pf::File other(d, &o);
  ASSERT_EQ(other.open(), 0);
  auto change = [&](std::int64_t row, const std::function<void()>& what) {
    ASSERT_EQ(other.get(pf::Position{row, {}}), 0);
    if (!what) {
      ASSERT_EQ(other.remove(), 0);
      return;
    }
    what();
    ASSERT_EQ(other.put(), 0);
  };
  change(1, {});
  change(2, [&] { o.NAME = "zeta"; });
  change(3, [&] { o.NAME = "Aardvark"; });
  change(7, [&] { o.COUNT = 99; });
  other.close();

  ASSERT_EQ(file.logout(), 0);
  ASSERT_EQ(v.refresh(), 0);
  EXPECT_EQ(r.NOTES.str(), "6");
  Ids rest;
  std::vector<std::string> names;
  while (v.next() == 0) {
    rest.push_back(r.NOTES.str());
    names.push_back(r.NAME.clip());
  }
  ASSERT_EQ(file.commit(), 0);
  EXPECT_EQ(rest, (Ids{"2", "3"}));
  EXPECT_EQ(names, (std::vector<std::string>{"zeta", "Aardvark"}));
}

}  // namespace

// A file made before its counts had an index of their own: counted right when it is
// open read-only (without the index) and once an open for writing has added it.
TEST(ViewCountIndex, OlderFilesCountTheSame) {
  qbtest::TempDir dir;
  pf::FileDesc before = desc();
  make(before, {{"Alpha", "X", 1, 2, "1"}, {"alpha", "", 0, 5, "2"}, {"Beta", "Y", 1, 1, "3"}, {"", "Z", 1, 3, "4"}});
  pf::String<20> name{"ALPHA"};
  pf::bind("GLO:Name", {pf::FieldType::String, &name, 20});
  pf::FileDesc now = desc();
  now.countIndexes = {{"TST:NameKey", {0, 2}}};
  for (int mode : {pf::OpenMode::ReadOnly | pf::OpenMode::DenyNone, pf::OpenMode::ReadWrite | pf::OpenMode::DenyNone,
                   pf::OpenMode::ReadOnly | pf::OpenMode::DenyNone}) [&] {
    SCOPED_TRACE(mode);
    Rec r;
    pf::File f(now, &r);
    ASSERT_EQ(f.open(mode), 0);
    pf::View v(f);
    v.setOrder(now.key("TST:NameKey"));
    v.setFilter("9Z", "UPPER(TST:NAME)=UPPER(GLO:Name)");
    ASSERT_EQ(v.open(), 0);
    EXPECT_EQ(v.count(), 2);
    v.setFilter("5", "TST:FLAG=1");
    EXPECT_EQ(v.count(), 1);
    v.clearFilter();
    v.setFilter("5", "TST:FLAG=1");
    EXPECT_EQ(v.count(), 2);  // the nameless record is not in the key
  }();
  pf::unbind("GLO:Name");
}
