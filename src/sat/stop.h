// What a long computation of the SAT layer polls to know that it must end. The layer
// knows nothing of who sets the condition (a run's budget, a test's deadline).
#pragma once

namespace velkin::sat {

class Stop {
 public:
  // True once the computation must end. Polled often from the computing thread, so
  // it must be cheap; it may block (to take turns with other threads) but must return
  // true promptly once the condition holds.
  virtual bool Expired() const = 0;

 protected:
  Stop() = default;
  Stop(const Stop&) = default;
  Stop& operator=(const Stop&) = default;
  ~Stop() = default;
};

// The condition that never holds: for computations without a limit.
class NeverStop final : public Stop {
 public:
  bool Expired() const override { return false; }
};

}  // namespace velkin::sat
