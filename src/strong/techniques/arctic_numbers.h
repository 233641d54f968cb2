// The two encodings of arctic numbers that the arctic searches build their matrices
// from: binary naturals (values below 2^bits), and the order encoding, which also holds
// integers (a letter's finite entries from -belowZero). Both give the same operations, so
// that one encoding template serves either.
#pragma once

#include <cassert>

#include "sat/matrix.h"
#include "sat/unary_arctic.h"

namespace velkin::strong {

// Binary arctic naturals (belowZero 0 only).
struct BinaryArcticNumbers {
  using Affine = sat::ArcticAffine;
  using Matrix = sat::ArcticMatrix;
  using Cap = int;  // the bits of a side's entries
  // A rows × cols matrix of fresh entries of `bits` bits.
  static Matrix Fresh(sat::Solver& s, int rows, int cols, int bits, int belowZero) {
    assert(belowZero == 0);
    (void)belowZero;
    return sat::FreshArcticMatrix(s, rows, cols, bits);
  }
  static sat::Arctic MinusInfinity(sat::Solver& s) { return sat::MinusInfinity(s); }
  static Matrix Identity(sat::Solver& s, int d) { return sat::ArcticIdentity(s, d); }
  static Affine AffineIdentity(sat::Solver& s, int d) { return sat::ArcticAffineIdentity(s, d); }
  // The range of a side's entries: `capBits` bits.
  static Cap Bounds(int capBits, int) { return capBits; }
  // "a is finite and a >= 0": finiteness, for naturals.
  static sat::Lit NonNegative(sat::Solver&, const sat::Arctic& a) { return a.finite; }
};

// Unary arctic numbers: a letter's finite entries lie in [-belowZero, 2^bits - 1], a
// side's in [-(2^cap - 1), 2^cap - 1] (from 0 when belowZero is 0).
struct UnaryArcticNumbers {
  using Affine = sat::UnaryArcticAffine;
  using Matrix = sat::UnaryArcticMatrix;
  using Cap = sat::UnaryBounds;
  static Matrix Fresh(sat::Solver& s, int rows, int cols, int bits, int belowZero) {
    return sat::FreshUnaryArcticMatrix(s, rows, cols, -belowZero, (1 << bits) - 1);
  }
  static sat::UnaryArctic MinusInfinity(sat::Solver& s) { return sat::UnaryMinusInfinity(s); }
  static Matrix Identity(sat::Solver& s, int d) { return sat::UnaryArcticIdentity(s, d); }
  static Affine AffineIdentity(sat::Solver& s, int d) {
    return sat::UnaryArcticAffineIdentity(s, d);
  }
  static Cap Bounds(int capBits, int belowZero) {
    const int highest = (1 << capBits) - 1;
    return Cap{belowZero > 0 ? -highest : 0, highest};
  }
  static sat::Lit NonNegative(sat::Solver& s, const sat::UnaryArctic& a) {
    return sat::AtLeastValue(s, a, 0);
  }
};

}  // namespace velkin::strong
