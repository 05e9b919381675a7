// The comma-delimited and line drivers.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/errors.h"
#include "tests/platform/store/store_fixture.h"
#include "tests/support/temp_dir.h"

using namespace storetest;
namespace Err = pf::Err;

namespace {

struct UrlRec {
  pf::String<275> URL;
};

pf::FileDesc csvDesc() {
  pf::FileDesc d;
  d.label = "SitesCSV";
  d.prefix = "CSV";
  d.diskName = "SitesCSV.csv";
  d.driver = pf::Driver::Basic;
  d.recordSize = d.bufferSize = 275;
  d.fields = {{"CSV:URL", pf::FieldType::String, 0, 275}};
  return d;
}

struct LineRec {
  pf::String<255> TEXTLINE;
};

pf::FileDesc lineDesc(const std::string& name) {
  pf::FileDesc d;
  d.label = "LineFile";
  d.prefix = "A1";
  d.diskName = name;
  d.driver = pf::Driver::Ascii;
  d.recordSize = d.bufferSize = 255;
  d.fields = {{"A1:TEXTLINE", pf::FieldType::String, 0, 255}};
  return d;
}

TEST(CsvDriverTest, WritesEveryFieldQuotedWithCrLf) {
  qbtest::TempDir dir;
  pf::FileDesc d = csvDesc();
  UrlRec r;
  pf::File f(d, &r);
  EXPECT_EQ(f.open(), Err::NoFile);
  ASSERT_EQ(f.create(), 0);
  EXPECT_EQ(slurp("SitesCSV.csv"), "");  // an empty export is an empty file
  ASSERT_EQ(f.open(), 0);
  for (const char* url : {"abc", "a\"b", "  lead and trail   ", "x,y", "\"\"", "caf\xC3\xA9"}) {
    r.URL = url;
    ASSERT_EQ(f.add(), 0);
  }
  r.URL = "";
  ASSERT_EQ(f.add(), 0);
  f.close();
  EXPECT_EQ(slurp("SitesCSV.csv"),
            "\"abc\"\r\n\"a\"\"b\"\r\n\"  lead and trail\"\r\n\"x,y\"\r\n\"\"\"\"\"\"\r\n\"caf\xC3\xA9\"\r\n\"\"\r\n");

  // And back, through the lower-case name the viewer uses.
  pf::FileDesc lower = d;
  lower.diskName = "sitescsv.csv";
  pf::File g(lower, &r);
  ASSERT_EQ(g.open(pf::OpenMode::ReadOnly | pf::OpenMode::DenyNone), 0);
  std::vector<std::string> got;
  while (g.next() == 0) got.push_back(r.URL.clip());
  EXPECT_EQ(got, (std::vector<std::string>{"abc", "a\"b", "  lead and trail", "x,y", "\"\"", "caf\xC3\xA9", ""}));
  EXPECT_EQ(g.records(), 7);
  EXPECT_EQ(g.add(), Err::AccessDenied);
}

TEST(CsvDriverTest, ReplacedWholeWhenClosed) {
  qbtest::TempDir dir;
  pf::FileDesc d = csvDesc();
  UrlRec r;
  auto writeAll = [&](pf::File& f, std::initializer_list<const char*> urls) {
    for (const char* u : urls) {
      r.URL = u;
      ASSERT_EQ(f.add(), 0);
    }
  };
  spit("SitesCSV.csv", "\"old\"\r\n");
  spit("sitescsv.csv", "\"other case\"\r\n");
  // What a program killed while writing left behind: nobody holds it any more.
  spit("SitesCSV.csv.qbnew", "\"half\"\r\n");
  pf::File f(d, &r);
  ASSERT_EQ(f.replaceOnClose(), 0);
  ASSERT_EQ(f.open(), 0);
  writeAll(f, {"a", "b"});
  EXPECT_EQ(slurp("SitesCSV.csv"), "\"old\"\r\n") << "in place only when closed";

  // A second writer meanwhile is refused, and the first one's file is left alone.
  pf::File g(d, &r);
  ASSERT_EQ(g.replaceOnClose(), 0);
  EXPECT_EQ(g.open(), Err::AccessDenied);
  r.URL = "c";
  ASSERT_EQ(f.add(), 0);
  ASSERT_EQ(f.close(), 0);
  EXPECT_EQ(slurp("SitesCSV.csv"), "\"a\"\r\n\"b\"\r\n\"c\"\r\n");
  EXPECT_EQ(slurp("sitescsv.csv"), "\"other case\"\r\n");
  struct stat st {};
  EXPECT_NE(::lstat("SitesCSV.csv.qbnew", &st), 0);

  // Without its own file there, it still takes the name as given.
  ::unlink("SitesCSV.csv");
  ASSERT_EQ(f.replaceOnClose(), 0);
  ASSERT_EQ(f.open(), 0);
  writeAll(f, {"d"});
  ASSERT_EQ(f.close(), 0);
  EXPECT_EQ(slurp("SitesCSV.csv"), "\"d\"\r\n");
  EXPECT_EQ(slurp("sitescsv.csv"), "\"other case\"\r\n");

  // A file dropped before it is closed leaves the old one.
  {
    pf::File h(d, &r);
    ASSERT_EQ(h.replaceOnClose(), 0);
    ASSERT_EQ(h.open(), 0);
    writeAll(h, {"never in place"});
  }
  EXPECT_EQ(slurp("SitesCSV.csv"), "\"d\"\r\n");
  EXPECT_NE(::lstat("SitesCSV.csv.qbnew", &st), 0);
}

TEST(CsvDriverTest, SeveralFieldsAndNumbers) {
  qbtest::TempDir dir;
  struct Two {
    pf::String<10> NAME;
    pf::Long COUNT;
  } r;
  pf::FileDesc d = csvDesc();
  d.recordSize = d.bufferSize = 14;
  d.fields = {{"T:NAME", pf::FieldType::String, 0, 10}, {"T:COUNT", pf::FieldType::Long, 10, 4}};
  pf::File f(d, &r);
  ASSERT_EQ(f.create(), 0);
  ASSERT_EQ(f.open(), 0);
  r.NAME = "x, \"y\"";
  r.COUNT = -42;
  ASSERT_EQ(f.add(), 0);
  EXPECT_EQ(slurp("SitesCSV.csv"), "\"x, \"\"y\"\"\",\"-42\"\r\n");
  r = Two{};
  f.set();
  ASSERT_EQ(f.next(), 0);
  EXPECT_EQ(r.NAME.clip(), "x, \"y\"");
  EXPECT_EQ(r.COUNT.get(), -42);
  EXPECT_EQ(f.next(), Err::RecordNotAvailable);
}

TEST(AsciiDriverTest, LinesLongShortEmptyAndUnterminated) {
  qbtest::TempDir dir;
  std::string longLine(300, 'L');
  std::string wide;
  for (int i = 0; i < 150; ++i) wide += "\xC3\xA9";  // 300 bytes of two-byte characters
  spit("lines.txt", "first\r\n" + longLine + "\n\n" + wide + "\nlast");
  pf::FileDesc d = lineDesc("LINES.TXT");
  LineRec r;
  pf::File f(d, &r);
  ASSERT_EQ(f.open(pf::OpenMode::ReadOnly | pf::OpenMode::DenyNone), 0);

  // A line longer than the record goes on in the next record, never cut inside a character.
  std::vector<std::string> want = {"first", longLine.substr(0, 255), longLine.substr(255), "",
                                   wide.substr(0, 254), wide.substr(254), "last"};
  std::vector<pf::Position> at;
  f.set();
  for (const auto& w : want) {
    ASSERT_EQ(f.next(), 0);
    EXPECT_EQ(r.TEXTLINE.clip(), w);
    EXPECT_EQ(f.line(), w);
    at.push_back(f.position());
  }
  EXPECT_EQ(f.next(), Err::RecordNotAvailable);

  // Backwards from the end, and restarting at any record's position.
  f.set();
  for (int i = static_cast<int>(want.size()) - 1; i >= 0; --i) {
    ASSERT_EQ(f.previous(), 0);
    EXPECT_EQ(f.line(), want[static_cast<std::size_t>(i)]);
  }
  EXPECT_EQ(f.previous(), Err::RecordNotAvailable);
  f.setAt(at[5]);
  ASSERT_EQ(f.next(), 0);
  EXPECT_EQ(f.line(), wide.substr(254));
  ASSERT_EQ(f.previous(), 0);
  EXPECT_EQ(f.line(), wide.substr(0, 254));
  ASSERT_EQ(f.previous(), 0);
  EXPECT_EQ(f.line(), "");
  EXPECT_EQ(f.records(), 7);
  EXPECT_EQ(f.add(), Err::AccessDenied);
}

// Where a long line is cut: after its last blank in the record's second half, else at the
// record's end; the records put together give the line back.
TEST(AsciiDriverTest, LongLinesBreakAfterABlank) {
  std::string words;
  while (words.size() < 600) words += "word" + std::to_string(words.size()) + " ";
  std::string early = "ab " + std::string(400, 'x');   // its only blank lies too early
  struct Case {
    const char* name;
    std::string line, end;
    std::vector<std::size_t> sizes;   // of the records, in bytes
  } cases[] = {
      {"exactly a record, CR LF", std::string(255, 'a'), "\r\n", {255}},
      {"a record and one", std::string(256, 'a'), "\n", {255, 1}},
      {"blank too early", early, "\n", {255, 148}},
      {"ends without a line end", std::string(255, 'a') + "bc", "", {255, 2}},
  };
  for (const auto& c : cases) [&] {
    SCOPED_TRACE(c.name);
    qbtest::TempDir dir;
    spit("long.txt", c.line + c.end + (c.end.empty() ? "" : "next\n"));
    LineRec r;
    pf::FileDesc desc = lineDesc("long.txt");
    pf::File f(desc, &r);
    ASSERT_EQ(f.open(pf::OpenMode::ReadOnly | pf::OpenMode::DenyNone), 0);
    std::string joined;
    for (std::size_t size : c.sizes) {
      ASSERT_EQ(f.next(), 0);
      EXPECT_EQ(f.line().size(), size);
      joined += f.line();
    }
    EXPECT_EQ(joined, c.line);
    if (c.end.empty()) {
      EXPECT_EQ(f.next(), Err::RecordNotAvailable);
    } else {
      ASSERT_EQ(f.next(), 0);
      EXPECT_EQ(f.line(), "next");
    }
  }();

  qbtest::TempDir dir;
  spit("words.txt", words + "\n");
  LineRec r;
  pf::FileDesc desc = lineDesc("words.txt");
  pf::File f(desc, &r);
  ASSERT_EQ(f.open(pf::OpenMode::ReadOnly | pf::OpenMode::DenyNone), 0);
  std::string joined;
  while (f.next() == 0) {
    std::string piece = f.line();
    EXPECT_LE(piece.size(), 255u);
    joined += piece;
    if (joined.size() < words.size()) {
      EXPECT_EQ(piece.back(), ' ') << "a word is never cut";
    }
  }
  EXPECT_EQ(joined, words);
}

TEST(AsciiDriverTest, EmptyAndMissingFiles) {
  qbtest::TempDir dir;
  spit("empty.txt", "");
  LineRec r;
  pf::FileDesc empty = lineDesc("empty.txt"), missing = lineDesc("ViewLic.txt");
  pf::File f(empty, &r), g(missing, &r);
  ASSERT_EQ(f.open(pf::OpenMode::ReadOnly | pf::OpenMode::DenyNone), 0);
  EXPECT_EQ(f.next(), Err::RecordNotAvailable);
  EXPECT_EQ(f.records(), 0);
  EXPECT_EQ(g.open(pf::OpenMode::ReadOnly | pf::OpenMode::DenyNone), Err::NoFile);
  EXPECT_EQ(pf::errorfile(), "ViewLic.txt");
}

}  // namespace
