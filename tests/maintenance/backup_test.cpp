// The data backup window, played by a user, with drive letters led to test folders.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/store/cipher.h"
#include "tests/maintenance/maintenance_fixture.h"
#include "tests/support/file_modes.h"

namespace qbtest {
namespace {

const char* const NothingBackedUp = "No data files have been backed up!";
const char* const CopyError =
    "Some possible reasons...|     - Is drive the letter entered correct?|     - Is the backup media in the "
    "selected drive?|     - Is the disk full?||     Please check then retry.";

// The records of a copy of a data file, read with that file's declaration and key.
template <class Record>
std::vector<Record> readCopy(const pf::FileDesc& desc, const std::string& path) {
  pf::FileDesc copy = desc;
  copy.diskName = path;
  return readRecords<Record>(copy);
}

std::vector<std::string> addresses(const std::vector<WSitesRecord>& sites) {
  std::vector<std::string> out;
  for (const auto& s : sites) out.push_back(s.WEBADDRESS.str());
  return out;
}

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
  ScopedUmask anyoneMay(0);
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
  const std::string to = usb + "/SitesBup/";
  EXPECT_EQ(addresses(readCopy<WSitesRecord>(WSitesDesc(), to + "wsites.tps")),
            std::vector<std::string>{"http://a.org"});
  EXPECT_EQ(readCopy<CategoryRecord>(CategoryDesc(), to + "Category.tps").size(), 2u);
  EXPECT_EQ(readCopy<DefaultsRecord>(DefaultsDesc(), to + "Defaults.tps").size(), 1u);
  for (const char* f : {"wsites.tps", "Defaults.tps", "Category.tps"}) EXPECT_EQ(modeOf(to + f), 0600) << f;
  EXPECT_FALSE(pf::fileExists(to + "Access.tps"));
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
  for (const char* letter : {"", "5", "e"}) [&] {
    SCOPED_TRACE(letter);
    d.enter("?LOC:DRIVELETTER", letter);
    d.click("?STARTBUP");
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(d.box()->message.text, "The Drive Letter must be in the range of [ A - Z ].");
    expectBox("No Destination Drive!");
    EXPECT_EQ(d.box(), nullptr) << box();
    EXPECT_EQ(d.focused(), "?LOC:DRIVELETTER");
  }();
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
  const char* const reasons = CopyError;
  open();
  for (const char* button : {"?FBUT", "?GBUT"}) [&] {   // no folder given; a folder not there
    SCOPED_TRACE(button);
    d.click(button);
    d.click("?STARTBUP");
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(d.box()->message.text, reasons);
    expectBox("Error...");
    EXPECT_TRUE(d.enabled("?STARTBUP"));
    EXPECT_TRUE(d.enabled("?CLOSE"));
  }();
  d.click("?CLOSE");
  ASSERT_NE(d.box(), nullptr);
  EXPECT_EQ(d.box()->message.text, NothingBackedUp);
  d.answer(1);
}

TEST_F(Backup, ASitesBupThatIsNotAFolderIsNeverWrittenOver) {
  for (bool link : {false, true}) [&] {
    SCOPED_TRACE(link ? "a link to a file" : "a plain file");
    const std::string mine = link ? dir.path() + "/my-file" : usb + "/SitesBup";
    pf::removeFile(usb + "/SitesBup");
    ::rmdir((usb + "/SitesBup").c_str());
    std::ofstream(mine) << "the user's own";
    if (link) {
      ASSERT_EQ(::symlink(mine.c_str(), (usb + "/SitesBup").c_str()), 0);
    }
    open();
    d.click("?EBUT");
    d.click("?STARTBUP");
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(d.box()->message.text, CopyError);
    expectBox("Error...");
    EXPECT_EQ(slurp(mine), "the user's own");
    EXPECT_TRUE(d.enabled("?STARTBUP"));
    d.click("?CLOSE");
    ASSERT_NE(d.box(), nullptr);
    EXPECT_EQ(d.box()->message.text, NothingBackedUp);
    d.answer(1);
    EXPECT_FALSE(pf::fileExists(usb + "/SitesBup.qbcopy"));
  }();
}

TEST_F(Backup, AJournalLeftHotByACrashIsPlayedBackIntoTheCopy) {
  std::vector<Web> sites;
  for (int i = 0; i < 300; ++i) sites.push_back({"http://site" + std::to_string(i) + ".org"});
  writeSites(sites);
  // Another program killed in the middle of a write, part of it already in the file.
  pid_t child = fork();
  if (child == 0) {
    sqlite3* db = nullptr;
    sqlite3_open_v2("wsites.tps", &db, SQLITE_OPEN_READWRITE, nullptr);
    pf::keyConnection(db, pf::currentKey(WSitesDesc()));
    sqlite3_exec(db, "PRAGMA cache_size=1; BEGIN; DELETE FROM rec;", nullptr, nullptr, nullptr);
    kill(getpid(), SIGKILL);
  }
  int st = 0;
  waitpid(child, &st, 0);
  struct stat js {};
  ASSERT_EQ(::stat("wsites.tps-journal", &js), 0);
  ASSERT_GT(js.st_size, 0) << "the writer left no journal";

  open();
  d.click("?EBUT");
  d.click("?STARTBUP");
  expectBox("Data Backup...", "&No");
  EXPECT_EQ(readCopy<WSitesRecord>(WSitesDesc(), usb + "/SitesBup/wsites.tps").size(), 300u);
  EXPECT_EQ(readSites().size(), 300u);
}

TEST_F(Backup, DriveTableMadeWhenMissing) {
  pf::removeFile("Drives.ini");
  EXPECT_EQ(qb::driveFolder('E'), "");
  EXPECT_TRUE(pf::fileExists("Drives.ini"));
  std::string table = slurp("Drives.ini");
  for (const char* entry : {"[Drives]", "C=", "D=", "H="}) EXPECT_NE(table.find(entry), std::string::npos) << entry;
}

TEST_F(Backup, TheDriveTableKeepsTheUsersCommentsAndBlankLines) {
  const char* h = std::getenv("HOME");
  const std::string home = h ? h : "";
  const std::string commented = "; Where each drive letter leads\n\n[Drives]\n; the stick\nE=" + usb +
                                "\n\n  ; left empty for now\nF=\n\n; end\n";
  const struct {
    const char* name;
    std::string table, after;
    std::string folder;  // where E: leads
  } cases[] = {
      {"a table of the user's", commented, commented, usb},
      {"comments without the table", "; Drive letters\n\n",
       "; Drive letters\n\n[Drives]\nC=" + home + "\nD=\nE=\nF=\nG=\nH=\n\n[Sectors]\nDrives=1\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream("Drives.ini", std::ios::trunc) << c.table;
    EXPECT_EQ(qb::driveFolder('E'), c.folder);
    EXPECT_EQ(slurp("Drives.ini"), c.after);
  }
}

}  // namespace
}  // namespace qbtest
