#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/core/dates.h"
#include "platform/core/field.h"
#include "platform/ui/keys.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/ui.h"
#include "tests/platform/ui/ui_test_util.h"

namespace {

using pf::EVENT::Accepted;
using uitest::Recorder;
using V = std::vector<std::string>;

const char* kForm = R"(
window Form plain "Form" size 200,100
  prompt ?NAME:PROMPT "&Name:" at 5,5 size 30,10
  entry ?LOC:NAME at 40,5 size 100,10 picture "@s20" msg "Type a name"
  entry ?LOC:AGE at 40,20 size 30,10 picture "@n3"
  check ?LOC:FLAG "Flag" at 40,35 size 50,10
  option ?LOC:COLOR "Colour" at 40,50 size 100,20
    radio ?RED " Red" at 45,55 size 20,10 value "1"
    radio ?BLUE " Blue" at 70,55 size 20,10 value "2"
  end
  button ?OK "&OK" at 100,80 size 40,14 default
  button ?CANCEL "&Cancel" at 150,80 size 40,14
end
)";

struct FormVars {
  pf::String<20> name;
  std::int32_t age = 0;
  std::uint8_t flag = 0;
  std::uint8_t color = 1;
};

class FormTest : public ::testing::Test {
 protected:
  pf::TestDriver d;
  Recorder rec;
  FormVars v;
  // What the procedure does with each event, besides writing it down.
  std::function<void(pf::Window&)> react;
  // The value of LOC:NAME when the procedure saw the Accepted of the name.
  std::string nameSeenOnAccept;

  void startForm() {
    pf::registerLayout("Form", kForm);
    d.start([this] {
      pf::Window w("Form");
      w.bind("LOC:NAME", pf::use(v.name));
      w.bind("LOC:AGE", pf::use(v.age));
      w.bind("LOC:FLAG", pf::use(v.flag));
      w.bind("LOC:COLOR", pf::use(v.color));
      uitest::runWindow(w, rec, [this](pf::Window& win) {
        if (win.event() == Accepted && win.field() == win.feq("?LOC:NAME")) nameSeenOnAccept = v.name.clip();
        if (react) react(win);
      });
    });
  }
};

TEST_F(FormTest, OpeningGivesOpenWindowThenTheFirstFocusableControl) {
  v.name = "Ann";
  startForm();
  EXPECT_EQ(rec.log, (V{"OpenWindow", "Selected ?LOC:NAME"}));
  EXPECT_EQ(d.focused(), "?LOC:NAME");
  EXPECT_EQ(d.text("?LOC:NAME"), "Ann");   // the variable is shown when the window opens
  EXPECT_EQ(d.windows().at(0).caption, "Form");
}

TEST_F(FormTest, LeavingAnEditedEntryTakesTheTextBeforeAccepted) {
  startForm();
  rec.clear();
  d.type("?LOC:NAME", "Bob");
  EXPECT_TRUE(rec.log.empty()) << "typing alone tells the procedure nothing";
  d.press("Tab");
  EXPECT_EQ(rec.log, (V{"Accepted ?LOC:NAME", "Selected ?LOC:AGE"}));
  EXPECT_EQ(nameSeenOnAccept, "Bob");
  rec.clear();
  d.press("Tab");   // nothing edited: only the focus moves
  EXPECT_EQ(rec.log, (V{"Selected ?LOC:FLAG"}));
  d.press("Shift+Tab");
  EXPECT_EQ(d.focused(), "?LOC:AGE");
}

TEST_F(FormTest, ClickingAButtonAcceptsTheEditedEntryFirst) {
  startForm();
  rec.clear();
  d.type("?LOC:NAME", "Cy");
  d.click("?OK");
  EXPECT_EQ(rec.log, (V{"Accepted ?LOC:NAME", "Selected ?OK", "Accepted ?OK"}));
}

TEST_F(FormTest, AProcedureThatRefusesTheEntryStopsTheClick) {
  react = [](pf::Window& w) {
    if (w.event() == Accepted && w.field() == w.feq("?LOC:NAME")) w.select(w.feq("?LOC:NAME"));
  };
  startForm();
  rec.clear();
  d.type("?LOC:NAME", "x");
  d.click("?OK");
  EXPECT_EQ(rec.log, (V{"Accepted ?LOC:NAME", "Selected ?LOC:NAME"}));
  EXPECT_EQ(d.focused(), "?LOC:NAME");
}

TEST_F(FormTest, NumbersGoThroughThePictureAndBadTextIsRejected) {
  startForm();
  d.enter("?LOC:AGE", "42");
  EXPECT_EQ(v.age, 42);
  EXPECT_EQ(d.text("?LOC:AGE"), "42");
  d.type("?LOC:AGE", "4x2");
  rec.clear();
  d.press("Tab");
  EXPECT_EQ(v.age, 42);   // unchanged
  EXPECT_EQ(rec.log, (V{"Rejected ?LOC:AGE"}));
  EXPECT_EQ(d.focused(), "?LOC:AGE") << "a refused entry keeps the focus";
}

TEST_F(FormTest, ChecksAndRadiosSetTheirVariablesAndAreAccepted) {
  startForm();
  rec.clear();
  d.click("?LOC:FLAG");
  EXPECT_EQ(v.flag, 1);
  EXPECT_EQ(rec.log, (V{"Selected ?LOC:FLAG", "Accepted ?LOC:FLAG"}));
  d.check("?LOC:FLAG", false);
  EXPECT_EQ(v.flag, 0);
  rec.clear();
  d.pick("?LOC:COLOR", "Blue");
  EXPECT_EQ(v.color, 2);
  EXPECT_EQ(rec.log, (V{"Selected ?BLUE", "Accepted ?LOC:COLOR"}));
  EXPECT_EQ(d.selected("?LOC:COLOR"), 2);
  EXPECT_TRUE(d.checked("?BLUE"));
  EXPECT_FALSE(d.checked("?RED"));
}

TEST_F(FormTest, EnterPressesTheDefaultButton) {
  startForm();
  rec.clear();
  d.type("?LOC:NAME", "Di");
  d.press("Enter");
  EXPECT_EQ(rec.log, (V{"Accepted ?LOC:NAME", "Selected ?OK", "Accepted ?OK"}));
}

TEST_F(FormTest, EscClosesUnlessTheProcedureCycles) {
  int refusals = 1;
  react = [&refusals](pf::Window& w) {
    if (w.event() == pf::EVENT::CloseWindow && refusals > 0) {
      --refusals;
      w.cycle();
    }
  };
  startForm();
  rec.clear();
  d.press("Esc");
  EXPECT_EQ(rec.log, (V{"CloseWindow"}));
  ASSERT_EQ(d.windows().size(), 1u) << "a cycled close keeps the window";
  d.closeBox();
  EXPECT_TRUE(d.windows().empty());
}

TEST_F(FormTest, EscTellsItsKey) {
  int key = -1;
  react = [&key](pf::Window& w) {
    if (w.event() == pf::EVENT::CloseWindow) key = w.keyCode();
  };
  startForm();
  d.press("Esc");
  EXPECT_EQ(key, pf::Key::Esc);
}

TEST_F(FormTest, AcceptAllStopsAtTheControlAHandlerSelects) {
  react = [this](pf::Window& w) {
    if (w.event() == Accepted && w.field() == w.feq("?OK")) w.select(0);
    if (w.event() == Accepted && w.field() == w.feq("?LOC:AGE") && w.inAcceptAll() && v.age == 0)
      w.select(w.feq("?LOC:AGE"));
  };
  startForm();
  rec.clear();
  d.click("?OK");
  EXPECT_EQ(rec.log, (V{"Selected ?OK", "Accepted ?OK", "Accepted ?LOC:NAME", "Accepted ?LOC:AGE",
                        "Selected ?LOC:AGE"}));
  EXPECT_EQ(d.focused(), "?LOC:AGE");
  EXPECT_FALSE(d.window().inAcceptAll());

  d.type("?LOC:AGE", "7");
  rec.clear();
  d.click("?OK");
  EXPECT_EQ(rec.log, (V{"Accepted ?LOC:AGE", "Selected ?OK", "Accepted ?OK", "Accepted ?LOC:NAME",
                        "Accepted ?LOC:AGE", "Accepted ?LOC:FLAG", "Accepted ?LOC:COLOR", "Completed"}));
}

TEST_F(FormTest, ProgramSelectOfAPromptOrADisabledEntry) {
  react = [](pf::Window& w) {
    if (w.event() == Accepted && w.field() == w.feq("?OK")) {
      w.disable(w.feq("?LOC:AGE"));
      w.select(w.feq("?LOC:AGE"));
    }
    if (w.event() == Accepted && w.field() == w.feq("?CANCEL")) w.select(w.feq("?NAME:PROMPT"));
  };
  startForm();
  rec.clear();
  d.click("?OK");
  // The disabled entry is named in Selected but does not take the focus.
  EXPECT_EQ(rec.log.back(), "Selected ?LOC:AGE");
  EXPECT_EQ(d.focused(), "?OK");
  d.click("?CANCEL");
  EXPECT_EQ(rec.log.back(), "Selected ?LOC:NAME") << "a prompt hands the focus to the next control";
  EXPECT_EQ(d.focused(), "?LOC:NAME");
}

TEST_F(FormTest, DriverRefusesWhatAUserCannotDo) {
  startForm();
  EXPECT_THROW(d.click("?NOPE"), std::runtime_error);
  EXPECT_THROW(d.type("?OK", "x"), std::runtime_error);
  EXPECT_THROW(d.answer(1), std::runtime_error);
  react = [](pf::Window& w) {
    if (w.event() == Accepted && w.field() == w.feq("?OK")) w.disable(w.feq("?CANCEL"));
  };
  d.click("?OK");
  EXPECT_THROW(d.click("?CANCEL"), std::runtime_error);
  EXPECT_NE(d.snapshot().find("?CANCEL button \"&Cancel\" disabled"), std::string::npos) << d.snapshot();
}

TEST_F(FormTest, AHiddenWindowIsOffTheScreenUntilShownAgain) {
  startForm();
  pf::Window& w = d.window();
  w.setProp(0, pf::Prop::Hide, 1);
  EXPECT_EQ(w.propInt(0, pf::Prop::Hide), 1);
  EXPECT_EQ(w.propInt(0, pf::Prop::Visible), 0);
  EXPECT_EQ(w.propInt(0, pf::Prop::Iconize), 0) << "hidden, not minimised";
  EXPECT_THROW(d.click("?OK"), std::runtime_error) << "a hidden window takes no input";
  w.setProp(0, pf::Prop::Hide, 0);
  d.click("?OK");
  EXPECT_EQ(rec.log.back(), "Accepted ?OK");
}

// --- keys -------------------------------------------------------------------------------
TEST(Keys, NamesReadBack) {
  struct Case { const char* name; int code; };
  const Case cases[] = {{"F1", pf::Key::F1}, {"f12", pf::Key::F12}, {"Ctrl+Enter", pf::Key::CtrlEnter},
                        {"Shift+Tab", pf::Key::ShiftTab}, {"Esc", pf::Key::Esc}, {"Ctrl+'", 734},
                        {"MouseLeft2", pf::Key::MouseLeft2}, {"Delete", pf::Key::Delete}, {"A", 'A'},
                        {"F1Key", pf::Key::F1}};
  for (const auto& c : cases) {
    EXPECT_EQ(pf::parseKey(c.name), c.code) << c.name;
    EXPECT_EQ(pf::parseKey(pf::keyName(c.code)), c.code) << c.name;
  }
  EXPECT_EQ(pf::parseKey("Hyper+X"), 0);
  EXPECT_EQ(pf::parseKey("F13"), 0);
}

const char* kKeys = R"(
window Keys plain "Keys" size 100,50
  entry ?A at 5,5 size 40,10 alert F3
  button ?GO "Go" at 5,20 size 40,10 key F2
end
)";

TEST(AlertKeys, AliasedAndAlertedKeysReachTheProcedure) {
  pf::TestDriver d;
  pf::registerLayout("Keys", kKeys);
  Recorder rec;
  int handled = 0;
  std::vector<int> keys;
  d.start([&] {
    pf::Window w("Keys");
    w.alert(pf::Key::F12);
    // A registered handler sees the key first; answering 0 passes it on.
    static int owner;
    w.registerHandler(pf::EVENT::AlertKey, [&](pf::Window&, const pf::Event& e) {
      ++handled;
      return e.param == pf::Key::F3 ? 1 : 0;   // F3 it keeps for itself
    }, &owner);
    uitest::runWindow(w, rec, [&](pf::Window& win) {
      if (win.event() == pf::EVENT::AlertKey) keys.push_back(win.keyCode());
    });
  });
  pf::setKeyAlias(pf::Key::F1, pf::Key::F12);
  d.press("F1");
  d.press("F3");
  d.press("F12");
  EXPECT_EQ(handled, 3);
  EXPECT_EQ(keys, (std::vector<int>{pf::Key::F12, pf::Key::F12})) << "F1 arrives as F12; F3 was consumed";
  pf::clearKeyAlias(pf::Key::F1);
  rec.clear();
  d.press("F1");   // no alias, not alerted: nothing happens
  EXPECT_TRUE(rec.log.empty());
  d.press("F2");   // a button's key presses it
  EXPECT_EQ(rec.log, (V{"Selected ?GO", "Accepted ?GO"}));
}

// --- timers -----------------------------------------------------------------------------
TEST(Timers, FireByTheFakeClock) {
  pf::TestDriver d;
  pf::registerLayout("Tick", "window Tick plain \"Tick\" timer 100\n");
  int ticks = 0;
  std::int32_t lastTime = 0;
  d.start([&] {
    pf::Window w("Tick");
    w.open();
    while (w.accept())
      if (w.event() == pf::EVENT::Timer) {
        ++ticks;
        lastTime = pf::clockTime();
        if (ticks == 3) w.setTimer(0);
      }
  });
  std::int32_t start = pf::clockTime();
  d.advance(99);
  EXPECT_EQ(ticks, 0);
  d.advance(1);
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(lastTime, start + 100);
  d.advance(250);
  EXPECT_EQ(ticks, 3);
  d.advance(1000);
  EXPECT_EQ(ticks, 3) << "a timer set to 0 stops";
}

// --- message boxes ------------------------------------------------------------------------
TEST(MessageBoxes, ButtonsAnswersAndLines) {
  pf::TestDriver d;
  std::vector<int> answers;
  d.start([&] {
    answers.push_back(pf::message("Warning: All Color tagging will be removed!", "Are you sure?",
                                  pf::Icon::Exclamation, "&Remove|&Cancel", 2));
    answers.push_back(pf::message("One|Two||Four"));
    answers.push_back(pf::message("Pick", "Q", pf::Icon::Question, "&Yes|&No|&Cancel", 3));
  });
  pf::Dialog* b = d.box();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->buttons, (V{"&Remove", "&Cancel"}));
  EXPECT_EQ(b->message.defaultButton, 2);
  EXPECT_EQ(b->message.icon, pf::Icon::Exclamation);
  d.press("Enter");   // the default button
  b = d.box();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->buttons, (V{"&OK"})) << "no buttons given: a single OK";
  EXPECT_EQ(pf::messageLines(b->message.text), (V{"One", "Two", "", "Four"}));
  d.answer(1);
  d.answer("no");
  EXPECT_EQ(answers, (std::vector<int>{2, 1, 2}));
  EXPECT_EQ(d.box(), nullptr);
  EXPECT_EQ(d.boxTexts().size(), 3u);
  EXPECT_THROW(d.answer("&Maybe"), std::runtime_error);
}

TEST(MessageBoxes, HaltShowsItsBoxThenEndsTheProgram) {
  pf::TestDriver d;
  bool after = false;
  d.run([&] {
    pf::halt("Stopped here");
    after = true;
  }, [&] {
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(d.box()->kind, pf::DialogKind::Halt);
    EXPECT_EQ(d.box()->message.text, "Stopped here");
    d.answer(1);
  });
  EXPECT_FALSE(after);
  EXPECT_TRUE(d.programEnded());
}

// --- lists, sheets, regions ------------------------------------------------------------
const char* kList = R"(
window Browse mdi "Browse" size 200,150 status -1,40
  sheet ?SHEET at 0,0 size 200,120
    tab ?T1 "One"
      list ?LIST at 5,15 size 190,60 immediate format "10L(2)|I~F~@n3@40L(2)|M*~Name~@s20@30R(2)|M~Visits~@n6@" alert MouseLeft
    end
    tab ?T2 "Two"
    end
    tab ?T3 "Three"
    end
  end
  region ?BAR at 5,80 size 190,3 immediate drag "HSplit"
  button ?CLOSE "&Close" at 150,130 size 40,14 msg "Close this window"
end
)";

pf::ListRow site(const std::string& fav, const std::string& name, const std::string& visits) {
  pf::ListRow r{fav, name, visits};
  r.cells[0].icon = fav == "1" ? 1 : 0;
  return r;
}

class ListTest : public ::testing::Test {
 protected:
  pf::TestDriver d;
  Recorder rec;
  std::vector<int> mouseColumns;

  void SetUp() override {
    pf::registerLayout("Browse", kList);
    d.start([this] {
      pf::Window w("Browse");
      w.open();
      int list = w.feq("?LIST");
      w.setRows(list, {site("1", "Alpha", "3"), site("0", "Beta", "0"), site("0", "Gamma", "12")});
      w.setProp(list, pf::Prop::IconList, "~qztick4.ico", 1);
      while (w.accept()) {
        rec.log.push_back(uitest::describe(w));
        if (w.event() == pf::EVENT::AlertKey)
          mouseColumns.push_back(static_cast<int>(w.propInt(list, pf::Prop::MouseDownColumn)));
        if (w.event() == pf::EVENT::Dragging || w.event() == pf::EVENT::MouseMove ||
            w.event() == pf::EVENT::MouseUp)
          rec.log.back() += " y=" + std::to_string(w.mouseY());
      }
    });
    rec.clear();
  }
};

TEST_F(ListTest, CellsShowThroughTheirPictures) {
  EXPECT_EQ(d.rows("?LIST"), (std::vector<V>{{"1", "Alpha", "3"}, {"0", "Beta", "0"}, {"0", "Gamma", "12"}}));
  EXPECT_EQ(d.selected("?LIST"), 1);
  EXPECT_EQ(d.window().rowsVisible(d.feq("?LIST")), 5);   // 60 units, less the header, 10 a row
}

TEST_F(ListTest, TheRowsTheScreenShowsReachTheProcedure) {
  pf::Window& w = d.window();
  int list = w.feq("?LIST");
  d.showRows("?LIST", 7);
  EXPECT_EQ(w.rowsVisible(list), 7) << "the screen's rows, not the model's row height";
  EXPECT_EQ(rec.log, (V{"Sized"}));
  rec.clear();
  d.showRows("?LIST", 7);
  EXPECT_TRUE(rec.log.empty()) << "no news, no event";
}

TEST_F(ListTest, AClickSelectsTheRowBeforeItsAlertArrives) {
  d.clickRow("?LIST", 2, 1);
  EXPECT_EQ(rec.log, (V{"NewSelection ?LIST", "AlertKey ?LIST"}));
  EXPECT_EQ(mouseColumns, (std::vector<int>{1}));
  EXPECT_EQ(d.selected("?LIST"), 2);
  rec.clear();
  d.clickRow("?LIST", 2, 3);   // same row, other column: no new selection
  EXPECT_EQ(rec.log, (V{"AlertKey ?LIST"}));
  EXPECT_EQ(mouseColumns.back(), 3);
  rec.clear();
  d.doubleClickRow("?LIST", 3, 2);   // not alerted: a double click accepts the list
  EXPECT_EQ(rec.log, (V{"NewSelection ?LIST", "Accepted ?LIST"}));
}

TEST_F(ListTest, KeysMoveWithinTheRowsAndScrollBeyondThem) {
  d.focus("?LIST");
  rec.clear();
  d.press("Down");
  d.press("Down");
  d.press("Down");   // past the last row held
  d.press("PgDn");
  d.press("Ctrl+Home");
  d.press("Up");
  EXPECT_EQ(rec.log, (V{"NewSelection ?LIST", "NewSelection ?LIST", "ScrollDown ?LIST", "PageDown ?LIST",
                        "ScrollTop ?LIST", "NewSelection ?LIST"}));
  rec.clear();
  d.scroll("?LIST", pf::EVENT::ScrollDrag, 40);
  EXPECT_EQ(rec.log, (V{"ScrollDrag ?LIST"}));
  EXPECT_EQ(d.window().propInt(d.feq("?LIST"), pf::Prop::VScrollPos), 40);
}

TEST_F(ListTest, ColumnResizeChangesTheFormatAndTellsTheProcedure) {
  d.resizeColumn("?LIST", 2, 55);
  EXPECT_EQ(rec.log, (V{"ColumnResize ?LIST"}));
  pf::Window& w = d.window();
  EXPECT_EQ(w.columnWidth(w.feq("?LIST"), 2), 55);
  EXPECT_EQ(w.propText(w.feq("?LIST"), pf::Prop::Format),
            "10L(2)|I~F~@n3@55L(2)|M*~Name~@s20@30R(2)|M~Visits~@n6@");
  EXPECT_THROW(d.resizeColumn("?LIST", 1, 20), std::runtime_error) << "column 1 is not resizable";
}

// The sheet's choice is the program's: hiding the chosen tab neither moves the choice on
// nor tells the program of a new one.
TEST_F(ListTest, HidingTheChosenTabKeepsItChosen) {
  d.pick("?SHEET", "Three");
  EXPECT_EQ(rec.log, (V{"NewSelection ?SHEET"}));
  EXPECT_FALSE(d.visible("?LIST")) << "controls of another tab do not show";
  d.pick("?SHEET", "1");
  EXPECT_TRUE(d.visible("?LIST"));
  pf::Window& w = d.window();
  rec.clear();
  w.hide(w.feq("?T1"));
  d.idle();
  EXPECT_EQ(w.choice(w.feq("?SHEET")), 1);
  EXPECT_TRUE(rec.log.empty());
  EXPECT_FALSE(d.visible("?LIST")) << "a hidden tab shows none of its controls";
  EXPECT_THROW(d.pick("?SHEET", "One"), std::runtime_error);
  w.unhide(w.feq("?T1"));
  EXPECT_EQ(w.choice(w.feq("?SHEET")), 1);
  EXPECT_TRUE(d.visible("?LIST"));
}

TEST_F(ListTest, DraggingARegion) {
  d.drag("?BAR", 10, 1, 0, -20);
  EXPECT_EQ(rec.log, (V{"MouseDown ?BAR", "Dragging ?BAR y=61", "MouseMove ?BAR y=61", "MouseUp ?BAR y=61"}));
}

TEST_F(ListTest, AFocusedControlsMessageShowsInTheStatusBar) {
  d.focus("?CLOSE");
  EXPECT_EQ(d.window().statusText(1), "Close this window");
  d.focus("?LIST");
  EXPECT_EQ(d.window().statusText(1), "");
}

// A procedure keeps a control's address while it creates another (the About window's link area
// takes the address's geometry): no control moves when others come or go.
TEST(Controls, CreatingOrDestroyingOthersMovesNoControl) {
  pf::registerLayout("Form", kForm);
  pf::Window w("Form");
  const pf::Control* name = w.control(w.feq("?LOC:NAME"));
  ASSERT_NE(name, nullptr);
  for (int i = 0; i < 100; ++i) w.create(pf::Kind::Region);
  w.destroy(w.feq("?NAME:PROMPT"));
  w.destroy(w.highestFeq());
  EXPECT_EQ(w.control(w.feq("?LOC:NAME")), name);
  EXPECT_EQ(name->x, 40);
  EXPECT_EQ(name->w, 100);
  EXPECT_EQ(w.control(w.feq("?NAME:PROMPT")), nullptr);
}

// --- variables ------------------------------------------------------------------------------
TEST(Binding, FieldsAndLocalsReadAndWrite) {
  pf::String<5> s;
  pf::CString<4> c;
  pf::Long l;
  pf::Date dt;
  std::uint8_t b = 0;
  std::int32_t i = 0;
  std::string str;
  pf::use(s).set("toolong");
  EXPECT_EQ(s.str(), "toolo");
  pf::use(c).set("abcdef");
  EXPECT_EQ(c.str(), "abc");
  pf::use(l).set("-12");
  EXPECT_EQ(l.get(), -12);
  pf::use(dt).setNumber(80000);
  EXPECT_EQ(pf::use(dt).getNumber(), 80000);
  pf::use(b).set("300");
  EXPECT_EQ(b, 300 % 256);
  pf::use(i).setNumber(7);
  EXPECT_EQ(i, 7);
  pf::use(str).set("free text");
  EXPECT_EQ(pf::use(str).get(), "free text");
}

TEST(Binding, DisplayShowsVariablesThroughPictures) {
  pf::TestDriver d;
  pf::registerLayout("Show", R"(
window Show plain "Show"
  string ?LOC:COUNT at 5,5 size 30,10 picture "@N6"
  string ?LOC:WHEN at 5,15 size 60,10 picture "@D017"
  check ?LOC:ON "On" at 5,25 size 30,10 values "Y" "N"
end
)");
  std::int32_t count = 1234;
  pf::Date when;
  when = pf::dateToDay(2026, 2, 3);
  pf::String<1> on("Y");
  d.start([&] {
    pf::Window w("Show");
    w.bind("LOC:COUNT", pf::use(count));
    w.bind("LOC:WHEN", pf::use(when));
    w.bind("LOC:ON", pf::use(on));
    w.open();
    while (w.accept())
      if (w.event() == pf::EVENT::Timer) {
        count = 5;
        w.display();
      }
  });
  EXPECT_EQ(d.text("?LOC:COUNT"), "1234");
  EXPECT_EQ(d.text("?LOC:WHEN"), "03/02/2026");
  EXPECT_TRUE(d.checked("?LOC:ON"));
  d.click("?LOC:ON");
  EXPECT_EQ(on.str(), "N");
  d.window().post(pf::EVENT::Timer);
  d.idle();
  EXPECT_EQ(d.text("?LOC:COUNT"), "5");
}

TEST(Entries, TakeOnlyWhatTheirVariableStoresAndShowWhatHides) {
  pf::TestDriver d;
  pf::registerLayout("Typed", R"(
window Typed plain "Typed" size 200,100
  entry ?LOC:ID at 5,5 size 100,10 picture "@s12"
  entry ?LOC:CODE at 5,20 size 100,10 picture "@s5"
  entry ?LOC:FREE at 5,35 size 100,10 picture "@s8"
  text ?LOC:NOTE at 5,50 size 100,30
  list ?LIST at 110,5 size 80,60 format "80L(2)|M~Name~@s20@"
  button ?OK "&OK" at 150,80 size 40,14 default
end
)");
  pf::String<12> id;
  pf::CString<6> code;
  std::string free;
  pf::Memo<12> note;
  std::string e12, e6;
  for (int i = 0; i < 12; ++i) (i < 6 ? e6 : e12) += "\xC3\xA9";
  e12 = e6 + e12;
  const std::string rlo = "\xE2\x80\xAE", nul(1, '\0');
  d.start([&] {
    pf::Window w("Typed");
    w.bind("LOC:ID", pf::use(id));
    w.bind("LOC:CODE", pf::use(code));
    w.bind("LOC:FREE", pf::use(free));
    w.bind("LOC:NOTE", pf::use(note));
    w.open();
    w.setRows(w.feq("?LIST"), {pf::ListRow{"Bank" + rlo + "gpj.exe"}, pf::ListRow{"Bell\x07"}});
    while (w.accept())
      if (w.event() == pf::EVENT::Timer) w.display();
  });
  const struct {
    const char* control;
    std::string typed, taken;
    std::function<std::string()> stored;
  } cases[] = {
      {"?LOC:ID", e12, e6, [&] { return id.clip(); }},  // twelve characters, 24 bytes: the field holds six
      {"?LOC:ID", "Bank" + rlo + "gpj.exe", "Bankgpj.exe", [&] { return id.clip(); }},
      {"?LOC:ID", "ab" + nul + "cd\x1b[2J", "abcd[2J", [&] { return id.clip(); }},
      {"?LOC:CODE", "x" + nul + "yz", "xyz", [&] { return code.clip(); }},
      {"?LOC:CODE", "abcdefg", "abcde", [&] { return code.clip(); }},
      {"?LOC:FREE", "123456789", "12345678", [&] { return free; }},
      {"?LOC:FREE", "a\tb\nc\xC2\x85" "d", "abcd", [&] { return free; }},
      {"?LOC:NOTE", "one\ntwo\tthree\x07", "one\ntwo\tthre", [&] { return note.str(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.control) + " " + c.taken);
    d.type(c.control, c.typed);
    EXPECT_EQ(d.text(c.control), c.taken) << "the entry shows what it took";
    d.click("?OK");
    EXPECT_EQ(c.stored(), c.taken) << "and stores what it shows";
  }
  // What a variable or a row holds shows its hidden characters.
  const std::string mark = "\xEF\xBF\xBD";
  EXPECT_EQ(d.rows("?LIST"), (std::vector<V>{{"Bank" + mark + "gpj.exe"}, {"Bell" + mark}}));
  id = "Bk" + rlo + "gpj.exe";
  d.window().post(pf::EVENT::Timer);
  d.idle();
  EXPECT_EQ(d.text("?LOC:ID"), "Bk" + mark + "gpj.exe");
}

// --- the rest of the program-wide parts ----------------------------------------------
TEST(Program, ClipboardCursorAndDialogs) {
  pf::TestDriver d;
  std::int32_t picked = -1;
  std::string file;
  bool saved = false;
  d.start([&] {
    pf::setClipboard("secret");
    pf::WaitCursor wait;
    pf::CalendarRequest cal;
    cal.caption = "View Calendar";
    picked = pf::calendarDialog(cal);
    pf::FileRequest req;
    req.title = "File to save to";
    req.fileName = "SitesCSV.csv";
    req.filter = "CSV files|*.csv";
    saved = pf::fileDialog(req, file);
  });
  EXPECT_EQ(d.clipboard(), "secret");
  EXPECT_EQ(d.cursor(), "Wait");
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->calendar.caption, "View Calendar");
  EXPECT_EQ(d.box()->calendar.date, pf::today());
  d.answerDate(pf::today() + 1);
  EXPECT_EQ(picked, pf::today() + 1);
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->file.filter, "CSV files|*.csv");
  EXPECT_NE(d.snapshot().find("\"File to save to\" SitesCSV.csv"), std::string::npos) << d.snapshot();
  d.answerFile("/tmp/out.csv");
  EXPECT_TRUE(saved);
  EXPECT_EQ(file, "/tmp/out.csv");
  EXPECT_EQ(d.cursor(), "") << "the wait cursor goes with the last holder";
}

}  // namespace
