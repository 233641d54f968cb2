// The dependency pair transformation and the dependency graph: hand-computed pairs,
// graphs and components, the estimate against explored derivations, and re-checks
// that reject what is wrong.
#include "strong/techniques/dependency_pairs.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "../strong_test_util.h"
#include "strong/techniques/dependency_graph.h"

namespace velkin::strong {
namespace {

using test::Plain;

std::vector<std::string> Texts(const Problem& p) {
  std::vector<std::string> out;
  for (const Rule& r : p.strict) out.push_back(RuleText(p.alphabet, r));
  return out;
}

Problem Pairs(const std::vector<std::string>& lines) {
  const Problem p = Plain(lines);
  const Result r = DependencyPairs(p);
  EXPECT_EQ(r.kind, Result::Kind::Transformed);
  EXPECT_EQ(RecheckResult(p, r), "");
  return r.subproblems.at(0);
}

TEST(DependencyPairs, PairsOfSmallSystemsByHand) {
  {
    const Problem dp = Pairs({"ab->ba"});
    EXPECT_TRUE(dp.IsDependencyPairs());
    EXPECT_EQ(Texts(dp), (std::vector<std::string>{"a# b -> a#"}));
    ASSERT_EQ(dp.weak.size(), 1u);
    EXPECT_EQ(RuleText(dp.alphabet, dp.weak[0]), "a b -> b a");
  }
  {  // two defined letters on one right side: a pair for each
    const Problem dp = Pairs({"ab->bca", "ca->ab"});
    EXPECT_EQ(Texts(dp), (std::vector<std::string>{"a# b -> c# a", "a# b -> a#", "c# a -> a# b"}));
  }
  {  // a a b -> a b: both candidates are proper suffixes of a a b and left out
    const Problem dp = Pairs({"aab->ab", "b->a"});
    EXPECT_EQ(Texts(dp), (std::vector<std::string>{"b# -> a#"}));
  }
  {  // the same pair from two rules is listed once; a letter "a#" in the input does
     // not clash with the mark of a
    Problem p;
    const Symbol a = p.alphabet.Add("a"), b = p.alphabet.Add("b"), a1 = p.alphabet.Add("a#");
    p.strict = {{{a}, {b}}, {{a}, {b}}, {{b}, {a1, a}}};
    const Result r = DependencyPairs(p);
    ASSERT_EQ(RecheckResult(p, r), "");
    EXPECT_EQ(Texts(r.subproblems.at(0)), (std::vector<std::string>{"a## -> b#", "b# -> a##"}));
  }
}

TEST(DependencyPairs, RefusesWhereItWouldBeUnsound) {
  EXPECT_EQ(DependencyPairs(Plain({"a->b", "b->=bb"})).kind, Result::Kind::Nothing);
  EXPECT_EQ(DependencyPairs(Plain({"->a"})).kind, Result::Kind::Nothing);
  const Problem dp = Pairs({"ab->ba"});
  EXPECT_EQ(DependencyPairs(dp).kind, Result::Kind::Nothing);
}

TEST(DependencyPairs, RecheckRejectsWrongPairsRulesAndMarks) {
  const Problem p = Plain({"ab->bca", "ca->ab", "aab->b"});
  const Result r = DependencyPairs(p);
  ASSERT_EQ(RecheckResult(p, r), "");
  const Problem good = r.subproblems[0];
  auto check = [&](Problem changed) { return r.witness->Recheck(p, {changed}); };

  Problem missing = good;
  missing.strict.erase(missing.strict.begin());
  EXPECT_NE(check(missing), "");

  Problem extra = good;  // a# a b -> a# b would be fine as a pair, but is not in DP(R)
  extra.strict.push_back(extra.strict.back());
  extra.strict.back().rhs.push_back(1);
  EXPECT_NE(check(extra), "");

  Problem twice = good;
  twice.strict.push_back(twice.strict[0]);
  EXPECT_NE(check(twice), "");

  Problem rules = good;
  rules.weak.pop_back();
  EXPECT_NE(check(rules), "");

  Problem unmarked = good;  // pairs over the letters of R: marks not fresh
  for (Rule& pair : unmarked.strict) pair.lhs[0] = unmarked.alphabet.marks[pair.lhs[0]];
  EXPECT_NE(check(unmarked), "");

  Problem odd_mark = good;  // a mark of the undefined letter b
  odd_mark.alphabet.MarkOf(1);
  EXPECT_NE(check(odd_mark), "");

  Problem relative = p;
  relative.weak.push_back(relative.strict[0]);
  EXPECT_NE(r.witness->Recheck(relative, r.subproblems), "");
}

TEST(DependencyGraph, CappingKeepsOnlyLettersNoStepCanTouch) {
  const Word t{9, 0, 1};                                      // x# a b
  EXPECT_EQ(StableLength(t, {{{1, 2}, {}}}), 2u);             // b is a prefix of b c: b may change
  EXPECT_EQ(StableLength(t, {{{0, 1, 2}, {}}}), 1u);          // a b agrees with a b c
  EXPECT_EQ(StableLength(t, {{{0, 2}, {}}}), 3u);             // a c never matches a b
  EXPECT_EQ(StableLength(t, {{{1}, {}}, {{0, 2}, {}}}), 1u);  // b capped, then a _ matches a c
  EXPECT_EQ(StableLength(t, {{{}, {0}}}), 1u);                // an empty left side matches anywhere
  EXPECT_EQ(StableLength({9}, {{{9}, {}}}), 1u);              // the first letter always stays
}

TEST(DependencyGraph, SplitsIntoComponentsInOrder) {
  // Pairs: 1: a# b -> a#, 2: c# d -> c#, 3: a# d -> c# d. Arcs 1->1, 1->3, 3->2, 2->2.
  const Problem dp = Pairs({"ab->ba", "cd->dc", "ad->cd"});
  ASSERT_EQ(Texts(dp), (std::vector<std::string>{"a# b -> a#", "c# d -> c#", "a# d -> c# d"}));
  EXPECT_EQ(EstimatedArcs(dp), (std::vector<std::vector<int>>{{0, 2}, {1}, {1}}));
  EXPECT_EQ(Components(EstimatedArcs(dp)), (std::vector<std::vector<int>>{{0}, {2}, {1}}));
  const Result r = DependencyGraph(dp, Budget());
  ASSERT_EQ(r.kind, Result::Kind::Transformed);
  EXPECT_EQ(RecheckResult(dp, r), "");
  ASSERT_EQ(r.subproblems.size(), 2u);
  EXPECT_EQ(Texts(r.subproblems[0]), (std::vector<std::string>{"a# b -> a#"}));
  EXPECT_EQ(Texts(r.subproblems[1]), (std::vector<std::string>{"c# d -> c#"}));
  // With its budget ended, the estimate stops early and the graph gives no step.
  const Budget ended = Budget().WithinSeconds(0);
  EXPECT_EQ(DependencyGraph(dp, ended).kind, Result::Kind::Nothing);
  EXPECT_EQ(EstimatedArcs(dp, &ended), (std::vector<std::vector<int>>(3)));
  EXPECT_EQ(r.subproblems[1].weak, dp.weak);

  // a# a -> a# b has no arc to itself: finite at once.
  const Problem single = Pairs({"aa->ab"});
  const Result proved = DependencyGraph(single, Budget());
  EXPECT_EQ(proved.kind, Result::Kind::Proved);
  EXPECT_EQ(RecheckResult(single, proved), "");

  // One component of all pairs: no progress.
  EXPECT_EQ(DependencyGraph(Pairs({"ab->ba"}), Budget()).kind, Result::Kind::Nothing);
}

TEST(DependencyGraph, RecheckRejectsOmittedArcsAndWrongSubproblems) {
  const Problem dp = Pairs({"ab->ba", "cd->dc", "ad->cd"});
  auto recheck = [&](std::vector<std::vector<int>> comps, std::vector<bool> kept,
                     std::vector<Problem> subs) {
    return DependencyGraphWitness(EstimatedArcs(dp), std::move(comps), std::move(kept))
        .Recheck(dp, subs);
  };
  const Result r = DependencyGraph(dp, Budget());
  const std::vector<Problem>& subs = r.subproblems;
  EXPECT_EQ(recheck({{0}, {2}, {1}}, {true, false, true}, subs), "");
  // Arc 3 -> 2 goes backwards.
  EXPECT_NE(recheck({{0}, {1}, {2}}, {true, true, false}, subs), "");
  // Pair 1's self-loop is possible: it may not be called finite.
  EXPECT_NE(recheck({{0}, {2}, {1}}, {false, false, true}, {subs[1]}), "");
  // A pair left out of every component.
  EXPECT_NE(recheck({{0}, {1}}, {true, true}, subs), "");
  // Subproblems swapped, or with a rule dropped.
  EXPECT_NE(recheck({{0}, {2}, {1}}, {true, false, true}, {subs[1], subs[0]}), "");
  std::vector<Problem> fewer_rules = subs;
  fewer_rules[0].weak.pop_back();
  EXPECT_NE(recheck({{0}, {2}, {1}}, {true, false, true}, fewer_rules), "");
  // An arc that only capping finds: pairs a# -> b# c and b# d -> a# with the rule c -> d
  // form an infinite chain; a witness without the arc from the first to the second,
  // calling both finite, is refused.
  Problem p;
  p.kind = ProblemKind::DependencyPairs;
  for (const char* n : {"a", "b", "c", "d"}) p.alphabet.Add(n);
  const Symbol a = p.alphabet.MarkOf(0), b = p.alphabet.MarkOf(1);
  p.weak = {{{2}, {3}}};
  p.strict = {{{a}, {b, 2}}, {{b, 3}, {a}}};
  EXPECT_EQ(EstimatedArcs(p), (std::vector<std::vector<int>>{{1}, {0}}));
  const std::string why =
      DependencyGraphWitness({{}, {0}}, {{0}, {1}}, {false, false}).Recheck(p, {});
  EXPECT_NE(why.find("possible but left out"), std::string::npos) << why;
}

TEST(DependencyGraph, CappingTheTargetWithRightSidesOmitsArcs) {
  // Backwards, with the right sides of R: x# a b keeps what no right side can have made.
  const Word u{9, 0, 1};
  EXPECT_EQ(StableLengthBackward(u, {{{2}, {1}}}), 2u);     // b may come from c -> b
  EXPECT_EQ(StableLengthBackward(u, {{{2}, {0}}}), 1u);     // a b _ may come from c b _
  EXPECT_EQ(StableLengthBackward(u, {{{2}, {0, 2}}}), 3u);  // a c never agrees with a b
  EXPECT_EQ(StableLengthBackward(u, {{{2}, {2}}}), 3u);     // c never agrees with a or b
  EXPECT_EQ(StableLengthBackward(u, {{{2}, {}}}), 1u);      // an empty right side: anywhere

  // Pairs a# -> b# c and b# d -> a#. With c -> e, the c of b# c may change, so capping
  // from the right alone keeps the arc to b# d; but no right side is d, so b# d stays
  // in every word that reaches it, and b# c w never does.
  Problem p;
  p.kind = ProblemKind::DependencyPairs;
  for (const char* n : {"a", "b", "c", "d", "e"}) p.alphabet.Add(n);
  const Symbol a = p.alphabet.MarkOf(0), b = p.alphabet.MarkOf(1);
  p.weak = {{{2}, {4}}};
  p.strict = {{{a}, {b, 2}}, {{b, 3}, {a}}};
  EXPECT_EQ(StableLength(p.strict[0].rhs, p.weak), 1u);
  EXPECT_EQ(EstimatedArcs(p), (std::vector<std::vector<int>>{{}, {0}}));
  const Result r = DependencyGraph(p, Budget());
  ASSERT_EQ(r.kind, Result::Kind::Proved);
  EXPECT_EQ(RecheckResult(p, r), "");

  // With e -> d as well the chain a# -> b# c -> b# e -> b# d -> a# is real: the same
  // witness, omitting the arc, is refused.
  p.weak.push_back({{4}, {3}});
  EXPECT_EQ(EstimatedArcs(p), (std::vector<std::vector<int>>{{1}, {0}}));
  const std::string why = r.witness->Recheck(p, {});
  EXPECT_NE(why.find("possible but left out"), std::string::npos) << why;
}

// All words reachable from `start` by rules applied after the first letter, as far as
// `limit` words of at most `max_len` letters.
std::set<Word> Reachable(const Word& start, const std::vector<Rule>& rules, std::size_t max_len,
                         std::size_t limit) {
  std::set<Word> seen{start};
  std::vector<Word> todo{start};
  while (!todo.empty() && seen.size() < limit) {
    const Word w = todo.back();
    todo.pop_back();
    for (const Rule& r : rules)
      for (std::size_t i = 1; i + r.lhs.size() <= w.size(); ++i) {
        if (!std::equal(r.lhs.begin(), r.lhs.end(), w.begin() + i)) continue;
        Word next(w.begin(), w.begin() + i);
        next.insert(next.end(), r.rhs.begin(), r.rhs.end());
        next.insert(next.end(), w.begin() + i + r.lhs.size(), w.end());
        if (next.size() <= max_len && seen.insert(next).second) todo.push_back(next);
      }
  }
  return seen;
}

TEST(DependencyGraph, EstimateContainsEveryArcFoundByExploring) {
  // Random systems over {a, b, c}, pairs over them with marks; for words t w with short
  // w, every reachable word that starts with a pair's left side must be an arc.
  std::mt19937 rng(11);
  auto word = [&](int min, int max) {
    Word w(std::uniform_int_distribution<int>(min, max)(rng));
    for (Symbol& s : w) s = std::uniform_int_distribution<int>(0, 2)(rng);
    return w;
  };
  int real_arcs = 0;
  for (int round = 0; round < 150; ++round) {
    Problem p;
    p.kind = ProblemKind::DependencyPairs;
    for (const char* n : {"a", "b", "c"}) p.alphabet.Add(n);
    const Symbol mark[3] = {p.alphabet.MarkOf(0), p.alphabet.MarkOf(1), p.alphabet.MarkOf(2)};
    for (int k = 0; k < 3; ++k) p.weak.push_back({word(1, 3), word(0, 3)});
    for (int k = 0; k < 4; ++k) {
      Rule pair{word(0, 2), word(0, 3)};
      pair.lhs.insert(pair.lhs.begin(), mark[rng() % 3]);
      pair.rhs.insert(pair.rhs.begin(), mark[rng() % 3]);
      p.strict.push_back(pair);
    }
    const auto arcs = EstimatedArcs(p);
    for (std::size_t i = 0; i < p.strict.size(); ++i)
      for (int wl = 0; wl <= 2; ++wl)
        for (int rep = 0; rep < 3; ++rep) {
          Word start = p.strict[i].rhs;
          const Word w = word(wl, wl);
          start.insert(start.end(), w.begin(), w.end());
          for (const Word& z : Reachable(start, p.weak, 9, 400))
            for (std::size_t j = 0; j < p.strict.size(); ++j) {
              const Word& u = p.strict[j].lhs;
              if (u.size() > z.size() || !std::equal(u.begin(), u.end(), z.begin())) continue;
              ++real_arcs;
              ASSERT_TRUE(std::binary_search(arcs[i].begin(), arcs[i].end(), int(j)))
                  << "round " << round << ": arc " << i << " -> " << j << " missed";
            }
        }
  }
  EXPECT_GT(real_arcs, 100);
}

TEST(DependencyGraph, ComponentsAreMaximalAndOrderedOnRandomAndDeepGraphs) {
  std::mt19937 rng(5);
  for (int round = 0; round < 100; ++round) {
    const int n = 1 + round % 12;
    std::vector<std::vector<int>> arcs(n);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j)
        if (rng() % 5 == 0) arcs[i].push_back(j);
    // reach[i][j]: j reachable from i in zero or more steps (Floyd-Warshall).
    std::vector<std::vector<bool>> reach(n, std::vector<bool>(n, false));
    for (int i = 0; i < n; ++i) {
      reach[i][i] = true;
      for (int j : arcs[i]) reach[i][j] = true;
    }
    for (int k = 0; k < n; ++k)
      for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
          if (reach[i][k] && reach[k][j]) reach[i][j] = true;
    const auto comps = Components(arcs);
    std::vector<int> where(n, -1);
    for (std::size_t c = 0; c < comps.size(); ++c)
      for (int v : comps[c]) {
        ASSERT_EQ(where[v], -1);
        where[v] = static_cast<int>(c);
      }
    for (int i = 0; i < n; ++i) {
      ASSERT_GE(where[i], 0);
      for (int j : arcs[i]) EXPECT_LE(where[i], where[j]);
      for (int j = 0; j < n; ++j) EXPECT_EQ(where[i] == where[j], reach[i][j] && reach[j][i]);
    }
  }
  // A cycle and a path of 200000 nodes: no recursion to overflow.
  const int n = 200000;
  std::vector<std::vector<int>> cycle(n), path(n);
  for (int i = 0; i < n; ++i) {
    cycle[i] = {(i + 1) % n};
    if (i + 1 < n) path[i] = {i + 1};
  }
  EXPECT_EQ(Components(cycle).size(), 1u);
  const auto parts = Components(path);
  ASSERT_EQ(parts.size(), static_cast<std::size_t>(n));
  EXPECT_EQ(parts.front(), std::vector<int>{0});
}

}  // namespace
}  // namespace velkin::strong
