// Data files with values the program never writes, as another tool or a failing disk may
// leave them: every key and field column given a value of each other kind SQLite keeps,
// and bookkeeping rows without a name. Each is played through every window and pass that
// reads the file, from the start of the program; every step ends, and the user meets what
// the same records written by the program give, or an error naming the file. Nothing is
// lost: the records end as they do there.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "data/dictionary.h"
#include "data/globals.h"
#include "platform/classes/error_manager.h"
#include "platform/classes/report_controller.h"
#include "platform/core/dates.h"
#include "platform/core/strings.h"
#include "platform/os/desktop.h"
#include "platform/report/print.h"
#include "platform/store/cipher.h"
#include "platform/ui/test_driver.h"
#include "shell/main_program.h"
#include "shell/procedures.h"
#include "sites/categories.h"
#include "tests/support/record_files.h"
#include "tests/support/slices.h"
#include "tests/support/temp_dir.h"
#include "tests/support/watchdog.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// Under the sanitizers a step takes several times as long; none takes a second here.
constexpr int kStepSeconds = 60;

void writeData() {
  qbtest::addRecords<CategoryRecord>(CategoryDesc(), Lines{"All Categories", "Default", "News", "Shops", "Travel"},
                                     [](CategoryRecord& r, const std::string& n) { r.CATEGORY = n; });
  qbtest::addRecords<DefaultsRecord>(DefaultsDesc(), Lines{""}, [&](DefaultsRecord& r, const std::string&) {
    r = DefaultsRecord{};
    r.RECORDNUMBER = 1;
    r.AUTOOPENBROWSE = 0;
    r.SHOWPWORDS = r.SHOWCATS = 1;
    r.HOMEPAGE = "http://home.example";
    r.DEFAULTBUPDRIVE = "E";
    r.DEFAULTCAT = "All Categories";
    r.COLUMN4WIDTH = r.COLUMN5WIDTH = 45;
    r.COLUMN6WIDTH = 25;
  });
  std::ofstream("SitesCSV.csv") << "";
  qbtest::addRecords<AccessRecord>(AccessDesc(), Lines{""}, [](AccessRecord& r, const std::string&) { r = AccessRecord{}; });
  struct Site {
    const char* description;
    const char* address;
    const char* category;
    int favourite, highlight, colour, visits;
    const char* logon;
    const char* password;
  };
  const std::vector<Site> sites = {
      {"Daily Paper", "http://paper.example", "News", 1, 0, 1, 3, "reader", ""},
      {"Bookshop", "http://books.example", "Shops", 0, 1, 5, 7, "", "pa55"},
      {"Weather", "http://weather.example", "News", 0, 0, 8, 0, "", ""},
      {"Atlas", "", "Travel", 0, 0, 1, 2, "", ""},
      {"Market", "http://market.example", "Shops", 1, 1, 3, 1, "buyer", "x"},
  };
  qbtest::addRecords<WSitesRecord>(WSitesDesc(), sites, [](WSitesRecord& r, const Site& s) {
    r = WSitesRecord{};
    r.DESCRIPTION = s.description;
    r.WEBADDRESS = s.address;
    r.CATEGORY = s.category;
    r.FAVOURITEYN = static_cast<pf::Byte>(s.favourite);
    r.HIGHLIGHT = static_cast<pf::Byte>(s.highlight);
    r.TEXTCOLOR = static_cast<pf::Byte>(s.colour);
    r.VISITS = s.visits;
    r.LOGONID = s.logon;
    r.PASSWORD = s.password;
    r.DATEADDED = pf::dateToDay(2024, 3, 1);
    r.DATEUPDATED = pf::dateToDay(2025, 6, 2);
    r.LASTVISIT = s.visits ? pf::dateToDay(2026, 1, 5) : 0;
    r.SiteNotes = std::string("notes of ") + s.description;
  });
}

// SQL on a data file as another program would run it.
void rawSql(const pf::FileDesc& desc, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(desc.diskName.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  // With the key stretched once, as the program's own connections take it.
  bool derived = false;
  ASSERT_EQ(pf::keyConnection(db, pf::currentKey(desc), &derived), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql << ": " << sqlite3_errmsg(db);
  sqlite3_close(db);
}

// The records of a file as the program reads them, one line each.
template <class Record>
Lines recordLines(const pf::FileDesc& desc) {
  Lines out;
  for (const Record& r : qbtest::readRecords<Record>(desc)) {
    std::string line;
    const auto* b = reinterpret_cast<const char*>(&r);
    for (const auto& f : desc.fields) {
      const char* p = b + f.offset;
      switch (f.type) {
        case pf::FieldType::Byte: line += "|" + std::to_string(static_cast<unsigned char>(*p)); break;
        case pf::FieldType::Long:
        case pf::FieldType::Date:
        case pf::FieldType::Time: {
          std::int32_t v;
          std::memcpy(&v, p, 4);
          line += "|" + std::to_string(v);
          break;
        }
        default: line += "|" + pf::clip(std::string(p, strnlen(p, f.size)));
      }
    }
    out.push_back(line);
  }
  return out;
}

// Where two accounts of a session part, and a few lines on.
std::string difference(const Lines& a, const Lines& b) {
  std::size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  std::string out = "from line " + std::to_string(i) + ":";
  for (std::size_t j = i; j < i + 3; ++j) {
    out += "\n  damaged: " + (j < a.size() ? a[j] : std::string("(none)"));
    out += "\n  as read: " + (j < b.size() ? b[j] : std::string("(none)"));
  }
  return out;
}

Lines allRecords() {
  Lines out;
  for (const auto& l : recordLines<WSitesRecord>(WSitesDesc())) out.push_back("WSites" + l);
  for (const auto& l : recordLines<CategoryRecord>(CategoryDesc())) out.push_back("Category" + l);
  for (const auto& l : recordLines<DefaultsRecord>(DefaultsDesc())) out.push_back("Defaults" + l);
  for (const auto& l : recordLines<AccessRecord>(AccessDesc())) out.push_back("Access" + l);
  return out;
}

void copyFolder(const fs::path& from, const fs::path& to) {
  for (const auto& e : fs::directory_iterator(from)) fs::copy(e.path(), to / e.path().filename());
}

// The same records as the program reads them from the file, written again by the program
// into the same file, whose keys and bookkeeping are then the program's own. The file
// keeps its salt, so that its key is not stretched again.
template <class Record>
void writtenAsRead(const pf::FileDesc& desc) {
  std::vector<Record> records;
  {
    Record r;
    pf::File f(desc, &r);
    // Only for the open: rebuilt keys do not change what the records read.
    if (f.open() == pf::Err::KeyFileRebuild) {
      ASSERT_EQ(f.build(), 0);
    }
    ASSERT_TRUE(f.isOpen() || f.open() == 0);
    f.set();
    while (f.next() == 0) records.push_back(r);
  }
  rawSql(desc, "DELETE FROM rec; DELETE FROM sqlite_sequence; DELETE FROM meta WHERE name IS NULL");
  qbtest::addRecords<Record>(desc, records, [](Record& r, const Record& from) { r = from; });
}

// The folder `to` made a copy of the current one whose data files hold the same records
// as the program reads them, written by the program.
void twinAsRead(const std::string& to) {
  const fs::path here = fs::current_path();
  copyFolder(here, to);
  fs::current_path(to);
  writtenAsRead<WSitesRecord>(WSitesDesc());
  writtenAsRead<CategoryRecord>(CategoryDesc());
  writtenAsRead<DefaultsRecord>(DefaultsDesc());
  writtenAsRead<AccessRecord>(AccessDesc());
  fs::current_path(here);
}

// What the user meets, step by step.
struct Seen {
  Lines lines;
  Lines records;  // every record at the end, as the program reads them
  int invalidKeys = 0;
  std::string fileError;  // the first error box naming the damaged file
  bool ended = false;     // a step did not end, or the program ended
};

class Session {
 public:
  Session(pf::TestDriver& d, std::string file, std::string what) : d_(d), file_(std::move(file)), what_(std::move(what)) {}

  Seen seen;

  // Runs one action of the user and whatever it leads to, within its bounds.
  void step(const std::string& name, const std::function<void()>& action) {
    if (seen.ended) return;
    qbtest::Watchdog watchdog(what_ + ", " + name, kStepSeconds);
    try {
      action();
      settle(name);
    } catch (const std::exception& e) {
      seen.lines.push_back(name + ": cannot: " + e.what());
    }
    if (d_.programEnded()) {
      seen.lines.push_back(name + ": the program ended");
      seen.ended = true;
    }
  }

  void note(const std::string& s) { seen.lines.push_back(s); }

  void noteList(const std::string& label, const std::string& list, const std::string& in) {
    std::string rows;
    for (const auto& r : d_.rows(list, in)) {
      rows += "\n ";
      for (const auto& c : r) rows += pf::clip(c) + "|";
    }
    note(label + ":" + rows);
  }

  bool open(const std::string& name) const {
    for (const auto& w : d_.windows())
      if (w.name == name) return true;
    return false;
  }

 private:
  bool progressOpen() const {
    for (const auto& w : d_.windows())
      if (w.caption == "Please wait..." || w.caption == "Processing Records") return true;
    return false;
  }

  // Answers boxes, lets passes take their time slices and prints what they preview,
  // until the program waits for the user. A pass never slower than a few records a
  // slice ends well within the bound; one that goes round for good does not.
  void settle(const std::string& name) {
    qbtest::Slices slices(d_, 4);
    for (int turn = 0; turn < 300; ++turn) {
      if (d_.programEnded()) return;
      if (pf::Dialog* b = d_.box()) {
        const std::string caption = b->message.caption, text = b->message.text;
        if (caption == "Invalid Key") {
          ++seen.invalidKeys;
          EXPECT_EQ(text, file_ + " key file is invalid. Key must be rebuilt.");
          d_.answer(1);
          continue;
        }
        note(name + ": box " + caption + ": " + text);
        if (seen.fileError.empty() && text.find(file_) != std::string::npos &&
            (caption == "Record Retrieval Error" || caption == "File Access Error" || caption == "Key was not built"))
          seen.fileError = caption + ": " + text;
        if (caption == "Report options...") d_.answer("&Exclude");
        else if (caption == "Save?") d_.answer(static_cast<int>(b->buttons.size()));
        else if (caption == "Are you sure?") d_.answer("&Remove");
        else d_.answer(1);
        continue;
      }
      if (open("_PreviewWindow_")) {
        std::size_t jobs = pf::printJobs().size();
        d_.click("?PREVIEW:PRINTBUTTON", "_PreviewWindow_");
        std::string printed = name + ": printed";
        if (pf::printJobs().size() > jobs)
          for (const auto& p : pf::printJobs().back().printed.pages)
            for (const auto& i : p.items)
              if (!i.text.empty()) printed += "\n " + i.control + "=" + i.text;
        note(printed);
        if (open("_PreviewWindow_")) d_.click("?PREVIEW:EXITBUTTON", "_PreviewWindow_");
        continue;
      }
      // Behind a preview its progress window stays open, hidden.
      if (progressOpen()) {
        slices.next();
        continue;
      }
      return;
    }
    note(name + ": did not end");
    seen.ended = true;
  }

  pf::TestDriver& d_;
  std::string file_, what_;
};

class DamagedFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    // Every case starts from copies of one set of files: an encrypted file made anew
    // would have its key stretched anew.
    const fs::path here = fs::current_path();
    fs::current_path(data_.path());
    writeData();
    fs::current_path(here);
    qb::registerHelp();
    pf::setDesktopShell(&shell);
    // The one-category report's picker: its own reads of the categories are the
    // category file's rows.
    qb::setProcedure(qb::Proc::Win_SelectCategory, [] { GLO_DelCategory = "Shops"; });
  }
  void TearDown() override {
    qb::setProcedure(qb::Proc::Win_SelectCategory, {});
    pf::setDesktopShell(nullptr);
  }

  // The websites file through the browse (every tab, a category, the end of the list, a
  // search), every report, the integrity check, the CSV export, the category count, the
  // three tagging resets and a category rename; then every record.
  Seen playWebsites(const std::string& what) {
    pf::clearPrintJobs();
    pf::TestDriver d(pf::dateToDay(2026, 12, 10), 9 * 360000 + 1);
    qb::installThreadHooks();
    Session s(d, "wsites.tps", what);
    d.run(qb::MainProgram, [&] {
      s.step("start", [] {});
      s.step("browse", [&] { d.choose("?BROWSESITES"); });
      std::string windows;
      for (const auto& w : d.windows()) windows += w.name + "/" + w.caption + " ";
      s.note("windows: " + windows);
      auto shown = [&](const std::string& label) {
        if (!s.open("BrowseWebsites")) return s.note(label + ": no browse");
        s.note(label + ": " + d.window("BrowseWebsites").caption() + ", " + d.text("?LOC:RECORDCOUNT", "BrowseWebsites"));
        s.noteList(label, "?BROWSE:1", "BrowseWebsites");
      };
      shown("tab 1");
      for (const char* tab : {"2", "3", "4", "5", "6", "1"}) {
        s.step(std::string("tab ") + tab, [&] { d.pick("?CURRENTTAB", tab, "BrowseWebsites"); });
        shown(std::string("tab ") + tab);
      }
      s.step("category", [&] { d.pick("?CAT:CATEGORY", "Shops", "BrowseWebsites"); });
      shown("category");
      s.step("all categories", [&] { d.press("F2", "BrowseWebsites"); });
      s.step("end of the list", [&] { d.press("Ctrl+End", "BrowseWebsites"); });
      shown("end of the list");
      s.step("search", [&] {
        d.press("F3", "BrowseWebsites");
        d.type("?BRW1:PRC:PAL", "SHOP", "BuscadorF3");
        d.pick("?BRW1:PRC:DIR", "1", "BuscadorF3");
        d.click("?F3BOT_SIGUIENTE", "BuscadorF3");
      });
      s.step("search on", [&] { d.click("?F3BOT_SIGUIENTE", "BuscadorF3"); });
      if (s.open("BrowseWebsites")) s.note("found: " + std::to_string(d.selected("?BROWSE:1", "BrowseWebsites")));
      s.step("search closed", [&] { d.click("?F3BOT_CANCELAR", "BuscadorF3"); });
      s.step("browse closed", [&] { d.click("?CLOSE", "BrowseWebsites"); });
      for (const char* report : {"?REPORTSWEBSITELISTING", "?REPORTSBYCATEGORY", "?REPORTSVISITS", "?REPORTSBYSELCAT",
                                 "?REPORTSFAVORITEWEBSITESONLY", "?RPTSONLYIDORPASSWORD", "?REPORTSINTEGRITYREPORT"})
        s.step(report, [&] { d.choose(report); });
      s.step("csv export", [&] { d.start(qb::procedure(qb::Proc::Create_CSV)); });
      s.note("csv: " + qbtest::fileBytes("SitesCSV.csv"));
      s.step("csv viewer closed", [&] { d.click("?CLOSE", "ViewSaveCSV"); });
      s.step("category count", [&] {
        d.start([] { qb::DeleteCategory(qb::CategoryPassValues{0, "Shops", "", {}}); });
      });
      for (const char* reset : {"?MAINTENANCERESETCOLORS", "?MAINTENANCECLEARHL", "?MAINTENANCERESETCLEARALLFAVORITESTAGGING"})
        s.step(reset, [&] { d.choose(reset); });
      s.step("rename", [&] {
        d.start([] { qb::DeleteCategory(qb::CategoryPassValues{1, "Stores", "Shops", {}}); });
      });
    });
    s.seen.records = allRecords();
    return s.seen;
  }

  // The start of the program with the browse opening at once (the category file's rows
  // in its list), the category browse, the picker and the preferences.
  Seen playStart(const std::string& file, const std::string& what) {
    pf::TestDriver d(pf::dateToDay(2026, 12, 10), 9 * 360000 + 1);
    qb::installThreadHooks();
    Session s(d, file, what);
    qb::setProcedure(qb::Proc::Win_SelectCategory, {});
    d.run(qb::MainProgram, [&] {
      s.step("start", [] {});
      std::string windows;
      for (const auto& w : d.windows()) windows += w.name + " ";
      s.note("windows: " + windows);
      s.note("preferences: " + std::to_string(GLO_AutoOpenBrowse) + std::to_string(GLO_ShowPwords) +
             std::to_string(GLO_ShowCats) + " " + GLO_HomePage.clip() + " " + GLO_DefaultBupDrive.clip() + " " +
             GLO_DefaultCat.clip());
      if (s.open("BrowseWebsites")) {
        s.noteList("browse categories", "?CAT:CATEGORY", "BrowseWebsites");
        s.noteList("browse", "?BROWSE:1", "BrowseWebsites");
        s.step("browse closed", [&] { d.click("?CLOSE", "BrowseWebsites"); });
      }
      s.step("categories", [&] { d.choose("?BROWSECATEGORIES"); });
      if (s.open("BrowseCategories")) {
        s.noteList("categories", "?BROWSE:1", "BrowseCategories");
        s.step("categories closed", [&] { d.click("?CLOSE", "BrowseCategories"); });
      }
      s.step("picker", [&] { d.start(qb::procedure(qb::Proc::Win_SelectCategory)); });
      if (s.open("Win_SelectCategory")) {
        s.noteList("picker", "?CAT:CATEGORY", "Win_SelectCategory");
        s.step("picker closed", [&] { d.click("?CLOSE", "Win_SelectCategory"); });
      }
      s.step("preferences", [&] { d.choose("?PREFERENCESSEL"); });
      if (s.open("Win_Preferences")) {
        std::string form;
        for (const char* c : {"?PREF:AUTOOPENBROWSE", "?PREF:SHOWPWORDS", "?PREF:SHOWCATS", "?PREF:TOOLTIPSONOFF",
                              "?PREF:NOMAINBG"})
          form += d.checked(c, "Win_Preferences") ? "1" : "0";
        for (const char* c : {"?CAT:CATEGORY", "?PREF:HOMEPAGE", "?PREF:DEFAULTBUPDRIVE"})
          form += " " + pf::clip(d.text(c, "Win_Preferences"));
        s.note("preferences form: " + form);
        s.step("preferences closed", [&] { d.click("?CANCEL", "Win_Preferences"); });
      }
    });
    qb::setProcedure(qb::Proc::Win_SelectCategory, [] { GLO_DelCategory = "Shops"; });
    s.seen.records = allRecords();
    return s.seen;
  }

  // Plays the damaged folder and a folder of the same records as the program reads them,
  // and compares what the user met. Answers how often the damaged play met "Invalid Key".
  int expectAsTheRecordsRead(const std::string& what, const pf::FileDesc& damaged, const std::string& sql,
                              bool websites, bool openBrowseAtStart) {
    SCOPED_TRACE(what);
    qbtest::TempDir twin;
    {
      qbtest::TempDir dir;
      copyFolder(data_.path(), dir.path());
      if (openBrowseAtStart) rawSql(DefaultsDesc(), "UPDATE rec SET AUTOOPENBROWSE=1");
      rawSql(damaged, sql);
      twinAsRead(twin.path());
      const std::string file = damaged.diskName;
      Seen seen = websites ? playWebsites(what) : playStart(file, what);
      fs::current_path(twin.path());
      Seen right = websites ? playWebsites(what + " (as read)") : playStart(file, what + " (as read)");
      fs::current_path(dir.path());
      // The same records written by the program play through.
      EXPECT_FALSE(right.ended) << difference(right.lines, {});
      for (const auto& l : right.lines)
        EXPECT_TRUE(l.find(": cannot: ") == std::string::npos && l.find(": no browse") == std::string::npos) << l;
      EXPECT_EQ(right.invalidKeys, 0);
      EXPECT_TRUE(right.fileError.empty()) << right.fileError;
      // The error, then nothing lost: every record is still there.
      if (!seen.fileError.empty()) {
        EXPECT_EQ(seen.records.size(), right.records.size()) << seen.fileError;
        return seen.invalidKeys;
      }
      EXPECT_TRUE(seen.lines == right.lines) << difference(seen.lines, right.lines);
      EXPECT_TRUE(seen.records == right.records) << difference(seen.records, right.records);
      return seen.invalidKeys;
    }
  }

  // The websites' fields the keys, filters, checks and searches read, of one kind.
  void expectLookedAt(bool text);

  qbtest::TempDir data_;
  pf::RecordingDesktopShell shell;
};

struct Column {
  std::string name;
  bool text;
};

// Into a TEXT column SQLite turns a number into the text of its digits; into an INTEGER
// column a text that reads as a number into the number. What is left are these: every
// kind SQLite keeps that is not the column's own, and for a text an empty blob, for a
// number an empty text. A real that reads as a whole number becomes an integer.
Lines wrongValues(bool text) {
  if (text) return {"X'5A7A'", "X''", "7", "2.5"};
  return {"X'33'", "'x'", "''", "-7.75"};
}

void forEachDamage(const std::vector<Column>& columns, const std::function<void(const std::string&, const std::string&)>& f) {
  for (const auto& c : columns)
    for (const auto& v : wrongValues(c.text)) f(c.name + " = " + v, c.name + "=" + v);
}

std::vector<Column> columnsOf(const pf::FileDesc& desc) {
  std::vector<Column> out;
  for (const auto& f : desc.fields) {
    bool text = f.type == pf::FieldType::String || f.type == pf::FieldType::CString || f.type == pf::FieldType::Memo;
    out.push_back({f.name.substr(f.name.find(':') + 1), text});
  }
  return out;
}

std::vector<Column> only(const std::vector<Column>& all, const Lines& names, bool in) {
  std::vector<Column> out;
  for (const auto& c : all)
    if ((std::find(names.begin(), names.end(), c.name) != names.end()) == in) out.push_back(c);
  return out;
}

// One damage: every column given the value of its kind at `v`.
std::string allAt(const std::vector<Column>& columns, std::size_t v) {
  std::string set;
  for (const auto& c : columns) set += (set.empty() ? "" : ",") + c.name + "=" + wrongValues(c.text)[v];
  return set;
}

// The fields the keys, filters, checks and searches read.
const Lines kLookedAt = {"DESCRIPTION", "WEBADDRESS", "CATEGORY", "LOGONID", "PASSWORD",
                         "FAVOURITEYN", "HIGHLIGHT", "TEXTCOLOR", "VISITS"};
// The preferences the start reads one by one.
const Lines kStartReads = {"RECORDNUMBER", "AUTOOPENBROWSE", "DEFAULTCAT"};

// A key copy that is not the one its fields make takes the Invalid Key road.
TEST_F(DamagedFiles, WebsitesKeyCopies) {
  forEachDamage({{"_k_DESCRIPTION", true}, {"_k_WEBADDRESS", true}, {"_k_CATEGORY", true}, {"_kd_VISITS", false}},
                [&](const std::string& what, const std::string& set) {
                  EXPECT_EQ(expectAsTheRecordsRead(what, WSitesDesc(), "UPDATE rec SET " + set + " WHERE _pos=2", true, false), 1)
                      << what;
                });
}

void DamagedFiles::expectLookedAt(bool text) {
  std::vector<Column> columns;
  for (const auto& c : only(columnsOf(WSitesDesc()), kLookedAt, true))
    if (c.text == text) columns.push_back(c);
  forEachDamage(columns, [&](const std::string& what, const std::string& set) {
    expectAsTheRecordsRead(what, WSitesDesc(), "UPDATE rec SET " + set + " WHERE _pos=2", true, false);
  });
}

// The texts and the numbers apart, so that they run side by side.
TEST_F(DamagedFiles, WebsitesTextsTheProgramLooksAt) { expectLookedAt(true); }
TEST_F(DamagedFiles, WebsitesNumbersTheProgramLooksAt) { expectLookedAt(false); }

// The rest of the fields are only read and shown: all of them damaged at once.
TEST_F(DamagedFiles, WebsitesOtherFields) {
  const std::vector<Column> rest = only(columnsOf(WSitesDesc()), kLookedAt, false);
  for (std::size_t v = 0; v < wrongValues(true).size(); ++v)
    expectAsTheRecordsRead("every other field: " + allAt(rest, v), WSitesDesc(),
                           "UPDATE rec SET " + allAt(rest, v) + " WHERE _pos=2", true, false);
}

TEST_F(DamagedFiles, CategoriesAtStart) {
  forEachDamage({{"_k_CATEGORY", true}, {"CATEGORY", true}}, [&](const std::string& what, const std::string& set) {
    EXPECT_EQ(expectAsTheRecordsRead(what, CategoryDesc(), "UPDATE rec SET " + set + " WHERE _pos=4", false, true), 1)
        << what;
  });
}

TEST_F(DamagedFiles, PreferencesAndPasswordAtStart) {
  const std::vector<Column> prefs = columnsOf(DefaultsDesc());
  forEachDamage(only(prefs, kStartReads, true), [&](const std::string& what, const std::string& set) {
    expectAsTheRecordsRead("Defaults " + what, DefaultsDesc(), "UPDATE rec SET " + set, false, true);
  });
  const std::vector<Column> rest = only(prefs, kStartReads, false);
  for (std::size_t v = 0; v < wrongValues(true).size(); ++v)
    expectAsTheRecordsRead("Defaults, every other field: " + allAt(rest, v), DefaultsDesc(),
                           "UPDATE rec SET " + allAt(rest, v), false, true);
  forEachDamage(columnsOf(AccessDesc()), [&](const std::string& what, const std::string& set) {
    expectAsTheRecordsRead("Access " + what, AccessDesc(), "UPDATE rec SET " + set, false, true);
  });
}

TEST_F(DamagedFiles, BookkeepingRowsWithoutAName) {
  for (const pf::FileDesc* desc : {&WSitesDesc(), &CategoryDesc(), &DefaultsDesc(), &AccessDesc()})
    expectAsTheRecordsRead(desc->diskName + ": a meta row without a name", *desc, "INSERT INTO meta VALUES(NULL,'x')",
                           desc == &WSitesDesc(), desc != &WSitesDesc());
}

}  // namespace
