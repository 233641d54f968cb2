// Words as byte strings for the loop searches: letter k is the byte k (alphabets of at
// most 256 letters), so that factor search, hashing and copying run on plain memory;
// and what the loop searches share before they search: when they run, and their rules.
#pragma once

#include <algorithm>
#include <cassert>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "strong/loop.h"
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

// A derivation from `start` by `steps` (an index into `rules`, a position) without the
// letters at both ends of `start` that no step reads: the same steps on a shorter word,
// positions moved by the letters cut on the left. Guarantees: the steps still apply, and
// when the last word contained `start`, the new last word contains the shorter one (the
// letters cut stay at the ends of every word, so the new words are the old ones without
// them).
inline void TrimLoop(Bytes& start, std::vector<std::pair<std::size_t, std::size_t>>& steps,
                     const std::vector<SearchRule>& rules) {
  std::size_t left = start.size(), right = start.size(), length = start.size();
  for (const auto& [rule, pos] : steps) {
    const SearchRule& r = rules[rule];
    left = std::min(left, pos);
    right = std::min(right, length - pos - r.l.size());
    length = length - r.l.size() + r.r.size();
  }
  if (steps.empty()) return;
  assert(left + right <= start.size());
  start = start.substr(left, start.size() - left - right);
  for (auto& step : steps) step.second -= left;
}

// The loop witness of `p` for the derivation from `start` (bytes of p's letters) by
// `steps` (an index into `rules`, a position), trimmed by TrimLoop first. Null when it
// does not replay, which is a bug of the search that found it.
inline std::shared_ptr<LoopWitness> TrimmedLoopWitness(
    const Problem& p, Bytes start, std::vector<std::pair<std::size_t, std::size_t>> steps,
    const std::vector<SearchRule>& rules, std::string foundBy) {
  TrimLoop(start, steps, rules);
  std::vector<std::size_t> ruleIndex, positions;
  for (const auto& [rule, pos] : steps) {
    ruleIndex.push_back(rules[rule].index);
    positions.push_back(pos);
  }
  return MakeLoopWitness(p, ToWord(start), ruleIndex, positions, std::move(foundBy));
}

}  // namespace velkin::strong
