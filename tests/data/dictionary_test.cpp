// The declarations of the data dictionary, checked through real files: what the keys
// hold and in which order, and that every field and the memo survive a round trip.
#include <fstream>
#include <sstream>

#include "platform/core/dates.h"
#include "platform/store/bind.h"
#include "tests/data/data_fixture.h"

namespace {

using qbtest::DataTest;

struct Site {
  const char* id;  // kept in SPARESTRG1 to name the record
  const char* description;
  const char* address;
  const char* category;
  int visits;
};

const Site kSites[] = {
    {"r1", "beta", "http://b", "Cat2", 5},
    {"r2", "Alpha", "http://a", "Cat1", 0},
    {"r3", "ALPHA", "", "", 9},
    {"r4", "", "http://z", "", 1},
};

std::string readInOrder(const pf::KeyDesc& key) {
  WSites().set(key);
  std::string ids;
  while (Access_WSites().FileNext() == pf::Level::Benign) ids += WEB->SPARESTRG1.clip() + " ";
  return ids;
}

TEST_F(DataTest, KeysLeaveOutBlankRecordsIgnoreCaseAndKeepDuplicates) {
  MakeThreadAccess();
  ASSERT_EQ(Relate_WSites().RelationOpen(), 0);
  for (const Site& s : kSites) {
    Access_WSites().FilePrimeRecord();
    WEB->SPARESTRG1 = s.id;
    WEB->DESCRIPTION = s.description;
    WEB->WEBADDRESS = s.address;
    WEB->CATEGORY = s.category;
    WEB->VISITS = s.visits;
    ASSERT_EQ(Access_WSites().FileInsert(), 0) << s.id;
  }
  struct Case {
    const pf::KeyDesc& key;
    const char* ids;
  };
  const Case cases[] = {
      {WEB_KeyDescription(), "r2 r3 r1 "},  // blank description left out; Alpha = ALPHA
      {WEB_KeyWebsite(), "r2 r1 r4 "},      // empty address left out
      {WEB_CategoryKey(), "r3 r2 r1 "},     // blank category and description left out
      {WEB_VisitsKey(), "r3 r1 r4 "},       // most visited first; never visited left out
  };
  for (const Case& c : cases) EXPECT_EQ(readInOrder(c.key), c.ids) << c.key.name;
  EXPECT_TRUE(msgs.messages().empty());
  Relate_WSites().RelationClose();
}

TEST_F(DataTest, EveryWebsiteFieldAndTheNotesSurviveARoundTrip) {
  MakeThreadAccess();
  ASSERT_EQ(Relate_WSites().RelationOpen(), 0);
  const std::string notes = std::string(1990, 'n') + "end";  // cut to 2000 bytes
  Access_WSites().FilePrimeRecord();
  WEB->DESCRIPTION = "Déjà vu";
  WEB->WEBADDRESS = std::string(254, 'w');
  WEB->CATEGORY = "News";
  WEB->LOGONID = "me";
  WEB->PASSWORD = "Pa ss";
  WEB->TEXTCOLOR = 8;
  WEB->DATEADDED = pf::dateToDay(2024, 2, 29);
  WEB->LASTVISIT = pf::dateToDay(1801, 1, 1);
  WEB->VISITS = 123456;
  WEB->RATING = 255;
  WEB->SPARESTRG3 = "spare3";
  WEB->SPAREBYTE3 = 7;
  WEB->SPAREDATE3 = -5;
  WEB->SiteNotes = notes;
  ASSERT_EQ(Access_WSites().FileInsert(), 0);

  Access_WSites().FilePrimeRecord();
  WSites().set();
  ASSERT_EQ(Access_WSites().FileNext(), 0);
  EXPECT_EQ(WEB->DESCRIPTION.clip(), "Déjà vu");
  EXPECT_EQ(WEB->WEBADDRESS.str(), std::string(254, 'w'));
  EXPECT_EQ(WEB->CATEGORY.clip(), "News");
  EXPECT_EQ(WEB->LOGONID.clip(), "me");
  EXPECT_EQ(WEB->PASSWORD.clip(), "Pa ss");
  EXPECT_EQ(WEB->TEXTCOLOR, 8);
  EXPECT_EQ(WEB->DATEADDED.get(), pf::dateToDay(2024, 2, 29));
  EXPECT_EQ(WEB->LASTVISIT.get(), 4);
  EXPECT_EQ(WEB->VISITS.get(), 123456);
  EXPECT_EQ(WEB->RATING, 255);
  EXPECT_EQ(WEB->SPARESTRG3.clip(), "spare3");
  EXPECT_EQ(WEB->SPAREBYTE3, 7);
  EXPECT_EQ(WEB->SPAREDATE3.get(), -5);
  EXPECT_EQ(WEB->SiteNotes.str(), notes.substr(0, 2000));
  Relate_WSites().RelationClose();
}

TEST_F(DataTest, ExpressionsSeeTheFieldsAndTheNotesOfTheThreadsBuffer) {
  MakeThreadAccess();
  ASSERT_EQ(Relate_WSites().RelationOpen(), 0);
  const pf::BoundValue* notes = pf::findBound("web:sitenotes");
  const pf::BoundValue* favourite = pf::findBound("WEB:FavouriteYN");
  ASSERT_NE(notes, nullptr);
  ASSERT_NE(favourite, nullptr);
  EXPECT_EQ(notes->address, &WEB->SiteNotes);
  EXPECT_EQ(notes->size, 2000u);
  EXPECT_EQ(favourite->address, &WEB->FAVOURITEYN);
  Relate_WSites().RelationClose();
}

TEST_F(DataTest, ExportLinesAreQuotedWithInnerQuotesDoubled) {
  MakeThreadAccess();
  ASSERT_EQ(Relate_SitesCSV().RelationOpen(), 0);  // created when missing
  CSV->URL = "http://a\"b";
  EXPECT_EQ(SitesCSV().add(), 0);
  CSV->URL = "http://c";
  EXPECT_EQ(SitesCSV().add(), 0);
  Relate_SitesCSV().RelationClose();
  std::ifstream in(dir.file("SitesCSV.csv"), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "\"http://a\"\"b\"\r\n\"http://c\"\r\n");
}

}  // namespace
