// Exact arithmetic for the re-checks of interpretations: affine maps x ↦ M x + c over
// the natural numbers (+, ×) or over the arctic numbers N ∪ {-∞} (max, +), composed
// word by word. A word's map is computed in 64-bit integers with every operation
// checked, and once more with GMP integers when a check fails, so that no value ever
// wraps and the result is exact at any size. Nothing here is shared with the SAT
// encodings that search the maps.
#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "strong/problem.h"

namespace velkin::strong::exact {

// An arctic number: nullopt is -∞.
using Arctic = std::optional<mpz_class>;

// x ↦ M x + c in dimension d: M is d×d (row-major), c has d entries.
template <class T>
struct Affine {
  int d = 0;
  std::vector<T> m, c;
};
using NaturalAffine = Affine<mpz_class>;
using ArcticAffine = Affine<Arctic>;

// The letters' maps of an interpretation (by letter; nullopt: the letter has none), all
// of one dimension, and the maps of words under them.
template <class T>
class Maps {
 public:
  // `letters` must all have dimension `d` >= 1 (entries d×d and d).
  Maps(int d, std::vector<std::optional<Affine<T>>> letters);
  ~Maps();
  Maps(Maps&&) noexcept;
  Maps& operator=(Maps&&) noexcept;

  // The map of `w`, first letter outermost ([a w] = [a] ∘ [w]; the identity for the
  // empty word), or nullopt when a letter of `w` has no map or is out of range.
  std::optional<Affine<T>> Of(const Word& w) const;

  struct Small;  // the 64-bit copies of the letters' maps

 private:
  int d_;
  std::vector<std::optional<Affine<T>>> letters_;
  std::unique_ptr<Small> small_;  // null when some entry does not fit in 64 bits
};

extern template class Maps<mpz_class>;
extern template class Maps<Arctic>;

using NaturalMaps = Maps<mpz_class>;
using ArcticMaps = Maps<Arctic>;

// x ≥ y with -∞ below every number; x > y, or y = -∞ (the arctic strict relation).
bool Ge(const Arctic& x, const Arctic& y);
bool Gt(const Arctic& x, const Arctic& y);

// Entrywise l ≥ r on M and c.
bool AllGe(const NaturalAffine& l, const NaturalAffine& r);
bool AllGe(const ArcticAffine& l, const ArcticAffine& r);
// Entrywise Gt on M and c: every entry greater, or -∞ on the right.
bool AllGt(const ArcticAffine& l, const ArcticAffine& r);

// The arctic number of a 64-bit value (nullopt stays -∞).
Arctic ToArctic(const std::optional<std::int64_t>& v);

}  // namespace velkin::strong::exact
