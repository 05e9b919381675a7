// The window controller's template behaviour, played through the headless driver.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/classes/error_manager.h"
#include "platform/classes/file_accessor.h"
#include "platform/classes/ini_manager.h"
#include "platform/classes/window_controller.h"
#include "platform/classes/window_placement.h"
#include "platform/core/field.h"
#include "platform/ui/keys.h"
#include "platform/ui/layout.h"
#include "platform/ui/test_driver.h"
#include "tests/support/temp_dir.h"

namespace {

const char* DialogLayout = R"(
window TestDialog plain "Test Dialog" at 10,10 size 200,100 resize
  entry ?LOC:NAME at 10,10 size 80,10
  entry ?LOC:CITY at 10,25 size 80,10
  entry ?LOC:OFF at 10,40 size 80,10 disable
  droplist ?LOC:PICK at 10,55 size 80,10 drop 5 from "a|b"
  button ?OK "&OK" at 100,80 size 40,14
  button ?CANCEL "Cancel" at 150,80 size 40,14
end
)";

// The record a form edits, and access objects that only count what they are asked.
struct Rec {
  pf::String<20> NAME;
  pf::String<20> CITY;
};

class FakeAccessor : public pf::FileAccessor {
 public:
  int FileInsert() override {
    ++inserts;
    return failInsert ? 5 : 0;
  }
  int inserts = 0;
  bool failInsert = false;
};

class FakeRelations : public pf::FileRelations {
 public:
  // Writes unless `onFile` holds another writer's record unlike the form's as read.
  int RelationUpdateIfUnchanged(const std::vector<unsigned char>& asRead,
                                std::vector<unsigned char>& found) override {
    ++updates;
    if (!onFile.empty() && asRead != onFile) {
      found = onFile;
      return 5;
    }
    return 0;
  }
  std::vector<unsigned char> onFile;
  int RelationOpen(bool) override { return 0; }
  int RelationClose(bool) override { return 0; }
  int updates = 0;
};

std::int32_t marker = 0;
int tearDowns = 0;
Rec record;
FakeAccessor accessor;
FakeRelations relations;

class TestDialog : public pf::WindowController {
 public:
  bool form = false;
  bool guarded = true;
  std::uint8_t cancelAction = 3;
  bool requireName = false;
  // Where the window throws: "set-up", "OK" (pressing it), "inner" (pressing OK runs a
  // window on the same thread whose set-up throws); empty: nowhere.
  std::string failAt;

  explicit TestDialog(const char* procedure = "TestDialog") : WindowController(procedure) {}

  std::uint8_t Setup() override {
    if (guarded) InstanceMarker = &marker;
    if (std::uint8_t rc = SetupBegin()) return rc;
    if (failAt == "set-up") throw std::runtime_error("disk on fire");
    FIRSTFIELD = win().feq("?LOC:NAME");
    WindowAddButton(win().feq("?CANCEL"), pf::Response::Cancelled);
    if (form) {
      PRIMARY = &relations;
      OKCONTROL = win().feq("?OK");
      CANCELACTION = cancelAction;
      win().bind("LOC:NAME", pf::use(record.NAME));
      win().bind("LOC:CITY", pf::use(record.CITY));
      if (PrepareFiles()) return 3;
    }
    OpenWindow();
    SetupEnd();
    return 0;
  }
  std::uint8_t TearDown() override {
    if (std::uint8_t rc = WindowController::TearDown()) return rc;
    ++tearDowns;
    return TearDownEnd();
  }
  std::uint8_t OnAccepted() override {
    if (win().field() == win().feq("?OK") && failAt == "OK") throw std::runtime_error("disk on fire");
    if (win().field() == win().feq("?OK") && failAt == "inner") {
      TestDialog inner("InnerDialog");
      inner.guarded = false;
      inner.failAt = "set-up";
      inner.Execute();
    }
    if (requireName && win().field() == win().feq("?LOC:NAME") && record.NAME.blank()) {
      win().select(win().field());
      return pf::Answer::Handled;
    }
    return WindowController::OnAccepted();
  }
};

std::uint8_t lastResponse = 0;

void runDialog(std::uint8_t request = 0, bool form = false, std::uint8_t cancelAction = 3,
               bool requireName = false) {
  pf::GLO_Request() = request;
  TestDialog d;
  d.form = form;
  d.cancelAction = cancelAction;
  d.requireName = requireName;
  lastResponse = d.Execute();
}

class WindowControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pf::registerLayout("TestDialog", DialogLayout);
    std::string inner = DialogLayout;
    inner.replace(inner.find("TestDialog"), 10, "InnerDialog");
    pf::registerLayout("InnerDialog", inner);
    pf::setThreadFailureHandler([](std::exception_ptr failure) { pf::AppErrors.threadFailed(failure); });
    tearDowns = 0;
    pf::AppErrors.init();
    pf::AppIni.init(dir.file("Linkvue.ini"));
    marker = 0;
    record = Rec{};
    accessor.inserts = 0;
    accessor.failInsert = false;
    accessor.BUFFER = {&record, nullptr, sizeof record};
    relations.ME = &accessor;
    relations.updates = 0;
    relations.onFile.clear();
    lastResponse = 0;
  }
  void TearDown() override { pf::AppIni.kill(); }

  int dialogs() {
    int n = 0;
    for (const auto& w : driver.windows()) n += w.name == "TestDialog";
    return n;
  }

  qbtest::TempDir dir;
  pf::TestDriver driver;
};

TEST_F(WindowControllerTest, PlacementRoundTrips) {
  struct Case {
    const char* name;
    pf::Prop state;  // Visible: a normal window
    bool positionKept;
  } cases[] = {
      {"normal", pf::Prop::Visible, true},
      {"maximised", pf::Prop::Maximize, false},
      {"minimised", pf::Prop::Iconize, false},
  };
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(c.name);
    pf::AppIni.removeSection("TestDialog");
    driver.start([] { runDialog(); });
    driver.window("TestDialog").userMove(30, 40);
    driver.resizeWindow(250, 150, "TestDialog");
    if (c.state != pf::Prop::Visible) driver.setWindowState(c.state, "TestDialog");
    // A minimised window takes no input: the program closes it (as the frame would).
    driver.window("TestDialog").post(pf::EVENT::CloseWindow);
    driver.idle();
    ASSERT_EQ(dialogs(), 0);
    EXPECT_EQ(pf::AppIni.fetch("TestDialog", "Maximize"), c.state == pf::Prop::Maximize ? "Yes" : "No");
    EXPECT_EQ(pf::AppIni.fetch("TestDialog", "Minimize"), c.state == pf::Prop::Iconize ? "Yes" : "No");
    EXPECT_EQ(pf::AppIni.has("TestDialog", "XPos"), c.positionKept);
    EXPECT_EQ(pf::AppIni.has("TestDialog", "Width"), c.positionKept);

    driver.start([] { runDialog(); });
    pf::Window& w = driver.window("TestDialog");
    EXPECT_EQ(w.propInt(0, pf::Prop::Maximize), c.state == pf::Prop::Maximize);
    EXPECT_EQ(w.propInt(0, pf::Prop::Iconize), c.state == pf::Prop::Iconize);
    if (c.positionKept) {
      EXPECT_EQ(w.propInt(0, pf::Prop::Xpos), 30);
      EXPECT_EQ(w.propInt(0, pf::Prop::Ypos), 40);
      EXPECT_EQ(w.propInt(0, pf::Prop::Width), 250);
      EXPECT_EQ(w.propInt(0, pf::Prop::Height), 150);
    }
    w.post(pf::EVENT::CloseWindow);
    driver.idle();
  }();
}

TEST_F(WindowControllerTest, DamagedPlacementKeepsTheDesignedSize) {
  pf::AppIni.update("TestDialog", "XPos", "abc");
  pf::AppIni.update("TestDialog", "Width", "-5");
  pf::AppIni.update("TestDialog", "Height", "");
  driver.start([] { runDialog(); });
  pf::Window& w = driver.window("TestDialog");
  EXPECT_EQ(w.propInt(0, pf::Prop::Width), 200);
  EXPECT_EQ(w.propInt(0, pf::Prop::Height), 100);
  EXPECT_EQ(w.propInt(0, pf::Prop::Xpos), 10);
  EXPECT_FALSE(w.propInt(0, pf::Prop::Iconize));
}

// A hand-edited or foreign INI file never puts a window out of reach: the headless desktop is
// 853 by 630 units; the dialog is designed at 10,10, 200 by 100.
TEST_F(WindowControllerTest, PlacementBeyondTheDesktopIsBroughtBack) {
  struct Case {
    const char *x, *y, *w, *h;
    int wantX, wantY, wantW, wantH;
  } cases[] = {
      {"30", "40", "99999", "150", 0, 40, 853, 150},
      {"30", "40", "250", "99999", 30, 0, 250, 630},
      {"-32000", "-32000", "250", "150", 0, 0, 250, 150},
      {"5000", "5000", "250", "150", 603, 480, 250, 150},
      {"30", "40", "99999999999", "150", 30, 40, 200, 100},   // no number: the designed size
      {"30", "40", "250", "150", 30, 40, 250, 150},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.x) + "," + c.y + " " + c.w + "x" + c.h);
    pf::AppIni.removeSection("TestDialog");
    pf::AppIni.update("TestDialog", "XPos", c.x);
    pf::AppIni.update("TestDialog", "YPos", c.y);
    pf::AppIni.update("TestDialog", "Width", c.w);
    pf::AppIni.update("TestDialog", "Height", c.h);
    driver.start([] { runDialog(); });
    pf::Window& w = driver.window("TestDialog");
    EXPECT_EQ(w.propInt(0, pf::Prop::Xpos), c.wantX);
    EXPECT_EQ(w.propInt(0, pf::Prop::Ypos), c.wantY);
    EXPECT_EQ(w.propInt(0, pf::Prop::Width), c.wantW);
    EXPECT_EQ(w.propInt(0, pf::Prop::Height), c.wantH);
    w.post(pf::EVENT::CloseWindow);
    driver.idle();
    EXPECT_EQ(pf::AppIni.fetchInt("TestDialog", "Width"), c.wantW) << "what is written back";
    EXPECT_EQ(pf::AppIni.fetchInt("TestDialog", "XPos"), c.wantX);
  }
  // A desktop of several screens may start left of or above the first one.
  pf::WindowPlacement p;
  p.x = -2000;
  p.y = 900;
  pf::keepOnDesktop(p, {-1280, 0, 2133, 630}, 200, 100);
  EXPECT_EQ(*p.x, -1280);
  EXPECT_EQ(*p.y, 530);
}

TEST_F(WindowControllerTest, SecondStartRestoresTheFirstWindow) {
  int first = driver.start([] { runDialog(); });
  EXPECT_EQ(marker, first);
  driver.setWindowState(pf::Prop::Iconize, "TestDialog");
  driver.start([] { runDialog(); });
  EXPECT_EQ(dialogs(), 1);
  EXPECT_EQ(lastResponse, pf::Response::Cancelled);
  pf::Window& w = driver.window("TestDialog");
  EXPECT_EQ(w.thread(), first);
  EXPECT_FALSE(w.propInt(0, pf::Prop::Iconize));
  EXPECT_TRUE(w.propInt(0, pf::Prop::Active));
  EXPECT_EQ(marker, first) << "the refused call leaves the marker alone";
  driver.closeBox("TestDialog");
  EXPECT_EQ(marker, 0);
}

TEST_F(WindowControllerTest, SelectRequestBypassesTheOneInstanceRule) {
  driver.start([] { runDialog(); });
  driver.start([] { runDialog(pf::Request::Select); });
  EXPECT_EQ(dialogs(), 2);
}

TEST_F(WindowControllerTest, ClosingAChangedForm) {
  struct Case {
    const char* name;
    std::uint8_t cancelAction;
    const char* answer;        // empty: no box expected
    const char* boxText;
    bool stillOpen;
    int inserts;
  } cases[] = {
      {"ask, yes saves", 3, "&Yes", "Do you want to save the changes to this record?", false, 1},
      {"ask, no drops", 3, "&No", "Do you want to save the changes to this record?", false, 0},
      {"ask, cancel stays", 3, "&Cancel", "Do you want to save the changes to this record?", true, 0},
      {"save without asking", 1, "", "", false, 1},
      {"confirm cancel, yes", 2, "&Yes", "Are you sure you want to cancel?", false, 0},
      {"confirm cancel, no", 2, "&No", "Are you sure you want to cancel?", true, 0},
      {"no question", 0, "", "", false, 0},
  };
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(c.name);
    record = Rec{};
    accessor.inserts = 0;
    std::uint8_t action = c.cancelAction;
    driver.start([action] { runDialog(pf::Request::Insert, true, action); });
    driver.type("?LOC:NAME", "News");
    driver.closeBox("TestDialog");
    if (*c.answer) {
      ASSERT_NE(driver.box(), nullptr);
      EXPECT_EQ(driver.box()->message.text, c.boxText);
      driver.answer(c.answer);
    } else {
      EXPECT_EQ(driver.box(), nullptr);
    }
    EXPECT_EQ(dialogs(), c.stillOpen ? 1 : 0);
    EXPECT_EQ(accessor.inserts, c.inserts);
    if (c.stillOpen) {
      EXPECT_EQ(driver.focused("TestDialog"), "?LOC:NAME");
      driver.click("?CANCEL", "TestDialog");
      EXPECT_EQ(lastResponse, pf::Response::Cancelled);
    } else if (c.inserts) {
      EXPECT_EQ(lastResponse, pf::Response::Completed);
    }
    ASSERT_EQ(dialogs(), 0);
  }();
}

TEST_F(WindowControllerTest, UnchangedFormClosesWithoutAQuestion) {
  driver.start([] { runDialog(pf::Request::Insert, true); });
  driver.closeBox("TestDialog");
  EXPECT_EQ(driver.box(), nullptr);
  EXPECT_EQ(dialogs(), 0);
  EXPECT_EQ(lastResponse, pf::Response::Cancelled);
}

TEST_F(WindowControllerTest, OkValidatesEveryFieldAndStopsOnTheFailedOne) {
  driver.start([] { runDialog(pf::Request::Insert, true, 3, true); });
  driver.type("?LOC:CITY", "Paris");
  driver.click("?OK");
  EXPECT_EQ(accessor.inserts, 0);
  EXPECT_EQ(dialogs(), 1);
  EXPECT_EQ(driver.focused("TestDialog"), "?LOC:NAME");

  driver.type("?LOC:NAME", "News");
  driver.click("?OK");
  EXPECT_EQ(accessor.inserts, 1);
  EXPECT_EQ(dialogs(), 0);
  EXPECT_EQ(lastResponse, pf::Response::Completed);
  EXPECT_EQ(record.NAME.clip(), "News");
}

TEST_F(WindowControllerTest, FailedInsertKeepsTheFormOpen) {
  accessor.failInsert = true;
  driver.start([] { runDialog(pf::Request::Insert, true); });
  driver.type("?LOC:CITY", "Paris");
  driver.click("?OK");
  EXPECT_EQ(accessor.inserts, 1);
  EXPECT_EQ(dialogs(), 1);
  EXPECT_EQ(driver.focused("TestDialog"), "?LOC:NAME");
}

TEST_F(WindowControllerTest, ChangeWritesOnlyADifferentRecord) {
  record.NAME = "Old";
  driver.start([] { runDialog(pf::Request::Change, true); });
  driver.click("?OK");
  EXPECT_EQ(relations.updates, 0);
  EXPECT_EQ(lastResponse, pf::Response::Completed);

  driver.start([] { runDialog(pf::Request::Change, true); });
  driver.type("?LOC:NAME", "New");
  driver.click("?OK");
  EXPECT_EQ(relations.updates, 1);
  EXPECT_EQ(dialogs(), 0);
}

// Another writer changed the city on file while the form changed the name: the first OK
// writes nothing and shows the other's city beside the user's name; the second writes.
TEST_F(WindowControllerTest, ARecordChangedOnFileMeanwhileComesIntoTheFormUnderTheUsersChanges) {
  pf::FileDesc layout;
  layout.bufferSize = layout.recordSize = sizeof(Rec);
  layout.fields = {{"LOC:NAME", pf::FieldType::String, 0, 20}, {"LOC:CITY", pf::FieldType::String, 20, 20}};
  accessor.BUFFER.layout = &layout;
  record.NAME = "Old";
  record.CITY = "Lyon";
  Rec theirs = record;
  theirs.CITY = "Nantes";
  const auto* p = reinterpret_cast<const unsigned char*>(&theirs);
  relations.onFile.assign(p, p + sizeof theirs);

  driver.start([] { runDialog(pf::Request::Change, true); });
  driver.type("?LOC:NAME", "New");
  driver.click("?OK");
  EXPECT_EQ(relations.updates, 1);
  EXPECT_EQ(dialogs(), 1);
  EXPECT_EQ(driver.focused("TestDialog"), "?LOC:NAME");
  EXPECT_EQ(driver.text("?LOC:NAME", "TestDialog"), "New");
  EXPECT_EQ(driver.text("?LOC:CITY", "TestDialog"), "Nantes");

  driver.click("?OK");
  EXPECT_EQ(relations.updates, 2);
  EXPECT_EQ(dialogs(), 0);
  EXPECT_EQ(lastResponse, pf::Response::Completed);
  EXPECT_EQ(record.NAME.clip(), "New");
  EXPECT_EQ(record.CITY.clip(), "Nantes");
}

TEST_F(WindowControllerTest, FocusHighlightFollowsTheFocus) {
  driver.start([] { runDialog(); });
  pf::Window& w = driver.window("TestDialog");
  int name = w.feq("?LOC:NAME"), city = w.feq("?LOC:CITY"), pick = w.feq("?LOC:PICK");
  const std::int32_t plain = w.color(city);

  driver.focus("?LOC:NAME");
  EXPECT_EQ(w.color(name), pf::FocusHighlightColor);
  driver.focus("?OK");
  EXPECT_EQ(w.color(name), plain) << "a button takes the highlight away";
  driver.focus("?LOC:CITY");
  EXPECT_EQ(w.color(city), pf::FocusHighlightColor);
  EXPECT_EQ(w.color(name), plain);
  driver.focus("?LOC:PICK");
  EXPECT_EQ(w.color(city), plain);
  EXPECT_EQ(w.color(pick), plain) << "a drop list keeps its colour";

  driver.focus("?LOC:NAME");
  driver.resizeWindow(300, 160, "TestDialog");
  driver.setWindowState(pf::Prop::Iconize, "TestDialog");
  driver.setWindowState(pf::Prop::Visible, "TestDialog");
  EXPECT_EQ(w.color(name), pf::FocusHighlightColor) << "resizing and restoring keep it";
  EXPECT_EQ(w.color(city), plain);
}

TEST_F(WindowControllerTest, HighlightSkipsAHiddenOrDisabledEntry) {
  TestDialog* seen = nullptr;
  driver.start([&seen] {
    TestDialog d;
    seen = &d;
    d.Execute();
    seen = nullptr;
  });
  pf::Window& w = driver.window("TestDialog");
  driver.focus("?LOC:NAME");
  ASSERT_NE(seen, nullptr);
  EXPECT_EQ(seen->LOC_FocusControl, w.feq("?LOC:NAME"));
  // Programmatic focus on a disabled entry: nothing is highlighted and it is forgotten.
  seen->HighlightSelected(w.feq("?LOC:OFF"));
  EXPECT_EQ(seen->LOC_FocusControl, 0);
  EXPECT_NE(w.color(w.feq("?LOC:OFF")), pf::FocusHighlightColor);
  EXPECT_NE(w.color(w.feq("?LOC:NAME")), pf::FocusHighlightColor);
  driver.closeBox("TestDialog");
}

// A window that an exception ends tells the user in the stop box, tears down (marker,
// files, flags) and can be opened again; Abort ends the program.
TEST_F(WindowControllerTest, ExceptionEndsTheThreadAndReleasesTheWindow) {
  struct Case {
    const char* failAt;
    const char* text;
    int tearDowns;
  };
  const Case cases[] = {
      {"set-up", "An error has ended TestDialog:|disk on fire", 1},
      {"OK", "An error has ended TestDialog:|disk on fire", 1},
      {"inner", "An error has ended InnerDialog:|disk on fire", 2},
  };
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(c.failAt);
    tearDowns = 0;
    std::string failAt = c.failAt;
    int thread = driver.start([failAt] {
      TestDialog d;
      d.failAt = failAt;
      d.Execute();
    });
    if (failAt != "set-up") driver.click("?OK", "TestDialog");
    ASSERT_NE(driver.box(), nullptr);
    EXPECT_EQ(driver.box()->message.caption, "Stop");
    EXPECT_EQ(driver.box()->message.text, c.text);
    EXPECT_EQ(driver.box()->message.icon, pf::Icon::Hand);
    EXPECT_EQ(driver.box()->buttons, (std::vector<std::string>{"&Abort", "&Ignore"}));
    EXPECT_EQ(driver.box()->message.defaultButton, 2);
    EXPECT_EQ(marker, 0) << "released before the user answers";
    EXPECT_EQ(tearDowns, c.tearDowns);
    EXPECT_EQ(dialogs(), 0);
    driver.answer("&Ignore");
    EXPECT_FALSE(pf::threadAlive(thread));
    EXPECT_FALSE(driver.programEnded());

    int again = driver.start([] { runDialog(); });
    EXPECT_EQ(dialogs(), 1) << "the window opens again";
    EXPECT_EQ(marker, again);
    driver.closeBox("TestDialog");
  }();

  driver.start([] {
    TestDialog d;
    d.failAt = "set-up";
    d.Execute();
  });
  driver.answer("&Abort");
  EXPECT_TRUE(driver.programEnded());
}

}  // namespace
