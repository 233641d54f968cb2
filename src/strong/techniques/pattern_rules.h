// Non-termination without a loop: pattern rules u v^n w ->* x y^n z, each holding for
// every n >= 0, derived from the rules by a few inferences, until one of them contains
// its own left side again on the right (for a larger n, or any n), which gives an
// infinite derivation where the loop searches find none (a derivation that grows by a
// letter every round, say).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "strong/technique.h"

namespace velkin::strong {

// For every n >= 0: u v^n w ->* x y^n z by the rules of a relative problem (strict and
// weak), with a strict step for every n when `strict`. Plain when v and y are empty: one
// derivation u w ->* x z, always written with w and z empty.
struct PatternRule {
  Word u, v, w, x, y, z;
  bool strict = false;

  bool Plain() const { return v.empty() && y.empty(); }
  friend bool operator==(const PatternRule&, const PatternRule&) = default;
};

// How a pattern rule follows from the problem's rules and earlier pattern rules. P1 is
// the step `first`, P2 the step `second`; a plain premise L ->* R has L = u w, R = x z.
enum class PatternInference {
  Rule,         // rule `first` (the strict rules, then the weak ones): (l, ε, ε) -> (r, ε, ε)
  PumpLeft,     // plain P1 with L = c v, R = y c, |c| = size > 0: (c, v, ε) -> (ε, y, c)
  PumpRight,    // plain P1 with L = v c, R = c y, |c| = size > 0: (ε, v, c) -> (c, y, ε)
  Context,      // (s u, v, w t) -> (s x, y, z t) with s = left, t = right
  LiftRight,    // plain P1: (L, q, ε) -> (R, q, ε) with q = right
  LiftLeft,     // plain P1: (ε, q, L) -> (ε, q, R) with q = left
  InsideX,      // plain P2 rewrites x1 = s L2 t (|s| = size) to s R2 t
  InsideY,      // the same in every copy of y1 (so no strict step of P2 for n = 0)
  InsideZ,      // the same in z1
  Narrow,       // y1 = v2, x1 = s u2 (|s| = size), z1 = w2 t: (u1, v1, w1) -> (s x2, y2, z2 t)
  UnfoldLeft,   // n + 1 for n: (u v, v, w) -> (x y, y, z)
  UnfoldRight,  // n + 1 for n: (u, v, v w) -> (x, y, y z)
  Power,        // k n for n, k = size >= 1: (u, v^k, w) -> (x, y^k, z)
};

// One line of the derivation: the pattern rule, how it follows, and from what.
struct PatternStep {
  PatternRule rule;
  PatternInference by = PatternInference::Rule;
  int first = -1;        // the rule's index (Rule), else an earlier step
  int second = -1;       // an earlier step (InsideX, InsideY, InsideZ, Narrow)
  std::size_t size = 0;  // |c|, |s| or k, as the inference says
  Word left, right;      // the contexts s and t (Context), q (LiftLeft, LiftRight)
  friend bool operator==(const PatternStep&, const PatternStep&) = default;
};

// The pattern rule of `step` computed from `earlier` (the steps before it) and the rules
// of `p` (`ok`), or the condition that fails (`error`). Separate from the search: this is
// what the re-check and the tests trust.
struct DerivedPattern {
  bool ok = false;
  PatternRule rule;
  std::string error;
};
DerivedPattern DerivePattern(const Problem& p, const std::vector<PatternStep>& earlier,
                             const PatternStep& step);

// Why a pattern rule gives an infinite derivation: its right side contains u v^m w with
// m = factor n + constant (for a plain rule, its right side contains its left side).
struct PatternRepeat {
  std::size_t factor = 0, constant = 0;
};
// The repeat of `r` when there is one: `r` is strict, v is not empty, y = v^k, and with
// u = u' v^b, w = v^a w', x = x' v^c, z = v^d z' (a, b, c, d largest), x' ends in u', z'
// begins with w' and c + d >= a + b (then m = k n + c + d - a - b); or `r` is plain,
// strict, and its right side contains its left side.
std::optional<PatternRepeat> RepeatOf(const PatternRule& r);

// The disproof: pattern rules, each following from the ones before, the last repeating.
class PatternWitness : public Witness {
 public:
  std::vector<PatternStep> steps;

  std::string Technique() const override { return "pattern rules"; }
  // Derives every step again (DerivePattern), compares it with the one written, checks
  // that the last repeats (RepeatOf) and that `after` is empty.
  std::string Recheck(const Problem& before, const std::vector<Problem>& after) const override;
  // One line per pattern rule with the inference it follows by, then why the last repeats.
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
};

struct PatternOptions {
  std::size_t maxWord = 14;       // longest u, v, w, x, y or z kept
  std::size_t maxSide = 24;       // longest u v w and x y z kept
  std::size_t maxRules = 100000;  // pattern rules kept (about 60 MB)
  std::size_t plainPenalty = 4;   // added to a plain rule's size in the search order
};

// Searches the pattern rules of the relative problem `p` (dependency pair problems get
// Nothing) for one with a power that repeats with m > n for every n (a plain repeat, or
// one with m = n or m constant, gives a loop: left to the loop searches). Guarantees: a
// Disproved result holds a PatternWitness of `p` that the caller re-checks; Nothing when
// the budget or the limits run out.
Result FindPatternNontermination(const Problem& p, const Budget& budget,
                                 const PatternOptions& options = {});

}  // namespace velkin::strong
