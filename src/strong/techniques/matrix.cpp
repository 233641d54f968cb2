#include "strong/techniques/matrix.h"

#include <algorithm>
#include <cassert>

#include "sat/gates.h"
#include "sat/matrix.h"
#include "sat/solver.h"
#include "strong/techniques/products.h"

namespace velkin::strong {
namespace {

// ---------------------------------------------------------------------------------------
// Exact evaluation with arbitrary-precision integers: the re-check's arithmetic. It
// shares nothing with the encoding below.

struct ExactMap {
  int d = 0;
  std::vector<mpz_class> m, c;  // d×d row-major, d
};

ExactMap ExactIdentity(int d) {
  ExactMap e{d, std::vector<mpz_class>(static_cast<std::size_t>(d) * d, 0),
             std::vector<mpz_class>(d, 0)};
  for (int i = 0; i < d; ++i) e.m[i * d + i] = 1;
  return e;
}

// x ↦ a(g(x)) = (M_a M_g) x + (M_a c_g + c_a).
ExactMap ExactCompose(const LetterMap& a, const ExactMap& g) {
  const int d = g.d;
  ExactMap r{d, std::vector<mpz_class>(static_cast<std::size_t>(d) * d, 0), a.c};
  for (int i = 0; i < d; ++i)
    for (int k = 0; k < d; ++k) {
      const mpz_class& aik = a.m[i * d + k];
      if (aik == 0) continue;
      for (int j = 0; j < d; ++j) r.m[i * d + j] += aik * g.m[k * d + j];
      r.c[i] += aik * g.c[k];
    }
  return r;
}

// The map of `w`, or nullopt when a letter of it has no map.
std::optional<ExactMap> ExactWord(const MatrixWitness& wit, const Word& w) {
  ExactMap e = ExactIdentity(wit.dimension);
  for (auto it = w.rbegin(); it != w.rend(); ++it) {
    const Symbol a = *it;
    if (a < 0 || a >= static_cast<Symbol>(wit.letters.size()) || !wit.letters[a])
      return std::nullopt;
    e = ExactCompose(*wit.letters[a], e);
  }
  return e;
}

bool ExactWeak(const ExactMap& l, const ExactMap& r) {
  for (std::size_t k = 0; k < l.m.size(); ++k)
    if (l.m[k] < r.m[k]) return false;
  for (std::size_t k = 0; k < l.c.size(); ++k)
    if (l.c[k] < r.c[k]) return false;
  return true;
}

bool ExactStrict(const ExactMap& l, const ExactMap& r) {
  return ExactWeak(l, r) && l.c[0] > r.c[0];
}

// Whether letter a's map needs (M_a)_{1,1} >= 1: always in a relative problem (the
// order must be closed under every context); in a dependency pair problem only for
// ordinary letters, since a marked letter stands first and nothing stands left of it.
bool NeedsMonotone(const Problem& p, Symbol a) {
  return p.IsRelative() || !p.alphabet.IsMarked(a);
}

// ---------------------------------------------------------------------------------------
// The search: one SAT problem per call.

class Encoder {
 public:
  Encoder(const Problem& p, const MatrixOptions& o)
      : p_(p),
        d_(o.dimension),
        bits_(o.bits),
        cap_(o.resultBits ? o.resultBits : o.bits + 3),
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
    const std::int64_t d = d_;
    std::int64_t sides = 0;
    for (const auto* rules : {&p_.strict, &p_.weak}) sides += 2 * std::ssize(*rules);
    return productClauses_ + sides * (d * d + d) * 8LL * cap_ +
           p_.alphabet.size() * (d * d + d) * bits_;
  }

  // Builds the constraints: weak decrease of every rule; at least one of `removable`
  // strict; one strictness literal per rule (strict ones first). False when `budget`
  // expired before the encoding was complete.
  bool Build(bool dpProblem, const Budget& budget) {
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
        strictLits_.push_back(strict);
        if (!dpProblem || isPairs) removable.push_back(strict);
      }
    }
    s_.AddClause(removable);
    removable_ = removable.size();
    return true;
  }

  sat::Solver& solver() { return s_; }
  const std::vector<sat::Lit>& strictLits() const { return strictLits_; }
  std::size_t removable() const { return removable_; }

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

 private:
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
  // 3 and 4 under either plan.
  std::int64_t ProductClauses(const ProductPlan& plan) const {
    const std::int64_t d = d_;
    std::int64_t total = 0;
    for (const ProductPlan::Node& n : plan.nodes) {
      const std::int64_t narrow = plan.IsLetter(n.left) || plan.IsLetter(n.right) ? bits_ : cap_;
      total += (d * d * d + d * d) * (9LL * narrow * cap_ + 7LL * cap_);
    }
    return total;
  }

  const Problem& p_;
  const int d_, bits_, cap_;
  const MatrixKind kind_;
  const bool firstRowOnly_;
  std::vector<bool> used_;
  std::vector<Word> words_;  // every side, in the order Build takes them
  ProductPlan plan_;
  std::int64_t productClauses_ = 0;
  std::size_t removable_ = 0;
  sat::Solver s_;
  std::vector<sat::NatAffine> letters_;
  std::vector<std::optional<sat::NatAffine>> nodes_;  // by plan node; products only
  std::optional<sat::NatAffine> identity_;
  std::vector<sat::Lit> strictLits_;
};

// The rules (strict ones first, then weak ones, as one index range) that `wit` makes
// strictly decreasing, among the first `removable`.
std::vector<int> StrictRules(const Problem& p, const MatrixWitness& wit, std::size_t removable) {
  std::vector<int> out;
  std::size_t k = 0;
  for (const auto* rules : {&p.strict, &p.weak})
    for (const Rule& r : *rules) {
      if (k < removable) {
        const auto l = ExactWord(wit, r.lhs), rr = ExactWord(wit, r.rhs);
        if (l && rr && ExactStrict(*l, *rr)) out.push_back(static_cast<int>(k));
      }
      ++k;
    }
  return out;
}

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
  if (options.dimension < 1 || options.bits < 1 || options.bits > 30 || options.resultBits < 0 ||
      (options.resultBits && options.resultBits < options.bits) || options.resultBits > 62)
    return Result::None("matrix interpretation: invalid options");
  if (problem.strict.empty()) return Result::None();
  const bool dp = problem.IsDependencyPairs();

  ClauseLease lease;  // outlives the encoder, so that its clauses are freed first
  Encoder enc(problem, options);
  const std::int64_t estimate = enc.EstimatedClauses();
  if (estimate > options.maxClauses)
    return Result::None("matrix interpretation of dimension " + std::to_string(options.dimension) +
                        " skipped: its encoding would take about " + std::to_string(estimate) +
                        " clauses, more than the " + std::to_string(options.maxClauses) +
                        " that fit in memory");
  lease = budget.LeaseClauses(estimate);
  if (!lease.granted() || budget.Expired()) return Result::None();
  if (!enc.Build(dp, budget)) return Result::None();
  sat::Solver& s = enc.solver();
  if (s.Solve(budget) != sat::Solver::Outcome::Sat) return Result::None();

  auto wit = std::make_shared<MatrixWitness>();
  wit->dimension = options.dimension;
  wit->letters = enc.Model();
  std::vector<int> strict = StrictRules(problem, *wit, enc.removable());

  // Cheap improvement: keep what is strict, ask for one more, until that fails.
  while (options.improveSeconds > 0 && strict.size() < enc.removable() && !budget.Expired()) {
    std::vector<sat::Lit> more;
    for (std::size_t k = 0; k < enc.removable(); ++k)
      if (!std::binary_search(strict.begin(), strict.end(), static_cast<int>(k)))
        more.push_back(enc.strictLits()[k]);
    const sat::Lit act = s.NewVar();
    more.push_back(-act);
    s.AddClause(more);
    std::vector<sat::Lit> assume{act};
    for (int k : strict) assume.push_back(enc.strictLits()[k]);
    const auto r = s.Solve(budget.Within(std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double>(options.improveSeconds))),
                           assume);
    MatrixWitness better;
    better.dimension = options.dimension;
    if (r == sat::Solver::Outcome::Sat) better.letters = enc.Model();
    s.Require(-act);  // retire this round's clause (the model is read before)
    if (r != sat::Solver::Outcome::Sat) break;
    std::vector<int> more_strict = StrictRules(problem, better, enc.removable());
    if (more_strict.size() <= strict.size()) break;  // cannot happen with an exact model
    wit->letters = std::move(better.letters);
    strict = std::move(more_strict);
  }
  if (strict.empty()) return Result::None();  // cannot happen with an exact model

  const int nStrict = static_cast<int>(problem.strict.size());
  for (int k : strict)
    (k < nStrict ? wit->removedStrict : wit->removedWeak).push_back(k < nStrict ? k : k - nStrict);
  Problem rest = WithoutRules(problem, wit->removedStrict, wit->removedWeak);
  return Result::Step(std::move(wit), {std::move(rest)});
}

EncodingSize MatrixEncodingSize(const Problem& problem, const MatrixOptions& options) {
  Encoder enc(problem, options);
  EncodingSize size{enc.EstimatedClauses(), 0};
  if (enc.Build(problem.IsDependencyPairs(), Budget())) size.built = enc.solver().Clauses();
  return size;
}

std::string MatrixWitness::Recheck(const Problem& before, const std::vector<Problem>& after) const {
  if (dimension < 1) return "dimension below 1";
  if (after.size() != 1) return "not exactly one subproblem";
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
  for (const auto* removed : {&removedStrict, &removedWeak}) {
    const std::size_t n = removed == &removedStrict ? before.strict.size() : before.weak.size();
    for (std::size_t i = 0; i < removed->size(); ++i)
      if ((*removed)[i] < 0 || static_cast<std::size_t>((*removed)[i]) >= n ||
          (i > 0 && (*removed)[i] <= (*removed)[i - 1]))
        return "removed rule indices out of range or not ascending";
  }
  if (removedStrict.empty() && removedWeak.empty()) return "removes no rule";
  if (before.IsDependencyPairs() && !removedWeak.empty())
    return "a reduction pair removes rules of R";
  for (const auto* rules : {&before.strict, &before.weak}) {
    const std::vector<int>& removed = rules == &before.strict ? removedStrict : removedWeak;
    for (std::size_t i = 0; i < rules->size(); ++i) {
      const Rule& r = (*rules)[i];
      const auto l = ExactWord(*this, r.lhs), rr = ExactWord(*this, r.rhs);
      if (!l || !rr) return "a letter without map in " + RuleText(before.alphabet, r);
      const bool weak = rules == &before.weak;
      if (!ExactWeak(*l, *rr))
        return "not weakly decreasing: " + RuleText(before.alphabet, r, weak);
      if (std::binary_search(removed.begin(), removed.end(), static_cast<int>(i)) &&
          !ExactStrict(*l, *rr))
        return "removed but not strictly decreasing: " + RuleText(before.alphabet, r, weak);
    }
  }
  if (!IsWithoutRules(after[0], before, removedStrict, removedWeak))
    return "the subproblem is not the problem without the removed rules";
  return "";
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
  for (int i : removedStrict)
    lines.push_back("removes " + RuleText(before.alphabet, before.strict[i]));
  for (int i : removedWeak)
    lines.push_back("removes " + RuleText(before.alphabet, before.weak[i], true));
}

cpf::Written MatrixWitness::Certify(const Problem& before, const std::vector<Problem>& after,
                                    const std::vector<cpf::Fragment>& subproofs) const {
  if (after.size() != 1 || subproofs.size() != 1) return std::string("not one subproblem");
  cpf::NaturalInterpretation in{dimension, {}};
  in.letters.resize(letters.size());
  const auto d = static_cast<std::size_t>(dimension);
  for (std::size_t s = 0; s < letters.size(); ++s) {
    if (!letters[s]) continue;
    if (letters[s]->m.size() != d * d) return std::string("a matrix of the wrong size");
    in.letters[s].constant = letters[s]->c;
    for (std::size_t i = 0; i < d; ++i)
      in.letters[s].matrix.emplace_back(letters[s]->m.begin() + i * d,
                                        letters[s]->m.begin() + (i + 1) * d);
  }
  if (before.IsDependencyPairs()) return cpf::ReductionPair(before, in, after[0], subproofs[0]);
  if (subproofs[0].kind == cpf::FragmentKind::Termination)
    return cpf::RuleRemoval(before, in, after[0], subproofs[0]);
  return cpf::RuleRemovalNontermination(before, after[0], subproofs[0]);
}

}  // namespace velkin::strong
