// The techniques' own witnesses, found by their searches, written as certificates through
// the proof tree and judged by the certifier.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "ceta_util.h"
#include "model/parsed_system.h"
#include "strong/certificate.h"
#include "strong/cpf.h"
#include "strong/technique.h"
#include "strong/techniques/arctic.h"
#include "strong/techniques/arctic_removal.h"
#include "strong/techniques/closures.h"
#include "strong/techniques/context_closure.h"
#include "strong/techniques/dependency_pairs.h"
#include "strong/techniques/matrix.h"
#include "strong/techniques/model_labelling.h"
#include "strong/techniques/subterm_criterion.h"
#include "strong/techniques/tiling.h"
#include "strong/techniques/weak_cleanup.h"

namespace velkin::strong {
namespace {

Problem Read(const std::vector<std::string>& lines) {
  ParsedSystem parsed;
  EXPECT_TRUE(ReadUnbounded(lines, InputFormat::Plain, parsed).ok);
  return FromParsed(parsed);
}

// The leaf of a problem without strict rules or pairs.
class EmptyLeaf : public Witness {
 public:
  std::string Technique() const override { return "nothing strict"; }
  std::string Recheck(const Problem& p, const std::vector<Problem>&) const override {
    return p.strict.empty() ? "" : "strict rules left";
  }
  void Print(const Problem&, std::vector<std::string>&) const override {}
  cpf::Written Certify(const Problem& p, const std::vector<Problem>&,
                       const std::vector<cpf::Fragment>&) const override {
    return p.IsDependencyPairs() ? cpf::NoPairs() : cpf::NoStrictRules();
  }
};

// `step` until nothing strict is left: the tree of a proof by rule removal (or by
// reduction pairs, for pairs).
ProofNode RemoveAll(const Problem& p, const std::function<Result(const Problem&)>& step) {
  if (p.strict.empty())
    return ProofNode{p, Result::Kind::Proved, std::make_shared<EmptyLeaf>(), {}};
  const Result r = step(p);
  EXPECT_EQ(r.kind, Result::Kind::Transformed) << r.note;
  if (r.kind != Result::Kind::Transformed) return ProofNode{p, Result::Kind::Nothing, nullptr, {}};
  EXPECT_EQ(RecheckResult(p, r), "");
  return ProofNode{p, r.kind, r.witness, {RemoveAll(r.subproblems.at(0), step)}};
}

// Natural matrix steps of `dimension`.
ProofNode RemoveAll(const Problem& p, int dimension) {
  MatrixOptions o;
  o.dimension = dimension;
  o.bits = 2;
  return RemoveAll(p, [o](const Problem& q) {
    return MatrixInterpretation(q, Budget().Within(std::chrono::seconds(30)), o);
  });
}

std::string Certificate(const ProofNode& root) {
  const cpf::Written w = cpf::FromProof(root, "velkin-test");
  if (!cpf::Ok(w)) {
    ADD_FAILURE() << std::get<std::string>(w);
    return "";
  }
  return std::get<cpf::Fragment>(w).xml;
}

TEST(CpfTechniques, MatrixRuleRemovalOnStandardAndRelativeProblems) {
  VELKIN_REQUIRE_CETA();
  for (const auto& lines : std::vector<std::vector<std::string>>{
           {"ab->ba"}, {"aab->bba", "bb->ab"}, {"a->b", "bc->=cb", "cc->=c"}}) {
    SCOPED_TRACE(lines[0]);
    for (int dimension : {1, 2}) {
      const std::string cert = Certificate(RemoveAll(Read(lines), dimension));
      const cetatest::Verdict v = cetatest::Certify(cert);
      EXPECT_EQ(v.first_line, "CERTIFIED") << v.output;
    }
  }
}

// Arctic rule removal as the search finds it, with the (1,1) entries finite and no
// constant vector, on standard and relative problems.
TEST(CpfTechniques, ArcticRuleRemovalOnStandardAndRelativeProblems) {
  VELKIN_REQUIRE_CETA();
  for (const auto& lines :
       std::vector<std::vector<std::string>>{{"aa->aba", "bb->a"}, {"a->b", "bc->=cb", "cc->=c"}}) {
    SCOPED_TRACE(lines[0]);
    ArcticRemovalOptions o;
    o.dimension = 2;
    const ProofNode root = RemoveAll(Read(lines), [o](const Problem& q) {
      return ArcticRuleRemoval(q, Budget().Within(std::chrono::seconds(30)), o);
    });
    const std::string cert = Certificate(root);
    EXPECT_NE(cert.find("<arctic>"), std::string::npos);
    const cetatest::Verdict v = cetatest::Certify(cert);
    EXPECT_EQ(v.first_line, "CERTIFIED") << v.output;
  }
}

// `step`'s one result on `p`, re-checked, above the proof of its subproblem by `below`.
ProofNode Above(const Problem& p, const Result& step,
                const std::function<ProofNode(const Problem&)>& below) {
  EXPECT_EQ(step.kind, Result::Kind::Transformed) << step.note;
  EXPECT_EQ(RecheckResult(p, step), "");
  if (step.kind != Result::Kind::Transformed)
    return ProofNode{p, Result::Kind::Nothing, nullptr, {}};
  return ProofNode{p, step.kind, step.witness, {below(step.subproblems.at(0))}};
}

// The context closure of R = {a b -> b} / S = {->= c, c ->= b c} on each side, and the
// trivial weak rules of R = {a a -> a} / S = {b ->= b, a a ->= a, a b ->= b}, each
// followed by matrices of dimension 1.
TEST(CpfTechniques, ContextClosureAndTrivialWeakRules) {
  VELKIN_REQUIRE_CETA();
  const auto matrices = [](const Problem& q) { return RemoveAll(q, 1); };
  std::vector<ProofNode> roots;
  const Problem open = Read({"ab->b", "->=c", "c->=bc"});
  for (const ClosureSide side : {ClosureSide::Left, ClosureSide::Right, ClosureSide::Both}) {
    ContextClosureOptions o;
    o.side = side;
    roots.push_back(Above(open, ContextClosure(open, Budget(), o), matrices));
  }
  const Problem trivial = Read({"aa->a", "b->=b", "aa->=a", "ab->=b"});
  roots.push_back(Above(trivial, DropTrivialWeakRules(trivial, Budget()), matrices));
  for (std::size_t i = 0; i < roots.size(); ++i) {
    const std::string cert = Certificate(roots[i]);
    EXPECT_NE(cert.find(i < 3 ? "<flatContextClosure>" : "<equalityRemoval>"), std::string::npos);
    const cetatest::Verdict v = cetatest::Certify(cert);
    EXPECT_EQ(v.first_line, "CERTIFIED") << v.output;
  }
}

// The dependency pair transformation, written by hand around a reduction pair that the
// matrix search finds (marked letters need no monotone first entry there).
class PairsStep : public Witness {
 public:
  std::string Technique() const override { return "pairs"; }
  std::string Recheck(const Problem&, const std::vector<Problem>&) const override { return ""; }
  void Print(const Problem&, std::vector<std::string>&) const override {}
  cpf::Written Certify(const Problem& before, const std::vector<Problem>& after,
                       const std::vector<cpf::Fragment>& subproofs) const override {
    return cpf::DependencyPairs(before, after.at(0), subproofs.at(0));
  }
};

TEST(CpfTechniques, MatrixReductionPairOnDependencyPairs) {
  VELKIN_REQUIRE_CETA();
  // a a -> a b a: the pair a# a -> a# b a (a b a is no proper suffix of a a); b is not
  // defined.
  const Problem p = Read({"aa->aba"});
  Problem dp = p;
  dp.kind = ProblemKind::DependencyPairs;
  const Symbol a = 0, b = 1;
  ASSERT_EQ(p.alphabet.names[a], "a");
  const Symbol am = dp.alphabet.MarkOf(a);
  dp.strict = {Rule{{am, a}, {am, b, a}}};
  dp.weak = p.strict;
  ProofNode root{p, Result::Kind::Transformed, std::make_shared<PairsStep>(), {RemoveAll(dp, 2)}};
  const std::string cert = Certificate(root);
  EXPECT_NE(cert.find("<redPairProc>"), std::string::npos);
  const cetatest::Verdict v = cetatest::Certify(cert);
  EXPECT_EQ(v.first_line, "CERTIFIED") << v.output;
}

// A certificate whose input is the dependency pair problem `dp` itself (no
// transformation before it) and whose proof is `proof`, a dpProof.
std::string DpDocument(const Problem& dp, const cpf::Fragment& proof) {
  return "<?xml version=\"1.0\"?>\n<certificationProblem><input><dpInput><trs>" +
         cpf::Rules(dp.alphabet, dp.weak) + "</trs><dps>" + cpf::Rules(dp.alphabet, dp.strict) +
         "</dps><minimal>false</minimal></dpInput></input><cpfVersion>2.1</cpfVersion><proof>" +
         proof.xml +
         "</proof><origin><proofOrigin><tool><name>velkin-test</name></tool></proofOrigin>"
         "</origin></certificationProblem>\n";
}

std::string Replaced(std::string s, const std::string& from, const std::string& to) {
  const std::size_t at = s.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) s.replace(at, from.size(), to);
  return s;
}

// Arctic integers as a reduction pair: (a# a -> a#, with a -> b a a and b a a -> ε),
// whose letter b must lower its argument. The certifier reads the domain of arctic
// integers, with its condition that every letter has (M)_{1,1} or (c)_1 finite and >= 0.
TEST(CpfTechniques, ArcticBelowZeroReductionPair) {
  VELKIN_REQUIRE_CETA();
  Problem dp;
  dp.kind = ProblemKind::DependencyPairs;
  const Symbol a = dp.alphabet.Add("a"), b = dp.alphabet.Add("b");
  const Symbol am = dp.alphabet.MarkOf(a);
  dp.weak = {{{a}, {b, a, a}}, {{b, a, a}, {}}};
  dp.strict = {{{am, a}, {am}}};
  Problem none = dp;
  none.strict.clear();
  const cpf::Fragment leaf = std::get<cpf::Fragment>(cpf::NoPairs());

  // The search's own witness, through its Certify.
  ArcticOptions o;
  o.dimension = 2;
  o.bits = 2;
  o.belowZero = 2;
  const Result r = ArcticInterpretation(dp, Budget().Within(std::chrono::seconds(30)), o);
  ASSERT_EQ(r.kind, Result::Kind::Transformed);
  ASSERT_EQ(RecheckResult(dp, r), "");
  ASSERT_TRUE(r.subproblems[0].strict.empty());
  const cpf::Written found = r.witness->Certify(dp, r.subproblems, {leaf});
  ASSERT_TRUE(cpf::Ok(found)) << std::get<std::string>(found);
  const std::string cert = DpDocument(dp, std::get<cpf::Fragment>(found));
  EXPECT_NE(cert.find("<integers/>"), std::string::npos);
  const cetatest::Verdict v = cetatest::Certify(cert);
  EXPECT_EQ(v.first_line, "CERTIFIED") << v.output;

  // By hand: [a] = max(x + 1, 2), [b] = max(x - 2, 0), [a#] = max(x - 1, 0).
  const cpf::Arctic inf = std::nullopt;
  auto map = [](cpf::Arctic m, cpf::Arctic c) { return cpf::ArcticMap{{{m}}, {c}}; };
  cpf::ArcticInterpretation in{1,
                               {map(mpz_class(1), mpz_class(2)), map(mpz_class(-2), mpz_class(0)),
                                map(mpz_class(-1), mpz_class(0))}};
  const std::string hand =
      DpDocument(dp, std::get<cpf::Fragment>(cpf::ReductionPairIntegers(dp, in, none, leaf)));
  EXPECT_EQ(cetatest::Certify(hand).first_line, "CERTIFIED") << cetatest::Certify(hand).output;
  // Tampered: [b] = max(x, 0) no longer takes back what a a adds, a -> b a a fails.
  const std::string tampered = Replaced(hand, "<integer>-2</integer>", "<integer>0</integer>");
  EXPECT_EQ(cetatest::Certify(tampered).first_line, "REJECTED");

  // [b] = x - 2 (c = -∞) is sound (b never stands first) but not of the certifier's form:
  // the witness writes no certificate, and the certifier rejects the form written anyway.
  ArcticWitness loose;
  loose.dimension = 1;
  loose.integers = true;
  loose.letters = {ArcticMap{{1}, {2}}, ArcticMap{{-2}, {std::nullopt}}, ArcticMap{{-1}, {0}}};
  loose.removed = {0};
  ASSERT_EQ(loose.Recheck(dp, {none}), "");
  EXPECT_FALSE(cpf::Ok(loose.Certify(dp, {none}, {leaf})));
  in.letters[1] = map(mpz_class(-2), inf);
  const std::string unpositive =
      DpDocument(dp, std::get<cpf::Fragment>(cpf::ReductionPairIntegers(dp, in, none, leaf)));
  const cetatest::Verdict refused = cetatest::Certify(unpositive);
  EXPECT_EQ(refused.first_line, "REJECTED");
  EXPECT_NE(refused.output.find("positive entry"), std::string::npos) << refused.output;
}

// Arctic integers in rule removal: a c -> c beside ε ->= a b and a b ->= ε, closed on the
// left; every (1,1) entry finite and >= 0, some entries negative. A copy in which b no
// longer lowers what a raises is REJECTED, and the writer refuses a negative corner.
TEST(CpfTechniques, ArcticBelowZeroRuleRemoval) {
  VELKIN_REQUIRE_CETA();
  const Problem p = Read({"ac -> c", "->= ab", "ab ->= e"});
  ContextClosureOptions closure;
  closure.side = ClosureSide::Left;
  ArcticRemovalOptions o;
  o.dimension = 2;
  o.bits = 1;
  o.belowZero = 1;
  const ProofNode root = Above(p, ContextClosure(p, Budget(), closure), [o](const Problem& q) {
    return RemoveAll(q, [o](const Problem& x) {
      return ArcticRuleRemoval(x, Budget().Within(std::chrono::seconds(30)), o);
    });
  });
  const std::string cert = Certificate(root);
  ASSERT_NE(cert.find("<integers/>"), std::string::npos);
  const cetatest::Verdict v = cetatest::Certify(cert);
  EXPECT_EQ(v.first_line, "CERTIFIED") << v.output;
  const std::string tampered = Replaced(cert, "<integer>-1</integer>", "<integer>0</integer>");
  ASSERT_NE(tampered, cert);
  EXPECT_EQ(cetatest::Certify(tampered).first_line, "REJECTED");

  // By hand in dimension 1: [a] = x + 1, [c] = x, [b] = x - 1 orient the rules as they
  // are, but b's corner is negative: (M_w)_{1,1} has no lower bound, and nothing is written.
  const Problem q = Read({"ac -> c", "ab ->= e"});
  Problem none = q;
  none.strict.clear();
  auto map = [](int m) { return cpf::ArcticMap{{{mpz_class(m)}}, {std::nullopt}}; };
  const cpf::ArcticInterpretation in{1, {map(1), map(0), map(-1)}};
  const cpf::Fragment leaf = std::get<cpf::Fragment>(cpf::NoStrictRules());
  const cpf::Written refused = cpf::ArcticRuleRemovalIntegers(q, in, none, leaf);
  ASSERT_FALSE(cpf::Ok(refused));
  EXPECT_NE(std::get<std::string>(refused).find("(1,1)"), std::string::npos);
}

// The subterm criterion after the dependency pair transformation of a b -> b a, whose
// one pair a# b -> a# keeps the proper suffix ε of its argument. The certifier wants
// minimal chains, which the transformation gives and a pair problem given as input
// without them does not; and the projection must collapse to the argument.
TEST(CpfTechniques, SubtermCriterionAfterTheTransformation) {
  VELKIN_REQUIRE_CETA();
  const Problem p = Read({"ab->ba"});
  const Result pairs = DependencyPairs(p);
  ASSERT_EQ(pairs.kind, Result::Kind::Transformed);
  const Problem dp = pairs.subproblems.at(0);
  ASSERT_EQ(dp.strict.size(), 1u);
  const ProofNode root{
      p, Result::Kind::Transformed, pairs.witness, {RemoveAll(dp, [](const Problem& q) {
        return SubtermCriterion(q, Budget());
      })}};
  const std::string cert = Certificate(root);
  EXPECT_NE(cert.find("<subtermProc>"), std::string::npos);
  const cetatest::Verdict v = cetatest::Certify(cert);
  EXPECT_EQ(v.first_line, "CERTIFIED") << v.output;

  const std::string kept = Replaced(cert, "<collapsing>1</collapsing>",
                                    "<nonCollapsing><position>1</position></nonCollapsing>");
  EXPECT_EQ(cetatest::Certify(kept).first_line, "REJECTED");

  const cpf::Fragment leaf = std::get<cpf::Fragment>(cpf::NoPairs());
  Problem none = dp;
  none.strict.clear();
  const std::string notMinimal =
      DpDocument(dp, std::get<cpf::Fragment>(cpf::SubtermCriterion(dp, none, leaf)));
  const cetatest::Verdict refused = cetatest::Certify(notMinimal);
  EXPECT_EQ(refused.first_line, "REJECTED");
  EXPECT_NE(refused.output.find("minimality"), std::string::npos) << refused.output;
}

// The labelling steps as a split by the removed rules: the closure, the labelling and
// the removals on the labelled problem for the first part, the rest for the second. A
// copy with a labelled rule changed, or a model's value, is rejected.
TEST(CpfTechniques, TilingAndModelLabelling) {
  VELKIN_REQUIRE_CETA();
  const auto leaf = [](const Problem& q) {
    return ProofNode{q, Result::Kind::Proved, std::make_shared<EmptyLeaf>(), {}};
  };
  const auto budget = [] { return Budget().Within(std::chrono::seconds(30)); };
  const Problem p = Read({"aa->aba", "->=b"});
  const std::string tiled = Certificate(Above(p, Tiling(p, budget()), leaf));
  for (const char* element : {"<split>", "<flatContextClosure>", "<rootLabeling/>"})
    EXPECT_NE(tiled.find(element), std::string::npos) << element;
  EXPECT_EQ(cetatest::Certify(tiled).first_line, "CERTIFIED") << cetatest::Certify(tiled).output;
  // a[a] a[a] -> a[b] b[a] a[a] with the label of its last letter changed.
  const std::string label = "<symbolLabel><name>a</name></symbolLabel>";
  const std::string bad = Replaced(tiled, label + "</labeledSymbol><arg><var>",
                                   "<symbolLabel><name>b</name></symbolLabel></labeledSymbol>"
                                   "<arg><var>");
  EXPECT_EQ(cetatest::Certify(bad).first_line, "REJECTED");

  // A standard problem that weights of tiles prove: the closure and the labelling as
  // above, without weak rules.
  TilingOptions weightsOnly;
  weightsOnly.removers = {WeightsRemover()};
  const Problem counts = Read({"aabb->abab"});
  const std::string tiles = Certificate(Above(counts, Tiling(counts, budget(), weightsOnly), leaf));
  EXPECT_EQ(cetatest::Certify(tiles).first_line, "CERTIFIED") << cetatest::Certify(tiles).output;

  // A model with weights (standard), and with matrices (relative).
  const Problem s = Read({"aa->aba"});
  const std::string model = Certificate(Above(s, ModelLabelling(s, budget()), leaf));
  EXPECT_NE(model.find("<finiteModel>"), std::string::npos);
  EXPECT_EQ(cetatest::Certify(model).first_line, "CERTIFIED") << cetatest::Certify(model).output;
  const std::string wrong =
      Replaced(model, "<carrierSize>2</carrierSize>", "<carrierSize>3</carrierSize>");
  EXPECT_EQ(cetatest::Certify(wrong).first_line, "REJECTED");
  ModelLabellingOptions matrices;
  matrices.dimension = 2;
  const std::string relative = Certificate(Above(p, ModelLabelling(p, budget(), matrices), leaf));
  EXPECT_EQ(cetatest::Certify(relative).first_line, "CERTIFIED")
      << cetatest::Certify(relative).output;

  // A quasi-model has no certificate form.
  ModelLabellingOptions quasi;
  quasi.quasi = true;
  const ProofNode q = Above(p, ModelLabelling(p, budget(), quasi), leaf);
  EXPECT_FALSE(cpf::Ok(cpf::FromProof(q, "velkin-test")));

  // A loop of the rules left is a loop of the problem.
  const Problem loops = Read({"aa->aba", "b->b"});
  const Result step = Tiling(loops, budget());
  const ProofNode looped = Above(loops, step, [&](const Problem& q) {
    const Result loop = FindLoopByClosures(q, budget(), {});
    EXPECT_EQ(loop.kind, Result::Kind::Disproved);
    EXPECT_EQ(RecheckResult(q, loop), "");
    return ProofNode{q, loop.kind, loop.witness, {}};
  });
  const std::string nonterminating = Certificate(looped);
  EXPECT_EQ(cetatest::Certify(nonterminating).first_line, "CERTIFIED")
      << cetatest::Certify(nonterminating).output;
}

}  // namespace
}  // namespace velkin::strong
