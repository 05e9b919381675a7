#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/core/dates.h"
#include "platform/core/pictures.h"
#include "platform/core/record.h"
#include "platform/core/strings.h"
#include "platform/core/value.h"
#include "tests/support/temp_dir.h"

namespace {

class TextTest : public ::testing::Test {
 protected:
  qbtest::TempDir dir_;
};

using StringsTest = TextTest;
using PicturesTest = TextTest;

TEST_F(StringsTest, BlanksAndLetterCase) {
  using Fn = std::function<std::string(std::string_view)>;
  struct Case { const char* name; Fn fn; std::string in, out; };
  const Case cases[] = {
      {"clip", pf::clip, "  ab  ", "  ab"},
      {"clip", pf::clip, "    ", ""},
      {"left", pf::left, "  ab  ", "ab  "},
      {"left", pf::left, "", ""},
      {"trim", pf::trim, "  a b  ", "a b"},
      {"upper", pf::upper, "http://Www.x_y1", "HTTP://WWW.X_Y1"},
      {"upper", pf::upper, "caf\xC3\xA9 \xC3\xBF", "CAF\xC3\x89 \xC5\xB8"},                    // é ÿ -> É Ÿ
      {"upper", pf::upper, "\xC5\x82\xC3\xB3" "d\xC5\xBA", "\xC5\x81\xC3\x93" "D\xC5\xB9"},       // łódź
      {"upper", pf::upper, "\xCE\xB1\xCF\x82", "\xCE\x91\xCE\xA3"},                           // ας -> ΑΣ
      {"upper", pf::upper, "\xD0\xBF\xD1\x80\xD0\xB8\xD1\x91\xD0\xBC", "\xD0\x9F\xD0\xA0\xD0\x98\xD0\x81\xD0\x9C"},  // приём
      {"upper", pf::upper, "a\xFF" "b\xC3", "A\xFF" "B\xC3"},                                // broken bytes pass
      {"lower", pf::lower, "HTTP://WWW.X", "http://www.x"},
      {"lower", pf::lower, "\xC3\x89\xC5\xB8\xCE\xA3\xD0\x81", "\xC3\xA9\xC3\xBF\xCF\x83\xD1\x91"},  // ÉŸΣЁ
  };
  for (const auto& c : cases) EXPECT_EQ(c.fn(c.in), c.out) << c.name << "(\"" << c.in << "\")";
  EXPECT_TRUE(pf::isBlank("   "));
  EXPECT_TRUE(pf::isBlank(""));
  EXPECT_FALSE(pf::isBlank(" x "));
}

TEST_F(StringsTest, SubInstringAllAndPadding) {
  const std::string week = "Sunday   Monday   Tuesday  WednesdayThursday Friday   Saturday ";
  struct SubCase { std::string s; int start, len; std::string out; };
  const SubCase subs[] = {
      {week, 4 * 9 + 1, 9, "Thursday "}, {"abcdef", 1, 3, "abc"}, {"abcdef", 5, 10, "ef"},
      {"abcdef", 7, 1, ""},              {"abcdef", -2, 2, "ef"}, {"abcdef", 0, 2, "ab"},
      {"abcdef", 2, 0, ""},              {"abcdef", 2, -1, ""},   {"", 1, 1, ""},
  };
  for (const auto& c : subs) EXPECT_EQ(pf::sub(c.s, c.start, c.len), c.out) << c.s << " " << c.start << "," << c.len;

  struct InCase { std::string needle, s; int step, start, out; };
  const InCase ins[] = {
      {"b", "abcabc", 1, 1, 2}, {"b", "abcabc", 1, 3, 5}, {"abc", "abcabc", 3, 2, 0},
      {"abc", "xabcabc", 3, 2, 2}, {"bc", "abcabc", -1, 6, 5}, {"x", "abc", 1, 1, 0},
      {"", "abc", 1, 1, 0},     {"abcd", "abc", 1, 1, 0}, {"c", "abc", 1, 0, 3},
      {"Fri", week, 9, 1, 46},
  };
  for (const auto& c : ins)
    EXPECT_EQ(pf::instring(c.needle, c.s, c.step, c.start), c.out) << c.needle << " in " << c.s;

  EXPECT_EQ(pf::all("-", 5), "-----");
  EXPECT_EQ(pf::all("ab", 5), "ababa");
  EXPECT_EQ(pf::all("\xC3\xA9", 3), "\xC3\xA9 ");
  EXPECT_EQ(pf::padRight("ab", 4), "ab  ");
  EXPECT_EQ(pf::padRight("abcdef", 4), "abcd");
  EXPECT_EQ(pf::padRight("abc\xC3\xA9", 4), "abc ");
  EXPECT_EQ(pf::utf8Length("a\xC3\xA9\xE2\x82\xAC\xFF"), 4u);
}

int sign(int v) { return (v > 0) - (v < 0); }

TEST_F(StringsTest, KeyFoldingIgnoresCaseAndTrailingBlanks) {
  struct Case { std::string a, b; int cmp; };
  const Case cases[] = {
      {"Google", "GOOGLE  ", 0},
      {"google", "Googlf", -1},
      {"  a", "a", -1},                                   // leading blanks count
      {"ab", "abc", -1},
      {"a_b", "aab", 1},                                  // the order of capitals
      {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", 0},      // été / ÉTÉ
      {"\xCF\x83\xCF\x82", "\xCE\xA3\xCE\xA3", 0},        // σς / ΣΣ
      {"\xD0\xBC\xD0\xB8\xD1\x80", "\xD0\x9C\xD0\x98\xD0\xA0 ", 0},  // мир / МИР
      {"z", "\xC3\xA0", -1},                              // accented letters after ASCII
      {"", "   ", 0},
      {"a\xFF", "A\xFF", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.a + " vs " + c.b);
    EXPECT_EQ(sign(pf::foldCompare(c.a, c.b)), c.cmp);
    EXPECT_EQ(sign(pf::foldCompare(c.b, c.a)), -c.cmp);
    EXPECT_EQ(sign(pf::caseFold(c.a).compare(pf::caseFold(c.b))), c.cmp);
  }
  EXPECT_EQ(pf::caseFold("Caf\xC3\xA9  "), "CAF\xC3\x89");
  EXPECT_TRUE(pf::foldEqual("All Categories", "ALL CATEGORIES"));
}

TEST_F(PicturesTest, FormatTable) {
  const std::int32_t dec10 = pf::dateToDay(2026, 12, 10);
  const std::int32_t mar5 = pf::dateToDay(2026, 3, 5);
  const std::int32_t t0905 = (9 * 3600 + 5 * 60) * 100 + 1;
  const std::int32_t t1430 = (14 * 3600 + 30 * 60) * 100 + 1;
  struct Case { pf::Value v; const char* picture; std::string out; };
  const Case cases[] = {
      {"Google", "@s10", "Google    "},
      {"Google", "S3", "Goo"},
      {"caf\xC3\xA9", "@s4", "caf "},       // never half a character
      {"abc", "s1", "a"},
      {42, "@s5", "42   "},
      {7, "@n3", "  7"},
      {0, "@N3", "  0"},
      {-5, "@n3", " -5"},
      {1234, "@n3", "###"},
      {123456, "@N6", "123456"},
      {12, "N10", "        12"},
      {0, "N6B", ""},
      {0, "n8b", ""},
      {3, "N8B", "       3"},
      {12, "N010", "0000000012"},
      {-12, "N010", "-000000012"},
      {"42", "@n3", " 42"},
      {dec10, "D4", "December 10, 2026"},
      {mar5, "@d4", "March 5, 2026"},
      {mar5, "D04", "March 05, 2026"},
      {dec10, "D017", "10/12/2026"},
      {mar5, "@D017", "05/03/2026"},
      {mar5, "D17", "5/3/2026"},
      {0, "D017", ""},
      {0, "D017B", ""},
      {0, "D4", ""},
      {mar5, "D017B", "05/03/2026"},
      {t0905, "T3", "9:05AM"},
      {t1430, "@t3", "2:30PM"},
      {1, "T3", "12:00AM"},
      {(12 * 3600) * 100 + 1, "T3", "12:00PM"},
      {t0905, "T03", "09:05AM"},
      {0, "T3", ""},
      {1, "pPage <<#p", "Page 1"},
      {27, "@pPage <<#p", "Page 27"},
      {1234, "pPage <<#p", "Page 1234"},
      {0, "pPage <<#p", "Page 0"},
      {5, "P##-##P", "00-05"},
      {"text", "", "text"},
      {17, "", "17"},
  };
  for (const auto& c : cases) EXPECT_EQ(pf::format(c.v, c.picture), c.out) << c.v.text() << " as " << c.picture;
}

TEST_F(PicturesTest, WidthsAreBoundByTheFieldAndTheWidestField) {
  using T = pf::FieldType;
  EXPECT_EQ(pf::parsePicture("@s999999999").width, pf::MaxPictureWidth);
  EXPECT_EQ(pf::parsePicture("@n0999999999999").width, pf::MaxPictureWidth);
  EXPECT_EQ(pf::parsePicture("@s65520").width, 65520);
  EXPECT_EQ(pf::format(1, "@n999999999").size(), static_cast<std::size_t>(pf::MaxPictureWidth));
  struct Case { const char* picture; T type; std::size_t size; bool fits; };
  const Case cases[] = {
      {"@s45", T::String, 45, true},     {"@s46", T::String, 45, false},
      {"@s254", T::CString, 255, true},  {"@s255", T::CString, 255, false},
      {"@s2000", T::Memo, 2000, true},   {"@s2001", T::Memo, 2000, false},
      {"@n3", T::Byte, 1, true},         {"@n4", T::Byte, 1, false},
      {"@n-14", T::Long, 4, true},       {"@n15", T::Long, 4, false},
      {"@d17", T::Date, 4, true},        {"@t3", T::Time, 4, true},
      {"@s999999999", T::Memo, 65520, true},   // read as the widest a field can be
  };
  for (const auto& c : cases)
    EXPECT_EQ(pf::pictureFits(pf::parsePicture(c.picture), c.type, c.size), c.fits) << c.picture;
}

TEST_F(PicturesTest, DeformatReadsBackWhatFormatShows) {
  struct Case { const char* picture; std::vector<pf::Value> values; };
  const Case cases[] = {
      {"@n3", {0, 7, -5, 999}},
      {"N10", {0, 1234567890}},
      {"N8B", {0, 3}},
      {"N010", {0, 12, -12}},
      {"D4", {0, 4, pf::dateToDay(2026, 12, 10), pf::dateToDay(9999, 12, 31)}},
      {"D017", {0, pf::dateToDay(2026, 3, 5), pf::dateToDay(1801, 1, 1)}},
      {"D017B", {0, pf::dateToDay(2000, 2, 29)}},
      {"T3", {0, 1, (9 * 3600 + 5 * 60) * 100 + 1, (23 * 3600 + 59 * 60) * 100 + 1}},
      {"pPage <<#p", {0, 7, 1234}},
      {"@s10", {"", "Google"}},
  };
  for (const auto& c : cases)
    for (const auto& v : c.values) {
      std::string shown = pf::format(v, c.picture);
      auto back = pf::tryDeformat(shown, c.picture);
      ASSERT_TRUE(back.has_value()) << shown << " as " << c.picture;
      if (v.isText())
        EXPECT_EQ(pf::clip(back->text()), v.text()) << c.picture;
      else
        EXPECT_EQ(*back, v) << "\"" << shown << "\" as " << c.picture;
    }
}

TEST_F(PicturesTest, DeformatOfTypedText) {
  const std::int32_t mar5 = pf::dateToDay(2026, 3, 5);
  struct Case { const char* text; const char* picture; std::optional<pf::Value> out; };
  const Case cases[] = {
      {" 1,234 ", "@n6", 1234},
      {"-7", "N3", -7},
      {"12a", "@n3", std::nullopt},
      {"###", "@n3", std::nullopt},
      {"", "@n3", 0},
      {"5/3/2026", "D017", mar5},
      {"5-3-26", "D017", mar5},
      {"31/02/2026", "D017", std::nullopt},
      {"13/13/2026", "D017", std::nullopt},
      {"5/3", "D017", std::nullopt},
      {"march 5, 2026", "D4", mar5},
      {"Mar 5 2026", "D4", mar5},
      {"Smarch 5, 2026", "D4", std::nullopt},
      {"   ", "D017B", 0},
      {"9:05 am", "T3", (9 * 3600 + 5 * 60) * 100 + 1},
      {"14:30", "T3", (14 * 3600 + 30 * 60) * 100 + 1},
      {"12:00AM", "T3", 1},
      {"13:00PM", "T3", std::nullopt},
      {"9:75AM", "T3", std::nullopt},
      {"Page 12", "pPage <<#p", 12},
      {"caf\xC3\xA9", "@s4", "caf"},
      {"anything", "", "anything"},
  };
  for (const auto& c : cases) EXPECT_EQ(pf::tryDeformat(c.text, c.picture), c.out) << c.text << " as " << c.picture;
  EXPECT_EQ(pf::deformat("12a", "@n3"), pf::Value(0));
  EXPECT_EQ(pf::deformat("31/02/2026", "D017"), pf::Value(0));
}

TEST_F(PicturesTest, FormatFieldOfEveryType) {
  // One record: STRING(5) at 0, CSTRING(8) at 5, BYTE at 13, LONG at 14, DATE at 18, TIME at 22.
  unsigned char buf[26] = {};
  const pf::FieldDesc f[] = {{"R:S", pf::FieldType::String, 0, 5},  {"R:C", pf::FieldType::CString, 5, 8},
                             {"R:B", pf::FieldType::Byte, 13, 1},   {"R:L", pf::FieldType::Long, 14, 4},
                             {"R:D", pf::FieldType::Date, 18, 4},   {"R:T", pf::FieldType::Time, 22, 4}};
  pf::setFieldValue(f[0], buf, "Abc");
  pf::setFieldValue(f[1], buf, "http://x");  // one byte too long
  pf::setFieldValue(f[2], buf, 1);
  pf::setFieldValue(f[3], buf, 42);
  pf::setFieldValue(f[4], buf, pf::dateToDay(2026, 12, 10));
  pf::setFieldValue(f[5], buf, (9 * 3600 + 5 * 60) * 100 + 1);
  EXPECT_EQ(pf::formatField(f[0], buf, "@s4"), "Abc ");
  EXPECT_EQ(pf::formatField(f[1], buf, "@S80"), pf::padRight("http://", 80));
  EXPECT_EQ(pf::formatField(f[2], buf, "@n3"), "  1");
  EXPECT_EQ(pf::formatField(f[3], buf, "N8B"), "      42");
  EXPECT_EQ(pf::formatField(f[4], buf, "D017B"), "10/12/2026");
  EXPECT_EQ(pf::formatField(f[4], buf, "D4"), "December 10, 2026");
  EXPECT_EQ(pf::formatField(f[5], buf, "T3"), "9:05AM");
  EXPECT_EQ(pf::formatField(f[0], buf, ""), "Abc");
}

}  // namespace
