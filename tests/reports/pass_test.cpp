// The pass engine: a ProcessManager walk driven by a ReportController's timer, as the
// passes without a report use it.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "data/access.h"
#include "data/dictionary.h"
#include "platform/classes/process_manager.h"
#include "platform/classes/report_controller.h"
#include "platform/store/key_change.h"
#include "platform/store/lock_wait.h"
#include "tests/reports/reports_fixture.h"
#include "tests/support/slices.h"

namespace qbtest {
namespace {

using Pass = ReportsTest;

struct Step : pf::ProcessManager {
  std::function<std::uint8_t()> step;
  std::uint8_t ProcessRecord() override {
    std::uint8_t rc = pf::ProcessManager::ProcessRecord();
    return step ? step() : rc;
  }
};

struct PassWindow : pf::ReportController {
  PassWindow() : ReportController("TestPass") {}
  std::uint8_t Setup() override {
    if (std::uint8_t rc = ReportSetupBegin()) return rc;
    ReportOpen(Relate_WSites());
    if (byDescription) {
      text.StepTextInit(5, 3);
      process.ProcessInit(WSites(), Relate_WSites(), win().feq("?PROGRESS:PCTTEXT"), Progress,
                          text, pf::use(WEB->DESCRIPTION));
      process.CASESENSITIVEVALUE = 0;
      process.ViewAddSortOrder(&WEB_KeyDescription());
    } else {
      process.ProcessInitCount(WSites(), Relate_WSites(), win().feq("?PROGRESS:PCTTEXT"), 0,
                               Progress);
      process.ViewAddSortOrder(nullptr);
    }
    if (!filter.empty()) process.ViewSetFilter(filter);
    process.FRAMEWRITES = writes;
    ReportSetupPass(process);
    return 0;
  }
  std::uint8_t TearDown() override {
    if (std::uint8_t rc = ReportKill()) return rc;
    return TearDownEnd();
  }
  Step process;
  pf::TextStep text;
  bool byDescription = false;
  std::uint8_t writes = 0;
  std::string filter;
};

struct Outcome {
  std::vector<std::string> reached;
  std::vector<int> percents;
  std::vector<bool> inFrame;
  std::uint8_t response = 0;
};

std::vector<Site> fiveSites() {
  return {{"Echo", "http://e", "A", 1}, {"Bravo", "http://b", "A", 1}, {"Delta", "http://d", "A", 1},
          {"Alpha", "http://a", "A", 1}, {"Charlie", "http://c", "A", 1}};
}

TEST_F(Pass, WalksEveryRecordShowingProgress) {
  for (bool byDescription : {false, true}) [&] {
    SCOPED_TRACE(byDescription ? "text step" : "record count");
    pf::removeFile(WSitesDesc().diskName);
    addSites(fiveSites());
    Outcome out;
    d.start([&] {
      PassWindow w;
      w.byDescription = byDescription;
      w.process.step = [&] {
        out.reached.push_back(WEB->DESCRIPTION.clip());
        out.percents.push_back(w.Progress);
        return std::uint8_t{0};
      };
      out.response = w.Execute();
    });
    ASSERT_TRUE(progressOpen());
    EXPECT_EQ(d.window().caption(), "Processing Records");
    // The first record is fetched as the window opens; "Alpha" is at 0%.
    EXPECT_EQ(d.text("?PROGRESS:PCTTEXT"), byDescription ? "0% Completed" : "20% Complete");
    walk();
    EXPECT_FALSE(progressOpen());
    EXPECT_EQ(out.response, pf::Response::Completed);
    if (byDescription)
      EXPECT_EQ(out.reached, (std::vector<std::string>{"Alpha", "Bravo", "Charlie", "Delta", "Echo"}));
    else
      EXPECT_EQ(out.reached, (std::vector<std::string>{"Echo", "Bravo", "Delta", "Alpha", "Charlie"}));
    ASSERT_EQ(out.percents.size(), 5u);
    EXPECT_TRUE(std::is_sorted(out.percents.begin(), out.percents.end()));
    EXPECT_EQ(out.percents.back(), 100);
  }();
}

// The estimate follows the key's order, punctuation included, so it never runs back.
TEST_F(Pass, TextEstimateNeverRunsBackward) {
  addSites({{"Zed", "http://z", "A", 1}, {"bravo", "http://b", "A", 1}, {"B-z", "http://bz", "A", 1},
            {"Alpha", "http://a", "A", 1}, {"b.a.", "http://ba", "A", 1}});
  Outcome out;
  d.start([&] {
    PassWindow w;
    w.byDescription = true;
    w.process.step = [&] {
      out.reached.push_back(WEB->DESCRIPTION.clip());
      out.percents.push_back(w.Progress);
      return std::uint8_t{0};
    };
    out.response = w.Execute();
  });
  walk();
  EXPECT_EQ(out.reached, (std::vector<std::string>{"Alpha", "B-z", "b.a.", "bravo", "Zed"}));
  EXPECT_TRUE(std::is_sorted(out.percents.begin(), out.percents.end()))
      << testing::PrintToString(out.percents);
  EXPECT_EQ(out.percents.back(), 100);
}

// Each record's step takes 0.6 s, so each timer event handles one record.
TEST_F(Pass, WritesAreCommittedPerSliceAndCancelStops) {
  addSites(fiveSites());
  Outcome out;
  d.start([&] {
    PassWindow w;
    w.writes = 1;
    w.process.step = [&] {
      out.inFrame.push_back(WSites().inTransaction());
      WEB->VISITS = 9;
      EXPECT_EQ(w.process.view().put(), 0);
      out.reached.push_back(WEB->DESCRIPTION.clip());
      pf::advanceFakeClock(60);
      return std::uint8_t{0};
    };
    out.response = w.Execute();
  });
  d.advance(10);
  const std::size_t done = out.reached.size();
  ASSERT_GE(done, 1u);
  ASSERT_LT(done, 5u) << "one record per slice";
  // Between slices nothing is held open: another reader sees every write so far.
  WSitesRecord r;
  pf::File f(WSitesDesc(), &r);
  ASSERT_EQ(f.open(), 0);
  int nine = 0;
  f.set();
  while (f.next() == 0) nine += r.VISITS == 9;
  f.close();
  EXPECT_EQ(nine, static_cast<int>(done));
  d.click("?PROGRESS:CANCEL");
  d.advance(10);
  EXPECT_FALSE(progressOpen());
  EXPECT_EQ(out.response, pf::Response::Cancelled);
  EXPECT_EQ(out.reached.size(), done) << "nothing after Cancel";
  EXPECT_EQ(out.inFrame, std::vector<bool>(done, true));
}

// A writing walk over the five sites (VISITS = 9 each) that lets the windows have a turn
// after every record; `other` starts on a thread of its own at the first record, and the
// walk goes on only once `other` has ended or waits for the file. Answers how many records the walk had reached by then.
std::size_t walkBeside(pf::TestDriver& d, const std::function<void()>& other, Outcome& out) {
  bool go = false, done = false;
  std::size_t reached = 0;
  pf::setPassTurnMs(0);
  int beside = d.start([&] {
    pf::waitUntil([&] { return go; });
    other();
    reached = out.reached.size();
    done = true;
  });
  d.start([&] {
    PassWindow w;
    w.writes = 1;
    w.process.step = [&] {
      out.reached.push_back(WEB->DESCRIPTION.clip());
      WEB->VISITS = 9;
      EXPECT_EQ(w.process.view().put(), 0);
      if (out.reached.size() == 1) {
        go = true;
        pf::wake(beside);
      }
      // The next record once `other` has ended or waits for the file the walk holds.
      while (!done && pf::lockWaiters() == 0) pf::yieldTurn();
      return std::uint8_t{0};
    };
    out.response = w.Execute();
  });
  for (int i = 0; i < 50 && !(done && out.response); ++i) d.advance(10);
  EXPECT_EQ(out.response, pf::Response::Completed);
  EXPECT_EQ(out.reached, (std::vector<std::string>{"Echo", "Bravo", "Delta", "Alpha", "Charlie"}));
  EXPECT_TRUE(done);
  return reached;
}

// The websites as the file has them now: description, visits, rating.
std::vector<std::tuple<std::string, int, int>> sitesNow() {
  std::vector<std::tuple<std::string, int, int>> out;
  WSitesRecord r;
  pf::File f(WSitesDesc(), &r);
  EXPECT_EQ(f.open(), 0);
  f.set();
  while (f.next() == 0) out.emplace_back(r.DESCRIPTION.clip(), r.VISITS, r.RATING);
  f.close();
  return out;
}

// A walk that writes holds its frame while the windows have their turns. Another thread
// that writes a website during one of them is let in at once and keeps its change: the
// walk, which had read that website ahead, reads it again before it writes it.
TEST_F(Pass, AWriterMeetingTheFrameGetsInAndKeepsItsChange) {
  addSites(fiveSites());   // record order: Echo, Bravo, Delta, Alpha, Charlie
  int writerResult = -1;
  Outcome out;
  std::size_t reached = walkBeside(d, [&] {
    WSitesRecord r;
    pf::File f(WSitesDesc(), &r);
    if (f.open() != 0) return;
    r.DESCRIPTION = "Alpha";
    if (f.get(WEB_KeyDescription()) == 0) {
      r.RATING = 7;
      writerResult = f.put();
    }
    f.close();
  }, out);
  EXPECT_EQ(writerResult, 0) << "the writer was refused the file";
  EXPECT_LT(reached, 5u) << "the writer waited for the walk's end";
  using Site = std::tuple<std::string, int, int>;
  EXPECT_EQ(sitesNow(), (std::vector<Site>{{"Echo", 9, 0}, {"Bravo", 9, 0}, {"Delta", 9, 0},
                                           {"Alpha", 9, 7}, {"Charlie", 9, 0}}));
}

// The files' key changes (a program password is set) while a walk holds its frame over a
// turn: the walk lets go first, the change is made, and the walk goes on under the new key.
TEST_F(Pass, AKeyChangeDuringTheWalkWaitsForItsFrameAndLosesNothing) {
  addSites(fiveSites());
  DataKey().setPasswordRounds(1000);
  int changed = -1;
  std::string why;
  Outcome out;
  std::size_t reached = walkBeside(d, [&] {
    changed = pf::changeKey({&WSitesDesc()}, DataKey(), DataKey().with("new words"), &why);
  }, out);
  EXPECT_EQ(changed, 0) << why;
  EXPECT_LT(reached, 5u) << "the change waited for the walk's end";
  EXPECT_TRUE(DataKey().hasPassword());
  for (const auto& [description, visits, rating] : sitesNow()) EXPECT_EQ(visits, 9) << description;
  EXPECT_EQ(pf::changeKey({&WSitesDesc()}, DataKey(), DataKey().with(""), &why), 0) << why;
  DataKey().setPasswordRounds(pf::FileKey::PasswordRounds);
}

// A step that throws in the middle of a slice: the stop box says so, what was written stays
// written (as after a failed write), and nothing holds the file while the box waits.
TEST_F(Pass, AnExceptionMidSliceFreesTheFile) {
  addSites(fiveSites());
  pf::setThreadFailureHandler([](std::exception_ptr failure) { pf::AppErrors.threadFailed(failure); });
  qbtest::Slices slices(d, 2);
  int reached = 0;
  d.start([&] {
    PassWindow w;
    w.writes = 1;
    w.process.step = [&] {
      WEB->VISITS = 9;
      EXPECT_EQ(w.process.view().put(), 0);
      if (++reached == 3) throw std::runtime_error("disk on fire");
      return std::uint8_t{0};
    };
    w.Execute();
  });
  EXPECT_EQ(slices.run(), 2);
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.text, "An error has ended TestPass:|disk on fire");
  EXPECT_FALSE(progressOpen());

  // Another writer gets the file at once, and sees the three records written.
  WSitesRecord r;
  pf::File f(WSitesDesc(), &r);
  ASSERT_EQ(f.open(), 0);
  std::vector<int> visits;
  f.set();
  while (f.next() == 0) visits.push_back(r.VISITS);
  EXPECT_EQ(visits, (std::vector<int>{9, 9, 9, 1, 1}));
  f.set();
  ASSERT_EQ(f.next(), 0);
  r.VISITS = 5;
  EXPECT_EQ(f.put(), 0);
  f.close();
  d.answer("&Ignore");
  EXPECT_EQ(d.box(), nullptr);
}

TEST_F(Pass, TwoPassesOnTwoThreadsWalkIndependently) {
  addSites(fiveSites());
  Outcome a, b;
  auto run = [](Outcome& out, bool byDescription) {
    return [&out, byDescription] {
      PassWindow w;
      w.byDescription = byDescription;
      w.process.step = [&out] {
        out.reached.push_back(WEB->DESCRIPTION.clip());
        return std::uint8_t{0};
      };
      out.response = w.Execute();
    };
  };
  d.start(run(a, true));
  d.start(run(b, false));
  walk();
  EXPECT_EQ(a.reached, (std::vector<std::string>{"Alpha", "Bravo", "Charlie", "Delta", "Echo"}));
  EXPECT_EQ(b.reached, (std::vector<std::string>{"Echo", "Bravo", "Delta", "Alpha", "Charlie"}));
  EXPECT_EQ(a.response, pf::Response::Completed);
  EXPECT_EQ(b.response, pf::Response::Completed);
}

TEST_F(Pass, StepAnsweringThreeStopsTheWalk) {
  addSites(fiveSites());
  Outcome out;
  d.start([&] {
    PassWindow w;
    w.process.step = [&] {
      out.reached.push_back(WEB->DESCRIPTION.clip());
      return std::uint8_t(out.reached.size() == 2 ? 3 : 0);
    };
    out.response = w.Execute();
  });
  walk();
  EXPECT_FALSE(progressOpen());
  EXPECT_EQ(out.reached.size(), 2u);
  EXPECT_EQ(out.response, pf::Response::Cancelled) << "a stop that left no response is cancelled";
}

TEST_F(Pass, NoRecordPassingIsLikeAnEmptyFile) {
  struct Case {
    const char* name;
    bool empty;
    std::string filter;
  };
  const Case cases[] = {{"empty file", true, ""}, {"filter nobody meets", false, "WEB:Visits > 100"}};
  for (const Case& c : cases) [&] {
    SCOPED_TRACE(c.name);
    pf::removeFile(WSitesDesc().diskName);
    if (c.empty)
      emptySites();
    else
      addSites(fiveSites());
    Outcome out;
    d.start([&] {
      PassWindow w;
      w.filter = c.filter;
      w.process.step = [&] {
        out.reached.push_back("x");
        return std::uint8_t{0};
      };
      out.response = w.Execute();
    });
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(d.box()->message.caption, "No Records");
    d.answer(1);
    EXPECT_FALSE(progressOpen());
    EXPECT_TRUE(out.reached.empty());
    EXPECT_EQ(out.response, pf::Response::Cancelled);
  }();
}

}  // namespace
}  // namespace qbtest
