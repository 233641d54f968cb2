// Time sharing without restarts: more threads (runners) than cores take turns holding
// a few run tokens. A runner gives its token up only where it polls its budget
// (Budget::Expired is the yield point), so every runner keeps the work it has done.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "strong/budget.h"

namespace velkin::strong {

class Scheduler final : public Turns {
 public:
  // At most `tokens` (>= 1) runners hold a token at once; a holder keeps its token for
  // `quantum` at least once another runner waits.
  Scheduler(int tokens, Clock::duration quantum);
  ~Scheduler();
  Scheduler(const Scheduler&) = delete;
  Scheduler& operator=(const Scheduler&) = delete;

  // Adds a runner at the end of the round-robin order and returns its number, for a
  // Seat on the runner's thread. The first `tokens` runners added hold a token at once,
  // so that the first turns follow the order of adding. `weight` (>= 1) multiplies the
  // runner's quantum.
  int Add(int weight = 1);

  // Makes the calling thread runner `id` (from Add) while it lives, and waits for the
  // runner's turn or for `budget` to end. Its end hands the token on. One per thread.
  class Seat {
   public:
    Seat(Scheduler& scheduler, int id, const Budget& budget);
    ~Seat();
    Seat(const Seat&) = delete;
    Seat& operator=(const Seat&) = delete;

   private:
    Scheduler& scheduler_;
  };

  // While it lives, the calling thread's runner (if it has one) holds no token, so that
  // it may block on other runners (joining helper threads) without holding up the
  // turns; its end waits for the runner's next turn or for `budget` to end.
  class Pause {
   public:
    explicit Pause(const Budget& budget);
    ~Pause();
    Pause(const Pause&) = delete;
    Pause& operator=(const Pause&) = delete;

   private:
    const Budget& budget_;
    Scheduler* scheduler_;
  };

  // Wakes every waiting runner at once to look at its budget (after a stop); waiting
  // runners look by themselves every few milliseconds as well.
  void Wake();

  // For Budget::Expired: true when the calling thread is a runner of this scheduler
  // that must see to its turn (its quantum is used, or it holds no token). Lock-free.
  bool Due(Clock::time_point now) const override;
  // For Budget::Expired, when Due: keeps the token if nobody waits, else hands it to
  // the next waiting runner and waits for the next turn; returns at once without a
  // turn when `budget` ends meanwhile.
  void TakeTurns(const Budget& budget) override;

  // The most runners that held a token at once (for tests).
  int MostHolders() const;

  struct Runner;  // one thread's place in the turns

 private:
  void Release(Runner& r);
  bool Acquire(std::unique_lock<std::mutex>& lock, Runner& r, const Budget& budget);
  void Grant(Runner& r);

  const int tokens_;
  const Clock::duration quantum_;
  mutable std::mutex mutex_;  // guards everything below except the runners' quantumEnd
  std::condition_variable changed_;
  std::vector<std::unique_ptr<Runner>> runners_;
  std::deque<Runner*> waiting_;
  int free_;
  int holders_ = 0;
  int mostHolders_ = 0;
};

// The clauses that the SAT encodings of one run may hold at once, shared by its roads,
// so that roads taking turns do not each hold a large solver. A technique leases its
// estimate before it builds an encoding and returns it when the lease ends.
class ClausePool final : public ClauseSource {
 public:
  explicit ClausePool(std::int64_t clauses);
  ClausePool(const ClausePool&) = delete;
  ClausePool& operator=(const ClausePool&) = delete;

  // Waits until `n` clauses (at most the whole pool) are free, holding no run token
  // meanwhile, and takes them: see ClauseSource. Budget::LeaseClauses calls it.
  std::int64_t Take(std::int64_t n, const Budget& budget) override;
  void Return(std::int64_t n) override;
  std::int64_t free() const;

 private:
  const std::int64_t total_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::int64_t free_;
};

}  // namespace velkin::strong
