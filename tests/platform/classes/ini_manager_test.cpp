#include "platform/classes/ini_manager.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> folderNames(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  return names;
}

const char* const kFormat =
    "10L(5)|I~F~L(2)@n3@Q'(F) Favorite (Click on to Change)'131L(2)|M*~Description~@s45@Q'Browse "
    "List'";

class IniTest : public ::testing::Test {
 protected:
  std::string path() const { return dir_.file("Linkvue.ini"); }
  qbtest::TempDir dir_;
  pf::IniManager ini_;
};

TEST_F(IniTest, ValuesAndOddNamesSurviveARoundTrip) {
  ini_.init(path());
  ASSERT_TRUE(ini_.update("BrowseWebsites", "SRCFOriginal?Browse:1", kFormat));
  ASSERT_TRUE(ini_.update("BrowseWebsites", "SRCF?Browse:1", "a=b;c|d \"q\" 'x' "));
  ASSERT_TRUE(ini_.update("_PreviewWindow_", "Zoom", 75L));
  ASSERT_TRUE(ini_.update("Main", "Empty", ""));
  ini_.kill();
  EXPECT_EQ(ini_.fetch("BrowseWebsites", "SRCF?Browse:1", "gone"), "gone");  // kill forgets

  pf::IniManager again;
  again.init(path());
  EXPECT_EQ(again.fetch("BrowseWebsites", "SRCFOriginal?Browse:1"), kFormat);
  EXPECT_EQ(again.fetch("BrowseWebsites", "SRCF?Browse:1"), "a=b;c|d \"q\" 'x' ");
  EXPECT_EQ(again.fetchInt("_PreviewWindow_", "Zoom"), 75);
  EXPECT_TRUE(again.has("Main", "Empty"));
  EXPECT_EQ(again.fetch("Main", "Empty", "default"), "");
  // The bookkeeping section names every section written, once each.
  EXPECT_TRUE(again.has("Sectors", "BrowseWebsites"));
  EXPECT_TRUE(again.has("Sectors", "_PreviewWindow_"));
  EXPECT_TRUE(again.has("Sectors", "Main"));
  EXPECT_EQ(readFile(path()).find("[Sectors]"), readFile(path()).rfind("[Sectors]"));
  // Nothing but the file itself is left behind by the atomic writes.
  EXPECT_EQ(folderNames(dir_.path()), std::vector<std::string>{"Linkvue.ini"});
}

TEST_F(IniTest, EveryChangeIsOnDiskAtOnce) {
  ini_.init(path());
  ini_.update("Main", "XPos", 12L);
  pf::IniManager reader;  // as after a halt: no kill ran
  reader.init(path());
  EXPECT_EQ(reader.fetchInt("Main", "XPos"), 12);
}

TEST_F(IniTest, NamesMatchWithoutRegardToCaseAndKeepTheirSpelling) {
  ini_.init(path());
  ini_.update("BrowseWebsites", "SRCF?Browse:1", "one");
  ini_.update("browsewebsites", "srcf?BROWSE:1", "two");  // the same entry
  EXPECT_EQ(ini_.fetch("BROWSEWEBSITES", "Srcf?Browse:1"), "two");
  EXPECT_TRUE(ini_.removeEntry("BrowseWEBSITES", "SRCF?browse:1"));
  EXPECT_FALSE(ini_.has("BrowseWebsites", "SRCF?Browse:1"));
  ini_.update("browsewebsites", "Width", 5L);
  std::string text = readFile(path());
  EXPECT_NE(text.find("[BrowseWebsites]\n"), std::string::npos);  // first spelling kept
  EXPECT_EQ(text.find("[browsewebsites]"), std::string::npos);
}

TEST_F(IniTest, FileNameIsFoundWithoutRegardToCase) {
  writeFile(dir_.file("LINKVUE.INI"), "[Main]\nXPos=3\n");
  ini_.init(".\\Linkvue.ini");  // the program's own spelling of the name
  EXPECT_EQ(ini_.fetchInt("Main", "XPos"), 3);
  ini_.update("Main", "XPos", 4L);
  ini_.kill();
  EXPECT_EQ(folderNames(dir_.path()), std::vector<std::string>{"LINKVUE.INI"});
  EXPECT_NE(readFile(dir_.file("LINKVUE.INI")).find("XPos=4"), std::string::npos);
}

TEST_F(IniTest, ReadingOnlyLeavesNoFileBehind) {
  ini_.init(path());
  EXPECT_EQ(ini_.fetch("Main", "XPos", "none"), "none");
  ini_.kill();
  EXPECT_FALSE(fs::exists(path()));
}

struct DamagedCase {
  const char* name;
  std::string content;
  std::vector<std::pair<std::string, std::string>> present;  // "Section/Entry" -> value
  std::vector<std::string> absent;                           // "Section/Entry"
};

TEST_F(IniTest, DamagedFilesKeepWhatCanBeRead) {
  const std::string garbage("\x00\xff\xfe[Ma\x00in]\n\x01\x02=\x00\x03\n", 17);
  const DamagedCase cases[] = {
      {"binary garbage", garbage + "[Main]\nXPos=1\n" + garbage, {{"Main/XPos", "1"}}, {}},
      {"lines without '='", "[Main]\nnonsense\nXPos=2\n   \n", {{"Main/XPos", "2"}}, {"Main/nonsense"}},
      {"duplicate sections", "[Main]\nXPos=3\n[Other]\nA=1\n[MAIN]\nXPos=9\nYPos=4\n",
       {{"Main/XPos", "3"}, {"Main/YPos", "4"}, {"Other/A", "1"}}, {}},
      {"no final newline", "[Main]\nXPos=5", {{"Main/XPos", "5"}}, {}},
      {"CRLF lines", "[Main]\r\nXPos=6\r\nSRCF?Browse:1=a|b\r\n",
       {{"Main/XPos", "6"}, {"Main/SRCF?Browse:1", "a|b"}}, {}},
      {"entries before any section", "XPos=1\n[Main]\nYPos=7\n", {{"Main/YPos", "7"}}, {"Main/XPos"}},
      {"broken section header", "[Main]\nXPos=8\n[Broken\nYPos=1\n", {{"Main/XPos", "8"}}, {"Main/YPos"}},
      {"byte order mark and comments", "\xEF\xBB\xBF[Main]\n; note\nXPos=9\n", {{"Main/XPos", "9"}}, {}},
      {"empty file", "", {}, {"Main/XPos"}},
  };
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(c.name);
    writeFile(path(), c.content);
    pf::IniManager ini;
    ini.init(path());
    auto split = [](const std::string& key) {
      auto slash = key.find('/');
      return std::pair{key.substr(0, slash), key.substr(slash + 1)};
    };
    for (const auto& [key, value] : c.present) {
      auto [s, e] = split(key);
      EXPECT_EQ(ini.fetch(s, e, "<missing>"), value) << key;
    }
    for (const auto& key : c.absent) {
      auto [s, e] = split(key);
      EXPECT_FALSE(ini.has(s, e)) << key;
    }
    // Writing back gives a clean file that reads the same.
    ASSERT_TRUE(ini.update("Main", "Added", "yes"));
    ini.kill();
    pf::IniManager reread;
    reread.init(path());
    EXPECT_EQ(reread.fetch("Main", "Added"), "yes");
    for (const auto& [key, value] : c.present) {
      auto [s, e] = split(key);
      EXPECT_EQ(reread.fetch(s, e), value) << key;
    }
    EXPECT_EQ(readFile(path()).find('\r'), std::string::npos);
    EXPECT_EQ(readFile(path()).find('\0'), std::string::npos);
  }();
}

TEST_F(IniTest, ChangesKeepTheFilesCommentsAndBlankLines) {
  writeFile(path(), "; mine\n\n[Main]\n; where it stood\nXPos=1\n\n; the size\nWidth=5\n\n[Other]\nA=1\n; end\n");
  ini_.init(path());
  ASSERT_TRUE(ini_.update("Main", "XPos", 2L));
  ASSERT_TRUE(ini_.update("Main", "YPos", 3L));
  ASSERT_TRUE(ini_.removeEntry("Main", "Width"));
  ini_.kill();
  // A removed entry's comments stay, above the entry that follows it.
  EXPECT_EQ(readFile(path()), "; mine\n\n[Main]\n; where it stood\nXPos=2\n\n; the size\nYPos=3\n\n[Other]\nA=1\n"
                              "; end\n\n[Sectors]\nMain=1\n");
}

TEST_F(IniTest, AValueCannotSmuggleInLinesAndBadNamesAreRefused) {
  ini_.init(path());
  EXPECT_TRUE(ini_.update("Search", "Text", "x\n[Main]\nMaximize=Yes"));
  EXPECT_FALSE(ini_.update("Main", "A=B", "1"));
  EXPECT_FALSE(ini_.update("Ma]in", "A", "1"));
  EXPECT_FALSE(ini_.update("", "A", "1"));
  EXPECT_FALSE(ini_.update("Main", "", "1"));
  ini_.kill();
  pf::IniManager again;
  again.init(path());
  EXPECT_EQ(again.fetch("Search", "Text"), "x [Main] Maximize=Yes");
  EXPECT_FALSE(again.hasSection("Main"));
}

TEST_F(IniTest, RemovingASectionTakesItOutOfTheBookkeeping) {
  ini_.init(path());
  ini_.update("Rpt_Visits", "XPos", 1L);
  ini_.update("Main", "XPos", 2L);
  EXPECT_TRUE(ini_.removeSection("RPT_VISITS"));
  ini_.kill();
  pf::IniManager again;
  again.init(path());
  EXPECT_FALSE(again.hasSection("Rpt_Visits"));
  EXPECT_FALSE(again.has("Sectors", "Rpt_Visits"));
  EXPECT_TRUE(again.has("Sectors", "Main"));
  EXPECT_TRUE(again.removeEntry("Nowhere", "Nothing"));  // nothing to do is no failure
}

TEST_F(IniTest, FetchIntFallsBackOnAnythingButANumber) {
  writeFile(path(), "[S]\nA=42\nB= -7 \nC=x\nD=\nE=99999999999\nF=12abc\n");
  ini_.init(path());
  const std::pair<const char*, int> cases[] = {{"A", 42}, {"B", -7}, {"C", -1}, {"D", -1},
                                               {"E", -1}, {"F", -1}, {"Missing", -1}};
  for (const auto& [entry, want] : cases) EXPECT_EQ(ini_.fetchInt("S", entry, -1), want) << entry;
}

struct PlacementCase {
  const char* name;
  pf::WindowPlacement saved;
  std::string entries;  // the section as written
};

TEST_F(IniTest, WindowPlacementRoundTrips) {
  auto place = [](bool max, bool min, bool resizable) {
    pf::WindowPlacement p;
    p.maximized = max;
    p.minimized = min;
    p.resizable = resizable;
    p.x = 10;
    p.y = 20;
    p.width = 300;
    p.height = 200;
    return p;
  };
  const PlacementCase cases[] = {
      {"normal, resizable", place(false, false, true),
       "Maximize=No\nMinimize=No\nXPos=10\nYPos=20\nWidth=300\nHeight=200\n"},
      {"normal, fixed size", place(false, false, false), "Maximize=No\nMinimize=No\nXPos=10\nYPos=20\n"},
      {"maximised", place(true, false, true), "Maximize=Yes\nMinimize=No\n"},
      {"minimised", place(false, true, true), "Maximize=No\nMinimize=Yes\n"},
  };
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(c.name);
    fs::remove(path());
    pf::IniManager ini;
    ini.init(path());
    // A window once normal and resizable leaves entries that must go when they no longer apply.
    ini.saveWindow("UpdateWebsites", place(false, false, true));
    ini.saveWindow("UpdateWebsites", c.saved);
    std::string text = readFile(path());
    EXPECT_EQ(text.substr(0, text.find("\n[")), "[UpdateWebsites]\n" + c.entries);

    pf::IniManager again;
    again.init(path());
    pf::WindowPlacement got;
    got.resizable = c.saved.resizable;
    ASSERT_TRUE(again.restoreWindow("updatewebsites", got));
    bool normal = !c.saved.maximized && !c.saved.minimized;
    EXPECT_EQ(got.maximized, c.saved.maximized);
    EXPECT_EQ(got.minimized, c.saved.minimized);
    EXPECT_EQ(got.x, normal ? c.saved.x : std::nullopt);
    EXPECT_EQ(got.width, normal && c.saved.resizable ? c.saved.width : std::nullopt);
  }();
}

TEST_F(IniTest, RestoringKeepsTheDesignWhereTheFileHasNothingUsable) {
  writeFile(path(), "[Win_About]\nMaximize=No\nWidth=0\nHeight=-4\nXPos=abc\nYPos=5\n");
  ini_.init(path());
  pf::WindowPlacement p;
  p.resizable = true;
  p.x = 1;
  p.width = 338;
  p.height = 145;
  EXPECT_FALSE(ini_.restoreWindow("Main", p));  // no section: untouched
  EXPECT_EQ(p.x, 1);
  ASSERT_TRUE(ini_.restoreWindow("Win_About", p));
  EXPECT_EQ(p.x, 1);  // unreadable: the design stays
  EXPECT_EQ(p.y, 5);
  EXPECT_EQ(p.width, 338);
  EXPECT_EQ(p.height, 145);
}

}  // namespace
