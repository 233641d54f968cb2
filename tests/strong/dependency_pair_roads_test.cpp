// The dependency pair roads of the strong strategy, on R and on R^rev: whole proofs
// through the transformation, the graph and reduction pairs, and never a start on a
// relative problem.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

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

// A step that holds whatever it is asked: splits a problem into one subproblem per rule,
// or proves a single rule after `work` (nothing when the rule is "bad").
class AnyWitness : public Witness {
 public:
  std::string Technique() const override { return "test step"; }
  std::string Recheck(const Problem&, const std::vector<Problem>&) const override { return ""; }
  void Print(const Problem&, std::vector<std::string>&) const override {}
};

TechniqueFn SplitThenProve(Clock::duration work) {
  return [work](const Problem& p, const Budget& b) {
    if (p.strict.size() > 1) {
      std::vector<Problem> subs;
      for (const Rule& r : p.strict) {
        Problem q = p;  // as DP problems: their loops would not count, like components'
        q.kind = ProblemKind::DependencyPairs;
        q.strict = {r};
        subs.push_back(q);
      }
      return Result::Step(std::make_shared<AnyWitness>(), subs);
    }
    if (p.strict[0].lhs.size() == 1) return Result::None();  // "bad": never proved
    const auto until = Clock::now() + work;
    while (Clock::now() < until)
      if (b.Expired())
        return Result::None();
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return Result::Proof(std::make_shared<AnyWitness>());
  };
}

double Seconds(const std::function<void()>& f) {
  const auto t = Clock::now();
  f();
  return std::chrono::duration<double>(Clock::now() - t).count();
}

TEST(StrongStrategy, IndependentSubproblemsRunSideBySideOnSpareThreads) {
  const std::vector<Road> road{
      Road{"split", {}, {RoadStep{"split", SplitThenProve(std::chrono::milliseconds(400))}}}};
  const Problem four = test::Plain({"ab->ba", "ba->ab", "aa->bb", "bb->aa"});
  StrongOptions o;
  o.timeoutSeconds = 20;
  StrongResult r;
  o.jobs = 1;
  const double alone = Seconds([&] { r = RunRoads(four, road, o); });
  EXPECT_EQ(r.status, StrongStatus::Terminating);
  EXPECT_GE(alone, 1.5);
  o.jobs = 4;
  const double side_by_side = Seconds([&] { r = RunRoads(four, road, o); });
  EXPECT_EQ(r.status, StrongStatus::Terminating);
  ASSERT_EQ(r.proof.children.size(), 4u);
  EXPECT_TRUE(r.proof.Complete());
  EXPECT_LT(side_by_side, alone * 0.75);
  // One subproblem that stays open: the others stop at once, no proof.
  const Problem bad = test::Plain({"ab->ba", "a->b", "ba->ab", "aa->bb"});
  o.timeoutSeconds = 1;
  const double lost = Seconds([&] { r = RunRoads(bad, road, o); });
  EXPECT_EQ(r.status, StrongStatus::NoProof);
  EXPECT_LT(lost, 1.0);
}

}  // namespace
}  // namespace velkin::strong
