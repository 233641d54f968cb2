#include "strong/exact.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <utility>

namespace velkin::strong::exact {
namespace {

// The operations of a semiring on one representation of its numbers: ⊕ (Add, into an
// accumulator) and ⊗ (Mul), each returning false when the result does not fit.

struct NaturalSmall {
  using V = std::int64_t;
  static V Zero() { return 0; }
  static V One() { return 1; }
  static bool IsZero(V v) { return v == 0; }
  static bool Add(V& acc, V x) { return !__builtin_add_overflow(acc, x, &acc); }
  static bool Mul(V x, V y, V& out) { return !__builtin_mul_overflow(x, y, &out); }
};

struct NaturalBig {
  using V = mpz_class;
  static V Zero() { return 0; }
  static V One() { return 1; }
  static bool IsZero(const V& v) { return v == 0; }
  static bool Add(V& acc, const V& x) {
    acc += x;
    return true;
  }
  static bool Mul(const V& x, const V& y, V& out) {
    out = x * y;
    return true;
  }
};

// -∞ as the smallest 64-bit value, which no finite result may take.
struct ArcticSmall {
  using V = std::int64_t;
  static constexpr V kMinusInfinity = INT64_MIN;
  static V Zero() { return kMinusInfinity; }
  static V One() { return 0; }
  static bool IsZero(V v) { return v == kMinusInfinity; }
  static bool Add(V& acc, V x) {
    acc = std::max(acc, x);
    return true;
  }
  static bool Mul(V x, V y, V& out) {
    if (x == kMinusInfinity || y == kMinusInfinity) {
      out = kMinusInfinity;
      return true;
    }
    return !__builtin_add_overflow(x, y, &out) && out != kMinusInfinity;
  }
};

struct ArcticBig {
  using V = Arctic;
  static V Zero() { return std::nullopt; }
  static V One() { return mpz_class(0); }
  static bool IsZero(const V& v) { return !v; }
  static bool Add(V& acc, const V& x) {
    if (x && (!acc || *acc < *x)) acc = x;
    return true;
  }
  static bool Mul(const V& x, const V& y, V& out) {
    if (!x || !y)
      out = std::nullopt;
    else
      out = *x + *y;
    return true;
  }
};

template <class T>
struct Domain;
template <>
struct Domain<mpz_class> {
  using Big = NaturalBig;
  using Small = NaturalSmall;
  static std::optional<std::int64_t> Narrow(const mpz_class& v) {
    if (!v.fits_slong_p()) return std::nullopt;
    return static_cast<std::int64_t>(v.get_si());
  }
  static mpz_class Widen(std::int64_t v) { return mpz_class(static_cast<long>(v)); }
};
template <>
struct Domain<Arctic> {
  using Big = ArcticBig;
  using Small = ArcticSmall;
  static std::optional<std::int64_t> Narrow(const Arctic& v) {
    if (!v) return ArcticSmall::kMinusInfinity;
    if (!v->fits_slong_p() || v->get_si() == ArcticSmall::kMinusInfinity) return std::nullopt;
    return static_cast<std::int64_t>(v->get_si());
  }
  static Arctic Widen(std::int64_t v) {
    if (v == ArcticSmall::kMinusInfinity) return std::nullopt;
    return mpz_class(static_cast<long>(v));
  }
};

template <class Ops>
Affine<typename Ops::V> Identity(int d) {
  Affine<typename Ops::V> e{
      d, std::vector<typename Ops::V>(static_cast<std::size_t>(d) * d, Ops::Zero()),
      std::vector<typename Ops::V>(d, Ops::Zero())};
  for (int i = 0; i < d; ++i) e.m[i * d + i] = Ops::One();
  return e;
}

// r = a ∘ g: x ↦ (M_a ⊗ M_g) x ⊕ (M_a ⊗ c_g ⊕ c_a). False when a value does not fit.
template <class Ops>
bool Compose(const Affine<typename Ops::V>& a, const Affine<typename Ops::V>& g,
             Affine<typename Ops::V>& r) {
  using V = typename Ops::V;
  const int d = g.d;
  r.d = d;
  r.m.assign(static_cast<std::size_t>(d) * d, Ops::Zero());
  r.c = a.c;
  V t = Ops::Zero();
  for (int i = 0; i < d; ++i)
    for (int k = 0; k < d; ++k) {
      const V& aik = a.m[i * d + k];
      if (Ops::IsZero(aik)) continue;
      for (int j = 0; j < d; ++j)
        if (!Ops::Mul(aik, g.m[k * d + j], t) || !Ops::Add(r.m[i * d + j], t)) return false;
      if (!Ops::Mul(aik, g.c[k], t) || !Ops::Add(r.c[i], t)) return false;
    }
  return true;
}

// The map of `w` from `letters` (all present), from the right; false on overflow.
template <class Ops>
bool WordMap(int d, const std::vector<std::optional<Affine<typename Ops::V>>>& letters,
             const Word& w, Affine<typename Ops::V>& out) {
  out = Identity<Ops>(d);
  Affine<typename Ops::V> next;
  for (auto it = w.rbegin(); it != w.rend(); ++it) {
    if (!Compose<Ops>(*letters[*it], out, next)) return false;
    std::swap(out, next);
  }
  return true;
}

}  // namespace

template <class T>
struct Maps<T>::Small {
  std::vector<std::optional<Affine<std::int64_t>>> letters;
};

template <class T>
Maps<T>::Maps(int d, std::vector<std::optional<Affine<T>>> letters)
    : d_(d), letters_(std::move(letters)) {
  assert(d >= 1);
  auto small = std::make_unique<Small>();
  small->letters.resize(letters_.size());
  for (std::size_t a = 0; a < letters_.size(); ++a) {
    if (!letters_[a]) continue;
    const Affine<T>& f = *letters_[a];
    assert(f.d == d && f.m.size() == static_cast<std::size_t>(d) * d &&
           f.c.size() == static_cast<std::size_t>(d));
    Affine<std::int64_t> s{d, {}, {}};
    for (const auto* from : {&f.m, &f.c}) {
      auto& to = from == &f.m ? s.m : s.c;
      for (const T& v : *from) {
        const auto n = Domain<T>::Narrow(v);
        if (!n) return;  // the 64-bit path would not be exact: GMP only
        to.push_back(*n);
      }
    }
    small->letters[a] = std::move(s);
  }
  small_ = std::move(small);
}

template <class T>
Maps<T>::~Maps() = default;
template <class T>
Maps<T>::Maps(Maps&&) noexcept = default;
template <class T>
Maps<T>& Maps<T>::operator=(Maps&&) noexcept = default;

template <class T>
std::optional<Affine<T>> Maps<T>::Of(const Word& w) const {
  for (const Symbol a : w)
    if (a < 0 || static_cast<std::size_t>(a) >= letters_.size() || !letters_[a])
      return std::nullopt;
  if (small_) {
    Affine<std::int64_t> s;
    if (WordMap<typename Domain<T>::Small>(d_, small_->letters, w, s)) {
      Affine<T> out{d_, {}, {}};
      for (const std::int64_t v : s.m) out.m.push_back(Domain<T>::Widen(v));
      for (const std::int64_t v : s.c) out.c.push_back(Domain<T>::Widen(v));
      return out;
    }
  }
  Affine<T> out;
  WordMap<typename Domain<T>::Big>(d_, letters_, w, out);
  return out;
}

template class Maps<mpz_class>;
template class Maps<Arctic>;

bool Ge(const Arctic& x, const Arctic& y) {
  return !y || (x && *x >= *y);
}

bool Gt(const Arctic& x, const Arctic& y) {
  return !y || (x && *x > *y);
}

namespace {

template <class T, class Cmp>
bool Entrywise(const Affine<T>& l, const Affine<T>& r, Cmp cmp) {
  if (l.m.size() != r.m.size() || l.c.size() != r.c.size()) return false;
  for (std::size_t k = 0; k < l.m.size(); ++k)
    if (!cmp(l.m[k], r.m[k])) return false;
  for (std::size_t k = 0; k < l.c.size(); ++k)
    if (!cmp(l.c[k], r.c[k])) return false;
  return true;
}

}  // namespace

bool AllGe(const NaturalAffine& l, const NaturalAffine& r) {
  return Entrywise(l, r, [](const mpz_class& x, const mpz_class& y) { return x >= y; });
}

bool AllGe(const ArcticAffine& l, const ArcticAffine& r) {
  return Entrywise(l, r, Ge);
}

bool AllGt(const ArcticAffine& l, const ArcticAffine& r) {
  return Entrywise(l, r, Gt);
}

Arctic ToArctic(const std::optional<std::int64_t>& v) {
  if (!v) return std::nullopt;
  return mpz_class(static_cast<long>(*v));
}

}  // namespace velkin::strong::exact
