// The filter language on its own: values, operators, functions and errors.
#include <gtest/gtest.h>

#include "platform/runtime/runtime.h"
#include "platform/runtime/testing.h"
#include "platform/store/bind.h"
#include "platform/core/strings.h"
#include "platform/store/expr.h"
#include "tests/platform/store/store_fixture.h"

using namespace storetest;

namespace {

TEST(ExprTest, TextComparisonIgnoresTrailingBlanksButNotCase) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {{"abc", "abc   ", 0}, {"", "   ", 0}, {"abc", "abd", -1}, {"Abc", "abc", -1},
               {"ab", "ab\x01", 1},  // the shorter is padded with blanks, which sort above control bytes
               {"ab", "abc", -1},    {"b", "abc", 1}, {"\xC3\xA9", "z", 1}};
  for (const auto& c : cases) {
    int r = pf::compareText(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
    r = pf::compareText(c.b, c.a);
    EXPECT_EQ((r > 0) - (r < 0), -c.sign) << c.b << " vs " << c.a;
  }
}

TEST(ExprTest, EvaluatesOperatorsFunctionsAndNames) {
  pf::FileDesc d = desc();
  Rec r;
  r.NAME = "  Padded";
  r.CODE = "c0de";
  r.FLAG = 1;
  r.COUNT = 12;
  pf::String<25> browseFilter("News");
  pf::String<25> blank;
  pf::Long count(7);
  pf::bind("BrowseFilter", {pf::FieldType::String, &browseFilter, 25});
  pf::bind("GLO:Blank", {pf::FieldType::String, &blank, 25});
  pf::bind("glo:count", {pf::FieldType::Long, &count, 4});

  struct Case {
    const char* expr;
    double value;
  } cases[] = {
      {"1 + 2 * 3 = 7", 1},
      {"(1 + 2) * 3", 9},
      {"7 / 2", 3.5},
      {"5 / 0", 0},
      {"7 % 4", 3},
      {"-2 + 5", 3},
      {"NOT 1 = 2", 1},
      {"~(1 = 1)", 0},
      {"1 OR 0 AND 0", 1},
      {"(1 OR 0) AND 0", 0},
      {"1 XOR 1", 0},
      {"2 <> 3 AND 2 ~= 3 AND 2 =< 2 AND 3 => 2 AND 2 ~> 3 AND 3 ~< 2", 1},
      {"'abc' = 'abc   '", 1},
      {"'Abc' = 'abc'", 0},
      {"'It''s' = 'It' & '''s'", 1},
      {"'10' = 10", 1},
      {"'' = 0", 1},
      {"'abc' < 'abd'", 1},
      {"LEN(TST:NAME)", 20},                 // a STRING field keeps its padding
      {"LEN(CLIP(TST:NAME))", 8},
      {"LEN(LEFT(TST:NAME))", 20},           // LEFT keeps the length
      {"LEN(CLIP(LEFT(TST:NAME)))", 6},
      {"CLIP(LEFT(TST:NAME)) = 'Padded'", 1},
      {"LEFT(TST:NAME, 3) = 'Pad'", 1},
      {"LEN(TST:CODE)", 4},                  // a CSTRING is as long as its text
      {"SUB(TST:CODE, 2, 2) = '0d'", 1},
      {"SUB(TST:CODE, -1, 1) = 'e'", 1},
      {"INSTRING('d', TST:CODE, 1, 1)", 3},
      {"INSTRING('c', 'abcabc', 1, 4)", 6},
      {"INSTRING('z', 'abc')", 0},
      {"UPPER('caf\xC3\xA9') = 'CAF\xC3\x89'", 1},
      {"LOWER('ABC') = 'abc'", 1},
      {"upper(tst:code) = 'C0DE'", 1},       // names and functions in any case
      {"TST:FLAG = 1 AND TST:COUNT > 10", 1},
      {"TST:COUNT + GLO:Count", 19},
      {"BrowseFilter", 1},                   // a text is true when not blank
      {"GLO:Blank", 0},
      {"CLIP(BrowseFilter) = 'News'", 1},
      {"TST:CODE & '!' = 'c0de!'", 1},
  };
  for (const auto& c : cases) {
    std::string error;
    auto e = pf::Expression::compile(c.expr, &d, &error);
    ASSERT_TRUE(e) << c.expr << ": " << error;
    pf::ExprValue v = e->evaluate(&r);
    EXPECT_DOUBLE_EQ(v.isText ? (v.truth() ? 1 : 0) : v.number, c.value) << c.expr;
  }

  // Live values until frozen; frozen values until thawed.
  auto e = pf::Expression::compile("CLIP(BrowseFilter) = 'News'", &d);
  ASSERT_TRUE(e->freeze());
  browseFilter = "Sport";
  EXPECT_TRUE(e->test(&r));
  e->thaw();
  EXPECT_FALSE(e->test(&r));
  pf::unbind("BROWSEFILTER");
  EXPECT_FALSE(e->freeze());
  pf::unbind("GLO:Blank");
  pf::unbind("GLO:Count");
}

TEST(ExprTest, BoundNamesBelongToTheirProgramThread) {
  pf::testing::resetRuntime();
  bool go = false;
  std::string seenA, seenB;
  auto worker = [&go](const char* mine, std::string& seen) {
    return [&go, mine, &seen] {
      pf::String<10> who(mine);
      pf::bind("GLO:Who", {pf::FieldType::String, &who, 10});
      pf::waitUntil([&go] { return go; });
      auto e = pf::Expression::compile("CLIP(GLO:Who)", nullptr);
      seen = e ? e->evaluate(nullptr).text : "unknown";
      pf::unbind("GLO:Who");
    };
  };
  int a = pf::start(worker("A", seenA), 50000);
  int b = pf::start(worker("B", seenB), 50000);
  pf::runUntilIdle();  // both have bound the name and wait
  EXPECT_EQ(pf::findBound("GLO:Who"), nullptr);
  go = true;
  pf::wake(a);
  pf::wake(b);
  pf::runUntilIdle();
  EXPECT_EQ(seenA, "A");
  EXPECT_EQ(seenB, "B");
  pf::testing::resetRuntime();
}

TEST(ExprTest, BindRecordMakesEveryFieldKnown) {
  pf::FileDesc d = desc();
  Rec r;
  r.NAME = "bound";
  r.COUNT = 41;
  pf::bindRecord(d, &r);
  for (const auto& f : d.fields) {
    const pf::BoundValue* b = pf::findBound(pf::upper(f.name));
    ASSERT_NE(b, nullptr) << f.name;
    EXPECT_EQ(b->address, reinterpret_cast<char*>(&r) + f.offset);
    EXPECT_EQ(b->size, f.size);
  }
  // Without the file, the names reach the buffer through the bind table.
  auto e = pf::Expression::compile("CLIP(tst:name) = 'bound' AND TST:COUNT + 1 = 42", nullptr);
  ASSERT_TRUE(e);
  EXPECT_TRUE(e->test(nullptr));
  for (const auto& f : d.fields) pf::unbind(f.name);
}

TEST(ExprTest, RejectsWhatIsNotAnExpression) {
  pf::FileDesc d = desc();
  for (const char* bad : {"", "(1", "1 +", "'unterminated", "FOO(1)", "CLIP()", "SUB('a')", "1 2",
                          "NoSuchName = 1", "TST:NAME = ", ")"}) {
    std::string error;
    EXPECT_EQ(pf::Expression::compile(bad, &d, &error), nullptr) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

// Nesting beyond the limit is refused with its reason, on a program thread's own stack where
// the parser and the evaluator run: brackets, long chains of operators, NOT, signs, calls.
TEST(ExprTest, NestingHasALimit) {
  auto repeat = [](const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
  };
  auto brackets = [&](int n) { return repeat("(", n) + "1" + repeat(")", n); };
  auto chain = [&](int n) { return "1" + repeat("+1", n); };
  struct Case {
    std::string text;
    bool accepted;
  } cases[] = {
      {brackets(pf::MaxExpressionDepth), true},
      {brackets(pf::MaxExpressionDepth + 1), false},
      {brackets(1000), false},
      {brackets(100000), false},
      {chain(pf::MaxExpressionDepth - 1), true},
      {chain(pf::MaxExpressionDepth), false},
      {chain(100000), false},
      {repeat("NOT ", 1000) + "1", false},
      {repeat("- ", 1000) + "1", false},
      {repeat("CLIP(", 1000) + "'a'" + repeat(")", 1000), false},
      {"1 AND " + brackets(pf::MaxExpressionDepth), true},
      {repeat("NOT (", 60) + "0" + repeat(")", 60), false},   // 120 levels of two kinds
  };
  pf::testing::resetRuntime();
  std::vector<std::string> errors;
  std::vector<double> values;
  pf::start([&] {
    for (const auto& c : cases) {
      std::string error;
      auto e = pf::Expression::compile(c.text, nullptr, &error);
      errors.push_back(e ? "" : error);
      values.push_back(e ? e->evaluate(nullptr).toNumber() : -1);
    }
  }, 50000);
  pf::runUntilIdle();
  pf::testing::resetRuntime();
  ASSERT_EQ(errors.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].text.substr(0, 40));
    if (cases[i].accepted) {
      EXPECT_EQ(errors[i], "");
      EXPECT_GE(values[i], 1);
    } else {
      EXPECT_NE(errors[i].find("nested more than 100 levels deep"), std::string::npos) << errors[i];
    }
  }
}

}  // namespace
