#include "strong/techniques/pattern_rules.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <functional>
#include <optional>
#include <queue>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace velkin::strong {

namespace {

Word Cat(const Word& a, const Word& b) {
  Word r = a;
  r.insert(r.end(), b.begin(), b.end());
  return r;
}

// w^k.
Word PowerOf(const Word& w, std::size_t k) {
  Word r;
  for (std::size_t i = 0; i < k; ++i) r.insert(r.end(), w.begin(), w.end());
  return r;
}

bool StartsWith(const Word& w, const Word& prefix) {
  return prefix.size() <= w.size() && std::equal(prefix.begin(), prefix.end(), w.begin());
}

bool EndsWith(const Word& w, const Word& suffix) {
  return suffix.size() <= w.size() && std::equal(suffix.rbegin(), suffix.rend(), w.rbegin());
}

// w[from, from + size), which must lie inside w.
Word Part(const Word& w, std::size_t from, std::size_t size) {
  return Word(w.begin() + static_cast<std::ptrdiff_t>(from),
              w.begin() + static_cast<std::ptrdiff_t>(from + size));
}

// A plain rule with everything in u and x: the family u v^n w is the one word u w.
PatternRule Normal(PatternRule r) {
  if (r.Plain()) {
    r.u = Cat(r.u, r.w);
    r.x = Cat(r.x, r.z);
    r.w.clear();
    r.z.clear();
  }
  return r;
}

// s with L at `at` replaced by R, when L occurs there.
std::optional<Word> Rewritten(const Word& s, std::size_t at, const Word& l, const Word& r) {
  if (at > s.size() || l.size() > s.size() - at ||
      !std::equal(l.begin(), l.end(), s.begin() + static_cast<std::ptrdiff_t>(at)))
    return std::nullopt;
  return Replace(s, at, l.size(), r);
}

// True when y = v^k for some k >= 0 (v not empty).
bool IsPowerOf(const Word& y, const Word& v) {
  if (v.empty()) return y.empty();
  if (y.size() % v.size() != 0) return false;
  for (std::size_t i = 0; i < y.size(); ++i)
    if (y[i] != v[i % v.size()]) return false;
  return true;
}

}  // namespace

DerivedPattern DerivePattern(const Problem& p, const std::vector<PatternStep>& earlier,
                             const PatternStep& step) {
  DerivedPattern d;
  const auto fail = [&](std::string why) {
    d.error = std::move(why);
    return d;
  };
  const auto premise = [&](int i) -> const PatternRule* {
    return i >= 0 && static_cast<std::size_t>(i) < earlier.size() ? &earlier[i].rule : nullptr;
  };
  PatternRule r;
  using I = PatternInference;
  if (step.by == I::Rule) {
    const std::size_t n = p.strict.size() + p.weak.size();
    if (step.first < 0 || static_cast<std::size_t>(step.first) >= n) return fail("no such rule");
    const bool strict = static_cast<std::size_t>(step.first) < p.strict.size();
    const Rule& rule = strict ? p.strict[step.first] : p.weak[step.first - p.strict.size()];
    r.u = rule.lhs;
    r.x = rule.rhs;
    r.strict = strict;
    d.ok = true;
    d.rule = r;
    return d;
  }
  const PatternRule* a = premise(step.first);
  if (!a) return fail("the first premise is not an earlier step");
  const bool twoPremises = step.by == I::InsideX || step.by == I::InsideY ||
                           step.by == I::InsideZ || step.by == I::Narrow;
  const PatternRule* b = twoPremises ? premise(step.second) : nullptr;
  if (twoPremises && !b) return fail("the second premise is not an earlier step");
  switch (step.by) {
    case I::Rule:
      break;
    case I::PumpLeft:
    case I::PumpRight: {
      // c v ->* y c gives c v^n ->* y^n c by induction on n (and v c ->* c y likewise).
      if (!a->Plain()) return fail("pumping needs a plain premise");
      const Word l = Cat(a->u, a->w), rr = Cat(a->x, a->z);
      const std::size_t c = step.size;
      if (c == 0 || c >= l.size() || c > rr.size()) return fail("no such split");
      const bool left = step.by == I::PumpLeft;
      const Word cl = left ? Part(l, 0, c) : Part(l, l.size() - c, c);
      const Word cr = left ? Part(rr, rr.size() - c, c) : Part(rr, 0, c);
      if (cl != cr) return fail("the pumped word is not on both sides");
      const Word v = left ? Part(l, c, l.size() - c) : Part(l, 0, l.size() - c);
      const Word y = left ? Part(rr, 0, rr.size() - c) : Part(rr, c, rr.size() - c);
      r.v = v;
      r.y = y;
      (left ? r.u : r.w) = cl;
      (left ? r.z : r.x) = cl;
      r.strict = false;  // no step for n = 0
      break;
    }
    case I::Context:
      r = *a;
      r.u = Cat(step.left, a->u);
      r.x = Cat(step.left, a->x);
      r.w = Cat(a->w, step.right);
      r.z = Cat(a->z, step.right);
      break;
    case I::LiftRight:
    case I::LiftLeft: {
      if (!a->Plain()) return fail("lifting needs a plain premise");
      const Word& q = step.by == I::LiftRight ? step.right : step.left;
      if (q.empty()) return fail("lifting by the empty word");
      const Word l = Cat(a->u, a->w), rr = Cat(a->x, a->z);
      r.v = r.y = q;
      if (step.by == I::LiftRight) {
        r.u = l;
        r.x = rr;
      } else {
        r.w = l;
        r.z = rr;
      }
      r.strict = a->strict;
      break;
    }
    case I::InsideX:
    case I::InsideY:
    case I::InsideZ: {
      if (!b->Plain()) return fail("rewriting inside needs a plain second premise");
      const Word l = Cat(b->u, b->w), rr = Cat(b->x, b->z);
      r = *a;
      Word& target = step.by == I::InsideX ? r.x : step.by == I::InsideY ? r.y : r.z;
      const auto out = Rewritten(target, step.size, l, rr);
      if (!out) return fail("the second premise's left side is not at that position");
      target = *out;
      // Every copy of y is rewritten, none when n = 0.
      r.strict = a->strict || (step.by != I::InsideY && b->strict);
      break;
    }
    case I::Narrow: {
      if (a->y != b->v) return fail("the powers differ");
      if (!EndsWith(a->x, b->u) || a->x.size() - b->u.size() != step.size)
        return fail("the first premise's x does not end in the second's u");
      if (!StartsWith(a->z, b->w))
        return fail("the first premise's z does not begin with the second's w");
      r.u = a->u;
      r.v = a->v;
      r.w = a->w;
      r.x = Cat(Part(a->x, 0, step.size), b->x);
      r.y = b->y;
      r.z = Cat(b->z, Part(a->z, b->w.size(), a->z.size() - b->w.size()));
      r.strict = a->strict || b->strict;
      break;
    }
    case I::UnfoldLeft:
      r = *a;
      r.u = Cat(a->u, a->v);
      r.x = Cat(a->x, a->y);
      break;
    case I::UnfoldRight:
      r = *a;
      r.w = Cat(a->v, a->w);
      r.z = Cat(a->y, a->z);
      break;
    case I::Power:
      if (step.size == 0) return fail("the power 0");
      // A bound that no search reaches, so that a corrupt witness cannot ask for words of
      // any length.
      if (step.size > (std::size_t{1} << 16) / (1 + a->v.size() + a->y.size()))
        return fail("the power is too large");
      r = *a;
      r.v = PowerOf(a->v, step.size);
      r.y = PowerOf(a->y, step.size);
      break;
  }
  d.ok = true;
  d.rule = Normal(r);
  return d;
}

std::optional<PatternRepeat> RepeatOf(const PatternRule& r) {
  if (!r.strict) return std::nullopt;
  if (r.Plain()) {
    const Word l = Cat(r.u, r.w), rr = Cat(r.x, r.z);
    if (std::search(rr.begin(), rr.end(), l.begin(), l.end()) == rr.end() && !l.empty())
      return std::nullopt;
    return PatternRepeat{};
  }
  if (r.v.empty() || !IsPowerOf(r.y, r.v)) return std::nullopt;
  // u = u' v^b, w = v^a w', x = x' v^c, z = v^d z' with a, b, c, d as large as they go:
  // x y^n z = x' v^(c + k n + d) z' contains u' v^(b + m + a) w' = u v^m w when x' ends
  // in u', z' begins with w' and m = c + d - a - b + k n is never negative.
  const auto trailing = [&](Word w) {
    std::size_t count = 0;
    while (EndsWith(w, r.v)) w.resize(w.size() - r.v.size()), ++count;
    return std::make_pair(w, count);
  };
  const auto leading = [&](Word w) {
    std::size_t count = 0;
    while (StartsWith(w, r.v)) w.erase(w.begin(), w.begin() + r.v.size()), ++count;
    return std::make_pair(w, count);
  };
  const auto [u1, b] = trailing(r.u);
  const auto [w1, a] = leading(r.w);
  const auto [x1, c] = trailing(r.x);
  const auto [z1, d] = leading(r.z);
  if (!EndsWith(x1, u1) || !StartsWith(z1, w1) || c + d < a + b) return std::nullopt;
  return PatternRepeat{r.y.size() / r.v.size(), c + d - a - b};
}

std::string PatternWitness::Recheck(const Problem& before,
                                    const std::vector<Problem>& after) const {
  if (!after.empty()) return "a disproof has no subproblem";
  if (!before.IsRelative()) return "pattern rules are for relative problems";
  if (steps.empty()) return "no pattern rule";
  std::vector<PatternStep> checked;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const DerivedPattern d = DerivePattern(before, checked, steps[i]);
    if (!d.ok) return "pattern rule " + std::to_string(i + 1) + ": " + d.error;
    if (!(d.rule == steps[i].rule))
      return "pattern rule " + std::to_string(i + 1) + " is not what its inference gives";
    checked.push_back(steps[i]);
  }
  if (!RepeatOf(steps.back().rule)) return "the last pattern rule does not repeat";
  return "";
}

namespace {

// "u (v)^n w" with WordText's letters; ε when all of it is empty.
std::string FamilyText(const Alphabet& a, const Word& u, const Word& v, const Word& w) {
  std::string s;
  const auto add = [&](std::string part) {
    if (!s.empty()) s += ' ';
    s += part;
  };
  if (!u.empty()) add(WordText(a, u));
  if (!v.empty()) add("(" + WordText(a, v) + ")^n");
  if (!w.empty()) add(WordText(a, w));
  return s.empty() ? "ε" : s;
}

std::string Number(int i) {
  return std::to_string(i + 1);
}

}  // namespace

void PatternWitness::Print(const Problem& before, std::vector<std::string>& lines) const {
  const Alphabet& a = before.alphabet;
  if (steps.empty()) {
    lines.push_back("no pattern rule");  // never accepted
    return;
  }
  lines.push_back("each line holds for every n >= 0 (->+ with a strict step for every n):");
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const PatternStep& s = steps[i];
    const PatternRule& r = s.rule;
    std::string why;
    using I = PatternInference;
    switch (s.by) {
      case I::Rule: {
        const bool strict = static_cast<std::size_t>(s.first) < before.strict.size();
        why = "rule " + RuleText(a,
                                 strict ? before.strict[s.first]
                                        : before.weak[s.first - before.strict.size()],
                                 !strict);
        break;
      }
      case I::PumpLeft:
      case I::PumpRight:
        why = "pumping " + Number(s.first) + " n times, its " +
              (s.by == I::PumpLeft ? "first " : "last ") + std::to_string(s.size) +
              (s.size == 1 ? " letter" : " letters") +
              (s.by == I::PumpLeft ? " moving right" : " moving left");
        break;
      case I::Context:
        why = Number(s.first) + " between " + (s.left.empty() ? "ε" : WordText(a, s.left)) +
              " and " + (s.right.empty() ? "ε" : WordText(a, s.right));
        break;
      case I::LiftRight:
        why = Number(s.first) + " followed by (" + WordText(a, s.right) + ")^n";
        break;
      case I::LiftLeft:
        why = Number(s.first) + " after (" + WordText(a, s.left) + ")^n";
        break;
      case I::InsideX:
      case I::InsideZ:
        why = Number(s.first) + ", then " + Number(s.second) + " at " + std::to_string(s.size) +
              (s.by == I::InsideX ? " before" : " after") + " the power";
        break;
      case I::InsideY:
        why = Number(s.first) + ", then " + Number(s.second) + " at " + std::to_string(s.size) +
              " of every copy in the power";
        break;
      case I::Narrow:
        why = Number(s.first) + ", then " + Number(s.second) + " on its power";
        break;
      case I::UnfoldLeft:
        why = Number(s.first) + " for n + 1, a copy before the power";
        break;
      case I::UnfoldRight:
        why = Number(s.first) + " for n + 1, a copy after the power";
        break;
      case I::Power:
        why = Number(s.first) + " for " + std::to_string(s.size) + " n";
        break;
    }
    lines.push_back("  " + Number(static_cast<int>(i)) + ". " + FamilyText(a, r.u, r.v, r.w) +
                    (r.strict ? " ->+ " : " ->* ") + FamilyText(a, r.x, r.y, r.z) + "    by " +
                    why);
  }
  const PatternRule& last = steps.back().rule;
  const std::optional<PatternRepeat> m = RepeatOf(last);
  const std::string number = Number(static_cast<int>(steps.size()) - 1);
  if (!m) {
    lines.push_back("pattern rule " + number + " does not repeat");  // never accepted
    return;
  }
  if (last.Plain()) {
    lines.push_back("the right side of " + number + " contains its left side, so " +
                    FamilyText(a, last.u, {}, {}) + " begins an infinite derivation");
    return;
  }
  std::string exponent = std::to_string(m->constant);
  if (m->factor > 0)
    exponent = (m->factor == 1 ? "" : std::to_string(m->factor) + " ") + "n" +
               (m->constant > 0 ? " + " + exponent : "");
  lines.push_back("the right side of " + number + " contains its left side with m = " + exponent +
                  " for n, so " + FamilyText(a, last.u, {}, last.w) +
                  " begins an infinite derivation");
}

namespace {

// The search: pattern rules kept in the order found, each combined with every one
// before it (both ways) and, when plain, pumped; stops at the first that repeats.
class Search {
 public:
  Search(const Problem& p, const Budget& budget, const PatternOptions& o)
      : p_(p), budget_(budget), o_(o) {}

  // The index of a repeating rule, or -1.
  int Run() {
    const int rules = static_cast<int>(p_.strict.size() + p_.weak.size());
    for (int i = 0; i < rules && found_ < 0; ++i) {
      PatternStep s;
      s.by = PatternInference::Rule;
      s.first = i;
      const bool strict = i < static_cast<int>(p_.strict.size());
      const Rule& r = strict ? p_.strict[i] : p_.weak[i - p_.strict.size()];
      s.rule.u = r.lhs;
      s.rule.x = r.rhs;
      s.rule.strict = strict;
      Commit({s});
    }
    // Given-clause order: the smallest rule not yet taken is combined with every rule
    // taken before it, both ways, and with itself.
    std::vector<int> taken;
    while (!queue_.empty() && found_ < 0) {
      if (budget_.Expired()) {
        note_ = "the time ran out after " + std::to_string(steps_.size()) + " pattern rules";
        return -1;
      }
      const int i = queue_.top().second;
      queue_.pop();
      taken.push_back(i);
      if (steps_[i].rule.Plain()) Pump(i);
      for (std::size_t k = 0; k < taken.size() && found_ < 0; ++k) {
        Combine(i, taken[k]);
        if (taken[k] != i) Combine(taken[k], i);
      }
      if (steps_.size() >= o_.maxRules && found_ < 0) {
        note_ = "no pattern rule repeats among the first " + std::to_string(steps_.size());
        return -1;
      }
    }
    if (found_ < 0 && note_.empty()) note_ = "no more pattern rules within the size limits";
    return found_;
  }

  const std::vector<PatternStep>& steps() const { return steps_; }
  const std::string& note() const { return note_; }

 private:
  // A step whose premises may be steps of the same chain: kChain - k is its k-th.
  static constexpr int kChain = -2;

  // The rule's words and strictness as bytes, for the table of rules seen.
  static std::string Key(const PatternRule& r) {
    std::string k;
    for (const Word* w : {&r.u, &r.v, &r.w, &r.x, &r.y, &r.z}) {
      const auto size = static_cast<std::uint32_t>(w->size());  // each word after its length
      k.append(reinterpret_cast<const char*>(&size), sizeof size);
      k.append(reinterpret_cast<const char*>(w->data()), w->size() * sizeof(Symbol));
    }
    k += r.strict ? '+' : '*';
    return k;
  }

  // The order in which rules are taken: by size, plain ones later (their closures are
  // many, and only patterns repeat without a loop).
  std::size_t Weight(const PatternRule& r) const {
    std::size_t size = 0;
    for (const Word* w : {&r.u, &r.v, &r.w, &r.x, &r.y, &r.z}) size += w->size();
    return size + (r.Plain() ? o_.plainPenalty : 0);
  }

  bool Fits(const PatternRule& r) const {
    for (const Word* w : {&r.u, &r.v, &r.w, &r.x, &r.y, &r.z})
      if (w->size() > o_.maxWord) return false;
    return r.u.size() + r.v.size() + r.w.size() <= o_.maxSide &&
           r.x.size() + r.y.size() + r.z.size() <= o_.maxSide;
  }

  // The index of the rule equal to `r`, strictness included, or -1.
  int KnownExactly(const PatternRule& r) const {
    const auto it = seen_.find(Key(r));
    return it == seen_.end() ? -1 : it->second;
  }

  // The index of an equal rule at least as strict, or -1.
  int Known(PatternRule r) const {
    if (r.strict) return KnownExactly(r);
    const int same = KnownExactly(r);
    r.strict = true;
    const int stricter = KnownExactly(r);
    return stricter >= 0 ? stricter : same;
  }

  // Adds the chain's steps (each premise kChain - k meaning the chain's k-th) unless its
  // last rule is known (or one stricter) or too large; rules of the chain that are known
  // with the same strictness are reused (the rules after them were computed from that).
  void Commit(std::vector<PatternStep> chain) {
    if (chain.empty() || found_ >= 0 || steps_.size() >= o_.maxRules) return;
    const PatternRule& last = chain.back().rule;
    if (!Fits(last) || Known(last) >= 0) return;
    std::vector<int> at(chain.size(), -1);
    for (std::size_t k = 0; k < chain.size(); ++k) {
      PatternStep& s = chain[k];
      for (int* premise : {&s.first, &s.second})
        if (*premise <= kChain) *premise = at[kChain - *premise];
      std::string key = Key(s.rule);
      if (const auto it = seen_.find(key); it != seen_.end()) {
        at[k] = it->second;
        continue;
      }
      if (!Fits(s.rule)) return;
      at[k] = static_cast<int>(steps_.size());
      seen_.emplace(std::move(key), at[k]);
      queue_.emplace(Weight(s.rule), at[k]);
      steps_.push_back(s);
      // Only repeats that grow (m > n for every n): a plain repeat, or one with m = n or
      // m constant, gives a loop, which the loop searches print with a certificate.
      const std::optional<PatternRepeat> repeat = s.rule.Plain() ? std::nullopt : RepeatOf(s.rule);
      if (repeat && (repeat->factor >= 2 || (repeat->factor == 1 && repeat->constant >= 1))) {
        found_ = at[k];
        return;
      }
    }
  }

  // Pumps the plain rule `i` at every split: c v ->* y c and v c ->* c y.
  void Pump(int i) {
    const Word l = steps_[i].rule.u;  // copies: Commit grows steps_
    const Word rr = steps_[i].rule.x;
    for (std::size_t c = 1; c < l.size() && c <= rr.size(); ++c) {
      if (std::equal(l.begin(), l.begin() + c, rr.end() - c)) {
        PatternStep s{{}, PatternInference::PumpLeft, i, -1, c, {}, {}};
        s.rule.u = Part(l, 0, c);
        s.rule.v = Part(l, c, l.size() - c);
        s.rule.y = Part(rr, 0, rr.size() - c);
        s.rule.z = s.rule.u;
        Commit({s});
      }
      if (std::equal(l.end() - c, l.end(), rr.begin())) {
        PatternStep s{{}, PatternInference::PumpRight, i, -1, c, {}, {}};
        s.rule.w = Part(l, l.size() - c, c);
        s.rule.v = Part(l, 0, l.size() - c);
        s.rule.y = Part(rr, c, rr.size() - c);
        s.rule.x = s.rule.w;
        Commit({s});
      }
    }
  }

  // A step of inference `by` on `first` (an index of steps_ or of a chain) whose rule is
  // `rule`, written plain when it is.
  static PatternStep Step(PatternInference by, int first, const PatternRule& rule, int second = -1,
                          std::size_t size = 0, Word left = {}, Word right = {}) {
    return PatternStep{Normal(rule), by, first, second, size, std::move(left), std::move(right)};
  }

  // The rule at `index` of steps_ or of `chain`.
  const PatternRule& At(const std::vector<PatternStep>& chain, int index) const {
    return index <= kChain ? chain[kChain - index].rule : steps_[index].rule;
  }

  // The index by which later steps of `chain` name its last step.
  static int ChainIndex(const std::vector<PatternStep>& chain) {
    return kChain - static_cast<int>(chain.size()) + 1;
  }

  // Appends to `chain` the context s _ t around the rule at `from` (of steps_ or of the
  // chain); returns the index of the result, `from` itself when s and t are empty.
  int AddContext(std::vector<PatternStep>& chain, int from, const Word& s, const Word& t) const {
    if (s.empty() && t.empty()) return from;
    PatternRule r = At(chain, from);
    r.u = Cat(s, r.u);
    r.x = Cat(s, r.x);
    r.w = Cat(r.w, t);
    r.z = Cat(r.z, t);
    chain.push_back(Step(PatternInference::Context, from, r, -1, 0, s, t));
    return ChainIndex(chain);
  }

  // Rewrites with the plain rule `b` (L2 -> R2) inside the right side of `from` at
  // `where` (x, y or z) at `pos`, as the chain's next step.
  void Inside(std::vector<PatternStep> chain, int from, int b, PatternInference where,
              std::size_t pos) {
    const PatternRule& l2 = steps_[b].rule;
    PatternRule r = At(chain, from);
    Word& target = where == PatternInference::InsideX   ? r.x
                   : where == PatternInference::InsideY ? r.y
                                                        : r.z;
    target = Replace(target, pos, l2.u.size(), l2.x);
    r.strict = r.strict || (where != PatternInference::InsideY && l2.strict);
    chain.push_back(Step(where, from, r, b, pos));
    Commit(std::move(chain));
  }

  // The positions of `l` (not empty) in `w`.
  static std::vector<std::size_t> Occurrences(const Word& w, const Word& l) {
    std::vector<std::size_t> at;
    if (l.empty() || l.size() > w.size()) return at;
    for (std::size_t i = 0; i + l.size() <= w.size(); ++i)
      if (std::equal(l.begin(), l.end(), w.begin() + static_cast<std::ptrdiff_t>(i)))
        at.push_back(i);
    return at;
  }

  // P1 = steps_[a] rewritten by P2 = steps_[b], in every way the search knows.
  void Combine(int a, int b) {
    const PatternRule& p2 = steps_[b].rule;
    if (p2.Plain())
      CombinePlain(a, b);
    else if (steps_[a].rule.Plain())
      LiftInto(a, b);
    else
      NarrowInto(a, b);
  }

  // P2 plain, L2 -> R2: its left side inside x, y or z of P1 (or of P1 unfolded once, where
  // it crosses into the power), or overlapping P1's right side at either end (P1 then
  // gets the missing context).
  void CombinePlain(int a, int b) {
    using I = PatternInference;
    // First where, by reference (most pairs have nothing to do), then the steps, on copies:
    // committing grows steps_.
    const PatternRule& p1 = steps_[a].rule;
    const Word& l2 = steps_[b].rule.u;
    if (l2.empty()) return;
    const std::vector<std::size_t> inX = Occurrences(p1.x, l2), inY = Occurrences(p1.y, l2),
                                   inZ = Occurrences(p1.z, l2);
    // Across the ends of the power: in x y (after unfolding on the left) and in y z.
    std::vector<std::size_t> acrossX, acrossZ;
    if (!p1.y.empty()) {
      acrossX = Across(p1.x, p1.y, l2);
      acrossZ = Across(p1.y, p1.z, l2);
    }
    // Overlaps at the right end (a proper suffix β of the last word, L2 = β γ) and at
    // the left end (a proper prefix β of x, L2 = γ β), by the length of β.
    const bool plain = p1.Plain();
    const Word& end = plain ? p1.x : p1.z;
    std::vector<std::size_t> right, left;
    for (std::size_t k = 1; k < l2.size() && k <= end.size(); ++k)
      if (std::equal(end.end() - k, end.end(), l2.begin())) right.push_back(k);
    for (std::size_t k = 1; k < l2.size() && k <= p1.x.size(); ++k)
      if (std::equal(p1.x.begin(), p1.x.begin() + k, l2.end() - k)) left.push_back(k);
    if (inX.empty() && inY.empty() && inZ.empty() && acrossX.empty() && acrossZ.empty() &&
        right.empty() && left.empty())
      return;

    const PatternRule q1 = p1;
    const Word q2 = l2;
    for (std::size_t pos : inX) Inside({}, a, b, I::InsideX, pos);
    for (std::size_t pos : inY) Inside({}, a, b, I::InsideY, pos);
    for (std::size_t pos : inZ) Inside({}, a, b, I::InsideZ, pos);
    for (std::size_t pos : acrossX)
      Inside({Step(I::UnfoldLeft, a, Unfolded(q1, true))}, kChain, b, I::InsideX, pos);
    for (std::size_t pos : acrossZ)
      Inside({Step(I::UnfoldRight, a, Unfolded(q1, false))}, kChain, b, I::InsideZ, pos);
    const std::size_t endSize = plain ? q1.x.size() : q1.z.size();
    for (std::size_t k : right) {
      std::vector<PatternStep> chain;
      const int c = AddContext(chain, a, {}, Part(q2, k, q2.size() - k));
      Inside(chain, c, b, plain ? I::InsideX : I::InsideZ, endSize - k);
    }
    for (std::size_t k : left) {
      std::vector<PatternStep> chain;
      const int c = AddContext(chain, a, Part(q2, 0, q2.size() - k), {});
      Inside(chain, c, b, I::InsideX, 0);
    }
  }

  // `r` for n + 1: a copy of v and of y before the powers (`left`) or after them.
  static PatternRule Unfolded(PatternRule r, bool left) {
    if (left) {
      r.u = Cat(r.u, r.v);
      r.x = Cat(r.x, r.y);
    } else {
      r.w = Cat(r.v, r.w);
      r.z = Cat(r.y, r.z);
    }
    return r;
  }

  // The positions of `l` in the word s t that begin in s and end in t.
  static std::vector<std::size_t> Across(const Word& s, const Word& t, const Word& l) {
    std::vector<std::size_t> at;
    if (l.size() < 2) return at;
    const auto letter = [&](std::size_t i) { return i < s.size() ? s[i] : t[i - s.size()]; };
    const std::size_t from = s.size() + 1 > l.size() ? s.size() + 1 - l.size() : 0;
    for (std::size_t i = from; i < s.size() && i + l.size() <= s.size() + t.size(); ++i) {
      std::size_t k = 0;
      while (k < l.size() && letter(i + k) == l[k]) ++k;
      if (k == l.size()) at.push_back(i);
    }
    return at;
  }

  // P1 plain L1 -> R1, P2 a pattern: P1 followed (or preceded) by v2^n, so that R1 ends
  // in u2 (or begins with w2), possibly after a context that completes it, then P2.
  void LiftInto(int a, int b) {
    {
      // Nothing to do unless R1 ends in a prefix of u2 or begins with a suffix of w2.
      const Word& r1 = steps_[a].rule.x;
      const PatternRule& q2 = steps_[b].rule;
      if (q2.v.empty() || r1.empty()) return;
      const bool end =
          !q2.u.empty() && std::find(q2.u.begin(), q2.u.end(), r1.back()) != q2.u.end();
      const bool start =
          !q2.w.empty() && std::find(q2.w.begin(), q2.w.end(), r1.front()) != q2.w.end();
      if (!end && !start) return;
    }
    const PatternRule p1 = steps_[a].rule;
    const PatternRule p2 = steps_[b].rule;
    using I = PatternInference;
    const Word& r1 = p1.x;
    // R1 = s β, u2 = β γ with β not empty.
    for (std::size_t k = 1; k <= p2.u.size() && k <= r1.size(); ++k) {
      if (!std::equal(r1.end() - k, r1.end(), p2.u.begin())) continue;
      std::vector<PatternStep> chain;
      int c = AddContext(chain, a, {}, Part(p2.u, k, p2.u.size() - k));
      PatternRule lifted = At(chain, c);
      lifted.v = lifted.y = p2.v;
      chain.push_back(Step(I::LiftRight, c, lifted, -1, 0, {}, p2.v));
      c = AddContext(chain, ChainIndex(chain), {}, p2.w);
      Narrow(std::move(chain), c, b);
    }
    // R1 = β t, w2 = γ β with β not empty.
    for (std::size_t k = 1; k <= p2.w.size() && k <= r1.size(); ++k) {
      if (!std::equal(r1.begin(), r1.begin() + k, p2.w.end() - k)) continue;
      std::vector<PatternStep> chain;
      int c = AddContext(chain, a, Part(p2.w, 0, p2.w.size() - k), {});
      PatternRule lifted = At(chain, c);
      lifted.w = lifted.u;
      lifted.z = lifted.x;
      lifted.u.clear();
      lifted.x.clear();
      lifted.v = lifted.y = p2.v;
      chain.push_back(Step(I::LiftLeft, c, lifted, -1, 0, p2.v, {}));
      c = AddContext(chain, ChainIndex(chain), p2.u, {});
      Narrow(std::move(chain), c, b);
    }
  }

  // Both patterns: P2 on the power of P1 when y1 = v2 (or one is a power of the other),
  // P1 given the context that completes u2 before and w2 after the power.
  void NarrowInto(int a, int b) {
    {
      const Word& y1 = steps_[a].rule.y;
      const Word& v2 = steps_[b].rule.v;
      if (y1.empty() || v2.empty()) return;
      const bool related = y1 == v2 || (y1.size() == 2 * v2.size() && IsPowerOf(y1, v2)) ||
                           (v2.size() == 2 * y1.size() && IsPowerOf(v2, y1));
      if (!related) return;
    }
    const PatternRule p1 = steps_[a].rule;
    const PatternRule p2 = steps_[b].rule;
    using I = PatternInference;
    std::vector<PatternStep> chain;
    int first = a, second = b;
    if (p1.y != p2.v) {
      // Only y1 = v2^2 or v2 = y1^2: larger powers are rare and costly.
      if (p1.y == PowerOf(p2.v, 2)) {
        PatternRule r = p2;
        r.v = PowerOf(p2.v, 2);
        r.y = PowerOf(p2.y, 2);
        // The second premise must be a step of steps_: commit it first.
        if (!Fits(r)) return;
        int known = Known(r);
        if (known < 0) {
          Commit({Step(I::Power, b, r, -1, 2)});
          known = Known(r);
          if (known < 0 || found_ >= 0) return;
        }
        second = known;
      } else if (p2.v == PowerOf(p1.y, 2)) {
        PatternRule r = p1;
        r.v = PowerOf(p1.v, 2);
        r.y = PowerOf(p1.y, 2);
        chain.push_back(Step(I::Power, a, r, -1, 2));
        first = ChainIndex(chain);
      } else {
        return;
      }
    }
    const PatternRule& q1 = At(chain, first);
    const PatternRule& q2 = steps_[second].rule;
    // x1 = s u2, or x1 a proper suffix of u2; z1 = w2 t, or z1 a proper prefix of w2.
    Word s, t;
    if (!EndsWith(q1.x, q2.u)) {
      if (!EndsWith(q2.u, q1.x)) return;
      s = Part(q2.u, 0, q2.u.size() - q1.x.size());
    }
    if (!StartsWith(q1.z, q2.w)) {
      if (!StartsWith(q2.w, q1.z)) return;
      t = Part(q2.w, q1.z.size(), q2.w.size() - q1.z.size());
    }
    const int c = AddContext(chain, first, s, t);
    Narrow(std::move(chain), c, second);
  }

  // The chain's last rule (at `from`) narrowed by P2 = steps_[b]: y1 = v2, x1 = s u2,
  // z1 = w2 t.
  void Narrow(std::vector<PatternStep> chain, int from, int b) {
    const PatternRule p1 = At(chain, from);
    const PatternRule& p2 = steps_[b].rule;
    if (p1.y != p2.v || !EndsWith(p1.x, p2.u) || !StartsWith(p1.z, p2.w)) return;
    PatternRule r;
    r.u = p1.u;
    r.v = p1.v;
    r.w = p1.w;
    const std::size_t s = p1.x.size() - p2.u.size();
    r.x = Cat(Part(p1.x, 0, s), p2.x);
    r.y = p2.y;
    r.z = Cat(p2.z, Part(p1.z, p2.w.size(), p1.z.size() - p2.w.size()));
    r.strict = p1.strict || p2.strict;
    chain.push_back(Step(PatternInference::Narrow, from, r, b, s));
    Commit(std::move(chain));
  }

  const Problem& p_;
  const Budget& budget_;
  const PatternOptions& o_;
  std::vector<PatternStep> steps_;
  std::unordered_map<std::string, int> seen_;  // Key of a rule -> its step
  // Rules not yet taken, smallest Weight first, then oldest.
  std::priority_queue<std::pair<std::size_t, int>, std::vector<std::pair<std::size_t, int>>,
                      std::greater<>>
      queue_;
  int found_ = -1;
  std::string note_;
};

// The steps that `last` needs, in their order, with premises renumbered.
std::vector<PatternStep> Needed(const std::vector<PatternStep>& all, int last) {
  std::vector<bool> need(all.size(), false);
  need[last] = true;
  for (int i = last; i >= 0; --i) {
    if (!need[i] || all[i].by == PatternInference::Rule) continue;
    need[all[i].first] = true;
    if (all[i].second >= 0) need[all[i].second] = true;
  }
  std::vector<int> number(all.size(), -1);
  std::vector<PatternStep> out;
  for (int i = 0; i <= last; ++i) {
    if (!need[i]) continue;
    PatternStep s = all[i];
    if (s.by != PatternInference::Rule) {
      s.first = number[s.first];
      if (s.second >= 0) s.second = number[s.second];
    }
    number[i] = static_cast<int>(out.size());
    out.push_back(std::move(s));
  }
  return out;
}

}  // namespace

Result FindPatternNontermination(const Problem& p, const Budget& budget,
                                 const PatternOptions& options) {
  if (!p.IsRelative()) return Result::None("only for relative problems");
  if (p.strict.empty()) return Result::None();
  Search search(p, budget, options);
  const int last = search.Run();
  if (last < 0) return Result::None(search.note());
  auto w = std::make_shared<PatternWitness>();
  w->steps = Needed(search.steps(), last);
  return Result::Loop(w);
}

}  // namespace velkin::strong
