#include "sat/solver.h"

#include <cadical.hpp>
#include <cassert>
#include <cstdlib>

namespace velkin::sat {
namespace {

// Stops the search once the stop condition holds. CaDiCaL calls terminate() often
// (every few hundred conflicts or propagations), so stopping is prompt.
class StopTerminator : public CaDiCaL::Terminator {
 public:
  explicit StopTerminator(const Stop& stop) : stop_(stop) {}
  bool terminate() override { return stop_.Expired(); }

 private:
  const Stop& stop_;
};

}  // namespace

Solver::Solver() : solver_(std::make_unique<CaDiCaL::Solver>()) {
  solver_->set("quiet", 1);
  // The "lucky" phases at the start of a solve never poll the terminator and can run
  // for seconds on large encodings; without them an expired budget stops the solver
  // within a fraction of a second.
  solver_->set("lucky", 0);
  NewVar();  // variable 1 is the constant true
  solver_->add(1);
  solver_->add(0);
  ++clauses_;
}

Solver::~Solver() = default;

Lit Solver::NewVar() {
  return ++vars_;
}

void Solver::AddClause(std::initializer_list<Lit> lits) {
  buffer_.assign(lits.begin(), lits.end());
  AddClause(buffer_);
}

void Solver::AddClause(const std::vector<Lit>& lits) {
  sat_ = false;
  std::vector<Lit> kept;
  kept.reserve(lits.size());
  for (Lit l : lits) {
    assert(l != 0 && std::abs(l) <= vars_);
    if (l == True()) return;  // satisfied
    if (l == False()) continue;
    kept.push_back(l);
  }
  for (Lit l : kept) solver_->add(l);
  solver_->add(0);
  ++clauses_;
}

Solver::Outcome Solver::Solve(const Stop& stop, const std::vector<Lit>& assumptions) {
  sat_ = false;
  if (stop.Expired()) return Outcome::Stopped;
  for (Lit l : assumptions) {
    assert(l != 0 && std::abs(l) <= vars_);
    solver_->assume(l);
  }
  StopTerminator terminator(stop);
  solver_->connect_terminator(&terminator);
  const int r = solver_->solve();
  solver_->disconnect_terminator();
  if (r == 10) {
    sat_ = true;
    return Outcome::Sat;
  }
  if (r == 20) return Outcome::Unsat;
  return Outcome::Stopped;
}

bool Solver::Value(Lit l) const {
  assert(sat_ && l != 0 && std::abs(l) <= vars_);
  if (!sat_) return false;  // no model: the solver would abort
  // A variable in no clause is free; take it false.
  if (std::abs(l) > solver_->vars()) return l < 0;
  return solver_->val(l) > 0;
}

}  // namespace velkin::sat
