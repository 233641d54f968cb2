#include "strong/techniques/lp_weights.h"

#include <glpk.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>

namespace velkin::strong {

namespace {

// The closest fraction to v >= 0 with a denominator of at most `maxDen` (continued
// fractions). The exact simplex's values are fractions whose doubles this recovers
// whenever their denominators are that small; the check below catches any other case.
mpq_class Fraction(double v, long long maxDen) {
  if (!(v > 0)) return 0;
  long long p0 = 0, q0 = 1, p1 = 1, q1 = 0;
  double x = v;
  for (int k = 0; k < 64; ++k) {
    const double a = std::floor(x);
    if (a > 1e15) break;
    const auto ai = static_cast<long long>(a);
    const long long q2 = ai * q1 + q0;
    if (q2 > maxDen) break;
    const long long p2 = ai * p1 + p0;
    p0 = p1, q0 = q1, p1 = p2, q1 = q2;
    const double frac = x - a;
    if (frac < 1e-12 || std::fabs(static_cast<double>(p1) / static_cast<double>(q1) - v) <=
                            1e-13 * std::max(1.0, v))
      break;
    x = 1 / frac;
  }
  if (q1 == 0) return mpq_class(static_cast<long>(std::llround(v)));
  mpq_class out(static_cast<long>(p1), static_cast<long>(q1));
  out.canonicalize();
  return out;
}

// Letter counts of l minus those of r, by letter, without zeros.
std::map<Symbol, int> Difference(const Rule& r) {
  std::map<Symbol, int> d;
  for (Symbol a : r.lhs) ++d[a];
  for (Symbol a : r.rhs) --d[a];
  for (auto it = d.begin(); it != d.end();) it = it->second == 0 ? d.erase(it) : std::next(it);
  return d;
}

// One GLPK program, freed with the thread's GLPK environment when it ends, so that a
// road's thread leaves nothing behind.
class Program {
 public:
  Program() : lp_(glp_create_prob()) {}
  ~Program() {
    glp_delete_prob(lp_);
    glp_free_env();
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  glp_prob* get() { return lp_; }

 private:
  glp_prob* lp_;
};

}  // namespace

std::string LpWeightsWitness::RecheckStep(const Problem& before, const Problem& after) const {
  if (dimension != 1) return "weights of dimension " + std::to_string(dimension);
  for (const auto& lm : letters)
    if (lm && (lm->m.size() != 1 || lm->m[0] != 1)) return "a letter's matrix is not 1";
  return MatrixWitness::RecheckStep(before, after);
}

void LpWeightsWitness::Print(const Problem& before, std::vector<std::string>& lines) const {
  lines.push_back("w(a) for every letter, w(u) the sum over the letters of u (the matrix");
  lines.push_back(
      "interpretation [a](x) = x + w(a) of dimension 1); weak: w(l) >= w(r), strict: >");
  std::string row;
  for (Symbol a = 0; a < static_cast<Symbol>(letters.size()); ++a) {
    if (!letters[a] || letters[a]->c.size() != 1) continue;
    const std::string item = "w(" + before.alphabet.names[a] + ") = " + letters[a]->c[0].get_str();
    if (!row.empty() && row.size() + item.size() > 76) {
      lines.push_back("  " + row);
      row.clear();
    }
    row += (row.empty() ? "" : ", ") + item;
  }
  if (!row.empty()) lines.push_back("  " + row);
  AddRemovedRuleLines(before, removedStrict, removedWeak, lines);
}

Result LpWeights(const Problem& problem, const Budget& budget, const LpWeightsOptions& options) {
  const bool dp = problem.IsDependencyPairs();
  std::vector<const Rule*> rules;
  std::vector<bool> removable;
  for (const Rule& r : problem.strict) rules.push_back(&r), removable.push_back(true);
  for (const Rule& r : problem.weak) rules.push_back(&r), removable.push_back(!dp);
  const std::vector<bool> used = UsedLetters(problem);
  std::vector<int> column(used.size(), 0);  // 1-based GLPK column of each used letter
  int letters = 0;
  for (std::size_t a = 0; a < used.size(); ++a)
    if (used[a]) column[a] = ++letters;
  if (rules.empty() || letters == 0) return Result::None();

  std::vector<std::map<Symbol, int>> diffs;
  std::size_t nonZeros = 0;
  for (const Rule* r : rules) {
    if (budget.Expired()) return Result::None();
    diffs.push_back(Difference(*r));
    nonZeros += diffs.back().size() + 1;
  }
  if (rules.size() > options.maxRows || nonZeros > options.maxNonZeros)
    return Result::None("weights skipped: the linear program would have " +
                        std::to_string(rules.size()) + " rows and " + std::to_string(nonZeros) +
                        " coefficients, more than fit");
  // A rule that no weights can make strict needs a letter more on the left; one whose
  // sides have the same letters is weak for all weights.
  bool hope = false;
  for (std::size_t j = 0; j < rules.size(); ++j)
    if (removable[j])
      for (const auto& [a, k] : diffs[j]) hope = hope || k > 0;
  if (!hope) return Result::None();

  // One row per distinct difference: rules with the same counts are strict or weak
  // together, and a labelled or closed problem has many such (the 6480 rules of one
  // tiling of the corpus have 3727 distinct differences). A row has a slack when some
  // rule of it is removable, whose objective coefficient is the number of those rules.
  std::map<std::map<Symbol, int>, int> rowOf;
  std::vector<const std::map<Symbol, int>*> rowDiff;
  std::vector<int> rowWeight;  // removable rules of the row
  for (std::size_t j = 0; j < rules.size(); ++j) {
    const auto [it, fresh] = rowOf.try_emplace(diffs[j], static_cast<int>(rowDiff.size()));
    if (fresh) rowDiff.push_back(&it->first), rowWeight.push_back(0);
    rowWeight[it->second] += removable[j];
  }

  Program program;
  glp_prob* lp = program.get();
  glp_set_obj_dir(lp, GLP_MAX);
  const int rows = static_cast<int>(rowDiff.size());
  int slacks = 0;
  for (int w : rowWeight) slacks += w > 0;
  glp_add_rows(lp, rows);
  glp_add_cols(lp, letters + slacks);
  for (int c = 1; c <= letters; ++c) glp_set_col_bnds(lp, c, GLP_LO, 0, 0);
  int nextSlack = letters;
  for (int i = 0; i < rows; ++i) {
    if (budget.Expired()) return Result::None();
    glp_set_row_bnds(lp, i + 1, GLP_LO, 0, 0);
    std::vector<int> idx{0};
    std::vector<double> val{0};
    for (const auto& [a, k] : *rowDiff[i]) idx.push_back(column[a]), val.push_back(k);
    if (rowWeight[i] > 0) {
      ++nextSlack;
      glp_set_col_bnds(lp, nextSlack, GLP_DB, 0, 1);
      glp_set_obj_coef(lp, nextSlack, rowWeight[i]);
      idx.push_back(nextSlack), val.push_back(-1);
    }
    glp_set_mat_row(lp, i + 1, static_cast<int>(idx.size()) - 1, idx.data(), val.data());
  }

  // GLPK polls no stop flag, only its own clock: each solve gets at most the budget
  // left and at most `solveSeconds`, so that a race lost meanwhile ends soon after.
  // Between the solves the budget is looked at without taking turns: a turn handed on
  // there could come back after the time left (seconds, with many roads), while the
  // solves that follow take a fraction of what the first did.
  const auto millisLeft = [&] {
    const double s = std::min(budget.SecondsLeft(), options.solveSeconds);
    return static_cast<int>(std::clamp(s * 1000, 1.0, static_cast<double>(INT_MAX)));
  };
  glp_smcp parm;
  glp_init_smcp(&parm);
  parm.msg_lev = GLP_MSG_OFF;
  // First every removable row strict at once (slacks fixed at 1), by the dual simplex,
  // whose start (every row's own variable in the basis) is dual feasible for the zero
  // objective: where weights remove everything, as on most tilings of the corpus's large
  // systems (thousands of rows, a few dozen letters), that takes a fifth of the time of
  // the primal simplex on the program with free slacks. Otherwise that program, the
  // slacks in [0, 1].
  for (int c = letters + 1; c <= letters + slacks; ++c) glp_set_col_bnds(lp, c, GLP_FX, 1, 1);
  parm.meth = GLP_DUALP;
  if (budget.Expired()) return Result::None();  // may wait for a turn: the clock after it
  parm.tm_lim = millisLeft();
  const bool allStrict = glp_simplex(lp, &parm) == 0 && glp_get_status(lp) == GLP_OPT;
  if (!allStrict) {
    if (budget.Ended()) return Result::None();
    for (int c = letters + 1; c <= letters + slacks; ++c) glp_set_col_bnds(lp, c, GLP_DB, 0, 1);
    parm.meth = GLP_PRIMAL;
    glp_std_basis(lp);
    parm.tm_lim = millisLeft();
    if (glp_simplex(lp, &parm) != 0 || glp_get_status(lp) != GLP_OPT)
      return Result::None(budget.Ended() ? "" : "weights: the simplex did not finish");
  }
  if (budget.Ended()) return Result::None();
  parm.tm_lim = millisLeft();
  if (glp_exact(lp, &parm) != 0 || glp_get_status(lp) != GLP_OPT)
    return Result::None("weights: the exact simplex did not finish");
  if (budget.Ended()) return Result::None();

  // The weights as fractions, scaled by the least common multiple of their denominators.
  std::vector<mpq_class> w(used.size(), 0);
  mpz_class scale = 1;
  for (std::size_t a = 0; a < used.size(); ++a)
    if (used[a]) {
      w[a] = Fraction(glp_get_col_prim(lp, column[a]), 1'000'000'000LL);
      mpz_lcm(scale.get_mpz_t(), scale.get_mpz_t(), w[a].get_den_mpz_t());
    }
  auto wit = std::make_shared<LpWeightsWitness>();
  wit->dimension = 1;
  wit->letters.resize(used.size());
  for (std::size_t a = 0; a < used.size(); ++a)
    if (used[a]) {
      const mpq_class scaled = w[a] * scale;
      wit->letters[a] = LetterMap{{mpz_class(1)}, {scaled.get_num()}};
    }
  // Every rule that the integer weights make strict is removed; that they are weakly
  // decreasing on all rules is checked here, exactly, before the step is offered.
  const int nStrict = static_cast<int>(problem.strict.size());
  for (int j = 0; j < static_cast<int>(rules.size()); ++j) {
    mpz_class d = 0;
    for (const auto& [a, k] : diffs[j]) d += wit->letters[a]->c[0] * k;
    if (d < 0) return Result::None("weights: the exact solution did not survive rounding");
    if (d > 0 && removable[j])
      (j < nStrict ? wit->removedStrict : wit->removedWeak)
          .push_back(j < nStrict ? j : j - nStrict);
  }
  if (wit->removedStrict.empty() && wit->removedWeak.empty()) return Result::None();
  Problem rest = WithoutRules(problem, wit->removedStrict, wit->removedWeak);
  return Result::Step(std::move(wit), {std::move(rest)});
}

}  // namespace velkin::strong
