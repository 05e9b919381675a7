// The About window, its link, and the licence agreement in the text viewer.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/ui/keys.h"
#include "platform/ui/ui.h"
#include "shell/about.h"
#include "tests/shell/password/shell_fixture.h"

namespace qbtest {
namespace {

class AboutTest : public ShellTest {
 protected:
  void writeLicence(const std::vector<std::string>& lines) {
    std::ofstream out("ViewLic.txt", std::ios::binary);
    for (const auto& l : lines) out << l << "\r\n";
  }
  static std::vector<std::string> numberedLines(int n) {
    std::vector<std::string> out;
    for (int i = 1; i <= n; ++i) out.push_back("Line " + std::to_string(i));
    return out;
  }
  void openLicence(pf::TestDriver& d) {
    d.choose("?ABOUTABOUT");
    ASSERT_EQ(d.window().name(), "Win_About");
    d.click("?BUTTON3");
  }
  static std::vector<std::string> shown(pf::TestDriver& d) {
    std::vector<std::string> out;
    for (const auto& r : d.rows("?ASCIIBOX", "ViewLicence")) out.push_back(r.empty() ? std::string() : r[0]);
    return out;
  }
  static std::string selectedText(pf::TestDriver& d) {
    int row = d.selected("?ASCIIBOX", "ViewLicence");
    auto rows = shown(d);
    return row >= 1 && row <= static_cast<int>(rows.size()) ? rows[row - 1] : std::string();
  }
  // Right mouse button on the list; the popup is left open.
  static void rightClick(pf::TestDriver& d) {
    d.focus("?ASCIIBOX");
    d.press("MouseRight");
    ASSERT_NE(d.box(), nullptr);
    ASSERT_EQ(d.box()->kind, pf::DialogKind::Popup);
  }
};

TEST_F(AboutTest, LinkOpensTheAuthorsWebsiteOnlyFromTheAddress) {
  pf::TestDriver d;
  runProgram(d, [&] {
    d.choose("?ABOUTABOUT");
    ASSERT_EQ(d.window().caption(), "About Quillbox  -  Version 1.40");
    EXPECT_EQ(d.text("?QZWEBURL"), qb::AuthorWebsite);
    const pf::Control* area = d.window().control(qb::AboutLinkArea);
    const pf::Control* url = d.window().control(d.feq("?QZWEBURL"));
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(area->kind, pf::Kind::Region);
    EXPECT_EQ(area->cursor, "~hand.cur");
    EXPECT_EQ(std::vector<int>({area->x, area->y, area->w, area->h}),
              std::vector<int>({url->x, url->y, url->w, url->h}));
    d.click("?PROMPT1:2");
    EXPECT_TRUE(shell.opened.empty());
    d.click(std::to_string(qb::AboutLinkArea));
    EXPECT_EQ(shell.opened, std::vector<std::string>{qb::AuthorWebsite});
    EXPECT_EQ(d.window().name(), "Win_About") << "the window stays open";
    d.click("?BUTTON1");
    EXPECT_FALSE(isOpen(d, "Win_About"));
  });
  EXPECT_EQ(GLO_Win_AboutThread, 0);
}

TEST_F(AboutTest, LicenceOpensFromAboutAndReturnsToIt) {
  writeLicence({"Quillbox Licence Agreement", "", "Permission is hereby granted"});
  pf::TestDriver d;
  runProgram(d, [&] {
    openLicence(d);
    ASSERT_EQ(d.window().name(), "ViewLicence");
    EXPECT_EQ(d.window().caption(), "Licence Agreement");
    EXPECT_EQ(shown(d), (std::vector<std::string>{"Quillbox Licence Agreement", "", "Permission is hereby granted"}));
    EXPECT_FALSE(d.window("Win_About").takesInput()) << "About waits for the licence";
    d.click("?CLOSE");
    EXPECT_FALSE(isOpen(d, "ViewLicence"));
    ASSERT_EQ(d.window().name(), "Win_About");
    // Again: the file is read afresh from its first line and the list is as designed.
    writeLicence({"Changed"});
    d.click("?BUTTON3");
    EXPECT_EQ(shown(d), std::vector<std::string>{"Changed"});
    d.press("Esc");
    EXPECT_EQ(d.window().name(), "Win_About");
  });
}

TEST_F(AboutTest, LicenceFileMissingOrEmpty) {
  {
    pf::TestDriver d;
    runProgram(d, [&] {
      openLicence(d);
      ASSERT_NE(d.box(), nullptr);
      EXPECT_EQ(d.box()->message.caption, "File Load Error");
      EXPECT_EQ(d.box()->message.text.rfind("ViewLic.txt File Load Error.  Error: ", 0), 0u)
          << d.box()->message.text;
      d.answer(1);
      EXPECT_FALSE(isOpen(d, "ViewLicence"));
      EXPECT_EQ(d.window().name(), "Win_About");
      EXPECT_TRUE(d.window().takesInput());
    });
  }
  writeLicence({});
  pf::TestDriver d;
  runProgram(d, [&] {
    openLicence(d);
    ASSERT_EQ(d.window().name(), "ViewLicence");
    EXPECT_TRUE(shown(d).empty());
    d.press("Ctrl+PgDn");
    EXPECT_TRUE(shown(d).empty());
  });
}

TEST_F(AboutTest, LongLinesWrapIntoRowsAtAWord) {
  std::string longLine;
  for (int i = 0; i < 60; ++i) longLine += "word" + std::to_string(i) + " ";
  longLine += "ünïcödé end";
  ASSERT_GT(longLine.size(), 255u);
  writeLicence({"short", longLine, "after"});
  pf::TestDriver d;
  runProgram(d, [&] {
    openLicence(d);
    std::size_t cut = longLine.rfind(' ', 254) + 1;
    EXPECT_EQ(shown(d), (std::vector<std::string>{"short", longLine.substr(0, cut - 1),
                                                  longLine.substr(cut), "after"}));
  });
}

TEST_F(AboutTest, ScrollingReadsThePageInView) {
  writeLicence(numberedLines(500));
  pf::TestDriver d;
  runProgram(d, [&] {
    openLicence(d);
    auto rows = shown(d);
    int page = static_cast<int>(rows.size());
    ASSERT_GT(page, 5);
    ASSERT_LT(page, 500) << "only the lines in view are in the list";
    EXPECT_EQ(rows.front(), "Line 1");
    d.focus("?ASCIIBOX");
    d.press("Ctrl+PgDn");
    EXPECT_EQ(shown(d).back(), "Line 500");
    EXPECT_EQ(static_cast<int>(shown(d).size()), page);
    EXPECT_EQ(selectedText(d), "Line 500");
    d.press("Ctrl+PgUp");
    EXPECT_EQ(shown(d).front(), "Line 1");
    d.press("PgDn");
    EXPECT_EQ(shown(d).front(), "Line " + std::to_string(page + 1));
    d.press("PgUp");
    EXPECT_EQ(shown(d).front(), "Line 1");
    d.clickRow("?ASCIIBOX", page);
    d.press("Down");
    EXPECT_EQ(shown(d).front(), "Line 2") << "a line down at the bottom row scrolls one line";
    d.press("Ctrl+End");
    EXPECT_EQ(shown(d).back(), "Line 500");
    d.press("Ctrl+Home");
    EXPECT_EQ(shown(d).front(), "Line 1");
    d.scroll("?ASCIIBOX", pf::EVENT::ScrollDrag, 100);
    EXPECT_EQ(shown(d).back(), "Line 500");
    d.scroll("?ASCIIBOX", pf::EVENT::ScrollDrag, 50);
    EXPECT_EQ(shown(d).front(), "Line " + std::to_string(1 + (500 - page) / 2));
    // The popup's Move items.
    for (auto [item, first] : std::vector<std::pair<std::string, std::string>>{
             {"Bottom", "Line " + std::to_string(500 - page + 1)},
             {"&Top", "Line 1"},
             {"Page &Down", "Line " + std::to_string(page + 1)},
             {"Page &Up", "Line 1"}}) {
      rightClick(d);
      d.answer(item);
      EXPECT_EQ(shown(d).front(), first) << item;
    }
  });
}

TEST_F(AboutTest, PopupOffersFindButNotPrint) {
  writeLicence(numberedLines(3));
  pf::TestDriver d;
  runProgram(d, [&] {
    openLicence(d);
    rightClick(d);
    auto items = pf::popupItems(d.box()->message.text);
    std::vector<std::string> enabled, greyed;
    for (const auto& it : items)
      if (it.number) (it.disabled ? greyed : enabled).push_back(it.text);
    EXPECT_EQ(enabled, (std::vector<std::string>{"&Find", "&Top", "Page &Up", "Page &Down", "Bottom", "&Goto"}));
    EXPECT_EQ(greyed, std::vector<std::string>{"&Print"});
    d.answer("&Print");
    EXPECT_EQ(d.window().name(), "ViewLicence") << "a greyed item does nothing";
    EXPECT_EQ(d.box(), nullptr);
  });
}

TEST_F(AboutTest, FindSearchesFromTheSelectedLine) {
  writeLicence({"alpha", "Apple pie", "banana", "apple tree", "cherry", "APPLE juice"});
  struct Case {
    const char* what;
    bool matchCase;
    bool up;
    int selectedRow;   // 0: none
    std::vector<std::string> found;   // each Next in turn; "" not found
  };
  const Case cases[] = {
      {"apple", false, false, 0, {"Apple pie", "apple tree", "APPLE juice", ""}},
      {"apple", true, false, 0, {"apple tree", ""}},
      {"apple", false, true, 6, {"apple tree", "Apple pie", ""}},
      {"APPLE", true, true, 5, {""}},
      {"APPLE", true, false, 5, {"APPLE juice"}},
      {"kiwi", false, false, 0, {""}},
  };
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(std::string(c.what) + (c.matchCase ? " case" : "") + (c.up ? " up" : " down"));
    resetShellGlobals();
    pf::TestDriver d;
    runProgram(d, [&] {
      openLicence(d);
      if (c.selectedRow) d.clickRow("?ASCIIBOX", c.selectedRow);
      rightClick(d);
      d.answer("&Find");
      ASSERT_EQ(d.window().caption(), "Find");
      d.type("?FindWhat", c.what);
      d.check("?MatchCase", c.matchCase);
      d.pick("?Direction", c.up ? "Up" : "Down");
      for (const auto& expected : c.found) {
        d.click("?Next");
        if (expected.empty()) {
          ASSERT_NE(d.box(), nullptr) << "expected the end of the search";
          d.answer(1);
        } else {
          EXPECT_EQ(d.box(), nullptr);
          EXPECT_EQ(selectedText(d), expected);
        }
      }
      d.click("?Cancel");
      EXPECT_EQ(d.window().name(), "ViewLicence");
    });
  }();
}

TEST_F(AboutTest, GotoShowsTheLineAskedFor) {
  writeLicence(numberedLines(300));
  struct Case {
    const char* line;
    const char* selected;
  };
  const Case cases[] = {{"150", "Line 150"}, {"300", "Line 300"}, {"9999", "Line 300"}, {"1", "Line 1"}};
  pf::TestDriver d;
  runProgram(d, [&] {
    openLicence(d);
    for (const auto& c : cases) [&] {
      SCOPED_TRACE(c.line);
      rightClick(d);
      d.answer("&Goto");
      ASSERT_EQ(d.window().caption(), "Goto");
      d.type("?LineNo", c.line);
      d.click("?Go");
      ASSERT_EQ(d.window().name(), "ViewLicence");
      EXPECT_EQ(selectedText(d), c.selected);
    }();
    rightClick(d);
    d.answer("&Goto");
    d.type("?LineNo", "abc");
    d.click("?Go");
    EXPECT_EQ(d.window().caption(), "Goto") << "not a line number: the dialog stays";
    d.click("?Cancel");
    EXPECT_EQ(selectedText(d), "Line 1");
  });
}

}  // namespace
}  // namespace qbtest
