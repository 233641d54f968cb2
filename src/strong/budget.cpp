#include "strong/budget.h"

#include <algorithm>
#include <utility>

namespace velkin::strong {

Budget::Budget() : Budget(Clock::time_point::max(), std::make_shared<std::atomic<bool>>(false)) {}

Budget::Budget(Clock::time_point deadline, std::shared_ptr<std::atomic<bool>> stop,
               const std::atomic<int>* outside)
    : deadline_(deadline), stops_{std::move(stop)}, outside_(outside) {}

bool Budget::Stopped() const {
  if (outside_ && outside_->load(std::memory_order_relaxed) != 0) return true;
  for (const auto& s : stops_)
    if (s->load(std::memory_order_relaxed)) return true;
  return false;
}

bool Budget::Expired() const {
  if (!turns_) return Ended();
  if (Stopped()) return true;
  const auto now = Clock::now();
  if (now >= deadline_) return true;
  if (!turns_->Due(now)) return false;
  turns_->TakeTurns(*this);
  return Ended();
}

bool Budget::Ended() const {
  return Stopped() || (deadline_ != Clock::time_point::max() && Clock::now() >= deadline_);
}

Budget Budget::Sharing(std::shared_ptr<Turns> turns, std::shared_ptr<ClauseSource> pool) const {
  Budget b = *this;
  b.turns_ = std::move(turns);
  b.pool_ = std::move(pool);
  return b;
}

ClauseLease Budget::LeaseClauses(std::int64_t clauses) const {
  ClauseLease lease;
  if (!pool_ || clauses <= 0) return lease;
  const std::int64_t taken = pool_->Take(clauses, *this);
  if (taken <= 0) {
    lease.granted_ = false;
    return lease;
  }
  lease.pool_ = pool_.get();
  lease.clauses_ = taken;
  return lease;
}

ClauseLease::ClauseLease(ClauseLease&& o) noexcept
    : pool_(std::exchange(o.pool_, nullptr)),
      clauses_(std::exchange(o.clauses_, 0)),
      granted_(o.granted_) {}

ClauseLease& ClauseLease::operator=(ClauseLease&& o) noexcept {
  if (this != &o) {
    if (pool_) pool_->Return(clauses_);
    pool_ = std::exchange(o.pool_, nullptr);
    clauses_ = std::exchange(o.clauses_, 0);
    granted_ = o.granted_;
  }
  return *this;
}

ClauseLease::~ClauseLease() {
  if (pool_) pool_->Return(clauses_);
}

Budget Budget::Child(std::shared_ptr<std::atomic<bool>> stop, Clock::time_point deadline) const {
  Budget b = *this;
  b.stops_.push_back(std::move(stop));
  b.deadline_ = std::min(deadline_, deadline);
  return b;
}

Budget Budget::Within(Clock::duration d) const {
  Budget b = *this;
  const auto now = Clock::now();
  if (deadline_ == Clock::time_point::max() || deadline_ - now > d) b.deadline_ = now + d;
  return b;
}

Budget Budget::WithinSeconds(double seconds) const {
  return Within(std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(std::max(0.0, std::min(seconds, 1e8)))));
}

double Budget::SecondsLeft() const {
  if (deadline_ == Clock::time_point::max()) return 1e18;
  return std::chrono::duration<double>(deadline_ - Clock::now()).count();
}

}  // namespace velkin::strong
