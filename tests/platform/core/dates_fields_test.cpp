#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/core/dates.h"
#include "platform/core/errors.h"
#include "platform/core/field.h"
#include "platform/core/record.h"
#include "platform/core/value.h"
#include "tests/support/temp_dir.h"

namespace {

class CoreTest : public ::testing::Test {
 protected:
  qbtest::TempDir dir_;
};

using DatesTest = CoreTest;
using FieldsTest = CoreTest;
using ErrorsTest = CoreTest;

TEST_F(DatesTest, KnownDays) {
  struct Case { int y, m, d; std::int32_t day; int dow; };
  const Case cases[] = {
      {1800, 12, 29, 1, 1},        // the first day there is
      {1801, 1, 1, 4, 4},          // a Thursday
      {1900, 2, 28, 36221, 3},
      {1900, 3, 1, 36222, 4},      // 1900 has no 29 February
      {2000, 2, 29, 72746, 2},     // 2000 has one
      {2026, 12, 10, 82527, 4},
      {9999, 12, 31, 2994626, 5},  // the last
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.y) + "-" + std::to_string(c.m) + "-" + std::to_string(c.d));
    EXPECT_EQ(pf::dateToDay(c.y, c.m, c.d), c.day);
    int y, m, d;
    pf::dayToDate(c.day, y, m, d);
    EXPECT_EQ(y, c.y);
    EXPECT_EQ(m, c.m);
    EXPECT_EQ(d, c.d);
    EXPECT_EQ(pf::dayOfWeek(c.day), c.dow);
  }
}

TEST_F(DatesTest, EveryDayRoundTripsAndFollowsTheDayBefore) {
  const std::int32_t last = pf::dateToDay(9999, 12, 31);
  int py, pm, pd;
  pf::dayToDate(1, py, pm, pd);
  for (std::int32_t n = 2; n <= last; ++n) {
    int y, m, d;
    pf::dayToDate(n, y, m, d);
    ASSERT_EQ(pf::dateToDay(y, m, d), n);
    bool nextDay = (y == py && m == pm && d == pd + 1);
    bool nextMonth = (y == py && m == pm + 1 && d == 1);
    bool nextYear = (y == py + 1 && m == 1 && d == 1 && pm == 12 && pd == 31);
    ASSERT_TRUE(nextDay || nextMonth || nextYear) << y << "-" << m << "-" << d;
    ASSERT_EQ(pf::dayOfWeek(n), (pf::dayOfWeek(n - 1) + 1) % 7);
    py = y, pm = m, pd = d;
  }
}

TEST_F(DatesTest, OutOfRangePartsNormaliseAndDatesOutsideTheRangeAreNone) {
  struct Case { int y, m, d; int ey, em, ed; };
  const Case cases[] = {
      {2024, 13, 1, 2025, 1, 1},   {2024, 0, 1, 2023, 12, 1}, {2024, 3, 0, 2024, 2, 29},
      {2023, 2, 29, 2023, 3, 1},   {2024, 1, 32, 2024, 2, 1}, {2024, -11, 1, 2023, 1, 1},
      {2024, 1, -30, 2023, 12, 1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(pf::dateToDay(c.y, c.m, c.d), pf::dateToDay(c.ey, c.em, c.ed)) << c.y << "/" << c.m << "/" << c.d;
  EXPECT_EQ(pf::dateToDay(1800, 12, 28), 0);
  EXPECT_EQ(pf::dateToDay(10000, 1, 1), 0);
  int y = 1, m = 1, d = 1;
  pf::dayToDate(0, y, m, d);
  EXPECT_EQ(y + m + d, 0);
  EXPECT_EQ(pf::dayOfWeek(-1), 6);
  EXPECT_EQ(pf::dayOfWeek(0), 0);
}

TEST_F(DatesTest, DateFieldBytesAndLimits) {
  pf::Date date = pf::dateToDay(2026, 12, 10);
  EXPECT_EQ(std::vector<unsigned char>(date.b, date.b + 4), (std::vector<unsigned char>{10, 12, 0xEA, 0x07}));
  EXPECT_EQ(date.get(), 82527);

  date = 0;
  EXPECT_EQ(std::vector<unsigned char>(date.b, date.b + 4), (std::vector<unsigned char>{0, 0, 0, 0}));
  EXPECT_EQ(date.get(), 0);

  // A year past 9999 found in a file reads as the last day there is.
  const unsigned char stored[4] = {1, 1, 0x10, 0x27};  // 1 January 10000
  std::memcpy(date.b, stored, 4);
  EXPECT_EQ(date.get(), pf::dateToDay(9999, 12, 31));

  // Nor is such a year ever written.
  date = 2147483647;
  EXPECT_EQ(date.get(), pf::dateToDay(9999, 12, 31));
}

TEST_F(FieldsTest, TextFieldsKeepToTheirBytesAndNeverCutACharacter) {
  EXPECT_EQ(pf::utf8Fit("abc", 5), 3u);
  EXPECT_EQ(pf::utf8Fit("abc", 2), 2u);
  EXPECT_EQ(pf::utf8Fit("a\xC3\xA9", 2), 1u);          // é is two bytes
  EXPECT_EQ(pf::utf8Fit("\xE2\x82\xAC" "x", 2), 0u);   // € is three
  EXPECT_EQ(pf::utf8Fit("\xF0\x9F\x98\x80", 4), 4u);

  pf::String<5> s = "ab";
  EXPECT_EQ(s.str(), "ab   ");
  EXPECT_EQ(s.clip(), "ab");
  EXPECT_TRUE(s == "ab  ");
  s = "abcd\xC3\xA9";  // é would need bytes 5 and 6
  EXPECT_EQ(s.str(), "abcd ");
  s = "abcdefgh";
  EXPECT_EQ(s.str(), "abcde");
  s = "";
  EXPECT_TRUE(s.blank());

  pf::CString<5> c = "abcdef";  // room for four and the zero byte
  EXPECT_EQ(c.str(), "abcd");
  EXPECT_EQ(c.b[4], '\0');
  c = "abc\xC3\xA9";
  EXPECT_EQ(c.str(), "abc");
  c = std::string("ab\0cd", 5);
  EXPECT_EQ(c.str(), "ab");
  c = "   ";
  EXPECT_TRUE(c.blank());
  EXPECT_EQ(c.str(), "   ");

  pf::Long l = -2;
  EXPECT_EQ(std::vector<unsigned char>(l.b, l.b + 4), (std::vector<unsigned char>{0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(l.get(), -2);
}

// A record of every field type, read and written through its declaration.
struct Rec {
  pf::String<6> name;
  pf::CString<6> address;
  pf::Byte flag;
  pf::Long count;
  pf::Date day;
  pf::Time time;
  pf::Memo<8> notes;
};

std::vector<pf::FieldDesc> recFields() {
  return {{"R:NAME", pf::FieldType::String, offsetof(Rec, name), 6},
          {"R:ADDRESS", pf::FieldType::CString, offsetof(Rec, address), 6},
          {"R:FLAG", pf::FieldType::Byte, offsetof(Rec, flag), 1},
          {"R:COUNT", pf::FieldType::Long, offsetof(Rec, count), 4},
          {"R:DAY", pf::FieldType::Date, offsetof(Rec, day), 4},
          {"R:TIME", pf::FieldType::Time, offsetof(Rec, time), 4},
          {"R:NOTES", pf::FieldType::Memo, offsetof(Rec, notes), 8}};
}

TEST_F(FieldsTest, FieldValuesThroughTheDeclaration) {
  const auto f = recFields();
  Rec r{};
  struct Case { int field; pf::Value in; pf::Value out; };
  const Case cases[] = {
      {0, "Sam", "Sam"},
      {0, "abcde\xC3\xA9", "abcde"},         // cut before the character, blank padded
      {1, "example", "examp"},               // one byte kept for the zero
      {1, "abcd\xC3\xA9", "abcd"},
      {2, 1, 1},
      {2, 257, 1},                           // a byte wraps
      {2, "7", 7},                           // texts convert to numbers
      {3, -123456, -123456},
      {4, 82527, 82527},
      {4, 0, 0},
      {5, 360001, 360001},
      {6, "note one!", "note one"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(f[c.field].name + " <- " + c.in.text());
    pf::setFieldValue(f[c.field], &r, c.in);
    EXPECT_EQ(pf::fieldValue(f[c.field], &r), c.out);
  }
  pf::setFieldValue(f[0], &r, "ab");
  EXPECT_EQ(r.name.str(), "ab    ");
  pf::setFieldValue(f[1], &r, "ab");
  EXPECT_EQ(std::string(r.address.b, 6), std::string("ab\0\0\0\0", 6));
  EXPECT_EQ(r.day.get(), 0);
}

TEST_F(ErrorsTest, TextsAndStatusProvider) {
  const std::pair<int, const char*> texts[] = {
      {2, "File Not Found"},           {3, "Path Not Found"},
      {4, "Too Many Open Files"},      {5, "Access Denied"},
      {11, "Invalid Data File"},       {32, "File Is Already Locked"},
      {33, "Record Not Available"},    {37, "File Not Open"},
      {43, "Record Is Already Held"},  {46, "Key File Must Be Rebuilt"},
      {47, "Invalid Data File Owner"}, {48, "Unable To Log Transaction"},
      {89, "Record Changed By Another Station"}, {90, "File System Error"},
      {99, "Error 99"},                {0, ""},
  };
  for (const auto& [code, text] : texts) EXPECT_EQ(pf::errorText(code), text) << code;

  pf::setError(pf::Err::NoFile, "wsites.tps");
  EXPECT_EQ(pf::errorcode(), 2);
  EXPECT_EQ(pf::error(), "File Not Found");
  EXPECT_EQ(pf::errorfile(), "wsites.tps");

  static pf::ErrorStatus other;
  pf::setErrorStatusProvider([]() -> pf::ErrorStatus& { return other; });
  EXPECT_EQ(pf::errorcode(), 0);  // each status stands alone
  pf::setError(pf::Err::AccessDenied, "Category.tps");
  EXPECT_EQ(other.code, 5);

  pf::setErrorStatusProvider(nullptr);  // back to the process-wide status
  EXPECT_EQ(pf::errorcode(), 2);
  pf::clearError();
  EXPECT_EQ(pf::errorcode(), 0);
  EXPECT_EQ(pf::errorfile(), "");
}

}  // namespace
