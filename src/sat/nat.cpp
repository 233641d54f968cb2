#include "sat/nat.h"

#include <algorithm>
#include <cassert>

#include "sat/gates.h"

namespace velkin::sat {
namespace {

// Drops constant-false high bits, so widths follow what a number can be.
Nat Trimmed(const Solver& s, Nat n) {
  while (!n.bits.empty() && n.bits.back() == s.False()) n.bits.pop_back();
  return n;
}

Lit Bit(const Solver& s, const Nat& n, int i) {
  return i < n.width() ? n.bits[i] : s.False();
}

// Bits at positions >= cap must be false; returns n cut to `cap` bits.
Nat Capped(Solver& s, Nat n, int cap) {
  for (int i = cap; i < n.width(); ++i) s.Require(-n.bits[i]);
  if (n.width() > cap) n.bits.resize(cap);
  return Trimmed(s, std::move(n));
}

// a ≥ b (strict false) or a > b (strict true), scanning from the least significant bit:
// the highest differing bit decides.
Lit Compare(Solver& s, const Nat& a, const Nat& b, bool strict) {
  Lit result = strict ? s.False() : s.True();
  const int w = std::max(a.width(), b.width());
  for (int i = 0; i < w; ++i) {
    const Lit x = Bit(s, a, i), y = Bit(s, b, i);
    result = Ite(s, Xor(s, x, y), x, result);
  }
  return result;
}

}  // namespace

Nat Constant(const Solver& s, std::uint64_t v) {
  Nat n;
  for (; v; v >>= 1) n.bits.push_back(v & 1 ? s.True() : s.False());
  return n;
}

Nat FreshNat(Solver& s, int width) {
  Nat n;
  for (int i = 0; i < width; ++i) n.bits.push_back(s.NewVar());
  return n;
}

std::uint64_t Value(const Solver& s, const Nat& n) {
  assert(n.width() <= 64);
  std::uint64_t v = 0;
  for (int i = 0; i < n.width(); ++i)
    if (s.Value(n.bits[i])) v |= std::uint64_t{1} << i;
  return v;
}

bool IsZero(const Solver& s, const Nat& n) {
  return std::all_of(n.bits.begin(), n.bits.end(), [&](Lit l) { return l == s.False(); });
}

Nat Add(Solver& s, const Nat& a, const Nat& b, int cap) {
  assert(cap >= 0);
  if (IsZero(s, a)) return Capped(s, b, cap);
  if (IsZero(s, b)) return Capped(s, a, cap);
  const int w = std::max(a.width(), b.width());
  Nat sum;
  Lit carry = s.False();
  for (int i = 0; i < w; ++i) {
    const Lit x = Bit(s, a, i), y = Bit(s, b, i);
    sum.bits.push_back(Xor(s, Xor(s, x, y), carry));
    carry = Majority(s, x, y, carry);
  }
  sum.bits.push_back(carry);
  return Capped(s, std::move(sum), cap);
}

Nat Mul(Solver& s, const Nat& a, const Nat& b, int cap) {
  assert(cap >= 0);
  Nat x = Trimmed(s, a), y = Trimmed(s, b);
  if (y.width() > x.width()) std::swap(x, y);  // one partial product per bit of the narrower
  Nat product;                                 // zero
  for (int i = 0; i < y.width(); ++i) {
    if (y.bits[i] == s.False()) continue;
    Nat partial;
    partial.bits.assign(i, s.False());
    for (Lit l : x.bits) partial.bits.push_back(And(s, l, y.bits[i]));
    product = Add(s, product, Capped(s, std::move(partial), cap), cap);
  }
  return product;
}

Nat Max(Solver& s, const Nat& a, const Nat& b) {
  if (IsZero(s, a)) return b;
  if (IsZero(s, b)) return a;
  const Lit ge = Ge(s, a, b);
  Nat m;
  const int w = std::max(a.width(), b.width());
  for (int i = 0; i < w; ++i) m.bits.push_back(Ite(s, ge, Bit(s, a, i), Bit(s, b, i)));
  return Trimmed(s, std::move(m));
}

Nat Select(Solver& s, Lit c, const Nat& n) {
  Nat m;
  for (Lit l : n.bits) m.bits.push_back(And(s, c, l));
  return Trimmed(s, std::move(m));
}

Lit Ge(Solver& s, const Nat& a, const Nat& b) {
  return Compare(s, a, b, false);
}
Lit Gt(Solver& s, const Nat& a, const Nat& b) {
  return Compare(s, a, b, true);
}

Lit Eq(Solver& s, const Nat& a, const Nat& b) {
  std::vector<Lit> same;
  const int w = std::max(a.width(), b.width());
  for (int i = 0; i < w; ++i) same.push_back(Iff(s, Bit(s, a, i), Bit(s, b, i)));
  return AndAll(s, same);
}

}  // namespace velkin::sat
