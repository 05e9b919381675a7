// The tagging reset, the CSV export and its viewer, played by a user.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "platform/runtime/runtime.h"
#include "platform/store/cipher.h"
#include "tests/maintenance/maintenance_fixture.h"
#include "sites/browse_websites.h"
#include "tests/support/file_modes.h"
#include "tests/support/slices.h"

namespace qbtest {
namespace {

// Another writer (another program, say) changes a website, or deletes it when `change`
// is empty.
void otherWriter(const std::string& description, const std::function<void(WSitesRecord&)>& change) {
  WSitesRecord r;
  pf::File f(WSitesDesc(), &r);
  ASSERT_EQ(f.open(), 0);
  r.DESCRIPTION = description;
  ASSERT_EQ(f.get(WEB_KeyDescription()), 0);
  if (change) {
    change(r);
    ASSERT_EQ(f.put(), 0);
  } else {
    ASSERT_EQ(f.remove(), 0);
  }
  f.close();
}

void readdress(const std::string& description, const std::string& address) {
  otherWriter(description, [&](WSitesRecord& r) { r.WEBADDRESS = address; });
}

class Passes : public MaintenanceTest {
 protected:
  // Lets the pass's timer run until a box asks for the user.
  void runPass() {
    for (int i = 0; i < 500 && !d.box(); ++i) d.advance(10);
  }
};

TEST_F(Passes, TaggingResetPerMode) {
  struct Case {
    std::uint8_t mode;
    const char* message;
    std::vector<int> colours, highlights, favourites;
  };
  // Sites: (colour, highlight, favourite) = (0,0,0), (1,1,1), (5,2,3).
  const Case cases[] = {
      {1, "All Color tagging has been removed.", {1, 1, 1}, {0, 1, 2}, {0, 1, 3}},
      {2, "All Highlight tagging has been removed.", {0, 1, 5}, {0, 0, 2}, {0, 1, 3}},
      {3, "All Favorite tagging has been removed (unticked).", {0, 1, 5}, {0, 1, 2}, {0, 0, 3}},
  };
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(c.message);
    writeSites({{"http://a.org", 0, 0, 0}, {"http://b.org", 1, 1, 1}, {"http://c.org", 5, 2, 3}});
    GLO_RemoveTagMode = c.mode;
    d.start(qb::RemoveTagging);
    runPass();
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(d.box()->message.text, c.message);
    expectBox("Process complete...");
    EXPECT_EQ(d.box(), nullptr) << box();
    EXPECT_EQ(GLO_RemoveTagMode, 0);
    std::vector<int> colours, highlights, favourites;
    for (const auto& r : readSites()) {
      colours.push_back(r.TEXTCOLOR);
      highlights.push_back(r.HIGHLIGHT);
      favourites.push_back(r.FAVOURITEYN);
    }
    EXPECT_EQ(colours, c.colours);
    EXPECT_EQ(highlights, c.highlights);
    EXPECT_EQ(favourites, c.favourites);
  }();
}

TEST_F(Passes, TaggingResetOfEmptyFileStillEnds) {
  writeSites({});
  GLO_RemoveTagMode = 2;
  d.start(qb::RemoveTagging);
  runPass();
  ASSERT_NE(d.box(), nullptr);
  if (d.box()->message.text != "All Highlight tagging has been removed.") d.answer(1);   // "No Records"
  runPass();
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.text, "All Highlight tagging has been removed.");
  d.answer(1);
  EXPECT_EQ(GLO_RemoveTagMode, 0);
}

// A reset cut into one-record slices while the websites browse, on its own thread,
// tags websites between slices: a website the reset has passed keeps what the browse gave
// it, one it has still to reach loses only the tag being reset, also when the reset read
// it ahead before the browse tagged it.
TEST_F(Passes, TaggingResetKeepsTheBrowsesChangesBetweenSlices) {
  // Record order = description order: Site 1 .. Site 4, all black, none highlighted.
  writeSites({{"http://a.org"}, {"http://b.org"}, {"http://c.org"}, {"http://d.org"}});
  writeCategories({"All Categories", "News"});
  DefaultsRecord pref;
  pref.RECORDNUMBER = 1;
  writePrefs(pref);
  GLO_BrowseSitesOpen = 0;
  GLO_BrowseWebsitesThread = GLO_UpdateWebsitesThread = 0;
  GLO_DefaultCat = "All Categories";
  d.start(qb::BrowseWebsites);
  ASSERT_TRUE(isOpen("BrowseWebsites"));

  // After the first slice: Site 1 is passed, Sites 2 to 4 still ahead.
  auto tag = [&](int row, bool highlight, const char* colour) {
    d.clickRow("?BROWSE:1", row, 0, "BrowseWebsites");
    if (highlight) d.click("?YELLOW_HL", "BrowseWebsites");
    if (colour) d.click(colour, "BrowseWebsites");
  };
  qbtest::Slices slices(d, 1);
  GLO_RemoveTagMode = 1;
  d.start(qb::RemoveTagging);
  slices.run([&](int n) {
    if (n != 1) return;
    tag(1, true, "?CLR5");
    tag(2, true, "?CLR3");
    tag(3, true, nullptr);
    tag(4, false, "?CLR8");
  });
  EXPECT_GT(slices.count(), 2) << "the reset ran in several slices";
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.text, "All Color tagging has been removed.");
  d.answer(1);

  std::vector<int> colours, highlights;
  for (const auto& r : readSites()) {
    colours.push_back(r.TEXTCOLOR);
    highlights.push_back(r.HIGHLIGHT);
  }
  EXPECT_EQ(colours, (std::vector<int>{5, 1, 1, 1}));
  EXPECT_EQ(highlights, (std::vector<int>{1, 1, 1, 0}));
  d.click("?CLOSE", "BrowseWebsites");
}

// The website the reset had read ahead at the end of a slice is deleted before the next:
// the reset goes on with the one after it and ends as usual.
TEST_F(Passes, TaggingResetGoesOnPastAWebsiteDeletedBetweenSlices) {
  writeSites({{"http://a.org", 5}, {"http://b.org", 5}, {"http://c.org", 5}});
  GLO_RemoveTagMode = 1;
  {
    qbtest::Slices slices(d, 1);
    d.start(qb::RemoveTagging);
    slices.run([&](int n) {
      if (n == 1) otherWriter("Site 2", {});
    });
  }
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.text, "All Color tagging has been removed.") << box();
  d.answer(1);
  EXPECT_EQ(d.box(), nullptr) << box();
  std::vector<std::string> left;
  for (const auto& r : readSites()) {
    left.push_back(r.DESCRIPTION.clip());
    EXPECT_EQ(r.TEXTCOLOR, 1) << r.DESCRIPTION.clip();
  }
  EXPECT_EQ(left, (std::vector<std::string>{"Site 1", "Site 3"}));
}

// Another program makes every change to the websites fail from now on, as a damaged or
// refusing file would.
void refuseWebsiteWrites() {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2("wsites.tps", &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  ASSERT_EQ(pf::keyConnection(db, pf::currentKey(WSitesDesc())), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, "CREATE TRIGGER refuse BEFORE UPDATE ON rec BEGIN SELECT RAISE(ABORT, 'refused'); END",
                         nullptr, nullptr, nullptr),
            SQLITE_OK)
      << sqlite3_errmsg(db);
  sqlite3_close(db);
}

TEST_F(Passes, TaggingResetThatCannotWriteNamesTheError) {
  writeSites({{"http://a.org", 5}, {"http://b.org", 5}, {"http://c.org", 5}});
  GLO_RemoveTagMode = 1;
  {
    qbtest::Slices slices(d, 1);
    d.start(qb::RemoveTagging);
    slices.run([&](int n) {
      if (n == 1) refuseWebsiteWrites();
    });
  }
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.caption, "Record was not updated");
  EXPECT_EQ(d.box()->message.text,
            "An error (File System Error) was experienced when making changes to the Process:View file.");
  d.answer(1);
  for (int i = 0; i < 20 && d.box(); ++i) d.answer(1);
  std::vector<int> colours;
  for (const auto& r : readSites()) colours.push_back(r.TEXTCOLOR);
  EXPECT_EQ(colours, (std::vector<int>{1, 5, 5}));
}

class CsvExport : public Passes {
 protected:
  // Runs the export to its end message; the viewer is then open.
  void exportAll(const std::string& count) {
    d.start(qb::Create_CSV);
    runPass();
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(d.box()->message.text, count + " website records have been processed.");
    expectBox("CSV process complete...");
    ASSERT_TRUE(isOpen("ViewSaveCSV"));
    EXPECT_EQ(GLO_CSVRecordCount, 0);
  }
  std::vector<std::string> shownRows() {
    std::vector<std::string> out;
    for (const auto& r : d.rows("?ASCIIBOX", "ViewSaveCSV")) out.push_back(r.empty() ? "" : pf::clip(r[0]));
    return out;
  }
};

TEST_F(CsvExport, LinesOfTheFile) {
  std::ofstream("SitesCSV.csv") << "\"old line\"\r\n\"another\"\r\n";
  writeSites({{"  http://b.org  "}, {"http://A.org"}, {"   "}, {""}, {"a\"b"}, {"http://a.org"}});
  exportAll("4");
  // Key order of the stored addresses (leading blanks first, case ignored), written
  // trimmed; both case twins kept, next to each other.
  const std::string file = slurp("SitesCSV.csv");
  EXPECT_EQ(file.find("old line"), std::string::npos);
  EXPECT_EQ(file.substr(0, 24), "\"http://b.org\"\r\n\"a\"\"b\"\r\n") << file;
  const std::string twins = file.substr(24);
  EXPECT_TRUE(twins == "\"http://A.org\"\r\n\"http://a.org\"\r\n" || twins == "\"http://a.org\"\r\n\"http://A.org\"\r\n")
      << file;
  EXPECT_EQ(shownRows(), (std::vector<std::string>{"\"http://b.org\"", "\"a\"\"b\"", twins.substr(0, 14),
                                                   twins.substr(16, 14)}));
}

TEST_F(CsvExport, NoAddressesGivesEmptyFile) {
  writeSites({{"  "}});
  d.start(qb::Create_CSV);
  runPass();
  ASSERT_NE(d.box(), nullptr);
  if (d.box()->message.caption != "CSV process complete...") d.answer(1);   // "No Records"
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.text, "0 website records have been processed.");
  d.answer(1);
  ASSERT_TRUE(isOpen("ViewSaveCSV"));
  EXPECT_TRUE(pf::fileExists("SitesCSV.csv"));
  EXPECT_EQ(slurp("SitesCSV.csv"), "");
  EXPECT_TRUE(d.enabled("?SEARCH", "ViewSaveCSV"));
  EXPECT_TRUE(d.enabled("?PRINT", "ViewSaveCSV"));
}

TEST_F(CsvExport, ReplacesItsOwnFileAndNoOther) {
  // An older export whose name differs in letter case is not the export: it is neither
  // written to nor shown.
  ScopedUmask anyoneMay(0);
  for (bool ownFileThere : {true, false}) [&] {
    SCOPED_TRACE(ownFileThere);
    std::ofstream("sitescsv.csv") << "\"older, other case\"\r\n";
    if (ownFileThere) std::ofstream("SitesCSV.csv") << "\"last export\"\r\n";
    else pf::removeFile("SitesCSV.csv");
    writeSites({{"http://a.org"}});
    exportAll("1");
    EXPECT_EQ(slurp("SitesCSV.csv"), "\"http://a.org\"\r\n");
    EXPECT_EQ(slurp("sitescsv.csv"), "\"older, other case\"\r\n");
    EXPECT_EQ(shownRows(), (std::vector<std::string>{"\"http://a.org\""}));
    EXPECT_EQ(modeOf("SitesCSV.csv"), 0600);
    EXPECT_EQ(modeOf("SitesCSV.csv.qbnew"), -1);
    d.click("?SAVEBUT", "ViewSaveCSV");
    d.answerFile("");
    d.click("?CLOSE", "ViewSaveCSV");
    ASSERT_FALSE(isOpen("ViewSaveCSV"));
  }();
}

TEST_F(CsvExport, CancelKeepsTheLinesWrittenSoFar) {
  std::vector<Web> sites;
  for (int i = 0; i < 40; ++i) sites.push_back({"http://site" + std::to_string(100 + i) + ".org"});
  writeSites(sites);
  std::ofstream("SitesCSV.csv") << "\"last export\"\r\n";
  pf::setSliceRecordLimit(5);
  d.start(qb::Create_CSV);
  d.advance(10);
  d.advance(10);
  d.click("?PROGRESS:CANCEL");
  pf::setSliceRecordLimit(0);
  ASSERT_NE(d.box(), nullptr);
  const std::string text = d.box()->message.text;
  const int count = std::stoi(text);
  EXPECT_GT(count, 0);
  EXPECT_LT(count, 40);
  EXPECT_EQ(text, std::to_string(count) + " website records have been processed.");
  d.answer(1);
  ASSERT_TRUE(isOpen("ViewSaveCSV"));
  EXPECT_EQ(shownRows().size(), static_cast<std::size_t>(count));
  const std::string file = slurp("SitesCSV.csv");
  EXPECT_EQ(file.find("last export"), std::string::npos);
  EXPECT_EQ(file.substr(0, 22), "\"http://site100.org\"\r\n");
}

// An export cut into one-record slices while another writer moves two addresses between
// them, one on ahead of the export (after it had read the website ahead), one behind it:
// every website gives one line, as it is on file when the export reaches it; the one
// moved behind comes last.
TEST_F(CsvExport, EachWebsiteOnceWhenAddressesMoveBetweenSlices) {
  writeSites({{"http://a.org"}, {"http://b.org"}, {"http://c.org"}, {"http://d.org"}, {"http://e.org"}});
  {
    qbtest::Slices slices(d, 1);
    d.start(qb::Create_CSV);
    slices.run([&](int n) {
      if (n != 1) return;
      readdress("Site 2", "http://z.org");
      readdress("Site 4", "http://0.org");
    });
    EXPECT_GT(slices.count(), 2) << "the export ran in several slices";
  }
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.text, "5 website records have been processed.");
  expectBox("CSV process complete...");
  EXPECT_EQ(slurp("SitesCSV.csv"),
            "\"http://a.org\"\r\n\"http://c.org\"\r\n\"http://e.org\"\r\n\"http://z.org\"\r\n\"http://0.org\"\r\n");
}

// Files may not grow past a few kilobytes, as on a full disk: every line after the first
// that fails would fail too.
class FullDisk {
 public:
  explicit FullDisk(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldSignal_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit r = old_;
    r.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &r);
  }
  ~FullDisk() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldSignal_);
  }

 private:
  rlimit old_{};
  void (*oldSignal_)(int) = nullptr;
};

TEST_F(CsvExport, FullDiskIsOneErrorAndKeepsTheLastExport) {
  std::vector<Web> sites;
  for (int i = 0; i < 200; ++i) sites.push_back({"http://a-rather-long-address.example/page" + std::to_string(i)});
  writeSites(sites);
  std::ofstream("SitesCSV.csv") << "\"last export\"\r\n";
  std::vector<std::string> texts;
  {
    FullDisk full(4096);
    d.start(qb::Create_CSV);
    for (int i = 0; i < 1000; ++i) {
      if (d.box()) {
        texts.push_back(d.box()->message.text);
        d.advance(100);   // the pass's timer goes on while the box is read
        d.answer(1);
      } else if (isOpen("Create_CSV")) {
        d.advance(10);
      } else {
        break;
      }
    }
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"Error with SitesCSV.csv"}));
  EXPECT_FALSE(isOpen("ViewSaveCSV"));
  EXPECT_EQ(slurp("SitesCSV.csv"), "\"last export\"\r\n");
  EXPECT_EQ(modeOf("SitesCSV.csv.qbnew"), -1);
}

TEST_F(CsvExport, ViewerSavesCopies) {
  writeSites({{"http://a.org"}});
  exportAll("1");
  const std::string target = dir.path() + "/copy.csv";
  d.click("?SAVEBUT", "ViewSaveCSV");
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->kind, pf::DialogKind::SaveFile);
  EXPECT_EQ(d.box()->file.title, "File to save to");
  EXPECT_EQ(d.box()->file.filter, "CSV files|*.csv");
  d.answerFile(target);
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.text, target);
  expectBox("File saved...");
  EXPECT_EQ(slurp(target), slurp("SitesCSV.csv"));
  EXPECT_EQ(d.focused("ViewSaveCSV"), "?CLOSE");
  EXPECT_EQ(d.box(), nullptr) << "no question once saved: " << box();

  // The second save starts from the name chosen before; a folder that is not there fails.
  d.click("?SAVEBUT", "ViewSaveCSV");
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->file.fileName, target);
  d.answerFile(dir.path() + "/none/x.csv");
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.text,
            "Problem saving? " + dir.path() + "/none/x.csv||Try saving using a different file name. ");
  expectBox("Error...");
  EXPECT_TRUE(isOpen("ViewSaveCSV"));
  EXPECT_EQ(pf::currentDirectory(), dir.path());
  d.click("?CLOSE", "ViewSaveCSV");
  EXPECT_FALSE(isOpen("ViewSaveCSV"));
}

TEST_F(CsvExport, SaveAsWritesTheNameAsChosenAndAsksBeforeReplacingIt) {
  writeSites({{"http://a.org"}});
  exportAll("1");
  pf::makeDirectory("docs");
  const std::string twin = dir.path() + "/docs/Addresses.CSV";
  const std::string unrelated = "\"not an export\"\r\n";
  const struct {
    const char* name;
    std::string chosen;
    const char* replace;  // the answer to the replace question; none when it must not come
    std::string twinAfter;
  } cases[] = {
      {"a new name that differs from a file's only in letter case", dir.path() + "/docs/addresses.csv", nullptr,
       unrelated},
      {"a file of that very name, not replaced", twin, "&No", unrelated},
      {"a file of that very name, replaced", twin, "&Yes", slurp("SitesCSV.csv")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ::unlink((dir.path() + "/docs/addresses.csv").c_str());
    std::ofstream(twin, std::ios::binary | std::ios::trunc) << unrelated;
    d.click("?SAVEBUT", "ViewSaveCSV");
    d.answerFile(c.chosen);
    if (c.replace) {
      ASSERT_NE(d.box(), nullptr);
      EXPECT_EQ(d.box()->message.text, c.chosen + " already exists.|Do you want to replace it?");
      expectBox("File to save to", c.replace);
    }
    if (c.replace && std::string(c.replace) == "&No") {
      // The dialog again, on the name chosen; cancelled, nothing is saved.
      ASSERT_NE(d.box(), nullptr);
      EXPECT_EQ(d.box()->kind, pf::DialogKind::SaveFile);
      EXPECT_EQ(d.box()->file.fileName, c.chosen);
      d.answerFile("");
    } else {
      ASSERT_NE(d.box(), nullptr);
      EXPECT_EQ(d.box()->message.text, c.chosen);
      expectBox("File saved...");
      EXPECT_EQ(slurp(c.chosen), slurp("SitesCSV.csv"));
    }
    EXPECT_EQ(d.box(), nullptr) << box();
    EXPECT_EQ(slurp(twin), c.twinAfter);
  }
}

TEST_F(CsvExport, ViewerCancelledSaveAsksNoMore) {
  writeSites({{"http://a.org"}});
  exportAll("1");
  d.click("?SAVEBUT", "ViewSaveCSV");
  d.answerFile("");
  EXPECT_EQ(d.box(), nullptr) << box();
  EXPECT_EQ(d.focused("ViewSaveCSV"), "?CLOSE");
  d.click("?CLOSE", "ViewSaveCSV");
  EXPECT_EQ(d.box(), nullptr) << box();
  EXPECT_FALSE(isOpen("ViewSaveCSV"));
}

TEST_F(CsvExport, ViewerAsksToSaveBeforeClose) {
  writeSites({{"http://a.org"}});
  exportAll("1");
  d.focus("?CLOSE", "ViewSaveCSV");
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.text, "Do you want to 'Save' the CSV file?||Use the [Save CSV file as...] button to save.");
  expectBox("Save?", "&Yes");
  EXPECT_EQ(d.focused("ViewSaveCSV"), "?SAVEBUT");
  EXPECT_TRUE(isOpen("ViewSaveCSV"));
  d.click("?CLOSE", "ViewSaveCSV");
  expectBox("Save?", "&No");
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.text, "The CSV file has not been saved.");
  expectBox("Please note...");
  EXPECT_FALSE(isOpen("ViewSaveCSV"));
}

}  // namespace
}  // namespace qbtest
