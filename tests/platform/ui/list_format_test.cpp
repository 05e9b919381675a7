#include <gtest/gtest.h>

#include "platform/ui/list_format.h"

namespace {

const std::string kBrowse =
    "10L(5)|I~F~L(2)@n3@Q'(F) Favorite (Click on to Change)'131L(2)|M*~Description~@s45@Q'Browse List'"
    "120L(2)|M*~Website address (URL)~@S80@Q'Browse List'75L(2)|M*~Logon ID~@s45@Q'Browse List'"
    "75L(2)|M*~Password~@s45@Q'Browse List'100L(2)|M*~Category~@s25@Q'(F) Favorite (Click on to Change)'";

TEST(ListFormat, ReadsEveryPartOfAColumn) {
  auto f = pf::ListFormat::parse(kBrowse);
  ASSERT_TRUE(f.valid);
  ASSERT_EQ(f.columns.size(), 6u);
  const auto& tick = f.columns[0];
  EXPECT_EQ(tick.width, 10);
  EXPECT_EQ(tick.align, 'L');
  EXPECT_EQ(tick.indent, 5);
  EXPECT_TRUE(tick.rightBorder);
  EXPECT_TRUE(tick.icon);
  EXPECT_FALSE(tick.resizable);
  EXPECT_EQ(tick.header, "F");
  EXPECT_EQ(tick.headerAlign, 'L');
  EXPECT_EQ(tick.headerIndent, 2);
  EXPECT_EQ(tick.picture, "@n3");
  EXPECT_EQ(tick.tip, "(F) Favorite (Click on to Change)");
  const auto& desc = f.columns[1];
  EXPECT_EQ(desc.width, 131);
  EXPECT_TRUE(desc.resizable);
  EXPECT_TRUE(desc.colors);
  EXPECT_FALSE(desc.icon);
  EXPECT_EQ(desc.header, "Description");
  EXPECT_EQ(desc.headerAlign, 0);
  EXPECT_EQ(desc.picture, "@s45");
  EXPECT_EQ(f.columns[5].field, 6);
}

TEST(ListFormat, RoundTripsAndCarriesNewWidths) {
  auto f = pf::ListFormat::parse(kBrowse);
  EXPECT_EQ(f.str(), kBrowse);
  f.columns[3].width = 0;    // a hidden column keeps its place
  f.columns[5].width = 140;
  std::string changed = f.str();
  EXPECT_NE(changed.find("0L(2)|M*~Logon ID~"), std::string::npos);
  EXPECT_NE(changed.find("140L(2)|M*~Category~"), std::string::npos);
  EXPECT_EQ(pf::ListFormat::parse(changed).str(), changed);
}

TEST(ListFormat, MovedColumnsKeepTheirCells) {
  auto f = pf::ListFormat::parse("20L~A~@s5@30R(1)~B~@n3@40C~C~@s9@");
  std::swap(f.columns[0], f.columns[2]);   // C, B, A
  std::string moved = f.str();
  auto again = pf::ListFormat::parse(moved);
  ASSERT_EQ(again.columns.size(), 3u);
  EXPECT_EQ(again.columns[0].header, "C");
  EXPECT_EQ(again.columns[0].field, 3);
  EXPECT_EQ(again.columns[1].field, 2);
  EXPECT_EQ(again.columns[2].field, 1);
  EXPECT_EQ(again.columnOfField(1), 3);
  EXPECT_EQ(again.str(), moved);
}

TEST(ListFormat, QuotesInTipsAndDamagedTexts) {
  EXPECT_TRUE(pf::ListFormat::parse("32767L(32767)~x~#32767#").valid);
  auto f = pf::ListFormat::parse("50L(2)|M~It''s~@s9@Q'Bob''s tip'");
  ASSERT_EQ(f.columns.size(), 1u);
  EXPECT_EQ(f.columns[0].tip, "Bob's tip");
  EXPECT_EQ(f.str(), "50L(2)|M~It''s~@s9@Q'Bob''s tip'");
  for (const char* bad : {"L~x~", "10L~open", "10L@s5", "10LQ'unclosed", "abc", "",
                          // numbers no window holds (and no int either)
                          "99999999999L(2)~x~", "32768L~x~", "10L(99999999999)~x~", "10L~x~L(40000)",
                          "10L~x~#99999999999#"}) {
    auto d = pf::ListFormat::parse(bad);   // never crashes; says so when it could not read it
    if (!std::string(bad).empty()) {
      EXPECT_FALSE(d.valid) << bad;
    }
  }
}

}  // namespace
