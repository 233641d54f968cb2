// A small layer over CaDiCaL: literals, clauses, constant literals, structurally hashed
// gates, and a solve that a stop condition (sat/stop.h) ends.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <unordered_map>
#include <vector>

#include "sat/stop.h"

namespace CaDiCaL {
class Solver;
}

namespace velkin::sat {

// A literal in DIMACS form: a variable v > 0 or its negation -v; never 0.
using Lit = int;

// How the solver searches: CaDiCaL's defaults, which alternate between a mode that
// proves unsatisfiability sooner and one that finds models sooner, or the second mode
// only (its configuration for satisfiable problems).
enum class Tuning { Default, Models };

class Solver {
 public:
  enum class Outcome { Sat, Unsat, Stopped };

  // A fresh solver that already knows the constant True() (a unit clause).
  explicit Solver(Tuning tuning = Tuning::Default);
  ~Solver();
  Solver(const Solver&) = delete;
  Solver& operator=(const Solver&) = delete;

  // A variable not used before, as its positive literal.
  Lit NewVar();
  // A literal that is true in every model, and its negation.
  Lit True() const { return 1; }
  Lit False() const { return -1; }
  bool IsConst(Lit l) const { return l == 1 || l == -1; }

  // Adds the clause (disjunction of `lits`); an empty clause makes the problem unsat.
  // Literals that are constant are simplified away.
  void AddClause(std::initializer_list<Lit> lits);
  void AddClause(const std::vector<Lit>& lits);
  // Adds the unit clause `l`: every model makes l true.
  void Require(Lit l) { AddClause({l}); }

  // Solves under `assumptions` (valid for this call only). Stopped when `stop` expires
  // first: the solver polls it and returns within a small fraction of a second.
  Outcome Solve(const Stop& stop, const std::vector<Lit>& assumptions = {});
  // The value of `l` in the last model; only after Solve returned Sat and before any
  // clause is added (false otherwise, and an assertion in debug builds).
  bool Value(Lit l) const;

  int Vars() const { return vars_; }
  std::int64_t Clauses() const { return clauses_; }

  // Memoised gates: the same inputs give the same output literal, so equal
  // sub-circuits are built once. Used by gates.cpp; the key is normalised there.
  std::unordered_map<std::uint64_t, Lit>& and_cache() { return and_cache_; }
  std::unordered_map<std::uint64_t, Lit>& xor_cache() { return xor_cache_; }

 private:
  std::unique_ptr<CaDiCaL::Solver> solver_;
  int vars_ = 0;
  std::int64_t clauses_ = 0;
  bool sat_ = false;
  std::vector<Lit> buffer_;
  std::unordered_map<std::uint64_t, Lit> and_cache_, xor_cache_;
};

}  // namespace velkin::sat
