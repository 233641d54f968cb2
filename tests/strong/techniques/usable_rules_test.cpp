// Usable rules: which rules of R the pairs reach, by hand; and reduction pairs that
// orient only those, where orienting every rule is impossible, with their re-checks.
#include "strong/techniques/usable_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <variant>

#include "strong/techniques/arctic.h"
#include "strong/techniques/matrix.h"

namespace velkin::strong {
namespace {

// The pair T# s -> T# p s p s with rules for p, 0, t and T: the pairs reach p and s;
// p's rules reach 0 (p 0 -> 0 s), whose rule is then usable too; t and T are reached
// by no usable rule.
Problem HalvingProblem() {
  Problem p;
  p.kind = ProblemKind::DependencyPairs;
  const Symbol s = p.alphabet.Add("s"), pp = p.alphabet.Add("p"), t = p.alphabet.Add("t"),
               big = p.alphabet.Add("T"), zero = p.alphabet.Add("0");
  const Symbol mark = p.alphabet.MarkOf(big);
  p.strict = {{{mark, s}, {mark, pp, s, pp, s}}};
  p.weak = {
      {{t, zero}, {pp, pp, s, s, zero}},  // 0: t, not usable
      {{pp, s}, {}},                      // 1: p
      {{pp, pp, s}, {pp}},                // 2: p
      {{big, s}, {s, big, t}},            // 3: T, not usable
      {{pp, zero}, {zero, s}},            // 4: p, reaches 0
      {{zero}, {}},                       // 5: 0
  };
  return p;
}

TEST(UsableRules, TheRulesWhoseFirstLetterThePairsReach) {
  const Problem p = HalvingProblem();
  EXPECT_EQ(UsableRules(p), (std::vector<int>{1, 2, 4, 5}));
  const Problem cut = UsableRulesOnly(p);
  ASSERT_EQ(cut.weak.size(), 4u);
  EXPECT_EQ(cut.weak[2], p.weak[4]);
  EXPECT_EQ(cut.strict, p.strict);
  // A pair that reaches t makes t's rule usable, and through its right side nothing new.
  Problem more = p;
  more.strict.push_back({{p.strict[0].lhs}, {p.strict[0].lhs[0], 2, 4}});
  EXPECT_EQ(UsableRules(more), (std::vector<int>{0, 1, 2, 4, 5}));
  // The marked first letter of a right side reaches nothing: T's rule stays out.
  Problem onlyMark = p;
  onlyMark.strict = {{p.strict[0].lhs, {p.strict[0].lhs[0]}}};
  EXPECT_TRUE(UsableRules(onlyMark).empty());
  EXPECT_TRUE(UsableRulesOnly(onlyMark).weak.empty());
}

TEST(UsableRules, EveryRuleOutsideDependencyPairsOrWithAnEmptyLeftSide) {
  Problem p = HalvingProblem();
  p.weak.push_back({{}, {3}});  // ε -> T: applies at every position
  EXPECT_EQ(UsableRules(p).size(), p.weak.size());
  Problem relative = HalvingProblem();
  relative.kind = ProblemKind::Relative;
  EXPECT_EQ(UsableRules(relative).size(), relative.weak.size());
  EXPECT_EQ(UsableRulesOnly(relative).weak, relative.weak);
  // The searches encode a cut problem only when it leaves out some rule.
  EXPECT_FALSE(UsableRulesCut(relative, true));
  EXPECT_FALSE(UsableRulesCut(p, true));
  EXPECT_FALSE(UsableRulesCut(HalvingProblem(), false));
  const std::optional<Problem> cut = UsableRulesCut(HalvingProblem(), true);
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->weak, UsableRulesOnly(HalvingProblem()).weak);
}

// (A# a b -> A# b, with c -> a c): over the naturals the pair needs [a] to count, which
// the rule forbids ([c] >= [a] [c], with (M_c)_{1,1} >= 1); but no rule begins with b, so
// none is usable, and the pair goes. (Arctic maps can orient both: [c] a constant that
// dominates [a c].)
Problem BlockedProblem() {
  Problem p;
  p.kind = ProblemKind::DependencyPairs;
  const Symbol a = p.alphabet.Add("a"), b = p.alphabet.Add("b"), c = p.alphabet.Add("c");
  const Symbol mark = p.alphabet.Add("A#", a);
  p.strict = {{{mark, a, b}, {mark, b}}};
  p.weak = {{{c}, {a, c}}};
  return p;
}

// Runs `search` with and without usable rules and checks the step it finds with them:
// re-checked, the pair removed, all of R kept, the proof text naming the rule left
// out; then the witness corrupted (usable rules off, other rules after) is refused.
// `blocked`: without usable rules there is no such interpretation.
template <class W, class Options, class Search>
void ExpectUsableRulesDecide(Options o, Search search, bool blocked) {
  const Problem p = BlockedProblem();
  o.usableRules = false;
  if (blocked) {
    EXPECT_EQ(search(p, o).kind, Result::Kind::Nothing);
  }
  o.usableRules = true;
  const Result r = search(p, o);
  ASSERT_EQ(r.kind, Result::Kind::Transformed);
  EXPECT_EQ(r.witness->Recheck(p, r.subproblems), "");
  ASSERT_EQ(r.subproblems.size(), 1u);
  EXPECT_TRUE(r.subproblems[0].strict.empty());
  EXPECT_EQ(r.subproblems[0].weak, p.weak);
  const auto& w = dynamic_cast<const W&>(*r.witness);
  EXPECT_TRUE(w.usableOnly);
  std::vector<std::string> lines;
  w.Print(p, lines);
  const auto line = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.rfind("usable rules only: 0 of 1 rules", 0) == 0;
  });
  ASSERT_NE(line, lines.end());
  ASSERT_GT(lines.end() - line, 2);
  EXPECT_EQ(*(line + 2), "  c -> a c");
  // Read as orienting every rule, the witness fails: c has no map, or c -> a c increases.
  W all = w;
  all.usableOnly = false;
  EXPECT_NE(all.Recheck(p, r.subproblems), "");
  // A subproblem with other rules than R is refused.
  std::vector<Problem> other = r.subproblems;
  other[0].weak.clear();
  EXPECT_NE(w.Recheck(p, other), "");
  // The certificate lists the usable rules (none here) for the certifier to check.
  const cpf::Written cert = w.CertifyStep(
      p, r.subproblems[0], cpf::Fragment{cpf::FragmentKind::DpTermination, "<dpProof/>"});
  ASSERT_TRUE(Ok(cert));
  const std::string& xml = std::get<cpf::Fragment>(cert).xml;
  EXPECT_NE(xml.find("<redPairUrProc>"), std::string::npos);
  EXPECT_NE(xml.find("<usableRules><rules></rules></usableRules>"), std::string::npos) << xml;
}

TEST(UsableRules, ArcticPairsOrientOnlyTheUsableRules) {
  ArcticOptions o;
  o.dimension = 1;
  o.bits = 2;
  ExpectUsableRulesDecide<ArcticWitness>(
      o,
      [](const Problem& p, const ArcticOptions& op) {
        return ArcticInterpretation(p, Budget(), op);
      },
      false);
}

TEST(UsableRules, NaturalMatricesOrientOnlyTheUsableRules) {
  MatrixOptions o;
  o.dimension = 1;
  o.bits = 2;
  ExpectUsableRulesDecide<MatrixWitness>(
      o,
      [](const Problem& p, const MatrixOptions& op) {
        return MatrixInterpretation(p, Budget(), op);
      },
      true);
}

// Where every rule is usable, the step is the one without usable rules.
TEST(UsableRules, AllRulesUsableGivesThePlainStep) {
  Problem p = BlockedProblem();
  p.strict[0].rhs = {p.strict[0].rhs[0], 2};  // A# a b -> A# c: c's rule is usable
  ArcticOptions o;
  o.dimension = 1;
  o.bits = 2;
  o.usableRules = true;
  EXPECT_EQ(UsableRules(p), (std::vector<int>{0}));
  // [a] = 0 and [b] = 1 (dimension 1) orient both.
  const Result r = ArcticInterpretation(p, Budget(), o);
  ASSERT_EQ(r.kind, Result::Kind::Transformed);
  EXPECT_FALSE(dynamic_cast<const ArcticWitness&>(*r.witness).usableOnly);
  EXPECT_EQ(r.witness->Recheck(p, r.subproblems), "");
  std::vector<std::string> lines;
  r.witness->Print(p, lines);
  for (const std::string& line : lines) EXPECT_EQ(line.find("usable"), std::string::npos) << line;
}

}  // namespace
}  // namespace velkin::strong
