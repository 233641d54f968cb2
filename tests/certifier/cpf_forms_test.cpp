// Every certificate form, hand-built for small systems and judged by the certifier:
// sound proofs are CERTIFIED, proofs with one number or one step changed are REJECTED.
#include <gtest/gtest.h>

#include <fstream>

#include "ceta_util.h"
#include "cpf_test_util.h"

namespace velkin::strong::cpf {
namespace {

using cetatest::Certify;
using namespace testutil;
namespace fs = std::filesystem;

// a b -> b a: rule removal by a two-dimensional interpretation whose matrix is not
// symmetric (read with rows for columns, the rule would not decrease); then the emptied
// problem.
TEST(CpfForms, RuleRemovalByNaturalMatricesAndItsTamperedCopy) {
  VELKIN_REQUIRE_CETA();
  const Problem p = Read({"ab->ba"});
  NaturalInterpretation in{2, {}};
  in.letters.resize(p.alphabet.size());
  // [a] = (1 1; 0 1) x, [b] = x + (0, 1): [ab] = M_a x + (1, 1), [ba] = M_a x + (0, 1).
  in.letters[Letter(p, "a")] = Nat({{1, 1}, {0, 1}}, {0, 0});
  in.letters[Letter(p, "b")] = Nat({{1, 0}, {0, 1}}, {0, 1});
  const Problem empty = Without(p, {}, {});
  const std::string good = Doc(p, RuleRemoval(p, in, empty, Get(NoStrictRules())));
  EXPECT_EQ(Certify(good).first_line, "CERTIFIED") << Certify(good).output;

  // One entry changed: [a] = (1 0; 0 1) x gives [ab] = [ba], no longer strict.
  in.letters[Letter(p, "a")] = Nat({{1, 0}, {0, 1}}, {0, 0});
  const std::string swapped = Doc(p, RuleRemoval(p, in, empty, Get(NoStrictRules())));
  EXPECT_EQ(Certify(swapped).first_line, "REJECTED");
}

// Checked against an XTC input, the certificate must use the input's variable: the
// certifier compares rules variable by variable.
TEST(CpfForms, CheckedAgainstTheInputWithItsVariable) {
  VELKIN_REQUIRE_CETA();
  // c -> d goes first, a b -> b a stays (and is compared with the input), then goes.
  const Problem p = Read({"ab->ba", "c->d"});
  const Symbol a = Letter(p, "a"), b = Letter(p, "b"), c = Letter(p, "c");
  NaturalInterpretation first{1, {}}, second{1, {}};
  first.letters.assign(p.alphabet.size(), Nat({{1}}, {0}));
  first.letters[c] = Nat({{1}}, {1});
  second.letters.assign(p.alphabet.size(), Nat({{1}}, {0}));
  second.letters[a] = Nat({{2}}, {0});
  second.letters[b] = Nat({{1}}, {1});
  const Problem rest = Without(p, {p.strict[0]}, {});
  const Fragment proof = Get(RuleRemoval(
      p, first, rest, Get(RuleRemoval(rest, second, Without(p, {}, {}), Get(NoStrictRules())))));
  // The XTC text of the two rules with variable v.
  const auto xtc = [](const std::string& v) {
    const auto side = [&](const std::string& letters) {
      std::string t;
      for (char l : letters) t += "<funapp><name>" + std::string(1, l) + "</name><arg>";
      t += "<var>" + v + "</var>";
      for (std::size_t i = 0; i < letters.size(); ++i) t += "</arg></funapp>";
      return t;
    };
    std::string rules;
    for (const auto& [l, r] : {std::pair{"ab", "ba"}, std::pair{"c", "d"}})
      rules += "<rule><lhs>" + side(l) + "</lhs><rhs>" + side(r) + "</rhs></rule>";
    std::string signature;
    for (const char* l : {"a", "b", "c", "d"})
      signature += "<funcsym><name>" + std::string(l) + "</name><arity>1</arity></funcsym>";
    return "<?xml version=\"1.0\"?><problem type=\"termination\"><trs><rules>" + rules +
           "</rules><signature>" + signature +
           "</signature></trs><strategy>FULL</strategy></problem>\n";
  };
  const fs::path dir = fs::temp_directory_path() / ("velkin-cpf-xtc-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  for (const std::string v : {"x1", "x"}) std::ofstream((dir / (v + ".xml")).string()) << xtc(v);
  const auto check = [&](const std::string& input, const std::string& variable) {
    std::ofstream((dir / "c.cpf").string()) << Get(Document(p, proof, "velkin-test", variable)).xml;
    return cetatest::CertifyFile((dir / "c.cpf").string(), (dir / input).string(), "YES");
  };
  EXPECT_EQ(check("x1.xml", kDefaultVariable).first_line, "CERTIFIED");
  EXPECT_EQ(check("x.xml", "x").first_line, "CERTIFIED");
  EXPECT_EQ(check("x.xml", "x1").first_line, "REJECTED");
  fs::remove_all(dir);
}

TEST(CpfForms, ReversalThenRemoval) {
  VELKIN_REQUIRE_CETA();
  const Problem p = Read({"aab->ba"});
  Problem rev = p;
  rev.strict = Reversed(p.strict);
  NaturalInterpretation in{1, {}};
  in.letters.resize(p.alphabet.size());
  in.letters[Letter(p, "a")] = Nat({{1}}, {1});
  in.letters[Letter(p, "b")] = Nat({{1}}, {0});
  const Fragment removal = Get(RuleRemoval(rev, in, Without(rev, {}, {}), Get(NoStrictRules())));
  const std::string cert = Doc(p, Reversal(p, rev, removal));
  EXPECT_EQ(Certify(cert).first_line, "CERTIFIED") << Certify(cert).output;
}

// R = {a -> b}, S = {b c -> c b}: a strictly above b, the weak rule kept; then R is empty.
TEST(CpfForms, RelativeRuleRemovalKeepsWeakRules) {
  VELKIN_REQUIRE_CETA();
  const Problem p = Read({"a->b", "bc->=cb"});
  NaturalInterpretation in{1, {}};
  in.letters.resize(p.alphabet.size());
  in.letters[Letter(p, "a")] = Nat({{1}}, {1});
  in.letters[Letter(p, "b")] = Nat({{1}}, {0});
  in.letters[Letter(p, "c")] = Nat({{2}}, {0});
  const Problem after = Without(p, {}, p.weak);
  const std::string cert = Doc(p, RuleRemoval(p, in, after, Get(NoStrictRules())));
  EXPECT_EQ(Certify(cert).first_line, "CERTIFIED") << Certify(cert).output;
}

// Letter names that XML would misread are escaped.
TEST(CpfForms, LetterNamesAreEscaped) {
  VELKIN_REQUIRE_CETA();
  Problem p = Read({"a->b", "bc->=cb"});
  const Symbol a = Letter(p, "a"), b = Letter(p, "b"), c = Letter(p, "c");
  p.alphabet.names[a] = "<&>";
  p.alphabet.names[c] = "\"'";
  NaturalInterpretation in{1, {}};
  in.letters.resize(p.alphabet.size());
  in.letters[a] = Nat({{1}}, {1});
  in.letters[b] = Nat({{1}}, {0});
  in.letters[c] = Nat({{2}}, {0});
  const std::string cert = Doc(p, RuleRemoval(p, in, Without(p, {}, p.weak), Get(NoStrictRules())));
  EXPECT_NE(cert.find("<name>&lt;&amp;&gt;</name>"), std::string::npos);
  EXPECT_EQ(Certify(cert).first_line, "CERTIFIED") << Certify(cert).output;
}

// The dependency pair problem of {a b -> b a, c d -> a b}: pairs a# b -> a# and
// c# d -> a# b, the rules as they are.
struct PairProblem {
  Problem standard, dp;
  Rule loop_pair, entry_pair;
};

PairProblem Pairs(const std::vector<std::string>& lines) {
  PairProblem out;
  out.standard = Read(lines);
  out.dp = out.standard;
  out.dp.kind = ProblemKind::DependencyPairs;
  const Symbol a = Letter(out.standard, "a"), b = Letter(out.standard, "b");
  const Symbol c = Letter(out.standard, "c"), d = Letter(out.standard, "d");
  const Symbol am = out.dp.alphabet.MarkOf(a), cm = out.dp.alphabet.MarkOf(c);
  out.loop_pair = Rule{{am, b}, {am}};
  out.entry_pair = Rule{{cm, d}, {am, b}};
  out.dp.strict = {out.loop_pair, out.entry_pair};
  out.dp.weak = out.standard.strict;
  return out;
}

template <typename Map>
std::vector<Map> Maps(const Problem& p, const std::vector<std::pair<std::string, Map>>& given,
                      const Map& rest) {
  std::vector<Map> out(p.alphabet.size(), rest);
  for (const auto& [name, m] : given) {
    bool found = false;
    for (Symbol s = 0; s < p.alphabet.size(); ++s)
      if (p.alphabet.names[s] == name) out[s] = m, found = true;
    EXPECT_TRUE(found) << name;
  }
  return out;
}

// Dependency pairs, the graph with an acyclic and a cyclic component, and a natural
// reduction pair that removes the cyclic pair.
TEST(CpfForms, DependencyPairsGraphAndNaturalReductionPair) {
  VELKIN_REQUIRE_CETA();
  const PairProblem pp = Pairs({"ab->ba", "cd->ab"});
  NaturalInterpretation in{
      1, Maps<NaturalMap>(pp.dp,
                          {{"b", Nat({{1}}, {1})}, {"d", Nat({{1}}, {1})}, {"c", Nat({{2}}, {0})}},
                          Nat({{1}}, {0}))};
  Problem loop_only = pp.dp;
  loop_only.strict = {pp.loop_pair};
  Problem none = loop_only;
  none.strict = {};
  const Fragment removed = Get(ReductionPair(loop_only, in, none, Get(NoPairs())));
  // The graph: the entry pair leads to the loop pair, which leads to itself. Given in
  // the wrong order, the components are written in topological order.
  const ArcTest arcs = [&](const Rule&, const Rule& to) { return to == pp.loop_pair; };
  const std::vector<GraphComponent> components{GraphComponent{{pp.loop_pair}, true, removed},
                                               GraphComponent{{pp.entry_pair}, false, {}}};
  const Fragment graph = Get(DependencyGraph(pp.dp, components, arcs));
  const std::string cert = Doc(pp.standard, DependencyPairs(pp.standard, pp.dp, graph));
  EXPECT_EQ(Certify(cert).first_line, "CERTIFIED") << Certify(cert).output;

  // Calling the loop pair acyclic is refused by the writer; with a graph that lies about
  // the loop, the certifier refuses the certificate.
  const std::vector<GraphComponent> unproved{GraphComponent{{pp.entry_pair}, false, {}},
                                             GraphComponent{{pp.loop_pair}, false, {}}};
  EXPECT_FALSE(Ok(DependencyGraph(pp.dp, unproved, arcs)));
  const ArcTest lie = [&](const Rule& from, const Rule& to) {
    return from == pp.entry_pair && to == pp.loop_pair;
  };
  const std::string lied = Doc(
      pp.standard, DependencyPairs(pp.standard, pp.dp, Get(DependencyGraph(pp.dp, unproved, lie))));
  EXPECT_EQ(Certify(lied).first_line, "REJECTED");
  // Arcs both ways between two components: they are one component, refused.
  const ArcTest both = [](const Rule&, const Rule&) { return true; };
  EXPECT_FALSE(Ok(DependencyGraph(pp.dp,
                                  {GraphComponent{{pp.entry_pair}, true, removed},
                                   GraphComponent{{pp.loop_pair}, true, removed}},
                                  both)));
}

// c a b -> a b gives no pair a# b: its right side is a proper suffix of its left side.
// The certifier's pairs leave it out too.
TEST(CpfForms, PairsOnProperSuffixesAreLeftOut) {
  VELKIN_REQUIRE_CETA();
  const Problem p = Read({"cab->ab", "ab->ba"});
  Problem dp = p;
  dp.kind = ProblemKind::DependencyPairs;
  const Symbol am = dp.alphabet.MarkOf(Letter(p, "a"));
  dp.strict = {Rule{{am, Letter(p, "b")}, {am}}};
  dp.weak = p.strict;
  NaturalInterpretation in{1, Maps<NaturalMap>(dp, {{"b", Nat({{1}}, {1})}}, Nat({{1}}, {0}))};
  Problem none = dp;
  none.strict = {};
  const std::string cert =
      Doc(p, DependencyPairs(p, dp, Get(ReductionPair(dp, in, none, Get(NoPairs())))));
  EXPECT_EQ(Certify(cert).first_line, "CERTIFIED") << Certify(cert).output;
}

ArcticMap Arc(std::vector<std::vector<Arctic>> m, std::vector<Arctic> c) {
  return {m, c};
}

TEST(CpfForms, ArcticReductionPairOnPairs) {
  VELKIN_REQUIRE_CETA();
  const PairProblem pp = Pairs({"ab->ba", "cd->ab"});
  const Arctic inf = std::nullopt;
  // Every letter x -> 0 (x) x, except [b] = 1 (x) x and [d] = 1 (x) x: the pairs lose
  // their last letter, the rules keep their letters.
  ArcticInterpretation in{
      1, Maps<ArcticMap>(pp.dp,
                         {{"b", Arc({{mpz_class(1)}}, {inf})}, {"d", Arc({{mpz_class(2)}}, {inf})}},
                         Arc({{mpz_class(0)}}, {inf}))};
  Problem none = pp.dp;
  none.strict = {};
  const std::string cert =
      Doc(pp.standard,
          DependencyPairs(pp.standard, pp.dp, Get(ReductionPair(pp.dp, in, none, Get(NoPairs())))));
  EXPECT_EQ(Certify(cert).first_line, "CERTIFIED") << Certify(cert).output;
  // [d] = 0 (x) x makes c# d -> a# b only weakly decreasing.
  const std::string weak = Replace(cert, "<integer>2</integer>", "<integer>0</integer>");
  EXPECT_EQ(Certify(weak).first_line, "REJECTED");
}

// R/S with R = {a b -> b a}, S = {a c -> c a} terminates because R u S does, shown by
// dependency pairs: the relative certificate carries the standard proof.
TEST(CpfForms, RelativeAsStandardCarriesAPairProof) {
  VELKIN_REQUIRE_CETA();
  const Problem rel = Read({"ab->ba", "ac->=ca"});
  Problem std_problem = rel;
  std_problem.strict = {rel.strict[0], rel.weak[0]};
  std_problem.weak = {};
  Problem dp = std_problem;
  dp.kind = ProblemKind::DependencyPairs;
  const Symbol a = Letter(rel, "a"), b = Letter(rel, "b"), c = Letter(rel, "c");
  const Symbol am = dp.alphabet.MarkOf(a);
  dp.strict = {Rule{{am, b}, {am}}, Rule{{am, c}, {am}}};
  dp.weak = std_problem.strict;
  NaturalInterpretation in{
      1, Maps<NaturalMap>(dp, {{"b", Nat({{1}}, {1})}, {"c", Nat({{1}}, {1})}}, Nat({{1}}, {0}))};
  Problem none = dp;
  none.strict = {};
  const Fragment pair_proof = Get(ReductionPair(dp, in, none, Get(NoPairs())));
  const Fragment standard =
      Get(DependencyPairs(std_problem, dp,
                          Get(DependencyGraph(dp, {GraphComponent{dp.strict, true, pair_proof}},
                                              [](const Rule&, const Rule&) { return true; }))));
  const std::string cert = Doc(rel, RelativeAsStandard(rel, std_problem, standard));
  EXPECT_EQ(Certify(cert).first_line, "CERTIFIED") << Certify(cert).output;
}

// a b -> b c, c -> a b b: a b -> b c -> b a b b = b (a b) b, a loop with p = q = b.
TEST(CpfForms, LoopOfAStandardProblemAndATamperedStep) {
  VELKIN_REQUIRE_CETA();
  const Problem p = Read({"ab->bc", "c->abb"});
  const Symbol a = Letter(p, "a"), b = Letter(p, "b"), c = Letter(p, "c");
  const Loop loop{
      {a, b},
      {LoopStep{0, p.strict[0], false, {b, c}}, LoopStep{1, p.strict[1], false, {b, a, b, b}}},
      {b},
      {b}};
  const std::string cert = Doc(p, LoopProof(p, loop));
  EXPECT_EQ(Certify(cert).first_line, "CERTIFIED") << Certify(cert).output;
  // The second step moved to the first letter: b c does not start with c.
  const std::string moved = Replace(cert, "<positionInTerm><position>1</position></positionInTerm>",
                                    "<positionInTerm></positionInTerm>");
  EXPECT_EQ(Certify(moved).first_line, "REJECTED");
}

// The same derivation with a b -> b c weak: a relative loop (one strict step), after a
// reversal and a rule removal that both keep it.
TEST(CpfForms, RelativeLoopBehindReversalAndRemoval) {
  VELKIN_REQUIRE_CETA();
  const Problem p = Read({"c->abb", "ab->=bc", "dd->d"});
  const Symbol a = Letter(p, "a"), b = Letter(p, "b"), c = Letter(p, "c");
  const Problem kept = Without(p, {p.strict[0]}, p.weak);
  const Loop loop{
      {a, b},
      {LoopStep{0, kept.weak[0], true, {b, c}}, LoopStep{1, kept.strict[0], false, {b, a, b, b}}},
      {b},
      {b}};
  const Fragment looped = Get(LoopProof(kept, loop));
  EXPECT_EQ(looped.kind, FragmentKind::RelativeNontermination);
  const std::string cert = Doc(p, RuleRemovalNontermination(p, kept, looped));
  EXPECT_EQ(Certify(cert).first_line, "CERTIFIED") << Certify(cert).output;

  // Reversed: b a -> c b (weak), c -> b b a: from b a: c b, then b b a b = b (b a) b.
  Problem rev = p;
  rev.strict = Reversed(p.strict);
  rev.weak = Reversed(p.weak);
  const Problem rev_kept = Without(rev, {rev.strict[0]}, rev.weak);
  const Loop rev_loop{{b, a},
                      {LoopStep{0, rev_kept.weak[0], true, {c, b}},
                       LoopStep{0, rev_kept.strict[0], false, {b, b, a, b}}},
                      {b},
                      {b}};
  const Fragment inner =
      Get(RuleRemovalNontermination(rev, rev_kept, Get(LoopProof(rev_kept, rev_loop))));
  const std::string rev_cert = Doc(p, Reversal(p, rev, inner));
  EXPECT_EQ(Certify(rev_cert).first_line, "CERTIFIED") << Certify(rev_cert).output;

  // Without the marker the weak step counts as a step of R, which does not have it.
  const std::string unmarked = Replace(cert, "<relative/>", "");
  EXPECT_EQ(Certify(unmarked).first_line, "REJECTED");
}

// A weak step alone is no loop of R/S, and the writer refuses to claim one.
TEST(CpfForms, LoopWithoutStrictStepIsNotWritten) {
  const Problem p = Read({"c->c", "a->=a"});
  const Loop loop{{Letter(p, "a")}, {LoopStep{0, p.weak[0], true, {Letter(p, "a")}}}, {}, {}};
  EXPECT_FALSE(Ok(LoopProof(p, loop)));
}

// A strict rule with an empty left side: certified as non-terminating, standard and
// relative.
TEST(CpfForms, EmptyLeftSide) {
  VELKIN_REQUIRE_CETA();
  const Problem p = Read({"->a", "ab->ba"});
  const std::string cert = Doc(p, EmptyLeftSide(false));
  EXPECT_EQ(Certify(cert).first_line, "CERTIFIED") << Certify(cert).output;
  const Problem rel = Read({"->a", "ab->=ba"});
  const std::string rel_cert = Doc(rel, EmptyLeftSide(true));
  EXPECT_EQ(Certify(rel_cert).first_line, "CERTIFIED") << Certify(rel_cert).output;
  // A loop that starts in the empty word is written the same way.
  const Loop loop{
      {}, {LoopStep{0, rel.strict[0], false, {Letter(rel, "a")}}}, {Letter(rel, "a")}, {}};
  const std::string loop_cert = Doc(rel, LoopProof(rel, loop));
  EXPECT_EQ(Certify(loop_cert).first_line, "CERTIFIED") << Certify(loop_cert).output;
  // A weak empty left side in a loop: R/S = {b -> ε}/{ε ->= b} loops, ε -> b -> ε.
  const Problem weak = Read({"b->", "->=b"});
  const Symbol b = Letter(weak, "b");
  const Loop weak_loop{
      {}, {LoopStep{0, weak.weak[0], true, {b}}, LoopStep{0, weak.strict[0], false, {}}}, {}, {}};
  const std::string weak_cert = Doc(weak, LoopProof(weak, weak_loop));
  EXPECT_EQ(Certify(weak_cert).first_line, "CERTIFIED") << Certify(weak_cert).output;
}

}  // namespace
}  // namespace velkin::strong::cpf
