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

// A random dependency pair problem over a and b: one rule with sides of 1 to 3 and 0 to 3
// letters, and two pairs a# u -> a# v with u and v of up to 2 letters.
Problem RandomPairProblem(std::mt19937& rng) {
  auto word = [&](int min, int max) {
    Word w(std::uniform_int_distribution<int>(min, max)(rng));
    for (Symbol& s : w) s = std::uniform_int_distribution<int>(0, 1)(rng);
    return w;
  };
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
  return p;
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
  int found = 0, none = 0;
  for (int round = 0; round < 60; ++round) {
    const Problem p = RandomPairProblem(rng);
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
    for (const int bits : {1, 2})
      for (const bool unary : {true, false}) {
        const Result r = ArcticInterpretation(p, Budget(), Sized(d, bits, unary));
        ASSERT_EQ(r.kind, Result::Kind::Transformed) << "dimension " << d << ", bits " << bits;
        EXPECT_EQ(RecheckResult(p, r), "") << "dimension " << d << ", bits " << bits;
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

TEST(Arctic, LongSidesKeepTheBoundInBothEncodings) {
  // a# b^20 -> a# b^19 with b c -> c b: b must count, and a# b^20 reaches 20, above the
  // 15 that four result bits allow and within the 31 of five. Both encodings of the
  // numbers must keep that bound on a side of 21 letters.
  Problem p;
  p.kind = ProblemKind::DependencyPairs;
  const Symbol a = p.alphabet.Add("a"), b = p.alphabet.Add("b"), c = p.alphabet.Add("c");
  const Symbol am = p.alphabet.MarkOf(a);
  Word l{am}, r{am};
  l.insert(l.end(), 20, b);
  r.insert(r.end(), 19, b);
  p.strict = {{l, r}};
  p.weak = {{{b, c}, {c, b}}};
  for (const bool unary : {true, false})
    for (const int resultBits : {4, 5}) {
      ArcticOptions o = Sized(1, 1, unary);
      o.resultBits = resultBits;
      const Result found = ArcticInterpretation(p, Budget(), o);
      EXPECT_EQ(found.kind == Result::Kind::Transformed, resultBits == 5)
          << "unary " << unary << ", result bits " << resultBits;
      EXPECT_EQ(RecheckResult(p, found), "");
    }
}

// (a# a -> a#, with the rules a -> b a a and b a a -> ε). The first rule makes a grow
// and the second makes b a a vanish, so b must take back what a a adds: [b] must lower
// its argument. Over the naturals no map does that (no interpretation up to dimension 3
// with 2 bits exists); over the integers [b](x) = max(x - 2, 0) does, in dimension 1.
Problem ShrinkingProblem() {
  Problem p;
  p.kind = ProblemKind::DependencyPairs;
  const Symbol a = p.alphabet.Add("a"), b = p.alphabet.Add("b");
  const Symbol am = p.alphabet.MarkOf(a);
  p.weak = {{{a}, {b, a, a}}, {{b, a, a}, {}}};
  p.strict = {{{am, a}, {am}}};
  return p;
}

ArcticOptions BelowZero(int dimension, int belowZero, bool certifiable = true) {
  ArcticOptions o = Sized(dimension, 2);
  o.belowZero = belowZero;
  o.certifiable = certifiable;
  return o;
}

TEST(ArcticBelowZero, ProofThatNeedsANegativeEntry) {
  const Problem p = ShrinkingProblem();
  for (int d = 1; d <= 3; ++d)
    EXPECT_EQ(ArcticInterpretation(p, Budget(), Sized(d, 2)).kind, Result::Kind::Nothing) << d;
  for (int d = 1; d <= 3; ++d) {
    const Result r = ArcticInterpretation(p, Budget(), BelowZero(d, 2));
    ASSERT_EQ(r.kind, Result::Kind::Transformed) << "dimension " << d;
    EXPECT_EQ(RecheckResult(p, r), "");
    EXPECT_TRUE(r.subproblems.at(0).strict.empty());
    const auto& w = dynamic_cast<const ArcticWitness&>(*r.witness);
    EXPECT_TRUE(w.integers);
    bool negative = false;
    for (const auto& f : w.letters)
      for (const auto* v : {&f->m, &f->c})
        for (const ArcticValue& e : *v) negative = negative || (e && *e < 0);
    EXPECT_TRUE(negative);
    // Every letter has (M)_{1,1} or (c)_1 finite and >= 0 (the certifiable form), and
    // the pairs' first letter a# has (c)_1 >= 0.
    for (const auto& f : w.letters)
      EXPECT_TRUE((f->m[0] && *f->m[0] >= 0) || (f->c[0] && *f->c[0] >= 0));
    EXPECT_GE(w.letters[2]->c[0].value_or(-1), 0);
    std::vector<std::string> lines;
    w.Print(p, lines);
    EXPECT_NE(lines.at(0).find("Z ∪ {-∞}"), std::string::npos);
  }
}

// The re-check of an integer witness against an independent evaluation, entry by entry:
// a negative or -∞ first constant of a# (which begins the pair's sides) is refused
// whatever else holds, ordinary letters may have any entries, and a witness that claims
// the naturals may not have a negative entry.
TEST(ArcticBelowZero, RecheckRejectsCorruptedWitnesses) {
  const Problem p = ShrinkingProblem();
  const Result r = ArcticInterpretation(p, Budget(), BelowZero(1, 2, false));
  ASSERT_EQ(r.kind, Result::Kind::Transformed);
  const auto& good = dynamic_cast<const ArcticWitness&>(*r.witness);
  auto recheck = [&](const ArcticWitness& w) { return w.Recheck(p, r.subproblems); };
  ASSERT_EQ(recheck(good), "");
  const Symbol mark = 2;
  int accepted = 0, rejected = 0;
  for (std::size_t a = 0; a < good.letters.size(); ++a)
    for (int part = 0; part < 2; ++part)
      for (ArcticValue change :
           {ArcticValue(), ArcticValue(-3), ArcticValue(-1), ArcticValue(0), ArcticValue(2)}) {
        ArcticWitness bad = good;
        (part == 0 ? bad.letters[a]->m[0] : bad.letters[a]->c[0]) = change;
        std::vector<Map1> maps;
        for (const auto& f : bad.letters) maps.push_back(Map1{f->m[0], f->c[0]});
        // Holds() demands naturals: evaluate the orientation by hand instead.
        bool valid = true;
        for (const Rule& rule : p.weak) {
          const Map1 l = Eval(maps, rule.lhs), rr = Eval(maps, rule.rhs);
          valid = valid && Ge(l.m, rr.m) && Ge(l.c, rr.c);
        }
        const Map1 l = Eval(maps, p.strict[0].lhs), rr = Eval(maps, p.strict[0].rhs);
        valid = valid && Gt(l.m, rr.m) && Gt(l.c, rr.c);
        const ArcticValue head = bad.letters[mark]->c[0];
        valid = valid && head && *head >= 0;
        EXPECT_EQ(recheck(bad).empty(), valid) << "letter " << a << " part " << part;
        ++(valid ? accepted : rejected);
      }
  EXPECT_GT(accepted, 3);
  EXPECT_GT(rejected, 3);
  ArcticWitness minus_head = good;  // everything else as found, a#'s constant below zero
  minus_head.letters[mark]->c[0] = -1;
  EXPECT_NE(recheck(minus_head).find("begins a pair side"), std::string::npos);
  ArcticWitness naturals = good;  // the same maps read as arctic naturals
  naturals.integers = false;
  EXPECT_NE(recheck(naturals).find("negative"), std::string::npos);
}

// Dimension 1, entries -∞, -1, 0, 1 for every letter's m and c: the search finds an
// interpretation exactly when brute force does, with and without the certifier's
// condition on the ordinary letters.
TEST(ArcticBelowZero, FindsAnInterpretationExactlyWhenBruteForceDoes) {
  std::mt19937 rng(5);
  const ArcticValue choices[4] = {std::nullopt, -1, 0, 1};
  auto nonNegative = [](ArcticValue v) { return v && *v >= 0; };
  int found[2] = {0, 0}, none[2] = {0, 0};
  for (int round = 0; round < 40; ++round) {
    const Problem p = RandomPairProblem(rng);
    const Symbol mark = 2;  // a#, after a and b
    for (const bool certifiable : {false, true}) {
      bool exists = false;
      for (int code = 0; code < 4096 && !exists; ++code) {
        std::vector<Map1> maps(3);
        int rest = code;
        for (Map1& f : maps) {
          f.m = choices[rest % 4];
          f.c = choices[rest / 4 % 4];
          rest /= 16;
        }
        if (!nonNegative(maps[mark].c)) continue;
        if (certifiable && !std::all_of(maps.begin(), maps.end(), [&](const Map1& f) {
              return nonNegative(f.m) || nonNegative(f.c);
            }))
          continue;
        for (int i = 0; i < 2 && !exists; ++i) {
          bool ok = true;
          for (const auto* rules : {&p.weak, &p.strict})
            for (const Rule& rule : *rules) {
              const Map1 l = Eval(maps, rule.lhs), rr = Eval(maps, rule.rhs);
              ok = ok && Ge(l.m, rr.m) && Ge(l.c, rr.c);
            }
          const Map1 l = Eval(maps, p.strict[i].lhs), rr = Eval(maps, p.strict[i].rhs);
          exists = ok && Gt(l.m, rr.m) && Gt(l.c, rr.c);
        }
      }
      ArcticOptions o = BelowZero(1, 1, certifiable);
      o.bits = 1;  // entries -1, 0, 1
      const Result r = ArcticInterpretation(p, Budget(), o);
      EXPECT_EQ(r.kind == Result::Kind::Transformed, exists)
          << "round " << round << (certifiable ? ", certifiable" : "");
      EXPECT_EQ(RecheckResult(p, r), "");
      ++(exists ? found : none)[certifiable];
    }
  }
  for (int k = 0; k < 2; ++k) {
    EXPECT_GT(found[k], 5);
    EXPECT_GT(none[k], 3);
  }
}

}  // namespace
}  // namespace velkin::strong
