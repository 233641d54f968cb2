#include "strong/scheduler.h"

#include <algorithm>
#include <cassert>

namespace velkin::strong {

struct Scheduler::Runner {
  Scheduler* owner = nullptr;
  int weight = 1;
  bool holding = false;  // guarded by the scheduler's mutex
  bool done = false;     // the Seat has ended
  // When the held turn ends; time_point::min() when no token is held. Read and
  // written by the runner's own thread only, so the fast path needs no lock.
  Clock::time_point quantumEnd = Clock::time_point::min();
};

namespace {

thread_local Scheduler::Runner* tRunner = nullptr;

// How often a waiting runner looks at its budget when nobody wakes it.
constexpr auto kLook = std::chrono::milliseconds(10);

}  // namespace

Scheduler::Scheduler(int tokens, Clock::duration quantum)
    : tokens_(std::max(1, tokens)), quantum_(quantum), free_(tokens_) {}

Scheduler::~Scheduler() = default;

int Scheduler::Add(int weight) {
  const std::lock_guard<std::mutex> lock(mutex_);
  Runner& r = *runners_.emplace_back(std::make_unique<Runner>());
  r.owner = this;
  r.weight = std::max(1, weight);
  if (free_ > 0 && waiting_.empty()) {
    --free_;
    Grant(r);
  } else {
    waiting_.push_back(&r);
  }
  return static_cast<int>(runners_.size()) - 1;
}

void Scheduler::Grant(Runner& r) {
  assert(!r.holding);
  r.holding = true;
  ++holders_;
  mostHolders_ = std::max(mostHolders_, holders_);
  assert(holders_ <= tokens_);
  changed_.notify_all();
}

void Scheduler::Release(Runner& r) {
  assert(r.holding);
  r.holding = false;
  --holders_;
  if (!waiting_.empty()) {
    Runner* next = waiting_.front();
    waiting_.pop_front();
    Grant(*next);
  } else {
    ++free_;
  }
}

bool Scheduler::Acquire(std::unique_lock<std::mutex>& lock, Runner& r, const Budget& budget) {
  if (!r.holding && std::find(waiting_.begin(), waiting_.end(), &r) == waiting_.end()) {
    if (free_ > 0 && waiting_.empty()) {
      --free_;
      Grant(r);
    } else {
      waiting_.push_back(&r);
    }
  }
  while (!r.holding) {
    if (budget.Ended()) {
      waiting_.erase(std::find(waiting_.begin(), waiting_.end(), &r));
      r.quantumEnd = Clock::time_point::min();
      return false;
    }
    changed_.wait_for(lock, kLook);
  }
  r.quantumEnd = Clock::now() + quantum_ * r.weight;
  return true;
}

Scheduler::Seat::Seat(Scheduler& scheduler, int id, const Budget& budget) : scheduler_(scheduler) {
  assert(tRunner == nullptr);
  std::unique_lock<std::mutex> lock(scheduler.mutex_);
  Runner& r = *scheduler.runners_.at(static_cast<std::size_t>(id));
  assert(!r.done);
  tRunner = &r;
  scheduler.Acquire(lock, r, budget);
}

Scheduler::Seat::~Seat() {
  Runner& r = *tRunner;
  tRunner = nullptr;
  const std::lock_guard<std::mutex> lock(scheduler_.mutex_);
  r.done = true;
  if (r.holding) scheduler_.Release(r);
  const auto w = std::find(scheduler_.waiting_.begin(), scheduler_.waiting_.end(), &r);
  if (w != scheduler_.waiting_.end()) scheduler_.waiting_.erase(w);
}

Scheduler::Pause::Pause(const Budget& budget)
    : budget_(budget), scheduler_(tRunner ? tRunner->owner : nullptr) {
  if (!scheduler_) return;
  const std::lock_guard<std::mutex> lock(scheduler_->mutex_);
  if (tRunner->holding) scheduler_->Release(*tRunner);
  tRunner->quantumEnd = Clock::time_point::min();
}

Scheduler::Pause::~Pause() {
  if (!scheduler_) return;
  std::unique_lock<std::mutex> lock(scheduler_->mutex_);
  scheduler_->Acquire(lock, *tRunner, budget_);
}

void Scheduler::Wake() {
  const std::lock_guard<std::mutex> lock(mutex_);
  changed_.notify_all();
}

bool Scheduler::Due(Clock::time_point now) const {
  const Runner* r = tRunner;
  return r != nullptr && r->owner == this && now >= r->quantumEnd;
}

void Scheduler::TakeTurns(const Budget& budget) {
  Runner& r = *tRunner;
  assert(r.owner == this);
  std::unique_lock<std::mutex> lock(mutex_);
  if (r.holding && waiting_.empty()) {
    r.quantumEnd = Clock::now() + quantum_ * r.weight;
    return;
  }
  if (r.holding) Release(r);
  Acquire(lock, r, budget);
}

int Scheduler::MostHolders() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return mostHolders_;
}

ClausePool::ClausePool(std::int64_t clauses)
    : total_(std::max<std::int64_t>(1, clauses)), free_(total_) {}

std::int64_t ClausePool::Take(std::int64_t n, const Budget& budget) {
  n = std::clamp<std::int64_t>(n, 1, total_);
  std::unique_lock<std::mutex> lock(mutex_);
  if (free_ < n) {
    // Waiting here must not hold up the roads that hold the clauses; the pause ends
    // (waiting for a turn) only after this pool's lock is let go.
    lock.unlock();
    const Scheduler::Pause pause(budget);
    lock.lock();
    while (free_ < n && !budget.Ended()) changed_.wait_for(lock, kLook);
    const bool room = free_ >= n;
    if (room) free_ -= n;
    lock.unlock();
    return room ? n : 0;
  }
  free_ -= n;
  return n;
}

void ClausePool::Return(std::int64_t n) {
  const std::lock_guard<std::mutex> lock(mutex_);
  free_ += n;
  assert(free_ <= total_);
  changed_.notify_all();
}

std::int64_t ClausePool::free() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return free_;
}

}  // namespace velkin::strong
