// Trivial weak rules and stripping: what each drops or cuts, that the re-checks reject
// corrupted witnesses, which of them keep loops, and a road on which the clean-up lets
// relative as standard succeed.
#include "strong/techniques/weak_cleanup.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "../strong_test_util.h"
#include "strong/certificate.h"
#include "strong/strategy.h"
#include "strong/techniques/lp_weights.h"
#include "strong/techniques/relative_as_standard.h"
#include "strong/techniques/stripping.h"
#include "strong/techniques/trivial.h"

namespace velkin::strong {
namespace {

using test::Plain;

TEST(WeakCleanup, DropsIdentitiesAndCopiesOfStrictRulesOnly) {
  const Problem p = Plain({"ab->ba", "c->=c", "ab->=ba", "b->=bb"});
  const Result r = DropTrivialWeakRules(p, Budget());
  ASSERT_EQ(r.kind, Result::Kind::Transformed);
  EXPECT_EQ(RecheckResult(p, r), "");
  const auto& w = dynamic_cast<const WeakCleanupWitness&>(*r.witness);
  EXPECT_EQ(w.dropped, (std::vector<int>{0, 1}));
  EXPECT_EQ(r.subproblems[0].strict, p.strict);
  EXPECT_EQ(r.subproblems[0].weak, std::vector<Rule>{p.weak[2]});
  // Loops of what is left are loops of the problem, by the rules it keeps.
  EXPECT_TRUE(KeepsLoops(p, *r.witness, r.subproblems[0]));
  std::vector<std::string> lines;
  w.Print(p, lines);
  EXPECT_EQ(lines[0], "drops c ->= c (a step by it changes nothing)");
  EXPECT_EQ(lines[1], "drops a b ->= b a (it is also a strict rule)");

  EXPECT_EQ(DropTrivialWeakRules(Plain({"ab->ba", "b->=bb"}), Budget()).kind,
            Result::Kind::Nothing);
  EXPECT_EQ(DropTrivialWeakRules(Plain({"ab->ba"}), Budget()).kind, Result::Kind::Nothing);
}

TEST(WeakCleanup, RecheckRejectsADroppedRuleThatIsNotTrivial) {
  const Problem p = Plain({"ab->ba", "c->=c", "b->=bb"});
  const Result r = DropTrivialWeakRules(p, Budget());
  ASSERT_EQ(RecheckResult(p, r), "");
  const auto& good = dynamic_cast<const WeakCleanupWitness&>(*r.witness);

  auto bad = std::make_shared<WeakCleanupWitness>(good);
  bad->dropped = {0, 1};  // b ->= bb is not trivial
  EXPECT_NE(bad->Recheck(p, {WithoutRules(p, {}, {0, 1})}), "");
  bad->dropped = {};  // drops nothing
  EXPECT_NE(bad->Recheck(p, {p}), "");
  bad->dropped = {5};
  EXPECT_NE(bad->Recheck(p, r.subproblems), "");
  // The right rule named, but the subproblem lost another one too.
  EXPECT_NE(good.Recheck(p, {WithoutRules(p, {0}, {0})}), "");
}

TEST(WeakCleanup, LetsRelativeAsStandardProveWhatItsIdentityWouldLoop) {
  // a a b -> b a relative to b ->= b: as standard, b -> b stays whatever weights
  // remove; dropped first, weights remove the strict rule.
  const Problem p = Plain({"aab->ba", "b->=b"});
  const RoadStep leaf{"no strict rules", ProveWithoutStrictRules};
  const RoadStep cleanup{"clean-up", DropTrivialWeakRules};
  const RoadStep standard{"as standard", RelativeAsStandard};
  const RoadStep weights{"weights",
                         [](const Problem& q, const Budget& b) { return LpWeights(q, b); }};
  StrongOptions o;
  o.timeoutSeconds = 20;
  o.jobs = 1;
  EXPECT_EQ(RunRoads(p, {Road{"as standard", nullptr, {leaf, standard, weights}}}, o).status,
            StrongStatus::NoProof);
  const StrongResult with =
      RunRoads(p, {Road{"clean-up", nullptr, {leaf, cleanup, standard, weights}}}, o);
  ASSERT_EQ(with.status, StrongStatus::Terminating);
  EXPECT_EQ(with.proof.witness->Technique(), "trivial weak rules");
}

TEST(Stripping, CutsCommonEndsOfEveryRuleAndKeepsNoLoops) {
  const Problem p = Plain({"cabd->cbad", "ab->ab", "dd->=dcd"});
  const Result r = Strip(p, Budget());
  ASSERT_EQ(r.kind, Result::Kind::Transformed);
  EXPECT_EQ(RecheckResult(p, r), "");
  const Problem& q = r.subproblems[0];
  EXPECT_EQ(RuleText(q.alphabet, q.strict[0]), "a b -> b a");
  EXPECT_EQ(RuleText(q.alphabet, q.strict[1]), "ε -> ε");
  EXPECT_EQ(RuleText(q.alphabet, q.weak[0], true), "ε ->= c");
  EXPECT_FALSE(KeepsLoops(p, *r.witness, q));

  // Prefixes only: c a b d -> c b a d loses its c, keeps its d.
  StripOptions front;
  front.suffixes = false;
  const Result f = Strip(Plain({"cabd->cbad"}), Budget(), front);
  ASSERT_EQ(f.kind, Result::Kind::Transformed);
  EXPECT_EQ(RuleText(f.subproblems[0].alphabet, f.subproblems[0].strict[0]), "a b d -> b a d");

  // Even when the stripped rules are rules of the problem, a loop of them is no proof.
  const Problem twice = Plain({"ab->ac", "b->c"});
  const Result t = Strip(twice, Budget());
  ASSERT_EQ(t.kind, Result::Kind::Transformed);
  EXPECT_EQ(t.subproblems[0].strict, (std::vector<Rule>{twice.strict[1], twice.strict[1]}));
  EXPECT_FALSE(KeepsLoops(twice, *t.witness, t.subproblems[0]));

  EXPECT_EQ(Strip(Plain({"ab->ba"}), Budget()).kind, Result::Kind::Nothing);
}

TEST(Stripping, RecheckRejectsACutThatIsNotACommonFactor) {
  const Problem p = Plain({"cabd->cbad", "b->=bb"});
  const Result r = Strip(p, Budget());
  ASSERT_EQ(RecheckResult(p, r), "");
  const auto& good = dynamic_cast<const StripWitness&>(*r.witness);
  using Cuts = std::vector<std::pair<std::size_t, std::size_t>>;
  const auto with = [&](Cuts cuts) {
    StripWitness w = good;
    w.cuts = std::move(cuts);
    return w;
  };
  // The cuts must give the subproblem's rules: with b ->= b b uncut, not ε ->= b.
  EXPECT_NE(with({{1, 1}, {0, 0}}).Recheck(p, r.subproblems), "");
  // Two letters in front of c a b d -> c b a d: c a is not a prefix of c b a d.
  Problem wrong = r.subproblems[0];
  wrong.strict[0] = Rule{{p.strict[0].lhs[2]}, {p.strict[0].rhs[2]}};
  EXPECT_NE(with({{2, 1}, {0, 0}}).Recheck(p, {wrong}), "");
  // Longer than the shorter side.
  EXPECT_NE(with({{1, 1}, {0, 2}}).Recheck(p, r.subproblems), "");
  // A cut missing, nothing cut, and a subproblem that is not the stripped problem.
  EXPECT_NE(with({{1, 1}}).Recheck(p, r.subproblems), "");
  EXPECT_NE(with({{0, 0}, {0, 0}}).Recheck(p, {p}), "");
  Problem other = r.subproblems[0];
  std::swap(other.strict[0].lhs, other.strict[0].rhs);
  EXPECT_NE(good.Recheck(p, {other}), "");
}

}  // namespace
}  // namespace velkin::strong

namespace velkin::strong {
namespace {

ParsedSystem Parsed(const std::vector<std::string>& lines) {
  ParsedSystem parsed;
  EXPECT_TRUE(ReadUnbounded(lines, InputFormat::Plain, parsed).ok);
  return parsed;
}

// The strategy drops trivial weak rules before it chooses its roads: what is left of
// b a a -> a b relative to b ->= b is standard, and its loops are the problem's.
TEST(WeakCleanup, TheStrategyDropsThemFirstAndReportsLoopsThroughThem) {
  StrongOptions o;
  o.timeoutSeconds = 20;
  o.jobs = 2;
  const StrongResult yes = RunStrong(Parsed({"baa->ab", "b->=b"}), o);
  ASSERT_EQ(yes.status, StrongStatus::Terminating);
  EXPECT_EQ(yes.proof.witness->Technique(), "trivial weak rules");
  ASSERT_EQ(yes.proof.children.size(), 1u);
  EXPECT_TRUE(yes.proof.children[0].problem.IsStandard());
  EXPECT_EQ(yes.proof.witness->Recheck(yes.proof.problem, {yes.proof.children[0].problem}), "");

  const StrongResult no = RunStrong(Parsed({"ab->bab", "a->=a"}), o);
  ASSERT_EQ(no.status, StrongStatus::LoopFound);
  EXPECT_EQ(no.proof.witness->Technique(), "trivial weak rules");
  EXPECT_NE(
      std::find(no.lines.begin(), no.lines.end(), "  A loop of problem 2 is a loop of problem 1."),
      no.lines.end());
  // --certified drops them too: the step has a certificate form both ways.
  o.certified = true;
  for (const auto& lines : {std::vector<std::string>{"baa->ab", "b->=b"},
                            std::vector<std::string>{"ab->bab", "a->=a"}}) {
    const StrongResult certified = RunStrong(Parsed(lines), o);
    ASSERT_NE(certified.status, StrongStatus::NoProof);
    EXPECT_EQ(certified.proof.witness->Technique(), "trivial weak rules");
    const cpf::Written w = cpf::FromProof(certified.proof, "velkin-test");
    EXPECT_TRUE(cpf::Ok(w)) << std::get<std::string>(w);
  }
}

}  // namespace
}  // namespace velkin::strong
