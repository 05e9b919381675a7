// The splitter bar: its limits, the drag, the cursor, and the browse's bar between the
// list and the notes.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "platform/classes/splitter_bar.h"
#include "platform/ui/layout.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"
#include "tests/sites/sites_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

struct Geometry {
  int y, h;
};
Geometry geometry(pf::Window& w, const std::string& control) {
  int f = w.feq(control);
  return {static_cast<int>(w.propInt(f, pf::Prop::Ypos)), static_cast<int>(w.propInt(f, pf::Prop::Height))};
}

// A window 100 high: ?TOP 10..50, a bar of 2 at 52, ?BOT 56..86.
constexpr const char* SplitLayout = R"(window SplitTest plain "Split" size 100,100 resize
  list ?TOP at 0,10 size 100,40 format "100L(2)|M~A~@s20@"
  region ?BAR at 0,52 size 100,2 drag "S" cursor "SizeNS"
  list ?BOT at 0,56 size 100,30 format "100L(2)|M~A~@s20@"
end
)";

struct SplitWindow {
  std::uint8_t moveAbove = 0, moveBelow = 0;
  pf::SplitterBar split;
  void operator()() {
    pf::Window w("SplitTest");
    w.open();
    split.SplitterInit(w, 0);
    int bar = split.SplitterAddBar(w.feq("?BAR"));
    split.SplitterAddAbove(bar, w.feq("?TOP"), moveAbove, moveAbove ? 0 : 1);
    split.SplitterAddBelow(bar, w.feq("?BOT"), moveBelow, moveBelow ? 0 : 1);
    while (w.accept()) {
    }
    split.SplitterKill();
  }
};

class SplitterTest : public ::testing::Test {
 protected:
  void SetUp() override { pf::registerLayout("SplitTest", SplitLayout); }
  qbtest::TempDir dir;
  pf::TestDriver d;
};

TEST_F(SplitterTest, ResizedNeighboursKeepTheEdgeBuffer) {
  SplitWindow s;
  d.start([&] { s(); });
  pf::Window& w = d.window("SplitTest");
  // Far up: the top list keeps 5; far down: the bottom list keeps 5.
  d.drag("?BAR", 10, 1, 0, -200);
  EXPECT_EQ(s.split.MINIMUMPOS, 17);
  EXPECT_EQ(s.split.MAXIMUMPOS, 77);
  EXPECT_EQ(geometry(w, "?BAR").y, 17);
  EXPECT_EQ(geometry(w, "?TOP").h, 5);
  EXPECT_EQ(geometry(w, "?BOT").y, 21);
  EXPECT_EQ(geometry(w, "?BOT").h, 65);
  d.drag("?BAR", 10, 1, 0, 200);
  EXPECT_EQ(geometry(w, "?BAR").y, 77);
  EXPECT_EQ(geometry(w, "?TOP").h, 65);
  EXPECT_EQ(geometry(w, "?BOT").y, 81);
  EXPECT_EQ(geometry(w, "?BOT").h, 5);
  EXPECT_EQ(s.split.MOVINGSPLIT, 0);
}

TEST_F(SplitterTest, MovedNeighboursKeepTheirHeight) {
  SplitWindow s;
  s.moveAbove = s.moveBelow = 1;
  d.start([&] { s(); });
  pf::Window& w = d.window("SplitTest");
  d.drag("?BAR", 10, 0, 0, -3);
  EXPECT_EQ(s.split.MINIMUMPOS, 47);
  EXPECT_EQ(s.split.MAXIMUMPOS, 59);
  EXPECT_EQ(geometry(w, "?BAR").y, 49);
  EXPECT_EQ(geometry(w, "?TOP").y, 7);
  EXPECT_EQ(geometry(w, "?TOP").h, 40);
  EXPECT_EQ(geometry(w, "?BOT").y, 53);
  EXPECT_EQ(geometry(w, "?BOT").h, 30);
}

TEST_F(SplitterTest, PointerOffsetCursorAndOverlay) {
  SplitWindow s;
  d.start([&] { s(); });
  pf::Window& w = d.window("SplitTest");
  int bar = w.feq("?BAR");
  EXPECT_EQ(w.propText(bar, pf::Prop::Cursor), "SizeNS");
  // Pressed one unit below the bar's top (its height is 2).
  w.userMouse(bar, pf::EVENT::MouseDown, 10, 53);
  d.idle();
  EXPECT_EQ(d.cursor(), "");
  w.userMouse(bar, pf::EVENT::MouseMove, 10, 43);
  d.idle();
  EXPECT_EQ(d.cursor(), "SizeNS");
  EXPECT_EQ(s.split.POINTERBAROFFSET, 1);
  EXPECT_EQ(geometry(w, "?BAR").y, 42);
  EXPECT_EQ(geometry(w, "?TOP").h, 40);   // the neighbours wait for the release
  EXPECT_TRUE(w.hidden(s.split.OVERLAYBOXFEQ));
  EXPECT_EQ(w.propInt(s.split.OVERLAYBOXFEQ, pf::Prop::Ypos), 42);
  w.userMouse(bar, pf::EVENT::MouseUp, 10, 43);
  d.idle();
  EXPECT_EQ(d.cursor(), "");
  EXPECT_EQ(geometry(w, "?TOP").h, 30);
  EXPECT_EQ(geometry(w, "?BOT").y, 46);
  EXPECT_EQ(geometry(w, "?BOT").h, 40);
  EXPECT_FALSE(w.hidden(bar));
  // Moves and releases while idle change nothing.
  w.userMouse(bar, pf::EVENT::MouseMove, 10, 70);
  d.idle();
  EXPECT_EQ(geometry(w, "?BAR").y, 42);
}

TEST_F(SplitterTest, NoRoomHoldsTheBar) {
  SplitWindow s;
  d.start([&] { s(); });
  pf::Window& w = d.window("SplitTest");
  w.setProp(0, pf::Prop::Height, 25);
  d.drag("?BAR", 10, 0, 0, 10);
  EXPECT_LE(s.split.MAXIMUMPOS, s.split.MINIMUMPOS);
  EXPECT_EQ(geometry(w, "?BAR").y, s.split.MINIMUMPOS);
}

class BrowseSplitTest : public qbtest::SitesTest {};

TEST_F(BrowseSplitTest, TheDesignedLimitsAndTheResizerAfterADrag) {
  qbtest::addSites({{"Paper", "http://p.example", "News"}});
  openBrowse();
  pf::Window& w = d.window("BrowseWebsites");
  ASSERT_EQ(geometry(w, "?HSPLIT").y, 230);
  d.drag("?HSPLIT", 100, 1, 0, -400);
  EXPECT_EQ(geometry(w, "?HSPLIT").y, 27);
  EXPECT_EQ(geometry(w, "?BROWSE:1").h, 5);
  d.drag("?HSPLIT", 100, 1, 0, 400);
  EXPECT_EQ(geometry(w, "?HSPLIT").y, 275);
  EXPECT_EQ(geometry(w, "?WEB:SITENOTES").y, 281);
  EXPECT_EQ(geometry(w, "?WEB:SITENOTES").h, 5);

  // Pressed 2 below the top: the bar keeps that distance to the pointer.
  d.drag("?HSPLIT", 100, 2, 0, -65);
  EXPECT_EQ(geometry(w, "?HSPLIT").y, 210);
  EXPECT_EQ(geometry(w, "?BROWSE:1").h, 188);
  EXPECT_EQ(geometry(w, "?WEB:SITENOTES").y, 216);
  EXPECT_EQ(geometry(w, "?WEB:SITENOTES").h, 70);

  // A larger window grows from the layout the user chose.
  d.resizeWindow(439, 428, "BrowseWebsites");
  EXPECT_EQ(geometry(w, "?HSPLIT").y, 310);
  EXPECT_EQ(geometry(w, "?BROWSE:1").h, 288);
  EXPECT_EQ(geometry(w, "?WEB:SITENOTES").y, 316);
  d.click("?CLOSE", "BrowseWebsites");
}

// Whatever the size and wherever the bar, every control shows whole in the window, none
// covers another, and the tabs' frame ends at the bar.
TEST_F(BrowseSplitTest, EverySizeKeepsTheControlsApart) {
  qbtest::addSites({{"Paper", "http://p.example", "News"}});
  openBrowse();
  pf::Window& w = d.window("BrowseWebsites");
  struct Case {
    const char* what;
    int barMove, width, height;
  };
  const Case cases[] = {
      {"designed", 0, 439, 328},       {"maximised", 0, 900, 600},   {"smallest", 0, 419, 250},
      {"bar up, maximised", -60, 900, 600}, {"bar down, maximised", 30, 900, 600},
      {"bar up, designed", -60, 439, 328},
  };
  auto box = [&](const pf::Control& c) {
    return std::array<int, 4>{c.x, c.y, c.x + c.w, c.y + c.h};
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    d.resizeWindow(439, 328, "BrowseWebsites");
    if (k.barMove) d.drag("?HSPLIT", 100, 1, 0, k.barMove);
    d.resizeWindow(k.width, k.height, "BrowseWebsites");
    // The window grows no smaller than its controls allow.
    const int width = static_cast<int>(w.propInt(0, pf::Prop::Width));
    const int height = static_cast<int>(w.propInt(0, pf::Prop::Height));
    EXPECT_GE(width, k.width);
    EXPECT_GE(height, k.height);
    std::vector<const pf::Control*> shown;
    for (const pf::Control& c : w.controls())
      if (c.feq > 0 && w.visible(c.feq) && c.kind != pf::Kind::Sheet && c.kind != pf::Kind::Tab)
        shown.push_back(&c);
    for (const pf::Control* c : shown) {
      auto a = box(*c);
      EXPECT_TRUE(a[0] >= 0 && a[1] >= 0 && a[2] <= width && a[3] <= height) << c->name;
      for (const pf::Control* o : shown) {
        auto b = box(*o);
        if (o != c && a[0] < b[2] && b[0] < a[2] && a[1] < b[3] && b[1] < a[3])
          ADD_FAILURE() << c->name << " covers " << o->name;
      }
    }
    EXPECT_LE(geometry(w, "?CURRENTTAB").y + geometry(w, "?CURRENTTAB").h, geometry(w, "?HSPLIT").y);
    EXPECT_GT(geometry(w, "?LOC:RECORDCOUNT").y, geometry(w, "?WEB:SITENOTES").y);
  }
  d.click("?CLOSE", "BrowseWebsites");
}

}  // namespace
