// How long a computation of the strong engine may run: the budget that every technique
// takes and hands to the SAT solver, and the clauses its encodings lease. The budget
// calls the turns and the clause pool of a run (strong/scheduler.h) through the two
// small interfaces below, so that this header depends on nothing above it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "sat/stop.h"

namespace velkin::strong {

using Clock = std::chrono::steady_clock;

class Budget;

// The turns that the threads polling a budget take (Scheduler is the one kind).
class Turns {
 public:
  // True when the calling thread must see to its turn (its quantum is used, or it holds
  // no turn). Called at every poll: lock-free.
  virtual bool Due(Clock::time_point now) const = 0;
  // When Due: keeps the turn if nobody waits, else hands it on and waits for the next;
  // returns at once when `budget` ends meanwhile.
  virtual void TakeTurns(const Budget& budget) = 0;

 protected:
  ~Turns() = default;
};

// The clauses that the SAT encodings of one run may hold at once (ClausePool is the one
// kind).
class ClauseSource {
 public:
  // Waits until `n` clauses (n >= 1; a larger n than the whole pool asks for all of it)
  // are free and takes them, holding no turn meanwhile; returns how many it took, or 0,
  // taking nothing, when `budget` ends first.
  virtual std::int64_t Take(std::int64_t n, const Budget& budget) = 0;
  // Gives back `n` clauses taken before.
  virtual void Return(std::int64_t n) = 0;

 protected:
  ~ClauseSource() = default;
};

// Clauses leased from a run's pool, returned when the lease ends. An empty lease (no
// pool, or no pool needed) is granted; a refused one is not.
class ClauseLease {
 public:
  ClauseLease() = default;
  ClauseLease(ClauseLease&& o) noexcept;
  ClauseLease& operator=(ClauseLease&& o) noexcept;
  ~ClauseLease();
  // False when the budget ended before the clauses were free.
  bool granted() const { return granted_; }

 private:
  friend class Budget;
  ClauseSource* pool_ = nullptr;
  std::int64_t clauses_ = 0;
  bool granted_ = true;
};

// How long a technique may work: a deadline and a chain of stop flags (the run's, then
// one per race it is part of), and the turns (strong/scheduler.h) that the threads
// polling it take, if any. Cheap to copy; the flags are shared. It is the stop
// condition that the SAT layer polls.
class Budget final : public sat::Stop {
 public:
  // No deadline, one fresh stop flag.
  Budget();
  // `outside`, when given, ends the budget and all its children once it is nonzero (a
  // signal's number, say); it must outlive every copy.
  Budget(Clock::time_point deadline, std::shared_ptr<std::atomic<bool>> stop,
         const std::atomic<int>* outside = nullptr);

  // True once any stop flag is set or the deadline has passed. Safe from any thread;
  // techniques poll it in every loop and hand it to the SAT solver. With turns it is
  // also the point where a runner that used its quantum waits for its next turn
  // (returning at once when the budget ends meanwhile); its fast path takes no lock.
  bool Expired() const override;
  // Expired without taking turns: for waiting on a turn.
  bool Ended() const;
  // The same budget, polled under `turns` and leasing clauses from `pool` (either null:
  // none); Child and Within keep both.
  Budget Sharing(std::shared_ptr<Turns> turns, std::shared_ptr<ClauseSource> pool = nullptr) const;
  // Leases `clauses` from the run's pool before a SAT encoding of about that size is
  // built, waiting while other roads hold too many (holding no turn meanwhile). Granted
  // at once without a pool.
  ClauseLease LeaseClauses(std::int64_t clauses) const;
  // The same budget with a further stop flag (for a race) and the earlier of the two
  // deadlines. Setting `stop` ends the child only; setting the parent's ends both.
  Budget Child(std::shared_ptr<std::atomic<bool>> stop,
               Clock::time_point deadline = Clock::time_point::max()) const;
  // The same flags with the deadline at most `d` from now.
  Budget Within(Clock::duration d) const;
  // The same flags with the deadline at most `seconds` from now (0 or less: now).
  Budget WithinSeconds(double seconds) const;
  Clock::time_point deadline() const { return deadline_; }
  // Seconds left until the deadline (a large number when there is none).
  double SecondsLeft() const;

 private:
  bool Stopped() const;  // some stop flag is set

  Clock::time_point deadline_;
  std::vector<std::shared_ptr<std::atomic<bool>>> stops_;
  const std::atomic<int>* outside_ = nullptr;  // a stop request from outside the run
  std::shared_ptr<Turns> turns_;
  std::shared_ptr<ClauseSource> pool_;
};

}  // namespace velkin::strong
