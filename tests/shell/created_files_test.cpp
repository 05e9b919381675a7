// Every file the shipped program makes is readable by its owner only, whatever the umask
// it was started under: data files, their journals, backups, the CSV export and its
// copy, the INI files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/file_modes.h"
#include "tests/support/temp_dir.h"

namespace qbtest {
namespace {

// A user's first session: a website added, a backup to C: (the home folder), a CSV
// export saved under a name of the user's choice.
const char* const FirstSession[] = {
    "click ?INSERT:3", "enter ?WEB:DESCRIPTION A site", "enter ?WEB:WEBADDRESS https://a.example", "click ?OK",
    "answer OK",   // no category chosen: the default one
    "close",
    "choose ?FILECREATEADATABACKUP", "enter ?LOC:DRIVELETTER C", "click ?STARTBUP", "answer OK", "click ?STARTBUP",
    "answer &No",
    "choose ?FILEEXPORTTOCSV", "slice", "answer OK", "click ?SAVEBUT", "answerfile copy.csv", "quit",
};

class ScopedHome {
 public:
  explicit ScopedHome(const std::string& home) {
    if (const char* h = std::getenv("HOME")) old_ = h, had_ = true;
    ::setenv("HOME", home.c_str(), 1);
  }
  ~ScopedHome() { had_ ? ::setenv("HOME", old_.c_str(), 1) : ::unsetenv("HOME"); }

 private:
  std::string old_;
  bool had_ = false;
};

TEST(CreatedFiles, AreTheOwnersAloneWhateverTheUmask) {
  const std::map<std::string, std::string> expected = {
      {"wsites.tps", "600"},           {"wsites.tps-journal", "600"},
      {"Category.tps", "600"},         {"Category.tps-journal", "600"},
      {"Defaults.tps", "600"},         {"Defaults.tps-journal", "600"},
      {"Access.tps", "600"},           {"Linkvue.ini", "600"},
      {"Drives.ini", "600"},           {"SitesCSV.csv", "600"},
      {"copy.csv", "600"},             {"home", "700"},
      {"home/SitesBup", "700"},        {"home/SitesBup/wsites.tps", "600"},
      {"home/SitesBup/Category.tps", "600"}, {"home/SitesBup/Defaults.tps", "600"},
      {"home/SitesBup/Access.tps", "600"},
  };
  for (mode_t mask : {mode_t{022}, mode_t{0}}) [&] {
    SCOPED_TRACE("umask " + std::to_string(mask));
    TempDir dir;
    ASSERT_EQ(::mkdir("home", 0700), 0);
    ASSERT_EQ(::chmod("home", 0700), 0);
    ScopedHome home(dir.path() + "/home");
    ScopedUmask anyoneMay(mask);
    ChildProcess p({QUILLBOX_DRIVE, "--quiet"});
    for (const char* line : FirstSession) p.send(line);
    p.closeInput();
    p.waitFor("\n(the end)\n");   // all it prints, to the end
    EXPECT_EQ(p.wait(), 0);
    EXPECT_EQ(p.output().find("user cannot"), std::string::npos) << p.output();
    std::map<std::string, int> modes;
    entriesBelow(dir.path(), modes);
    std::map<std::string, std::string> made;
    for (const auto& [path, bits] : modes) {
      char octal[8];
      std::snprintf(octal, sizeof octal, "%o", bits);
      made[path] = octal;
    }
    EXPECT_EQ(made, expected);
  }();
}

}  // namespace
}  // namespace qbtest
