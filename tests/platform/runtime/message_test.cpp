#include "platform/runtime/message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/runtime/runtime.h"
#include "platform/runtime/testing.h"
#include "tests/support/temp_dir.h"

namespace {

class MessageTest : public ::testing::Test {
 protected:
  void SetUp() override { pf::testing::resetRuntime(); }
  void TearDown() override { pf::testing::resetRuntime(); }
  qbtest::TempDir dir_;
};

struct Trace {
  std::vector<std::string>* log;
  const char* name;
  ~Trace() { log->push_back(name); }
};

TEST_F(MessageTest, WithoutAHandlerABoxAnswersItsDefault) {
  EXPECT_EQ(pf::message("Sure?", "Ask", pf::Icon::Question, "&Yes|&No", 2), 2);
  EXPECT_EQ(pf::message("Plain"), 1);
}

TEST_F(MessageTest, RecorderSeesRequestsAndAnswersFromItsScript) {
  pf::testing::MessageRecorder rec;
  rec.answer(3);
  int first = 0, second = 0;
  pf::start([&] {
    first = pf::message("One|Two", "Caption", pf::Icon::Exclamation, "&A|&B|&C", 1);
    second = pf::message("Again", {}, pf::Icon::None, "&A|&B", 2);
  }, 0);
  pf::runUntilIdle();
  EXPECT_EQ(first, 3);
  EXPECT_EQ(second, 2);  // script used up: the default button
  ASSERT_EQ(rec.messages().size(), 2u);
  EXPECT_EQ(rec.messages()[0].text, "One|Two");
  EXPECT_EQ(rec.messages()[0].caption, "Caption");
  EXPECT_EQ(rec.messages()[0].icon, pf::Icon::Exclamation);
  EXPECT_EQ(rec.messages()[0].buttons, "&A|&B|&C");
  EXPECT_EQ(rec.lastText(), "Again");
}

TEST_F(MessageTest, RecorderRestoresThePreviousHandler) {
  pf::setMessageHandler([](const pf::MessageRequest&) { return 7; });
  {
    pf::testing::MessageRecorder rec;
    EXPECT_EQ(pf::message("x", {}, pf::Icon::None, "&A|&B", 2), 2);
  }
  EXPECT_EQ(pf::message("x"), 7);
  pf::setMessageHandler(nullptr);
}

TEST_F(MessageTest, HaltShowsItsTextAndNothingRunsAfterIt) {
  pf::testing::MessageRecorder rec;
  std::vector<std::string> log;
  pf::runProgram([&] {
    pf::start([&] {
      Trace t{&log, "other thread unwound"};
      pf::post(pf::EVENT::User, 0, 1);
      pf::waitEvent();
    }, 0);
    pf::waitEvent();  // the other thread is waiting now
    Trace t{&log, "halting thread unwound"};
    pf::halt("Access Denied - Incorrect Password 3 times");
    log.push_back("after halt");
  });
  EXPECT_EQ(rec.halts(), std::vector<std::string>{"Access Denied - Incorrect Password 3 times"});
  EXPECT_EQ(log, (std::vector<std::string>{"other thread unwound", "halting thread unwound"}));
  EXPECT_TRUE(pf::programEnded());
}

TEST_F(MessageTest, HaltOffAnyProgramThreadStillNeverReturns) {
  pf::testing::MessageRecorder rec;
  EXPECT_THROW(pf::halt("bye"), pf::ProgramEnded);
  EXPECT_TRUE(pf::programEnded());
  EXPECT_EQ(rec.halts().size(), 1u);
}

TEST_F(MessageTest, StopBoxAbortEndsTheProgramIgnoreGoesOn) {
  struct Case {
    const char* name;
    int answer;  // 0: the default button
    bool goesOn;
  };
  for (const Case& c : {Case{"ignore", 2, true}, Case{"default", 0, true}, Case{"abort", 1, false}}) [&] {
    SCOPED_TRACE(c.name);
    pf::testing::resetRuntime();
    pf::testing::MessageRecorder rec;
    if (c.answer) rec.answer(c.answer);
    bool wentOn = false;
    pf::start([&] {
      pf::stopBox("Disk full");
      wentOn = true;
    }, 0);
    pf::runUntilIdle();
    EXPECT_EQ(wentOn, c.goesOn);
    EXPECT_EQ(pf::programEnded(), !c.goesOn);
    ASSERT_EQ(rec.messages().size(), 1u);
    EXPECT_EQ(rec.messages()[0].caption, "Stop");
    EXPECT_EQ(rec.messages()[0].buttons, "&Abort|&Ignore");
  }();
}

}  // namespace
