#include "platform/runtime/runtime.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/dates.h"
#include "platform/runtime/message.h"
#include "platform/runtime/testing.h"
#include "tests/support/temp_dir.h"

namespace {

using pf::Event;

class RuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override { pf::testing::resetRuntime(); }
  void TearDown() override { pf::testing::resetRuntime(); }
  qbtest::TempDir dir_;
};

struct Tally {
  int value = 0;
};

// Appends to a log when destroyed: shows that a stack or a context was released.
struct Trace {
  std::vector<std::string>* log = nullptr;
  std::string name;
  ~Trace() {
    if (log) log->push_back(name);
  }
};

TEST_F(RuntimeTest, ThreadsKeepTheirOwnContextAcrossSwitches) {
  std::vector<std::string> seen;
  auto worker = [&](std::uint8_t request, int tally) {
    return [&seen, request, tally] {
      pf::GLO_Request() = request;
      pf::ctx().local<Tally>().value = tally;
      pf::ctx().response = static_cast<std::uint8_t>(request + 1);
      pf::waitEvent();  // the other thread runs meanwhile
      seen.push_back(std::to_string(pf::thread()) + ":" + std::to_string(pf::GLO_Request()) + ":" +
                     std::to_string(pf::ctx().local<Tally>().value) + ":" +
                     std::to_string(pf::GLO_Response()) + ":" + pf::ctx().parameter);
    };
  };
  int a = pf::start(worker(1, 10), 5000, "alpha");
  int b = pf::start(worker(2, 20), 5000, "beta");
  pf::runUntilIdle();
  EXPECT_TRUE(seen.empty());
  pf::post(pf::EVENT::User, 0, b);
  pf::post(pf::EVENT::User, 0, a);
  pf::runUntilIdle();
  EXPECT_EQ(seen, (std::vector<std::string>{std::to_string(b) + ":2:20:3:beta",
                                            std::to_string(a) + ":1:10:2:alpha"}));
  // The scheduler's own stack sees thread 1's context, untouched by the others.
  EXPECT_EQ(pf::ctx().number, 1);
  EXPECT_EQ(pf::GLO_Request(), 0);
  EXPECT_FALSE(pf::ctx().hasLocal<Tally>());
}

TEST_F(RuntimeTest, ErrorStatusIsPerThread) {
  std::vector<int> codes;
  int a = pf::start([&] {
    pf::setError(pf::Err::NoFile, "WSITES");
    pf::waitEvent();
    codes.push_back(pf::errorcode());
  }, 0);
  pf::start([&] {
    codes.push_back(pf::errorcode());
    pf::setError(pf::Err::AccessDenied, "CATEGORY");
  }, 0);
  pf::runUntilIdle();
  pf::post(pf::EVENT::User, 0, a);
  pf::runUntilIdle();
  EXPECT_EQ(codes, (std::vector<int>{0, pf::Err::NoFile}));
  EXPECT_EQ(pf::errorcode(), 0);
}

TEST_F(RuntimeTest, EventsArriveInPostingOrderWithTheirSender) {
  std::vector<Event> got;
  int receiver = pf::start([&] {
    for (int i = 0; i < 4; ++i) got.push_back(pf::waitEvent());
  }, 0);
  pf::post(pf::EVENT::Accepted, 7, receiver);  // before the thread first runs
  Event e;
  e.code = pf::EVENT::Notify;
  e.param = 42;
  e.text = "payload";
  pf::post(e, receiver);
  int sender = pf::start([&] {
    pf::post(pf::EVENT::Timer, 0, receiver);
    pf::post(pf::EVENT::CloseWindow, 0, receiver);
  }, 0);
  pf::runUntilIdle();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].code, pf::EVENT::Accepted);
  EXPECT_EQ(got[0].control, 7);
  EXPECT_EQ(got[0].fromThread, 1);
  EXPECT_EQ(got[1].param, 42);
  EXPECT_EQ(got[1].text, "payload");
  EXPECT_EQ(got[2].code, pf::EVENT::Timer);
  EXPECT_EQ(got[2].fromThread, sender);
  EXPECT_EQ(got[3].code, pf::EVENT::CloseWindow);
  EXPECT_FALSE(pf::threadAlive(receiver));
}

TEST_F(RuntimeTest, PostToSelfAndToAnEndedThread) {
  std::vector<int> got;
  int t = pf::start([&] {
    pf::post(pf::EVENT::User + 1);  // 0: the calling thread
    EXPECT_FALSE(pf::queueEmpty());
    got.push_back(pf::waitEvent().code);
  }, 0);
  pf::runUntilIdle();
  EXPECT_EQ(got, std::vector<int>{pf::EVENT::User + 1});
  pf::post(pf::EVENT::User, 0, t);  // gone: dropped, no crash
  EXPECT_FALSE(pf::anyRunnable());
  EXPECT_TRUE(pf::queueEmpty(t));
}

TEST_F(RuntimeTest, WaitUntilResumesOnlyWhenWokenAndReady) {
  bool ready = false;
  int steps = 0;
  int t = pf::start([&] {
    pf::waitUntil([&] {
      ++steps;
      return ready;
    });
    steps = 100;
  }, 0);
  pf::runUntilIdle();
  EXPECT_EQ(steps, 1);
  pf::wake(t);  // woken but not ready: waits on
  pf::runUntilIdle();
  EXPECT_EQ(steps, 2);
  ready = true;
  EXPECT_FALSE(pf::runUntilIdle());  // nobody woke it
  EXPECT_EQ(steps, 2);
  pf::post(pf::EVENT::User, 0, t);  // an event wakes it as well
  EXPECT_TRUE(pf::runUntilIdle());
  EXPECT_EQ(steps, 100);
}

// A thread that gives its turn away runs again at the next turn, after every thread
// that was runnable, and the view is told that a turn is wanted.
TEST_F(RuntimeTest, AThreadThatGivesItsTurnAwayGoesOnAtTheNextTurn) {
  std::vector<std::string> log;
  int notes = 0;
  pf::start([&] {
    log.push_back("walk 1");
    pf::yieldTurn();
    log.push_back("walk 2");
  }, 0);
  pf::start([&] { log.push_back("other"); }, 0);
  pf::setScheduleNotifier([&] { ++notes; });
  EXPECT_TRUE(pf::runUntilIdle());
  EXPECT_EQ(log, (std::vector<std::string>{"walk 1", "other"}));
  EXPECT_TRUE(pf::anyRunnable());
  EXPECT_EQ(notes, 1);
  EXPECT_TRUE(pf::runUntilIdle());
  EXPECT_EQ(log.back(), "walk 2");
  EXPECT_FALSE(pf::anyRunnable());
  pf::yieldTurn();  // on the scheduler's own stack: nothing to give away
  EXPECT_FALSE(pf::anyRunnable());
}

// The view runs a thread that gave its turn away only from its own timer: an event sent
// to it, and a turn the view runs for other threads, leave it waiting for that.
TEST_F(RuntimeTest, AThreadThatGaveItsTurnAwayWaitsForANewTurn) {
  std::vector<std::string> log;
  int handOvers = 0;
  pf::setHandOverNotifier([&] { ++handOvers; });
  int walk = pf::start([&] {
    log.push_back("walk 1");
    pf::yieldTurn();
    log.push_back("walk 2");
    log.push_back("walk got " + std::to_string(pf::waitEvent().code));
  }, 0);
  int other = pf::start([&] {
    log.push_back("other " + std::to_string(pf::waitEvent().code));
  }, 0);
  EXPECT_TRUE(pf::runUntilIdle(false));
  EXPECT_EQ(log, (std::vector<std::string>{"walk 1"}));
  EXPECT_EQ(handOvers, 1);
  pf::post(7, 0, walk);
  pf::post(8, 0, other);
  EXPECT_TRUE(pf::runUntilIdle(false));
  EXPECT_EQ(log, (std::vector<std::string>{"walk 1", "other 8"}));
  EXPECT_TRUE(pf::runUntilIdle(true));
  EXPECT_EQ(log, (std::vector<std::string>{"walk 1", "other 8", "walk 2", "walk got 7"}));
  EXPECT_EQ(handOvers, 2) << "told once per turn that ends with it waiting";
  pf::setHandOverNotifier(nullptr);
}

TEST_F(RuntimeTest, StartedThreadRunsAtTheNextTurnWithAFreshNumber) {
  std::vector<std::string> log;
  std::vector<int> numbers;
  pf::start([&] {
    numbers.push_back(pf::thread());
    int child = pf::start([&] {
      log.push_back("child");
      numbers.push_back(pf::thread());
    }, 10000);
    log.push_back("parent after start");
    EXPECT_TRUE(pf::threadAlive(child));
    pf::waitUntil([&] { return !pf::threadAlive(child); });
    log.push_back("parent after child");
  }, 0);
  EXPECT_TRUE(log.empty());  // start() returns before the thread runs
  pf::runUntilIdle();
  // The parent waits until the child has ended; it is rechecked when woken.
  EXPECT_EQ(log, (std::vector<std::string>{"parent after start", "child"}));
  pf::wake(numbers[0]);
  pf::runUntilIdle();
  EXPECT_EQ(log.back(), "parent after child");
  int later = pf::start([] {}, 0);
  pf::runUntilIdle();
  EXPECT_EQ(numbers, (std::vector<int>{2, 3}));
  EXPECT_EQ(later, 4);  // never an ended thread's number
}

TEST_F(RuntimeTest, StartHookProcedureExitHookThenLocalsNewestFirst) {
  std::vector<std::string> log;
  pf::setThreadStartHook([&] { log.push_back("start " + std::to_string(pf::thread())); });
  pf::setThreadExitHook([&] {
    log.push_back("exit " + std::to_string(pf::thread()));
    EXPECT_TRUE(pf::ctx().hasLocal<Trace>());  // locals outlive the exit hook
  });
  int t = pf::start([&] {
    log.push_back("procedure");
    auto& older = pf::ctx().local<Trace>();
    older.log = &log;
    older.name = "older local";
    pf::ctx().local<Tally>();
    struct Second : Trace {};
    pf::ctx().local<Second>().log = &log;
    pf::ctx().local<Second>().name = "newer local";
  }, 0);
  pf::runUntilIdle();
  EXPECT_EQ(log, (std::vector<std::string>{"start " + std::to_string(t), "procedure",
                                           "exit " + std::to_string(t), "newer local",
                                           "older local"}));
}

TEST_F(RuntimeTest, ExceptionEndsOnlyItsOwnThread) {
  std::vector<std::string> log;
  pf::setThreadExitHook([&] { log.push_back("exit " + std::to_string(pf::thread())); });
  int bad = pf::start([] { throw std::runtime_error("boom"); }, 0);
  int good = pf::start([&] {
    pf::waitEvent();
    log.push_back("good goes on");
  }, 0);
  pf::runUntilIdle();
  EXPECT_FALSE(pf::threadAlive(bad));
  EXPECT_TRUE(pf::threadAlive(good));
  pf::post(pf::EVENT::User, 0, good);
  pf::runUntilIdle();
  EXPECT_EQ(log, (std::vector<std::string>{"exit " + std::to_string(bad), "good goes on",
                                           "exit " + std::to_string(good)}));
  EXPECT_FALSE(pf::programEnded());
}

TEST_F(RuntimeTest, WaitingInsideACatchBlockKeepsTheThreadsOwnException) {
  std::vector<std::string> seen;
  auto body = [&seen](const char* what) {
    return [&seen, what] {
      try {
        throw std::runtime_error(what);
      } catch (...) {
        pf::waitEvent();  // a message box shown from a handler waits like this
        try {
          throw;
        } catch (const std::runtime_error& e) {
          seen.push_back(e.what());
        }
        EXPECT_EQ(std::uncaught_exceptions(), 0);
      }
    };
  };
  int a = pf::start(body("a"), 0);
  int b = pf::start(body("b"), 0);
  pf::runUntilIdle();
  pf::post(pf::EVENT::User, 0, a);  // a finishes its handler while b is still in its own
  pf::runUntilIdle();
  pf::post(pf::EVENT::User, 0, b);
  pf::runUntilIdle();
  EXPECT_EQ(seen, (std::vector<std::string>{"a", "b"}));
}

TEST_F(RuntimeTest, EndAllThreadsUnwindsEveryStack) {
  struct Case {
    const char* name;
    bool fromThread;  // ended from inside a program thread, or from the scheduler
  };
  for (const Case& c : {Case{"from the scheduler", false}, Case{"from a thread", true}}) {
    SCOPED_TRACE(c.name);
    pf::testing::resetRuntime();
    std::vector<std::string> log;
    bool ranOn = false;
    pf::setThreadExitHook([&] { log.push_back("exit " + std::to_string(pf::thread())); });
    for (const char* n : {"a", "b"}) {
      pf::start([&log, n] {
        Trace guard{&log, std::string("stack ") + n};
        auto& local = pf::ctx().local<Trace>();
        local.log = &log;
        local.name = std::string("local ") + n;
        pf::waitEvent();
        ADD_FAILURE() << "a waiting thread ran on after the end";
      }, 0);
    }
    int killer = 0;
    if (c.fromThread) {
      killer = pf::start([&] {
        Trace guard{&log, "stack killer"};
        pf::start([&] { ranOn = true; }, 0);  // ended before its first turn
        pf::endAllThreads();
        ranOn = true;
      }, 0);
      pf::runUntilIdle();
    } else {
      pf::runUntilIdle();
      pf::start([&] { ranOn = true; }, 0);  // ended before its first turn
      pf::endAllThreads();
    }
    EXPECT_TRUE(pf::programEnded());
    EXPECT_FALSE(ranOn);
    EXPECT_FALSE(pf::threadAlive(2));
    EXPECT_FALSE(pf::threadAlive(3));
    std::vector<std::string> want;
    if (c.fromThread) {
      // b then a (newest first), then the caller itself.
      want = {"stack b", "exit 3", "local b", "stack a", "exit 2", "local a",
              "stack killer", "exit " + std::to_string(killer)};
    } else {
      want = {"stack b", "exit 3", "local b", "stack a", "exit 2", "local a"};
    }
    EXPECT_EQ(log, want);
    EXPECT_EQ(pf::start([] {}, 0), 0);  // nothing starts after the end
    pf::setThreadExitHook(nullptr);
  }
}

TEST_F(RuntimeTest, RunProgramReturnsWhenThreadOneEnds) {
  std::vector<std::string> log;
  int loops = 0, quits = 0;
  pf::setEventLoop([&] {
    ++loops;
    while (!pf::programEnded()) pf::runUntilIdle();
  }, [&] { ++quits; });
  pf::runProgram([&] {
    EXPECT_EQ(pf::thread(), 1);
    EXPECT_TRUE(pf::inProgramThread());
    int helper = pf::start([&] {
      pf::post(pf::EVENT::Notify, 0, 1);
      Trace guard{&log, "helper unwound"};
      pf::waitEvent();  // still waiting when thread 1 ends
    }, 0);
    Event e = pf::waitEvent();
    EXPECT_EQ(e.fromThread, helper);
    log.push_back("main done");
  });
  EXPECT_EQ(log, (std::vector<std::string>{"main done", "helper unwound"}));
  EXPECT_EQ(loops, 1);
  EXPECT_EQ(quits, 1);
  EXPECT_TRUE(pf::programEnded());
  EXPECT_FALSE(pf::inProgramThread());
}

TEST_F(RuntimeTest, ThreadOneContextExistsBeforeTheProgramAndAfterIt) {
  pf::ctx().vcrRequest = 9;  // set up on the scheduler's stack
  pf::runProgram([] {
    EXPECT_EQ(pf::GLO_VCRRequest(), 9);
    pf::GLO_Response() = 1;
  });
  EXPECT_EQ(pf::GLO_Response(), 1);
  // A second program in the same process starts on a clean slate.
  pf::runProgram([] {
    EXPECT_EQ(pf::GLO_Response(), 0);
    EXPECT_EQ(pf::start([] {}, 0), 2);
  });
}

TEST_F(RuntimeTest, HeadlessProgramWhoseThreadsAllWaitIsEndedNotHung) {
  bool after = false;
  pf::runProgram([&] {
    pf::waitEvent();  // nothing will ever come
    after = true;
  });
  EXPECT_FALSE(after);
  EXPECT_TRUE(pf::programEnded());
}

TEST_F(RuntimeTest, NotifierHearsOfEveryThreadThatBecomesRunnable) {
  int notes = 0;
  pf::setScheduleNotifier([&] { ++notes; });
  int t = pf::start([] { pf::waitEvent(); pf::waitEvent(); }, 0);
  EXPECT_EQ(notes, 1);
  pf::post(pf::EVENT::User, 0, t);  // already runnable: no second turn needed
  EXPECT_EQ(notes, 1);
  pf::runUntilIdle();
  EXPECT_EQ(notes, 1);
  pf::post(pf::EVENT::User, 0, t);
  EXPECT_EQ(notes, 2);
}

TEST_F(RuntimeTest, WaitingOnTheSchedulerStackRunsTurns) {
  pf::start([] { pf::post(pf::EVENT::Notify, 0, 1); }, 0);
  EXPECT_EQ(pf::waitEvent().code, pf::EVENT::Notify);
  EXPECT_THROW(pf::waitEvent(), std::logic_error);  // nobody will ever post
}

struct ClockCase {
  const char* name;
  std::int32_t day, time, advance;
  std::int32_t wantDay, wantTime;
};

TEST_F(RuntimeTest, FakeClockCarriesWholeDays) {
  const ClockCase cases[] = {
      {"within the day", 100, 1, 6000, 100, 6001},
      {"last hundredth of the day", 100, 1, 8639999, 100, 8640000},
      {"past midnight", 100, 8640000, 1, 101, 1},
      {"several days", 100, 50, 3 * 8640000 + 10, 103, 60},
      {"backwards over midnight", 100, 5, -10, 99, 8639995},
      {"out-of-range start", 100, 8640001, 0, 101, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    pf::useFakeClock(c.day, c.time);
    pf::advanceFakeClock(c.advance);
    EXPECT_TRUE(pf::fakeClock());
    EXPECT_EQ(pf::today(), c.wantDay);
    EXPECT_EQ(pf::clockTime(), c.wantTime);
  }
}

TEST_F(RuntimeTest, RealClockGivesTodaysDayNumber) {
  EXPECT_FALSE(pf::fakeClock());
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  std::int32_t want = pf::dateToDay(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  std::int32_t day = pf::today();
  EXPECT_TRUE(day == want || day == want + 1);  // midnight may pass in between
  std::int32_t t = pf::clockTime();
  EXPECT_GE(t, 1);
  EXPECT_LE(t, 8640000);
}

}  // namespace

namespace {

class OffThreadTest : public RuntimeTest {
 protected:
  void TearDown() override {
    pf::setOffThreadNotifier(nullptr);
    RuntimeTest::TearDown();
  }
};

// A job of its own OS thread: the waiting program thread gets its result (or its
// exception) back, and the other program threads run meanwhile.
TEST_F(OffThreadTest, OtherThreadsRunWhileAJobRuns) {
  std::atomic<bool> otherRan{false};
  std::vector<std::string> log;
  pf::start(
      [&] {
        int result = 0;
        pf::runOffThread([&] {
          // Finishes only once the other program thread has had its turn.
          while (!otherRan.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
          result = 42;
        });
        log.push_back("job " + std::to_string(result));
        try {
          pf::runOffThread([] { throw std::runtime_error("disk full"); });
        } catch (const std::runtime_error& e) {
          log.push_back(e.what());
        }
      },
      0);
  pf::start(
      [&] {
        log.push_back("other");
        otherRan = true;
      },
      0);
  // Headless: the turn is over only when the waiting thread has taken its result.
  pf::runUntilIdle();
  EXPECT_EQ(log, (std::vector<std::string>{"other", "job 42", "disk full"}));
}

TEST_F(OffThreadTest, AViewIsToldInsteadOfTheTurnWaiting) {
  std::atomic<int> told{0};
  std::atomic<bool> release{false};
  pf::setOffThreadNotifier([&] { ++told; });
  bool resumed = false;
  pf::start(
      [&] {
        pf::runOffThread([&] {
          while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        resumed = true;
      },
      0);
  pf::runUntilIdle();  // returns at once: the view's own loop goes on
  EXPECT_FALSE(resumed);
  release = true;
  while (told.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  pf::runUntilIdle();
  EXPECT_TRUE(resumed);
  EXPECT_EQ(told.load(), 1);
}

TEST_F(OffThreadTest, OutsideAProgramThreadTheJobRunsInPlace) {
  std::thread::id where;
  pf::runOffThread([&] { where = std::this_thread::get_id(); });
  EXPECT_EQ(where, std::this_thread::get_id());
}

}  // namespace
