// The strong engine's problem model: reading, reversal, marked letters, printing.
#include "strong/problem.h"

#include <gtest/gtest.h>

#include "model/parsed_system.h"

namespace velkin::strong {
namespace {

TEST(StrongProblem, FromParsedSplitsStrictAndWeakAndKeepsNames) {
  ParsedSystem parsed;
  ASSERT_TRUE(ReadUnbounded({"ab->ba", "c->=cc", "->a"}, InputFormat::Plain, parsed).ok);
  const Problem p = FromParsed(parsed);
  ASSERT_EQ(p.alphabet.size(), 3);
  EXPECT_EQ(p.alphabet.names[0], "a");
  ASSERT_EQ(p.strict.size(), 2u);
  ASSERT_EQ(p.weak.size(), 1u);
  EXPECT_EQ(RuleText(p.alphabet, p.strict[0]), "a b -> b a");
  EXPECT_EQ(RuleText(p.alphabet, p.strict[1]), "ε -> a");
  EXPECT_EQ(RuleText(p.alphabet, p.weak[0], true), "c ->= c c");
  EXPECT_FALSE(p.IsStandard());
  EXPECT_TRUE(p.WellFormed());
  EXPECT_EQ(ProblemSize(p), 4u + 3u + 1u);
}

TEST(StrongProblem, ReversalReversesBothSidesAndIsAnInvolution) {
  const std::vector<Rule> rules{{{0, 1, 2}, {2}}, {{}, {1, 0}}};
  const std::vector<Rule> rev = Reversed(rules);
  EXPECT_EQ(rev[0], (Rule{{2, 1, 0}, {2}}));
  EXPECT_EQ(rev[1], (Rule{{}, {0, 1}}));
  EXPECT_EQ(Reversed(rev), rules);
}

TEST(StrongProblem, MarkOfAddsEachMarkedLetterOnce) {
  Alphabet a;
  const Symbol x = a.Add("x");
  const Symbol xm = a.MarkOf(x);
  EXPECT_EQ(a.MarkOf(x), xm);
  EXPECT_EQ(a.size(), 2);
  EXPECT_EQ(a.names[xm], "x#");
  EXPECT_TRUE(a.IsMarked(xm));
  EXPECT_FALSE(a.IsMarked(x));
}

}  // namespace
}  // namespace velkin::strong
