// Arctic reduction pairs: a proof that needs -∞, the search against brute force on tiny
// problems, every dimension up to 5, and re-checks that reject corrupted witnesses.
#include "strong/techniques/arctic.h"

#include <gtest/gtest.h>

#include <random>

#include "../strong_test_util.h"

namespace velkin::strong {
namespace {

// (a# b c -> a# c b, with the rule a b c -> a c b): both sides of the pair have the same
// letters, so in dimension 1 their matrices are equal sums; with every entry finite the
// pair could not decrease strictly. Only a -∞ on the right makes it strict.
Problem SameLettersProblem() {
  Problem p;
  p.kind = ProblemKind::DependencyPairs;
  const Symbol a = p.alphabet.Add("a"), b = p.alphabet.Add("b"), c = p.alphabet.Add("c");
  const Symbol am = p.alphabet.MarkOf(a);
  p.weak = {{{a, b, c}, {a, c, b}}};
  p.strict = {{{am, b, c}, {am, c, b}}};
  return p;
}

// The value of every side under `maps` (dimension 1, entries -∞, 0 or 1), as the
// brute force's own evaluation.
struct Map1 {
  ArcticValue m, c;
};
ArcticValue Max(ArcticValue a, ArcticValue b) {
  if (!a) return b;
  if (!b) return a;
  return std::max(*a, *b);
}
ArcticValue Sum(ArcticValue a, ArcticValue b) {
  if (!a || !b) return std::nullopt;
  return *a + *b;
}
Map1 Eval(const std::vector<Map1>& maps, const Word& w) {
  Map1 acc{0, std::nullopt};
  for (std::size_t i = w.size(); i-- > 0;)
    acc = Map1{Sum(maps[w[i]].m, acc.m), Max(Sum(maps[w[i]].m, acc.c), maps[w[i]].c)};
  return acc;
}
bool Ge(ArcticValue a, ArcticValue b) {
  return !b || (a && *a >= *b);
}
bool Gt(ArcticValue a, ArcticValue b) {
  return !b || (a && *a > *b);
}

// True when `maps` make every rule and pair weakly and the pairs `removed` strictly
// decreasing, each letter with m or c finite, entries never negative.
bool Holds(const Problem& p, const std::vector<Map1>& maps, const std::vector<int>& removed) {
  for (const Map1& f : maps)
    if ((!f.m && !f.c) || (f.m && *f.m < 0) || (f.c && *f.c < 0)) return false;
  auto weak = [&](const Rule& r) {
    const Map1 l = Eval(maps, r.lhs), rr = Eval(maps, r.rhs);
    return Ge(l.m, rr.m) && Ge(l.c, rr.c);
  };
  for (const Rule& r : p.weak)
    if (!weak(r)) return false;
  for (const Rule& r : p.strict)
    if (!weak(r)) return false;
  for (int i : removed) {
    const Map1 l = Eval(maps, p.strict[i].lhs), rr = Eval(maps, p.strict[i].rhs);
    if (!Gt(l.m, rr.m) || !Gt(l.c, rr.c)) return false;
  }
  return !removed.empty();
}

ArcticOptions Sized(int dimension, int bits = 2, bool unary = true) {
  ArcticOptions o;
  o.dimension = dimension;
  o.bits = bits;
  o.unary = unary;
  return o;
}

TEST(Arctic, ProofThatNeedsMinusInfinity) {
  const Problem p = SameLettersProblem();
  const Result r = ArcticInterpretation(p, Budget(), Sized(1, 2));
  ASSERT_EQ(r.kind, Result::Kind::Transformed);
  EXPECT_EQ(RecheckResult(p, r), "");
  EXPECT_TRUE(r.subproblems.at(0).strict.empty());
  const auto& w = dynamic_cast<const ArcticWitness&>(*r.witness);
  bool minus_infinity = false;
  for (const auto& f : w.letters)
    if (f && !f->m[0]) minus_infinity = true;
  EXPECT_TRUE(minus_infinity);
  std::vector<std::string> lines;
  w.Print(p, lines);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "  a# b c -> a# c b"), lines.end());
}

TEST(Arctic, RecheckRejectsCorruptedWitnesses) {
  const Problem p = SameLettersProblem();
  const Result r = ArcticInterpretation(p, Budget(), Sized(1, 2));
  ASSERT_EQ(r.kind, Result::Kind::Transformed);
  const auto& good = dynamic_cast<const ArcticWitness&>(*r.witness);
  auto recheck = [&](const ArcticWitness& w) { return w.Recheck(p, r.subproblems); };
  ASSERT_EQ(recheck(good), "");
  // Every entry of every letter set to -∞, 0, 1 or 7 in turn: the re-check accepts
  // exactly the witnesses that an independent evaluation finds valid.
  int rejected = 0;
  for (std::size_t a = 0; a < good.letters.size(); ++a)
    for (int part = 0; part < 2; ++part)
      for (ArcticValue change : {ArcticValue(), ArcticValue(0), ArcticValue(1), ArcticValue(7)}) {
        ArcticWitness bad = good;
        (part == 0 ? bad.letters[a]->m[0] : bad.letters[a]->c[0]) = change;
        std::vector<Map1> maps;
        for (const auto& f : bad.letters) maps.push_back(Map1{f->m[0], f->c[0]});
        const bool valid = Holds(p, maps, bad.removed);
        EXPECT_EQ(recheck(bad).empty(), valid) << "letter " << a << " part " << part;
        if (!valid) ++rejected;
      }
  EXPECT_GT(rejected, 3);
  ArcticWitness no_map = good;  // a letter that occurs without its map
  no_map.letters[1].reset();
  EXPECT_NE(recheck(no_map), "");
  ArcticWitness both_infinite = good;
  for (auto& f : both_infinite.letters)
    if (f) f->m[0] = f->c[0] = std::nullopt;
  EXPECT_NE(recheck(both_infinite), "");
  ArcticWitness nothing_removed = good;
  nothing_removed.removed.clear();
  EXPECT_NE(nothing_removed.Recheck(p, {p}), "");
  EXPECT_NE(good.Recheck(p, {p}), "");  // the removed pair still in the subproblem
}

TEST(Arctic, FindsAnInterpretationExactlyWhenBruteForceDoes) {
  // Dimension 1, entries of one bit: -∞, 0 or 1 for every letter's m and c.
  std::mt19937 rng(3);
  auto word = [&](int min, int max) {
    Word w(std::uniform_int_distribution<int>(min, max)(rng));
    for (Symbol& s : w) s = std::uniform_int_distribution<int>(0, 1)(rng);
    return w;
  };
  int found = 0, none = 0;
  for (int round = 0; round < 60; ++round) {
    Problem p;
    p.kind = ProblemKind::DependencyPairs;
    p.alphabet.Add("a");
    p.alphabet.Add("b");
    const Symbol mark = p.alphabet.MarkOf(0);
    p.weak = {{word(1, 3), word(0, 3)}};
    for (int k = 0; k < 2; ++k) {
      Rule pair{word(0, 2), word(0, 2)};
      pair.lhs.insert(pair.lhs.begin(), mark);
      pair.rhs.insert(pair.rhs.begin(), mark);
      p.strict.push_back(pair);
    }
    const ArcticValue choices[3] = {std::nullopt, 0, 1};
    bool exists = false;
    for (int code = 0; code < 729 && !exists; ++code) {
      std::vector<Map1> maps(3);
      int rest = code;
      for (Map1& f : maps) {
        f.m = choices[rest % 3];
        f.c = choices[rest / 3 % 3];
        rest /= 9;
      }
      for (int i = 0; i < 2 && !exists; ++i) exists = Holds(p, maps, {i});
    }
    for (const bool unary : {true, false}) {  // both encodings of the numbers
      const Result r = ArcticInterpretation(p, Budget(), Sized(1, 1, unary));
      EXPECT_EQ(r.kind == Result::Kind::Transformed, exists) << "round " << round;
      EXPECT_EQ(RecheckResult(p, r), "");
    }
    ++(exists ? found : none);
  }
  EXPECT_GT(found, 5);
  EXPECT_GT(none, 5);
}

TEST(Arctic, EveryDimensionUpToFiveAndAsManyPairsAsOneInterpretationRemoves) {
  const Problem p = SameLettersProblem();
  for (int d = 1; d <= 5; ++d)
    for (const bool unary : {true, false}) {
      const Result r = ArcticInterpretation(p, Budget(), Sized(d, 2, unary));
      ASSERT_EQ(r.kind, Result::Kind::Transformed) << "dimension " << d;
      EXPECT_EQ(RecheckResult(p, r), "") << "dimension " << d;
      EXPECT_EQ(dynamic_cast<const ArcticWitness&>(*r.witness).dimension, d);
    }
  // Two pairs that one interpretation makes strict together: the rounds after the first
  // model keep asking for one more, so both go in one step.
  Problem two;
  two.kind = ProblemKind::DependencyPairs;
  const Symbol a = two.alphabet.Add("a"), b = two.alphabet.Add("b"), c = two.alphabet.Add("c");
  const Symbol am = two.alphabet.MarkOf(a);
  two.weak = {{{a, b}, {b, a}}, {{a, c}, {c, a}}};
  two.strict = {{{am, b}, {am}}, {{am, c}, {am}}};
  const Result both = ArcticInterpretation(two, Budget(), Sized(2, 2));
  ASSERT_EQ(both.kind, Result::Kind::Transformed);
  EXPECT_EQ(RecheckResult(two, both), "");
  EXPECT_TRUE(both.subproblems[0].strict.empty());
  // Not for relative problems: a reduction pair is not closed under left contexts.
  EXPECT_EQ(ArcticInterpretation(test::Plain({"ab->ba"}), Budget(), {}).kind,
            Result::Kind::Nothing);
  // A budget that has run out stops the search.
  Budget spent(Clock::now(), std::make_shared<std::atomic<bool>>(false));
  EXPECT_EQ(ArcticInterpretation(p, spent, Sized(3)).kind, Result::Kind::Nothing);
}

}  // namespace
}  // namespace velkin::strong
