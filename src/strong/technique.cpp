#include "strong/technique.h"

#include <algorithm>
#include <utility>

#include "strong/scheduler.h"

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
  if (!scheduler_) return Ended();
  if (Stopped()) return true;
  const auto now = Clock::now();
  if (now >= deadline_) return true;
  if (!scheduler_->Due(now)) return false;
  scheduler_->TakeTurns(*this);
  return Ended();
}

bool Budget::Ended() const {
  return Stopped() || (deadline_ != Clock::time_point::max() && Clock::now() >= deadline_);
}

Budget Budget::Sharing(std::shared_ptr<Scheduler> scheduler,
                       std::shared_ptr<ClausePool> pool) const {
  Budget b = *this;
  b.scheduler_ = std::move(scheduler);
  b.pool_ = std::move(pool);
  return b;
}

ClauseLease Budget::LeaseClauses(std::int64_t clauses) const {
  if (!pool_ || clauses <= 0) return ClauseLease{};
  return pool_->Lease(clauses, *this);
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

double Budget::SecondsLeft() const {
  if (deadline_ == Clock::time_point::max()) return 1e18;
  return std::chrono::duration<double>(deadline_ - Clock::now()).count();
}

cpf::Written Witness::Certify(const Problem&, const std::vector<Problem>&,
                              const std::vector<cpf::Fragment>&) const {
  return "no certifiable form";
}

Result Result::None(std::string note) {
  Result r;
  r.note = std::move(note);
  return r;
}

Result Result::Proof(std::shared_ptr<const Witness> w) {
  Result r;
  r.kind = Kind::Proved;
  r.witness = std::move(w);
  return r;
}

Result Result::Loop(std::shared_ptr<const Witness> w) {
  Result r;
  r.kind = Kind::Disproved;
  r.witness = std::move(w);
  return r;
}

Result Result::Step(std::shared_ptr<const Witness> w, std::vector<Problem> subproblems) {
  Result r;
  r.kind = Kind::Transformed;
  r.witness = std::move(w);
  r.subproblems = std::move(subproblems);
  return r;
}

std::string RecheckResult(const Problem& problem, const Result& result) {
  if (result.kind == Result::Kind::Nothing) return "";
  if (!result.witness) return "a result without a witness";
  if (result.kind != Result::Kind::Transformed && !result.subproblems.empty())
    return "a leaf with subproblems";
  return result.witness->Recheck(problem, result.subproblems);
}

bool ProofNode::Complete() const {
  switch (kind) {
    case Result::Kind::Nothing:
      return false;
    case Result::Kind::Proved:
    case Result::Kind::Disproved:
      return true;
    case Result::Kind::Transformed:
      return std::all_of(children.begin(), children.end(),
                         [](const ProofNode& c) { return c.Complete(); });
  }
  return false;
}

}  // namespace velkin::strong
