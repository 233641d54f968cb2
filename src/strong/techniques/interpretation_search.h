// The search that the interpretation techniques share (natural matrices, arctic
// reduction pairs, arctic rule removal): encode, lease the encoding's clauses, solve,
// improve. A technique supplies its encoding (the letters' maps as SAT numbers, every
// rule weakly decreasing, at least one candidate strictly), this skeleton runs it
// under the budget, and the technique turns the best model into its step. It also
// holds the checks that every such re-check makes of the removed rules.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "sat/solver.h"
#include "strong/exact.h"
#include "strong/technique.h"

namespace velkin::strong {

// The options that every interpretation search takes.
struct SearchOptions {
  int dimension = 1;  // d >= 1
  int bits = 2;       // width of the letters' (finite) entries, 1..30
  // Width of every (finite) entry of a side's map (values must stay below
  // 2^resultBits); 0: bits + 3.
  int resultBits = 0;
  // Skip with a note when the encoding is estimated above this many clauses (about
  // 100 bytes each in the solver and the encoder).
  std::int64_t maxClauses = 15'000'000;
  // After the first interpretation, look for ones that remove more rules, each round
  // given at most this long (0: no such rounds).
  double improveSeconds = 1.0;
  // On a dependency pair problem, only the usable rules of R need to decrease
  // (strong/techniques/usable_rules.h): for the reduction pairs, whose orders orient Cε.
  bool usableRules = false;
  // The solver's tuning; unset: SolverTuning(problem) below.
  std::optional<sat::Tuning> tuning = std::nullopt;

  // The width of a side's entries: resultBits, or bits + 3.
  int ResultBits() const { return resultBits > 0 ? resultBits : bits + 3; }
  // Dimension at least 1, bits 1..30, resultBits 0 or from bits to 62.
  bool Valid() const {
    return dimension >= 1 && bits >= 1 && bits <= 30 && resultBits >= 0 && resultBits <= 62 &&
           (resultBits == 0 || resultBits >= bits);
  }
};

// The solver's tuning for a search on `p`: models first on relative problems (rule
// removal), the defaults on dependency pair problems (reduction pairs). Arctic removal
// steps on relative problems took 0.34 to 0.65 times as long tuned for models
// (bench/arctic_removal_bench.cpp), which answered 2 and 3 more relative problems on two
// corpus samples of 206 and 207 (--timeout 10); the dependency pair road alone for 2.5 s
// on the 332 standard problems of those samples proved 78 so tuned, against 85.
inline sat::Tuning SolverTuning(const Problem& p) {
  return p.IsDependencyPairs() ? sat::Tuning::Default : sat::Tuning::Models;
}

// What every encoding of the search holds: its solver, and the strictness literal of
// every candidate (a rule or pair that the search may remove), in the candidates' order.
class EncodingBase {
 public:
  // The solver tuned by `options.tuning`, or else by SolverTuning(p).
  EncodingBase(const Problem& p, const SearchOptions& options)
      : s_(options.tuning.value_or(SolverTuning(p))) {}
  // The solver tuned by SolverTuning(p).
  explicit EncodingBase(const Problem& p) : s_(SolverTuning(p)) {}
  sat::Solver& solver() { return s_; }
  const std::vector<sat::Lit>& Candidates() const { return candidates_; }

 protected:
  // The candidates whose literal the last model makes true, ascending.
  std::vector<int> StrictInModel() const {
    std::vector<int> strict;
    for (std::size_t k = 0; k < candidates_.size(); ++k)
      if (s_.Value(candidates_[k])) strict.push_back(static_cast<int>(k));
    return strict;
  }

  sat::Solver s_;
  std::vector<sat::Lit> candidates_;
};

// The letters' maps of a witness (by letter: row-major d×d `m` and d entries `c`, or
// none for a letter that does not occur) as the certificate's interpretation, every
// entry converted by `value`; nullopt when a matrix has the wrong size.
template <class T, class Letter, class Value>
std::optional<cpf::Interpretation<T>> CertificateMaps(
    int dimension, const std::vector<std::optional<Letter>>& letters, Value value) {
  cpf::Interpretation<T> in{dimension, {}};
  in.letters.resize(letters.size());
  const auto d = static_cast<std::size_t>(dimension);
  for (std::size_t s = 0; s < letters.size(); ++s) {
    if (!letters[s]) continue;
    if (letters[s]->m.size() != d * d) return std::nullopt;
    for (const auto& v : letters[s]->c) in.letters[s].constant.push_back(value(v));
    for (std::size_t i = 0; i < d; ++i) {
      in.letters[s].matrix.emplace_back();
      for (std::size_t j = 0; j < d; ++j)
        in.letters[s].matrix.back().push_back(value(letters[s]->m[i * d + j]));
    }
  }
  return in;
}

// What a model says: the witness read from it, and the candidates (indices into the
// encoding's Candidates()) that it makes strict, ascending.
template <class W>
struct Candidate {
  std::shared_ptr<W> witness;
  std::vector<int> strict;
};

// The best model of a search, or none (with a note when the encoding was too large).
template <class W>
struct Searched {
  std::optional<Candidate<W>> best;
  std::string note;
};

// Runs the search with an `Encoding` made from `args`, which provides
//   using Witness = ...;                     the technique's witness type
//   std::int64_t EstimatedClauses() const;   before anything large is built
//   bool Build(const Budget&);               every condition, at least one candidate
//                                            strict; false when the budget ran out
//   sat::Solver& solver(); and Candidates(), one literal per removable rule, true in
//                                            a model where it is strict (EncodingBase)
//   Candidate<Witness> Read() const;         the last model's witness and strict set
// Guarantees: nothing is built beyond the estimate's check when it exceeds
// options.maxClauses (the note says so, naming `what`); the estimate is leased from
// the run's pool (Budget::LeaseClauses) until the encoding is gone; the budget is
// polled while building and by the solver; every improvement round gets at most
// options.improveSeconds and is kept only when it makes more candidates strict.
template <class Encoding, class... Args>
Searched<typename Encoding::Witness> SearchInterpretation(const Budget& budget,
                                                          const SearchOptions& options,
                                                          const std::string& what, Args&&... args) {
  using W = typename Encoding::Witness;
  Searched<W> out;
  ClauseLease lease;  // outlives the encoding, so that its clauses are freed first
  Encoding enc(std::forward<Args>(args)...);
  const std::int64_t estimate = enc.EstimatedClauses();
  if (estimate > options.maxClauses) {
    out.note = what + " skipped: its encoding would take about " + std::to_string(estimate) +
               " clauses, more than the " + std::to_string(options.maxClauses) + " allowed";
    return out;
  }
  lease = budget.LeaseClauses(estimate);
  if (!lease.granted() || budget.Expired() || !enc.Build(budget)) return out;
  sat::Solver& s = enc.solver();
  if (s.Solve(budget) != sat::Solver::Outcome::Sat) return out;
  Candidate<W> best = enc.Read();

  // Keep what is strict, ask for one more, until that fails.
  const std::vector<sat::Lit>& candidates = enc.Candidates();
  while (options.improveSeconds > 0 && best.strict.size() < candidates.size() &&
         !budget.Expired()) {
    std::vector<sat::Lit> more, assume;
    const sat::Lit act = s.NewVar();
    assume.push_back(act);
    std::size_t next = 0;  // into best.strict
    for (std::size_t k = 0; k < candidates.size(); ++k) {
      const bool strict = next < best.strict.size() && best.strict[next] == static_cast<int>(k);
      next += strict;
      (strict ? assume : more).push_back(candidates[k]);
    }
    more.push_back(-act);
    s.AddClause(more);
    const auto r = s.Solve(budget.WithinSeconds(options.improveSeconds), assume);
    std::optional<Candidate<W>> better;
    if (r == sat::Solver::Outcome::Sat) better = enc.Read();  // read before the next clause
    s.Require(-act);                                          // retires this round's clause
    if (!better || better->strict.size() <= best.strict.size()) break;
    best = std::move(*better);
  }
  if (!best.strict.empty()) out.best = std::move(best);
  return out;
}

// The step of a rule removal that a search found (its witness has `removedStrict` and
// `removedWeak`, filled here from the strict candidates, which must be the strict rules
// followed by the weak ones), with the problem without those rules; or none, with the
// search's note.
template <class W>
Result RemovalStep(const Problem& p, Searched<W> found);

// Indices into the strict rules followed by the weak ones (one range, ascending), split
// into indices into each: {strict, weak}.
std::pair<std::vector<int>, std::vector<int>> SplitRules(const Problem& p,
                                                         const std::vector<int>& indices);

// The re-check's common part for a step that removes `removedStrict` and `removedWeak`
// (indices into before's strict and weak rules) by an interpretation: "" when both are
// ascending and in range, not both empty, and (for a dependency pair problem) no rule
// of R is removed; else what is wrong.
std::string CheckRemovedIndices(const Problem& before, const std::vector<int>& removedStrict,
                                const std::vector<int>& removedWeak);

// How an interpretation orients one rule: nullopt when a letter of it has no map.
struct Orientation {
  bool weak = false;    // l ≥ r
  bool strict = false;  // l > r
};

// Natural maps: weak when M_l ≥ M_r and c_l ≥ c_r entrywise, strict when also
// (c_l)_1 > (c_r)_1.
std::optional<Orientation> OrientNatural(const exact::NaturalMaps& maps, const Rule& r);
// Arctic maps: weak when l ≥ r entrywise (-∞ below every number), strict when every
// entry of l is greater or the one of r is -∞.
std::optional<Orientation> OrientArctic(const exact::ArcticMaps& maps, const Rule& r);

// The re-check of a rule removal by an interpretation, after the technique has checked
// the letters' maps themselves: CheckRemovedIndices; every rule and pair of `before`
// decreasing weakly under `maps` and the removed ones strictly (`orient`: one of the
// above); `after` exactly WithoutRules(before, removedStrict, removedWeak). "" when all hold, else
// the first that does not, `subject` naming the maps ("map", "matrix").
template <class Maps>
std::string CheckRemoval(const Problem& before, const Problem& after,
                         const std::vector<int>& removedStrict, const std::vector<int>& removedWeak,
                         const std::string& subject, const Maps& maps,
                         std::optional<Orientation> (*orient)(const Maps&, const Rule&)) {
  if (const std::string bad = CheckRemovedIndices(before, removedStrict, removedWeak); !bad.empty())
    return bad;
  for (const auto* rules : {&before.strict, &before.weak}) {
    const bool weak = rules == &before.weak;
    const std::vector<int>& removed = weak ? removedWeak : removedStrict;
    std::size_t next = 0;  // into removed
    for (std::size_t i = 0; i < rules->size(); ++i) {
      const Rule& r = (*rules)[i];
      const std::optional<Orientation> o = orient(maps, r);
      if (!o) return "a letter without " + subject + " in " + RuleText(before.alphabet, r, weak);
      if (!o->weak) return "not weakly decreasing: " + RuleText(before.alphabet, r, weak);
      const bool isRemoved = next < removed.size() && removed[next] == static_cast<int>(i);
      next += isRemoved;
      if (isRemoved && !o->strict)
        return "removed but not strictly decreasing: " + RuleText(before.alphabet, r, weak);
    }
  }
  if (!IsWithoutRules(after, before, removedStrict, removedWeak))
    return "the subproblem is not the problem without the removed rules";
  return "";
}

template <class W>
Result RemovalStep(const Problem& p, Searched<W> found) {
  if (!found.best) return Result::None(std::move(found.note));
  std::shared_ptr<W> w = std::move(found.best->witness);
  std::tie(w->removedStrict, w->removedWeak) = SplitRules(p, found.best->strict);
  Problem rest = WithoutRules(p, w->removedStrict, w->removedWeak);
  return Result::Step(std::move(w), {std::move(rest)});
}

}  // namespace velkin::strong
