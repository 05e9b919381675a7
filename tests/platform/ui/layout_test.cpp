#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/ui/keys.h"
#include "platform/ui/layout.h"
#include "platform/ui/window.h"

namespace {

const char* kLayout = R"(# a small form
window Form mdi "Edit \"thing\"" at 10,20 size 200,100 resize min 150,80 status -1,40 timer 50
  menubar
    menu ?FILE "&File"
      item ?SAVE "&Save" key Ctrl+S msg "Save it"
      separator
      item ?QUIT "E&xit"
    end
  end
  toolbar height 20
    button ?TB "Go" at 2,2 size 30,16
  end
  prompt ?NAME:PROMPT "&Name:" at 5,5 size 30,10
  entry ?LOC:NAME at 40,5 size 100,10 picture "@s20" tip "Your name\nor initials" alert F12
  list ?PICK at 5,20 size 80,30 drop 5 format "80L(2)|M@s20@" from "a|b|c"
  sheet ?SHEET at 0,50 size 200,40
    tab ?T1 "One"
      check ?FLAG "Flag" at 5,60 size 40,10 values "Y" "N"
    end
    tab ?T2 "Two" hide
    end
  end
  button ?OK "&OK" at 150,85 size 40,12 default
end
)";

TEST(Layout, ParsesWindowAndNumbersControlsInOrder) {
  pf::Layout l = pf::parseLayout(kLayout);
  EXPECT_EQ(l.window.name, "Form");
  EXPECT_EQ(l.window.kind, pf::WindowKind::MdiChild);
  EXPECT_EQ(l.window.caption, "Edit \"thing\"");
  EXPECT_EQ(l.window.w, 200);
  EXPECT_TRUE(l.window.resizable);
  EXPECT_EQ(l.window.minW, 150);
  EXPECT_EQ(l.window.timer, 50);
  EXPECT_EQ(l.window.statusWidths, (std::vector<int>{-1, 40}));
  EXPECT_EQ(l.window.toolbarHeight, 20);

  pf::Window w(l);
  // Menus and the toolbar count down from -1; the window's controls up from 1.
  EXPECT_EQ(w.feq("?FILE"), -2);
  EXPECT_EQ(w.feq("?SAVE"), -3);
  EXPECT_EQ(w.feq("?QUIT"), -5);
  EXPECT_EQ(w.feq("?TB"), -7);
  EXPECT_EQ(w.feq("?NAME:PROMPT"), 1);
  EXPECT_EQ(w.feq("?loc:name"), 2);   // letter case ignored
  EXPECT_EQ(w.feq("?OK"), 8);
  EXPECT_EQ(w.feq("?NOPE"), 0);

  const pf::Control* save = w.control(w.feq("?SAVE"));
  EXPECT_EQ(save->parent, w.feq("?FILE"));
  EXPECT_EQ(save->key, pf::parseKey("Ctrl+S"));
  EXPECT_TRUE(w.control(-4)->separator);

  const pf::Control* name = w.control(2);
  EXPECT_EQ(name->use, "LOC:NAME");
  EXPECT_EQ(name->picture, "@s20");
  EXPECT_EQ(name->tip, "Your name\nor initials");   // a tip of two lines
  EXPECT_EQ(name->alerts, (std::vector<int>{pf::Key::F12}));

  const pf::Control* pick = w.control(w.feq("?PICK"));
  EXPECT_EQ(pick->kind, pf::Kind::DropList);   // a list with a drop part
  EXPECT_EQ(pick->rows.size(), 3u);

  const pf::Control* flag = w.control(w.feq("?FLAG"));
  EXPECT_EQ(flag->parent, w.feq("?T1"));
  EXPECT_EQ(flag->valueOn, "Y");
  EXPECT_EQ(flag->valueOff, "N");
  EXPECT_EQ(w.choice(w.feq("?SHEET")), 1);
  EXPECT_TRUE(w.hidden(w.feq("?T2")));
}

TEST(Layout, ErrorsNameTheLine) {
  struct Case {
    const char* text;
    int line;
    const char* says;
  };
  const Case cases[] = {
      {"entry ?A at 1,1", 1, "first statement must be the window"},
      {"window W plain\n  entry ?A at 1", 2, "two numbers"},
      {"window W plain\n  entry ?A colour 3", 2, "unknown attribute: colour"},
      {"window W plain\n  gadget ?A", 2, "unknown kind"},
      {"window W plain\n  entry ?A tip \"open", 2, "unclosed text"},
      {"window W plain\n  sheet ?S\n  tab ?T\n", 4, "not closed"},
      {"window W plain\n  item ?I \"x\"", 2, "inside a menubar"},
      {"window W plain\n  radio ?R", 2, "inside an option"},
      {"window W sideways", 1, "frame, mdi or plain"},
      {"window W plain\nend\nentry ?A", 3, "after the window's end"},
      {"window W plain\n  entry ?A key F13", 2, "unknown key"},
  };
  for (const auto& c : cases) {
    try {
      pf::parseLayout(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const pf::LayoutError& e) {
      EXPECT_EQ(e.line, c.line) << c.text;
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
    }
  }
}

// A leading zero is not octal: designs write coordinates as they line them up.
TEST(Layout, NumbersAreDecimalOrHex) {
  const std::pair<const char*, int> cases[] = {{"8", 8}, {"010", 10}, {"0", 0}, {"0x10", 16}, {"0X1f", 31}};
  for (const auto& [text, value] : cases) {
    SCOPED_TRACE(text);
    pf::Layout l = pf::parseLayout(std::string("window W plain\n  entry ?A at ") + text + ",1 size 5,5\n");
    EXPECT_EQ(l.controls.at(0).x, value);
  }
}

TEST(Layout, RegisteredLayoutsAreFoundByProcedureName) {
  pf::registerLayout("TinyProc", "window TinyProc plain \"Tiny\"\n  button ?OK \"OK\"\n");
  ASSERT_TRUE(pf::hasLayout("tinyproc"));
  pf::Window w("TINYPROC");
  EXPECT_EQ(w.caption(), "Tiny");
  EXPECT_THROW(pf::Window("NoSuchProcedure"), pf::LayoutError);
}

// Every layout the program carries must build a window.
TEST(Layout, EveryEmbeddedLayoutParses) {
  for (const auto& name : pf::layoutNames()) {
    SCOPED_TRACE(name);
    EXPECT_NO_THROW({ pf::Window w(name); });
  }
}

}  // namespace
