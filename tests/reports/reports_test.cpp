// The website reports, the visits report, the integrity check and the chooser, played
// through the progress window and the preview.
#include <gtest/gtest.h>

#include "platform/core/pictures.h"
#include "platform/runtime/runtime.h"
#include "reports/reports.h"
#include "shell/procedures.h"
#include "tests/reports/reports_fixture.h"
#include "tests/support/slices.h"

namespace qbtest {
namespace {

using Reports = ReportsTest;

const std::vector<Site> kSites = {
    {"Zeta News", "http://zeta.example", "News", 3, "  zuser", "zpass"},
    {"Alpha Shop", "http://alpha.example", "Shops", 0, "", "", 1},
    {"Mid Travel", "http://mid.example", "Travel", 7, "", "secret"},
    {"", "http://nodescription.example", "News", 2},   // not in the description key
};

TEST_F(Reports, ListingExcludesIdsByDefault) {
  addSites(kSites);
  pf::ReportDocument doc = print(qb::Rpt_Websites, "&Exclude");
  ASSERT_EQ(doc.pages.size(), 1u);
  EXPECT_EQ(column(doc, "?WEB:DESCRIPTION"),
            (std::vector<std::string>{"Alpha Shop", "Mid Travel", "Zeta News"}));
  EXPECT_EQ(column(doc, "?WEB:VISITS"), (std::vector<std::string>{"", "7", "3"}));
  EXPECT_EQ(column(doc, "?LOC:LOGON"), (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(column(doc, "?LOC:PWORD"), (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(column(doc, "?LOC:STORE"), (std::vector<std::string>{""}));
  EXPECT_EQ(column(doc, "?STRING16"), (std::vector<std::string>{"All by Description"}));
  EXPECT_EQ(column(doc, "?PAGECOUNT"), (std::vector<std::string>{"Page 1"}));
  EXPECT_EQ(column(doc, "?REPORTDATESTAMP"),
            (std::vector<std::string>{pf::format(pf::Value(pf::today()), "D017")}));
  EXPECT_EQ(pf::printJobs().back().name, "QZKB Report");
  EXPECT_EQ(pf::GLO_Response(), 0) << "the test thread's own response is untouched";
}

TEST_F(Reports, IncludeTrimsAndCutsIds) {
  addSites({{"One", "http://one.example", "News", 1, "   " + std::string(30, 'L'),
             std::string(40, 'P')}});
  pf::ReportDocument doc = print(qb::Rpt_Websites, "&Include");
  ASSERT_EQ(doc.pages.size(), 1u);
  EXPECT_EQ(column(doc, "?LOC:LOGON"), (std::vector<std::string>{std::string(20, 'L')}));
  EXPECT_EQ(column(doc, "?LOC:PWORD"), (std::vector<std::string>{std::string(25, 'P')}));
  auto store = doc.pages[0].itemsOf("?LOC:STORE");
  ASSERT_EQ(store.size(), 1u);
  EXPECT_EQ(store[0]->text, "Store in a safe place");
  EXPECT_TRUE(store[0]->font.underline);
}

TEST_F(Reports, EachListingHasItsOrderFilterAndSubtitle) {
  struct Case {
    void (*report)();
    const char* subtitle;
    std::vector<std::string> descriptions;
  };
  const Case cases[] = {
      {qb::Rpt_WebsitesByCat, "All by Category",
       {"", "Zeta News", "Alpha Shop", "Mid Travel"}},
      {qb::Rpt_FavoritesOnly, "Favorites Only", {"Alpha Shop"}},
      {qb::Rpt_WebsitesSecurityOnly, "Only websites with an ID and/or Password.",
       {"Mid Travel", "Zeta News"}},
  };
  addSites(kSites);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.subtitle);
    pf::clearPrintJobs();
    pf::ReportDocument doc = print(c.report);
    EXPECT_EQ(column(doc, "?STRING16"), (std::vector<std::string>{c.subtitle}));
    EXPECT_EQ(column(doc, "?WEB:DESCRIPTION"), c.descriptions);
  }
}

TEST_F(Reports, SelectedCategoryReportsTheChosenCategoryThenBlanksIt) {
  addSites(kSites);
  qb::setProcedure(qb::Proc::Win_SelectCategory, [] { GLO_DelCategory = "News"; });
  pf::ReportDocument doc = print(qb::Rpt_WebsitesSelectedCat);
  qb::setProcedure(qb::Proc::Win_SelectCategory, {});
  EXPECT_EQ(column(doc, "?WEB:DESCRIPTION"), (std::vector<std::string>{"", "Zeta News"}));
  EXPECT_EQ(column(doc, "?STRING16"), (std::vector<std::string>{"By a selected category only"}));
  EXPECT_TRUE(GLO_DelCategory.blank());
}

// The walk filters on the choice as the picker left it, whatever another thread's picker
// puts into GLO:DelCategory between two slices, and names match as the category key does.
TEST_F(Reports, SelectedCategoryMatchesAsTheCategoryKey) {
  addSites({{"Zeta News", "http://zeta.example", "News"},
            {"Low News", "http://low.example", "news"},
            {"Loud News", "http://loud.example", "NEWS  "},
            {"Indented", "http://indented.example", " News"},
            {"Alpha Shop", "http://alpha.example", "Shops"}});
  qb::setProcedure(qb::Proc::Win_SelectCategory, [] { GLO_DelCategory = "news"; });
  pf::ReportDocument doc = print(qb::Rpt_WebsitesSelectedCat);
  qb::setProcedure(qb::Proc::Win_SelectCategory, {});
  EXPECT_EQ(column(doc, "?WEB:DESCRIPTION"), (std::vector<std::string>{"Loud News", "Low News", "Zeta News"}));
}

TEST_F(Reports, SelectedCategoryAsksThePicker) {
  addSites(kSites);
  {
    CategoryRecord r;
    pf::File f(CategoryDesc(), &r);
    ASSERT_EQ(f.create(), 0);
    ASSERT_EQ(f.open(), 0);
    for (const char* n : {"All Categories", "Default", "News", "Travel"}) {
      r.CATEGORY = n;
      ASSERT_EQ(f.add(), 0);
    }
    f.close();
  }
  d.start(qb::Rpt_WebsitesSelectedCat);
  ASSERT_EQ(d.window().name(), "Win_SelectCategory");
  d.pick("?CAT:CATEGORY", "Travel");
  d.click("?CLOSE");
  d.answer("&Exclude");
  walk();
  d.click("?PREVIEW:PRINTBUTTON", "_PreviewWindow_");
  ASSERT_EQ(pf::printJobs().size(), 1u);
  EXPECT_EQ(column(pf::printJobs()[0].printed, "?WEB:DESCRIPTION"),
            (std::vector<std::string>{"Mid Travel"}));
  EXPECT_TRUE(GLO_DelCategory.blank());
}

TEST_F(Reports, NoRecordsShowsTheNoticeAndNoPreview) {
  addSites(kSites);
  struct Case {
    const char* name;
    void (*report)();
    const char* category;
    bool asks;
  };
  const Case cases[] = {
      {"category without websites", qb::Rpt_WebsitesSelectedCat, "Default", true},
      {"picker leaves it blank", qb::Rpt_WebsitesSelectedCat, "", true},
      {"nothing visited", qb::Rpt_Visits, "", false},
  };
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(c.name);
    std::string category = c.category;
    qb::setProcedure(qb::Proc::Win_SelectCategory, [category] { GLO_DelCategory = category; });
    if (c.report == qb::Rpt_Visits) {
      // A file where nothing was visited.
      pf::removeFile(WSitesDesc().diskName);
      addSites({{"Never", "http://never.example", "News", 0}});
    }
    std::uint8_t response = 0;
    d.start([&] {
      c.report();
      response = pf::GLO_Response();
    });
    if (c.asks) d.answer("&Exclude");
    walk();
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(d.box()->message.caption, "No Records");
    EXPECT_EQ(d.box()->message.text, "There are no records available to process.");
    d.answer(1);
    EXPECT_FALSE(isOpen("_PreviewWindow_"));
    EXPECT_FALSE(progressOpen());
    EXPECT_EQ(response, pf::Response::Cancelled);
  }();
  qb::setProcedure(qb::Proc::Win_SelectCategory, {});
  EXPECT_TRUE(pf::printJobs().empty());
}

TEST_F(Reports, CancelOrExitPrintsNothing) {
  addSites(kSites);
  std::uint8_t response = 0;
  d.start([&] {
    qb::Rpt_Websites();
    response = pf::GLO_Response();
  });
  d.answer("&Exclude");
  ASSERT_TRUE(progressOpen());
  EXPECT_EQ(d.text("?PROGRESS:PCTTEXT"), "") << "a report's percentage starts empty";
  d.click("?PROGRESS:CANCEL");
  EXPECT_FALSE(progressOpen());
  EXPECT_FALSE(isOpen("_PreviewWindow_"));
  EXPECT_EQ(response, pf::Response::Cancelled);

  d.start([&] {
    qb::Rpt_Websites();
    response = pf::GLO_Response();
  });
  d.answer("&Exclude");
  walk();
  ASSERT_TRUE(isOpen("_PreviewWindow_"));
  EXPECT_TRUE(d.window("_PreviewWindow_").propInt(0, pf::Prop::Maximize));
  EXPECT_FALSE(d.enabled("?PREVIEW:SAVEAS", "_PreviewWindow_"));
  d.choose("?PREVIEW:EXIT", "_PreviewWindow_");
  EXPECT_FALSE(isOpen("_PreviewWindow_"));
  EXPECT_EQ(response, pf::Response::Completed) << "leaving the preview still completes";
  EXPECT_TRUE(pf::printJobs().empty());
}

// When printing cannot start, the box says why and the preview stays open; its Print Setup
// road leads to a PDF file (or another printer) and prints from there.
TEST_F(Reports, PrintThatCannotStartSaysWhyAndKeepsThePreview) {
  addSites(kSites);
  struct Case {
    const char* name;
    std::vector<std::string> printers;
    std::string chosen;         // the printer the set-up had chosen
    std::string why;
    bool giveUpInTheSetUp;      // else in the box
  } cases[] = {
      {"no printer", {}, "", "No printer is installed, so the report cannot be printed.", false},
      {"printer gone", {"Office"}, "Gone", "The printer \"Gone\" is not available.", true},
  };
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(c.name);
    pf::clearPrintJobs();
    pf::setDesktopPrinters(c.printers);
    pf::setPrinterChoice({c.chosen, "", 1});
    std::uint8_t response = 0;
    d.start([&] {
      qb::Rpt_Websites();
      response = pf::GLO_Response();
    });
    d.answer("&Exclude");
    walk();
    ASSERT_TRUE(isOpen("_PreviewWindow_"));
    for (int round = 0; round < 2; ++round) {
      d.click("?PREVIEW:PRINTBUTTON", "_PreviewWindow_");
      pf::Dialog* b = d.box();
      ASSERT_NE(b, nullptr);
      EXPECT_EQ(b->message.caption, "Print");
      EXPECT_EQ(b->message.text, c.why + "||Choose Print Setup to pick a printer or to print to a PDF file.");
      EXPECT_EQ(b->buttons, (std::vector<std::string>{"Print &Setup...", "&Cancel"}));
      if (round == 0 && !c.giveUpInTheSetUp) {
        d.answer("&Cancel");
      } else {
        d.answer("Print &Setup...");
        ASSERT_NE(d.box(), nullptr);
        ASSERT_EQ(d.box()->kind, pf::DialogKind::PrinterSetup);
        EXPECT_TRUE(d.box()->printing) << "its OK prints";
        if (round == 0) {
          d.answerPrinter(false);
        } else {
          d.answerPrinter(pf::PrinterChoice{"", dir.file("report.pdf"), 1});
          break;
        }
      }
      EXPECT_EQ(d.box(), nullptr);
      EXPECT_TRUE(isOpen("_PreviewWindow_")) << "the user is back in the preview";
      EXPECT_TRUE(pf::printJobs().empty());
    }
    EXPECT_FALSE(isOpen("_PreviewWindow_"));
    EXPECT_EQ(response, pf::Response::Completed);
    ASSERT_EQ(pf::printJobs().size(), 1u);
    EXPECT_EQ(pf::printJobs()[0].output, dir.file("report.pdf"));
    EXPECT_EQ(column(pf::printJobs()[0].printed, "?WEB:DESCRIPTION"),
              (std::vector<std::string>{"Alpha Shop", "Mid Travel", "Zeta News"}));
    EXPECT_EQ(pf::printerChoice().file, dir.file("report.pdf")) << "the set-up keeps what it chose";
  }();
}

TEST_F(Reports, ManyWebsitesFillSeveralPagesAndPagesCanBeChosen) {
  std::vector<Site> many;
  for (int i = 0; i < 70; ++i) many.push_back({"Site " + std::to_string(100 + i), "http://x", "News", 1});
  addSites(many);
  d.start(qb::Rpt_Websites);
  d.answer("&Exclude");
  walk();
  ASSERT_TRUE(isOpen("_PreviewWindow_"));
  EXPECT_EQ(d.text("?PREVIEW:PAGECOUNT", "_PreviewWindow_"), "of 3");   // 29 lines a page
  d.click("?PREVIEW:NEXTBUTTON", "_PreviewWindow_");
  EXPECT_EQ(d.text("?PREVIEW:PAGE", "_PreviewWindow_"), "2");
  d.choose("?PREVIEW:PAGESTOPRINT", "_PreviewWindow_");
  d.type("?PAGES", "9", "_PagesToPrint_");
  d.click("?OK", "_PagesToPrint_");
  ASSERT_NE(d.box(), nullptr) << "a page outside the report is refused";
  d.answer(1);
  d.type("?PAGES", "2-3", "_PagesToPrint_");
  d.click("?OK", "_PagesToPrint_");
  ASSERT_EQ(pf::printJobs().size(), 1u);
  const pf::ReportDocument& doc = pf::printJobs()[0].printed;
  ASSERT_EQ(doc.pages.size(), 2u);
  EXPECT_EQ(doc.pages[0].textsOf("?PAGECOUNT"), (std::vector<std::string>{"Page 2"}));
  EXPECT_EQ(doc.pages[1].textsOf("?WEB:DESCRIPTION").back(), "Site 169");
  EXPECT_EQ(doc.pages[0].textsOf("?STRING12"), (std::vector<std::string>{"Quillbox"}))
      << "every page has its header";
}

// A long report shows its first page at once and lays the rest out beneath the preview;
// what needs every page (printing, the page count) waits for the last one.
TEST_F(Reports, PreviewShowsPageOneWhileTheRestIsLaidOut) {
  std::vector<Site> many;
  for (int i = 0; i < 200; ++i) many.push_back({"Site " + std::to_string(1000 + i), "http://x", "News", i});
  addSites(many);
  struct Case {
    const char* action;   // pressed while pages are still to come
    std::size_t printedPages;
  };
  for (const Case& c : {Case{"?PREVIEW:PRINTBUTTON", 7}, Case{"?PREVIEW:EXITBUTTON", 0}}) [&] {
    SCOPED_TRACE(c.action);
    pf::clearPrintJobs();
    std::uint8_t response = 0;
    Slices slices(d, 10);
    d.start([&] {
      qb::Rpt_Websites();
      response = pf::GLO_Response();
    });
    d.answer("&Exclude");
    slices.run({}, [&] { return isOpen("_PreviewWindow_"); }, 20);
    ASSERT_TRUE(isOpen("_PreviewWindow_")) << "page 1 is shown before the walk ends";
    EXPECT_EQ(d.text("?PREVIEW:PAGE", "_PreviewWindow_"), "1");
    EXPECT_EQ(d.text("?PREVIEW:PAGECOUNT", "_PreviewWindow_"), "of 1...");
    EXPECT_EQ(d.window("Rpt_Websites").propInt(0, pf::Prop::Hide), 1) << "the progress window hides";
    d.advance(1);
    EXPECT_EQ(d.text("?PREVIEW:PAGECOUNT", "_PreviewWindow_"), "of 1...") << "ten records a slice";
    d.click(c.action, "_PreviewWindow_");
    if (c.printedPages) {
      EXPECT_TRUE(pf::printJobs().empty()) << "printing waits for the last page";
      ASSERT_TRUE(isOpen("_PreviewWindow_"));
      slices.run({}, [&] { return !isOpen("_PreviewWindow_"); }, 400);
    }
    EXPECT_FALSE(isOpen("_PreviewWindow_"));
    EXPECT_FALSE(progressOpen());
    EXPECT_EQ(response, pf::Response::Completed);
    if (!c.printedPages) {
      EXPECT_TRUE(pf::printJobs().empty());
      return;
    }
    ASSERT_EQ(pf::printJobs().size(), 1u);
    const pf::ReportDocument& doc = pf::printJobs()[0].printed;
    EXPECT_EQ(doc.pages.size(), c.printedPages);
    std::vector<std::string> names = column(doc, "?WEB:DESCRIPTION");
    ASSERT_EQ(names.size(), 200u);
    EXPECT_EQ(names.front(), "Site 1000");
    EXPECT_EQ(names.back(), "Site 1199");
    EXPECT_EQ(column(doc, "?PAGECOUNT").back(), "Page 7");
  }();
}

TEST_F(Reports, PreviewCountsEveryPageOnceLaidOut) {
  std::vector<Site> many;
  for (int i = 0; i < 100; ++i) many.push_back({"Site " + std::to_string(1000 + i), "http://x", "News", 1});
  addSites(many);
  Slices slices(d, 10);
  d.start(qb::Rpt_Websites);
  d.answer("&Exclude");
  slices.run({}, [&] { return isOpen("_PreviewWindow_"); }, 20);
  ASSERT_TRUE(isOpen("_PreviewWindow_"));
  EXPECT_FALSE(d.enabled("?PREVIEW:NEXTBUTTON", "_PreviewWindow_")) << "no page 2 yet";
  slices.run({}, [&] { return d.text("?PREVIEW:PAGECOUNT", "_PreviewWindow_") == "of 4"; }, 100);
  EXPECT_EQ(d.text("?PREVIEW:PAGECOUNT", "_PreviewWindow_"), "of 4");
  EXPECT_TRUE(d.enabled("?PREVIEW:NEXTBUTTON", "_PreviewWindow_"));
  d.choose("?PREVIEW:PAGESTOPRINT", "_PreviewWindow_");
  EXPECT_EQ(d.text("?PAGES", "_PagesToPrint_"), "1-4");
  d.type("?PAGES", "4", "_PagesToPrint_");
  d.click("?OK", "_PagesToPrint_");
  ASSERT_EQ(pf::printJobs().size(), 1u);
  EXPECT_EQ(column(pf::printJobs()[0].printed, "?WEB:DESCRIPTION").back(), "Site 1099");
  EXPECT_FALSE(progressOpen());
}

TEST_F(Reports, VisitsListsVisitedMostFirstWithBlankDates) {
  addSites({{"Once", "http://a", "News", 1, "", "", 0, 80000, 0, 80500},
            {"Never", "http://b", "News", 0},
            {"Often", "http://c", "Shops", 12, "", "", 0, 0, 80100, 80600},
            {"Twice A", "http://d", "News", 2},
            {"Twice B", "http://e", "News", 2}});
  pf::ReportDocument doc = print(qb::Rpt_Visits, nullptr);
  EXPECT_EQ(column(doc, "?WEB:DESCRIPTION"),
            (std::vector<std::string>{"Often", "Twice A", "Twice B", "Once"}));
  EXPECT_EQ(column(doc, "?WEB:VISITS"), (std::vector<std::string>{"12", "2", "2", "1"}));
  EXPECT_EQ(column(doc, "?WEB:DATEADDED"),
            (std::vector<std::string>{"", "", "", pf::format(pf::Value(80000), "D017")}));
  EXPECT_EQ(column(doc, "?WEB:DATEUPDATED")[0], pf::format(pf::Value(80100), "D017"));
  EXPECT_TRUE(doc.pages[0].itemsOf("?WEB:VISITS")[0]->font.bold);
  EXPECT_EQ(column(doc, "?STRING16:2"),
            (std::vector<std::string>{"Excludes any websites that have not yet been visited."}));
}

TEST_F(Reports, IntegrityPrintsOneLinePerFailedCheck) {
  const std::string notHttp = "URL does not begin with http - Is this OK?";
  const std::string prefixOnly = "No URL, has 'http://www.' only?";
  const std::string notVisited = "This website has not been visited to date";
  const std::string noCategory = "This website does not have a category?";
  const std::string noDescription = "This website does not have a description?";
  addSites({{"", "nothing", "", 0},   // blank descriptions: not in the key, checked first
            {"A prefix only", "http://www.", "News", 0},
            {"B bare host", "example.com", "News", 1},
            {"C other scheme", "ftp://files.example", "News", 1},
            {"D empty address", "", "News", 1},
            {"E leading blank", " http://e.example", "News", 1},
            {"F upper case", "HTTP://F.EXAMPLE", "News", 1},
            {"G no category", "http://g.example", "", 1},
            {"H fine", "http://h.example", "News", 4},
            {"", "http://blank.example", "News", 1}});
  pf::ReportDocument doc = print(qb::Rpt_Integrity, nullptr);
  EXPECT_EQ(column(doc, "?WEB:DESCRIPTION"),
            (std::vector<std::string>{"", "", "", "", "", "A prefix only", "A prefix only", "B bare host",
                                      "C other scheme", "D empty address", "E leading blank",
                                      "G no category"}));
  EXPECT_EQ(column(doc, "?WEB:WEBADDRESS").front(), "nothing");
  EXPECT_EQ(column(doc, "?WEB:WEBADDRESS")[4], "http://blank.example");
  EXPECT_EQ(column(doc, "?LOC:RPTSTRG"),
            (std::vector<std::string>{notHttp, notVisited, noCategory, noDescription, noDescription,
                                      prefixOnly, notVisited, notHttp, notHttp, notHttp, notHttp,
                                      noCategory}));
  EXPECT_EQ(column(doc, "?STRING12"), (std::vector<std::string>{"Integrity Report"}));
  EXPECT_TRUE(d.boxTexts().size() == 0 ||
              d.boxTexts().back().find("no irregularities") == std::string::npos);
}

TEST_F(Reports, IntegrityFindsAWebsiteWithoutDescription) {
  // Its only fault is the one the description key cannot show.
  addSites({{"Fine", "http://fine.example", "News", 2}, {"", "http://fine.example/2", "News", 2}});
  pf::ReportDocument doc = print(qb::Rpt_Integrity, nullptr);
  EXPECT_EQ(column(doc, "?LOC:RPTSTRG"),
            (std::vector<std::string>{"This website does not have a description?"}));
  for (const std::string& text : d.boxTexts()) EXPECT_EQ(text.find("no irregularities"), std::string::npos);
}

TEST_F(Reports, IntegrityOfCleanFileSaysSoWithoutPreview) {
  addSites({{"Fine", "http://fine.example", "News", 2}});
  d.start(qb::Rpt_Integrity);
  walk();
  EXPECT_FALSE(isOpen("_PreviewWindow_"));
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.text,
            "All website records have been checked and no irregularities were found.");
  EXPECT_EQ(d.box()->message.caption, "Process complete...");
  d.answer(1);
  EXPECT_FALSE(progressOpen());
}

TEST_F(Reports, ChooserRunsTheChosenReportThenCloses) {
  addSites(kSites);
  std::uint8_t response = 0;
  auto chooser = [&] {
    qb::Win_Reports();
    response = pf::GLO_Response();
  };
  // Untouched radios: the listing by description.
  d.start(chooser);
  ASSERT_EQ(d.window().caption(), "Report options...");
  d.click("?CLOSE");
  d.answer("&Exclude");
  walk();
  d.click("?PREVIEW:PRINTBUTTON", "_PreviewWindow_");
  ASSERT_EQ(pf::printJobs().size(), 1u);
  EXPECT_EQ(column(pf::printJobs()[0].printed, "?STRING16"),
            (std::vector<std::string>{"All by Description"}));
  EXPECT_FALSE(isOpen("Win_Reports"));
  EXPECT_EQ(response, pf::Response::Cancelled);
  EXPECT_EQ(GLO_Win_ReportsThread, 0);

  // The third choice: visits, which asks nothing.
  d.start(chooser);
  d.click("?LOC:SELREPORT:RADIO3:2");
  d.click("?CLOSE");
  walk();
  d.click("?PREVIEW:PRINTBUTTON", "_PreviewWindow_");
  ASSERT_EQ(pf::printJobs().size(), 2u);
  EXPECT_EQ(column(pf::printJobs()[1].printed, "?STRING16"),
            (std::vector<std::string>{"Sorted by visits."}));
  EXPECT_FALSE(isOpen("Win_Reports"));

  // Cancel runs nothing.
  d.start(chooser);
  d.click("?CANCEL");
  EXPECT_FALSE(isOpen("Win_Reports"));
  EXPECT_EQ(response, pf::Response::Cancelled);
  EXPECT_EQ(pf::printJobs().size(), 2u);
}

TEST_F(Reports, ChooserIsShownOnce) {
  d.start(qb::Win_Reports);
  int shownBy = GLO_Win_ReportsThread;
  ASSERT_NE(shownBy, 0);
  bool secondReturned = false;
  d.start([&] {
    qb::Win_Reports();
    secondReturned = true;
  });
  EXPECT_TRUE(secondReturned);
  int open = 0;
  for (const auto& w : d.windows()) open += w.name == "Win_Reports";
  EXPECT_EQ(open, 1);
  EXPECT_EQ(GLO_Win_ReportsThread, shownBy);
  d.click("?CANCEL", "Win_Reports");
  EXPECT_EQ(GLO_Win_ReportsThread, 0);
}

}  // namespace
}  // namespace qbtest
