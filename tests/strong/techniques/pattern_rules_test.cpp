#include "strong/techniques/pattern_rules.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "../strong_test_util.h"

namespace velkin::strong {
namespace {

using test::Plain;

Budget Seconds(int s) {
  return Budget().Within(std::chrono::seconds(s));
}

// A derivation that grows by a letter every round and never repeats a word:
// a L b^n c ->+ a L b^(n+1) c.
Problem Growing() {
  return Plain({"Rb->bR", "Rc->Lc", "bL->Lb", "aL->abR"});
}

// A step of `by` with the data its inference reads.
PatternStep Make(PatternRule rule, PatternInference by, int first, int second = -1,
                 std::size_t size = 0, Word left = {}, Word right = {}) {
  return PatternStep{std::move(rule), by, first, second, size, std::move(left), std::move(right)};
}

const PatternWitness& WitnessOf(const Result& r) {
  return static_cast<const PatternWitness&>(*r.witness);
}

Word Power(const Word& w, int n) {
  Word r;
  for (int i = 0; i < n; ++i) r.insert(r.end(), w.begin(), w.end());
  return r;
}

Word Cat(std::initializer_list<Word> parts) {
  Word r;
  for (const Word& p : parts) r.insert(r.end(), p.begin(), p.end());
  return r;
}

// Brute force: `to` is reachable from `from` by the rules of `p` (with a strict step when
// `strict`, in zero or more steps otherwise), among words of at most `maxLength` letters.
bool Reaches(const Problem& p, const Word& from, const Word& to, bool strict,
             std::size_t maxLength = 40) {
  std::set<std::pair<Word, bool>> seen{{from, false}};
  std::deque<std::pair<Word, bool>> work{{from, false}};  // breadth first: short ones first
  while (!work.empty() && seen.size() < 200000) {
    auto [w, used] = work.front();
    work.pop_front();
    if (w == to && (used || !strict)) return true;
    for (const auto* rules : {&p.strict, &p.weak})
      for (const Rule& r : *rules)
        for (std::size_t i = 0; i + r.lhs.size() <= w.size(); ++i) {
          if (!std::equal(r.lhs.begin(), r.lhs.end(), w.begin() + static_cast<std::ptrdiff_t>(i)))
            continue;
          Word next(w.begin(), w.begin() + static_cast<std::ptrdiff_t>(i));
          next.insert(next.end(), r.rhs.begin(), r.rhs.end());
          next.insert(next.end(), w.begin() + static_cast<std::ptrdiff_t>(i + r.lhs.size()),
                      w.end());
          if (next.size() > maxLength) continue;
          const std::pair<Word, bool> state{next, used || rules == &p.strict};
          if (seen.insert(state).second) work.push_back(state);
        }
  }
  return false;
}

// Every pattern rule of `w` holds for n = 0..3 by brute force, with a strict step where
// it says so.
void ExpectEveryStepHolds(const Problem& p, const PatternWitness& w) {
  for (std::size_t i = 0; i < w.steps.size(); ++i) {
    const PatternRule& r = w.steps[i].rule;
    for (int n = 0; n <= 3; ++n)
      EXPECT_TRUE(
          Reaches(p, Cat({r.u, Power(r.v, n), r.w}), Cat({r.x, Power(r.y, n), r.z}), r.strict))
          << "pattern rule " << i + 1 << " at n = " << n;
  }
}

TEST(PatternRules, FindsAGrowingDerivationThatIsNoLoopAndEveryStepHolds) {
  const Problem p = Growing();
  const Result r = FindPatternNontermination(p, Seconds(20));
  ASSERT_EQ(r.kind, Result::Kind::Disproved) << r.note;
  EXPECT_EQ(RecheckResult(p, r), "");
  ExpectEveryStepHolds(p, WitnessOf(r));
  std::vector<std::string> lines;
  r.witness->Print(p, lines);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines.front(),
            "each line holds for every n >= 0 (->+ with a strict step for every n):");
  EXPECT_NE(lines.back().find("begins an infinite derivation"), std::string::npos) << lines.back();
  EXPECT_NE(lines[1].find("by rule"), std::string::npos) << lines[1];
}

TEST(PatternRules, EveryStepHoldsOnOtherNonLoopingSystems) {
  // b^n in a b^n c grows by one each round (b c -> d c, d moves left, a d -> a b b); and
  // a system whose pump doubles: c a -> c c c.
  for (const auto& rules :
       std::vector<std::vector<std::string>>{{"bc->dc", "bd->db", "ad->abb"},
                                             {"cb->ba", "ac->abc", "bb->bc", "ca->ccc"},
                                             {"al->la", "ra->ar", "bl->bar", "rb->lb"}}) {
    const Problem p = Plain(rules);
    const Result r = FindPatternNontermination(p, Seconds(20));
    ASSERT_EQ(r.kind, Result::Kind::Disproved) << rules[0] << ": " << r.note;
    EXPECT_EQ(RecheckResult(p, r), "") << rules[0];
    ExpectEveryStepHolds(p, WitnessOf(r));
  }
}

TEST(PatternRules, EveryInferenceTheRecheckAcceptsHoldsOnRandomSystems) {
  // Random systems of two or three rules over {a, b, c} with sides of one to three
  // letters, random inferences on random premises: whatever DerivePattern accepts, brute
  // force confirms for n = 0..2 (strictness included).
  std::mt19937 random(12345);
  const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  const auto word = [&](std::size_t from, std::size_t to) {
    Word w(from + pick(to - from + 1));
    for (Symbol& s : w) s = static_cast<Symbol>(pick(3));
    return w;
  };
  std::map<PatternInference, int> accepted;
  for (int round = 0; round < 150; ++round) {
    std::vector<std::string> rules;
    for (int i = 2 + static_cast<int>(pick(2)); i > 0; --i) {
      std::string l, r;
      for (std::size_t k = 1 + pick(3); k > 0; --k) l += "abc"[pick(3)];
      for (std::size_t k = 1 + pick(3); k > 0; --k) r += "abc"[pick(3)];
      rules.push_back(l + "->" + (round % 3 == 0 && i == 1 ? "=" : "") + r);
    }
    const Problem p = Plain({rules});
    std::vector<PatternStep> steps;
    for (std::size_t i = 0; i < p.strict.size() + p.weak.size(); ++i) {
      PatternStep s = Make({}, PatternInference::Rule, static_cast<int>(i));
      s.rule = DerivePattern(p, steps, s).rule;
      steps.push_back(s);
    }
    for (int attempt = 0; attempt < 60 && steps.size() < 30; ++attempt) {
      const auto by = static_cast<PatternInference>(1 + pick(12));
      PatternStep s =
          Make({}, by, static_cast<int>(pick(steps.size())), static_cast<int>(pick(steps.size())));
      if (by == PatternInference::Context) {
        s.left = word(0, 2);
        s.right = word(0, 2);
      }
      if (by == PatternInference::LiftLeft) s.left = word(1, 2);
      if (by == PatternInference::LiftRight) s.right = word(1, 2);
      // The first size that the inference accepts, if any.
      DerivedPattern d;
      for (s.size = 0; s.size <= 6 && !d.ok; ++s.size) d = DerivePattern(p, steps, s);
      if (!d.ok) continue;
      --s.size;
      s.rule = d.rule;
      std::size_t letters = 0;
      for (const Word* w : {&d.rule.u, &d.rule.v, &d.rule.w, &d.rule.x, &d.rule.y, &d.rule.z})
        letters += w->size();
      if (letters > 16) continue;
      ++accepted[by];
      for (int n = 0; n <= 2; ++n)
        ASSERT_TRUE(Reaches(p, Cat({d.rule.u, Power(d.rule.v, n), d.rule.w}),
                            Cat({d.rule.x, Power(d.rule.y, n), d.rule.z}), d.rule.strict, 30))
            << rules[0] << " " << rules[1] << ": inference " << static_cast<int>(by)
            << ", n = " << n;
      steps.push_back(s);
    }
  }
  // Every inference was accepted somewhere, so each was checked.
  for (int by = 1; by <= 12; ++by)
    EXPECT_GT(accepted[static_cast<PatternInference>(by)], 0) << "inference " << by;
}

TEST(PatternRules, UsesWeakRulesButNeedsInfinitelyManyStrictSteps) {
  // The growing derivation with only a L -> a b R strict: it is used every round.
  const Problem relative = Plain({"aL->abR", "Rb->=bR", "Rc->=Lc", "bL->=Lb"});
  const Result r = FindPatternNontermination(relative, Seconds(20));
  ASSERT_EQ(r.kind, Result::Kind::Disproved) << r.note;
  EXPECT_EQ(RecheckResult(relative, r), "");
  ExpectEveryStepHolds(relative, WitnessOf(r));
  // With every rule of it weak and a strict one that nothing creates again, the relative
  // problem terminates: no pattern rule may repeat.
  const Problem terminating = Plain({"x->", "aL->=abR", "Rb->=bR", "Rc->=Lc", "bL->=Lb"});
  PatternOptions small;
  small.maxRules = 20000;
  EXPECT_EQ(FindPatternNontermination(terminating, Seconds(20), small).kind, Result::Kind::Nothing);
}

TEST(PatternRules, FindsNothingOnTerminatingSystemsAndDependencyPairs) {
  PatternOptions small;
  small.maxRules = 20000;
  for (const auto& rules :
       std::vector<std::vector<std::string>>{{"ab->ba"}, {"aa->aba"}, {"ab->bba"}, {"ab->baa"}}) {
    const Result r = FindPatternNontermination(Plain(rules), Seconds(20), small);
    EXPECT_EQ(r.kind, Result::Kind::Nothing) << rules[0];
  }
  Problem pairs = Growing();
  pairs.kind = ProblemKind::DependencyPairs;
  EXPECT_EQ(FindPatternNontermination(pairs, Seconds(5)).kind, Result::Kind::Nothing);
}

TEST(PatternRules, RepeatsOnlyWithTheLeftSideInsideTheRightForEveryN) {
  // a b^n b c ->+ a b b b^n c: m = n + 1 (the b of w and the two of x counted).
  PatternRule r{{0}, {1}, {1, 2}, {0, 1, 1}, {1}, {2}, true};
  auto m = RepeatOf(r);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->factor, 1u);
  EXPECT_EQ(m->constant, 1u);
  r.strict = false;  // no strict step: nothing follows
  EXPECT_FALSE(RepeatOf(r));
  r.strict = true;
  r.y = {1, 1};  // y = v^2: m = 2 n + 1
  m = RepeatOf(r);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->factor, 2u);
  r.y = {2};  // y no power of v
  EXPECT_FALSE(RepeatOf(r));
  // a b^n b b c ->+ a b^n c: the right side has fewer b than the left for n = 0.
  EXPECT_FALSE(RepeatOf(PatternRule{{0}, {1}, {1, 1, 2}, {0}, {1}, {2}, true}));
  // The letter before the power differs.
  EXPECT_FALSE(RepeatOf(PatternRule{{0}, {1}, {2}, {3}, {1}, {2}, true}));
  // Plain: a repeat is a loop.
  EXPECT_TRUE(RepeatOf(PatternRule{{0, 1}, {}, {}, {2, 0, 1}, {}, {}, true}));
  EXPECT_FALSE(RepeatOf(PatternRule{{0, 1}, {}, {}, {2, 0}, {}, {}, true}));
}

TEST(PatternRules, TamperedWitnessesAreRejected) {
  const Problem p = Growing();
  const Result found = FindPatternNontermination(p, Seconds(20));
  ASSERT_EQ(found.kind, Result::Kind::Disproved);
  const PatternWitness& good = WitnessOf(found);
  const auto rejected = [&](const PatternWitness& w) { return !w.Recheck(p, {}).empty(); };
  ASSERT_FALSE(rejected(good));
  EXPECT_NE(good.Recheck(p, {p}), "");  // a disproof has no subproblem

  // Any change to the words, the strictness or the inferences' data.
  for (std::size_t i = 0; i < good.steps.size(); ++i) {
    PatternWitness w = good;
    w.steps[i].rule.x.push_back(0);
    EXPECT_TRUE(rejected(w)) << "x of " << i + 1;
    w = good;
    w.steps[i].rule.strict = !w.steps[i].rule.strict;
    EXPECT_TRUE(rejected(w)) << "strictness of " << i + 1;
    w = good;
    w.steps[i].size += 1;
    // The size matters wherever the inference reads it.
    using I = PatternInference;
    const I by = w.steps[i].by;
    if (by != I::Rule && by != I::Context && by != I::LiftLeft && by != I::LiftRight &&
        by != I::UnfoldLeft && by != I::UnfoldRight) {
      EXPECT_TRUE(rejected(w)) << "size of " << i + 1;
    }
    if (by != I::Rule) {
      w = good;
      w.steps[i].first = static_cast<int>(i);  // not an earlier step
      EXPECT_TRUE(rejected(w)) << "premise of " << i + 1;
    }
  }
  // Without its last step, the witness ends in a rule that does not repeat.
  PatternWitness shorter = good;
  shorter.steps.pop_back();
  EXPECT_TRUE(rejected(shorter));
  // A pumping that claims a strict step for n = 0.
  PatternWitness strictPump;
  PatternStep rule = Make({{0, 1}, {}, {}, {1, 0}, {}, {}, true}, PatternInference::Rule, 0);
  PatternStep pump = Make({{0}, {1}, {}, {}, {1}, {0}, true}, PatternInference::PumpLeft, 0, -1, 1);
  strictPump.steps = {rule, pump};
  EXPECT_NE(strictPump.Recheck(p, {}), "");
  pump.rule.strict = false;
  EXPECT_TRUE(DerivePattern(p, {rule}, pump).ok);
  EXPECT_EQ(DerivePattern(p, {rule}, pump).rule, pump.rule);
}

TEST(PatternRules, DerivesEachInferenceAsStated) {
  const Problem p = Growing();  // letters R b c L a, numbered in that order
  const Symbol R = 0, b = 1, c = 2, a = 4;
  const auto derive = [&](const std::vector<PatternStep>& earlier, PatternStep s) {
    const DerivedPattern d = DerivePattern(p, earlier, s);
    EXPECT_TRUE(d.ok) << d.error;
    return d.rule;
  };
  PatternStep rule0 = Make({}, PatternInference::Rule, 0);
  const PatternRule r0 = derive({}, rule0);
  EXPECT_EQ(r0, (PatternRule{{R, b}, {}, {}, {b, R}, {}, {}, true}));
  rule0.rule = r0;
  PatternStep context{{}, PatternInference::Context, 0, -1, 0, {a}, {c}};
  EXPECT_EQ(derive({rule0}, context),
            (PatternRule{{a, R, b, c}, {}, {}, {a, b, R, c}, {}, {}, true}));
  PatternStep lift{{}, PatternInference::LiftLeft, 0, -1, 0, {c}, {}};
  EXPECT_EQ(derive({rule0}, lift), (PatternRule{{}, {c}, {R, b}, {}, {c}, {b, R}, true}));
  PatternStep unfold = Make({}, PatternInference::UnfoldRight, 1);
  PatternStep lifted = lift;
  lifted.rule = derive({rule0}, lift);
  EXPECT_EQ(derive({rule0, lifted}, unfold),
            (PatternRule{{}, {c}, {c, R, b}, {}, {c}, {c, b, R}, true}));
  PatternStep power = Make({}, PatternInference::Power, 1, -1, 2);
  EXPECT_EQ(derive({rule0, lifted}, power),
            (PatternRule{{}, {c, c}, {R, b}, {}, {c, c}, {b, R}, true}));
  // Rewriting inside the power: every copy, so no strict step is promised for n = 0.
  PatternStep pumpOfR =
      Make({{R}, {b}, {}, {}, {b}, {R}, false}, PatternInference::PumpLeft, 0, -1, 1);
  EXPECT_EQ(derive({rule0}, pumpOfR), pumpOfR.rule);
  PatternStep bR{{}, PatternInference::LiftRight, 0, -1, 0, {}, {R, b}};
  bR.rule = derive({rule0}, bR);  // R b (R b)^n ->+ b R (R b)^n
  PatternStep inY = Make({}, PatternInference::InsideY, 1, 0, 0);
  EXPECT_EQ(derive({rule0, bR}, inY), (PatternRule{{R, b}, {R, b}, {}, {b, R}, {b, R}, {}, true}));
  PatternStep wrongPlace = inY;
  wrongPlace.size = 1;
  EXPECT_FALSE(DerivePattern(p, {rule0, bR}, wrongPlace).ok);
  // A power too large to write out is refused, not attempted.
  PatternStep huge = power;
  huge.size = std::size_t{1} << 40;
  EXPECT_FALSE(DerivePattern(p, {rule0, lifted}, huge).ok);
  // Narrowing needs the powers to agree.
  PatternStep narrow = Make({}, PatternInference::Narrow, 1, 2, 0);
  EXPECT_FALSE(DerivePattern(p, {rule0, bR, pumpOfR}, narrow).ok);
}

}  // namespace
}  // namespace velkin::strong
