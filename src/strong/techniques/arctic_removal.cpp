#include "strong/techniques/arctic_removal.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <memory>
#include <type_traits>

#include "sat/gates.h"
#include "sat/matrix.h"
#include "strong/exact.h"
#include "strong/techniques/arctic_numbers.h"
#include "strong/techniques/interpretation_search.h"
#include "strong/techniques/products.h"

namespace velkin::strong {
namespace {

// ---------------------------------------------------------------------------------------
// The search: one SAT problem, the sides' matrices from a product plan.

template <class Numbers>
class Encoding : public EncodingBase {
 public:
  using Witness = ArcticRemovalWitness;
  using Matrix = typename Numbers::Matrix;

  Encoding(const Problem& p, const ArcticRemovalOptions& o)
      : EncodingBase(p, o),
        p_(p),
        d_(o.dimension),
        capBits_(o.ResultBits()),
        range_(o.belowZero + (1 << o.bits)),
        cap_(Numbers::Bounds(capBits_, o.belowZero)) {
    for (const auto* rules : {&p.strict, &p.weak})
      for (const Rule& r : *rules)
        for (const Word* w : {&r.lhs, &r.rhs}) words_.push_back(*w);
    // Every product costs about the same here (a sum and a maximum per term, whatever
    // the factors' widths), so the plan with the fewest products is taken.
    const int n = p.alphabet.size();
    for (ProductPlan c : {ChainPlan(n, words_, false), PlanProducts(n, words_)})
      if (plan_.words.empty() || c.Products() < plan_.Products()) plan_ = std::move(c);
    const std::vector<bool> used = UsedLetters(p);
    letters_.resize(n);
    for (Symbol a = 0; a < n; ++a) {
      if (!used[a]) continue;
      letters_[a] = Numbers::Fresh(s_, d_, d_, o.bits, o.belowZero);
      // (1,1) finite and not negative: every word's (1,1) entry is then a natural number.
      s_.Require(Numbers::NonNegative(s_, letters_[a]->at(0, 0)));
    }
  }

  // Clauses of the encoding, estimated before building: d³ sums of `cap` bits and about
  // as many maxima per product, and the comparisons of every side. The order encoding
  // of integers grows with the square of the letters' range r of values instead: r²/6
  // times as many put the estimate at 1.04 to 1.1 times the clauses built on a problem
  // of 60 rules (dimensions 2 to 4, r = 3 and 5), and at 5 times on one of 4 rules,
  // where no limit is near.
  std::int64_t EstimatedClauses() const {
    const std::int64_t d = d_;
    const double binary = static_cast<double>(plan_.Products()) * d * d * d * capBits_ * 28 +
                          static_cast<double>(words_.size()) * d * d * capBits_ * 12;
    if constexpr (std::is_same_v<Numbers, UnaryArcticNumbers>) {
      const double r = range_;
      return static_cast<std::int64_t>(binary * std::max(1.0, r * r / 6));
    }
    return static_cast<std::int64_t>(binary);
  }

  // Adds the conditions: every rule weak, at least one strict. False when the budget ran
  // out while building them.
  bool Build(const Budget& budget) {
    nodes_.resize(plan_.letters + plan_.Products());
    for (std::size_t k = 0; k < plan_.Products(); ++k) {
      if (budget.Expired()) return false;
      const ProductPlan::Node& n = plan_.nodes[k];
      nodes_[plan_.letters + k] = sat::Mul(s_, Node(n.left), Node(n.right), cap_);
    }
    for (std::size_t k = 0; k + 1 < words_.size(); k += 2) {
      if (budget.Expired()) return false;
      const Matrix &l = Side(k), &r = Side(k + 1);
      s_.Require(sat::Ge(s_, l, r));
      candidates_.push_back(sat::Gt(s_, l, r));
    }
    s_.AddClause(candidates_);
    return true;
  }

  // The letters' matrices in the last model, and the rules (strict ones first, then weak
  // ones, one index range) it makes strict.
  Candidate<ArcticRemovalWitness> Read() const {
    auto w = std::make_shared<ArcticRemovalWitness>();
    w->dimension = d_;
    w->letters.resize(letters_.size());
    for (std::size_t a = 0; a < letters_.size(); ++a) {
      if (!letters_[a]) continue;
      std::vector<ArcticValue> m;
      for (const auto& v : sat::Values(s_, *letters_[a]))
        m.push_back(v ? ArcticValue(static_cast<std::int64_t>(*v)) : std::nullopt);
      w->letters[a] = std::move(m);
    }
    return {std::move(w), StrictInModel()};
  }

 private:
  const Matrix& Node(int n) const { return plan_.IsLetter(n) ? *letters_[n] : *nodes_[n]; }
  // The matrix of the k-th side (strict rules' sides first, left side first).
  const Matrix& Side(std::size_t k) {
    if (const auto& n = plan_.words[k]) return Node(*n);
    if (!identity_) identity_ = Numbers::Identity(s_, d_);
    return *identity_;
  }

  const Problem& p_;
  const int d_, capBits_;
  const int range_;  // the values a letter's finite entry may take
  const typename Numbers::Cap cap_;
  std::vector<Word> words_;  // every side, in the order Build takes them
  ProductPlan plan_;
  std::vector<std::optional<Matrix>> letters_;
  std::vector<std::optional<Matrix>> nodes_;  // by plan node; products only
  std::optional<Matrix> identity_;
};

bool Applies(const Problem& p, const ArcticRemovalOptions& o) {
  return p.IsRelative() && !p.strict.empty() && o.Valid() && o.belowZero >= 0 && o.belowZero <= 64;
}

}  // namespace

Result ArcticRuleRemoval(const Problem& p, const Budget& budget, const ArcticRemovalOptions& o) {
  if (!Applies(p, o)) return Result::None();
  const std::string what =
      std::string(o.belowZero ? "arctic rule removal below zero" : "arctic rule removal") +
      " of dimension " + std::to_string(o.dimension);
  if (o.belowZero > 0)
    return RemovalStep(p,
                       SearchInterpretation<Encoding<UnaryArcticNumbers>>(budget, o, what, p, o));
  return RemovalStep(p, SearchInterpretation<Encoding<BinaryArcticNumbers>>(budget, o, what, p, o));
}

EncodingSize ArcticRemovalEncodingSize(const Problem& p, const ArcticRemovalOptions& o) {
  if (!Applies(p, o)) return {};
  const auto measure = [&](auto enc) {
    EncodingSize size{enc.EstimatedClauses(), 0};
    if (enc.Build(Budget())) size.built = enc.solver().Clauses();
    return size;
  };
  if (o.belowZero > 0) return measure(Encoding<UnaryArcticNumbers>(p, o));
  return measure(Encoding<BinaryArcticNumbers>(p, o));
}

// ---------------------------------------------------------------------------------------
// The re-check: exact integers (no overflow at any length), nothing shared with the
// encoding above.

namespace {

// The letters' matrices as arctic maps without constant (c = -∞ everywhere, which
// compares as equal and greater alike), in exact arithmetic (strong/exact.h).
exact::ArcticMaps ExactMaps(const ArcticRemovalWitness& wit) {
  const int d = wit.dimension;
  std::vector<std::optional<exact::ArcticAffine>> letters(wit.letters.size());
  for (std::size_t a = 0; a < wit.letters.size(); ++a) {
    if (!wit.letters[a]) continue;
    exact::ArcticAffine f{d, {}, std::vector<exact::Arctic>(d)};
    for (const ArcticValue& v : *wit.letters[a]) f.m.push_back(exact::ToArctic(v));
    letters[a] = std::move(f);
  }
  return exact::ArcticMaps(d, std::move(letters));
}

std::string Entry(const ArcticValue& v) {
  return v ? std::to_string(*v) : "-∞";
}

std::size_t Columns(const std::string& s) {  // UTF-8 continuation bytes take none
  return std::count_if(s.begin(), s.end(), [](char ch) { return (ch & 0xC0) != 0x80; });
}

}  // namespace

bool ArcticRemovalWitness::BelowZero() const {
  for (const auto& m : letters)
    if (m)
      for (const ArcticValue& v : *m)
        if (v && *v < 0) return true;
  return false;
}

std::string ArcticRemovalWitness::RecheckStep(const Problem& before, const Problem& after) const {
  if (!before.IsRelative()) return "arctic rule removal on a dependency pair problem";
  if (dimension < 1) return "dimension below 1";
  const auto dd = static_cast<std::size_t>(dimension) * dimension;
  const std::vector<bool> used = UsedLetters(before);
  if (letters.size() != used.size()) return "matrices for a different alphabet";
  for (Symbol a = 0; a < before.alphabet.size(); ++a) {
    const std::string& name = before.alphabet.names[a];
    if (!letters[a]) {
      if (used[a]) return "no matrix for letter " + name;
      continue;
    }
    if (letters[a]->size() != dd) return "letter " + name + " has a matrix of the wrong size";
    const ArcticValue& first = (*letters[a])[0];
    if (!first || *first < 0) return "letter " + name + " has a (1,1) entry below 0 or -∞";
  }
  return CheckRemoval(before, after, removedStrict, removedWeak, "matrix", ExactMaps(*this),
                      OrientArctic);
}

void ArcticRemovalWitness::Print(const Problem& before, std::vector<std::string>& lines) const {
  const int d = dimension;
  lines.push_back("dimension " + std::to_string(d) + ", [w] = M_w over " +
                  (BelowZero() ? "Z ∪ {-∞} (max, +), every (1,1) entry ≥ 0" : "N ∪ {-∞} (max, +)") +
                  ", first letter leftmost; strict: every entry greater or -∞ on the right");
  for (Symbol a = 0; a < static_cast<Symbol>(letters.size()); ++a) {
    if (!letters[a]) continue;
    const std::vector<ArcticValue>& m = *letters[a];
    std::vector<std::size_t> width(d, 1);
    for (int i = 0; i < d; ++i)
      for (int j = 0; j < d; ++j) width[j] = std::max(width[j], Columns(Entry(m[i * d + j])));
    const std::string head = "  [" + before.alphabet.names[a] + "] = ";
    for (int i = 0; i < d; ++i) {
      std::string row = i == 0 ? head : std::string(Columns(head), ' ');
      row += "|";
      for (int j = 0; j < d; ++j) {
        const std::string e = Entry(m[i * d + j]);
        row += " " + std::string(width[j] - Columns(e), ' ') + e;
      }
      lines.push_back(row + " |");
    }
  }
  AddRemovedRuleLines(before, removedStrict, removedWeak, lines);
}

cpf::Written ArcticRemovalWitness::CertifyStep(const Problem& before, const Problem& after,
                                               const cpf::Fragment& sub) const {
  if (sub.kind != cpf::FragmentKind::Termination)
    return cpf::RuleRemovalNontermination(before, after, sub);
  const auto d = static_cast<std::size_t>(dimension);
  cpf::ArcticInterpretation in{dimension, {}};
  in.letters.resize(letters.size());
  for (std::size_t s = 0; s < letters.size(); ++s) {
    if (!letters[s]) continue;
    if (letters[s]->size() != d * d) return std::string("a matrix of the wrong size");
    cpf::ArcticMap& m = in.letters[s];
    m.constant.assign(d, std::nullopt);  // x -> M x: no constant
    for (std::size_t i = 0; i < d; ++i) {
      m.matrix.emplace_back();
      for (std::size_t j = 0; j < d; ++j) {
        const ArcticValue& v = (*letters[s])[i * d + j];
        m.matrix.back().push_back(v ? cpf::Arctic(mpz_class(std::to_string(*v))) : std::nullopt);
      }
    }
  }
  return BelowZero() ? cpf::ArcticRuleRemovalIntegers(before, in, after, sub)
                     : cpf::ArcticRuleRemoval(before, in, after, sub);
}

}  // namespace velkin::strong
