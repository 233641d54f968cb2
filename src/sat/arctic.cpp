#include "sat/arctic.h"

#include "sat/gates.h"

namespace velkin::sat {

Arctic MinusInfinity(const Solver& s) {
  return Arctic{s.False(), Nat{}};
}

Arctic ArcticConstant(const Solver& s, std::uint64_t v) {
  return Arctic{s.True(), Constant(s, v)};
}

Arctic FreshArctic(Solver& s, int width) {
  Arctic a{s.NewVar(), FreshNat(s, width)};
  for (Lit l : a.value.bits) s.AddClause({a.finite, -l});  // -∞ has value bits 0
  return a;
}

std::optional<std::uint64_t> Value(const Solver& s, const Arctic& a) {
  if (!s.Value(a.finite)) return std::nullopt;
  return Value(s, a.value);
}

// With both values 0 at -∞, the natural maximum of the values is the arctic one's value.
Arctic Max(Solver& s, const Arctic& a, const Arctic& b) {
  return Arctic{Or(s, a.finite, b.finite), Max(s, a.value, b.value)};
}

// When one side is -∞ its value is 0, so the sum fits whenever the other does; the
// result's value is cleared unless both are finite.
Arctic Plus(Solver& s, const Arctic& a, const Arctic& b, int cap) {
  const Lit finite = And(s, a.finite, b.finite);
  return Arctic{finite, Select(s, finite, Add(s, a.value, b.value, cap))};
}

Lit Ge(Solver& s, const Arctic& a, const Arctic& b) {
  return Or(s, -b.finite, And(s, a.finite, Ge(s, a.value, b.value)));
}

Lit Gt(Solver& s, const Arctic& a, const Arctic& b) {
  return Or(s, -b.finite, And(s, a.finite, Gt(s, a.value, b.value)));
}

Lit Eq(Solver& s, const Arctic& a, const Arctic& b) {
  return And(s, Iff(s, a.finite, b.finite), Eq(s, a.value, b.value));
}

}  // namespace velkin::sat
