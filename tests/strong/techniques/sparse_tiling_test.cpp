// Sparse tiling: the tiles by hand on a small system, against brute force (every word
// of the forward closures up to a length has its tiles in the set, and each of its steps
// is a step of the labelled problem), and corrupted witnesses rejected.
#include "strong/techniques/sparse_tiling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <random>
#include <set>

#include "../strong_test_util.h"

namespace velkin::strong {
namespace {

using test::Plain;

const SparseTilingWitness& TilesOf(const Result& r) {
  return static_cast<const SparseTilingWitness&>(*r.witness);
}

Result Tile(const Problem& p, int width) {
  SparseTilingOptions o;
  o.width = width;
  return SparseTiling(p, Budget(), o);
}

// a b -> b a: the right side b a reads ⊢ b a #; the prefix a of the left side at a
// word's end after b gives b b a. The left side a b is no factor of any of these tiles'
// words, so the labelled problem has no rule.
TEST(SparseTiling, TilesOfASmallSystemByHand) {
  const Problem p = Plain({"ab->ba"});  // a = 0, b = 1; ⊢ = 2, # = 3
  const Result r = Tile(p, 2);
  ASSERT_EQ(r.kind, Result::Kind::Transformed);
  EXPECT_EQ(TilesOf(r).tiles, (std::vector<Word>{{0, 3}, {1, 0}, {1, 1}, {2, 1}}));
  const Problem& q = r.subproblems[0];
  EXPECT_TRUE(q.IsStandard());
  EXPECT_TRUE(q.strict.empty());
  EXPECT_EQ(q.alphabet.names, (std::vector<std::string>{"#[a]", "a[b]", "b[b]", "b[⊢]"}));
  EXPECT_EQ(RecheckResult(p, r), "");
  std::vector<std::string> lines;
  r.witness->Print(p, lines);
  EXPECT_NE(lines.back().find("#[a] a[b] b[b] b[⊢]"), std::string::npos) << lines.back();
}

// The tiles ending at each letter of ⊢^(k-1) u #^(k-1) after the left border.
std::vector<Word> Labels(const Word& u, int k, int letters) {
  Word padded(static_cast<std::size_t>(k - 1), SparseTilingWitness::LeftBorder(letters));
  padded.insert(padded.end(), u.begin(), u.end());
  padded.insert(padded.end(), static_cast<std::size_t>(k - 1),
                SparseTilingWitness::EndMarker(letters));
  std::vector<Word> out;
  for (std::size_t i = 0; i + k <= padded.size(); ++i)
    out.emplace_back(padded.begin() + static_cast<std::ptrdiff_t>(i),
                     padded.begin() + static_cast<std::ptrdiff_t>(i + k));
  return out;
}

// Every word of RFC(R) up to `maxLength` letters, found by breadth-first search from the
// right sides through rule steps and forward closures.
std::set<Word> ForwardClosureWords(const Problem& p, std::size_t maxLength) {
  std::set<Word> seen;
  std::deque<Word> todo;
  const auto add = [&](const Word& w) {
    if (w.size() <= maxLength && seen.insert(w).second) todo.push_back(w);
  };
  for (const Rule& r : p.strict) add(r.rhs);
  while (!todo.empty() && seen.size() < 3000) {
    const Word u = todo.front();
    todo.pop_front();
    for (const Rule& r : p.strict) {
      for (std::size_t i = 0; i + r.lhs.size() <= u.size(); ++i)
        if (std::equal(r.lhs.begin(), r.lhs.end(), u.begin() + static_cast<std::ptrdiff_t>(i)))
          add(Replace(u, i, r.lhs.size(), r.rhs));
      for (std::size_t j = 1; j < r.lhs.size() && j <= u.size(); ++j)
        if (std::equal(r.lhs.begin(), r.lhs.begin() + static_cast<std::ptrdiff_t>(j),
                       u.end() - static_cast<std::ptrdiff_t>(j)))
          add(Replace(u, u.size() - j, j, r.rhs));
    }
  }
  return seen;
}

// On random systems of one or two rules over {a, b}: every word of the forward closures
// has its tiles in the set, and each of its rule steps is, letter for letter, a step by a
// rule of the labelled problem (which is what makes an infinite derivation from there
// one of the labelled problem).
TEST(SparseTiling, EveryForwardClosureWordAndStepIsTiled) {
  std::mt19937 random(7);
  const auto word = [&](std::size_t min, std::size_t max) {
    std::string w;
    const std::size_t n = min + random() % (max - min + 1);
    for (std::size_t i = 0; i < n; ++i) w += "ab"[random() % 2];
    return w;
  };
  int checkedSteps = 0;
  for (int round = 0; round < 60; ++round) {
    std::vector<std::string> lines{"ab->ba"};
    lines[0] = word(1, 3) + "->" + word(0, 4);
    if (round % 2) lines.push_back(word(1, 3) + "->" + word(0, 3));
    const Problem p = Plain(lines);
    for (const int k : {2, 3}) {
      const Result r = Tile(p, k);
      ASSERT_EQ(r.kind, Result::Kind::Transformed) << lines[0];
      ASSERT_EQ(RecheckResult(p, r), "") << lines[0];
      const SparseTilingWitness& w = TilesOf(r);
      const std::set<Word> tiles(w.tiles.begin(), w.tiles.end());
      std::map<Word, Symbol> letter;
      for (std::size_t t = 0; t < w.tiles.size(); ++t) letter[w.tiles[t]] = static_cast<Symbol>(t);
      std::set<std::pair<Word, Word>> labelled;
      for (const Rule& rule : r.subproblems[0].strict) labelled.emplace(rule.lhs, rule.rhs);
      const int n = p.alphabet.size();
      for (const Word& u : ForwardClosureWords(p, 9)) {
        const std::vector<Word> before = Labels(u, k, n);
        for (const Word& t : before) ASSERT_TRUE(tiles.count(t)) << lines[0] << " width " << k;
        for (const Rule& rule : p.strict)
          for (std::size_t i = 0; i + rule.lhs.size() <= u.size(); ++i) {
            if (!std::equal(rule.lhs.begin(), rule.lhs.end(),
                            u.begin() + static_cast<std::ptrdiff_t>(i)))
              continue;
            const std::vector<Word> after = Labels(Replace(u, i, rule.lhs.size(), rule.rhs), k, n);
            Word from, to;
            for (std::size_t j = i; j < i + rule.lhs.size() + k - 1; ++j)
              from.push_back(letter.at(before[j]));
            for (std::size_t j = i; j < i + rule.rhs.size() + k - 1; ++j)
              to.push_back(letter.at(after[j]));
            EXPECT_TRUE(labelled.count({from, to})) << lines[0] << " width " << k;
            ++checkedSteps;
          }
      }
    }
  }
  EXPECT_GT(checkedSteps, 1000);
}

// a b -> b a b does not terminate, so its labelled problem keeps rules to corrupt.
TEST(SparseTiling, CorruptedWitnessesAreRejected) {
  const Problem p = Plain({"ab->bab"});
  const Result r = Tile(p, 3);
  ASSERT_EQ(r.kind, Result::Kind::Transformed);
  ASSERT_EQ(RecheckResult(p, r), "");
  const SparseTilingWitness& good = TilesOf(r);
  const Problem& q = r.subproblems[0];
  ASSERT_FALSE(q.strict.empty());
  const auto check = [&](const SparseTilingWitness& w, const Problem& sub) {
    return w.Recheck(p, {sub});
  };
  {
    SparseTilingWitness w = good;  // a tile dropped (with its letter)
    Problem sub = q;
    w.tiles.pop_back();
    sub.alphabet.names.pop_back();
    sub.alphabet.marks.pop_back();
    EXPECT_NE(check(w, sub), "");
  }
  {
    SparseTilingWitness w = good;  // the left border inside a tile
    w.tiles[0] = {0, SparseTilingWitness::LeftBorder(p.alphabet.size()), 0};
    EXPECT_NE(check(w, q), "");
  }
  {
    SparseTilingWitness w = good;
    w.width = 2;
    EXPECT_NE(check(w, q), "");
  }
  Problem fewer = q;  // a labelled rule missing
  fewer.strict.pop_back();
  EXPECT_NE(check(good, fewer), "");
  Problem more = q;  // a rule that is no labelled copy
  more.strict.push_back(Rule{{0}, {0, 0}});
  EXPECT_NE(check(good, more), "");
  Problem weak = q;  // the labelled problem relative
  weak.weak.push_back(q.strict[0]);
  EXPECT_NE(check(good, weak), "");
  EXPECT_NE(good.Recheck(Plain({"ab->bab", "b->=bb"}), {q}), "");
  EXPECT_NE(good.Recheck(p, {q, q}), "");
}

// The borders are printed under names that no letter has.
TEST(SparseTiling, BorderNamesAvoidTheProblemsLetters) {
  const Problem p = Plain({"a#->#a"});
  const Result r = Tile(p, 2);
  ASSERT_EQ(r.kind, Result::Kind::Transformed);
  EXPECT_EQ(RecheckResult(p, r), "");
  const std::vector<std::string>& names = r.subproblems[0].alphabet.names;
  EXPECT_NE(std::find(names.begin(), names.end(), "#1[a]"), names.end());  // a's end
  EXPECT_NE(std::find(names.begin(), names.end(), "#[⊢]"), names.end());   // the letter # first
}

TEST(SparseTiling, RefusesOtherProblemsAndKeepsToItsLimits) {
  {
    Budget ended = Budget().WithinSeconds(0);
    SparseTilingOptions o;
    EXPECT_EQ(SparseTiling(Plain({"ab->bab"}), ended, o).kind, Result::Kind::Nothing);
  }
  EXPECT_EQ(Tile(Plain({"a->b", "b->=bb"}), 2).kind, Result::Kind::Nothing);
  EXPECT_EQ(Tile(Plain({"->a"}), 2).kind, Result::Kind::Nothing);
  SparseTilingOptions o;
  o.width = 4;
  o.maxTiles = 3;
  const Result r = SparseTiling(Plain({"aa->aba"}), Budget(), o);
  EXPECT_EQ(r.kind, Result::Kind::Nothing);
  EXPECT_NE(r.note.find("tiles"), std::string::npos) << r.note;
  o.maxTiles = 3000;
  o.maxRules = 1;
  EXPECT_EQ(SparseTiling(Plain({"ab->bab"}), Budget(), o).kind, Result::Kind::Nothing);
}

}  // namespace
}  // namespace velkin::strong
