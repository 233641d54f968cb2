// Bounded natural numbers as bit vectors (least significant bit first). Arithmetic never
// wraps around: a result that would not fit its width is forbidden by clauses, so every
// model gives every number its exact value.
#pragma once

#include <cstdint>
#include <vector>

#include "sat/solver.h"

namespace velkin::sat {

struct Nat {
  std::vector<Lit> bits;  // bit i has weight 2^i; high bits may be constant false

  int width() const { return static_cast<int>(bits.size()); }
};

// The constant v in the fewest bits (none for 0).
Nat Constant(const Solver& s, std::uint64_t v);
// A fresh number in [0, 2^width).
Nat FreshNat(Solver& s, int width);
// Its value in the last model (width at most 64).
std::uint64_t Value(const Solver& s, const Nat& n);
// True when no model can give `n` a value other than 0.
bool IsZero(const Solver& s, const Nat& n);

// a + b, of width at most `cap`; clauses forbid a + b >= 2^cap.
Nat Add(Solver& s, const Nat& a, const Nat& b, int cap);
// a · b, of width at most `cap`; clauses forbid a · b >= 2^cap.
Nat Mul(Solver& s, const Nat& a, const Nat& b, int cap);
// max(a, b).
Nat Max(Solver& s, const Nat& a, const Nat& b);
// c ? n : 0.
Nat Select(Solver& s, Lit c, const Nat& n);

// Literals equivalent to a >= b, a > b and a = b.
Lit Ge(Solver& s, const Nat& a, const Nat& b);
Lit Gt(Solver& s, const Nat& a, const Nat& b);
Lit Eq(Solver& s, const Nat& a, const Nat& b);

}  // namespace velkin::sat
