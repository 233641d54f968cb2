// The re-check part that the three interpretation techniques share (removed indices,
// orientation of every rule, the subproblem), through each technique's own witness:
// a witness found by the search holds, and each corruption of its removal is refused.
#include "strong/techniques/interpretation_search.h"

#include <gtest/gtest.h>

#include <functional>

#include "../strong_test_util.h"
#include "strong/techniques/arctic.h"
#include "strong/techniques/arctic_removal.h"
#include "strong/techniques/dependency_pairs.h"
#include "strong/techniques/matrix.h"

namespace velkin::strong {
namespace {

using test::Plain;

template <class O>
O Sized(int dimension) {
  O o;
  o.dimension = dimension;
  o.bits = 2;
  return o;
}

// Runs `find` on `p`, and checks the witness as found and corrupted by each of
// `corruptions` (which must make it wrong).
template <class W>
void CheckCorruptions(const Problem& p, const Result& found,
                      const std::vector<std::function<void(W&, Problem&)>>& corruptions) {
  ASSERT_EQ(found.kind, Result::Kind::Transformed);
  const W& good = dynamic_cast<const W&>(*found.witness);
  EXPECT_EQ(good.Recheck(p, found.subproblems), "");
  for (std::size_t k = 0; k < corruptions.size(); ++k) {
    SCOPED_TRACE(k);
    W bad = good;
    Problem sub = found.subproblems.at(0);
    corruptions[k](bad, sub);
    EXPECT_NE(bad.Recheck(p, {sub}), "");
  }
  EXPECT_NE(good.Recheck(p, {}), "");  // no subproblem
}

TEST(InterpretationSearch, RemovalsAreRecheckedAlikeByEveryTechnique) {
  // Both rules decrease in weight; the second is weak.
  const Problem p = Plain({"aa->a", "bb->=b"});
  const std::vector<std::function<void(MatrixWitness&, Problem&)>> natural{
      [](MatrixWitness& w, Problem&) { w.removedStrict = {1}; },  // out of range
      [](MatrixWitness& w, Problem&) {
        w.removedStrict = {0, 0};
      },  // not ascending
      [](MatrixWitness& w, Problem&) { w.removedStrict.clear(), w.removedWeak.clear(); },
      [](MatrixWitness& w, Problem& sub) { sub.weak.clear(), w.removedWeak.clear(); },
      [&p](MatrixWitness&, Problem& sub) { sub = p; },  // not what is left
  };
  CheckCorruptions<MatrixWitness>(p, MatrixInterpretation(p, Budget(), Sized<MatrixOptions>(1)),
                                  natural);
  const std::vector<std::function<void(ArcticRemovalWitness&, Problem&)>> arctic{
      [](ArcticRemovalWitness& w, Problem&) { w.removedWeak = {3}; },
      [](ArcticRemovalWitness& w, Problem&) {
        w.removedStrict = {0, 0};
      },
      [](ArcticRemovalWitness& w, Problem&) { w.removedStrict.clear(), w.removedWeak.clear(); },
      [&p](ArcticRemovalWitness&, Problem& sub) { sub = p; },
  };
  CheckCorruptions<ArcticRemovalWitness>(
      p, ArcticRuleRemoval(p, Budget(), Sized<ArcticRemovalOptions>(1)), arctic);
}

TEST(InterpretationSearch, ReductionPairsRemoveOnlyPairs) {
  const Result dp = DependencyPairs(Plain({"ab->ba"}));
  ASSERT_EQ(dp.kind, Result::Kind::Transformed);
  const Problem& p = dp.subproblems.at(0);
  ASSERT_FALSE(p.strict.empty());
  const std::vector<std::function<void(ArcticWitness&, Problem&)>> arctic{
      [](ArcticWitness& w, Problem&) { w.removed = {7}; },
      [](ArcticWitness& w, Problem&) { w.removed.clear(); },
      [](ArcticWitness&, Problem& sub) { sub.weak.clear(); },
  };
  CheckCorruptions<ArcticWitness>(p, ArcticInterpretation(p, Budget(), Sized<ArcticOptions>(1)),
                                  arctic);
  // A natural reduction pair that claims a rule of R is refused however it orients it.
  const Result natural = MatrixInterpretation(p, Budget(), Sized<MatrixOptions>(1));
  ASSERT_EQ(natural.kind, Result::Kind::Transformed);
  MatrixWitness bad = dynamic_cast<const MatrixWitness&>(*natural.witness);
  bad.removedWeak = {0};
  EXPECT_NE(bad.Recheck(p, natural.subproblems).find("rules of R"), std::string::npos);
}

TEST(InterpretationSearch, SplitRulesCountsWeakRulesAfterTheStrictOnes) {
  const Problem p = Plain({"aa->a", "b->", "bb->=b", "cc->=c"});
  const auto [strict, weak] = SplitRules(p, {0, 1, 3});
  EXPECT_EQ(strict, (std::vector<int>{0, 1}));
  EXPECT_EQ(weak, (std::vector<int>{1}));
}

}  // namespace
}  // namespace velkin::strong
