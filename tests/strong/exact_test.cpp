// The re-checks' exact arithmetic: word maps against a plain GMP evaluation written
// here, on random small maps (the 64-bit path) and on values that overflow 64 bits (the
// fallback), for natural and arctic numbers alike.
#include "strong/exact.h"

#include <gtest/gtest.h>

#include <random>

namespace velkin::strong::exact {
namespace {

// x ↦ f(g(x)) by the definition, in GMP only.
NaturalAffine PlainCompose(const NaturalAffine& f, const NaturalAffine& g) {
  const int d = f.d;
  NaturalAffine r{d, std::vector<mpz_class>(d * d, 0), f.c};
  for (int i = 0; i < d; ++i)
    for (int j = 0; j < d; ++j) {
      for (int k = 0; k < d; ++k) r.m[i * d + j] += f.m[i * d + k] * g.m[k * d + j];
      r.c[i] += f.m[i * d + j] * g.c[j];
    }
  return r;
}

Arctic Max(const Arctic& a, const Arctic& b) {
  if (!a) return b;
  if (!b) return a;
  return *a < *b ? b : a;
}
Arctic Plus(const Arctic& a, const Arctic& b) {
  if (!a || !b) return std::nullopt;
  return *a + *b;
}

ArcticAffine PlainCompose(const ArcticAffine& f, const ArcticAffine& g) {
  const int d = f.d;
  ArcticAffine r{d, std::vector<Arctic>(d * d), f.c};
  for (int i = 0; i < d; ++i)
    for (int j = 0; j < d; ++j) {
      for (int k = 0; k < d; ++k)
        r.m[i * d + j] = Max(r.m[i * d + j], Plus(f.m[i * d + k], g.m[k * d + j]));
      r.c[i] = Max(r.c[i], Plus(f.m[i * d + j], g.c[j]));
    }
  return r;
}

template <class T>
Affine<T> PlainWord(const std::vector<std::optional<Affine<T>>>& letters, const Word& w,
                    const Affine<T>& identity) {
  Affine<T> acc = identity;
  for (auto it = w.rbegin(); it != w.rend(); ++it) acc = PlainCompose(*letters[*it], acc);
  return acc;
}

template <class T>
void ExpectSame(const Affine<T>& a, const Affine<T>& b) {
  EXPECT_EQ(a.d, b.d);
  EXPECT_TRUE(a.m == b.m);
  EXPECT_TRUE(a.c == b.c);
}

// Random words over three letters of each length: Maps::Of against PlainWord.
template <class T>
void ExpectWordsMatch(const std::vector<std::optional<Affine<T>>>& letters, const Affine<T>& id,
                      std::initializer_list<int> lengths, std::mt19937& rng) {
  const Maps<T> maps(id.d, letters);
  for (const int length : lengths) {
    Word w;
    for (int k = 0; k < length; ++k) w.push_back(static_cast<Symbol>(rng() % 3));
    const auto got = maps.Of(w);
    ASSERT_TRUE(got);
    ExpectSame(*got, PlainWord(letters, w, id));
  }
}

TEST(ExactMaps, NaturalWordMapsMatchThePlainDefinition) {
  std::mt19937 rng(7);
  for (int round = 0; round < 40; ++round) {
    const int d = 1 + round % 3;
    std::vector<std::optional<NaturalAffine>> letters(3);
    for (auto& f : letters) {
      f = NaturalAffine{d, {}, {}};
      for (int k = 0; k < d * d; ++k) f->m.push_back(static_cast<int>(rng() % 4));
      for (int k = 0; k < d; ++k) f->c.push_back(static_cast<int>(rng() % 4));
    }
    NaturalAffine id{d, std::vector<mpz_class>(d * d, 0), std::vector<mpz_class>(d, 0)};
    for (int i = 0; i < d; ++i) id.m[i * d + i] = 1;
    // Long words overflow 64 bits when entries reach 3 (3^50 > 2^63): both paths.
    ExpectWordsMatch(letters, id, {0, 1, 5, 50}, rng);
  }
}

TEST(ExactMaps, NaturalValuesBeyondSixtyFourBitsAreExact) {
  const mpz_class big = mpz_class(1) << 40;
  const std::vector<std::optional<NaturalAffine>> letters{NaturalAffine{1, {big}, {1}},
                                                          NaturalAffine{1, {big * big}, {0}}};
  const NaturalMaps maps(1, letters);
  // a a a: 2^120 x + 2^80 + 2^40 + 1, far beyond 64 bits.
  const auto aaa = maps.Of({0, 0, 0});
  ASSERT_TRUE(aaa);
  EXPECT_EQ(aaa->m[0], big * big * big);
  EXPECT_EQ(aaa->c[0], big * big + big + 1);
  // A letter that does not fit in 64 bits at all: GMP from the start.
  const auto b = maps.Of({1, 0});
  ASSERT_TRUE(b);
  EXPECT_EQ(b->m[0], big * big * big);
  EXPECT_EQ(b->c[0], big * big);
  // A letter without a map, or outside the alphabet: no map of the word.
  const NaturalMaps partial(1, {NaturalAffine{1, {1}, {1}}, std::nullopt});
  EXPECT_FALSE(partial.Of({0, 1}));
  EXPECT_FALSE(partial.Of({2}));
  EXPECT_TRUE(partial.Of({}));
}

TEST(ExactMaps, ArcticWordMapsMatchThePlainDefinitionAndNeverWrap) {
  std::mt19937 rng(11);
  for (int round = 0; round < 40; ++round) {
    const int d = 1 + round % 3;
    const bool huge = round % 4 == 3;  // entries near 2^62: sums overflow 64 bits
    std::vector<std::optional<ArcticAffine>> letters(3);
    for (auto& f : letters) {
      f = ArcticAffine{d, {}, {}};
      auto entry = [&]() -> Arctic {
        const unsigned r = rng() % 5;
        if (r == 0) return std::nullopt;
        return huge ? (mpz_class(1) << 62) + r : mpz_class(r);
      };
      for (int k = 0; k < d * d; ++k) f->m.push_back(entry());
      for (int k = 0; k < d; ++k) f->c.push_back(entry());
      f->m[0] = f->m[0] ? f->m[0] : mpz_class(0);
    }
    ArcticAffine id{d, std::vector<Arctic>(d * d), std::vector<Arctic>(d)};
    for (int i = 0; i < d; ++i) id.m[i * d + i] = mpz_class(0);
    ExpectWordsMatch(letters, id, {0, 1, 4, 12}, rng);
  }
}

TEST(ExactMaps, ArcticComparisonsPutMinusInfinityBelowEveryNumber) {
  const Arctic inf, zero = mpz_class(0), one = mpz_class(1);
  EXPECT_TRUE(Ge(zero, inf));
  EXPECT_TRUE(Ge(inf, inf));
  EXPECT_FALSE(Ge(inf, zero));
  EXPECT_TRUE(Gt(inf, inf));  // strict: the right side is -∞
  EXPECT_TRUE(Gt(one, zero));
  EXPECT_FALSE(Gt(zero, zero));
  const ArcticAffine l{1, {one}, {inf}}, r{1, {zero}, {inf}};
  EXPECT_TRUE(AllGe(l, r));
  EXPECT_TRUE(AllGt(l, r));
  EXPECT_FALSE(AllGe(r, l));
}

}  // namespace
}  // namespace velkin::strong::exact
