// A working folder with the data files, the program's globals at their defaults, and a
// driver that plays the user.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/dictionary.h"
#include "data/globals.h"
#include "maintenance/maintenance.h"
#include "platform/classes/error_manager.h"
#include "platform/classes/ini_manager.h"
#include "platform/core/strings.h"
#include "platform/store/file.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/ui.h"
#include "shell/main_frame.h"
#include "shell/main_program.h"
#include "tests/support/record_files.h"
#include "tests/support/temp_dir.h"

namespace qbtest {

struct Web {
  std::string address;
  std::uint8_t colour = 1, highlight = 0, favourite = 0;
};

inline void writeSites(const std::vector<Web>& sites) {
  WSitesRecord r;
  pf::File f(WSitesDesc(), &r);
  ASSERT_EQ(f.create(), 0);
  ASSERT_EQ(f.open(), 0);
  ASSERT_EQ(f.logout(), 0);
  int n = 0;
  for (const auto& s : sites) {
    r = WSitesRecord{};
    r.DESCRIPTION = "Site " + std::to_string(++n);
    r.WEBADDRESS = s.address;
    r.CATEGORY = "News";
    r.TEXTCOLOR = s.colour;
    r.HIGHLIGHT = s.highlight;
    r.FAVOURITEYN = s.favourite;
    ASSERT_EQ(f.add(), 0);
  }
  ASSERT_EQ(f.commit(), 0);
  f.close();
}

inline std::vector<WSitesRecord> readSites() { return readRecords<WSitesRecord>(WSitesDesc()); }

inline void writeCategories(const std::vector<std::string>& names) {
  CategoryRecord r;
  pf::File f(CategoryDesc(), &r);
  ASSERT_EQ(f.create(), 0);
  ASSERT_EQ(f.open(), 0);
  for (const auto& n : names) {
    r.CATEGORY = n;
    ASSERT_EQ(f.add(), 0);
  }
  f.close();
}

inline void writePrefs(const DefaultsRecord& pref) {
  DefaultsRecord r = pref;
  pf::File f(DefaultsDesc(), &r);
  ASSERT_EQ(f.create(), 0);
  ASSERT_EQ(f.open(), 0);
  ASSERT_EQ(f.add(), 0);
  f.close();
}

inline DefaultsRecord readPrefs() {
  DefaultsRecord r;
  pf::File f(DefaultsDesc(), &r);
  EXPECT_EQ(f.open(), 0);
  f.set();
  EXPECT_EQ(f.next(), 0);
  f.close();
  return r;
}

inline std::string slurp(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class MaintenanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pf::AppErrors.init();
    pf::AppIni.init("Linkvue.ini");
    qb::installThreadHooks();
    qb::registerProcedures();
    GLO_DefaultBupDrive = "";
    GLO_Win_BackupDataThread = 0;
    GLO_RemoveTagMode = 0;
    GLO_CSVRecordCount = 0;
    pf::setNoTips(false);
  }
  void TearDown() override {
    pf::setNoTips(false);
    pf::AppIni.kill();
  }
  // The open box's caption and text ("" when none).
  std::string box() { return d.box() ? d.box()->message.caption + ": " + d.box()->message.text : ""; }
  // Answers the open box, which must have `caption`.
  void expectBox(const std::string& caption, const std::string& answer = "&OK") {
    ASSERT_NE(d.box(), nullptr) << "expected " << caption;
    EXPECT_EQ(d.box()->message.caption, caption) << d.box()->message.text;
    d.answer(answer);
  }
  bool isOpen(const std::string& name) {
    for (const auto& w : d.windows())
      if (w.name == name) return true;
    return false;
  }

  TempDir dir;
  pf::TestDriver d;
};

}  // namespace qbtest
