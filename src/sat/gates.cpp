#include "sat/gates.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace velkin::sat {
namespace {

std::uint64_t Key(Lit a, Lit b) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(a)) << 32) |
         static_cast<std::uint32_t>(b);
}

}  // namespace

Lit And(Solver& s, Lit a, Lit b) {
  if (a == s.False() || b == s.False() || a == -b) return s.False();
  if (a == s.True() || a == b) return b;
  if (b == s.True()) return a;
  if (a > b) std::swap(a, b);
  auto [it, fresh] = s.and_cache().try_emplace(Key(a, b), 0);
  if (!fresh) return it->second;
  const Lit o = s.NewVar();
  it->second = o;
  s.AddClause({-o, a});
  s.AddClause({-o, b});
  s.AddClause({o, -a, -b});
  return o;
}

Lit Or(Solver& s, Lit a, Lit b) {
  return -And(s, -a, -b);
}

Lit Xor(Solver& s, Lit a, Lit b) {
  if (a == s.False()) return b;
  if (b == s.False()) return a;
  if (a == s.True()) return -b;
  if (b == s.True()) return -a;
  if (a == b) return s.False();
  if (a == -b) return s.True();
  // Normalise to positive inputs: x ⊕ y = ¬(¬x ⊕ y).
  bool negate = false;
  if (a < 0) a = -a, negate = !negate;
  if (b < 0) b = -b, negate = !negate;
  if (a > b) std::swap(a, b);
  auto [it, fresh] = s.xor_cache().try_emplace(Key(a, b), 0);
  if (fresh) {
    const Lit o = s.NewVar();
    it->second = o;
    s.AddClause({-o, a, b});
    s.AddClause({-o, -a, -b});
    s.AddClause({o, -a, b});
    s.AddClause({o, a, -b});
  }
  return negate ? -it->second : it->second;
}

Lit Ite(Solver& s, Lit c, Lit t, Lit e) {
  if (c == s.True() || t == e) return t;
  if (c == s.False()) return e;
  if (t == s.True() || t == c) return Or(s, c, e);
  if (t == s.False() || t == -c) return And(s, -c, e);
  if (e == s.True() || e == -c) return Or(s, -c, t);
  if (e == s.False() || e == c) return And(s, c, t);
  const Lit o = s.NewVar();
  s.AddClause({-c, -t, o});
  s.AddClause({-c, t, -o});
  s.AddClause({c, -e, o});
  s.AddClause({c, e, -o});
  s.AddClause({-t, -e, o});  // redundant, helps propagation
  s.AddClause({t, e, -o});
  return o;
}

Lit AndAll(Solver& s, const std::vector<Lit>& lits) {
  std::vector<Lit> kept;
  for (Lit l : lits) {
    if (l == s.False()) return s.False();
    if (l != s.True()) kept.push_back(l);
  }
  if (kept.empty()) return s.True();
  if (kept.size() == 1) return kept[0];
  if (kept.size() == 2) return And(s, kept[0], kept[1]);
  const Lit o = s.NewVar();
  std::vector<Lit> big{o};
  for (Lit l : kept) {
    s.AddClause({-o, l});
    big.push_back(-l);
  }
  s.AddClause(big);
  return o;
}

Lit OrAll(Solver& s, const std::vector<Lit>& lits) {
  std::vector<Lit> negated;
  negated.reserve(lits.size());
  for (Lit l : lits) negated.push_back(-l);
  return -AndAll(s, negated);
}

Lit Majority(Solver& s, Lit a, Lit b, Lit c) {
  if (a == s.False()) return And(s, b, c);
  if (b == s.False()) return And(s, a, c);
  if (c == s.False()) return And(s, a, b);
  if (a == s.True()) return Or(s, b, c);
  if (b == s.True()) return Or(s, a, c);
  if (c == s.True()) return Or(s, a, b);
  if (a == b || a == c) return a;
  if (b == c) return b;
  if (a == -b) return c;
  if (a == -c) return b;
  if (b == -c) return a;
  const Lit o = s.NewVar();
  s.AddClause({-a, -b, o});
  s.AddClause({-a, -c, o});
  s.AddClause({-b, -c, o});
  s.AddClause({a, b, -o});
  s.AddClause({a, c, -o});
  s.AddClause({b, c, -o});
  return o;
}

}  // namespace velkin::sat
