#include "sat/solver.h"

#include <cadical.hpp>
#include <cassert>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>

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

// What a large solver leaves: the CaDiCaL solver and the gate caches.
struct Remains {
  std::unique_ptr<CaDiCaL::Solver> solver;
  std::unordered_map<std::uint64_t, Lit> andCache, xorCache;
};

// Frees large solvers on a thread of its own. Freeing millions of clauses and cache
// entries takes tenths of a second, more on a loaded machine, which would otherwise
// delay whatever ends with the solver (a technique at its time limit, and so the run).
// Created on first use and never destroyed, so that a process may end while it frees:
// what is still queued then is memory the process gives back anyway. (A run's clause
// pool counts a solver's clauses free once the solver is handed over, a little before
// its memory is.)
class Reaper {
 public:
  static Reaper& Instance() {
    static Reaper* const reaper = new Reaper;
    return *reaper;
  }

  void Take(std::unique_ptr<Remains> r) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back(std::move(r));
    }
    changed_.notify_one();
  }

 private:
  Reaper() : thread_([this] { Run(); }) {}

  [[noreturn]] void Run() {
    for (;;) {
      std::unique_ptr<Remains> next;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !queue_.empty(); });
        next = std::move(queue_.front());
        queue_.pop_front();
      }
      next.reset();  // outside the lock
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<Remains>> queue_;
  std::thread thread_;
};

// Solvers from this many clauses on are freed by the reaper.
constexpr std::int64_t kReapedClauses = 20'000;

}  // namespace

Solver::Solver(Tuning tuning) : solver_(std::make_unique<CaDiCaL::Solver>()) {
  if (tuning == Tuning::Models) solver_->configure("sat");  // before any other option
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

Solver::~Solver() {
  if (clauses_ < kReapedClauses) return;
  auto remains = std::make_unique<Remains>();
  remains->solver = std::move(solver_);
  remains->andCache = std::move(and_cache_);
  remains->xorCache = std::move(xor_cache_);
  Reaper::Instance().Take(std::move(remains));
}

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
