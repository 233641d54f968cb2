#include "strong/techniques/arctic.h"

#include <cassert>
#include <map>
#include <memory>
#include <type_traits>
#include <unordered_set>

#include "sat/gates.h"
#include "sat/matrix.h"
#include "strong/exact.h"
#include "strong/techniques/arctic_numbers.h"
#include "strong/techniques/interpretation_search.h"
#include "strong/techniques/usable_rules.h"

namespace velkin::strong {
namespace {

// The order encoding took 1.5 to 3 times the binary one's clauses on sides of up to 16
// letters (it grows with the values a side can reach), 0.5 to 2 times on dependency pair
// problems of sides up to 40 letters, whose values the bound caps.
template <class Numbers>
constexpr int kEstimateFactor = std::is_same_v<Numbers, UnaryArcticNumbers> ? 3 : 1;

// The letters that begin a side of a pair: in a chain every word starts with one.
std::vector<bool> PairHeads(const Problem& p) {
  std::vector<bool> heads(p.alphabet.size(), false);
  for (const Rule& r : p.strict)
    for (const Word* w : {&r.lhs, &r.rhs})
      if (!w->empty()) heads[w->front()] = true;
  return heads;
}

// Clauses of the encoding, estimated before building: one composition per distinct
// suffix of a side (they are built once), a product of d×d by d×(d+1) entries, each
// a sum of `cap` bits and a maximum, and the comparisons of every side. The factors
// put the estimate at 1 to 2 times the clauses counted on corpus problems from 10 to
// 40000 letters, in dimensions 1 to 3.
std::int64_t ArcticClauses(const Problem& p, const ArcticOptions& o) {
  const std::int64_t d = o.dimension, cap = o.ResultBits();
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

// The encoding: a map per used letter, the maps of all sides (shared suffixes built
// once), and the weak and strict conditions.
template <class Numbers>
class Encoding : public EncodingBase {
 public:
  using Affine = typename Numbers::Affine;
  using Witness = ArcticWitness;

  Encoding(const Problem& p, const ArcticOptions& o)
      : EncodingBase(p, o),
        p_(p),
        d_(o.dimension),
        cap_(Numbers::Bounds(o.ResultBits(), o.belowZero)),
        estimate_(ArcticClauses(p, o) * kEstimateFactor<Numbers>),
        letters_(p.alphabet.size()) {
    const std::vector<bool> used = UsedLetters(p), heads = PairHeads(p);
    for (Symbol a = 0; a < p.alphabet.size(); ++a) {
      if (!used[a]) continue;
      Affine f{Numbers::Fresh(s_, d_, d_, o.bits, o.belowZero),
               Numbers::Fresh(s_, d_, 1, o.bits, o.belowZero)};
      // A marked letter stands first, so only the first row of a pair's sides is
      // compared: its other rows are -∞, which keeps every interpretation there is
      // (clearing them satisfies those rows' conditions) and folds their gates away.
      if (o.markedFirstRowOnly && p.alphabet.IsMarked(a))
        for (int i = 1; i < d_; ++i) {
          f.c.at(i, 0) = Numbers::MinusInfinity(s_);
          for (int j = 0; j < d_; ++j) f.m.at(i, j) = Numbers::MinusInfinity(s_);
        }
      if (o.belowZero == 0) {
        s_.AddClause({f.m.at(0, 0).finite, f.c.at(0, 0).finite});
      } else if (heads[a]) {
        s_.Require(Numbers::NonNegative(s_, f.c.at(0, 0)));
      } else if (o.certifiable) {
        s_.AddClause(
            {Numbers::NonNegative(s_, f.m.at(0, 0)), Numbers::NonNegative(s_, f.c.at(0, 0))});
      }
      letters_[a] = std::move(f);
    }
  }

  // Adds the conditions; false when the budget ran out while building them.
  bool Build(const Budget& budget) {
    budget_ = &budget;
    for (const Rule& r : p_.weak) {
      if (budget.Expired()) return false;
      s_.Require(Weak(r));
      if (interrupted_) return false;
    }
    for (const Rule& r : p_.strict) {
      if (budget.Expired()) return false;
      s_.Require(Weak(r));
      const Affine &l = Side(r.lhs), &rr = Side(r.rhs);
      if (interrupted_) return false;
      candidates_.push_back(sat::And(s_, sat::Gt(s_, l.m, rr.m), sat::Gt(s_, l.c, rr.c)));
    }
    budget_ = nullptr;
    s_.AddClause(candidates_);
    return true;
  }

  std::int64_t EstimatedClauses() const { return estimate_; }

  // The last model's maps and the pairs it makes strict.
  Candidate<ArcticWitness> Read() const {
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
    return {std::move(w), StrictInModel()};
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
    Affine acc = known ? *known : Numbers::AffineIdentity(s_, d_);
    for (std::size_t i = from; i-- > 0;) {
      // A long side of a large dimension takes long: the budget is polled at every letter,
      // and an interrupted side is not kept (Build gives up).
      if (budget_ && budget_->Expired()) {
        interrupted_ = true;
        return acc_ = acc;
      }
      assert(letters_[w[i]]);
      acc = sat::Compose(s_, *letters_[w[i]], acc, cap_);
      sides_.emplace(Word(w.begin() + i, w.end()), acc);
    }
    if (w.empty()) return sides_.emplace(w, acc).first->second;
    return sides_.at(w);
  }

  const Problem& p_;
  int d_;
  typename Numbers::Cap cap_;
  std::int64_t estimate_;
  std::vector<std::optional<Affine>> letters_;
  std::map<Word, Affine> sides_;
  const Budget* budget_ = nullptr;  // while Build runs
  bool interrupted_ = false;        // a side was left unfinished: the encoding is void
  Affine acc_;                      // what an interrupted Side returns
};

// The search with one encoding of the numbers.
template <class Numbers>
Result Search(const Problem& full, const Budget& budget, const ArcticOptions& o) {
  // With usable rules, the encoding sees U(P) only; the subproblem keeps all of R.
  const std::optional<Problem> cut = UsableRulesCut(full, o.usableRules);
  const Problem& p = cut ? *cut : full;
  Searched<ArcticWitness> found = SearchInterpretation<Encoding<Numbers>>(
      budget, o, "arctic interpretation of dimension " + std::to_string(o.dimension), p, o);
  if (!found.best) return Result::None(std::move(found.note));
  std::shared_ptr<ArcticWitness> w = std::move(found.best->witness);
  w->removed = std::move(found.best->strict);
  w->integers = o.belowZero > 0;
  w->usableOnly = cut.has_value();
  Problem sub = WithoutRules(full, w->removed, {});
  return Result::Step(std::move(w), {std::move(sub)});
}

}  // namespace

Result ArcticInterpretation(const Problem& p, const Budget& budget, const ArcticOptions& o) {
  if (!o.Valid() || !p.IsDependencyPairs() || p.strict.empty()) return Result::None();
  // Integers have the order encoding only, naturals unless `unary` is off. On the 332
  // standard problems of two samples, each dependency pair road alone for 2.5 s proved 87
  // and 95 with the order encoding on sides longer than 16 letters too, against 86 and 92
  // with binary numbers there (6 new; the 3 lost ones near the limit on short sides).
  return o.belowZero > 0 || o.unary ? Search<UnaryArcticNumbers>(p, budget, o)
                                    : Search<BinaryArcticNumbers>(p, budget, o);
}

namespace {

// The exact maps of the letters of `wit` (strong/exact.h): the re-check's arithmetic,
// which shares nothing with the encoding above. A letter without a map is the identity.
exact::ArcticMaps ExactMaps(const ArcticWitness& wit) {
  std::vector<std::optional<exact::ArcticAffine>> letters(wit.letters.size());
  const int d = wit.dimension;
  for (std::size_t a = 0; a < wit.letters.size(); ++a) {
    exact::ArcticAffine f{d, {}, {}};
    if (!wit.letters[a]) {
      f.m.assign(static_cast<std::size_t>(d) * d, std::nullopt);
      f.c.assign(d, std::nullopt);
      for (int i = 0; i < d; ++i) f.m[i * d + i] = mpz_class(0);
    } else {
      for (const ArcticValue& v : wit.letters[a]->m) f.m.push_back(exact::ToArctic(v));
      for (const ArcticValue& v : wit.letters[a]->c) f.c.push_back(exact::ToArctic(v));
    }
    letters[a] = std::move(f);
  }
  return exact::ArcticMaps(d, std::move(letters));
}

std::string ValueText(ArcticValue v) {
  return v ? std::to_string(*v) : "-∞";
}

}  // namespace

std::string ArcticWitness::RecheckStep(const Problem& given, const Problem& givenAfter) const {
  if (!given.IsDependencyPairs()) return "arctic: not a dependency pair problem";
  // With usable rules only, the rest of R need not decrease: both problems are cut down.
  Problem before = given, after = givenAfter;
  if (usableOnly)
    if (const std::string bad = CutToUsableRules(before, after); !bad.empty())
      return "arctic: " + bad;
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
    if (integers) continue;  // any entries; the pairs' first letters are checked below
    for (const auto* v : {&f.m, &f.c})
      for (const ArcticValue& e : *v)
        if (e && *e < 0) return "arctic: a negative entry in the map of " + name;
    if (!f.m[0] && !f.c[0]) return "arctic: both (M)_{1,1} and (c)_1 of " + name + " are -∞";
  }
  // Integers: every word of a chain starts with the first letter of a pair side, whose
  // (c)_1 bounds the measure from below.
  if (integers)
    for (const Rule& r : before.strict)
      for (const Word* w : {&r.lhs, &r.rhs}) {
        if (w->empty()) return "arctic: a pair with an empty side";
        const ArcticValue& c1 = letters[w->front()]->c[0];
        if (!c1 || *c1 < 0)
          return "arctic: (c)_1 of " + before.alphabet.names[w->front()] +
                 ", which begins a pair side, is not finite and ≥ 0";
      }
  const std::string bad =
      CheckRemoval(before, after, removed, {}, "map", ExactMaps(*this), OrientArctic);
  return bad.empty() ? bad : "arctic: " + bad;
}

void ArcticWitness::Print(const Problem& before, std::vector<std::string>& lines) const {
  const int d = dimension;
  lines.push_back("dimension " + std::to_string(d) + ", [a](x) = M ⊗ x ⊕ c over max and plus" +
                  (integers ? " on Z ∪ {-∞} (below zero):" : ":"));
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
  if (usableOnly) PrintUsableRules(before, lines);
  lines.push_back("strictly decreasing, removed:");
  for (int i : removed) lines.push_back("  " + RuleText(before.alphabet, before.strict[i]));
}

cpf::Written ArcticWitness::CertifyStep(const Problem& given, const Problem& givenAfter,
                                        const cpf::Fragment& sub) const {
  // With usable rules, the step lists them and orients them only.
  Problem before = given, after = givenAfter;
  if (usableOnly)
    if (const std::string bad = CutToUsableRules(before, after); !bad.empty()) return bad;
  const auto in = CertificateMaps<cpf::Arctic>(dimension, letters, exact::ToArctic);
  if (!in) return std::string("a matrix of the wrong size");
  if (!integers) return cpf::ReductionPair(before, *in, after, sub, usableOnly);
  // The certifier wants (M)_{1,1} or (c)_1 finite and ≥ 0 of every letter it is given.
  for (std::size_t a = 0; a < letters.size(); ++a) {
    if (!letters[a]) continue;
    const auto nonNegative = [](const ArcticValue& v) { return v && *v >= 0; };
    if (!nonNegative(letters[a]->m[0]) && !nonNegative(letters[a]->c[0]))
      return "arctic below zero: letter " + before.alphabet.names[a] +
             " has neither (M)_{1,1} nor (c)_1 finite and ≥ 0, which the certifier requires";
  }
  return cpf::ReductionPairIntegers(before, *in, after, sub, usableOnly);
}

}  // namespace velkin::strong
