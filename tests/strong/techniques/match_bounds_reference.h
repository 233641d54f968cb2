// The match-bound completion as it was first written: a naive fixpoint that walks every
// rule from every state in every round. Kept for the tests only, as a reference that the
// worklist completion is compared against.
#pragma once

#include <algorithm>
#include <cassert>
#include <climits>
#include <memory>
#include <utility>
#include <vector>

#include "strong/techniques/match_bounds.h"

namespace velkin::strong::reference {

struct FixpointOptions {
  bool reversed = false;
  std::size_t maxStates = 20000;
  int maxHeight = 12;
};

// The growing automaton with transitions indexed by (state, letter) both ways.
class Builder {
 public:
  explicit Builder(int letters) : letters_(letters) {
    AddState();
    AddState();
  }

  int states() const { return static_cast<int>(out_.size()) / letters_; }
  const std::vector<MatchBoundWitness::Transition>& transitions() const { return all_; }

  int AddState() {
    out_.resize(out_.size() + letters_);
    in_.resize(in_.size() + letters_);
    return states() - 1;
  }

  void Add(int from, Symbol a, int to, int h) {
    const int t = static_cast<int>(all_.size());
    all_.push_back({from, a, to, h});
    out_[static_cast<std::size_t>(from) * letters_ + a].push_back(t);
    in_[static_cast<std::size_t>(to) * letters_ + a].push_back(t);
  }

  // A chain from `from` to `to` reading w (not empty) at height h through new states.
  void Chain(int from, const Word& w, int to, int h) {
    assert(!w.empty());
    int at = from;
    for (std::size_t i = 0; i < w.size(); ++i) {
      const int next = i + 1 < w.size() ? AddState() : to;
      Add(at, w[i], next, h);
      at = next;
    }
  }

  // The ends p of the paths from q that read w, each with the smallest height on it.
  std::vector<std::pair<int, int>> Redexes(int q, const Word& w) const {
    std::vector<std::pair<int, int>> now{{q, INT_MAX}}, next;
    for (Symbol a : w) {
      next.clear();
      for (const auto& [s, m] : now)
        for (int t : out_[static_cast<std::size_t>(s) * letters_ + a])
          next.emplace_back(all_[t].to, std::min(m, all_[t].height));
      std::sort(next.begin(), next.end());
      next.erase(std::unique(next.begin(), next.end()), next.end());
      now.swap(next);
      if (now.empty()) break;
    }
    return now;
  }

  // True when w can be read from q to p on transitions of height h only.
  bool Readable(int q, const Word& w, int h, int p) const {
    std::vector<int> now{q}, next;
    for (Symbol a : w) {
      next.clear();
      for (int s : now)
        for (int t : out_[static_cast<std::size_t>(s) * letters_ + a])
          if (all_[t].height == h) next.push_back(all_[t].to);
      std::sort(next.begin(), next.end());
      next.erase(std::unique(next.begin(), next.end()), next.end());
      now.swap(next);
      if (now.empty()) return false;
    }
    return std::binary_search(now.begin(), now.end(), p);
  }

  // The highest state from which w without its first letter reads into p at height h,
  // or -1.
  int Shortcut(const Word& w, int h, int p) const {
    std::vector<int> now{p}, next;
    for (std::size_t i = w.size(); i-- > 1;) {
      next.clear();
      for (int s : now)
        for (int t : in_[static_cast<std::size_t>(s) * letters_ + w[i]])
          if (all_[t].height == h) next.push_back(all_[t].from);
      std::sort(next.begin(), next.end());
      next.erase(std::unique(next.begin(), next.end()), next.end());
      now.swap(next);
      if (now.empty()) return -1;
    }
    return now.back();
  }

 private:
  int letters_;  // the problem's letters and the end marker
  std::vector<MatchBoundWitness::Transition> all_;
  std::vector<std::vector<int>> out_, in_;  // per state and letter: transition numbers
};

// The completion as a plain fixpoint: every round walks every rule from every state.
inline Result FixpointMatchBound(const Problem& p, const Budget& budget,
                                 const FixpointOptions& options) {
  if (!p.IsStandard()) return Result::None("only for standard problems");
  if (p.strict.empty()) return Result::None();
  for (const Rule& r : p.strict)
    if (r.lhs.empty()) return Result::None("a rule with an empty left side");
  const MarkedRules m = BuildMarkedRules(p, options.reversed);
  const Symbol marker = p.alphabet.size();
  Builder a(marker + 1);
  a.Add(1, marker, 1, 0);
  for (std::size_t i = 0; i < m.firstMarkerRule; ++i) a.Chain(0, m.rules[i].rhs, 1, 0);

  int bound = 0;
  bool changed = true;
  while (changed) {
    changed = false;
    for (const Rule& r : m.rules) {
      const int known = a.states();  // states added meanwhile wait for the next rule
      for (int q = 0; q < known; ++q) {
        if (budget.Expired()) return Result::None("the budget ran out");
        for (const auto& [end, low] : a.Redexes(q, r.lhs)) {
          const int h = low + 1;
          if (h > options.maxHeight) return Result::None("height " + std::to_string(h) + " needed");
          bound = std::max(bound, h);
          if (a.Readable(q, r.rhs, h, end)) continue;
          changed = true;
          const int via = r.rhs.size() >= 2 ? a.Shortcut(r.rhs, h, end) : -1;
          if (via >= 0)
            a.Add(q, r.rhs[0], via, h);
          else
            a.Chain(q, r.rhs, end, h);
          if (static_cast<std::size_t>(a.states()) > options.maxStates)
            return Result::None("more than " + std::to_string(options.maxStates) + " states");
        }
      }
    }
  }
  auto w = std::make_shared<MatchBoundWitness>();
  w->reversed = options.reversed;
  w->bound = bound;
  w->states = a.states();
  w->transitions = a.transitions();
  return Result::Proof(w);
}

}  // namespace velkin::strong::reference
