// The indexed driver: key membership and order, paging, fetches, writes, transactions,
// saved state, read errors and encryption.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/core/errors.h"
#include "tests/platform/store/store_fixture.h"
#include "tests/support/temp_dir.h"

using namespace storetest;
using pf::Err::RecordNotAvailable;

namespace {

// Each row's notes carry its id, so a read sequence can be checked as a list of ids.
std::vector<Row> keyRows() {
  return {
      {"banana", "B", 0, 3, "r1"},
      {"Apple", "", 0, 0, "r2"},
      {"", "", 0, 0, "r3"},        // blank and zero everywhere: in no key
      {"apple", "A", 0, 5, "r4"},  // same name as r2 in another letter case
      {"", "C", 0, 1, "r5"},       // only one of the two fields of CodeNameKey blank
      {"\xC3\xA9" "clair", "", 0, 3, "r6"},  // "éclair": folds to "ÉCLAIR"
      {"cherry   ", "b", 0, 3, "r7"},
  };
}

std::vector<std::string> readAll(pf::File& f, Rec& r, bool backwards = false) {
  std::vector<std::string> ids;
  int rc;
  while ((rc = backwards ? f.previous() : f.next()) == 0) ids.push_back(r.NOTES.str());
  EXPECT_EQ(rc, RecordNotAvailable);
  return ids;
}

class IndexedTest : public ::testing::Test {
 protected:
  qbtest::TempDir dir;
  pf::FileDesc d = desc();
  Rec r;
};

TEST_F(IndexedTest, KeysOrderAndLeaveOutRecordsWhoseKeyFieldsAreAllBlank) {
  make(d, keyRows());
  pf::File f(d, &r);
  ASSERT_EQ(f.open(), 0);
  struct Case {
    const char* key;  // nullptr: record order
    std::vector<std::string> ids;
  } cases[] = {
      {nullptr, {"r1", "r2", "r3", "r4", "r5", "r6", "r7"}},
      {"TST:NameKey", {"r2", "r4", "r1", "r7", "r6"}},
      {"TST:CodeNameKey", {"r2", "r6", "r4", "r1", "r7", "r5"}},
      {"TST:CountKey", {"r4", "r1", "r6", "r7", "r5"}},
      {"TST:NameDownKey", {"r6", "r7", "r1", "r2", "r4"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key ? c.key : "record order");
    if (c.key) f.set(*d.key(c.key));
    else f.set();
    EXPECT_EQ(readAll(f, r), c.ids);
    if (c.key) f.set(*d.key(c.key));
    else f.set();
    std::vector<std::string> back(c.ids.rbegin(), c.ids.rend());
    EXPECT_EQ(readAll(f, r, true), back);
  }
}

TEST_F(IndexedTest, PagesJoinUpInBothDirectionsAndAcrossDuplicates) {
  std::vector<Row> rows;
  for (int i = 0; i < 700; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "n%04d", i);
    rows.push_back({name, "", 0, i % 7 + 1, name});
  }
  std::mt19937 rng(7);
  std::shuffle(rows.begin(), rows.end(), rng);
  for (int i = 0; i < 80; ++i) rows.push_back({"same", "", 0, 0, "same" + std::to_string(i)});
  make(d, rows);

  std::vector<std::string> sorted;
  for (int i = 0; i < 700; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "n%04d", i);
    sorted.push_back(name);
  }
  for (int i = 0; i < 80; ++i) sorted.push_back("same" + std::to_string(i));

  pf::File f(d, &r);
  ASSERT_EQ(f.open(), 0);
  for (const char* quick : {"QUICKSCAN=off", "QUICKSCAN=on"}) {
    SCOPED_TRACE(quick);
    f.send(quick);
    f.set(*d.key("TST:NameKey"));
    EXPECT_EQ(readAll(f, r), sorted);
    f.set(*d.key("TST:NameDownKey"));
    // Descending names; duplicates still in the order they were added.
    std::vector<std::string> down(sorted.begin(), sorted.begin() + 700);
    std::reverse(down.begin(), down.end());
    std::vector<std::string> expect(sorted.begin() + 700, sorted.end());
    expect.insert(expect.end(), down.begin(), down.end());
    EXPECT_EQ(readAll(f, r), expect);
  }

  // Turning round in the middle of a page gives the record before the current one.
  f.send("QUICKSCAN=off");
  f.set(*d.key("TST:NameKey"));
  for (int i = 0; i < 40; ++i) ASSERT_EQ(f.next(), 0);
  EXPECT_EQ(r.NOTES.str(), "n0039");
  ASSERT_EQ(f.previous(), 0);
  EXPECT_EQ(r.NOTES.str(), "n0038");
  ASSERT_EQ(f.next(), 0);
  EXPECT_EQ(r.NOTES.str(), "n0039");

  // setAt restarts at the record itself, either way.
  pf::Position at = f.position();
  for (int i = 0; i < 100; ++i) ASSERT_EQ(f.next(), 0);
  f.setAt(at);
  ASSERT_EQ(f.previous(), 0);
  EXPECT_EQ(r.NOTES.str(), "n0039");
  f.setAt(at);
  ASSERT_EQ(f.next(), 0);
  EXPECT_EQ(r.NOTES.str(), "n0039");
  ASSERT_EQ(f.next(), 0);
  EXPECT_EQ(r.NOTES.str(), "n0040");

  // A position survives its text form (as a list row keeps it), even for a deleted record.
  pf::Position copy = pf::Position::decode(at.encode() + "      ");
  EXPECT_EQ(copy.row, at.row);
  ASSERT_EQ(f.get(at), 0);
  ASSERT_EQ(f.remove(), 0);
  f.setAt(copy);
  ASSERT_EQ(f.next(), 0);
  EXPECT_EQ(r.NOTES.str(), "n0040");
}

TEST_F(IndexedTest, GetByKeyAndLocateFromTheBuffer) {
  make(d, keyRows());
  pf::File f(d, &r);
  ASSERT_EQ(f.open(), 0);
  const pf::KeyDesc& byName = *d.key("TST:NameKey");

  r = Rec{};
  r.NAME = "APPLE";
  ASSERT_EQ(f.get(byName), 0);
  EXPECT_EQ(r.NOTES.str(), "r2");  // the first of the two in key order
  EXPECT_EQ(r.NAME.clip(), "Apple");
  r.NAME = "fig";
  EXPECT_EQ(f.get(byName), RecordNotAvailable);
  EXPECT_EQ(pf::errorcode(), RecordNotAvailable);

  struct Case {
    const char* typed;
    const char* first;  // nullptr: nothing at or after it
  } cases[] = {{"b", "r1"}, {"CH", "r7"}, {"apple", "r2"}, {"", "r2"}, {"\xC3\x89", "r6"}, {"zz", "r6"}, {"\xC3\xAA", nullptr}};
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(c.typed);
    r = Rec{};
    r.NAME = c.typed;
    f.setFromBuffer(byName);
    if (c.first) {
      ASSERT_EQ(f.next(), 0);
      EXPECT_EQ(r.NOTES.str(), c.first);
    } else {
      EXPECT_EQ(f.next(), RecordNotAvailable);
    }
  }();

  // Two-field key: both fields must match, letter case ignored.
  r = Rec{};
  r.CODE = "b";
  r.NAME = "BANANA";
  ASSERT_EQ(f.get(*d.key("TST:CodeNameKey")), 0);
  EXPECT_EQ(r.NOTES.str(), "r1");
}

TEST_F(IndexedTest, WritesKeepKeysAndOpenSequencesUpToDate) {
  make(d, {{"b", "", 0, 0, "b"}, {"d", "", 0, 0, "d"}});
  pf::File f(d, &r);
  ASSERT_EQ(f.open(), 0);
  f.set(*d.key("TST:NameKey"));
  ASSERT_EQ(f.next(), 0);
  EXPECT_EQ(r.NOTES.str(), "b");
  pf::Position b = f.position();

  // A record added after the page was read is still met further on.
  fill(r, {"c", "", 0, 0, "c"});
  ASSERT_EQ(f.add(), 0);
  pf::Position c = f.position();
  EXPECT_NE(c.row, b.row);
  f.setAt(b);
  ASSERT_EQ(f.next(), 0);
  ASSERT_EQ(f.next(), 0);
  EXPECT_EQ(r.NOTES.str(), "c");

  // put moves a record in its key; the memo and every field round-trip.
  ASSERT_EQ(f.get(b), 0);
  r.NAME = "z";
  r.CODE = "code";
  r.FLAG = 200;
  r.COUNT = -123456;
  r.DAY = 80000;
  r.NOTES = "b, now with notes";
  ASSERT_EQ(f.put(), 0);
  Rec other;
  pf::File g(d, &other);
  ASSERT_EQ(g.open(), 0);
  ASSERT_EQ(g.get(b), 0);
  EXPECT_EQ(other.NAME.str(), r.NAME.str());
  EXPECT_EQ(other.CODE.str(), "code");
  EXPECT_EQ(other.FLAG, 200);
  EXPECT_EQ(other.COUNT.get(), -123456);
  EXPECT_EQ(other.DAY.get(), 80000);
  EXPECT_EQ(other.NOTES.str(), "b, now with notes");
  f.set(*d.key("TST:NameKey"));
  EXPECT_EQ(readAll(f, r), (std::vector<std::string>{"c", "d", "b, now with notes"}));

  ASSERT_EQ(f.get(b), 0);
  ASSERT_EQ(f.remove(), 0);
  EXPECT_EQ(f.put(), RecordNotAvailable);
  EXPECT_EQ(f.get(b), RecordNotAvailable);
  EXPECT_EQ(f.records(), 2);

  // Read-only instances refuse every write.
  pf::File ro(d, &other);
  ASSERT_EQ(ro.open(pf::OpenMode::ReadOnly | pf::OpenMode::DenyNone), 0);
  EXPECT_TRUE(ro.readOnly());
  EXPECT_EQ(ro.add(), pf::Err::AccessDenied);
  EXPECT_EQ(ro.records(), 2);
}

// A pass rewrites each record as it reads it and keeps the page it read ahead; any
// other write must still be seen by the rest of the sequence.
TEST_F(IndexedTest, ASequenceSeesWritesMadeWhileItRuns) {
  struct Case {
    const char* what;
    void (*atB)(pf::File&, Rec&, const pf::FileDesc&);
    std::vector<std::string> read;  // id:flag as the sequence meets them
  } cases[] = {
      {"rewrite of the record just read",
       [](pf::File& f, Rec& r, const pf::FileDesc&) {
         r.FLAG = 1;
         ASSERT_EQ(f.put(), 0);
       },
       {"a:0", "b:0", "c:0", "d:0", "e:0"}},
      {"the record just read moved on in the key",
       [](pf::File& f, Rec& r, const pf::FileDesc&) {
         r.NAME = "cc";
         ASSERT_EQ(f.put(), 0);
       },
       {"a:0", "b:0", "c:0", "b:0", "d:0", "e:0"}},
      {"rewrite of a record further on",
       [](pf::File& f, Rec& r, const pf::FileDesc& d) {
         r.NAME = "d";
         ASSERT_EQ(f.get(*d.key("TST:NameKey")), 0);
         r.FLAG = 7;
         ASSERT_EQ(f.put(), 0);
       },
       {"a:0", "b:0", "c:0", "d:7", "e:0"}},
      {"the record just read rewritten twice, the second time further on in the key",
       [](pf::File& f, Rec& r, const pf::FileDesc&) {
         ASSERT_EQ(f.put(), 0);
         r.NAME = "cc";
         ASSERT_EQ(f.put(), 0);
       },
       {"a:0", "b:0", "c:0", "b:0", "d:0", "e:0"}},
  };
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(c.what);
    make(d, {{"a", "", 0, 0, "a"}, {"b", "", 0, 0, "b"}, {"c", "", 0, 0, "c"}, {"d", "", 0, 0, "d"}, {"e", "", 0, 0, "e"}});
    pf::File f(d, &r);
    ASSERT_EQ(f.open(), 0);
    f.set(*d.key("TST:NameKey"));
    std::vector<std::string> read;
    while (f.next() == 0) {
      read.push_back(r.NOTES.str() + ":" + std::to_string(r.FLAG));
      if (read.size() == 2) c.atB(f, r, d);
      ASSERT_LT(read.size(), 10u);
    }
    EXPECT_EQ(read, c.read);
  }();

  // The pass itself: every record rewritten in record order, each met once.
  std::vector<Row> rows;
  for (int i = 0; i < 100; ++i) rows.push_back({"n" + std::to_string(i), "", 0, 0, std::to_string(i)});
  make(d, rows);
  pf::File f(d, &r);
  ASSERT_EQ(f.open(), 0);
  ASSERT_EQ(f.send("QUICKSCAN=on"), 0);
  ASSERT_EQ(f.logout(), 0);
  f.set();
  int met = 0;
  while (f.next() == 0) {
    ASSERT_EQ(r.NOTES.str(), std::to_string(met++));
    r.FLAG = 1;
    ASSERT_EQ(f.put(), 0);
  }
  ASSERT_EQ(f.commit(), 0);
  EXPECT_EQ(met, 100);
  f.set();
  while (f.next() == 0) EXPECT_EQ(r.FLAG, 1) << r.NOTES.str();
}

TEST_F(IndexedTest, TransactionsFrameWritesAndNothingElseHoldsTheFile) {
  make(d, {{"a", "", 0, 0, "a"}, {"b", "", 0, 0, "b"}, {"c", "", 0, 0, "c"}});
  Rec r2;
  pf::File f(d, &r), g(d, &r2);
  ASSERT_EQ(f.open(), 0);
  ASSERT_EQ(g.open(), 0);

  // A reader in the middle of a sequence holds no lock: another instance writes at once
  // (were a read transaction left open, the write would wait and then fail).
  g.set(*d.key("TST:NameKey"));
  ASSERT_EQ(g.next(), 0);
  fill(r, {"d", "", 0, 0, "d"});
  ASSERT_EQ(f.add(), 0);
  EXPECT_EQ(g.records(), 4);  // a single statement commits at once

  ASSERT_EQ(f.logout(), 0);
  EXPECT_TRUE(f.inTransaction());
  EXPECT_EQ(f.logout(), pf::Err::NoTransaction);
  fill(r, {"e", "", 0, 0, "e"});
  ASSERT_EQ(f.add(), 0);
  EXPECT_EQ(f.records(), 5);
  ASSERT_EQ(f.rollback(), 0);
  EXPECT_EQ(f.records(), 4);

  ASSERT_EQ(f.logout(), 0);
  ASSERT_EQ(f.add(), 0);
  ASSERT_EQ(f.commit(), 0);
  EXPECT_EQ(g.records(), 5);
  EXPECT_EQ(f.commit(), pf::Err::NoTransaction);

  // Closing inside a frame loses its writes rather than committing them.
  ASSERT_EQ(f.logout(), 0);
  ASSERT_EQ(f.add(), 0);
  ASSERT_EQ(f.close(), 0);
  EXPECT_EQ(g.records(), 5);
  ASSERT_EQ(g.next(), 0);
  EXPECT_EQ(r2.NOTES.str(), "b");
}

TEST_F(IndexedTest, SavedStateRestoresPlaceOrderAndBuffer) {
  make(d, {{"a", "", 0, 0, "a"}, {"b", "", 0, 0, "b"}, {"c", "", 0, 0, "c"}, {"d", "", 0, 0, "d"}});
  pf::File f(d, &r);
  ASSERT_EQ(f.open(), 0);
  f.set(*d.key("TST:NameDownKey"));
  ASSERT_EQ(f.next(), 0);
  ASSERT_EQ(f.next(), 0);
  pf::Position saved = f.position();
  auto state = f.saveState();
  f.set();
  ASSERT_EQ(f.next(), 0);
  EXPECT_EQ(r.NOTES.str(), "a");
  f.restoreState(*state);
  EXPECT_EQ(r.NOTES.str(), "c");
  ASSERT_EQ(f.next(), 0);
  EXPECT_EQ(r.NOTES.str(), "b");
  f.restoreState(*state);
  r.NAME = "changed";
  ASSERT_EQ(f.put(), 0);  // the current record is the saved one again
  ASSERT_EQ(f.get(saved), 0);
  EXPECT_EQ(r.NAME.clip(), "changed");
  EXPECT_EQ(r.NOTES.str(), "c");
}

// A record read by one instance, changed by another before the first writes it back: the
// write of the record as read refuses, hands back what is on file and writes nothing.
TEST_F(IndexedTest, AWriteOfTheRecordAsReadRefusesWhenAnotherWriterChangedIt) {
  struct Case {
    const char* name;
    void (*other)(Rec&);  // another instance's change to the record, written at once
    int code;
  } cases[] = {
      {"no other writer", nullptr, 0},
      {"the same values written again", [](Rec&) {}, 0},
      {"trailing blanks only", [](Rec& o) { o.NAME = "b   "; }, 0},
      {"another name", [](Rec& o) { o.NAME = "B"; }, pf::Err::FileChanged},
      {"another count", [](Rec& o) { o.COUNT = 7; }, pf::Err::FileChanged},
      {"other notes", [](Rec& o) { o.NOTES = "theirs"; }, pf::Err::FileChanged},
  };
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(c.name);
    make(d, {{"a", "", 0, 0, "a"}, {"b", "", 0, 1, "b"}});
    Rec theirs;
    pf::File f(d, &r), other(d, &theirs);
    ASSERT_EQ(f.open(), 0);
    ASSERT_EQ(other.open(), 0);
    r.NAME = "b";
    ASSERT_EQ(f.get(*d.key("TST:NameKey")), 0);
    const auto* p = reinterpret_cast<const unsigned char*>(&r);
    const std::vector<unsigned char> asRead(p, p + sizeof r);
    if (c.other) {
      ASSERT_EQ(other.get(f.position()), 0);
      c.other(theirs);
      ASSERT_EQ(other.put(), 0);
    }
    r.CODE = "mine";
    std::vector<unsigned char> onFile;
    EXPECT_EQ(f.putIfUnchanged(asRead, onFile), c.code);
    EXPECT_EQ(pf::errorcode(), c.code);
    EXPECT_EQ(r.CODE.str(), "mine") << "the buffer keeps what was to be written";
    ASSERT_EQ(other.get(f.position()), 0);
    if (c.code == 0) {
      EXPECT_TRUE(onFile.empty());
      EXPECT_EQ(theirs.CODE.str(), "mine");
      return;
    }
    EXPECT_EQ(theirs.CODE.str(), "") << "nothing written";
    ASSERT_EQ(onFile.size(), sizeof(Rec));
    const Rec& seen = *reinterpret_cast<const Rec*>(onFile.data());
    EXPECT_EQ(seen.NAME.clip(), theirs.NAME.clip());
    EXPECT_EQ(seen.COUNT.get(), theirs.COUNT.get());
    EXPECT_EQ(seen.NOTES.str(), theirs.NOTES.str());
    // Taken as the record as read, the file's record lets the write through.
    const std::vector<unsigned char> now = onFile;
    EXPECT_EQ(f.putIfUnchanged(now, onFile), 0);
    ASSERT_EQ(other.get(f.position()), 0);
    EXPECT_EQ(theirs.CODE.str(), "mine");
  }();
}

TEST_F(IndexedTest, EndOfFileAndReadErrorHaveDifferentCodes) {
  std::vector<Row> rows;
  for (int i = 0; i < 600; ++i) rows.push_back({"name" + std::to_string(i), "", 0, 0, std::string(90, 'x')});
  make(d, rows);
  {
    pf::File f(d, &r);
    ASSERT_EQ(f.open(), 0);
    f.set();
    int n = 0;
    while (f.next() == 0) ++n;
    EXPECT_EQ(n, 600);
    EXPECT_EQ(pf::errorcode(), RecordNotAvailable);
  }
  pf::File f(d, &r);
  ASSERT_EQ(f.open(), 0);
  f.set();
  ASSERT_EQ(f.next(), 0);
  // Damage the records beyond the first few pages, as a failing disk would.
  std::string bytes = slurp(dir.file("test.tps"));
  ASSERT_GT(bytes.size(), 40000u);
  std::fill(bytes.begin() + 16384, bytes.end(), '\xFF');
  spit(dir.file("test.tps"), bytes);
  int rc;
  while ((rc = f.next()) == 0) {}
  EXPECT_NE(rc, RecordNotAvailable);
  EXPECT_EQ(pf::errorcode(), rc);
  EXPECT_EQ(pf::errorfile(), "test.tps");
}

TEST_F(IndexedTest, EncryptedFilesHoldNoPlainTextAndNeedTheirPassword) {
  pf::FileDesc plain = desc("plain.tps");
  pf::FileDesc secret = desc("secret.tps", "PipKoraLunaMesh");
  std::vector<Row> rows = {{"UniqueDescription", "", 0, 0, "memo-words-here"}};
  make(plain, rows);
  make(secret, rows);
  std::string p = slurp(dir.file("plain.tps")), s = slurp(dir.file("secret.tps"));
  EXPECT_NE(p.find("UniqueDescription"), std::string::npos);
  EXPECT_NE(p.find("memo-words-here"), std::string::npos);
  EXPECT_EQ(s.find("UniqueDescription"), std::string::npos);
  EXPECT_EQ(s.find("UNIQUEDESCRIPTION"), std::string::npos);  // the folded key copy
  EXPECT_EQ(s.find("memo-words-here"), std::string::npos);
  EXPECT_EQ(s.find("SQLite format 3"), std::string::npos);

  pf::File ok(secret, &r);
  ASSERT_EQ(ok.open(), 0);
  ASSERT_EQ(ok.next(), 0);
  EXPECT_EQ(r.NAME.clip(), "UniqueDescription");
  ok.close();

  // Plain files stay readable by any SQLite tool, keys included.
  std::vector<std::string> out;
  ASSERT_EQ(rawSql(dir.file("plain.tps"), "SELECT NAME FROM rec WHERE _k_NAME<>'' ORDER BY _k_NAME, _pos", &out), SQLITE_OK);
  EXPECT_EQ(out, std::vector<std::string>{"UniqueDescription"});
}

}  // namespace
