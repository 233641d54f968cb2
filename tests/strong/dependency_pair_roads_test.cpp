// The dependency pair roads of the strong strategy, on R and on R^rev: whole proofs
// through the transformation, the graph and reduction pairs, and never a start on a
// relative problem.
#include <gtest/gtest.h>

#include <algorithm>

#include "strong/strategy.h"
#include "strong_test_util.h"

namespace velkin::strong {
namespace {

std::vector<Road> Roads(const std::string& name) {
  std::vector<Road> out;
  for (const Road& r : StrongRoads())
    if (r.name == name) out.push_back(r);
  EXPECT_EQ(out.size(), 1u) << name;
  return out;
}

StrongResult RunRoad(const Problem& p, const std::string& road, double seconds = 30) {
  StrongOptions o;
  o.timeoutSeconds = seconds;
  o.jobs = 1;
  return RunRoads(p, Roads(road), o);
}

// The techniques of the tree's steps, depth first.
void Walk(const ProofNode& n, std::vector<std::string>& names) {
  if (n.witness) names.push_back(n.witness->Technique());
  for (const ProofNode& c : n.children) Walk(c, names);
}

TEST(DependencyPairRoads, ProveThroughPairsGraphAndReductionPairs) {
  // Two components, each needing a reduction pair; a third pair with no arc inside.
  const Problem p = test::Plain({"ab->ba", "cd->dc", "ad->cd"});
  for (const char* road : {"dependency pairs", "dependency pairs of the reversal"}) {
    const StrongResult r = RunRoad(p, road);
    ASSERT_EQ(r.status, StrongStatus::Terminating) << road;
    EXPECT_TRUE(r.proof.Complete());
    std::vector<std::string> names;
    Walk(r.proof, names);
    const bool reversed = std::string(road) != "dependency pairs";
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(names[0], reversed ? "reversal" : "dependency pairs") << road;
    EXPECT_EQ(names[reversed ? 1 : 0], "dependency pairs");
    EXPECT_NE(std::find(names.begin(), names.end(), "dependency graph"), names.end()) << road;
    EXPECT_EQ(r.lines.back(), "So problem 1 terminates.");
  }
}

TEST(DependencyPairRoads, NeverStartOnRelativeProblemsAndFindNoLoops) {
  // a -> b relative to b ->= a does not terminate; DP of R ∪ S would be unsound here.
  const Problem relative = test::Plain({"a->b", "b->=a"});
  EXPECT_EQ(RunRoad(relative, "dependency pairs").status, StrongStatus::NoProof);
  // a -> a does not terminate: the roads find no proof (and claim no loop).
  EXPECT_EQ(RunRoad(test::Plain({"ab->ba", "a->a"}), "dependency pairs", 2).status,
            StrongStatus::NoProof);
}

}  // namespace
}  // namespace velkin::strong
