// The access objects: the open policy, creation, validation, priming, reading and
// writing through them, and their life on each program thread.
#include <sys/stat.h>
#include <unistd.h>

#include <sqlite3.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

#include "platform/classes/error_manager.h"
#include "tests/data/data_fixture.h"
#include "tests/support/lock_holder.h"

namespace {

using qbtest::DataTest;

std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Category names in key order, read through the thread's accessor.
std::string categories() {
  Category().set(CAT_CatKey());
  std::string names;
  while (Access_Category().FileNext() == pf::Level::Benign) names += CAT->CATEGORY.clip() + ";";
  return names;
}

void makeCategoryFile(std::initializer_list<const char*> names) {
  CategoryRecord rec;
  pf::File f(CategoryDesc(), &rec);
  ASSERT_EQ(f.create(), 0);
  ASSERT_EQ(f.open(), 0);
  for (const char* n : names) {
    rec.CATEGORY = n;
    ASSERT_EQ(f.add(), 0);
  }
  f.close();
}

// Another opener of Category.tps that denies others write access while it lives, or
// another program that holds it locked.
struct Holder {
  CategoryRecord rec;
  std::unique_ptr<pf::File> file;
  std::unique_ptr<qbtest::LockHolder> program;
  void hold() {
    file = std::make_unique<pf::File>(CategoryDesc(), &rec);
    ASSERT_EQ(file->open(pf::OpenMode::ReadOnly | pf::OpenMode::DenyWrite), 0);
  }
  void lock() {
    program = std::make_unique<qbtest::LockHolder>("Category.tps");
    ASSERT_TRUE(program->holding());
  }
  void release() {
    file.reset();
    program.reset();
  }
};

// ---------------------------------------------------------------------------------
// Open policy

enum class Outcome { ReadWrite, ReadOnly, Ended };

struct Situation {
  const char* name;
  void (*prepare)(Holder&);
  std::vector<std::string> captions;  // what the user is shown, in order
  Outcome outcome;
  const char* lastText = nullptr;     // the last message's text, when it matters
};

void damageKeys(Holder&);

const Situation kSituations[] = {
    {"missing file", [](Holder&) {}, {}, Outcome::ReadWrite},
    {"write denied by another opener",
     [](Holder& h) {
       makeCategoryFile({"All Categories", "Default"});
       h.hold();
     },
     {"Access Denied", "Record Insert Error"},
     Outcome::ReadOnly},
    {"damaged key index", damageKeys, {"Invalid Key"}, Outcome::ReadWrite},
    // Neither reading nor writing while the program holds it: the read-only try fails too.
    {"locked by another program",
     [](Holder& h) {
       makeCategoryFile({"All Categories", "Default"});
       h.lock();
     },
     {"Access Denied", "File Access Error"},
     Outcome::Ended,
     "File Category.tps could not be opened.  Error: Access Denied."},
    {"not a database",
     [](Holder&) { writeBytes("Category.tps", std::string(5000, 'x')); },
     {"File Access Error"},
     Outcome::Ended},
    {"a column the record does not declare",
     [](Holder&) {
       makeCategoryFile({"All Categories", "Default"});
       sqlite3* db = nullptr;
       ASSERT_EQ(sqlite3_open_v2("Category.tps", &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
       EXPECT_EQ(sqlite3_exec(db, "ALTER TABLE rec ADD COLUMN COLOUR TEXT", nullptr, nullptr, nullptr), SQLITE_OK);
       sqlite3_close(db);
     },
     {"File Access Error"},
     Outcome::Ended,
     "File Category.tps could not be opened.  Error: Invalid Record Declaration."},
    {"missing and cannot be created",
     [](Holder&) {
       // A working folder that was removed: nothing can be made in it.
       ASSERT_EQ(mkdir("gone", 0700), 0);
       ASSERT_EQ(chdir("gone"), 0);
       ASSERT_EQ(rmdir("../gone"), 0);
     },
     {"File Creation Error"},
     Outcome::Ended},
};

TEST_F(DataTest, OpenPolicyHandlesEachSituation) {
  for (const Situation& s : kSituations) [&] {
    SCOPED_TRACE(s.name);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    pf::testing::resetRuntime();
    msgs.clear();
    unlink("Category.tps");
    Holder holder;
    s.prepare(holder);
    bool openReturned = false;
    int openLevel = -1, readLevel = -1, insertLevel = -1;
    std::string names;
    runThread([&] {
      openLevel = Relate_Category().RelationOpen();
      openReturned = true;
      names = categories();
      CAT->CATEGORY = "Default";
      readLevel = Access_Category().FileFetch(CAT_CatKey());
      CAT->CATEGORY = "Added";
      insertLevel = Access_Category().FileInsert();
      Relate_Category().RelationClose();
    });
    EXPECT_EQ(captions(), s.captions);
    if (s.outcome == Outcome::Ended) {
      EXPECT_FALSE(openReturned);
      EXPECT_TRUE(pf::programEnded());
      ASSERT_FALSE(msgs.messages().empty());
      EXPECT_NE(msgs.messages().back().text.find("  Press OK to end this application"),
                std::string::npos);
      if (s.lastText) {
        EXPECT_EQ(msgs.messages().back().text.find(s.lastText), 0u);
      }
      return;
    }
    EXPECT_EQ(openLevel, 0);
    EXPECT_EQ(names, "All Categories;Default;");
    EXPECT_EQ(readLevel, 0);
    EXPECT_EQ(insertLevel, s.outcome == Outcome::ReadWrite ? 0 : pf::Level::Notify);
  }();
}

TEST_F(DataTest, ReadOnlyFallbackNamesTheFileAndLastsForThatOpenOnly) {
  makeCategoryFile({"All Categories", "Default"});
  Holder holder;
  holder.hold();
  MakeThreadAccess();
  ASSERT_EQ(Relate_Category().RelationOpen(), 0);
  ASSERT_EQ(msgs.messages().size(), 1u);
  EXPECT_EQ(msgs.messages()[0].text, "Could not get write access to Category.tps so trying read-only.");
  CAT->CATEGORY = "Blocked";
  EXPECT_EQ(Access_Category().FileInsertQuiet(), pf::Level::Notify);
  Relate_Category().RelationClose();

  holder.release();
  msgs.clear();
  ASSERT_EQ(Relate_Category().RelationOpen(), 0);
  CAT->CATEGORY = "Allowed";
  EXPECT_EQ(Access_Category().FileInsert(), 0);
  EXPECT_TRUE(msgs.messages().empty());
  EXPECT_EQ(categories(), "All Categories;Allowed;Default;");
  Relate_Category().RelationClose();
}

TEST_F(DataTest, WaitingForAnotherProgramsLockLetsTheOtherThreadsRun) {
  makeCategoryFile({"All Categories", "Default"});
  Holder holder;
  holder.lock();
  // The other program lets go once the user has been told of the read-only open.
  pf::MessageHandler recorded = pf::messageHandler();
  pf::setMessageHandler([&holder, recorded](const pf::MessageRequest& r) {
    if (r.caption == "Access Denied") holder.release();
    return recorded(r);
  });
  bool opened = false;
  int openLevel = -1, insertLevel = -1, turnsWhileWaiting = 0;
  std::string names;
  pf::setThreadStartHook(MakeThreadAccess);
  pf::setThreadExitHook(FreeThreadAccess);
  pf::start(
      [&] {
        openLevel = Relate_Category().RelationOpen();
        opened = true;
        names = categories();
        CAT->CATEGORY = "Added";
        insertLevel = Access_Category().FileInsert();
        Relate_Category().RelationClose();
      },
      50000);
  pf::start(
      [&] {
        while (!opened) {
          ++turnsWhileWaiting;
          pf::yieldFor(10);
        }
      },
      50000);
  pf::runUntilIdle();
  EXPECT_FALSE(pf::programEnded());
  EXPECT_EQ(captions(), (std::vector<std::string>{"Access Denied", "Record Insert Error"}));
  EXPECT_EQ(openLevel, 0);
  EXPECT_EQ(names, "All Categories;Default;");
  EXPECT_EQ(insertLevel, pf::Level::Notify);
  EXPECT_GT(turnsWhileWaiting, 10);

  // Once the program has gone the file is as it was, and writable again.
  msgs.clear();
  runThread([&] {
    ASSERT_EQ(Relate_Category().RelationOpen(), 0);
    CAT->CATEGORY = "Added";
    EXPECT_EQ(Access_Category().FileInsert(), 0);
    names = categories();
    Relate_Category().RelationClose();
  });
  EXPECT_TRUE(msgs.messages().empty());
  EXPECT_EQ(names, "Added;All Categories;Default;");
}

TEST_F(DataTest, CreatedCategoryFileHoldsTheReservedRowsAndLeavesTheBufferAlone) {
  MakeThreadAccess();
  CAT->CATEGORY = "Typed";
  ASSERT_EQ(Relate_Category().RelationOpen(), 0);
  EXPECT_EQ(CAT->CATEGORY.clip(), "Typed");
  EXPECT_EQ(categories(), "All Categories;Default;");
  Relate_Category().RelationClose();

  // A file that exists, even an empty one, is left as it is.
  makeCategoryFile({});
  ASSERT_EQ(Relate_Category().RelationOpen(), 0);
  EXPECT_EQ(categories(), "");
  Relate_Category().RelationClose();
}

TEST_F(DataTest, WebsitesAndPasswordFilesHoldNoPlainText) {
  MakeThreadAccess();
  ASSERT_EQ(Relate_WSites().RelationOpen(), 0);
  Access_WSites().FilePrimeRecord();
  WEB->DESCRIPTION = "ZebraDescription";
  WEB->PASSWORD = "ZebraPassword";
  WEB->SiteNotes = "ZebraNotes";
  ASSERT_EQ(Access_WSites().FileInsert(), 0);
  Relate_WSites().RelationClose();
  ASSERT_EQ(Relate_Access().RelationOpen(), 0);
  ACC->PWORD = "ZebraProgramPassword";
  ASSERT_EQ(Access_Access().FileInsert(), 0);
  Relate_Access().RelationClose();
  ASSERT_EQ(Relate_Category().RelationOpen(), 0);
  Relate_Category().RelationClose();

  const std::string web = fileBytes("wsites.tps"), acc = fileBytes("Access.tps");
  ASSERT_FALSE(web.empty());
  ASSERT_FALSE(acc.empty());
  EXPECT_EQ(web.find("Zebra"), std::string::npos);
  EXPECT_EQ(acc.find("Zebra"), std::string::npos);
  // The plain category file shows its rows: the search itself works.
  EXPECT_NE(fileBytes("Category.tps").find("All Categories"), std::string::npos);

  // And the records come back through the owner password.
  ASSERT_EQ(Relate_Access().RelationOpen(), 0);
  Access().set();
  ASSERT_EQ(Access_Access().FileNext(), 0);
  EXPECT_EQ(ACC->PWORD.clip(), "ZebraProgramPassword");
  Relate_Access().RelationClose();
}

// ---------------------------------------------------------------------------------
// Field checks and priming

TEST_F(DataTest, PreferencesRecordNumberMustLieInZeroToOne) {
  MakeThreadAccess();
  struct Case {
    int value;
    int level;
  };
  for (Case c : {Case{0, 0}, Case{1, 0}, Case{2, pf::Level::Notify}, Case{255, pf::Level::Notify}}) [&] {
    SCOPED_TRACE(c.value);
    msgs.clear();
    PREF->RECORDNUMBER = static_cast<pf::Byte>(c.value);
    EXPECT_EQ(Access_Defaults().FileValidateFieldQuiet(1), c.level);
    EXPECT_TRUE(msgs.messages().empty());
    EXPECT_EQ(Access_Defaults().FileValidateFieldReport(1), c.level);
    if (c.level == 0) {
      EXPECT_TRUE(msgs.messages().empty());
    } else {
      ASSERT_EQ(msgs.messages().size(), 1u);
      EXPECT_EQ(msgs.messages()[0].caption, "Range Error");
      EXPECT_EQ(msgs.messages()[0].text, "The value of PREF:RecordNumber must be in range 0 .. 1.");
    }
  }();
  // Other fields take any value.
  PREF->RECORDNUMBER = 9;
  EXPECT_EQ(Access_Defaults().FileValidateFieldReport(2), 0);
}

TEST_F(DataTest, PrimingANewWebsiteZeroesTheTagBytesOverAnOldRecord) {
  MakeThreadAccess();
  std::memset(static_cast<void*>(&*WEB), 1, sizeof(WSitesRecord));
  Access_WSites().FilePrimeRecord(true);  // keep the rest
  EXPECT_EQ(WEB->FAVOURITEYN + WEB->QZVT_YN + WEB->HIGHLIGHT + WEB->HIGHLIGHT2 + WEB->HIGHLIGHT3, 0);
  EXPECT_EQ(WEB->TEXTCOLOR, 1);
  EXPECT_EQ(WEB->DESCRIPTION.b[0], 1);

  std::memset(static_cast<void*>(&*WEB), 1, sizeof(WSitesRecord));
  Access_WSites().FilePrimeRecord();
  EXPECT_TRUE(WEB->DESCRIPTION.blank());
  EXPECT_TRUE(WEB->WEBADDRESS.blank());
  EXPECT_TRUE(WEB->SiteNotes.blank());
  EXPECT_EQ(WEB->FAVOURITEYN + WEB->HIGHLIGHT3 + WEB->TEXTCOLOR, 0);
  EXPECT_EQ(WEB->VISITS.get(), 0);
  EXPECT_EQ(WEB->DATEADDED.get(), 0);
}

// ---------------------------------------------------------------------------------
// Reading, writing, deleting

TEST_F(DataTest, NextTellsTheEndOfTheFileFromAReadError) {
  MakeThreadAccess();
  ASSERT_EQ(Relate_WSites().RelationOpen(), 0);
  WSites().set(WEB_KeyDescription());
  EXPECT_EQ(Access_WSites().FileNext(), pf::Level::Notify);
  EXPECT_EQ(Access_WSites().FilePrevious(), pf::Level::Notify);
  EXPECT_TRUE(msgs.messages().empty());

  // A sequence over a file that went away underneath is a read error, not the end.
  Relate_WSites().RelationClose();
  ASSERT_EQ(Relate_WSites().RelationOpen(), 0);
  WSites().close();  // behind the accessor's back
  EXPECT_EQ(Access_WSites().FileNextQuiet(), pf::Level::Fatal);
  EXPECT_TRUE(msgs.messages().empty());
  EXPECT_EQ(Access_WSites().FileNext(), pf::Level::Fatal);
  EXPECT_EQ(captions(), std::vector<std::string>{"Record Retrieval Error"});
}

TEST_F(DataTest, UsingAFileThatWasNotOpenedIsAProgramError) {
  MakeThreadAccess();
  EXPECT_EQ(Access_WSites().FileNext(), pf::Level::Program);
  EXPECT_EQ(Access_WSites().FileInsert(), pf::Level::Program);
  EXPECT_EQ(captions(), (std::vector<std::string>{"File Usage Error", "File Usage Error"}));
  EXPECT_FALSE(pf::fileExists("wsites.tps"));
}

TEST_F(DataTest, DeleteAsksFirstAndShowsTheWaitCursor) {
  std::vector<bool> cursor;
  pf::setWaitCursorHook([&](bool on) { cursor.push_back(on); });
  struct Unhook {
    ~Unhook() { pf::setWaitCursorHook(nullptr); }
  } unhook;
  MakeThreadAccess();
  ASSERT_EQ(Relate_Category().RelationOpen(), 0);
  ASSERT_EQ(Access_Category().FileFetchQuiet(CAT_CatKey()), pf::Level::Notify);  // blank: no such row
  CAT->CATEGORY = "Default";
  ASSERT_EQ(Access_Category().FileFetch(CAT_CatKey()), 0);

  msgs.answer(2);  // No
  EXPECT_EQ(Relate_Category().RelationDelete(), pf::Level::Cancel);
  EXPECT_EQ(captions(), std::vector<std::string>{"Confirm Delete"});
  EXPECT_TRUE(cursor.empty());
  EXPECT_EQ(categories(), "All Categories;Default;");

  CAT->CATEGORY = "Default";
  ASSERT_EQ(Access_Category().FileFetch(CAT_CatKey()), 0);
  msgs.answer(1);  // Yes
  EXPECT_EQ(Relate_Category().RelationDelete(), 0);
  EXPECT_EQ(cursor, (std::vector<bool>{true, false}));
  EXPECT_EQ(categories(), "All Categories;");
  Relate_Category().RelationClose();
}

TEST_F(DataTest, UpdateThroughTheRelationWritesAndReportsAFailure) {
  MakeThreadAccess();
  ASSERT_EQ(Relate_Category().RelationOpen(), 0);
  CAT->CATEGORY = "Default";
  ASSERT_EQ(Access_Category().FileFetch(CAT_CatKey()), 0);
  CAT->CATEGORY = "Fallback";
  EXPECT_EQ(Relate_Category().RelationUpdate(), 0);
  EXPECT_EQ(categories(), "All Categories;Fallback;");
  EXPECT_FALSE(Category().inTransaction());

  Category().close();  // behind the accessor's back: the write cannot be made
  EXPECT_EQ(Relate_Category().RelationUpdate(), pf::Level::Notify);
  EXPECT_EQ(captions(), std::vector<std::string>{"Record was not updated"});
  Relate_Category().RelationClose();
}

TEST_F(DataTest, SavedStateBringsBackPositionAndBuffer) {
  MakeThreadAccess();
  ASSERT_EQ(Relate_Category().RelationOpen(), 0);
  Category().set(CAT_CatKey());
  ASSERT_EQ(Access_Category().FileNext(), 0);  // All Categories
  pf::AccessorState saved = Access_Category().FileSaveState();
  ASSERT_EQ(Access_Category().FileNext(), 0);  // Default
  CAT->CATEGORY = "Scribbled";
  Access_Category().FileRestoreState(saved);
  EXPECT_EQ(CAT->CATEGORY.clip(), "All Categories");
  ASSERT_EQ(Access_Category().FileNext(), 0);
  EXPECT_EQ(CAT->CATEGORY.clip(), "Default");
  Relate_Category().RelationClose();
}

// ---------------------------------------------------------------------------------
// Relations and lazy opening

TEST_F(DataTest, RelatedFilesAreCountedOpenAndOpenedAtTheirFirstRealUse) {
  MakeThreadAccess();
  ASSERT_EQ(Relate_WSites().RelationOpen(), 0);
  EXPECT_TRUE(Access_WSites().USED);
  EXPECT_EQ(Access_Category().OPENED, 1);
  EXPECT_FALSE(Access_Category().USED);
  EXPECT_FALSE(pf::fileExists("Category.tps"));

  EXPECT_EQ(Access_Category().FileFetchOrClear(CAT_CatKey()), pf::Level::Notify);
  EXPECT_TRUE(Access_Category().USED);
  EXPECT_EQ(categories(), "All Categories;Default;");

  // Opening Category leads back to WSites: each file once per call.
  ASSERT_EQ(Relate_Category().RelationOpen(), 0);
  EXPECT_EQ(Access_Category().OPENED, 2);
  EXPECT_EQ(Access_WSites().OPENED, 2);
  EXPECT_EQ(Relate_WSites().RELATIONS.size(), 1u);
  EXPECT_EQ(Relate_Category().RELATIONS.size(), 1u);

  Relate_Category().RelationClose();
  Relate_WSites().RelationClose();
  EXPECT_EQ(Access_WSites().OPENED + Access_Category().OPENED, 0);
  EXPECT_FALSE(Access_WSites().USED || Access_Category().USED);
  EXPECT_FALSE(WSites().isOpen() || Category().isOpen());
  EXPECT_TRUE(msgs.messages().empty());
}

// ---------------------------------------------------------------------------------
// Threads

TEST_F(DataTest, EachThreadHasItsOwnBufferAndSeesAnotherThreadsWriteOnlyAfterReadingAgain) {
  int step = 0, a = 0, b = 0;
  pf::Position pos;
  std::string seenFirst, seenBeforeReading, seenAfterReading, ownAfter;
  const void* bufferA = nullptr;
  const void* bufferB = nullptr;
  auto advance = [&](int to, int other) {
    step = to;
    pf::wake(other);
  };
  pf::setThreadStartHook(MakeThreadAccess);
  pf::setThreadExitHook(FreeThreadAccess);
  a = pf::start([&] {
    bufferA = &*WEB;
    Relate_WSites().RelationOpen();
    Access_WSites().FilePrimeRecord();
    WEB->DESCRIPTION = "One";
    Access_WSites().FileInsert();
    pos = WSites().position();
    advance(1, b);
    pf::waitUntil([&] { return step == 2; });
    WEB->DESCRIPTION = "Two";
    Access_WSites().FileUpdate();
    advance(3, b);
    pf::waitUntil([&] { return step == 4; });
    ownAfter = WEB->DESCRIPTION.clip();
    Relate_WSites().RelationClose();
  }, 50000);
  b = pf::start([&] {
    bufferB = &*WEB;
    pf::waitUntil([&] { return step == 1; });
    Relate_WSites().RelationOpen();
    WSites().get(pos);
    seenFirst = WEB->DESCRIPTION.clip();
    advance(2, a);
    pf::waitUntil([&] { return step == 3; });
    seenBeforeReading = WEB->DESCRIPTION.clip();
    WSites().get(pos);
    seenAfterReading = WEB->DESCRIPTION.clip();
    WEB->DESCRIPTION = "Scratch";  // B's buffer only
    advance(4, a);
    Relate_WSites().RelationClose();
  }, 50000);
  pf::runUntilIdle();
  EXPECT_NE(bufferA, bufferB);
  EXPECT_EQ(seenFirst, "One");
  EXPECT_EQ(seenBeforeReading, "One");
  EXPECT_EQ(seenAfterReading, "Two");
  EXPECT_EQ(ownAfter, "Two");
  EXPECT_TRUE(msgs.messages().empty());
}

TEST_F(DataTest, EndingAThreadDestroysExactlyItsOwnFivePairs) {
  const int accessors = pf::FileAccessor::instances();
  const int relations = pf::FileRelations::instances();
  bool go = false;
  std::string readByB;
  pf::setThreadStartHook(MakeThreadAccess);
  pf::setThreadExitHook(FreeThreadAccess);
  int b = pf::start([&] {
    pf::waitUntil([&] { return go; });
    Relate_Category().RelationOpen();
    readByB = categories();
    Relate_Category().RelationClose();
  }, 25000);
  pf::start([&] {
    Relate_Category().RelationOpen();
    CAT->CATEGORY = "Written by A";
    Access_Category().FileInsert();
    Relate_Category().RelationClose();
  }, 25000);
  pf::runUntilIdle();
  EXPECT_EQ(pf::FileAccessor::instances(), accessors + 5);
  EXPECT_EQ(pf::FileRelations::instances(), relations + 5);
  go = true;
  pf::wake(b);
  pf::runUntilIdle();
  EXPECT_EQ(readByB, "All Categories;Default;Written by A;");
  EXPECT_EQ(pf::FileAccessor::instances(), accessors);
  EXPECT_EQ(pf::FileRelations::instances(), relations);
}

TEST_F(DataTest, KillingTheAccessObjectsClearsEveryReference) {
  MakeThreadAccess();
  ASSERT_EQ(Relate_WSites().RelationOpen(), 0);
  FreeThreadAccess();
  EXPECT_FALSE(HasThreadAccess());
  EXPECT_FALSE(WSites().isOpen());
  EXPECT_THROW(Access_WSites(), std::logic_error);
  EXPECT_THROW(Relate_Category(), std::logic_error);
  const ThreadAccess& t = ThreadAccessObjects();
  EXPECT_EQ(t.ownWSites, nullptr);
  EXPECT_EQ(t.ownRelateSitesCSV, nullptr);
  EXPECT_EQ(t.access, nullptr);
}

// Drops the key indexes of a good category file, as a crash might leave it.
void damageKeys(Holder&) {
  makeCategoryFile({"All Categories", "Default"});
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2("Category.tps", &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  std::vector<std::string> indexes;
  sqlite3_exec(
      db, "SELECT name FROM sqlite_master WHERE type='index' AND sql IS NOT NULL",
      [](void* out, int, char** values, char**) {
        static_cast<std::vector<std::string>*>(out)->push_back(values[0]);
        return 0;
      },
      &indexes, nullptr);
  ASSERT_FALSE(indexes.empty());
  for (const auto& name : indexes)
    EXPECT_EQ(sqlite3_exec(db, ("DROP INDEX \"" + name + "\"").c_str(), nullptr, nullptr, nullptr),
              SQLITE_OK);
  sqlite3_close(db);
}

}  // namespace
