#include "platform/classes/error_manager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/core/errors.h"
#include "platform/runtime/runtime.h"
#include "platform/runtime/testing.h"
#include "tests/support/temp_dir.h"

namespace {

using pf::Level::Benign;
using pf::Level::Cancel;
using pf::Level::Fatal;
using pf::Level::Notify;
using pf::Level::Program;
using pf::Level::User;

class ErrorManagerTest : public ::testing::Test {
 protected:
  void SetUp() override { pf::testing::resetRuntime(); }
  void TearDown() override { pf::testing::resetRuntime(); }
  // Runs `body` on a program thread until every thread waits.
  void onThread(std::function<void()> body) {
    pf::start(std::move(body), 0);
    pf::runUntilIdle();
  }
  qbtest::TempDir dir_;
  pf::testing::MessageRecorder rec_;
  pf::ErrorManager errors_;
};

struct TextCase {
  int id;
  const char* title;
  const char* text;
};

TEST_F(ErrorManagerTest, EntriesShowTheirTitleAndFilledInText) {
  const TextCase cases[] = {
      {pf::Msg::RetrievalError, "Record Retrieval Error",
       "Error: (File Not Found) attempting to access a record from the WSITES file.  Returning to "
       "previous window."},
      {pf::Msg::AccessDenied, "Access Denied", "Could not get write access to WSITES so trying read-only."},
      {pf::Msg::InsertError, "Record Insert Error",
       "An error was experienced during the creation of a record.|File: WSITES|Error: File Not Found."},
      {pf::Msg::RangeError, "Range Error", "The value of PREF:RecordNumber must be in range 0 .. 1."},
      {pf::Msg::FileLoadError, "File Load Error", "WSITES File Load Error.  Error: File Not Found."},
      {pf::Msg::UseError, "File Usage Error", "Attempt to use file (WSITES) before it was opened"},
      {pf::Msg::NoRecords, "No Records", "There are no records available to process."},
      {pf::Msg::DeleteIllegal, "Invalid Request", "This form cannot be used to delete a record"},
      {pf::Msg::InsertIllegal, "Invalid Request", "This form cannot be used to insert a record"},
  };
  onThread([&] {
    pf::setError(pf::Err::NoFile, "wsites.tps");
    errors_.setField("PREF:RecordNumber");
    errors_.setMessage("0 .. 1");
    errors_.setFile("WSITES");
    for (const auto& c : cases) errors_.throwError(c.id);
  });
  ASSERT_EQ(rec_.messages().size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].id);
    EXPECT_EQ(rec_.messages()[i].caption, cases[i].title);
    EXPECT_EQ(rec_.messages()[i].text, cases[i].text);
  }
}

TEST_F(ErrorManagerTest, SubstitutionIsOnePassAndLeavesUnknownNames) {
  errors_.setFile("%Field");  // a value is never scanned again
  errors_.setField("F");
  EXPECT_EQ(errors_.substitute("%File/%Field/%Unknown/100%"), "%Field/F/%Unknown/100%");
  pf::setError(pf::Err::AccessDenied, "x");
  EXPECT_EQ(errors_.substitute("%ErrorCode=%ErrorText"), "5=Access Denied");
  pf::clearError();
}

struct LevelCase {
  const char* name;
  int id;
  int answer;  // 0: the default button
  int want;
  const char* buttons;
  int defaultButton;
};

TEST_F(ErrorManagerTest, EachLevelAsksAndAnswersAsItShould) {
  const LevelCase cases[] = {
      {"notification", pf::Msg::NoRecords, 0, Notify, "", 1},
      {"program error", pf::Msg::UseError, 0, Program, "", 1},
      {"question, yes", pf::Msg::ConfirmDelete, 1, Benign, "&Yes|&No", 1},
      {"question, no", pf::Msg::ConfirmDelete, 2, Cancel, "&Yes|&No", 1},
      {"cancel question, yes", pf::Msg::ConfirmCancel, 1, Benign, "&Yes|&No", 1},
      {"save, yes", pf::Msg::SaveRecord, 1, Benign, "&Yes|&No|&Cancel", 3},
      {"save, no", pf::Msg::SaveRecord, 2, User, "&Yes|&No|&Cancel", 3},
      {"save, cancel", pf::Msg::SaveRecord, 3, Cancel, "&Yes|&No|&Cancel", 3},
      {"save, default", pf::Msg::SaveRecord, 0, Cancel, "&Yes|&No|&Cancel", 3},
  };
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(c.name);
    rec_.clear();
    if (c.answer) rec_.answer(c.answer);
    int got = -1;
    onThread([&] { got = errors_.throwError(c.id); });
    EXPECT_EQ(got, c.want);
    ASSERT_EQ(rec_.messages().size(), 1u);
    EXPECT_EQ(rec_.messages()[0].buttons, c.buttons);
    EXPECT_EQ(rec_.messages()[0].defaultButton, c.defaultButton);
    EXPECT_FALSE(pf::programEnded());
  }();
  EXPECT_EQ(rec_.messages()[0].icon, pf::Icon::Question);
}

TEST_F(ErrorManagerTest, FatalErrorsEndTheProgram) {
  const TextCase cases[] = {
      {pf::Msg::CreateError, "File Creation Error", "Error: (Access Denied) creating WSITES."},
      {pf::Msg::OpenError, "File Access Error", "File WSITES could not be opened.  Error: Access Denied."},
      {pf::Msg::RebuildError, "Key was not built", "Error: (Access Denied) repairing key for WSITES."},
  };
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(c.id);
    pf::testing::resetRuntime();
    rec_.clear();
    bool ranOn = false, otherRanOn = false;
    pf::runProgram([&] {
      pf::start([&] {
        pf::post(pf::EVENT::User, 0, 1);
        pf::waitEvent();
        otherRanOn = true;
      }, 0);
      pf::waitEvent();
      pf::setError(pf::Err::AccessDenied, "wsites.tps");
      errors_.throwFile(c.id, "WSITES");
      ranOn = true;
    });
    EXPECT_FALSE(ranOn);
    EXPECT_FALSE(otherRanOn);
    EXPECT_TRUE(pf::programEnded());
    ASSERT_EQ(rec_.messages().size(), 1u);
    EXPECT_EQ(rec_.messages()[0].caption, c.title);
    EXPECT_EQ(rec_.messages()[0].text, std::string(c.text) + "  Press OK to end this application");
  }();
}

TEST_F(ErrorManagerTest, ErrorTextAndProcedureNameAreTheCallingThreads) {
  std::vector<std::string> seen;
  errors_.addEntry({100, Notify, "Test", "%Procedure: %ErrorText"});
  auto body = [&](const char* outer, const char* inner, int code) {
    return [&, outer, inner, code] {
      errors_.setProcedureName(outer);
      errors_.setProcedureName(inner);
      pf::setError(code, "f");
      pf::waitEvent();  // the other thread sets its own meanwhile
      errors_.throwError(100);
      errors_.setProcedureName("");  // back to the outer procedure
      seen.push_back(errors_.procedureName());
    };
  };
  int a = pf::start(body("BrowseWebsites", "UpdateWebsites", pf::Err::NoFile), 0);
  int b = pf::start(body("Main", "Win_About", pf::Err::AccessDenied), 0);
  pf::runUntilIdle();
  pf::post(pf::EVENT::User, 0, b);
  pf::post(pf::EVENT::User, 0, a);
  pf::runUntilIdle();
  ASSERT_EQ(rec_.messages().size(), 2u);
  EXPECT_EQ(rec_.messages()[0].text, "Win_About: Access Denied");
  EXPECT_EQ(rec_.messages()[1].text, "UpdateWebsites: File Not Found");
  EXPECT_EQ(seen, (std::vector<std::string>{"Main", "BrowseWebsites"}));
  EXPECT_EQ(errors_.procedureName(), "");  // thread 1 registered none
  errors_.setProcedureName("");            // popping an empty stack is harmless
}

TEST_F(ErrorManagerTest, UnknownNumberIsReportedNotFatal) {
  int got = -1;
  onThread([&] { got = errors_.throwError(9999); });
  EXPECT_EQ(got, Program);
  EXPECT_EQ(rec_.messages().size(), 1u);
  EXPECT_FALSE(pf::programEnded());
}

TEST_F(ErrorManagerTest, MessageUsesTheCallersButtons) {
  rec_.answer(2);
  int got = 0;
  errors_.setFile("CATEGORY");
  onThread([&] { got = errors_.message(pf::Msg::ConfirmDelete, "&Delete|&Keep", 2); });
  EXPECT_EQ(got, 2);
  ASSERT_EQ(rec_.messages().size(), 1u);
  EXPECT_EQ(rec_.messages()[0].buttons, "&Delete|&Keep");
  EXPECT_EQ(rec_.messages()[0].caption, "Confirm Delete");
}

}  // namespace
