// The plain and tpdb readers, including the refusals.
#include "model/readers.h"

#include <gtest/gtest.h>

#include "../test_util.h"

namespace velkin {
namespace {

using testing::Row;
using V = std::vector<int>;

ReadResult ReadPlain(State& st, const std::string& text) {
  const auto lines = SplitLines(text);
  return ParsePlainInput(st, InputLines(lines));
}

ReadResult ReadTpdb(State& st, const std::string& text) {
  const auto lines = SplitLines(text);
  return ParseTpdbInput(st, InputLines(lines));
}

struct PlainCase {
  const char* line;
  V lhs, rhs;
  int strict;
};

TEST(ParsePlainInput, OneLineTable) {
  const PlainCase cases[] = {
      {"ab -> ba", {1, 2}, {2, 1}, 1},
      {"a b -> b a", {1}, {2}, 1},
      {"ab ->= ba", {1, 2}, {2, 1}, 0},
      {"ab => ba", {1, 2}, {2, 1}, 0},
      {"ab = ba", {1, 2}, {2, 1}, 0},
      {"ab ba", {1, 2}, {2, 1}, 1},
      {"ab -> e", {1, 2}, {}, 1},
      {"ab -> ea", {1, 2}, {}, 1},
      {"ab ->", {1, 2}, {}, 1},
      {"ab -> ae", {1, 2}, {1}, 1},
      {"-> a", {}, {1}, 1},
      {"e -> a", {1}, {2}, 1},
      {"ab -> ba  rev", {1, 2}, {2, 1}, 1},
  };
  for (const PlainCase& c : cases) {
    SCOPED_TRACE(c.line);
    auto st = MakeState();
    ASSERT_TRUE(ReadPlain(*st, c.line).ok);
    ASSERT_EQ(st->primary.ruleCount, 1);
    EXPECT_EQ(Row(st->primary.lhs[1]), c.lhs);
    EXPECT_EQ(Row(st->primary.rhs[1]), c.rhs);
    EXPECT_EQ(st->primary.strict[1], c.strict);
    EXPECT_EQ(st->allStrict, c.strict);
  }
}

TEST(ParsePlainInput, NamesAndTheEndOfTheRules) {
  auto st = MakeState();
  ASSERT_TRUE(ReadPlain(*st, "ab -> ba\n comment\nbc -> cb\n").ok);
  EXPECT_EQ(st->primary.ruleCount, 1);
  ASSERT_TRUE(ReadPlain(*st, "ab -> ba\n\nbc -> cb\n").ok);
  EXPECT_EQ(st->primary.ruleCount, 1);
  ASSERT_TRUE(ReadPlain(*st, "ba -> ab\nc -> a\n").ok);
  EXPECT_EQ(st->primary.symbolCount, 3);
  EXPECT_EQ(st->primary.names[1], "b");
  EXPECT_EQ(st->primary.names[2], "a");
  EXPECT_EQ(st->primary.names[3], "c");
  ASSERT_TRUE(ReadPlain(*st, "e -> a").ok);
  EXPECT_EQ(st->primary.names[1], "e");  // an ordinary name on the left
}

TEST(ParsePlainInput, EmptyTextGivesNoRulesAndAllStrict) {
  auto st = MakeState();
  st->allStrict = 0;
  ASSERT_TRUE(ReadPlain(*st, "").ok);
  EXPECT_EQ(st->primary.ruleCount, 0);
  EXPECT_EQ(st->primary.symbolCount, 0);
  EXPECT_EQ(st->allStrict, 1);
}

TEST(ParsePlainInput, OneWeakRuleClearsAllStrict) {
  auto st = MakeState();
  ASSERT_TRUE(ReadPlain(*st, "ab -> ba\nc ->= cc\nd -> e\n").ok);
  EXPECT_EQ(st->primary.ruleCount, 3);
  EXPECT_EQ(st->allStrict, 0);
  EXPECT_EQ(st->primary.strict[3], 1);
}

TEST(ParsePlainInput, RhsSymbolsMayBeArrowCharacters) {
  auto st = MakeState();
  ASSERT_TRUE(ReadPlain(*st, "a -> b-c").ok);
  EXPECT_EQ(Row(st->primary.rhs[1]), (V{2, 3, 4}));
  EXPECT_EQ(st->primary.names[3], "-");
}

TEST(ParsePlainInput, UnicodeLettersAreOneSymbolEach) {
  auto st = MakeState();
  ASSERT_TRUE(ReadPlain(*st, "αβ -> βαγ").ok);
  EXPECT_EQ(st->primary.symbolCount, 3);
  EXPECT_EQ(st->primary.names[1], "α");
  EXPECT_EQ(Row(st->primary.rhs[1]), (V{2, 1, 3}));
}

TEST(ParsePlainInput, Refusals) {
  auto st = MakeState();
  ReadResult r = ReadPlain(*st, "ab -> ba\nab\n");
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.error.line, 2);
  EXPECT_NE(r.error.message.find("separator"), std::string::npos);

  r = ReadPlain(*st, "a\xff -> b\n");
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.error.line, 1);
  EXPECT_NE(r.error.message.find("UTF-8"), std::string::npos);
  r = ReadPlain(*st, "a\xc0\xaf -> b\n");  // an overlong encoding
  EXPECT_FALSE(r.ok);

  r = ReadPlain(*st, std::string(19, 'a') + " -> b");
  EXPECT_TRUE(r.ok);
  r = ReadPlain(*st, std::string(20, 'a') + " -> b");
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.error.message.find("more than 19 symbols"), std::string::npos);
  r = ReadPlain(*st, "a -> " + std::string(20, 'b'));
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.error.message.find("right-hand side"), std::string::npos);

  std::string many;
  for (int k = 0; k < 1001; ++k) many += "a -> b\n";
  r = ReadPlain(*st, many);
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.error.line, 1001);
  EXPECT_NE(r.error.message.find("1000 rules"), std::string::npos);
  EXPECT_EQ(st->primary.ruleCount, 1000);

  // 101 different symbols: greek and latin letters are plenty.
  std::string text;
  int made = 0;
  for (char32_t cp = 0x100; made < 101; ++cp, ++made) {
    std::string s;
    s += static_cast<char>(0xC0 | (cp >> 6));
    s += static_cast<char>(0x80 | (cp & 0x3F));
    text += s + " -> " + s + "\n";
  }
  r = ReadPlain(*st, text);
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.error.line, 101);
  EXPECT_NE(r.error.message.find("100 different symbols"), std::string::npos);
  EXPECT_EQ(r.error.Describe().rfind("line 101: ", 0), 0u);
}

TEST(SplitLines, AllThreeLineBreaks) {
  using L = std::vector<std::string>;
  EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (L{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\n\nb\n"), (L{"a", "", "b", ""}));  // n breaks, n+1 lines
  EXPECT_EQ(SplitLines("a\n\rb"), (L{"a", "", "b"}));        // LF CR is two breaks
  EXPECT_EQ(SplitLines(""), L{""});
  EXPECT_EQ(SplitLines("\xEF\xBB\xBF(RULES\r\n"), (L{"(RULES", ""}));  // the mark is skipped
  EXPECT_EQ(SplitLines("\xff\xfe -> a"), L{"\xff\xfe -> a"});          // bytes pass unchanged
}

TEST(ParseTpdbInput, Table) {
  struct Case {
    const char* text;
    int rules, symbols;
  };
  const Case cases[] = {
      {"(RULES a b -> b a, b c -> c b)", 2, 3}, {"(RULES f1 g -> g f1)", 1, 2},
      {"(VAR x) (RULES a -> b)", 1, 2},         {"(RULES )", 0, 0},
      {"(RULES a -> b,, b -> a)", 2, 2},        {"(RULES a b -> , c -> a)", 2, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto st = MakeState();
    ASSERT_TRUE(ReadTpdb(*st, c.text).ok);
    EXPECT_EQ(st->primary.ruleCount, c.rules);
    EXPECT_EQ(st->primary.symbolCount, c.symbols);
    EXPECT_EQ(st->allStrict, 1);
  }
  auto st = MakeState();
  ASSERT_TRUE(ReadTpdb(*st, "(RULES f1 g -> g f1)").ok);
  EXPECT_EQ(st->primary.names[1], "f1");
  ASSERT_TRUE(ReadTpdb(*st, "(RULES a b -> , c -> a)").ok);
  EXPECT_EQ(Row(st->primary.rhs[1]), V{});
  EXPECT_EQ(Row(st->primary.lhs[2]), V{3});
}

TEST(ParseTpdbInput, LineEndsAreNoSeparators) {
  auto st = MakeState();
  ASSERT_TRUE(ReadTpdb(*st, "(RULES\na b -> b a,\nb a -> a b\n)").ok);
  EXPECT_EQ(st->primary.ruleCount, 2);
  ASSERT_TRUE(ReadTpdb(*st, "(RULES\na b -> b a\nb a -> a b\n)").ok);
  EXPECT_EQ(st->primary.ruleCount, 1);
  EXPECT_EQ(st->primary.names[3], "ab");  // a at the end of a line joins b at the start
  ASSERT_TRUE(ReadTpdb(*st, "(RULES\na b -> b a,\n\nb a -> a b\n)").ok);
  EXPECT_EQ(st->primary.ruleCount, 2);  // an empty line reads as one blank
}

TEST(ParseTpdbInput, ResetsTheLogAndStopsAtTheClosingParenthesis) {
  auto st = MakeState();
  AppendLogLine(*st, "old");
  ASSERT_TRUE(ReadTpdb(*st, "(RULES a -> b) (COMMENT c -> d)").ok);
  EXPECT_EQ(st->log.length, 0);
  EXPECT_EQ(st->primary.ruleCount, 1);
}

TEST(ParseTpdbInput, TextEndingEarly) {
  auto st = MakeState();
  // Ending inside a rhs ends the rule and the rules section.
  ReadResult r = ReadTpdb(*st, "(RULES a -> b, b -> c a");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(st->primary.ruleCount, 2);
  EXPECT_EQ(Row(st->primary.rhs[2]), (V{3, 1}));
  // Ending before the arrow is refused.
  r = ReadTpdb(*st, "(RULES a -> b,\n b c");
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.error.message.find("missing '->'"), std::string::npos);
  EXPECT_NE(r.error.message.find("rule 2"), std::string::npos);
  // No RULES section at all.
  r = ReadTpdb(*st, "a -> b");
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.error.message.find("RULES"), std::string::npos);
}

TEST(ParseTpdbInput, Capacities) {
  auto st = MakeState();
  std::string side;
  for (int k = 0; k < 20; ++k) side += "x ";
  ReadResult r = ReadTpdb(*st, "(RULES " + side + "-> a)");
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.error.message.find("rule 1: left-hand side has more than 19"), std::string::npos);
  std::string text = "(RULES ";
  for (int k = 0; k <= 100; ++k) text += "s" + std::to_string(k) + " -> a,";
  r = ReadTpdb(*st, text + ")");
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.error.message.find("100 different symbols"), std::string::npos);
  text = "(RULES ";
  for (int k = 0; k < 1001; ++k) text += "a -> b,";
  r = ReadTpdb(*st, text + ")");
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.error.message.find("rule 1001"), std::string::npos);
}

TEST(NextToken, StopCharactersKeepTheTokenText) {
  const std::vector<std::string> text = {"ab,c-"};
  const InputLines lines(text);
  TpdbReader r(lines);
  NextToken(r);
  EXPECT_EQ(r.token, "ab");
  EXPECT_EQ(r.ch, ' ');
  NextToken(r);
  EXPECT_EQ(r.ch, ',');
  EXPECT_EQ(r.token, "ab");
  NextToken(r);
  EXPECT_EQ(r.token, "c");
  NextToken(r);
  EXPECT_EQ(r.ch, '-');
  NextToken(r);  // past the end: the reader ends instead of looping
  EXPECT_TRUE(r.atEnd);
  EXPECT_EQ(r.ch, ')');
}

}  // namespace
}  // namespace velkin

namespace velkin {
namespace {

TEST(ParseTpdbInput, WeakArrowClearsAllStrictAndTheSectionNeedsItsParenthesis) {
  auto st = MakeState();
  ASSERT_TRUE(ReadTpdb(*st, "(RULES a -> b, b ->= a a)").ok);
  EXPECT_EQ(st->primary.strict[1], 1);
  EXPECT_EQ(st->primary.strict[2], 0);
  EXPECT_EQ(st->allStrict, 0);
  EXPECT_EQ(Row(st->primary.rhs[2]), (V{1, 1}));
  // An arrow at the end of a line, the "=" at the start of the next: one stream, weak.
  ASSERT_TRUE(ReadTpdb(*st, "(RULES a ->\n= b)").ok);
  EXPECT_EQ(st->primary.strict[1], 0);
  // RULES inside a word or without its "(" opens nothing.
  EXPECT_FALSE(ReadTpdb(*st, "(COMMENT RULES a -> b)").ok);
  ASSERT_TRUE(ReadTpdb(*st, "(COMMENT RULES x -> y) (  RULES a -> b)").ok);
  EXPECT_EQ(st->primary.names[1], "a");
}

}  // namespace
}  // namespace velkin
