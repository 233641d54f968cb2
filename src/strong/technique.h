// What every technique of the strong engine takes and returns, and the proof tree that
// the strategy builds from the results.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "strong/cpf.h"
#include "strong/problem.h"

namespace velkin::strong {

using Clock = std::chrono::steady_clock;

class Scheduler;
class ClausePool;

// Clauses leased from a run's pool (ClausePool), returned when the lease ends. An
// empty lease (no pool, or no pool needed) is granted; a refused one is not.
class ClauseLease {
 public:
  ClauseLease() = default;
  ClauseLease(ClauseLease&& o) noexcept;
  ClauseLease& operator=(ClauseLease&& o) noexcept;
  ~ClauseLease();
  // False when the budget ended before the clauses were free.
  bool granted() const { return granted_; }

 private:
  friend class ClausePool;
  ClausePool* pool_ = nullptr;
  std::int64_t clauses_ = 0;
  bool granted_ = true;
};

// How long a technique may work: a deadline and a chain of stop flags (the run's, then
// one per race it is part of), and the scheduler (strong/scheduler.h) whose turns the
// threads that poll it take, if any. Cheap to copy; the flags are shared.
class Budget {
 public:
  // No deadline, one fresh stop flag.
  Budget();
  // `outside`, when given, ends the budget and all its children once it is nonzero (a
  // signal's number, say); it must outlive every copy.
  Budget(Clock::time_point deadline, std::shared_ptr<std::atomic<bool>> stop,
         const std::atomic<int>* outside = nullptr);

  // True once any stop flag is set or the deadline has passed. Safe from any thread;
  // techniques poll it in every loop and hand it to the SAT solver. With a scheduler it
  // is also the point where a runner that used its quantum waits for its next turn
  // (returning at once when the budget ends meanwhile); its fast path takes no lock.
  bool Expired() const;
  // Expired without taking turns: for waiting on a turn.
  bool Ended() const;
  // The same budget, polled under `scheduler` and leasing clauses from `pool` (either
  // null: none); Child and Within keep both.
  Budget Sharing(std::shared_ptr<Scheduler> scheduler,
                 std::shared_ptr<ClausePool> pool = nullptr) const;
  Scheduler* scheduler() const { return scheduler_.get(); }
  // Leases `clauses` from the run's pool before a SAT encoding of about that size is
  // built, waiting while other roads hold too many: see ClausePool::Lease. Granted at
  // once without a pool.
  ClauseLease LeaseClauses(std::int64_t clauses) const;
  // The same budget with a further stop flag (for a race) and the earlier of the two
  // deadlines. Setting `stop` ends the child only; setting the parent's ends both.
  Budget Child(std::shared_ptr<std::atomic<bool>> stop,
               Clock::time_point deadline = Clock::time_point::max()) const;
  // The same flags with the deadline at most `d` from now.
  Budget Within(Clock::duration d) const;
  Clock::time_point deadline() const { return deadline_; }
  // Seconds left until the deadline (a large number when there is none).
  double SecondsLeft() const;

 private:
  bool Stopped() const;  // some stop flag is set

  Clock::time_point deadline_;
  std::vector<std::shared_ptr<std::atomic<bool>>> stops_;
  const std::atomic<int>* outside_ = nullptr;  // a stop request from outside the run
  std::shared_ptr<Scheduler> scheduler_;
  std::shared_ptr<ClausePool> pool_;
};

// A step's evidence: printed in full in the proof and re-checked, by code separate from
// the search, before the step is accepted. Each technique defines its own.
class Witness {
 public:
  virtual ~Witness() = default;
  // The technique's name as the proof prints it ("matrix interpretation", ...).
  virtual std::string Technique() const = 0;
  // Checks with exact arithmetic that this witness justifies going from `before` to
  // `after` (no subproblem for a leaf). Returns "" when it does, else what is wrong.
  virtual std::string Recheck(const Problem& before, const std::vector<Problem>& after) const = 0;
  // Appends the witness in full to `lines`, one line each, without line ends.
  virtual void Print(const Problem& before, std::vector<std::string>& lines) const = 0;
  // The step as the certifier reads it (strong/cpf.h), written around `subproofs`, the
  // certificates of `after` in order (none for a leaf). The default says that the step
  // has no certifiable form; a proof with such a step gets no certificate.
  virtual cpf::Written Certify(const Problem& before, const std::vector<Problem>& after,
                               const std::vector<cpf::Fragment>& subproofs) const;
};

// What a technique returns for one problem.
struct Result {
  enum class Kind {
    Nothing,      // no step found within the budget (`note` may say why)
    Proved,       // the problem is solved; `witness` says why
    Disproved,    // the problem does not terminate; `witness` holds the loop
    Transformed,  // solved when every subproblem is; `witness` justifies the step
  };
  Kind kind = Kind::Nothing;
  std::shared_ptr<const Witness> witness;
  std::vector<Problem> subproblems;  // Transformed only
  std::string note;                  // Nothing only: a reason worth reporting, or ""

  static Result None(std::string note = {});
  static Result Proof(std::shared_ptr<const Witness> w);
  static Result Loop(std::shared_ptr<const Witness> w);
  static Result Step(std::shared_ptr<const Witness> w, std::vector<Problem> subproblems);
};

// Re-checks a result for `problem`: "" when it is Nothing or its witness holds.
std::string RecheckResult(const Problem& problem, const Result& result);

// A finished proof (or disproof) of one problem: the step taken and, for a
// transformation, the proofs of all subproblems.
struct ProofNode {
  Problem problem;
  Result::Kind kind = Result::Kind::Nothing;  // Nothing: left open
  std::shared_ptr<const Witness> witness;
  std::vector<ProofNode> children;  // one per subproblem of a Transformed step

  // True when the tree proves (or disproves) its problem with no open leaf.
  bool Complete() const;
};

}  // namespace velkin::strong
