// Words as byte strings for the loop searches: letter k is the byte k (alphabets of at
// most 256 letters), so that factor search, hashing and copying run on plain memory;
// and what the loop searches share before they search: when they run, and their rules.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "strong/problem.h"
#include "strong/technique.h"

namespace velkin::strong {

using Bytes = std::string;

// The bytes of `w`; every letter must be below 256.
inline Bytes ToBytes(const Word& w) {
  Bytes b(w.size(), '\0');
  for (std::size_t i = 0; i < w.size(); ++i)
    b[i] = static_cast<char>(static_cast<unsigned char>(w[i]));
  return b;
}

// The word of `b`: the inverse of ToBytes.
inline Word ToWord(std::string_view b) {
  Word w(b.size());
  for (std::size_t i = 0; i < b.size(); ++i) w[i] = static_cast<unsigned char>(b[i]);
  return w;
}

// A rule as the loop searches take it.
struct SearchRule {
  Bytes l, r;
  bool strict;
  std::size_t index;  // in the problem's strict rules followed by its weak rules
};

// The rules of `p`, strict ones first, in the problem's order.
inline std::vector<SearchRule> SearchRules(const Problem& p) {
  std::vector<SearchRule> rules;
  for (const auto* set : {&p.strict, &p.weak})
    for (const Rule& r : *set)
      rules.push_back({ToBytes(r.lhs), ToBytes(r.rhs), set == &p.strict, rules.size()});
  return rules;
}

// Nothing to search in `p` for a loop search on byte words: a dependency pair problem or
// more than 256 letters (with a note), or no strict rule. nullopt when it may run.
inline std::optional<Result> NoLoopSearch(const Problem& p) {
  if (!p.IsRelative()) return Result::None("only for relative problems");
  if (p.alphabet.size() > 256) return Result::None("more than 256 letters");
  if (p.strict.empty()) return Result::None();
  return std::nullopt;
}

// `p`, or `p` with both sides of every rule reversed.
inline Problem MaybeReversed(const Problem& p, bool reversed) {
  Problem searched = p;
  if (reversed) {
    searched.strict = Reversed(p.strict);
    searched.weak = Reversed(p.weak);
  }
  return searched;
}

}  // namespace velkin::strong
