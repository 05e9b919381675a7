// A report whose walk meets damage past the records it has already printed: it says so,
// naming the file, instead of printing a wrong report or reporting no records.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <fstream>

#include "platform/store/cipher.h"
#include "reports/reports.h"
#include "tests/reports/reports_fixture.h"

namespace qbtest {
namespace {

using Reports = ReportsTest;
using Lines = std::vector<std::string>;

std::vector<Site> numbered(int n) {
  std::vector<Site> sites;
  for (int i = 0; i < n; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "Site %03d", i);
    sites.push_back({name, "http://site.example", "News"});
  }
  return sites;
}

// Starts the listing, answers its question and lets it walk, beneath its preview too;
// the boxes it shows, each answered.
Lines runListing(pf::TestDriver& d, const std::function<bool()>& walking) {
  Lines boxes;
  d.start(qb::Rpt_Websites);
  d.answer("&Exclude");
  for (int i = 0; i < 100; ++i) {
    if (pf::Dialog* b = d.box()) {
      boxes.push_back(b->message.caption + ": " + b->message.text);
      d.answer(1);
    } else if (walking()) {
      d.advance(10);
    } else {
      break;
    }
  }
  return boxes;
}

TEST_F(Reports, AKeyFoundDamagedAfterPrintedRecordsStopsTheReportAndIsRebuiltForTheNext) {
  addSites(numbered(600));
  // "Site 000" put among the three hundreds by its key: beyond the first page the walk
  // reads from either end.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2("wsites.tps", &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  bool derived = false;
  ASSERT_EQ(pf::keyConnection(db, pf::currentKey(WSitesDesc()), &derived), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "UPDATE rec SET _k_DESCRIPTION='SITE 300X' WHERE _pos=1", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);

  Lines boxes = runListing(d, [&] { return progressOpen(); });
  EXPECT_EQ(boxes, (Lines{"Invalid Key: wsites.tps key file is invalid. Key must be rebuilt.",
                          "Record Retrieval Error: Error: (Key File Must Be Rebuilt) attempting to access a record "
                          "from the wsites.tps file.  Returning to previous window."}));
  if (isOpen("_PreviewWindow_")) d.click("?PREVIEW:EXITBUTTON", "_PreviewWindow_");
  EXPECT_TRUE(pf::printJobs().empty());
  EXPECT_FALSE(progressOpen());

  // The keys were rebuilt: the next listing has every website in its place.
  pf::ReportDocument doc = print(qb::Rpt_Websites);
  Lines expected;
  for (const Site& s : numbered(600)) expected.push_back(s.description);
  EXPECT_EQ(column(doc, "?WEB:DESCRIPTION"), expected);
}

TEST_F(Reports, RecordsThatCannotBeReadAreNoEmptyFile) {
  std::vector<Site> many = numbered(2000);
  for (Site& s : many) s.category = std::string(200, 'n');
  addSites(many);
  // Pages near the start overwritten, as a failing disk would: the file still opens.
  std::fstream f("wsites.tps", std::ios::in | std::ios::out | std::ios::binary);
  f.seekg(0, std::ios::end);
  std::streamoff pages = f.tellg() / 4096;
  f.seekp(pages * 2 / 32 * 4096);
  f << std::string(static_cast<std::size_t>((pages * 3 / 32 - pages * 2 / 32) * 4096), 'U');
  f.close();

  Lines boxes = runListing(d, [&] { return progressOpen(); });
  EXPECT_EQ(boxes, (Lines{"Record Retrieval Error: Error: (Invalid Data File) attempting to access a record from "
                          "the wsites.tps file.  Returning to previous window."}));
  EXPECT_FALSE(isOpen("_PreviewWindow_"));
  EXPECT_TRUE(pf::printJobs().empty());
}

}  // namespace
}  // namespace qbtest
