// Reduction pairs that give a marked letter only a first row: on random dependency pair
// problems they find an interpretation exactly when the full encoding does, their
// witnesses hold, and a marked letter's other rows are cleared.
#include <gtest/gtest.h>

#include <random>

#include "../strong_test_util.h"
#include "strong/techniques/arctic.h"
#include "strong/techniques/dependency_pairs.h"
#include "strong/techniques/matrix.h"

namespace velkin::strong {
namespace {

// DP(R) of a random system of two or three rules over {a, b}, right sides often the longer, or
// nullopt when R has no pairs.
std::optional<Problem> RandomPairProblem(std::mt19937& rng) {
  auto word = [&](int min, int max) {
    std::string w(std::uniform_int_distribution<int>(min, max)(rng), 'a');
    for (char& ch : w) ch = "ab"[std::uniform_int_distribution<int>(0, 1)(rng)];
    return w.empty() ? std::string("e") : w;
  };
  std::vector<std::string> rules;
  const int n = std::uniform_int_distribution<int>(2, 3)(rng);
  for (int k = 0; k < n; ++k) rules.push_back(word(1, 3) + "->" + word(1, 4));
  const Result dp = DependencyPairs(test::Plain(rules));
  if (dp.kind != Result::Kind::Transformed || dp.subproblems.at(0).strict.empty())
    return std::nullopt;
  return dp.subproblems[0];
}

// Dimension 2 with one bit: small enough that both encodings decide every round.
TEST(MarkedFirstRowOnly, SameAnswersAsTheFullEncodingAndRowsCleared) {
  std::mt19937 rng(11);
  int arcticFound = 0, arcticNone = 0, natFound = 0, natNone = 0;
  for (int round = 0; round < 60; ++round) {
    const std::optional<Problem> p = RandomPairProblem(rng);
    if (!p) continue;
    const Symbol marked = [&] {
      for (Symbol a = 0; a < p->alphabet.size(); ++a)
        if (p->alphabet.IsMarked(a)) return a;
      return Symbol{-1};
    }();
    ASSERT_GE(marked, 0);

    ArcticOptions ao{{.dimension = 2, .bits = 1, .improveSeconds = 0}};
    const Result a = ArcticInterpretation(*p, Budget(), ao);
    ao.markedFirstRowOnly = false;
    const Result aFull = ArcticInterpretation(*p, Budget(), ao);
    EXPECT_EQ(a.kind, aFull.kind) << "round " << round;
    if (a.kind == Result::Kind::Transformed) {
      ++arcticFound;
      EXPECT_EQ(RecheckResult(*p, a), "");
      const ArcticMap& f = *dynamic_cast<const ArcticWitness&>(*a.witness).letters[marked];
      EXPECT_FALSE(f.m[2] || f.m[3] || f.c[1]) << "round " << round;
    } else {
      ++arcticNone;
    }

    MatrixOptions mo{{.dimension = 2, .bits = 1, .improveSeconds = 0}};
    const Result m = MatrixInterpretation(*p, Budget(), mo);
    mo.markedFirstRowOnly = false;
    const Result mFull = MatrixInterpretation(*p, Budget(), mo);
    EXPECT_EQ(m.kind, mFull.kind) << "round " << round;
    if (m.kind == Result::Kind::Transformed) {
      ++natFound;
      EXPECT_EQ(RecheckResult(*p, m), "");
      const LetterMap& f = *dynamic_cast<const MatrixWitness&>(*m.witness).letters[marked];
      EXPECT_TRUE(f.m[2] == 0 && f.m[3] == 0 && f.c[1] == 0) << "round " << round;
    } else {
      ++natNone;
    }
  }
  // Both answers occur, so the comparison is not vacuous.
  EXPECT_GT(arcticFound, 3);
  EXPECT_GT(arcticNone, 3);
  EXPECT_GT(natFound, 3);
  EXPECT_GT(natNone, 3);
}

}  // namespace
}  // namespace velkin::strong
