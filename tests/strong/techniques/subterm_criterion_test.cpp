// The subterm criterion: which pairs it removes, when it declines, that the re-check
// rejects corrupted witnesses, and a problem that the dependency pair road proves with it
// where every reduction pair tried leaves one pair.
#include "strong/techniques/subterm_criterion.h"

#include <gtest/gtest.h>

#include "../strong_test_util.h"
#include "strong/strategy.h"
#include "strong/techniques/dependency_pairs.h"

namespace velkin::strong {
namespace {

// A pair problem over a, b, c with marked a# and c#, pairs and rules by letter strings
// ('A' and 'C' the marked letters).
Problem Pairs(const std::vector<std::pair<std::string, std::string>>& pairs,
              const std::vector<std::pair<std::string, std::string>>& rules = {}) {
  Problem p;
  p.kind = ProblemKind::DependencyPairs;
  const Symbol a = p.alphabet.Add("a"), b = p.alphabet.Add("b"), c = p.alphabet.Add("c");
  const Symbol am = p.alphabet.MarkOf(a), cm = p.alphabet.MarkOf(c);
  const auto word = [&](const std::string& s) {
    Word w;
    for (char x : s) w.push_back(x == 'a' ? a : x == 'b' ? b : x == 'c' ? c : x == 'A' ? am : cm);
    return w;
  };
  for (const auto& [l, r] : pairs) p.strict.push_back(Rule{word(l), word(r)});
  for (const auto& [l, r] : rules) p.weak.push_back(Rule{word(l), word(r)});
  return p;
}

TEST(SubtermCriterion, RemovesThePairsThatKeepAProperSuffix) {
  // C c b -> C (ε is a suffix of c b), C c b -> A b, A b -> C b (keeps its argument).
  const Problem p = Pairs({{"Ccb", "C"}, {"Ccb", "Ab"}, {"Ab", "Cb"}}, {{"ccb", "acacc"}});
  const Result r = SubtermCriterion(p, Budget());
  ASSERT_EQ(r.kind, Result::Kind::Transformed);
  EXPECT_EQ(RecheckResult(p, r), "");
  const auto& w = dynamic_cast<const SubtermCriterionWitness&>(*r.witness);
  EXPECT_EQ(w.removed, (std::vector<int>{0, 1}));
  EXPECT_EQ(r.subproblems[0].strict, std::vector<Rule>{p.strict[2]});
  EXPECT_EQ(r.subproblems[0].weak, p.weak);
  std::vector<std::string> lines;
  w.Print(p, lines);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2], "  removes c# c b -> c#");
  EXPECT_EQ(lines[3], "  removes c# c b -> a# b");
}

TEST(SubtermCriterion, DeclinesWhenSomePairDoesNotKeepASuffixOrNoneShrinks) {
  // A c -> C b: the argument b is no suffix of c.
  EXPECT_EQ(SubtermCriterion(Pairs({{"Ccb", "C"}, {"Ac", "Cb"}}), Budget()).kind,
            Result::Kind::Nothing);
  // A longer argument on the right.
  EXPECT_EQ(SubtermCriterion(Pairs({{"Ccb", "C"}, {"Ab", "Ccb"}}), Budget()).kind,
            Result::Kind::Nothing);
  // Every pair keeps its whole argument: no progress.
  EXPECT_EQ(SubtermCriterion(Pairs({{"Ab", "Cb"}, {"Cb", "Ab"}}), Budget()).kind,
            Result::Kind::Nothing);
  // Not a pair problem.
  EXPECT_EQ(SubtermCriterion(test::Plain({"ab->b"}), Budget()).kind, Result::Kind::Nothing);
}

TEST(SubtermCriterion, RecheckRejectsCorruptedWitnesses) {
  const Problem p = Pairs({{"Ccb", "C"}, {"Ab", "Cb"}});
  const Result r = SubtermCriterion(p, Budget());
  ASSERT_EQ(RecheckResult(p, r), "");
  const auto& good = dynamic_cast<const SubtermCriterionWitness&>(*r.witness);
  auto bad = std::make_shared<SubtermCriterionWitness>(good);
  bad->removed = {0, 1};  // A b -> C b keeps its argument: not strict
  EXPECT_NE(bad->Recheck(p, {WithoutRules(p, {0, 1}, {})}), "");
  bad->removed = {};
  EXPECT_NE(bad->Recheck(p, {p}), "");
  bad->removed = {2};
  EXPECT_NE(bad->Recheck(p, r.subproblems), "");
  // The right pair named, but the subproblem lost the other one too.
  EXPECT_NE(good.Recheck(p, {WithoutRules(p, {0, 1}, {})}), "");
  // A problem with a pair whose argument grows: the projection does not even decrease
  // weakly, whatever the witness says.
  const Problem grows = Pairs({{"Ccb", "C"}, {"Ab", "Cab"}});
  EXPECT_NE(good.Recheck(grows, {WithoutRules(grows, {0}, {})}), "");
  // A marked letter inside an argument is not of the shape A u -> B v.
  const Problem inside = Pairs({{"CcA", "C"}});
  EXPECT_NE(good.Recheck(inside, {WithoutRules(inside, {0}, {})}), "");
}

// a -> b, a b -> ε, c c b -> a c a c c: after the graph and one arctic pair removal the
// pair c# c b -> c# is left, which no reduction pair of the road removes within seconds;
// the subterm criterion removes it at once.
TEST(SubtermCriterion, TheDependencyPairRoadProvesWithIt) {
  const Problem p = test::Plain({"a->b", "ab->", "ccb->acacc"});
  StrongOptions o;
  o.timeoutSeconds = 20;
  o.jobs = 1;
  std::vector<Road> roads;
  for (Road& road : StrongRoads())
    if (road.name == "dependency pairs") roads.push_back(std::move(road));
  ASSERT_EQ(roads.size(), 1u);
  const StrongResult result = RunRoads(p, roads, o);
  ASSERT_EQ(result.status, StrongStatus::Terminating);
  bool used = false;
  for (const std::string& line : result.lines)
    used = used || line.find("by subterm criterion") != std::string::npos;
  EXPECT_TRUE(used);
}

}  // namespace
}  // namespace velkin::strong
