#include "sat/matrix.h"

#include "sat/gates.h"

namespace velkin::sat {
namespace {

// The two semirings: (N, +, ·) and (N ∪ {-∞}, max, +).
struct NatOps {
  static Nat Zero(const Solver& s) { return Constant(s, 0); }
  static Nat One(const Solver& s) { return Constant(s, 1); }
  static Nat Plus(Solver& s, const Nat& a, const Nat& b, int cap) { return Add(s, a, b, cap); }
  static Nat Times(Solver& s, const Nat& a, const Nat& b, int cap) { return Mul(s, a, b, cap); }
};

struct ArcticOps {
  static Arctic Zero(const Solver& s) { return MinusInfinity(s); }
  static Arctic One(const Solver& s) { return ArcticConstant(s, 0); }
  static Arctic Plus(Solver& s, const Arctic& a, const Arctic& b, int) { return Max(s, a, b); }
  static Arctic Times(Solver& s, const Arctic& a, const Arctic& b, int cap) {
    return velkin::sat::Plus(s, a, b, cap);
  }
};

// Unary arctic numbers; the cap is the range of values a result may take.
struct UnaryArcticOps {
  static UnaryArctic Zero(const Solver& s) { return UnaryMinusInfinity(s); }
  static UnaryArctic One(const Solver& s) { return UnaryConstant(s, 0); }
  static UnaryArctic Plus(Solver& s, const UnaryArctic& a, const UnaryArctic& b, UnaryBounds) {
    return Max(s, a, b);
  }
  static UnaryArctic Times(Solver& s, const UnaryArctic& a, const UnaryArctic& b,
                           UnaryBounds bounds) {
    return velkin::sat::Plus(s, a, b, bounds);
  }
};

template <class Ops, class T>
Matrix<T> Identity(const Solver& s, int d) {
  Matrix<T> m(d, d, Ops::Zero(s));
  for (int i = 0; i < d; ++i) m.at(i, i) = Ops::One(s);
  return m;
}

template <class Ops, class T, class Cap>
Matrix<T> Sum(Solver& s, const Matrix<T>& a, const Matrix<T>& b, Cap cap) {
  assert(a.rows == b.rows && a.cols == b.cols);
  Matrix<T> r = a;
  for (std::size_t k = 0; k < r.entries.size(); ++k)
    r.entries[k] = Ops::Plus(s, a.entries[k], b.entries[k], cap);
  return r;
}

template <class Ops, class T, class Cap>
Matrix<T> Product(Solver& s, const Matrix<T>& a, const Matrix<T>& b, Cap cap) {
  assert(a.cols == b.rows);
  Matrix<T> r(a.rows, b.cols, Ops::Zero(s));
  for (int i = 0; i < a.rows; ++i)
    for (int j = 0; j < b.cols; ++j) {
      T acc = Ops::Zero(s);
      for (int k = 0; k < a.cols; ++k)
        acc = Ops::Plus(s, acc, Ops::Times(s, a.at(i, k), b.at(k, j), cap), cap);
      r.at(i, j) = acc;
    }
  return r;
}

template <class T, class Cmp>
Lit Entrywise(Solver& s, const Matrix<T>& a, const Matrix<T>& b, Cmp cmp) {
  assert(a.rows == b.rows && a.cols == b.cols);
  std::vector<Lit> all;
  for (std::size_t k = 0; k < a.entries.size(); ++k)
    all.push_back(cmp(s, a.entries[k], b.entries[k]));
  return AndAll(s, all);
}

template <class Ops, class T, class Cap>
Affine<T> Composed(Solver& s, const Affine<T>& f, const Affine<T>& g, Cap cap) {
  return Affine<T>{Product<Ops>(s, f.m, g.m, cap),
                   Sum<Ops>(s, Product<Ops>(s, f.m, g.c, cap), f.c, cap)};
}

}  // namespace

NatMatrix NatIdentity(const Solver& s, int d) {
  return Identity<NatOps, Nat>(s, d);
}
ArcticMatrix ArcticIdentity(const Solver& s, int d) {
  return Identity<ArcticOps, Arctic>(s, d);
}
UnaryArcticMatrix UnaryArcticIdentity(const Solver& s, int d) {
  return Identity<UnaryArcticOps, UnaryArctic>(s, d);
}
NatMatrix NatZero(const Solver& s, int rows, int cols) {
  return NatMatrix(rows, cols, NatOps::Zero(s));
}
ArcticMatrix ArcticZero(const Solver& s, int rows, int cols) {
  return ArcticMatrix(rows, cols, ArcticOps::Zero(s));
}

NatMatrix FreshNatMatrix(Solver& s, int rows, int cols, int width) {
  NatMatrix m(rows, cols, Nat{});
  for (Nat& e : m.entries) e = FreshNat(s, width);
  return m;
}

ArcticMatrix FreshArcticMatrix(Solver& s, int rows, int cols, int width) {
  ArcticMatrix m(rows, cols, MinusInfinity(s));
  for (Arctic& e : m.entries) e = FreshArctic(s, width);
  return m;
}

UnaryArcticMatrix FreshUnaryArcticMatrix(Solver& s, int rows, int cols, int max) {
  return FreshUnaryArcticMatrix(s, rows, cols, 0, max);
}

UnaryArcticMatrix FreshUnaryArcticMatrix(Solver& s, int rows, int cols, int lowest, int highest) {
  UnaryArcticMatrix m(rows, cols, UnaryMinusInfinity(s));
  for (UnaryArctic& e : m.entries) e = FreshUnaryArctic(s, lowest, highest);
  return m;
}

NatMatrix Add(Solver& s, const NatMatrix& a, const NatMatrix& b, int cap) {
  return Sum<NatOps>(s, a, b, cap);
}
ArcticMatrix Add(Solver& s, const ArcticMatrix& a, const ArcticMatrix& b, int cap) {
  return Sum<ArcticOps>(s, a, b, cap);
}
NatMatrix Mul(Solver& s, const NatMatrix& a, const NatMatrix& b, int cap) {
  return Product<NatOps>(s, a, b, cap);
}
ArcticMatrix Mul(Solver& s, const ArcticMatrix& a, const ArcticMatrix& b, int cap) {
  return Product<ArcticOps>(s, a, b, cap);
}
UnaryArcticMatrix Mul(Solver& s, const UnaryArcticMatrix& a, const UnaryArcticMatrix& b,
                      UnaryBounds bounds) {
  return Product<UnaryArcticOps>(s, a, b, bounds);
}

Lit Ge(Solver& s, const NatMatrix& a, const NatMatrix& b) {
  return Entrywise(s, a, b, [](Solver& s, const Nat& x, const Nat& y) { return Ge(s, x, y); });
}
Lit Ge(Solver& s, const ArcticMatrix& a, const ArcticMatrix& b) {
  return Entrywise(s, a, b,
                   [](Solver& s, const Arctic& x, const Arctic& y) { return Ge(s, x, y); });
}
Lit Gt(Solver& s, const ArcticMatrix& a, const ArcticMatrix& b) {
  return Entrywise(s, a, b,
                   [](Solver& s, const Arctic& x, const Arctic& y) { return Gt(s, x, y); });
}

Lit Ge(Solver& s, const UnaryArcticMatrix& a, const UnaryArcticMatrix& b) {
  return Entrywise(
      s, a, b, [](Solver& s, const UnaryArctic& x, const UnaryArctic& y) { return Ge(s, x, y); });
}
Lit Gt(Solver& s, const UnaryArcticMatrix& a, const UnaryArcticMatrix& b) {
  return Entrywise(
      s, a, b, [](Solver& s, const UnaryArctic& x, const UnaryArctic& y) { return Gt(s, x, y); });
}

std::vector<std::uint64_t> Values(const Solver& s, const NatMatrix& m) {
  std::vector<std::uint64_t> v;
  for (const Nat& e : m.entries) v.push_back(Value(s, e));
  return v;
}

std::vector<std::optional<std::uint64_t>> Values(const Solver& s, const ArcticMatrix& m) {
  std::vector<std::optional<std::uint64_t>> v;
  for (const Arctic& e : m.entries) v.push_back(Value(s, e));
  return v;
}

std::vector<std::optional<std::int64_t>> Values(const Solver& s, const UnaryArcticMatrix& m) {
  std::vector<std::optional<std::int64_t>> v;
  for (const UnaryArctic& e : m.entries) v.push_back(Value(s, e));
  return v;
}

NatAffine NatAffineIdentity(const Solver& s, int d) {
  return NatAffine{NatIdentity(s, d), NatZero(s, d, 1)};
}
ArcticAffine ArcticAffineIdentity(const Solver& s, int d) {
  return ArcticAffine{ArcticIdentity(s, d), ArcticZero(s, d, 1)};
}

UnaryArcticAffine UnaryArcticAffineIdentity(const Solver& s, int d) {
  return UnaryArcticAffine{Identity<UnaryArcticOps, UnaryArctic>(s, d),
                           UnaryArcticMatrix(d, 1, UnaryMinusInfinity(s))};
}

NatAffine Compose(Solver& s, const NatAffine& f, const NatAffine& g, int cap) {
  return Composed<NatOps>(s, f, g, cap);
}
ArcticAffine Compose(Solver& s, const ArcticAffine& f, const ArcticAffine& g, int cap) {
  return Composed<ArcticOps>(s, f, g, cap);
}
UnaryArcticAffine Compose(Solver& s, const UnaryArcticAffine& f, const UnaryArcticAffine& g,
                          int max) {
  return Composed<UnaryArcticOps>(s, f, g, UnaryBounds{0, max});
}
UnaryArcticAffine Compose(Solver& s, const UnaryArcticAffine& f, const UnaryArcticAffine& g,
                          UnaryBounds bounds) {
  return Composed<UnaryArcticOps>(s, f, g, bounds);
}

}  // namespace velkin::sat
