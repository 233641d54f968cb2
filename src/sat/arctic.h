// Arctic numbers N ∪ {-∞} with ⊕ = max and ⊗ = + (-∞ absorbing): a "finite" literal and
// a bounded natural that is 0 whenever the number is -∞ (so equal numbers have equal bits).
#pragma once

#include <cstdint>
#include <optional>

#include "sat/nat.h"

namespace velkin::sat {

struct Arctic {
  Lit finite;  // false: the number is -∞
  Nat value;   // its value when finite; all bits false otherwise
};

// -∞, and the finite constant v.
Arctic MinusInfinity(const Solver& s);
Arctic ArcticConstant(const Solver& s, std::uint64_t v);
// A fresh arctic number: -∞ or a value in [0, 2^width).
Arctic FreshArctic(Solver& s, int width);
// Its value in the last model; nullopt for -∞.
std::optional<std::uint64_t> Value(const Solver& s, const Arctic& a);

// a ⊕ b = max(a, b), -∞ below every number.
Arctic Max(Solver& s, const Arctic& a, const Arctic& b);
// a ⊗ b = a + b, -∞ when either is; clauses forbid a finite sum >= 2^cap.
Arctic Plus(Solver& s, const Arctic& a, const Arctic& b, int cap);

// a ≥ b, with -∞ below every number (so a ≥ -∞ always).
Lit Ge(Solver& s, const Arctic& a, const Arctic& b);
// a > b or b = -∞ (the strict order of arctic interpretations: -∞ > -∞ holds).
Lit Gt(Solver& s, const Arctic& a, const Arctic& b);
// a = b.
Lit Eq(Solver& s, const Arctic& a, const Arctic& b);

}  // namespace velkin::sat
