#include <gtest/gtest.h>

#include "platform/ui/test_driver.h"
#include "platform/ui/ui.h"
#include "tests/platform/ui/ui_test_util.h"

namespace {

using V = std::vector<std::string>;

const char* kFrame = R"(
window Frame frame "Quillbox" size 300,200 status -1,40
  menubar
    menu ?FILE "&File"
      item ?OPENB "&Browse" key F5
      item ?EXIT "E&xit"
    end
  end
end
)";
const char* kBrowse = R"(
window Browse mdi "Browse" size 200,100
  button ?CHANGE "C&hange" at 5,5 size 40,12
  button ?CLOSE "&Close" at 50,5 size 40,12
end
)";
const char* kUpdate = R"(
window Update mdi "Update" size 150,60
  entry ?NAME at 5,5 size 60,10
  button ?OK "&OK" at 5,20 size 40,12
end
)";
const char* kOther = R"(
window Other mdi "Other" size 150,60
  button ?PING "&Ping" at 5,5 size 40,12
end
)";

struct Program {
  std::vector<std::string> log;   // "<window>: <event>"

  void loop(pf::Window& w, const std::function<void(pf::Window&)>& react) {
    w.open();
    while (w.accept()) {
      log.push_back(w.name() + ": " + uitest::describe(w));
      react(w);
    }
  }

  // A changed form asks before it closes: Yes saves first (it closes when its completion
  // arrives), No closes, Cancel keeps it open.
  bool changed = false;
  void update() {
    pf::Window w("Update");
    loop(w, [this](pf::Window& win) {
      int e = win.event();
      if (e == pf::EVENT::Accepted && win.field() == win.feq("?OK")) win.close();
      if (e == pf::EVENT::Completed) {
        changed = false;
        win.close();
      }
      if ((e == pf::EVENT::CloseWindow || e == pf::EVENT::CloseDown) && changed) {
        int answer = pf::message("Save?", "Save Record", pf::Icon::Question, "&Yes|&No|&Cancel", 3);
        if (answer == 1) win.post(pf::EVENT::Completed);
        if (answer != 2) win.cycle();
      }
    });
  }

  void browse() {
    pf::Window w("Browse");
    loop(w, [this](pf::Window& win) {
      if (win.event() != pf::EVENT::Accepted) return;
      if (win.field() == win.feq("?CHANGE")) update();   // a form over its browse, same thread
      if (win.field() == win.feq("?CLOSE")) win.close();
    });
  }

  void other() {
    pf::Window w("Other");
    loop(w, [](pf::Window& win) {
      // Another thread writes the frame's status bar by addressing thread 1's window.
      if (win.event() == pf::EVENT::Accepted) pf::topWindow(1)->setStatusText(1, "Ping from " + win.name());
    });
  }

  void frame() {
    pf::Window w("Frame");
    loop(w, [this](pf::Window& win) {
      if (win.event() != pf::EVENT::Accepted) return;
      if (win.field() == win.feq("?OPENB")) pf::start([this] { browse(); }, 50000);
      if (win.field() == win.feq("?EXIT")) win.close();
    });
    log.push_back("Frame: Closed");
  }
};

class Modality : public ::testing::Test {
 protected:
  void SetUp() override {
    pf::registerLayout("Frame", kFrame);
    pf::registerLayout("Browse", kBrowse);
    pf::registerLayout("Update", kUpdate);
    pf::registerLayout("Other", kOther);
  }
  pf::TestDriver d;
  Program p;

  std::vector<std::string> captions() {
    std::vector<std::string> out;
    for (const auto& w : d.windows()) out.push_back(w.caption + "@" + std::to_string(w.thread));
    return out;
  }
};

TEST_F(Modality, AFormBlocksOnlyItsOwnThread) {
  d.run([this] { p.frame(); }, [this] {
    d.choose("?OPENB");
    d.start([this] { p.other(); });
    d.activate("Browse");
    d.click("?CHANGE");
    EXPECT_EQ(captions(), (V{"Update@2", "Browse@2", "Other@3", "Quillbox@1"}));

    // The browse under its form takes nothing; the other thread's window works on.
    EXPECT_THROW(d.click("?CLOSE", "Browse"), std::runtime_error);
    p.log.clear();
    d.click("?PING", "Other");
    EXPECT_EQ(d.status(1), "Ping from Other");
    EXPECT_EQ(p.log, (V{"Other: Accepted ?PING"}));

    // The frame's menu still works while the form is open on another thread.
    EXPECT_TRUE(d.window("Frame").takesInput());

    d.activate("Update");
    p.log.clear();
    d.click("?OK");
    EXPECT_EQ(captions(), (V{"Browse@2", "Other@3", "Quillbox@1"}));
    EXPECT_TRUE(d.window("Browse").takesInput());
    EXPECT_EQ(p.log.back(), "Browse: GainFocus") << "the window under a closed form gets the focus back";
    d.click("?CLOSE", "Browse");
    EXPECT_EQ(captions(), (V{"Other@3", "Quillbox@1"}));
  });
}

TEST_F(Modality, ABoxBlocksItsThreadAndEventsPostedMeanwhileWait) {
  int answer = 0;
  d.start([this, &answer] {
    pf::Window w("Browse");
    w.open();
    while (w.accept()) {
      p.log.push_back(uitest::describe(w));
      if (w.event() == pf::EVENT::Accepted && w.field() == w.feq("?CHANGE"))
        answer = pf::message("Sure?", "Q", pf::Icon::Question, "&Yes|&No");
    }
  });
  int browseThread = d.window("Browse").thread();
  d.click("?CHANGE");
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->thread, browseThread);
  EXPECT_FALSE(d.window("Browse").takesInput());
  p.log.clear();
  pf::post(pf::EVENT::GainFocus, 0, browseThread);   // as a second start of a one-instance window does
  d.idle();
  EXPECT_TRUE(p.log.empty()) << "nothing reaches the window while its box is open";
  d.answer("&No");
  EXPECT_EQ(answer, 2);
  EXPECT_EQ(p.log, (V{"GainFocus"}));
}

TEST_F(Modality, MenuKeysOfTheFrameWorkFromAChildAndStopWithTheFrame) {
  d.run([this] { p.frame(); }, [this] {
    d.press("F5");
    ASSERT_EQ(d.windows().at(0).name, "Browse");
    d.press("F5");   // from the child: the frame's menu key
    int browses = 0;
    for (const auto& w : d.windows()) browses += w.name == "Browse";
    EXPECT_EQ(browses, 2);
    d.choose("?EXIT");
    EXPECT_TRUE(d.programEnded()) << "the program ends with its frame";
  });
}

TEST_F(Modality, SnapshotShowsWindowsInOrderWithTheirThreads) {
  d.run([this] { p.frame(); }, [this] {
    d.choose("?OPENB");
    std::string s = d.snapshot();
    std::size_t browse = s.find("window \"Browse\" Browse thread 2 mdi active");
    std::size_t frame = s.find("window \"Quillbox\" Frame thread 1 frame");
    EXPECT_NE(browse, std::string::npos) << s;
    EXPECT_NE(frame, std::string::npos) << s;
    EXPECT_LT(browse, frame);
    EXPECT_NE(s.find("?CHANGE button \"C&hange\""), std::string::npos) << s;
  });
}

// Leaving the program closes the other threads' windows first, each through its own close
// handling, top window first; a window that stays open ends the leaving for good.
TEST_F(Modality, ExitClosesOtherThreadsFirstAndARefusalIsFinal) {
  struct Case {
    const char* answer;
    bool ends;
  } cases[] = {{"&No", true}, {"&Yes", true}, {"&Cancel", false}};
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(c.answer);
    pf::TestDriver driver;
    Program prog;
    driver.run([&prog] { prog.frame(); }, [&] {
      driver.choose("?OPENB");
      driver.start([&prog] { prog.other(); });
      driver.activate("Browse");
      driver.click("?CHANGE");
      prog.changed = true;
      prog.log.clear();
      driver.choose("?EXIT", "Frame");
      ASSERT_NE(driver.box(), nullptr) << "the changed form asks first";
      driver.answer(c.answer);
      driver.advance(500);
      EXPECT_EQ(driver.programEnded(), c.ends);
      if (c.ends) {
        std::vector<std::string> order;
        for (const auto& l : prog.log)
          if (l.find("Close") != std::string::npos && l != "Update: CloseWindow") order.push_back(l);
        // The form before its browse; the frame's close only once, at the start.
        EXPECT_EQ(order, (V{"Frame: CloseWindow", "Update: CloseDown",
                            "Other: CloseDown", "Browse: CloseDown", "Frame: Closed"}));
        return;
      }
      // Closing what is left by hand later does not end the program.
      prog.changed = false;
      driver.click("?OK", "Update");
      driver.click("?CLOSE", "Browse");
      driver.advance(500);
      EXPECT_FALSE(driver.programEnded());
      ASSERT_EQ(driver.windows().size(), 1u);
      EXPECT_EQ(driver.windows()[0].name, "Frame");
      driver.choose("?EXIT");
      EXPECT_TRUE(driver.programEnded()) << "a new Exit with nothing else open ends at once";
    });
  }();
}

TEST_F(Modality, AChoiceInTheFrameWhileLeavingGoesOnWorking) {
  d.run([this] { p.frame(); }, [this] {
    d.choose("?OPENB");
    d.click("?CHANGE");
    p.changed = true;
    d.choose("?EXIT", "Frame");
    ASSERT_NE(d.box(), nullptr);
    d.choose("?OPENB", "Frame");   // the user goes on while the form asks
    d.answer("&No");
    d.advance(500);
    EXPECT_FALSE(d.programEnded());
    EXPECT_EQ(captions(), (V{"Browse@3", "Browse@2", "Quillbox@1"}));
  });
}

}  // namespace
