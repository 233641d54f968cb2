// Writing a certificate from a proof tree: all or nothing, steps in tree order.
#include "strong/cpf.h"

#include <gtest/gtest.h>

#include "strong/certificate.h"
#include "strong/technique.h"

namespace velkin::strong {
namespace {

// A leaf that proves a problem without strict rules, with its certificate form.
class EmptyWitness : public Witness {
 public:
  std::string Technique() const override { return "no strict rules"; }
  std::string Recheck(const Problem& p, const std::vector<Problem>&) const override {
    return p.strict.empty() ? "" : "strict rules left";
  }
  void Print(const Problem&, std::vector<std::string>& lines) const override {
    lines.push_back("R is empty");
  }
  cpf::Written Certify(const Problem&, const std::vector<Problem>&,
                       const std::vector<cpf::Fragment>&) const override {
    return cpf::NoStrictRules();
  }
};

// A step that drops every strict rule and keeps no certificate form.
class DropWitness : public Witness {
 public:
  std::string Technique() const override { return "dropping"; }
  std::string Recheck(const Problem&, const std::vector<Problem>&) const override { return ""; }
  void Print(const Problem&, std::vector<std::string>&) const override {}
};

// String reversal, certified through the writer.
class ReverseWitness : public DropWitness {
 public:
  std::string Technique() const override { return "reversal"; }
  cpf::Written Certify(const Problem& before, const std::vector<Problem>& after,
                       const std::vector<cpf::Fragment>& subproofs) const override {
    return cpf::Reversal(before, after.at(0), subproofs.at(0));
  }
};

Problem Standard() {
  Problem p;
  const Symbol a = p.alphabet.Add("a"), b = p.alphabet.Add("b");
  p.strict = {Rule{{a, b}, {b, a}}};
  return p;
}

ProofNode Leaf(Problem p, std::shared_ptr<const Witness> w) {
  return ProofNode{std::move(p), Result::Kind::Proved, std::move(w), {}};
}

TEST(CpfTree, AStepWithoutCertificateFormWritesNothingAndNamesTheStep) {
  const Problem p = Standard();
  Problem empty = p;
  empty.strict.clear();
  ProofNode root{p,
                 Result::Kind::Transformed,
                 std::make_shared<DropWitness>(),
                 {Leaf(empty, std::make_shared<EmptyWitness>())}};
  ASSERT_TRUE(root.Complete());
  const cpf::Written w = cpf::FromProof(root, "velkin");
  ASSERT_FALSE(cpf::Ok(w));
  EXPECT_NE(std::get<std::string>(w).find("dropping"), std::string::npos);

  ProofNode open{p,
                 Result::Kind::Transformed,
                 std::make_shared<ReverseWitness>(),
                 {ProofNode{p, Result::Kind::Nothing, nullptr, {}}}};
  EXPECT_FALSE(cpf::Ok(cpf::FromProof(open, "velkin")));
}

TEST(CpfTree, StepsAreWrittenAroundTheirSubproofs) {
  const Problem p = Standard();
  Problem rev = p;
  rev.strict = Reversed(p.strict);
  Problem empty = rev;
  empty.strict.clear();
  // The reversal's child is wrong (not the reversed problem): refused, not written.
  ProofNode wrong{p,
                  Result::Kind::Transformed,
                  std::make_shared<ReverseWitness>(),
                  {Leaf(empty, std::make_shared<EmptyWitness>())}};
  EXPECT_FALSE(cpf::Ok(cpf::FromProof(wrong, "velkin")));

  ProofNode inner{rev,
                  Result::Kind::Transformed,
                  std::make_shared<ReverseWitness>(),
                  {Leaf(p, std::make_shared<EmptyWitness>())}};
  ProofNode root{p, Result::Kind::Transformed, std::make_shared<ReverseWitness>(), {inner}};
  const cpf::Written w = cpf::FromProof(root, "velkin");
  ASSERT_TRUE(cpf::Ok(w)) << std::get<std::string>(w);
  const std::string& xml = std::get<cpf::Fragment>(w).xml;
  const auto first = xml.find("<stringReversal>");
  const auto second = xml.find("<stringReversal>", first + 1);
  ASSERT_NE(second, std::string::npos);
  EXPECT_LT(second, xml.find("<rIsEmpty/>"));
  EXPECT_NE(xml.find("<cpfVersion>2.1</cpfVersion>"), std::string::npos);
}

TEST(CpfTree, ANameThatXmlCannotHoldGivesNoCertificate) {
  // Escaping would make "a\x01" and "a\x02" both "a?": one letter where there are two.
  Problem p;
  const Symbol a = p.alphabet.Add("a\x01"), b = p.alphabet.Add("a\x02");
  p.strict = {Rule{{a, b}, {b, a}}};
  Problem empty = p;
  empty.strict.clear();
  ProofNode root{p,
                 Result::Kind::Transformed,
                 std::make_shared<ReverseWitness>(),
                 {Leaf(empty, std::make_shared<EmptyWitness>())}};
  const cpf::Written w = cpf::FromProof(root, "velkin");
  ASSERT_FALSE(cpf::Ok(w));
  EXPECT_NE(std::get<std::string>(w).find("XML cannot carry"), std::string::npos);
  // The same holds for the tool's name and the variable.
  const Problem good = Standard();
  Problem goodEmpty = good;
  goodEmpty.strict.clear();
  ProofNode leaf = Leaf(goodEmpty, std::make_shared<EmptyWitness>());
  EXPECT_TRUE(cpf::Ok(cpf::FromProof(leaf, "velkin")));
  EXPECT_FALSE(cpf::Ok(cpf::FromProof(leaf, "velkin\x07")));
  EXPECT_FALSE(cpf::Ok(cpf::FromProof(leaf, "velkin", "x\x1B")));
}

// Rule removal and the reduction pair step are written by one writer for both kinds of
// problem: each takes only its own problems and proofs below, and refuses a step whose
// result has what the problem before it did not have.
TEST(CpfOrientingSteps, EachKindTakesItsOwnProblemsAndProofsBelowOnly) {
  Problem rel = Standard();
  const Symbol a = 0, b = 1;
  rel.weak = {Rule{{a}, {a}}};
  Problem dp = rel;
  dp.kind = ProblemKind::DependencyPairs;
  const cpf::NaturalInterpretation in = cpf::WeightInterpretation({1, 2});
  const cpf::Fragment termination = std::get<cpf::Fragment>(cpf::NoStrictRules());
  const cpf::Fragment pairs = std::get<cpf::Fragment>(cpf::NoPairs());
  const auto error = [](const cpf::Written& w) {
    return cpf::Ok(w) ? std::string("written") : std::get<std::string>(w);
  };
  Problem relAfter = rel, dpAfter = dp;
  relAfter.strict.clear();
  dpAfter.strict.clear();

  const cpf::Written removal = cpf::RuleRemoval(rel, in, relAfter, termination);
  ASSERT_TRUE(cpf::Ok(removal)) << error(removal);
  EXPECT_NE(std::get<cpf::Fragment>(removal).xml.find("<ruleRemoval>"), std::string::npos);
  const cpf::Written pair = cpf::ReductionPair(dp, in, dpAfter, pairs);
  ASSERT_TRUE(cpf::Ok(pair)) << error(pair);
  EXPECT_EQ(std::get<cpf::Fragment>(pair).kind, cpf::FragmentKind::DpTermination);
  EXPECT_NE(std::get<cpf::Fragment>(pair).xml.find("<redPairProc>"), std::string::npos);

  EXPECT_EQ(error(cpf::RuleRemoval(dp, in, dpAfter, termination)),
            "rule removal outside a relative problem");
  EXPECT_EQ(error(cpf::ReductionPair(rel, in, relAfter, pairs)),
            "a reduction pair outside a dependency pair problem");
  EXPECT_EQ(error(cpf::RuleRemoval(rel, in, relAfter, pairs)),
            "rule removal by an interpretation needs a termination proof below");
  EXPECT_EQ(error(cpf::ReductionPair(dp, in, dpAfter, termination)),
            "a reduction pair needs a proof of the pair problem below");

  // What the step leaves: rule removal may drop weak rules but not add any; the
  // reduction pair step keeps the rules as they are; neither adds a strict rule or pair.
  Problem relNew = relAfter, dpNew = dpAfter;
  relNew.strict = dpNew.strict = {Rule{{b}, {a}}};
  EXPECT_EQ(error(cpf::RuleRemoval(rel, in, relNew, termination)),
            "a strict rule that the step did not have");
  EXPECT_EQ(error(cpf::ReductionPair(dp, in, dpNew, pairs)), "a pair that the step did not have");
  relAfter.weak.clear();
  dpAfter.weak.clear();
  EXPECT_TRUE(cpf::Ok(cpf::RuleRemoval(rel, in, relAfter, termination)));
  EXPECT_EQ(error(cpf::ReductionPair(dp, in, dpAfter, pairs)),
            "a reduction pair that changed the rules");
  relAfter.weak = {Rule{{b}, {b}}};
  EXPECT_EQ(error(cpf::RuleRemoval(rel, in, relAfter, termination)),
            "a weak rule that the step did not have");
}

// The certifier's work on a match bound, counted by hand for a b -> b a and the automaton
// 0 -a/0-> 1, 2 -a/0-> 1, 1 -b/0-> 0, 1 -b/1-> 0 (bound 1). Testing a lifting scans the
// transitions of each of its letters and unites the states that those of its last letter
// leave (T · D / 2 for T of them leaving D states: 2 for a/0, 1/2 for b/0 and b/1).
// Liftings, last letter first: b/0 and b/1 (1 + 1/2 each), then a/0 after either
// (1 + 2 + 1/2) and a/1 after either (1 + 0 + 1/2, read by no path): 13. Then each of the
// two lifted left sides a/0 b/h: gathering the 3 states that transitions leave (9/2), the
// first letter's 2 transitions, and the b/h one on each of the 2 paths: 8.5 each. 30 in all.
TEST(CpfMatchBoundsWork, CountsTheCertifiersScansAndStopsPastTheLimit) {
  Problem p = Standard();
  const Symbol a = 0, b = 1;
  cpf::HeightAutomaton automaton;
  automaton.states = 3;
  automaton.bound = 1;
  automaton.accepting = {0};
  automaton.transitions = {{0, a, 0, 1}, {2, a, 0, 1}, {1, b, 0, 0}, {1, b, 1, 0}};
  EXPECT_EQ(cpf::BoundsCheckWork(p, automaton, 1e9), 30);
  EXPECT_GT(cpf::BoundsCheckWork(p, automaton, 5), 5);
  // A transition with a letter the problem does not have counts for nothing (the writer
  // refuses it), whatever its number.
  automaton.transitions.push_back({0, Symbol{1} << 30, 0, 1});
  EXPECT_EQ(cpf::BoundsCheckWork(p, automaton, 1e9), 30);
  EXPECT_FALSE(cpf::Ok(cpf::MatchBoundsOnAllWords(p, automaton)));
  automaton.transitions.pop_back();
  cpf::HeightAutomaton none = automaton;
  none.states = -1;
  EXPECT_EQ(cpf::BoundsCheckWork(p, none, 1e9), 0);
  // A weak rule is checked as well: b a ->= a b adds its own liftings.
  p.weak = {Rule{{b, a}, {a, b}}};
  EXPECT_GT(cpf::BoundsCheckWork(p, automaton, 1e9), 30);
  EXPECT_TRUE(cpf::Ok(cpf::MatchBoundsOnAllWords(p, automaton)));
}

// An automaton whose paths reading a left side multiply (every state reads a into every
// state) is refused before the certifier spends hours on it: 8 a's over 12 states have
// 12^9 paths.
TEST(CpfMatchBoundsWork, AnAutomatonTooCostlyForTheCertifierIsRefused) {
  Problem p;
  const Symbol a = p.alphabet.Add("a"), b = p.alphabet.Add("b");
  p.strict = {Rule{Word(8, a), {b}}};
  cpf::HeightAutomaton automaton;
  automaton.states = 12;
  automaton.bound = 1;
  automaton.accepting = {0};
  automaton.transitions = {{0, a, 0, 0}, {0, b, 0, 0}};
  for (int q = 0; q < 12; ++q)
    for (int r = 0; r < 12; ++r) automaton.transitions.push_back({q, a, 1, r});
  EXPECT_GT(cpf::BoundsCheckWork(p, automaton, cpf::kMaxBoundsCheckWork), cpf::kMaxBoundsCheckWork);
  const cpf::Written refused = cpf::MatchBoundsOnAllWords(p, automaton);
  ASSERT_FALSE(cpf::Ok(refused));
  EXPECT_NE(std::get<std::string>(refused).find("too long"), std::string::npos);
  // With a single state the same rule costs a few thousand scans: each of its 2^8
  // liftings is read by one path.
  automaton.states = 1;
  automaton.transitions = {{0, a, 0, 0}, {0, b, 0, 0}, {0, a, 1, 0}};
  EXPECT_LT(cpf::BoundsCheckWork(p, automaton, cpf::kMaxBoundsCheckWork), 10000);
  EXPECT_TRUE(cpf::Ok(cpf::MatchBoundsOnAllWords(p, automaton)));
}

}  // namespace
}  // namespace velkin::strong
