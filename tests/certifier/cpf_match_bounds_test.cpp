// Match bounds on every word as the certifier's <bounds>: certificates of the technique's
// own automata are CERTIFIED, tampered copies REJECTED, and the forms it refuses (weak
// rules that are weakly compatible only, a removal of some rules by <split>) are shown
// to be refused.
#include <gtest/gtest.h>

#include <chrono>

#include "../strong/strong_test_util.h"
#include "ceta_util.h"
#include "strong/certificate.h"
#include "strong/cpf.h"
#include "strong/technique.h"
#include "strong/techniques/lp_weights.h"
#include "strong/techniques/match_bounds.h"

namespace velkin::strong {
namespace {

using test::Plain;

// The witness's automaton as the certificate writer takes it.
cpf::HeightAutomaton AutomatonOf(const MatchBoundRemovalWitness& w) {
  cpf::HeightAutomaton a;
  a.states = w.states;
  a.bound = w.cap;
  a.accepting = {0};
  for (const auto& t : w.transitions) a.transitions.push_back({t.from, t.letter, t.height, t.to});
  return a;
}

// The automaton of a match bound on every word for `p` (all rules strict unless
// `removeSome`), re-checked.
Result Bound(const Problem& p, bool reversed, bool removeSome = false) {
  MatchBoundRemovalOptions o;
  o.reversed = reversed;
  o.removeAll = !removeSome;
  o.caps = {removeSome ? 3 : 8};
  const Result r = FindMatchBoundRemoval(p, Budget().Within(std::chrono::seconds(20)), o);
  EXPECT_NE(r.kind, Result::Kind::Nothing) << r.note;
  EXPECT_EQ(RecheckResult(p, r), "");
  return r;
}

std::string Certificate(const Problem& p, const Result& r) {
  const ProofNode root{p, r.kind, r.witness, {}};
  const cpf::Written w = cpf::FromProof(root, "velkin-test");
  if (!cpf::Ok(w)) {
    ADD_FAILURE() << std::get<std::string>(w);
    return "";
  }
  return std::get<cpf::Fragment>(w).xml;
}

using cetatest::Replaced;

TEST(CpfMatchBounds, BoundsOnEveryWordAndTheirTamperedCopies) {
  VELKIN_REQUIRE_CETA();
  struct Case {
    std::vector<std::string> rules;
    bool reversed;
  };
  // Standard, standard reversed (a string reversal before the bounds), and relative
  // with a weak rule that the automaton also satisfies as a strict one.
  for (const Case& c : std::vector<Case>{
           {{"aa->aba"}, false}, {{"aa->aba", "ab->b"}, true}, {{"aa->aba", "c->=d"}, false}}) {
    SCOPED_TRACE(c.rules[0] + (c.reversed ? ", reversed" : ""));
    const Problem p = Plain(c.rules);
    const Result r = Bound(p, c.reversed);
    ASSERT_EQ(r.kind, Result::Kind::Proved);
    const std::string cert = Certificate(p, r);
    EXPECT_NE(cert.find("<bounds><type><match/></type>"), std::string::npos);
    EXPECT_EQ(cert.find("<stringReversal>") != std::string::npos, c.reversed);
    const cetatest::Verdict v = cetatest::Certify(cert);
    EXPECT_EQ(v.first_line, "CERTIFIED") << v.output;
    // A transition written at height 1 moved down to 0: the right side it carried is
    // missing one height above its redex.
    const std::string lowered = Replaced(cert, "<height>1</height>", "<height>0</height>");
    EXPECT_EQ(cetatest::Certify(lowered).first_line, "REJECTED");
    // The bound below the heights used (it is the largest height used).
    const auto from = cert.find("<bound>"), to = cert.find("</bound>");
    ASSERT_NE(from, std::string::npos);
    const std::string bound = cert.substr(from, to - from);
    EXPECT_NE(bound, "<bound>0");
    EXPECT_EQ(cetatest::Certify(Replaced(cert, bound, "<bound>0")).first_line, "REJECTED");
    // The start state no longer reads every letter at height 0 into itself.
    const std::string loop =
        "<transition><lhs><name>a</name><height>0</height><state>0</state></lhs>"
        "<rhs><state>0</state></rhs></transition>";
    EXPECT_EQ(cetatest::Certify(Replaced(cert, loop, "")).first_line, "REJECTED");
  }
}

TEST(CpfMatchBounds, BoundsOnTheRulesThatWeightsLeave) {
  VELKIN_REQUIRE_CETA();
  // Weights take off c c -> c (the match-bound road tries them first) and leave
  // a a -> a b a to the bounds, whose leaf follows the rule removal.
  const Problem p = Plain({"aa->aba", "cc->c"});
  const Result weights = LpWeights(p, Budget().Within(std::chrono::seconds(20)));
  ASSERT_EQ(weights.kind, Result::Kind::Transformed) << weights.note;
  ASSERT_EQ(RecheckResult(p, weights), "");
  const Problem& rest = weights.subproblems.at(0);
  ASSERT_EQ(rest.strict.size(), 1u);
  const Result bound = Bound(rest, false);
  ASSERT_EQ(bound.kind, Result::Kind::Proved);
  const ProofNode root{
      p, weights.kind, weights.witness, {ProofNode{rest, bound.kind, bound.witness, {}}}};
  const cpf::Written written = cpf::FromProof(root, "velkin-test");
  ASSERT_TRUE(cpf::Ok(written)) << std::get<std::string>(written);
  const std::string cert = std::get<cpf::Fragment>(written).xml;
  ASSERT_NE(cert.find("<ruleRemoval>"), std::string::npos);
  EXPECT_LT(cert.find("<ruleRemoval>"), cert.find("<bounds>"));
  const cetatest::Verdict v = cetatest::Certify(cert);
  EXPECT_EQ(v.first_line, "CERTIFIED") << v.output;
  // The same bounds as the whole proof of both rules: c c -> c has no path at height 1.
  const cpf::Written leaf = bound.witness->Certify(rest, {}, {});
  ASSERT_TRUE(cpf::Ok(leaf));
  const cpf::Written alone = cpf::Document(p, std::get<cpf::Fragment>(leaf), "velkin-test");
  ASSERT_TRUE(cpf::Ok(alone));
  EXPECT_EQ(cetatest::Certify(std::get<cpf::Fragment>(alone).xml).first_line, "REJECTED");
}

TEST(CpfMatchBounds, TheCertifierChecksWeakRulesAsStrictOnes) {
  VELKIN_REQUIRE_CETA();
  // a b -> b c relative to c ->= c c: the automaton writes c c at the cap above a c at
  // the cap, which a weak rule may do; the certifier asks for one height above.
  const Problem p = Plain({"ab->bc", "c->=cc"});
  const Result r = Bound(p, false);
  ASSERT_EQ(r.kind, Result::Kind::Proved);
  const auto& w = static_cast<const MatchBoundRemovalWitness&>(*r.witness);
  const cpf::Written refused = w.Certify(p, {}, {});
  ASSERT_FALSE(cpf::Ok(refused));
  EXPECT_NE(std::get<std::string>(refused).find("as the certifier checks them"), std::string::npos);
  // Written all the same, the certifier refuses it.
  const cpf::Written leaf = cpf::MatchBoundsOnAllWords(p, AutomatonOf(w));
  ASSERT_TRUE(cpf::Ok(leaf));
  const cpf::Written doc = cpf::Document(p, std::get<cpf::Fragment>(leaf), "velkin-test");
  ASSERT_TRUE(cpf::Ok(doc));
  const cetatest::Verdict v = cetatest::Certify(std::get<cpf::Fragment>(doc).xml);
  EXPECT_EQ(v.first_line, "REJECTED");
  EXPECT_NE(v.output.find("not compatible"), std::string::npos) << v.output;
}

TEST(CpfMatchBounds, ARemovalOfSomeRulesBySplitIsRefused) {
  VELKIN_REQUIRE_CETA();
  // c -> a is removed with b a -> a a b weak. As <split>, the part that removes c -> a is
  // the problem c -> a relative to b a ->= a a b, on which the certifier checks the
  // bounds with the weak rule as a strict one, and refuses them.
  const Problem p = Plain({"ba->aab", "c->a"});
  const Result r = Bound(p, false, true);
  ASSERT_EQ(r.kind, Result::Kind::Transformed);
  const auto& w = static_cast<const MatchBoundRemovalWitness&>(*r.witness);
  ASSERT_EQ(w.removed, std::vector<int>{1});
  EXPECT_FALSE(cpf::Ok(w.Certify(p, r.subproblems, {})));
  Problem part = p;
  part.strict = {p.strict[1]};
  part.weak = {p.strict[0]};
  const cpf::Written leaf = cpf::MatchBoundsOnAllWords(part, AutomatonOf(w));
  ASSERT_TRUE(cpf::Ok(leaf));
  // The rest, b a -> a a b, is not proved here: the certifier reports the first part.
  const std::string split =
      "<trsTerminationProof><split><trs>" + cpf::Rules(p.alphabet, part.strict) + "</trs>" +
      std::get<cpf::Fragment>(leaf).xml +
      "<trsTerminationProof><rIsEmpty/></trsTerminationProof></split></trsTerminationProof>";
  const cpf::Written doc =
      cpf::Document(p, cpf::Fragment{cpf::FragmentKind::Termination, split}, "velkin-test");
  ASSERT_TRUE(cpf::Ok(doc));
  const cetatest::Verdict v = cetatest::Certify(std::get<cpf::Fragment>(doc).xml);
  EXPECT_EQ(v.first_line, "REJECTED");
  EXPECT_NE(v.output.find("1.1: error when applying bounds"), std::string::npos) << v.output;
  EXPECT_NE(v.output.find("not compatible with TRS"), std::string::npos) << v.output;
}

}  // namespace
}  // namespace velkin::strong
