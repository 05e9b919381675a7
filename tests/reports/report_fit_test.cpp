// Every report drawn with full-length values in its fields, on the real fonts: no text is
// cut by the renderer (a date keeps its last digit, "Printed:" its colon, a subtitle its
// first letter, a logon ID all of its 20 characters). With QB_SCREENSHOTS set to a folder,
// the first page of each is saved there to be looked at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QImage>

#include <cstdlib>

#include <string>
#include <vector>

#include "platform/core/dates.h"
#include "platform/report/render.h"
#include "reports/reports.h"
#include "shell/procedures.h"
#include "tests/reports/reports_fixture.h"

namespace qbtest {
namespace {

QApplication& app() {
  static int argc = 1;
  static char name[] = "report_fit_test";
  static char* argv[] = {name, nullptr};
  static QApplication* a = new QApplication(argc, argv);
  return *a;
}

// `n` characters of ordinary text, as a field filled to its length holds.
std::string fullLength(const std::string& sample, std::size_t n) {
  std::string s;
  while (s.size() < n) s += sample;
  return s.substr(0, n);
}

const std::int32_t kWidestDate = pf::dateToDay(2026, 12, 28);

const std::vector<Site> kFullSites = {
    {fullLength("Grand Harbour Community Savings Bank Online ", 45),
     "https://www.grandharbour-communitysavings.example.com/online/banking/login?id=42",
     fullLength("Travel and Holiday Plans ", 25), 99999999,
     "jennifer.montgomery7@mail.example", "Tr0ub4dor&3xkcd!Passw0rd9xyz", 1, kWidestDate,
     kWidestDate, kWidestDate},
    // Every check of the integrity report fails on this one but the description's.
    {fullLength("Membership Portal of the Regional Library ", 45), "ftp://library.example", "", 0,
     "", "", 1, kWidestDate, kWidestDate, 0},
    {"", "http://www.", "News", 0},
};

class ReportFit : public ReportsTest {
 protected:
  void SetUp() override {
    app();
    ReportsTest::SetUp();
  }
};

TEST_F(ReportFit, NoTextOfAnyReportIsCut) {
  ASSERT_EQ(QFontInfo(QFont("Liberation Sans")).family(), "Liberation Sans")
      << "reports are measured in Liberation Sans (Debian's fonts-liberation2; tools/setup)";
  addSites(kFullSites);
  struct Case {
    const char* name;
    void (*report)();
    const char* answer;
  };
  const Case cases[] = {
      {"Rpt_Websites", qb::Rpt_Websites, "&Include"},
      {"Rpt_WebsitesByCat", qb::Rpt_WebsitesByCat, "&Include"},
      {"Rpt_FavoritesOnly", qb::Rpt_FavoritesOnly, "&Include"},
      {"Rpt_WebsitesSecurityOnly", qb::Rpt_WebsitesSecurityOnly, "&Include"},
      {"Rpt_WebsitesSelectedCat", qb::Rpt_WebsitesSelectedCat, "&Include"},
      {"Rpt_Visits", qb::Rpt_Visits, nullptr},
      {"Rpt_Integrity", qb::Rpt_Integrity, nullptr},
  };
  // The one-category report's picker chooses the longest category.
  const std::string category = kFullSites[0].category;
  qb::setProcedure(qb::Proc::Win_SelectCategory, [category] { GLO_DelCategory = category; });
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(c.name);
    pf::ReportDocument doc = print(c.report, c.answer);
    ASSERT_FALSE(doc.pages.empty());
    std::size_t texts = 0;
    for (const pf::ReportPage& page : doc.pages) {
      for (const pf::PageItem& item : page.items) texts += !item.text.empty();
      for (const pf::CutText& cut : pf::cutTexts(page, doc.width))
        ADD_FAILURE() << cut.item->control << " \"" << cut.item->text << "\" needs " << cut.width
                      << " mm, has " << cut.room << " mm";
    }
    EXPECT_GT(texts, 10u);
    // QB_SCREENSHOTS=folder: the first page, to be looked at.
    if (const char* shots = std::getenv("QB_SCREENSHOTS"))
      pf::renderSpread(pf::pagesOf(doc), 0, 1, 1, 150)
          .save(QString::fromStdString(std::string(shots) + "/fit-" + c.name + ".png"));
  }();
  qb::setProcedure(qb::Proc::Win_SelectCategory, {});
}

// The renderer's rule itself: a text runs on into free space, up to the next text on its
// line, and no further.
TEST_F(ReportFit, ATextRunsIntoFreeSpaceUpToItsNeighbour) {
  pf::ReportPage page;
  pf::ReportFont arial{"Arial", 8};
  auto text = [&](double x, double w, std::string t, pf::Align a = pf::Align::Left) {
    pf::PageItem i;
    i.x = x;
    i.y = 10;
    i.w = w;
    i.h = 5;
    i.text = std::move(t);
    i.font = arial;
    i.align = a;
    i.control = "?T" + std::to_string(page.items.size());
    page.items.push_back(i);
  };
  text(8, 9, "Printed:");                 // a little wider than its box, room after it
  text(19, 23, "12/28/2026");
  text(60, 10, "A text far too long for its column and the gap");
  text(75, 20, "Next");
  text(150, 20, "Right aligned wider than its box", pf::Align::Right);
  auto cuts = pf::cutTexts(page, 210);
  std::vector<std::string> cut;
  for (const auto& c : cuts) cut.push_back(c.item->control);
  EXPECT_EQ(cut, (std::vector<std::string>{"?T2"})) << "only the long text meets its neighbour";
  EXPECT_GT(pf::textWidthMm(page.items[0]), 9.0) << "Printed: is wider than its 9 mm box";
  pf::TextRoom room = pf::roomOf(page, 2);
  EXPECT_DOUBLE_EQ(room.right, 75);
  EXPECT_DOUBLE_EQ(room.left, 42);
}

}  // namespace
}  // namespace qbtest
