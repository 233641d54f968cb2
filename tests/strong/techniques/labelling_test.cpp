// The labelling steps: the tiling of width 2 and semantic labelling with a (quasi-)model.
// Their labelled problems against a brute force (every step of a word is a step of its
// labelled word), their model checks against every table of small systems, proofs on
// systems that weights alone do not remove, and witnesses corrupted in each part rejected.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "../strong_test_util.h"
#include "strong/strategy.h"
#include "strong/techniques/lp_weights.h"
#include "strong/techniques/matrix.h"
#include "strong/techniques/model_labelling.h"
#include "strong/techniques/tiling.h"

namespace velkin::strong {
namespace {

using test::Plain;

// Every word over `letters` of length 0 to `n`.
std::vector<Word> Words(const std::vector<Symbol>& letters, std::size_t n) {
  std::vector<Word> out{{}};
  for (std::size_t from = 0, len = 0; len < n; ++len) {
    const std::size_t to = out.size();
    for (std::size_t i = from; i < to; ++i)
      for (Symbol a : letters) {
        Word w = out[i];
        w.push_back(a);
        out.push_back(std::move(w));
      }
    from = to;
  }
  return out;
}

std::vector<Symbol> Letters(const Problem& p) {
  std::vector<Symbol> out;
  const std::vector<bool> used = UsedLetters(p);
  for (Symbol a = 0; a < static_cast<Symbol>(used.size()); ++a)
    if (used[a]) out.push_back(a);
  return out;
}

// The labelled letter of `w` for (letter, label), or -1.
Symbol LetterOf(const LabelledRemovalWitness& w, Symbol a, int label) {
  for (std::size_t s = 0; s < w.base.size(); ++s)
    if (w.base[s] == a && w.label[s] == label) return static_cast<Symbol>(s);
  return -1;
}

bool HasRule(const std::vector<Rule>& rules, const Rule& r) {
  return std::find(rules.begin(), rules.end(), r) != rules.end();
}

// The brute force of the labelling argument: for every word u over the letters of
// `unlabelled` up to length `n`, every step u -> u' by one of its rules and every value
// k after the word, the labelled word of u at k (labels: `labelOf(u, i, k)`) rewrites in
// one step by a labelled rule of the same kind, at the same place, to a word from which
// the labelled word of u' follows by lowering labels (equal to it, for a model).
void ExpectSimulates(const Problem& unlabelled, const LabelledRemovalWitness& w,
                     const std::vector<int>& values,
                     const std::function<int(const Word&, std::size_t, int)>& labelOf,
                     std::size_t n, bool lowering) {
  const auto labels = [&](const Word& u, int k) {
    std::vector<int> out;
    for (std::size_t i = 0; i < u.size(); ++i) out.push_back(labelOf(u, i, k));
    return out;
  };
  // The labelled letters of u[from, from + len).
  const auto letters = [&](const Word& u, const std::vector<int>& l, std::size_t from,
                           std::size_t len) {
    Word out;
    for (std::size_t i = from; i < from + len; ++i) out.push_back(LetterOf(w, u[i], l[i]));
    return out;
  };
  int steps = 0;
  for (const Word& u : Words(Letters(unlabelled), n))
    for (const auto* rules : {&unlabelled.strict, &unlabelled.weak})
      for (const Rule& r : *rules)
        for (std::size_t at = 0; at + r.lhs.size() <= u.size(); ++at) {
          if (!std::equal(r.lhs.begin(), r.lhs.end(), u.begin() + at)) continue;
          Word v(u.begin(), u.begin() + at);
          v.insert(v.end(), r.rhs.begin(), r.rhs.end());
          v.insert(v.end(), u.begin() + at + r.lhs.size(), u.end());
          for (int k : values) {
            const std::vector<int> lu = labels(u, k), lv = labels(v, k);
            // The labelled redex and what replaces it in the word the rule step gives.
            const Rule copy{letters(u, lu, at, r.lhs.size()), letters(v, lv, at, r.rhs.size())};
            const bool weak = rules == &unlabelled.weak;
            EXPECT_TRUE(HasRule(weak ? w.labelled.weak : w.labelled.strict, copy))
                << RuleText(unlabelled.alphabet, r, weak) << " in "
                << WordText(unlabelled.alphabet, u) << " at " << k;
            // Right of the redex nothing changes; left of it the labels may only fall
            // (quasi-model) or stay.
            for (std::size_t i = 0; i < at; ++i)
              if (lowering)
                EXPECT_GE(lu[i], lv[i]);
              else
                EXPECT_EQ(lu[i], lv[i]);
            ++steps;
          }
        }
  EXPECT_GT(steps, 0);
}

// A random system over {a, b} (and c) with sides of length 0 to 3.
Problem RandomSystem(std::mt19937& gen, bool relative, bool emptySides) {
  std::uniform_int_distribution<int> len(emptySides ? 0 : 1, 3), letter(0, 2), count(1, 3);
  std::vector<std::string> lines;
  const int rules = count(gen) + (relative ? 1 : 0);
  for (int i = 0; i < rules; ++i) {
    std::string l, r;
    for (int k = len(gen); k > 0; --k) l += static_cast<char>('a' + letter(gen));
    for (int k = len(gen); k > 0; --k) r += static_cast<char>('a' + letter(gen));
    if (l.empty() && r.empty()) l = "a";
    lines.push_back(l + (relative && i == rules - 1 ? "->=" : "->") + r);
  }
  return Plain(lines);
}

TEST(Tiling, LabelledRulesSimulateEveryStepOfTheClosedProblem) {
  std::mt19937 gen(7);
  for (int round = 0; round < 30; ++round) {
    const Problem p = RandomSystem(gen, round % 2 == 1, true);
    SCOPED_TRACE(RuleText(p.alphabet, p.strict[0]));
    const auto w = TiledProblem(p, Budget());
    ASSERT_TRUE(w);
    const Problem unlabelled = w->closed ? LeftClosedForLabelling(p) : p;
    EXPECT_EQ(w->CheckLabelling(unlabelled), "");
    const std::vector<Symbol> sigma = Letters(unlabelled);
    // Every letter labelled by its right neighbour, the last one by the letter c after it.
    const auto neighbour = [](const Word& u, std::size_t i, int c) {
      return i + 1 < u.size() ? u[i + 1] : c;
    };
    ExpectSimulates(unlabelled, *w, std::vector<int>(sigma.begin(), sigma.end()), neighbour, 4,
                    false);
  }
  // Rules that start with the same letter on both sides are labelled without a closure.
  const auto ready = TiledProblem(Plain({"ab->aba", "b->=bb"}), Budget());
  ASSERT_TRUE(ready);
  EXPECT_FALSE(ready->closed);
  EXPECT_EQ(ready->labelled.strict.size(), 2u);
}

TEST(Tiling, RemovesWhatWeightsCannotAndReadsTheRestBack) {
  // a a -> a b a: both sides weigh the same for every weight with w(b) = 0.
  const Problem p = Plain({"aa->aba"});
  EXPECT_EQ(LpWeights(p, Budget()).kind, Result::Kind::Nothing);
  const Result r = Tiling(p, Budget().WithinSeconds(30));
  ASSERT_EQ(r.kind, Result::Kind::Transformed) << r.note;
  EXPECT_EQ(RecheckResult(p, r), "");
  EXPECT_TRUE(r.subproblems[0].strict.empty());
  EXPECT_TRUE(KeepsLoops(p, *r.witness, r.subproblems[0]));

  // Relative, with a rule ε ->= b that the closure turns into a ->= a b, b ->= b b: the
  // weak rule keeps copies, so it stays.
  const Problem q = Plain({"aa->aba", "->=b"});
  const Result s = Tiling(q, Budget().WithinSeconds(30));
  ASSERT_EQ(s.kind, Result::Kind::Transformed) << s.note;
  EXPECT_EQ(RecheckResult(q, s), "");
  EXPECT_TRUE(s.subproblems[0].strict.empty());
  ASSERT_EQ(s.subproblems[0].weak.size(), 1u);

  // Nothing to remove: no step.
  EXPECT_EQ(Tiling(Plain({"ab->ba", "ba->ab"}), Budget().WithinSeconds(5)).kind,
            Result::Kind::Nothing);
  // Too large: skipped with a note.
  TilingOptions small;
  small.limits.maxRules = 1;
  const Result skipped = Tiling(p, Budget(), small);
  EXPECT_EQ(skipped.kind, Result::Kind::Nothing);
  EXPECT_NE(skipped.note.find("tiling skipped"), std::string::npos);
}

TEST(Tiling, WeightsOfTilesOrderWhatKeepsTheLetterCounts) {
  // a a b b -> a b a b keeps the letters' counts, so no weights remove it, while in every
  // context x _ y it loses the tiles a a and b b and gains a b and b a.
  TilingOptions weightsOnly;
  weightsOnly.removers = {WeightsRemover()};
  const Problem p = Plain({"aabb->abab"});
  EXPECT_EQ(LpWeights(p, Budget()).kind, Result::Kind::Nothing);
  const Result r = Tiling(p, Budget().WithinSeconds(30), weightsOnly);
  ASSERT_EQ(r.kind, Result::Kind::Transformed) << r.note;
  EXPECT_EQ(RecheckResult(p, r), "");
  EXPECT_TRUE(r.subproblems[0].strict.empty());
  // With a b ->= b a beside it, the contexts a _ b and b _ a make a a + b b weigh at most
  // and at least a b + b a; and a b -> b a alone changes nothing in a a b a -> a b a a.
  for (const Problem& q : {Plain({"aabb->abab", "ab->=ba"}), Plain({"ab->ba"})})
    EXPECT_EQ(Tiling(q, Budget().WithinSeconds(5), weightsOnly).kind, Result::Kind::Nothing);
}

// The tables of n values for each of `letters` letters, every one of them in turn.
std::vector<std::vector<std::vector<int>>> AllTables(int letters, int n) {
  int functions = 1;
  for (int i = 0; i < n; ++i) functions *= n;
  int total = 1;
  for (int i = 0; i < letters; ++i) total *= functions;
  std::vector<std::vector<std::vector<int>>> out;
  for (int code = 0; code < total; ++code) {
    std::vector<std::vector<int>> tables(letters, std::vector<int>(n));
    int c = code;
    for (int a = 0; a < letters; ++a)
      for (int v = 0; v < n; ++v, c /= n) tables[a][v] = c % n;
    out.push_back(std::move(tables));
  }
  return out;
}

TEST(ModelLabelling, TheCheckAcceptsExactlyTheModelsAndTheirLabellingsSimulate) {
  std::mt19937 gen(11);
  int models = 0, quasiModels = 0;
  for (int round = 0; round < 12; ++round) {
    Problem p = RandomSystem(gen, round % 2 == 1, true);
    // Every letter in some rule, so that every table is one of a letter of the rules.
    for (Symbol a = 0; a < p.alphabet.size(); ++a)
      if (!UsedLetters(p)[a]) p.weak.push_back(Rule{{a}, {a}});
    const int letters = p.alphabet.size();
    for (const auto& tables : AllTables(letters, 2))
      for (const bool quasi : {false, true}) {
        // The brute force: every rule at every k, by composing the tables.
        const auto value = [&](const Word& w, int k) {
          for (std::size_t i = w.size(); i-- > 0;) k = tables[w[i]][k];
          return k;
        };
        bool model = true;
        for (const auto* rules : {&p.strict, &p.weak})
          for (const Rule& r : *rules)
            for (int k = 0; k < 2; ++k)
              model = model && (quasi ? value(r.lhs, k) >= value(r.rhs, k)
                                      : value(r.lhs, k) == value(r.rhs, k));
        if (quasi)
          for (const auto& t : tables) model = model && t[0] <= t[1];
        const auto w = ModelLabelledProblem(p, 2, quasi, tables);
        EXPECT_EQ(w->CheckLabelling(p).empty(), model);
        if (!model) continue;
        (quasi ? quasiModels : models)++;
        const auto label = [&](const Word& u, std::size_t i, int k) {
          return value(Word(u.begin() + static_cast<std::ptrdiff_t>(i) + 1, u.end()), k);
        };
        ExpectSimulates(p, *w, {0, 1}, label, 3, quasi);
      }
  }
  EXPECT_GT(models, 0);
  EXPECT_GT(quasiModels, models);
}

TEST(ModelLabelling, FindsModelsThatHelp) {
  // a a -> a b a: [a] = 1, [b] = 0 is a model, and a[1] a[k] -> a[0] b[1] a[k] loses
  // weight once w(a[1]) > w(a[0]) + w(b[1]).
  const Problem p = Plain({"aa->aba"});
  const Result r = ModelLabelling(p, Budget().WithinSeconds(30));
  ASSERT_EQ(r.kind, Result::Kind::Transformed) << r.note;
  EXPECT_EQ(RecheckResult(p, r), "");
  EXPECT_TRUE(r.subproblems[0].strict.empty());

  // With ε ->= b: [b] must be the identity in a model, and then the labels do not help;
  // a quasi-model has [b] = 0 <= k, with the decreasing rules a[1] ->= a[0], b[1] ->= b[0].
  const Problem q = Plain({"aa->aba", "->=b"});
  EXPECT_EQ(ModelLabelling(q, Budget().WithinSeconds(30)).kind, Result::Kind::Nothing);
  ModelLabellingOptions quasi;
  quasi.quasi = true;
  const Result s = ModelLabelling(q, Budget().WithinSeconds(30), quasi);
  ASSERT_EQ(s.kind, Result::Kind::Transformed) << s.note;
  EXPECT_EQ(RecheckResult(q, s), "");
  EXPECT_TRUE(s.subproblems[0].strict.empty());
  const auto* w = dynamic_cast<const ModelLabellingWitness*>(s.witness.get());
  ASSERT_TRUE(w);
  EXPECT_EQ(std::count_if(w->labelled.weak.begin(), w->labelled.weak.end(),
                          [&](const Rule& rule) { return w->IsDecreasingRule(rule); }),
            2);
  // The joint search with matrices of dimension 2 finds a model where weights do not.
  ModelLabellingOptions matrices;
  matrices.dimension = 2;
  const Result m = ModelLabelling(q, Budget().WithinSeconds(30), matrices);
  ASSERT_EQ(m.kind, Result::Kind::Transformed) << m.note;
  EXPECT_EQ(RecheckResult(q, m), "");
}

// A copy of the step's witness, changed by `edit`, must fail the re-check.
template <class W>
void ExpectRejected(const Problem& p, const Result& r, const std::string& what,
                    const std::function<void(W&, std::vector<Problem>&)>& edit) {
  SCOPED_TRACE(what);
  auto copy = std::make_shared<W>(*dynamic_cast<const W*>(r.witness.get()));
  std::vector<Problem> after = r.subproblems;
  edit(*copy, after);
  EXPECT_NE(copy->Recheck(p, after), "");
}

TEST(LabelledRemoval, CorruptedWitnessesAreRejected) {
  const Problem p = Plain({"aa->aba", "->=b"});
  const Result t = Tiling(p, Budget().WithinSeconds(30));
  ASSERT_EQ(t.kind, Result::Kind::Transformed) << t.note;
  ASSERT_EQ(RecheckResult(p, t), "");
  using TW = TilingWitness;
  ExpectRejected<TW>(p, t, "a labelled rule missing",
                     [](TW& w, auto&) { w.labelled.strict.pop_back(); });
  ASSERT_TRUE(dynamic_cast<const TW&>(*t.witness).closed);
  ExpectRejected<TW>(p, t, "a weak copy made strict", [](TW& w, auto&) {
    w.labelled.strict.push_back(w.labelled.weak.back());
    w.labelled.weak.pop_back();
  });
  ExpectRejected<TW>(p, t, "a letter relabelled", [](TW& w, auto&) {
    for (int other : w.label)
      if (other != w.label[0]) {
        w.label[0] = other;
        break;
      }
  });
  ExpectRejected<TW>(p, t, "no closure", [](TW& w, auto&) { w.closed = false; });
  ExpectRejected<TW>(p, t, "a stage's removal dropped",
                     [](TW& w, auto&) { w.stages.erase(w.stages.begin()); });
  ExpectRejected<TW>(p, t, "a stage that adds a rule", [](TW& w, auto&) {
    w.stages.back().after.strict.push_back(w.labelled.strict[0]);
  });
  ExpectRejected<TW>(p, t, "a removed rule that keeps copies", [](TW& w, auto& after) {
    w.removedWeak = {0};
    after[0].weak.clear();
  });
  ExpectRejected<TW>(p, t, "the subproblem without a kept rule",
                     [](TW&, auto& after) { after[0].weak.clear(); });
  ExpectRejected<TW>(p, t, "nothing removed", [&](TW& w, auto& after) {
    w.removedStrict.clear();
    after[0] = p;
  });
  // A stage's own witness is re-checked: the same maps with every constant 0 orient no
  // rule strictly.
  ExpectRejected<TW>(p, t, "a wrong removal", [](TW& w, auto&) {
    const auto* found = dynamic_cast<const MatrixWitness*>(w.stages[0].removal.get());
    ASSERT_TRUE(found);
    auto bad = std::make_shared<MatrixWitness>(*found);
    for (auto& m : bad->letters)
      if (m)
        for (auto& c : m->c) c = 0;
    w.stages[0].removal = bad;
  });

  const Problem q = Plain({"aa->aba", "->=b"});
  ModelLabellingOptions quasi;
  quasi.quasi = true;
  const Result m = ModelLabelling(q, Budget().WithinSeconds(30), quasi);
  ASSERT_EQ(m.kind, Result::Kind::Transformed) << m.note;
  ASSERT_EQ(RecheckResult(q, m), "");
  using MW = ModelLabellingWitness;
  ExpectRejected<MW>(q, m, "a table changed", [](MW& w, auto&) {
    for (auto& t : w.tables)
      if (!t.empty()) t[0] = 1 - t[0];
  });
  ExpectRejected<MW>(q, m, "a value outside the carrier", [](MW& w, auto&) {
    for (auto& t : w.tables)
      if (!t.empty()) t[1] = 2;
  });
  ExpectRejected<MW>(q, m, "a model taken as a quasi-model's labelling",
                     [](MW& w, auto&) { w.quasi = false; });
  ExpectRejected<MW>(q, m, "a decreasing rule missing", [&](MW& w, auto&) {
    const auto it = std::find_if(w.labelled.weak.begin(), w.labelled.weak.end(),
                                 [&](const Rule& r) { return w.IsDecreasingRule(r); });
    w.labelled.weak.erase(it);
  });
  ExpectRejected<MW>(q, m, "a decreasing rule upwards", [&](MW& w, auto&) {
    for (Rule& r : w.labelled.weak)
      if (w.IsDecreasingRule(r)) std::swap(r.lhs, r.rhs);
  });
  ExpectRejected<MW>(q, m, "a larger carrier", [](MW& w, auto&) { w.size = 3; });
}

}  // namespace
}  // namespace velkin::strong
