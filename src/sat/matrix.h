// Matrices and vectors (matrices with one column) of bounded naturals or arctic numbers,
// and affine maps x ↦ M x + c over them. Every result's entries are exact: overflow of
// the cap is forbidden by clauses, as for the numbers themselves.
#pragma once

#include <cassert>
#include <vector>

#include "sat/arctic.h"
#include "sat/nat.h"
#include "sat/unary_arctic.h"

namespace velkin::sat {

template <class T>
struct Matrix {
  int rows = 0, cols = 0;
  std::vector<T> entries;  // row-major

  Matrix() = default;
  Matrix(int r, int c, T fill) : rows(r), cols(c), entries(static_cast<std::size_t>(r) * c, fill) {}
  T& at(int i, int j) {
    assert(i >= 0 && i < rows && j >= 0 && j < cols);
    return entries[static_cast<std::size_t>(i) * cols + j];
  }
  const T& at(int i, int j) const {
    assert(i >= 0 && i < rows && j >= 0 && j < cols);
    return entries[static_cast<std::size_t>(i) * cols + j];
  }
};

using NatMatrix = Matrix<Nat>;
using ArcticMatrix = Matrix<Arctic>;
using UnaryArcticMatrix = Matrix<UnaryArctic>;

// The d×d identity (1 on the diagonal, 0 elsewhere; arctic: 0 and -∞).
NatMatrix NatIdentity(const Solver& s, int d);
ArcticMatrix ArcticIdentity(const Solver& s, int d);
UnaryArcticMatrix UnaryArcticIdentity(const Solver& s, int d);
// A rows×cols matrix of zeros (arctic: of -∞).
NatMatrix NatZero(const Solver& s, int rows, int cols);
ArcticMatrix ArcticZero(const Solver& s, int rows, int cols);
// A rows×cols matrix of fresh numbers of `width` bits.
NatMatrix FreshNatMatrix(Solver& s, int rows, int cols, int width);
ArcticMatrix FreshArcticMatrix(Solver& s, int rows, int cols, int width);
// Unary arctic: entries -∞ or in [0, max], or in [lowest, highest].
UnaryArcticMatrix FreshUnaryArcticMatrix(Solver& s, int rows, int cols, int max);
UnaryArcticMatrix FreshUnaryArcticMatrix(Solver& s, int rows, int cols, int lowest, int highest);

// A + B (arctic: entrywise max), entries of width at most `cap`.
NatMatrix Add(Solver& s, const NatMatrix& a, const NatMatrix& b, int cap);
ArcticMatrix Add(Solver& s, const ArcticMatrix& a, const ArcticMatrix& b, int cap);
// A · B (arctic: max-plus product), entries of width at most `cap`.
NatMatrix Mul(Solver& s, const NatMatrix& a, const NatMatrix& b, int cap);
ArcticMatrix Mul(Solver& s, const ArcticMatrix& a, const ArcticMatrix& b, int cap);
// Unary arctic: finite entries of the product within `bounds` (Z ∪ {-∞}).
UnaryArcticMatrix Mul(Solver& s, const UnaryArcticMatrix& a, const UnaryArcticMatrix& b,
                      UnaryBounds bounds);

// Literals for A ≥ B entrywise, and for A > B entrywise (arctic: in Gt's sense).
Lit Ge(Solver& s, const NatMatrix& a, const NatMatrix& b);
Lit Ge(Solver& s, const ArcticMatrix& a, const ArcticMatrix& b);
Lit Gt(Solver& s, const ArcticMatrix& a, const ArcticMatrix& b);
Lit Ge(Solver& s, const UnaryArcticMatrix& a, const UnaryArcticMatrix& b);
Lit Gt(Solver& s, const UnaryArcticMatrix& a, const UnaryArcticMatrix& b);

// The values in the last model, row-major.
std::vector<std::uint64_t> Values(const Solver& s, const NatMatrix& m);
std::vector<std::optional<std::uint64_t>> Values(const Solver& s, const ArcticMatrix& m);
std::vector<std::optional<std::int64_t>> Values(const Solver& s, const UnaryArcticMatrix& m);

// An affine map x ↦ M x + c (M d×d, c d×1).
template <class T>
struct Affine {
  Matrix<T> m, c;
};
using NatAffine = Affine<Nat>;
using ArcticAffine = Affine<Arctic>;
using UnaryArcticAffine = Affine<UnaryArctic>;

// The identity map (M = I, c = 0): the meaning of the empty word.
NatAffine NatAffineIdentity(const Solver& s, int d);
ArcticAffine ArcticAffineIdentity(const Solver& s, int d);
UnaryArcticAffine UnaryArcticAffineIdentity(const Solver& s, int d);
// f ∘ g: x ↦ f(g(x)) = (M_f M_g) x + (M_f c_g + c_f), entries of width at most `cap`.
NatAffine Compose(Solver& s, const NatAffine& f, const NatAffine& g, int cap);
ArcticAffine Compose(Solver& s, const ArcticAffine& f, const ArcticAffine& g, int cap);
// Unary arctic: finite entries of at most `max`, or within `bounds` (Z ∪ {-∞}).
UnaryArcticAffine Compose(Solver& s, const UnaryArcticAffine& f, const UnaryArcticAffine& g,
                          int max);
UnaryArcticAffine Compose(Solver& s, const UnaryArcticAffine& f, const UnaryArcticAffine& g,
                          UnaryBounds bounds);

}  // namespace velkin::sat
