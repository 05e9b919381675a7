// The data backup window, played by a user, with drive letters led to test folders.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/maintenance/maintenance_fixture.h"

namespace qbtest {
namespace {

const char* const NothingBackedUp = "No data files have been backed up!";

class Backup : public MaintenanceTest {
 protected:
  void SetUp() override {
    MaintenanceTest::SetUp();
    writeSites({{"http://a.org"}});
    writeCategories({"All Categories", "News"});
    writePrefs(DefaultsRecord{});
    usb = dir.path() + "/usb";
    pf::makeDirectory(usb);
    pf::makeDirectory(dir.path() + "/home");
    std::ofstream("Drives.ini") << "[Drives]\nC=" << dir.path() << "/home\nE=" << usb << "\nF=\nG="
                                << dir.path() << "/not-mounted\n";
  }
  void open() {
    d.start(qb::Win_BackupData);
    ASSERT_EQ(d.window().name(), "Win_BackupData");
  }
  std::string usb;
};

TEST_F(Backup, DriveButtonPreparesFolderAndCopiesPresentFiles) {
  // No Access.tps here: it is skipped and the others still go.
  GLO_DefaultBupDrive = "G";
  open();
  EXPECT_EQ(d.text("?LOC:DRIVELETTER"), "G");
  d.click("?EBUT");
  EXPECT_EQ(d.box(), nullptr) << box();
  EXPECT_EQ(d.text("?FULLDIRECTORYNAME"), "E:\\SitesBup");
  EXPECT_TRUE(pf::fileExists(usb + "/SitesBup"));
  d.click("?STARTBUP");
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.text, "The backup process is complete.||   Create another backup?");
  EXPECT_EQ(d.box()->message.caption, "Data Backup...");
  for (const char* f : {"wsites.tps", "Defaults.tps", "Category.tps"})
    EXPECT_EQ(slurp(usb + "/SitesBup/" + f), slurp(f)) << f;
  EXPECT_FALSE(pf::fileExists(usb + "/SitesBup/Access.tps"));
  EXPECT_FALSE(d.enabled("?STARTBUP"));
  d.answer("&No");
  EXPECT_EQ(d.box(), nullptr) << "a completed backup closes without the warning: " << box();
  EXPECT_FALSE(isOpen("Win_BackupData"));
}

TEST_F(Backup, AnotherBackupThenCloseAsksNothing) {
  open();
  d.click("?EBUT");
  d.click("?STARTBUP");
  d.answer("&Yes");
  EXPECT_EQ(d.focused(), "?LOC:DRIVELETTER");
  EXPECT_TRUE(d.enabled("?STARTBUP"));
  EXPECT_EQ(d.text("?LOC:DRIVELETTER"), "");
  d.click("?CLOSE");
  EXPECT_EQ(d.box(), nullptr) << box();
  EXPECT_FALSE(isOpen("Win_BackupData"));
}

TEST_F(Backup, RefusedLettersAndCloseWithoutBackup) {
  open();
  for (const char* letter : {"", "5", "e"}) {
    SCOPED_TRACE(letter);
    d.enter("?LOC:DRIVELETTER", letter);
    d.click("?STARTBUP");
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(d.box()->message.text, "The Drive Letter must be in the range of [ A - Z ].");
    expectBox("No Destination Drive!");
    EXPECT_EQ(d.box(), nullptr) << box();
    EXPECT_EQ(d.focused(), "?LOC:DRIVELETTER");
  }
  d.click("?CLOSE");
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.text, NothingBackedUp);
  expectBox("Close selected!");
  EXPECT_FALSE(isOpen("Win_BackupData"));
}

TEST_F(Backup, DriveCWarnsOnceThenBacksUp) {
  open();
  d.enter("?LOC:DRIVELETTER", "C");
  d.click("?STARTBUP");
  expectBox("Are you sure?");
  EXPECT_EQ(d.box(), nullptr) << "the first press copies nothing: " << box();
  EXPECT_EQ(d.focused(), "?LOC:DRIVELETTER");
  EXPECT_FALSE(pf::fileExists(dir.path() + "/home/SitesBup"));
  d.click("?STARTBUP");
  expectBox("Data Backup...", "&No");
  EXPECT_TRUE(pf::fileExists(dir.path() + "/home/SitesBup/wsites.tps"));
}

TEST_F(Backup, LetterLeadingNowhereIsACopyError) {
  const char* const reasons =
      "Some possible reasons...|     - Is drive the letter entered correct?|     - Is the backup media in the "
      "selected drive?|     - Is the disk full?||     Please check then retry.";
  open();
  for (const char* button : {"?FBUT", "?GBUT"}) {   // no folder given; a folder not there
    SCOPED_TRACE(button);
    d.click(button);
    d.click("?STARTBUP");
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(d.box()->message.text, reasons);
    expectBox("Error...");
    EXPECT_TRUE(d.enabled("?STARTBUP"));
    EXPECT_TRUE(d.enabled("?CLOSE"));
  }
  d.click("?CLOSE");
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.text, NothingBackedUp);
  d.answer(1);
}

TEST_F(Backup, DriveTableMadeWhenMissing) {
  pf::removeFile("Drives.ini");
  EXPECT_EQ(qb::driveFolder('E'), "");
  EXPECT_TRUE(pf::fileExists("Drives.ini"));
  std::string table = slurp("Drives.ini");
  for (const char* entry : {"[Drives]", "C=", "D=", "H="}) EXPECT_NE(table.find(entry), std::string::npos) << entry;
}

}  // namespace
}  // namespace qbtest
