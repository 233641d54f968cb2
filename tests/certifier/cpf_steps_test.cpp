// The certificate forms of arctic rule removal, weights, trivial weak rules, context
// closure, labelling and splitting, hand-built for small systems: each CERTIFIED, and a
// copy with the step's own element or data changed REJECTED. The writers' refusals of
// what the certifier would misread are checked without it.
#include <gtest/gtest.h>

#include "ceta_util.h"
#include "cpf_test_util.h"

namespace velkin::strong::cpf {
namespace {

using cetatest::Certify;
using namespace testutil;

std::string Verdict(const std::string& certificate) {
  const cetatest::Verdict v = Certify(certificate);
  return v.first_line == "CERTIFIED" ? v.first_line : v.first_line + "\n" + v.output;
}

bool Certified(const std::string& certificate) {
  return Verdict(certificate) == "CERTIFIED";
}

// x -> M x over the arctic numbers, M by rows; nullopt is -infinity.
ArcticMap Arc(std::vector<std::vector<std::optional<long>>> m) {
  ArcticMap out;
  for (auto& row : m) {
    out.matrix.emplace_back();
    for (auto v : row) out.matrix.back().push_back(v ? Arctic(mpz_class(*v)) : std::nullopt);
    out.constant.push_back(std::nullopt);
  }
  return out;
}

// Weights by letter name, 0 for the others.
NaturalInterpretation Weights(const Problem& p, const std::map<std::string, long>& w) {
  std::vector<mpz_class> by(p.alphabet.size(), 0);
  for (const auto& [name, v] : w) by[Letter(p, name)] = v;
  return WeightInterpretation(by);
}

// The proof that weights remove every strict rule of `p` at once.
Fragment RemovedByWeights(const Problem& p, const std::map<std::string, long>& w) {
  return Get(RuleRemoval(p, Weights(p, w), Without(p, {}, p.weak), Get(NoStrictRules())));
}

// `s` with the text between the first `open` and the next `close` after it replaced.
std::string ReplaceBetween(std::string s, const std::string& open, const std::string& close,
                           const std::string& by) {
  const auto from = s.find(open);
  EXPECT_NE(from, std::string::npos) << open;
  if (from == std::string::npos) return s;
  const auto to = s.find(close, from + open.size());
  return s.replace(from + open.size(), to - from - open.size(), by);
}

constexpr std::optional<long> kInf = std::nullopt;

// Arctic rule removal of dimension 1 on a standard problem and of dimension 2 on a
// relative one, each also with one entry changed so that the removed rule no longer
// decreases strictly.
TEST(CpfSteps, ArcticRuleRemovalStandardAndRelative) {
  VELKIN_REQUIRE_CETA();
  // R = {a a -> a}: [a] = 1, so [aa] = 2 > 1.
  const Problem p = Read({"aa->a"});
  ArcticInterpretation in{1, {Arc({{1}})}};
  const std::string good =
      Doc(p, ArcticRuleRemoval(p, in, Without(p, {}, {}), Get(NoStrictRules())));
  EXPECT_EQ(Verdict(good), "CERTIFIED");
  EXPECT_NE(good.find("<arctic>"), std::string::npos);
  // [a] = 0: [aa] = [a], no longer strict.
  in.letters[0] = Arc({{0}});
  EXPECT_FALSE(
      Certified(Doc(p, ArcticRuleRemoval(p, in, Without(p, {}, {}), Get(NoStrictRules())))));

  // R = {a c -> c} / S = {c ->= c c}: [a] = (1 -inf; 0 1), [c] the identity. Then
  // [ac] = [a] is above [c] in every entry where [c] is finite, and c c ->= c is equal.
  const Problem r = Read({"ac->c", "c->=cc"});
  const Symbol a = Letter(r, "a"), c = Letter(r, "c");
  ArcticInterpretation two{2, {}};
  two.letters.resize(r.alphabet.size());
  two.letters[a] = Arc({{1, kInf}, {0, 1}});
  two.letters[c] = Arc({{0, kInf}, {kInf, 0}});
  const Problem rest = Without(r, {}, r.weak);
  const std::string rel = Doc(r, ArcticRuleRemoval(r, two, rest, Get(NoStrictRules())));
  EXPECT_EQ(Verdict(rel), "CERTIFIED");
  // (1,1) of [a] down to 0: a c -> c only weakly decreasing.
  two.letters[a] = Arc({{0, kInf}, {0, 1}});
  EXPECT_FALSE(Certified(Doc(r, ArcticRuleRemoval(r, two, rest, Get(NoStrictRules())))));
}

// What the certifier reads differently is refused before a file is written: a finite
// constant (not monotone there), a -infinity (1,1) entry, a negative entry.
TEST(CpfSteps, ArcticRuleRemovalRefusesMapsTheCertifierDoesNotTakeAsMonotone) {
  const Problem p = Read({"aa->a"});
  const Problem empty = Without(p, {}, {});
  const Fragment leaf = Get(NoStrictRules());
  ArcticInterpretation in{1, {Arc({{1}})}};
  in.letters[0].constant[0] = mpz_class(0);
  EXPECT_FALSE(Ok(ArcticRuleRemoval(p, in, empty, leaf)));
  in = ArcticInterpretation{1, {Arc({{kInf}})}};
  EXPECT_FALSE(Ok(ArcticRuleRemoval(p, in, empty, leaf)));
  in = ArcticInterpretation{1, {Arc({{-1}})}};
  EXPECT_FALSE(Ok(ArcticRuleRemoval(p, in, empty, leaf)));
  in = ArcticInterpretation{1, {Arc({{1}})}};
  EXPECT_TRUE(Ok(ArcticRuleRemoval(p, in, empty, leaf)));
}

// Weights with a zero weight (x -> x + 0 is still monotone) on a relative problem.
TEST(CpfSteps, WeightsAsAnInterpretationOfDimensionOne) {
  VELKIN_REQUIRE_CETA();
  const Problem p = Read({"ab->b", "c->=cb"});
  const Problem rest = Without(p, {}, p.weak);
  const auto cert = [&](long a) {
    return Doc(p, RuleRemoval(p, Weights(p, {{"a", a}, {"c", 1}}), rest, Get(NoStrictRules())));
  };
  EXPECT_EQ(Verdict(cert(1)), "CERTIFIED");
  EXPECT_FALSE(Certified(cert(0)));
}

// R = {a a -> a} / S = {b ->= b, a a ->= a, a b ->= b}: the weak rules b ->= b and
// a a ->= a go, a b ->= b stays. Weights prove the rest: [a] = x + 1, [b] = x.
TEST(CpfSteps, TrivialWeakRulesDroppedByEqualityRemovalAndSplit) {
  VELKIN_REQUIRE_CETA();
  const Problem p = Read({"aa->a", "b->=b", "aa->=a", "ab->=b"});
  ASSERT_EQ(p.weak.size(), 3u);
  const Problem after = Without(p, p.strict, {p.weak[2]});
  const Fragment sub = Get(RuleRemoval(after, Weights(after, {{"a", 1}}),
                                       Without(p, {}, {p.weak[2]}), Get(NoStrictRules())));
  const Written w = TrivialWeakRules(p, after, sub);
  const std::string good = Doc(p, w);
  EXPECT_EQ(Verdict(good), "CERTIFIED");
  EXPECT_NE(good.find("<equalityRemoval>"), std::string::npos);
  EXPECT_NE(good.find("<split>"), std::string::npos);
  // Without the strict rules listed, the split's second part keeps a a -> a.
  EXPECT_FALSE(Certified(ReplaceBetween(good, "<split><trs>", "</trs>", "<rules></rules>")));
  // The same proof of a problem whose weak b ->= b is b ->= a b: no rule l ->= l to
  // drop, and [a] = x + 1 does not orient it.
  Problem other = p;
  other.weak[0].rhs = {Letter(p, "a"), Letter(p, "b")};
  const std::string forged = Get(Document(other, Get(w), "velkin-test")).xml;
  EXPECT_FALSE(Certified(forged));
}

TEST(CpfSteps, TrivialWeakRulesRefusedWhenTheSubproblemDiffersAndLoopsCarryOver) {
  const Problem p = Read({"a->aa", "a->=aa", "b->=b"});
  const Problem after = Without(p, p.strict, {});
  // A loop of a -> a a: a -> a a = a . a.
  Loop loop{{Letter(p, "a")}, {LoopStep{0, p.strict[0], false, {0, 0}}}, {}, {0}};
  const Fragment sub = Get(LoopProof(after, loop));
  // Keeping b ->= b is not the step's subproblem.
  EXPECT_FALSE(Ok(TrivialWeakRules(p, Without(p, p.strict, {p.weak[1]}), sub)));
  const Written w = TrivialWeakRules(p, after, sub);
  ASSERT_TRUE(Ok(w)) << std::get<std::string>(w);
  VELKIN_REQUIRE_CETA();
  EXPECT_EQ(Verdict(Doc(p, w)), "CERTIFIED");
}

// R = {a b -> b} / S = {->= c} (an empty left side): closed on the left, right and both
// sides by a, b and c; then weights [a] = x + 1 remove everything. Dropping one
// context from the certificate is REJECTED (the closure is incomplete).
TEST(CpfSteps, ContextClosureOnEachSide) {
  VELKIN_REQUIRE_CETA();
  const Problem p = Read({"ab->b", "->=c"});
  const Symbol a = Letter(p, "a"), b = Letter(p, "b"), c = Letter(p, "c");
  const auto closed = [&](ClosureSide side) {
    Problem q = p;
    q.strict.clear();
    q.weak.clear();
    for (const auto* rules : {&p.strict, &p.weak})
      for (const Rule& r : *rules)
        for (Symbol x : {a, b, c})
          for (Symbol y : {a, b, c}) {
            if (side != ClosureSide::Both && y != a) continue;
            Rule k = r;
            if (side != ClosureSide::Right) {
              k.lhs.insert(k.lhs.begin(), x);
              k.rhs.insert(k.rhs.begin(), x);
            }
            if (side != ClosureSide::Left) {
              const Symbol z = side == ClosureSide::Both ? y : x;
              k.lhs.push_back(z);
              k.rhs.push_back(z);
            }
            (rules == &p.strict ? q.strict : q.weak).push_back(k);
          }
    return q;
  };
  for (const ClosureSide side : {ClosureSide::Left, ClosureSide::Right, ClosureSide::Both}) {
    SCOPED_TRACE(static_cast<int>(side));
    const Problem q = closed(side);
    const std::string good = Doc(p, ContextClosure(p, side, q, RemovedByWeights(q, {{"a", 1}})));
    EXPECT_EQ(Verdict(good), "CERTIFIED");
    const std::string context = "<funContext><name>b</name><before/><box/><after/></funContext>";
    EXPECT_FALSE(Certified(Replace(good, context, "")));
    // The closure on another side is not this step's subproblem.
    const ClosureSide wrong = side == ClosureSide::Left ? ClosureSide::Right : ClosureSide::Left;
    EXPECT_FALSE(Ok(ContextClosure(p, wrong, q, RemovedByWeights(q, {{"a", 1}}))));
  }
}

// Root labelling after a left closure: R = {a b -> b} / S = {b ->= b b}, closed by a
// and b, then every letter labelled by its right neighbour (the last one by the letter
// the variable stands for). The labelled letters are named "xy" here; the proof below
// names them so and the certificate writes them as labelled letters.
struct Labelled {
  Problem problem;
  std::vector<RootLabel> labels;
};

Labelled RootLabelled(const Problem& closed) {
  Labelled out{closed, {}};
  out.problem.alphabet = Alphabet{};
  const int n = closed.alphabet.size();
  for (Symbol x = 0; x < n; ++x)
    for (Symbol y = 0; y < n; ++y) {
      out.problem.alphabet.Add(closed.alphabet.names[x] + closed.alphabet.names[y]);
      out.labels.push_back(RootLabel{x, y});
    }
  const auto label = [n](const Word& w, Symbol last) {
    Word out;
    for (std::size_t i = 0; i < w.size(); ++i)
      out.push_back(w[i] * n + (i + 1 < w.size() ? w[i + 1] : last));
    return out;
  };
  for (auto* rules : {&out.problem.strict, &out.problem.weak}) {
    std::vector<Rule> labelled;
    for (const Rule& r : *rules)
      for (Symbol last = 0; last < n; ++last)
        labelled.push_back({label(r.lhs, last), label(r.rhs, last)});
    *rules = std::move(labelled);
  }
  return out;
}

TEST(CpfSteps, RootLabellingAfterLeftClosure) {
  VELKIN_REQUIRE_CETA();
  const Problem p = Read({"ab->b", "b->=bb"});
  Problem closed = p;
  for (auto* rules : {&closed.strict, &closed.weak}) {
    std::vector<Rule> out;
    for (const Rule& r : *rules)
      for (Symbol x = 0; x < p.alphabet.size(); ++x) {
        Rule k{{x}, {x}};
        k.lhs.insert(k.lhs.end(), r.lhs.begin(), r.lhs.end());
        k.rhs.insert(k.rhs.end(), r.rhs.begin(), r.rhs.end());
        out.push_back(k);
      }
    *rules = std::move(out);
  }
  const Labelled l = RootLabelled(closed);
  // [a?] = x + 1, [b?] = x: a b -> b loses an a.
  const Fragment sub = RemovedByWeights(l.problem, {{"aa", 1}, {"ab", 1}});
  const Written labelling = RootLabelling(closed, l.labels, l.problem, sub);
  const std::string good = Doc(p, ContextClosure(p, ClosureSide::Left, closed, Get(labelling)));
  EXPECT_EQ(Verdict(good), "CERTIFIED");
  EXPECT_EQ(good.find("<name>ab</name>"), std::string::npos);  // every letter relabelled
  // One labelled strict rule missing.
  Labelled fewer = l;
  fewer.problem.strict.pop_back();
  const std::string missing = Doc(
      p,
      ContextClosure(p, ClosureSide::Left, closed,
                     Get(RootLabelling(closed, fewer.labels, fewer.problem,
                                       RemovedByWeights(fewer.problem, {{"aa", 1}, {"ab", 1}})))));
  EXPECT_FALSE(Certified(missing));
  // Without the closure the model condition fails: a b -> b changes the first letter.
  const Labelled open = RootLabelled(p);
  EXPECT_FALSE(
      Certified(Doc(p, RootLabelling(p, open.labels, open.problem,
                                     RemovedByWeights(open.problem, {{"aa", 1}, {"ab", 1}})))));
  // A labelled weak rule among the strict ones, and letters that share a label: refused.
  Labelled swapped = l;
  std::swap(swapped.problem.strict[0], swapped.problem.weak[0]);
  EXPECT_FALSE(Ok(RootLabelling(closed, swapped.labels, swapped.problem, sub)));
  Labelled same = l;
  same.labels[1] = same.labels[0];
  EXPECT_FALSE(Ok(RootLabelling(closed, same.labels, same.problem, sub)));
}

// Semantic labelling with the model of the parity of a's: [a](k) = 1 - k, [b](k) = k,
// on R = {a a b -> b} / S = {b ->= b b}. Every letter is labelled by the value of what
// follows it.
TEST(CpfSteps, ModelLabellingWithTheParityOfAs) {
  VELKIN_REQUIRE_CETA();
  const Problem p = Read({"aab->b", "b->=bb"});
  const Symbol a = Letter(p, "a"), b = Letter(p, "b");
  const auto build = [&](const FiniteModel& model) {
    Labelled out{p, {}};
    out.problem.alphabet = Alphabet{};
    std::vector<ModelLabel> labels;
    for (Symbol x : {a, b})
      for (int k = 0; k < 2; ++k) {
        out.problem.alphabet.Add(p.alphabet.names[x] + std::to_string(k));
        labels.push_back(ModelLabel{x, k});
      }
    const auto letter = [&](Symbol x, int k) { return static_cast<Symbol>((x == a ? 0 : 2) + k); };
    const auto label = [&](const Word& w, int k) {
      Word out(w.size());
      for (std::size_t i = w.size(); i-- > 0;) {
        out[i] = letter(w[i], k);
        k = model.values[w[i]][k];
      }
      return out;
    };
    for (auto* rules : {&out.problem.strict, &out.problem.weak}) {
      std::vector<Rule> labelled;
      for (const Rule& r : *rules)
        for (int k = 0; k < 2; ++k) labelled.push_back({label(r.lhs, k), label(r.rhs, k)});
      *rules = std::move(labelled);
    }
    const Fragment sub = RemovedByWeights(out.problem, {{"a0", 1}, {"a1", 1}});
    return std::pair{labels, Doc(p, ModelLabelling(p, model, labels, out.problem, sub))};
  };
  FiniteModel parity{2, {}};
  parity.values.resize(p.alphabet.size());
  parity.values[a] = {1, 0};
  parity.values[b] = {0, 1};
  const auto [labels, good] = build(parity);
  EXPECT_EQ(Verdict(good), "CERTIFIED");
  EXPECT_NE(good.find("<numberLabel>"), std::string::npos);
  // b flipping too breaks the model condition of b ->= b b.
  FiniteModel flip = parity;
  flip.values[b] = {1, 0};
  EXPECT_FALSE(Certified(build(flip).second));
  // A value outside the carrier is refused (the certifier would not say so).
  FiniteModel outside = parity;
  outside.values[a] = {1, 2};
  EXPECT_FALSE(Ok(ModelLabelling(p, outside, labels, p, Get(NoStrictRules()))));
}

// R = {a a -> a, b -> a}: D = {b -> a} first (weights [b] = x + 1, a a ->= a weak), then
// {a a -> a} by [a] = x + 1. Splitting by the other rule does not fit the proofs.
TEST(CpfSteps, SplitIntoTwoProblems) {
  VELKIN_REQUIRE_CETA();
  const Problem p = Read({"aa->a", "b->a"});
  const Rule aa = p.strict[0], ba = p.strict[1];
  const Problem first = Without(p, {ba}, {aa}), second = Without(p, {aa}, {});
  const Fragment one = Get(
      RuleRemoval(first, Weights(first, {{"b", 1}}), Without(p, {}, {aa}), Get(NoStrictRules())));
  const Fragment two = RemovedByWeights(second, {{"a", 1}});
  const std::string good = Doc(p, Split(p, {ba}, first, one, second, two));
  EXPECT_EQ(Verdict(good), "CERTIFIED");
  // Listing a a -> a as D instead: b -> a is then not removed by [a] = x + 1.
  const std::string other = Replace(Rules(p.alphabet, {aa}), "<var>x</var>", "<var>x1</var>");
  EXPECT_FALSE(Certified(ReplaceBetween(good, "<split><trs>", "</trs>", other)));
  // Problems that are not D over the rest and the rest: refused.
  EXPECT_FALSE(Ok(Split(p, {ba}, second, two, first, one)));
}

}  // namespace
}  // namespace velkin::strong::cpf
