// Loop search by cycles among words of one length: a loop the closures miss, agreement
// with a brute force on small systems, cycles of weak steps alone, the limits, and the
// replay of what it finds.
#include "strong/techniques/cycle_loops.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>

#include "../strong_test_util.h"
#include "strong/loop.h"
#include "strong/techniques/byte_words.h"
#include "strong/techniques/closures.h"
#include "strong/techniques/derivation_loops.h"

namespace velkin::strong {
namespace {

using test::LoopOf;
using test::Plain;

Result Search(const Problem& p, std::size_t maxLength = 64,
              std::size_t memoryBytes = std::size_t{64} << 20) {
  CycleLoopOptions o;
  o.maxLength = maxLength;
  o.memoryBytes = memoryBytes;
  return FindLoopByCycles(p, Budget().Within(std::chrono::seconds(20)), o);
}

// Every rule keeps the length; the shortest cycle through a strict step has words of 11
// letters and some 30 steps. Closures (forward, reversed, within 16 MB) and the
// deterministic derivations find no loop.
const std::vector<std::string> kLengthKeeping{"abb->bbc", "bab->aca", "cca->aab", "bca->=abb",
                                              "cba->=abb"};

TEST(CycleLoops, FindsALoopOfALengthKeepingRelativeSystemThatTheOtherSearchesMiss) {
  const Problem p = Plain(kLengthKeeping);
  test::ExpectClosuresAndDerivationsMiss(p);
  const Result r = Search(p);
  ASSERT_EQ(r.kind, Result::Kind::Disproved) << r.note;
  EXPECT_EQ(RecheckResult(p, r), "");
  const LoopWitness& loop = LoopOf(r);
  EXPECT_TRUE(loop.prefix.empty() && loop.suffix.empty());  // a cycle: u ->+ u
  EXPECT_EQ(loop.steps.back().result, loop.start);
  // Trimmed: the first and the last letter of u are read by some step.
  std::size_t left = loop.start.size(), right = loop.start.size();
  for (const LoopStep& s : loop.steps) {
    left = std::min(left, s.position);
    right = std::min(right, loop.start.size() - s.position - s.rule.lhs.size());
  }
  EXPECT_EQ(left, 0u);
  EXPECT_EQ(right, 0u);
  bool weak = false;
  for (const LoopStep& s : loop.steps) weak = weak || !s.strict;
  EXPECT_TRUE(weak) << "the loop needs the weak rules";
}

TEST(CycleLoops, TheReplayRejectsTheFoundCycleCorrupted) {
  const Problem p = Plain(kLengthKeeping);
  const Result r = Search(p);
  ASSERT_EQ(r.kind, Result::Kind::Disproved) << r.note;
  const auto firstWeak = [](LoopWitness& w) -> LoopStep& {
    for (LoopStep& s : w.steps)
      if (!s.strict) return s;
    return w.steps[0];
  };
  const std::vector<std::pair<const char*, std::function<void(LoopWitness&)>>> corruptions{
      {"a step moved by one", [](LoopWitness& w) { ++w.steps[w.steps.size() / 2].position; }},
      {"a weak step claimed strict", [&](LoopWitness& w) { firstWeak(w).strict = true; }},
      {"every strict step claimed weak",
       [](LoopWitness& w) {
         for (LoopStep& s : w.steps) s.strict = false;
       }},
      {"the first step dropped", [](LoopWitness& w) { w.steps.erase(w.steps.begin()); }},
      {"the last word changed",
       [](LoopWitness& w) {
         Word& m = w.steps.back().result;
         m[0] = m[0] == 0 ? 1 : 0;
       }},
      {"u and p swapped", [](LoopWitness& w) { std::swap(w.start, w.prefix); }},
  };
  for (const auto& [what, corrupt] : corruptions) {
    LoopWitness w = LoopOf(r);
    corrupt(w);
    EXPECT_NE(w.Recheck(p, {}), "") << what;
  }
}

// True when some word of at most `n` letters over {0, 1, 2} lies on a cycle of p's
// length-keeping rules through a strict step: for every strict step x -> y, whether y
// reaches x, by brute force.
bool BruteForceCycle(const Problem& p, std::size_t n) {
  const auto steps = [&](const Word& w) {
    std::vector<std::pair<Word, bool>> out;
    for (const auto* rules : {&p.strict, &p.weak})
      for (const Rule& r : *rules) {
        if (r.lhs.size() != r.rhs.size() || r.lhs.empty() || r.lhs.size() > w.size()) continue;
        for (std::size_t i = 0; i + r.lhs.size() <= w.size(); ++i)
          if (std::equal(r.lhs.begin(), r.lhs.end(), w.begin() + static_cast<std::ptrdiff_t>(i))) {
            Word v = w;
            std::copy(r.rhs.begin(), r.rhs.end(), v.begin() + static_cast<std::ptrdiff_t>(i));
            out.emplace_back(v, rules == &p.strict);
          }
      }
    return out;
  };
  const auto reaches = [&](const Word& from, const Word& to) {
    std::set<Word> seen{from};
    std::vector<Word> todo{from};
    while (!todo.empty()) {
      const Word w = todo.back();
      todo.pop_back();
      if (w == to) return true;
      for (const auto& [v, strict] : steps(w))
        if (seen.insert(v).second) todo.push_back(v);
    }
    return false;
  };
  const int letters = p.alphabet.size();
  for (std::size_t m = 1; m <= n; ++m) {
    Word w(m, 0);
    for (bool more = true; more;) {
      for (const auto& [v, strict] : steps(w))
        if (strict && reaches(v, w)) return true;
      more = false;
      for (std::size_t i = m; i-- > 0;) {
        if (++w[i] < letters) {
          more = true;
          break;
        }
        w[i] = 0;
      }
    }
  }
  return false;
}

TEST(CycleLoops, AgreesWithABruteForceOnRandomSmallSystems) {
  std::mt19937 random(5);
  const auto word = [&](std::size_t n) {
    std::string w;
    for (std::size_t i = 0; i < n; ++i) w.push_back("abc"[random() % 3]);
    return w;
  };
  int loops = 0, none = 0;
  for (int t = 0; t < 150; ++t) {
    std::vector<std::string> lines;
    const int rules = 2 + static_cast<int>(random() % 3);
    for (int i = 0; i < rules; ++i) {
      const std::size_t n = 2 + random() % 2;
      lines.push_back(word(n) + (i == 0 || random() % 2 ? "->" : "->=") + word(n));
    }
    // Every letter occurs, so that the alphabet is {a, b, c} in this order for both.
    lines.push_back("abc->=abc");
    const Problem p = Plain(lines);
    if (p.alphabet.size() != 3) continue;
    const bool expected = BruteForceCycle(p, 6);
    const Result r = Search(p, 6);
    ASSERT_EQ(r.kind == Result::Kind::Disproved, expected) << lines[0] << " " << lines[1];
    if (expected) {
      EXPECT_EQ(RecheckResult(p, r), "") << lines[0];
      EXPECT_LE(LoopOf(r).start.size(), 6u);
      ++loops;
    } else {
      ++none;
    }
  }
  // Both answers occur often enough for the comparison to mean something.
  EXPECT_GE(loops, 20);
  EXPECT_GE(none, 20);
}

TEST(CycleLoops, CyclesOfWeakStepsAloneAndRulesThatChangeTheLengthGiveNoLoop) {
  // ab and ba turn into each other by weak steps; the strict step aa -> bb loses an a for
  // good. A strict rule that changes the length is not searched.
  for (const auto& rules : std::vector<std::vector<std::string>>{
           {"ab->=ba", "ba->=ab", "aa->bb"}, {"ab->=ba", "ba->=ab", "a->aa"}, {"ab->=ba"}}) {
    const Result r = Search(Plain(rules), 8);
    EXPECT_EQ(r.kind, Result::Kind::Nothing) << rules[0];
  }
  // A strict rule that brings back its own left side by a weak one loops at once.
  const Problem p = Plain({"ab->ba", "ba->=ab", "c->cc"});
  const Result r = Search(p, 8);
  ASSERT_EQ(r.kind, Result::Kind::Disproved) << r.note;
  EXPECT_EQ(LoopOf(r).steps.size(), 2u);
  EXPECT_EQ(RecheckResult(p, r), "");
}

// The rules of `p` that CycleRules keeps, as "l->r" in the problem's order.
std::vector<std::string> KeptRules(const Problem& p) {
  std::vector<std::string> kept;
  for (const SearchRule& r : CycleRules(SearchRules(p))) {
    std::string text;
    for (const char c : r.l) text += p.alphabet.names[static_cast<unsigned char>(c)];
    text += "->";
    for (const char c : r.r) text += p.alphabet.names[static_cast<unsigned char>(c)];
    kept.push_back(text);
  }
  return kept;
}

TEST(CycleLoops, LeavesOutTheRulesThatNoCycleUses) {
  // a -> b loses an a for good, the other rule changes the length: nothing is searched.
  const Problem growing = Plain({"a->b", "baac->ccaaaa"});
  EXPECT_TRUE(KeptRules(growing).empty());
  const Result r = Search(growing, 64);
  EXPECT_EQ(r.kind, Result::Kind::Nothing);
  EXPECT_EQ(r.note, "no strict rule can take part in a cycle");
  // Only cd -> dd makes d's, so it goes; then only a -> c changes the number of c's, so
  // it goes too; a -> b and b -> a make up for each other and stay.
  EXPECT_EQ(KeptRules(Plain({"a->b", "b->a", "a->c", "cd->dd"})),
            (std::vector<std::string>{"a->b", "b->a"}));
  // ab -> bb and bb -> ab turn a's into b's and back: both stay, and they loop.
  EXPECT_EQ(KeptRules(Plain({"ab->bb", "bb->ab"})), (std::vector<std::string>{"ab->bb", "bb->ab"}));
  EXPECT_EQ(Search(Plain({"ab->bb", "bb->ab", "a->b"}), 8).kind, Result::Kind::Disproved);
}

TEST(CycleLoops, RespectsTheLengthTheMemoryAndTheBudget) {
  const Problem p = Plain(kLengthKeeping);
  // Its shortest cycle needs words of 11 letters.
  Result r = Search(p, 10);
  EXPECT_EQ(r.kind, Result::Kind::Nothing);
  EXPECT_NE(r.note.find("length 10 or less"), std::string::npos) << r.note;
  // 3^8 words need more than 32 KB.
  r = Search(p, 64, std::size_t{32} << 10);
  EXPECT_EQ(r.kind, Result::Kind::Nothing);
  EXPECT_NE(r.note.find("memory"), std::string::npos) << r.note;
  r = FindLoopByCycles(p, Budget().Within(std::chrono::seconds(0)), CycleLoopOptions{});
  EXPECT_EQ(r.kind, Result::Kind::Nothing);
  EXPECT_NE(r.note.find("budget"), std::string::npos) << r.note;
}

}  // namespace
}  // namespace velkin::strong
