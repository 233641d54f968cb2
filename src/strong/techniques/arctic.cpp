#include "strong/techniques/arctic.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <unordered_set>

#include "sat/gates.h"
#include "sat/matrix.h"

namespace velkin::strong {
namespace {

// The two encodings of arctic numbers: binary (values below 2^cap) and unary (the
// order encoding, values up to the same bound).
struct BinaryNumbers {
  using Affine = sat::ArcticAffine;
  using Matrix = sat::ArcticMatrix;
  static Matrix Fresh(sat::Solver& s, int rows, int cols, int bits) {
    return sat::FreshArcticMatrix(s, rows, cols, bits);
  }
  static sat::Arctic MinusInfinity(sat::Solver& s) { return sat::MinusInfinity(s); }
  static Affine Identity(sat::Solver& s, int d) { return sat::ArcticAffineIdentity(s, d); }
  static int Cap(int capBits) { return capBits; }
};

struct UnaryNumbers {
  using Affine = sat::UnaryArcticAffine;
  using Matrix = sat::UnaryArcticMatrix;
  static Matrix Fresh(sat::Solver& s, int rows, int cols, int bits) {
    return sat::FreshUnaryArcticMatrix(s, rows, cols, (1 << bits) - 1);
  }
  static sat::UnaryArctic MinusInfinity(sat::Solver& s) { return sat::UnaryMinusInfinity(s); }
  static Affine Identity(sat::Solver& s, int d) { return sat::UnaryArcticAffineIdentity(s, d); }
  static int Cap(int capBits) { return (1 << capBits) - 1; }
};

// The encoding: a map per used letter, the maps of all sides (shared suffixes built
// once), and the weak and strict conditions.
template <class Numbers>
class Encoding {
 public:
  using Affine = typename Numbers::Affine;

  Encoding(const Problem& p, const ArcticOptions& o)
      : p_(p),
        d_(o.dimension),
        cap_(Numbers::Cap(o.resultBits > 0 ? o.resultBits : o.bits + 3)),
        letters_(p.alphabet.size()) {
    const std::vector<bool> used = UsedLetters(p);
    for (Symbol a = 0; a < p.alphabet.size(); ++a) {
      if (!used[a]) continue;
      Affine f{Numbers::Fresh(s_, d_, d_, o.bits), Numbers::Fresh(s_, d_, 1, o.bits)};
      // A marked letter stands first, so only the first row of a pair's sides is
      // compared: its other rows are -∞, which keeps every interpretation there is
      // (clearing them satisfies those rows' conditions) and folds their gates away.
      if (o.markedFirstRowOnly && p.alphabet.IsMarked(a))
        for (int i = 1; i < d_; ++i) {
          f.c.at(i, 0) = Numbers::MinusInfinity(s_);
          for (int j = 0; j < d_; ++j) f.m.at(i, j) = Numbers::MinusInfinity(s_);
        }
      s_.AddClause({f.m.at(0, 0).finite, f.c.at(0, 0).finite});
      letters_[a] = std::move(f);
    }
  }

  // Adds the conditions; false when the budget ran out while building them.
  bool Build(const Budget& budget) {
    for (const Rule& r : p_.weak) {
      if (budget.Expired()) return false;
      s_.Require(Weak(r));
    }
    for (const Rule& r : p_.strict) {
      if (budget.Expired()) return false;
      s_.Require(Weak(r));
      const Affine &l = Side(r.lhs), &rr = Side(r.rhs);
      strict_.push_back(sat::And(s_, sat::Gt(s_, l.m, rr.m), sat::Gt(s_, l.c, rr.c)));
    }
    s_.AddClause(strict_);
    return true;
  }

  sat::Solver::Outcome Solve(const Budget& budget) { return s_.Solve(budget); }

  // After a model: asks, within `seconds` a round, for one that keeps the strict pairs
  // of `best` strict and makes one more strict, as long as that succeeds. `best` is
  // replaced by each better model's witness.
  void Improve(const Budget& budget, double seconds, std::shared_ptr<ArcticWitness>& best) {
    while (seconds > 0 && best->removed.size() < strict_.size() && !budget.Expired()) {
      std::vector<sat::Lit> more, assume;
      const sat::Lit act = s_.NewVar();
      for (std::size_t i = 0; i < strict_.size(); ++i)
        if (!std::binary_search(best->removed.begin(), best->removed.end(), static_cast<int>(i)))
          more.push_back(strict_[i]);
      more.push_back(-act);
      s_.AddClause(more);
      assume.push_back(act);
      for (int i : best->removed) assume.push_back(strict_[i]);
      const auto r = s_.Solve(budget.Within(std::chrono::duration_cast<Clock::duration>(
                                  std::chrono::duration<double>(seconds))),
                              assume);
      std::shared_ptr<ArcticWitness> better;
      if (r == sat::Solver::Outcome::Sat) better = Witness();  // read before the next clause
      s_.Require(-act);                                        // retires this round's clause
      if (!better || better->removed.size() <= best->removed.size()) return;
      best = std::move(better);
    }
  }

  std::shared_ptr<ArcticWitness> Witness() const {
    auto w = std::make_shared<ArcticWitness>();
    w->dimension = d_;
    w->letters.resize(letters_.size());
    auto values = [&](const typename Numbers::Matrix& m) {
      std::vector<ArcticValue> out;
      for (const auto& v : sat::Values(s_, m))
        out.push_back(v ? ArcticValue(static_cast<std::int64_t>(*v)) : std::nullopt);
      return out;
    };
    for (std::size_t a = 0; a < letters_.size(); ++a)
      if (letters_[a]) w->letters[a] = ArcticMap{values(letters_[a]->m), values(letters_[a]->c)};
    for (std::size_t i = 0; i < strict_.size(); ++i)
      if (s_.Value(strict_[i])) w->removed.push_back(static_cast<int>(i));
    return w;
  }

 private:
  sat::Lit Weak(const Rule& r) {
    const Affine &l = Side(r.lhs), &rr = Side(r.rhs);
    return sat::And(s_, sat::Ge(s_, l.m, rr.m), sat::Ge(s_, l.c, rr.c));
  }

  // The map of w: [w_i ... w_n] = [w_i] ∘ [w_{i+1} ... w_n], from the right.
  const Affine& Side(const Word& w) {
    if (auto it = sides_.find(w); it != sides_.end()) return it->second;
    std::size_t from = w.size();  // the longest suffix known so far starts here
    const Affine* known = nullptr;
    while (from > 0) {
      auto it = sides_.find(Word(w.begin() + from - 1, w.end()));
      if (it == sides_.end()) break;
      known = &it->second;
      --from;
    }
    Affine acc = known ? *known : Numbers::Identity(s_, d_);
    for (std::size_t i = from; i-- > 0;) {
      assert(letters_[w[i]]);
      acc = sat::Compose(s_, *letters_[w[i]], acc, cap_);
      sides_.emplace(Word(w.begin() + i, w.end()), acc);
    }
    if (w.empty()) return sides_.emplace(w, acc).first->second;
    return sides_.at(w);
  }

  const Problem& p_;
  int d_, cap_;
  sat::Solver s_;
  std::vector<std::optional<Affine>> letters_;
  std::map<Word, Affine> sides_;
  std::vector<sat::Lit> strict_;
};

// Clauses of the encoding, estimated before building: one composition per distinct
// suffix of a side (they are built once), a product of d×d by d×(d+1) entries, each
// a sum of `cap` bits and a maximum, and the comparisons of every side. The factors
// put the estimate at 1 to 2 times the clauses counted on corpus problems from 10 to
// 40000 letters, in dimensions 1 to 3.
std::int64_t EstimatedClauses(const Problem& p, const ArcticOptions& o) {
  const std::int64_t d = o.dimension, cap = o.resultBits > 0 ? o.resultBits : o.bits + 3;
  std::unordered_set<std::uint64_t> suffixes;  // by hash: a collision only lowers the count
  std::int64_t sides = 0;
  for (const auto* rules : {&p.strict, &p.weak})
    for (const Rule& r : *rules)
      for (const Word* w : {&r.lhs, &r.rhs}) {
        ++sides;
        std::uint64_t h = 1469598103934665603ull;
        for (std::size_t i = w->size(); i-- > 0;) {
          h = (h ^ static_cast<std::uint64_t>((*w)[i] + 1)) * 1099511628211ull;
          suffixes.insert(h);
        }
      }
  return static_cast<std::int64_t>(suffixes.size()) * d * d * (d + 1) * cap * 24 +
         sides * d * (d + 1) * cap * 12;
}

// The search with one encoding of the numbers.
template <class Numbers>
Result Search(const Problem& p, const Budget& budget, const ArcticOptions& o) {
  Encoding<Numbers> enc(p, o);
  if (!enc.Build(budget) || enc.Solve(budget) != sat::Solver::Outcome::Sat) return Result::None();
  std::shared_ptr<ArcticWitness> w = enc.Witness();
  enc.Improve(budget, o.improveSeconds, w);
  Problem sub = p;
  sub.strict.clear();
  for (std::size_t i = 0; i < p.strict.size(); ++i)
    if (!std::binary_search(w->removed.begin(), w->removed.end(), static_cast<int>(i)))
      sub.strict.push_back(p.strict[i]);
  std::vector<Problem> subs;
  subs.push_back(std::move(sub));
  return Result::Step(std::move(w), std::move(subs));
}

}  // namespace

Result ArcticInterpretation(const Problem& p, const Budget& budget, const ArcticOptions& o) {
  assert(o.dimension >= 1 && o.bits >= 1);
  if (!p.IsDependencyPairs()) return Result::None();
  if (p.strict.empty()) return Result::None();
  std::size_t longest = 0;
  for (const auto* rules : {&p.strict, &p.weak})
    for (const Rule& r : *rules) longest = std::max({longest, r.lhs.size(), r.rhs.size()});
  const bool unary = o.unary && longest <= static_cast<std::size_t>(o.unaryLongestSide);
  // The order encoding took 1.5 to 3 times the binary one's clauses on sides of up to
  // 16 letters (it grows with the values a side can reach).
  const std::int64_t estimate = EstimatedClauses(p, o) * (unary ? 3 : 1);
  if (estimate > o.maxClauses)
    return Result::None("arctic: dimension " + std::to_string(o.dimension) + " needs about " +
                        std::to_string(estimate) + " clauses, more than the " +
                        std::to_string(o.maxClauses) + " allowed");
  const ClauseLease lease = budget.LeaseClauses(estimate);
  if (!lease.granted()) return Result::None();
  return unary ? Search<UnaryNumbers>(p, budget, o) : Search<BinaryNumbers>(p, budget, o);
}

namespace {

// The re-check's own arithmetic: exact, with every sum checked for overflow.
struct Exact {
  bool overflow = false;

  ArcticValue Times(ArcticValue a, ArcticValue b) {
    if (!a || !b) return std::nullopt;
    std::int64_t s;
    if (__builtin_add_overflow(*a, *b, &s)) {
      overflow = true;
      return std::nullopt;
    }
    return s;
  }
  static ArcticValue Plus(ArcticValue a, ArcticValue b) {
    if (!a) return b;
    if (!b) return a;
    return std::max(*a, *b);
  }

  // [f] ∘ [g] for maps of dimension d.
  ArcticMap Compose(const ArcticMap& f, const ArcticMap& g, int d) {
    ArcticMap out{std::vector<ArcticValue>(d * d), std::vector<ArcticValue>(d)};
    for (int i = 0; i < d; ++i) {
      for (int j = 0; j < d; ++j)
        for (int k = 0; k < d; ++k)
          out.m[i * d + j] = Plus(out.m[i * d + j], Times(f.m[i * d + k], g.m[k * d + j]));
      out.c[i] = f.c[i];
      for (int k = 0; k < d; ++k) out.c[i] = Plus(out.c[i], Times(f.m[i * d + k], g.c[k]));
    }
    return out;
  }
};

ArcticMap Identity(int d) {
  ArcticMap id{std::vector<ArcticValue>(d * d), std::vector<ArcticValue>(d)};
  for (int i = 0; i < d; ++i) id.m[i * d + i] = 0;
  return id;
}

bool Geq(ArcticValue a, ArcticValue b) {
  return !b || (a && *a >= *b);
}
bool Greater(ArcticValue a, ArcticValue b) {
  return !b || (a && *a > *b);
}

template <class Cmp>
bool All(const ArcticMap& l, const ArcticMap& r, Cmp cmp) {
  for (std::size_t i = 0; i < l.m.size(); ++i)
    if (!cmp(l.m[i], r.m[i])) return false;
  for (std::size_t i = 0; i < l.c.size(); ++i)
    if (!cmp(l.c[i], r.c[i])) return false;
  return true;
}

std::string ValueText(ArcticValue v) {
  return v ? std::to_string(*v) : "-∞";
}

}  // namespace

std::string ArcticWitness::Recheck(const Problem& before, const std::vector<Problem>& after) const {
  if (!before.IsDependencyPairs()) return "arctic: not a dependency pair problem";
  const int d = dimension;
  if (d < 1 || letters.size() != static_cast<std::size_t>(before.alphabet.size()))
    return "arctic: malformed witness";
  const std::vector<bool> used = UsedLetters(before);
  for (std::size_t a = 0; a < letters.size(); ++a) {
    const std::string name = before.alphabet.names[a];
    if (!letters[a]) {
      if (used[a]) return "arctic: letter " + name + " has no map";
      continue;  // the identity: (M)_{1,1} = 0
    }
    const ArcticMap& f = *letters[a];
    if (f.m.size() != static_cast<std::size_t>(d * d) || f.c.size() != static_cast<std::size_t>(d))
      return "arctic: the map of " + name + " has the wrong size";
    for (const auto* v : {&f.m, &f.c})
      for (const ArcticValue& e : *v)
        if (e && *e < 0) return "arctic: a negative entry in the map of " + name;
    if (!f.m[0] && !f.c[0]) return "arctic: both (M)_{1,1} and (c)_1 of " + name + " are -∞";
  }
  Exact exact;
  auto side = [&](const Word& w) {
    ArcticMap acc = Identity(d);
    for (std::size_t i = w.size(); i-- > 0;) acc = exact.Compose(*letters[w[i]], acc, d);
    return acc;
  };
  auto weak = [&](const Rule& r, ArcticMap* l, ArcticMap* rr) {
    *l = side(r.lhs);
    *rr = side(r.rhs);
    return All(*l, *rr, Geq);
  };
  ArcticMap l, r;
  for (const Rule& rule : before.weak)
    if (!weak(rule, &l, &r))
      return "arctic: rule " + RuleText(before.alphabet, rule) + " does not decrease weakly";
  for (std::size_t i = 0; i < removed.size(); ++i)
    if (removed[i] < 0 || static_cast<std::size_t>(removed[i]) >= before.strict.size() ||
        (i > 0 && removed[i] <= removed[i - 1]))
      return "arctic: malformed list of removed pairs";
  if (removed.empty()) return "arctic: no pair removed";
  std::vector<Rule> kept;
  for (std::size_t i = 0; i < before.strict.size(); ++i) {
    const Rule& pair = before.strict[i];
    if (!weak(pair, &l, &r))
      return "arctic: pair " + RuleText(before.alphabet, pair) + " does not decrease weakly";
    if (!std::binary_search(removed.begin(), removed.end(), static_cast<int>(i)))
      kept.push_back(pair);
    else if (!All(l, r, Greater))
      return "arctic: pair " + RuleText(before.alphabet, pair) + " does not decrease strictly";
  }
  if (exact.overflow) return "arctic: an entry overflows 64 bits";
  if (after.size() != 1) return "arctic: not exactly one subproblem";
  const Problem& sub = after[0];
  if (!sub.IsDependencyPairs() || sub.weak != before.weak ||
      sub.alphabet.names != before.alphabet.names || sub.alphabet.marks != before.alphabet.marks ||
      sub.strict != kept)
    return "arctic: the subproblem is not the problem without the removed pairs";
  return "";
}

void ArcticWitness::Print(const Problem& before, std::vector<std::string>& lines) const {
  const int d = dimension;
  lines.push_back("dimension " + std::to_string(d) + ", [a](x) = M ⊗ x ⊕ c over max and plus:");
  for (std::size_t a = 0; a < letters.size(); ++a) {
    if (!letters[a]) continue;
    std::string m, c;
    for (int i = 0; i < d; ++i) {
      m += i ? "; " : "";
      for (int j = 0; j < d; ++j) m += (j ? " " : "") + ValueText(letters[a]->m[i * d + j]);
      c += (i ? " " : "") + ValueText(letters[a]->c[i]);
    }
    lines.push_back("  " + before.alphabet.names[a] + ": M = [" + m + "], c = [" + c + "]");
  }
  lines.push_back("strictly decreasing, removed:");
  for (int i : removed) lines.push_back("  " + RuleText(before.alphabet, before.strict[i]));
}

cpf::Written ArcticWitness::Certify(const Problem& before, const std::vector<Problem>& after,
                                    const std::vector<cpf::Fragment>& subproofs) const {
  if (after.size() != 1 || subproofs.size() != 1) return std::string("not one subproblem");
  cpf::ArcticInterpretation in{dimension, {}};
  in.letters.resize(letters.size());
  const auto d = static_cast<std::size_t>(dimension);
  auto value = [](const ArcticValue& v) -> cpf::Arctic {
    if (!v) return std::nullopt;
    return mpz_class(std::to_string(*v));
  };
  for (std::size_t s = 0; s < letters.size(); ++s) {
    if (!letters[s]) continue;
    if (letters[s]->m.size() != d * d) return std::string("a matrix of the wrong size");
    for (const ArcticValue& v : letters[s]->c) in.letters[s].constant.push_back(value(v));
    for (std::size_t i = 0; i < d; ++i) {
      in.letters[s].matrix.emplace_back();
      for (std::size_t j = 0; j < d; ++j)
        in.letters[s].matrix.back().push_back(value(letters[s]->m[i * d + j]));
    }
  }
  return cpf::ReductionPair(before, in, after[0], subproofs[0]);
}

}  // namespace velkin::strong
