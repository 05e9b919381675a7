// A folder with websites on file and a driver that plays the user through a report.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/dictionary.h"
#include "data/globals.h"
#include "platform/classes/error_manager.h"
#include "platform/classes/ini_manager.h"
#include "platform/classes/window_controller.h"
#include "platform/report/print.h"
#include "platform/ui/test_driver.h"
#include "shell/main_frame.h"
#include "shell/main_program.h"
#include "tests/support/record_files.h"
#include "tests/support/temp_dir.h"

namespace qbtest {

struct Site {
  std::string description, address, category;
  std::int32_t visits = 0;
  std::string logon = {}, password = {};
  std::uint8_t favourite = 0;
  std::int32_t added = 0, updated = 0, lastVisit = 0;
};

inline void addSites(const std::vector<Site>& sites) {
  addRecords<WSitesRecord>(WSitesDesc(), sites, [](WSitesRecord& r, const Site& s) {
    r = WSitesRecord{};
    r.DESCRIPTION = s.description;
    r.WEBADDRESS = s.address;
    r.CATEGORY = s.category;
    r.VISITS = s.visits;
    r.LOGONID = s.logon;
    r.PASSWORD = s.password;
    r.FAVOURITEYN = s.favourite;
    r.DATEADDED = s.added;
    r.DATEUPDATED = s.updated;
    r.LASTVISIT = s.lastVisit;
  });
}

// An empty websites file.
inline void emptySites() {
  WSitesRecord r;
  pf::File f(WSitesDesc(), &r);
  ASSERT_EQ(f.create(), 0);
}

class ReportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pf::AppErrors.init();
    pf::AppIni.init("Linkvue.ini");
    qb::registerHelp();
    qb::installThreadHooks();
    qb::registerProcedures();
    pf::clearPrintJobs();
    GLO_Win_ReportsThread = 0;
    GLO_DelCategory.clear();
  }
  void TearDown() override {
    pf::clearPrintJobs();
    pf::AppIni.kill();
  }

  bool isOpen(const std::string& name) {
    for (const auto& w : d.windows())
      if (w.name == name) return true;
    return false;
  }

  bool progressOpen() {
    for (const auto& w : d.windows())
      if (w.caption == "Please wait..." || w.caption == "Processing Records") return true;
    return false;
  }

  // Lets the progress window's timer run the walk.
  void walk() {
    for (int i = 0; i < 50 && progressOpen(); ++i) {
      if (d.box()) return;
      d.advance(10);
    }
  }

  // Answers the options question (when asked), walks, and prints from the preview.
  // The pages printed; empty when no preview came.
  pf::ReportDocument print(void (*report)(), const char* answer = "&Exclude") {
    d.start(report);
    if (answer) {
      pf::Dialog* b = d.box();
      if (!b) {
        ADD_FAILURE() << "no options question";
        return {};
      }
      EXPECT_EQ(b->message.text, "Include your Logon ID and Passwords in this report?");
      d.answer(answer);
    }
    walk();
    if (!isOpen("_PreviewWindow_")) return {};
    d.click("?PREVIEW:PRINTBUTTON", "_PreviewWindow_");
    if (pf::printJobs().empty()) return {};
    return pf::printJobs().back().printed;
  }

  // Every text of a control over all pages.
  static std::vector<std::string> column(const pf::ReportDocument& doc, const std::string& control) {
    std::vector<std::string> out;
    for (const auto& p : doc.pages)
      for (const auto& t : p.textsOf(control)) out.push_back(t);
    return out;
  }

  TempDir dir;
  pf::TestDriver d;
};

}  // namespace qbtest
