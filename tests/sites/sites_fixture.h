// A folder with websites and categories on file, the browse's globals at their
// defaults, and a driver that plays the user.
#pragma once

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "data/dictionary.h"
#include "data/globals.h"
#include "platform/classes/error_manager.h"
#include "platform/classes/ini_manager.h"
#include "platform/core/dates.h"
#include "platform/core/strings.h"
#include "platform/os/desktop.h"
#include "platform/ui/test_driver.h"
#include "platform/classes/window_controller.h"
#include "shell/main_frame.h"
#include "shell/main_program.h"
#include "sites/browse_websites.h"
#include "tests/support/record_files.h"
#include "tests/support/temp_dir.h"

namespace qbtest {

struct Site {
  std::string description, address, category;
  std::uint8_t favourite = 0, highlight = 0, colour = 1;
  std::string logon = {}, password = {}, notes = {};
  std::int32_t visits = 0;
};

inline void addSites(const std::vector<Site>& sites) {
  addRecords<WSitesRecord>(WSitesDesc(), sites, [](WSitesRecord& r, const Site& s) {
    r = WSitesRecord{};
    r.DESCRIPTION = s.description;
    r.WEBADDRESS = s.address;
    r.CATEGORY = s.category;
    r.FAVOURITEYN = s.favourite;
    r.HIGHLIGHT = s.highlight;
    r.TEXTCOLOR = s.colour;
    r.LOGONID = s.logon;
    r.PASSWORD = s.password;
    r.SiteNotes = s.notes;
    r.VISITS = s.visits;
  });
}

inline void addCategories(const std::vector<std::string>& names) {
  addRecords<CategoryRecord>(CategoryDesc(), names, [](CategoryRecord& r, const std::string& n) { r.CATEGORY = n; });
}

// The preferences record alone in Defaults.tps, naming `defaultCategory`.
inline void writePreferences(const std::string& defaultCategory) {
  pf::removeFile(DefaultsDesc().diskName);
  addRecords<DefaultsRecord>(DefaultsDesc(), std::vector<std::string>{defaultCategory},
                             [](DefaultsRecord& r, const std::string& category) {
                               r = DefaultsRecord{};
                               r.RECORDNUMBER = 1;
                               r.DEFAULTCAT = category;
                             });
}

inline std::vector<WSitesRecord> readSites() { return readRecords<WSitesRecord>(WSitesDesc()); }

// A copy, not a pointer: the list handed in is often a temporary that dies at the semicolon.
// Not found fails the test at once.
inline WSitesRecord findSite(const std::vector<WSitesRecord>& all, const std::string& d) {
  for (const auto& r : all)
    if (r.DESCRIPTION.clip() == d) return r;
  throw std::runtime_error("no website \"" + d + "\" on file");
}

class SitesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pf::AppErrors.init();
    pf::AppIni.init("Linkvue.ini");
    qb::registerHelp();
    qb::installThreadHooks();
    qb::registerProcedures();
    pf::setDesktopShell(&shell);
    GLO_BrowseSitesOpen = 0;
    GLO_BrowseWebsitesThread = GLO_UpdateWebsitesThread = 0;
    GLO_ShowPwords = GLO_ShowCats = 1;
    GLO_DefaultCat = "All Categories";
    GLO_Column4Width = 75;
    GLO_Column5Width = 75;
    GLO_Column6Width = 100;
    addCategories({"All Categories", "Default", "News", "Shops", "Travel"});
    writePreferences("");
  }
  void TearDown() override {
    pf::setDesktopShell(nullptr);
    pf::AppIni.kill();
  }

  // Opens the browse on a thread of its own.
  void openBrowse() {
    d.start(qb::BrowseWebsites, "");
    ASSERT_EQ(d.window().name(), "BrowseWebsites");
  }
  std::vector<std::string> column(int c, const std::string& in = "BrowseWebsites") {
    std::vector<std::string> out;
    for (const auto& r : d.rows("?BROWSE:1", in)) out.push_back(c - 1 < static_cast<int>(r.size()) ? pf::trim(r[c - 1]) : "");
    return out;
  }
  std::string caption() { return d.window("BrowseWebsites").caption(); }
  std::string boxText() { return d.box() ? d.box()->message.text : std::string(); }
  std::string boxCaption() { return d.box() ? d.box()->message.caption : std::string(); }
  std::string count() { return d.text("?LOC:RECORDCOUNT", "BrowseWebsites"); }

  TempDir dir;
  pf::RecordingDesktopShell shell;
  pf::TestDriver d{pf::dateToDay(2026, 12, 10), 9 * 360000 + 1};
};

}  // namespace qbtest
