// The ARI reader: rules, weak rules by cost, comments and meta-info, and the refusals.
#include "model/ari_reader.h"

#include <gtest/gtest.h>

#include "../test_util.h"

namespace velkin {
namespace {

using testing::Row;
using V = std::vector<int>;

ReadResult ReadAri(State& st, const std::string& text) {
  const auto lines = SplitLines(text);
  return ParseAriInput(st, InputLines(lines));
}

TEST(ParseAriInput, ReadsStrictAndWeakRulesInTextOrder) {
  auto st = MakeState();
  const ReadResult r =
      ReadAri(*st,
              "; a relative problem\n"
              "(format TRS)\n"
              "(meta-info (origin \"made up; with (parens)\n and a \"\"quote\"\"\"))\n"
              "(fun a 1) (fun b 1)\n"
              "(fun c 1)\n"
              "(rule (b (a x1)) (a (c (b x1)))) ; comment\n"
              "(rule (c x) (c (c x)) :cost 0)\n"
              "(rule x (a x) :cost 1)\n"
              "(rule\n  (a\n   y)\n  y)\n");
  ASSERT_TRUE(r.ok) << r.error.Describe();
  const RuleSystem& p = st->primary;
  ASSERT_EQ(p.ruleCount, 4);
  EXPECT_EQ(p.symbolCount, 3);
  EXPECT_EQ(st->allStrict, 0);
  EXPECT_EQ(Row(p.lhs[1]), (V{1, 2}));
  EXPECT_EQ(Row(p.rhs[1]), (V{2, 3, 1}));
  EXPECT_EQ(Row(p.lhs[2]), (V{3}));
  EXPECT_EQ(Row(p.rhs[2]), (V{3, 3}));
  EXPECT_EQ(Row(p.lhs[3]), V{});
  EXPECT_EQ(Row(p.rhs[3]), (V{2}));
  EXPECT_EQ(Row(p.lhs[4]), (V{2}));
  EXPECT_EQ(Row(p.rhs[4]), V{});
  EXPECT_EQ((V{p.strict[1], p.strict[2], p.strict[3], p.strict[4]}), (V{1, 0, 1, 1}));
  EXPECT_EQ(p.names[1], "b");
  EXPECT_EQ(p.names[2], "a");
  EXPECT_EQ(p.names[3], "c");
}

TEST(ParseAriInput, AllStrictWithoutWeakRulesAndLongNames) {
  auto st = MakeState();
  ASSERT_TRUE(ReadAri(*st,
                      "(format TRS)\n(fun first 1)\n(fun s2 1)\n"
                      "(rule (first (s2 x)) (s2 (first x)))\n")
                  .ok);
  EXPECT_EQ(st->allStrict, 1);
  CopySystem(st->primary, st->working);
  EXPECT_EQ(FormatRule(*st, 1), "first s2  -> s2 first ");
}

TEST(ParseAriInput, RefusesWhatIsNotStringRewritingWithTheLine) {
  struct Case {
    const char* text;
    int line;
    const char* fragment;
  };
  const Case cases[] = {
      {"", 0, "must begin with (format TRS)"},
      {"(fun a 1)\n", 1, "must begin with (format TRS)"},
      {"(format CTRS)\n", 1, "only TRS"},
      {"(format TRS :innermost)\n", 1, "further options"},
      {"(format TRS)\n(fun f 2)\n", 2, "symbol f is declared with arity 2"},
      {"(format TRS)\n(fun c 0)\n", 2, "arity 0"},
      {"(format TRS)\n(fun a 1)\n(rule (a x) (g x))\n", 3, "symbol g is not declared"},
      {"(format TRS)\n(fun a 1)\n(rule (a x y) x)\n", 3, "more than one argument"},
      {"(format TRS)\n(fun a 1)\n(rule (a x) a)\n", 3, "symbol a is used without its argument"},
      {"(format TRS)\n(fun a 1)\n(rule (a x)\n (a y))\n", 4, "ends in variable y"},
      {"(format TRS)\n(fun a 1)\n(rule (a x) x :cost 2)\n", 3, ":cost '2' is not supported"},
      {"(format TRS)\n(fun a 1)\n(rule (a x) x :weight 0)\n", 3, "unknown attribute"},
      {"(format TRS)\n(fun a 1)\n(rule (a x) x x)\n", 3, "expected ')' or :cost"},
      {"(format TRS)\n(sort S)\n", 2, "unknown form (sort"},
      {"(format TRS)\n(format TRS)\n", 2, "a second (format"},
      {"(format TRS)\n(fun a 1)\n(rule (a x)\n", 3, "end of the text"},
      {"(format TRS)\n(meta-info \"open\n\n", 2, "no closing '\"'"},
      {"(format TRS)\n(meta-info (a b)\n", 2, "not closed"},
      {"(format TRS)\nrule\n", 2, "expected '('"},
      {"(format TRS)\n(fun a 1)\n(rule (a (x)) x)\n", 3, "symbol x is not declared"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto st = MakeState();
    const ReadResult r = ReadAri(*st, c.text);
    ASSERT_FALSE(r.ok);
    EXPECT_EQ(r.error.line, c.line) << r.error.message;
    EXPECT_NE(r.error.message.find(c.fragment), std::string::npos) << r.error.message;
  }
}

TEST(ParseAriInput, RefusesWhatExceedsTheCapacities) {
  auto st = MakeState();
  std::string side = "x";
  for (int k = 0; k < 20; ++k) side = "(a " + side + ")";
  ReadResult r = ReadAri(*st, "(format TRS)\n(fun a 1)\n(rule x " + side + ")\n");
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.error.line, 3);
  EXPECT_NE(r.error.message.find("rule 1: right-hand side has more than 19 symbols"),
            std::string::npos);

  std::string text = "(format TRS)\n";
  for (int k = 0; k < 101; ++k) text += "(fun s" + std::to_string(k) + " 1)\n";
  for (int k = 0; k < 101; ++k) text += "(rule (s" + std::to_string(k) + " x) x)\n";
  r = ReadAri(*st, text);
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.error.line, 1 + 101 + 101);
  EXPECT_NE(r.error.message.find("rule 101: more than 100 different symbols"), std::string::npos);

  text = "(format TRS)\n(fun a 1)\n";
  for (int k = 0; k < 1001; ++k) text += "(rule (a x) x)\n";
  r = ReadAri(*st, text);
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.error.line, 1003);
  EXPECT_NE(r.error.message.find("rule 1001: more than 1000 rules"), std::string::npos);
  EXPECT_EQ(st->primary.ruleCount, 1000);
}

}  // namespace
}  // namespace velkin
