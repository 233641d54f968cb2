#include "strong/techniques/matrix.h"

#include <algorithm>
#include <cassert>

#include "sat/gates.h"
#include "sat/matrix.h"
#include "sat/solver.h"
#include "strong/exact.h"
#include "strong/techniques/interpretation_search.h"
#include "strong/techniques/products.h"
#include "strong/techniques/usable_rules.h"

namespace velkin::strong {
namespace {

// The exact maps of the letters of `wit` (strong/exact.h): the re-check's arithmetic,
// which shares nothing with the encoding below.
exact::NaturalMaps ExactMaps(const MatrixWitness& wit) {
  std::vector<std::optional<exact::NaturalAffine>> letters(wit.letters.size());
  for (std::size_t a = 0; a < wit.letters.size(); ++a)
    if (wit.letters[a])
      letters[a] = exact::NaturalAffine{wit.dimension, wit.letters[a]->m, wit.letters[a]->c};
  return exact::NaturalMaps(wit.dimension, std::move(letters));
}

// Whether letter a's map needs (M_a)_{1,1} >= 1: always in a relative problem (the
// order must be closed under every context); in a dependency pair problem only for
// ordinary letters, since a marked letter stands first and nothing stands left of it.
bool NeedsMonotone(const Problem& p, Symbol a) {
  return p.IsRelative() || !p.alphabet.IsMarked(a);
}

// ---------------------------------------------------------------------------------------
// The search: one SAT problem per call.

class Encoder : public EncodingBase {
 public:
  using Witness = MatrixWitness;

  Encoder(const Problem& p, const MatrixOptions& o)
      : EncodingBase(p, o),
        p_(p),
        d_(o.dimension),
        bits_(o.bits),
        cap_(o.ResultBits()),
        kind_(o.kind),
        firstRowOnly_(o.markedFirstRowOnly),
        used_(UsedLetters(p)) {
    // The sides' maps come from one product plan: letter by letter from the right or from
    // the left (every product has a narrow letter factor), or with repeated factors
    // anywhere built once (fewer products, most of them of two wide factors). The one with
    // the smaller estimate is taken.
    for (const auto* rules : {&p.strict, &p.weak})
      for (const Rule& r : *rules)
        for (const Word* w : {&r.lhs, &r.rhs}) words_.push_back(*w);
    const int n = p.alphabet.size();
    using P = MatrixOptions::Products;
    std::vector<ProductPlan> candidates;
    if (o.products != P::Shared) {
      candidates.push_back(ChainPlan(n, words_, true));
      candidates.push_back(ChainPlan(n, words_, false));
    }
    if (o.products != P::Chain) candidates.push_back(PlanProducts(n, words_));
    std::size_t best = 0;
    for (std::size_t k = 0; k < candidates.size(); ++k)
      if (const std::int64_t e = ProductClauses(candidates[k]); k == 0 || e < productClauses_) {
        productClauses_ = e;
        best = k;
      }
    plan_ = std::move(candidates[best]);
  }

  // A generous estimate of the clauses the encoding takes (every product in full,
  // without the savings from constants and shared gates).
  std::int64_t EstimatedClauses() const {
    std::int64_t sides = 0;
    for (const auto* rules : {&p_.strict, &p_.weak}) sides += 2 * std::ssize(*rules);
    return productClauses_ + sides * FreeEntries() * 8LL * cap_ +
           p_.alphabet.size() * FreeEntries() * bits_;
  }

  // Builds the constraints: weak decrease of every rule; at least one candidate strict
  // (every rule of a relative problem, strict ones first; the pairs of a dependency pair
  // problem). False when `budget` expired before the encoding was complete.
  bool Build(const Budget& budget) {
    const bool dpProblem = p_.IsDependencyPairs();
    letters_.resize(p_.alphabet.size());
    for (Symbol a = 0; a < p_.alphabet.size(); ++a)
      if (used_[a])
        letters_[a] = FreshLetter(NeedsMonotone(p_, a),
                                  firstRowOnly_ && dpProblem && p_.alphabet.IsMarked(a));
    nodes_.resize(plan_.letters + plan_.Products());
    for (std::size_t k = 0; k < plan_.Products(); ++k) {
      if (budget.Expired()) return false;
      const ProductPlan::Node& n = plan_.nodes[k];
      nodes_[plan_.letters + k] = sat::Compose(s_, Node(n.left), Node(n.right), cap_);
    }
    std::vector<sat::Lit> removable;
    std::size_t side = 0;
    for (const auto* rules : {&p_.strict, &p_.weak}) {
      const bool isPairs = rules == &p_.strict;
      for (std::size_t i = 0; i < rules->size(); ++i) {
        const sat::NatAffine& l = Side(side++);
        const sat::NatAffine& rr = Side(side++);
        if (budget.Expired()) return false;
        s_.Require(sat::Ge(s_, l.m, rr.m));
        s_.Require(sat::Ge(s_, l.c, rr.c));
        const sat::Lit strict = sat::Gt(s_, l.c.at(0, 0), rr.c.at(0, 0));
        if (!dpProblem || isPairs) candidates_.push_back(strict);
      }
    }
    s_.AddClause(candidates_);
    return true;
  }

  // The letters' maps in the last model, and the candidates they make strict, found by
  // exact evaluation.
  Candidate<MatrixWitness> Read() const {
    auto wit = std::make_shared<MatrixWitness>();
    wit->dimension = d_;
    wit->letters = Model();
    const exact::NaturalMaps maps = ExactMaps(*wit);
    std::vector<int> strict;
    std::size_t k = 0;
    for (const auto* rules : {&p_.strict, &p_.weak})
      for (const Rule& r : *rules) {
        if (k >= candidates_.size()) break;
        if (const auto o = OrientNatural(maps, r); o && o->strict)
          strict.push_back(static_cast<int>(k));
        ++k;
      }
    return {std::move(wit), std::move(strict)};
  }

 private:
  // The letters' maps in the last model.
  std::vector<std::optional<LetterMap>> Model() const {
    std::vector<std::optional<LetterMap>> out(letters_.size());
    for (std::size_t a = 0; a < letters_.size(); ++a) {
      if (!used_[a]) continue;
      LetterMap lm;
      for (std::uint64_t v : sat::Values(s_, letters_[a].m)) lm.m.emplace_back(Mpz(v));
      for (std::uint64_t v : sat::Values(s_, letters_[a].c)) lm.c.emplace_back(Mpz(v));
      out[a] = std::move(lm);
    }
    return out;
  }

  static mpz_class Mpz(std::uint64_t v) {
    mpz_class z;
    mpz_import(z.get_mpz_t(), 1, 1, sizeof v, 0, 0, &v);
    return z;
  }

  // A letter's map with fresh entries. A marked letter of a dependency pair problem
  // gets a fresh first row only, the rest 0: it stands first, so only the first row
  // of a pair's sides is compared, and any interpretation stays one with those rows
  // cleared. The constant rows fold away in the encoding.
  sat::NatAffine FreshLetter(bool monotone, bool firstRowOnly) {
    sat::NatAffine f{sat::NatZero(s_, d_, d_), sat::NatZero(s_, d_, 1)};
    const int rows = firstRowOnly ? 1 : d_;
    for (int i = 0; i < rows; ++i) f.c.at(i, 0) = sat::FreshNat(s_, bits_);
    for (int i = 0; i < rows; ++i)
      for (int j = 0; j < d_; ++j) {
        if (kind_ == MatrixKind::Triangular && i > j) continue;  // stays 0
        const int w = kind_ == MatrixKind::Triangular && i == j ? 1 : bits_;
        f.m.at(i, j) = sat::FreshNat(s_, w);
      }
    if (monotone) s_.Require(sat::OrAll(s_, f.m.at(0, 0).bits));
    return f;
  }

  // The map of plan node n (a letter's or a product's).
  const sat::NatAffine& Node(int n) const { return plan_.IsLetter(n) ? letters_[n] : *nodes_[n]; }

  // The map of the k-th side (strict rules' sides first, left side first).
  const sat::NatAffine& Side(std::size_t k) {
    if (const auto& n = plan_.words[k]) return Node(*n);
    if (!identity_) identity_ = sat::NatAffineIdentity(s_, d_);
    return *identity_;
  }

  // Estimated clauses of the plan's products: d³ + d² products of numbers per map
  // product, each one partial product of `cap` bits per bit of the narrower factor, and
  // the sums. A letter's entries have `bits` bits, a product's up to `cap`. The factors
  // (clauses per bit of an adder, less the gates that constants and sharing save) put
  // the estimate at 0.9 to 1.1 times the clauses built on corpus problems of dimensions
  // 3 and 4 under either plan; for triangular maps of one bit in dimensions 5 to 8, at 1.6
  // to 2.9 times (generous, since their diagonal products are of one bit).
  std::int64_t ProductClauses(const ProductPlan& plan) const {
    const std::int64_t d = d_;
    // Products of numbers per map product: every (i, k, j) of M and (i, k) of c, or for
    // triangular maps only those with i <= k <= j (and i <= k), the others being 0.
    const std::int64_t numberProducts = kind_ == MatrixKind::Triangular
                                            ? d * (d + 1) * (d + 2) / 6 + d * (d + 1) / 2
                                            : d * d * d + d * d;
    std::int64_t total = 0;
    for (const ProductPlan::Node& n : plan.nodes) {
      const std::int64_t narrow = plan.IsLetter(n.left) || plan.IsLetter(n.right) ? bits_ : cap_;
      total += numberProducts * (9LL * narrow * cap_ + 7LL * cap_);
    }
    return total;
  }

  // The entries of a map (M and c) that are not 0 by its shape.
  std::int64_t FreeEntries() const {
    const std::int64_t d = d_;
    return kind_ == MatrixKind::Triangular ? d * (d + 1) / 2 + d : d * d + d;
  }

  const Problem& p_;
  const int d_, bits_, cap_;
  const MatrixKind kind_;
  const bool firstRowOnly_;
  std::vector<bool> used_;
  std::vector<Word> words_;  // every side, in the order Build takes them
  ProductPlan plan_;
  std::int64_t productClauses_ = 0;
  std::vector<sat::NatAffine> letters_;
  std::vector<std::optional<sat::NatAffine>> nodes_;  // by plan node; products only
  std::optional<sat::NatAffine> identity_;
};

std::string Num(const mpz_class& z) {
  return z.get_str();
}

// Columns that `s` takes in a terminal: UTF-8 continuation bytes take none.
std::size_t DisplayWidth(const std::string& s) {
  return std::count_if(s.begin(), s.end(), [](char ch) { return (ch & 0xC0) != 0x80; });
}

}  // namespace

Result MatrixInterpretation(const Problem& problem, const Budget& budget,
                            const MatrixOptions& options) {
  if (!options.Valid()) return Result::None("matrix interpretation: invalid options");
  if (problem.strict.empty()) return Result::None();
  // With usable rules, the encoding sees U(P) only; the subproblem keeps all of R.
  const std::optional<Problem> cut = UsableRulesCut(problem, options.usableRules);
  const Problem& p = cut ? *cut : problem;
  Searched<MatrixWitness> found = SearchInterpretation<Encoder>(
      budget, options, "matrix interpretation of dimension " + std::to_string(options.dimension), p,
      options);
  if (found.best) {
    found.best->witness->usableOnly = cut.has_value();
    // Pairs only: a dependency pair problem's rules are never removed.
    assert(!cut || std::all_of(found.best->strict.begin(), found.best->strict.end(),
                               [&](int k) { return k < std::ssize(p.strict); }));
  }
  return RemovalStep(problem, std::move(found));
}

EncodingSize MatrixEncodingSize(const Problem& problem, const MatrixOptions& options) {
  Encoder enc(problem, options);
  EncodingSize size{enc.EstimatedClauses(), 0};
  if (enc.Build(Budget())) size.built = enc.solver().Clauses();
  return size;
}

std::string MatrixWitness::RecheckStep(const Problem& given, const Problem& givenAfter) const {
  if (dimension < 1) return "dimension below 1";
  // With usable rules only, the rest of R need not decrease: both problems are cut down.
  Problem before = given, after = givenAfter;
  if (usableOnly)
    if (const std::string bad = CutToUsableRules(before, after); !bad.empty()) return bad;
  const int d = dimension;
  const std::vector<bool> used = UsedLetters(before);
  if (letters.size() != used.size()) return "maps for a different alphabet";
  for (Symbol a = 0; a < before.alphabet.size(); ++a) {
    const std::string name = before.alphabet.names[a];
    if (!letters[a]) {
      if (used[a]) return "no map for letter " + name;
      continue;
    }
    const LetterMap& lm = *letters[a];
    if (lm.m.size() != static_cast<std::size_t>(d) * d ||
        lm.c.size() != static_cast<std::size_t>(d))
      return "letter " + name + " has a map of the wrong dimension";
    for (const auto* v : {&lm.m, &lm.c})
      for (const mpz_class& z : *v)
        if (z < 0) return "letter " + name + " has a negative entry";
    if (NeedsMonotone(before, a) && lm.m[0] < 1) return "letter " + name + " has (1,1) entry 0";
  }
  const std::string bad = CheckRemoval(before, after, removedStrict, removedWeak, "map",
                                       ExactMaps(*this), OrientNatural);
  return bad.empty() ? bad : bad;
}

void MatrixWitness::Print(const Problem& before, std::vector<std::string>& lines) const {
  const int d = dimension;
  lines.push_back("dimension " + std::to_string(d) + ", [w](x) = M x + c on N^" +
                  std::to_string(d) + ", first letter outermost; strict: first entry of c greater");
  for (Symbol a = 0; a < static_cast<Symbol>(letters.size()); ++a) {
    if (!letters[a]) continue;
    const LetterMap& lm = *letters[a];
    std::vector<std::size_t> width(d + 1, 1);
    for (int i = 0; i < d; ++i) {
      for (int j = 0; j < d; ++j) width[j] = std::max(width[j], Num(lm.m[i * d + j]).size());
      width[d] = std::max(width[d], Num(lm.c[i]).size());
    }
    auto pad = [](const std::string& s, std::size_t w) {
      return std::string(w - s.size(), ' ') + s;
    };
    const std::string head = "  [" + before.alphabet.names[a] + "] = ";
    for (int i = 0; i < d; ++i) {
      std::string row = i == 0 ? head : std::string(DisplayWidth(head), ' ');
      row += "|";
      for (int j = 0; j < d; ++j) row += " " + pad(Num(lm.m[i * d + j]), width[j]);
      row += i == 0 ? " | x + |" : " |     |";
      row += " " + pad(Num(lm.c[i]), width[d]) + " |";
      lines.push_back(row);
    }
  }
  if (usableOnly) PrintUsableRules(before, lines);
  AddRemovedRuleLines(before, removedStrict, removedWeak, lines);
}

cpf::Written MatrixWitness::CertifyStep(const Problem& given, const Problem& givenAfter,
                                        const cpf::Fragment& sub) const {
  // With usable rules, the step lists them and orients them only.
  Problem before = given, after = givenAfter;
  if (usableOnly)
    if (const std::string bad = CutToUsableRules(before, after); !bad.empty()) return bad;
  const auto maps =
      CertificateMaps<mpz_class>(dimension, letters, [](const mpz_class& v) { return v; });
  if (!maps) return std::string("a matrix of the wrong size");
  const cpf::NaturalInterpretation& in = *maps;
  if (before.IsDependencyPairs()) return cpf::ReductionPair(before, in, after, sub, usableOnly);
  if (sub.kind == cpf::FragmentKind::Termination) return cpf::RuleRemoval(before, in, after, sub);
  return cpf::RuleRemovalNontermination(before, after, sub);
}

}  // namespace velkin::strong
