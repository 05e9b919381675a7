// The report document model: bands laid out into pages, and page ranges.
#include <gtest/gtest.h>

#include "platform/core/field.h"
#include "platform/report/print.h"
#include "platform/report/report.h"

namespace {

struct Small {
  pf::String<10> name;
  pf::Long count;
  pf::Report r;
  Small() {
    r.detailTop = 20;
    r.detailHeight = 30;   // three 10 mm details a page
    auto& h = r.header(1, 0, 200, 20);
    r.text(h, "?TITLE", "Title", 7, 7, 50, 7);
    auto& d = r.detail("?DETAIL", 200, 10, {"Arial", 8});
    r.field(d, "?NAME", pf::use(name, "s5"), 8, 0, 40, 5).bold();
    r.field(d, "?COUNT", pf::use(count, "N8B"), 50, 2, 20, 5, pf::Align::Right);
    r.line(d, "?RULE", 0, 0, 0, 6);
    auto& f = r.footer(0, 258, 206, 16);
    r.text(f, "?STAMP", "<-- Date Stamp -->", 19, 1, 23, 5);
    r.pageNumber(f, "?PAGECOUNT", "pPage <<#p", 180, 1, 17, 5);
  }
  void printRows(int n) {
    for (int i = 1; i <= n; ++i) {
      name = "Row number " + std::to_string(i);
      count = i % 3 == 0 ? 0 : i;
      ASSERT_EQ(r.print("?DETAIL"), 0);
    }
  }
};

TEST(ReportDocument, DetailsFillPagesWithHeaderAndFooterOnEach) {
  Small s;
  s.r.open();
  s.r.setText("?STAMP", "10/12/2026");
  s.printRows(7);
  s.r.endPages();
  const pf::ReportDocument& doc = s.r.document();
  EXPECT_EQ(doc.name, "QZKB Report");
  ASSERT_EQ(doc.pages.size(), 3u);
  for (std::size_t p = 0; p < 3; ++p) {
    EXPECT_EQ(doc.pages[p].textsOf("?TITLE"), (std::vector<std::string>{"Title"}));
    EXPECT_EQ(doc.pages[p].textsOf("?PAGECOUNT"),
              (std::vector<std::string>{"Page " + std::to_string(p + 1)}));
    EXPECT_EQ(doc.pages[p].textsOf("?STAMP"), (std::vector<std::string>{"10/12/2026"}));
  }
  // Cut to the picture; a zero shows blank; numbers carry no padding.
  EXPECT_EQ(doc.pages[0].textsOf("?NAME"), (std::vector<std::string>{"Row n", "Row n", "Row n"}));
  EXPECT_EQ(doc.pages[0].textsOf("?COUNT"), (std::vector<std::string>{"1", "2", ""}));
  EXPECT_EQ(doc.pages[2].textsOf("?NAME").size(), 1u);
  // Positions: the band's place on the page plus the control's place in the band.
  auto names = doc.pages[1].itemsOf("?NAME");
  ASSERT_EQ(names.size(), 3u);
  EXPECT_DOUBLE_EQ(names[0]->y, 20);
  EXPECT_DOUBLE_EQ(names[2]->y, 40);
  EXPECT_DOUBLE_EQ(names[0]->x, 8);
  EXPECT_TRUE(names[0]->font.bold);
  EXPECT_EQ(names[0]->font.name, "Arial");
  auto title = doc.pages[0].itemsOf("?TITLE");
  EXPECT_DOUBLE_EQ(title[0]->x, 8);   // header at x 1
  auto rule = doc.pages[0].itemsOf("?RULE");
  ASSERT_EQ(rule.size(), 3u);
  EXPECT_EQ(rule[0]->kind, pf::PageItem::Kind::Line);
}

TEST(ReportDocument, NothingPrintedMeansNoPageAndClosedReportPrintsNothing) {
  Small s;
  EXPECT_EQ(s.r.print("?DETAIL"), -1) << "not open";
  s.r.open();
  EXPECT_EQ(s.r.print("?NOSUCHBAND"), -1);
  s.r.endPages();
  EXPECT_TRUE(s.r.document().pages.empty());
  s.printRows(2);
  s.r.discardPages();
  s.r.endPages();
  EXPECT_TRUE(s.r.document().pages.empty());
}

TEST(ReportDocument, PageRanges) {
  struct Case {
    const char* text;
    std::vector<int> pages;
  };
  const Case cases[] = {
      {"1-3", {1, 2, 3}}, {"2", {2}},   {" 1 - 2 , 4", {1, 2, 4}}, {"4,1", {4, 1}},
      {"", {}},           {"0", {}},    {"5", {}},                 {"3-2", {}},
      {"1-", {}},         {"a", {}},    {"1,,2", {}},              {"99999999999", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(pf::parsePageRange(c.text, 4), c.pages) << c.text;
}

TEST(ReportDocument, PrintingWithoutDisplayRecordsTheChosenPages) {
  Small s;
  s.r.open();
  s.printRows(7);
  s.r.endPages();
  pf::clearPrintJobs();
  EXPECT_EQ(pf::printDocument(s.r.document(), {3, 1}), pf::PrintResult::Printed);
  EXPECT_EQ(pf::printDocument(pf::ReportDocument{}), pf::PrintResult::NothingToPrint) << "no page, no job";
  ASSERT_EQ(pf::printJobs().size(), 1u);
  EXPECT_EQ(pf::printJobs()[0].pages, (std::vector<int>{3, 1}));
  ASSERT_EQ(pf::printJobs()[0].printed.pages.size(), 2u);
  EXPECT_EQ(pf::printJobs()[0].printed.pages[0].textsOf("?PAGECOUNT"),
            (std::vector<std::string>{"Page 3"}));
  pf::clearPrintJobs();
}

}  // namespace
