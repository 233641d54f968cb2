#include "strong/techniques/dependency_graph.h"

#include <algorithm>
#include <cassert>
#include <map>
#include <memory>

namespace velkin::strong {
namespace {

// The left sides of R as a trie, to ask "does some left side agree with this word on
// their common length?" in time linear in the word.
class LeftSides {
 public:
  // The trie of the rules' left sides, or of their right sides when `rightSides` (the
  // left sides of the inverse rules).
  explicit LeftSides(const std::vector<Rule>& rules, bool rightSides = false)
      : next_(1), ends_(1, false) {
    for (const Rule& r : rules) {
      int node = 0;
      for (Symbol s : rightSides ? r.rhs : r.lhs) {
        auto [it, fresh] = next_[node].try_emplace(s, static_cast<int>(next_.size()));
        if (fresh) {
          next_.emplace_back();
          ends_.push_back(false);
        }
        node = it->second;
      }
      ends_[node] = true;
    }
  }

  // True when some left side is a prefix of w[from, to) or has it as a prefix.
  bool Overlaps(const Word& w, std::size_t from, std::size_t to) const {
    int node = 0;
    if (ends_[node]) return true;
    for (std::size_t i = from; i < to; ++i) {
      auto it = next_[node].find(w[i]);
      if (it == next_[node].end()) return false;
      node = it->second;
      if (ends_[node]) return true;
    }
    return true;  // every trie node lies on the way to some left side
  }

 private:
  std::vector<std::map<Symbol, int>> next_;
  std::vector<bool> ends_;
};

std::size_t Stable(const Word& t, const LeftSides& lhs) {
  std::size_t end = t.size();
  for (std::size_t j = t.size(); j-- > 1;)
    if (lhs.Overlaps(t, j, end)) end = j;
  return end;
}

// True when a and b[0, n) agree on their common length.
bool AgreesWithPrefix(const Word& a, const Word& b, std::size_t n) {
  const std::size_t k = std::min(a.size(), n);
  return std::equal(a.begin(), a.begin() + k, b.begin());
}

}  // namespace

std::size_t StableLength(const Word& t, const std::vector<Rule>& rules) {
  return Stable(t, LeftSides(rules));
}

std::size_t StableLengthBackward(const Word& u, const std::vector<Rule>& rules) {
  return Stable(u, LeftSides(rules, /*rightSides=*/true));
}

std::vector<std::vector<int>> EstimatedArcs(const Problem& p, const Budget* budget) {
  const LeftSides lhs(p.weak), rhs(p.weak, /*rightSides=*/true);
  const int n = static_cast<int>(p.strict.size());
  std::vector<std::size_t> from(n), to(n);  // stable lengths of right and left sides
  for (int i = 0; i < n; ++i) {
    const Rule& pair = p.strict[i];
    from[i] = pair.rhs.empty() ? 0 : Stable(pair.rhs, lhs);
    to[i] = pair.lhs.empty() ? 0 : Stable(pair.lhs, rhs);
  }
  std::vector<std::vector<int>> arcs(n);
  for (int i = 0; i < n; ++i) {
    if (budget && budget->Expired()) break;
    const Word& t = p.strict[i].rhs;
    for (int j = 0; j < n; ++j) {
      const Word& u = p.strict[j].lhs;
      if (AgreesWithPrefix(u, t, from[i]) && AgreesWithPrefix(t, u, to[j])) arcs[i].push_back(j);
    }
  }
  return arcs;
}

std::vector<std::vector<int>> Components(const std::vector<std::vector<int>>& arcs) {
  // Tarjan's algorithm with an explicit stack of (node, next arc to follow).
  const int n = static_cast<int>(arcs.size());
  std::vector<int> index(n, -1), low(n, 0);
  std::vector<bool> on_stack(n, false);
  std::vector<int> stack;
  std::vector<std::pair<int, std::size_t>> calls;
  std::vector<std::vector<int>> out;
  int counter = 0;
  for (int root = 0; root < n; ++root) {
    if (index[root] >= 0) continue;
    calls.emplace_back(root, 0);
    while (!calls.empty()) {
      auto& [v, next] = calls.back();
      if (next == 0 && index[v] < 0) {
        index[v] = low[v] = counter++;
        stack.push_back(v);
        on_stack[v] = true;
      }
      if (next < arcs[v].size()) {
        const int w = arcs[v][next++];
        if (index[w] < 0) {
          calls.emplace_back(w, 0);  // invalidates v and next; they are not used below
        } else if (on_stack[w]) {
          low[v] = std::min(low[v], index[w]);
        }
        continue;
      }
      const int done = v;
      calls.pop_back();
      if (!calls.empty()) low[calls.back().first] = std::min(low[calls.back().first], low[done]);
      if (low[done] == index[done]) {
        std::vector<int> comp;
        int w;
        do {
          w = stack.back();
          stack.pop_back();
          on_stack[w] = false;
          comp.push_back(w);
        } while (w != done);
        std::sort(comp.begin(), comp.end());
        out.push_back(std::move(comp));
      }
    }
  }
  // Tarjan finishes a component after every component it reaches.
  std::reverse(out.begin(), out.end());
  return out;
}

Result DependencyGraph(const Problem& p, const Budget& budget) {
  if (!p.IsDependencyPairs()) return Result::None();
  std::vector<std::vector<int>> arcs = EstimatedArcs(p, &budget);
  if (budget.Expired()) return Result::None();  // the arcs may be incomplete
  std::vector<std::vector<int>> comps = Components(arcs);
  std::vector<bool> kept;
  std::vector<Problem> subs;
  for (const std::vector<int>& c : comps) {
    const bool inner =
        c.size() > 1 || std::binary_search(arcs[c[0]].begin(), arcs[c[0]].end(), c[0]);
    kept.push_back(inner);
    if (!inner) continue;
    Problem sub;
    sub.kind = ProblemKind::DependencyPairs;
    sub.alphabet = p.alphabet;
    sub.weak = p.weak;
    for (int i : c) sub.strict.push_back(p.strict[i]);
    subs.push_back(std::move(sub));
  }
  if (subs.size() == 1 && subs[0].strict.size() == p.strict.size()) return Result::None();
  auto w =
      std::make_shared<DependencyGraphWitness>(std::move(arcs), std::move(comps), std::move(kept));
  if (subs.empty()) return Result::Proof(std::move(w));
  return Result::Step(std::move(w), std::move(subs));
}

namespace {

// The re-check's own estimate: plain loops over all rules, no trie, no index.

// True when a and b agree on min(|a|, |b|) letters, b taken from position `from` up to `to`.
bool Agree(const Word& a, const Word& b, std::size_t from, std::size_t to) {
  for (std::size_t k = 0; k < a.size() && from + k < to; ++k)
    if (a[k] != b[from + k]) return false;
  return true;
}

// The letters of w that stay under steps after the first letter by rules l -> r
// (`inverse`: by r -> l), capped from the right.
std::size_t PlainStable(const Word& w, const std::vector<Rule>& rules, bool inverse) {
  std::size_t stable = w.size();
  for (std::size_t j = w.size(); j >= 2; --j)
    for (const Rule& r : rules)
      if (Agree(inverse ? r.rhs : r.lhs, w, j - 1, stable)) {
        stable = j - 1;
        break;
      }
  return stable;
}

// An arc from s -> t to u -> v needs a word t w that reaches some u w' by R-steps after
// the first letter: then t w starts with the letters of t that R-steps keep, and u w'
// with those of u that steps of the inverse rules keep (read backwards, the derivation
// goes from u w' to t w), so each word agrees with the other's stable part.
std::vector<std::vector<bool>> PlainArcs(const Problem& p) {
  const std::size_t n = p.strict.size();
  std::vector<std::vector<bool>> arc(n, std::vector<bool>(n, false));
  for (std::size_t i = 0; i < n; ++i) {
    const Word& t = p.strict[i].rhs;
    const std::size_t stable = PlainStable(t, p.weak, false);
    for (std::size_t k = 0; k < n; ++k) {
      const Word& u = p.strict[k].lhs;
      arc[i][k] = t.empty() || u.empty() ||
                  (Agree(u, t, 0, stable) && Agree(t, u, 0, PlainStable(u, p.weak, true)));
    }
  }
  return arc;
}

}  // namespace

std::string DependencyGraphWitness::Recheck(const Problem& before,
                                            const std::vector<Problem>& after) const {
  if (!before.IsDependencyPairs()) return "dependency graph: not a DP problem";
  const std::size_t n = before.strict.size();
  if (components_.size() != kept_.size()) return "dependency graph: malformed witness";
  std::vector<int> where(n, -1);
  for (std::size_t c = 0; c < components_.size(); ++c)
    for (int i : components_[c]) {
      if (i < 0 || static_cast<std::size_t>(i) >= n || where[i] >= 0)
        return "dependency graph: the components do not partition the pairs";
      where[i] = static_cast<int>(c);
    }
  if (std::find(where.begin(), where.end(), -1) != where.end())
    return "dependency graph: a pair in no component";
  const std::vector<std::vector<bool>> arc = PlainArcs(before);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) {
      if (!arc[i][j]) continue;
      if (where[j] < where[i] || (where[j] == where[i] && !kept_[where[i]]))
        return "dependency graph: the arc from pair " + std::to_string(i + 1) + " to pair " +
               std::to_string(j + 1) + " is possible but left out";
    }
  std::size_t next = 0;
  for (std::size_t c = 0; c < components_.size(); ++c) {
    if (!kept_[c]) continue;
    if (next >= after.size()) return "dependency graph: a component without its subproblem";
    const Problem& sub = after[next++];
    if (!sub.IsDependencyPairs() || sub.weak != before.weak ||
        sub.alphabet.names != before.alphabet.names || sub.alphabet.marks != before.alphabet.marks)
      return "dependency graph: a subproblem with other rules or letters";
    std::vector<Rule> pairs;
    for (int i : components_[c]) pairs.push_back(before.strict[i]);
    if (sub.strict != pairs) return "dependency graph: a subproblem is not its component's pairs";
  }
  if (next != after.size()) return "dependency graph: more subproblems than components";
  return "";
}

void DependencyGraphWitness::Print(const Problem& before, std::vector<std::string>& lines) const {
  const Alphabet& a = before.alphabet;
  lines.push_back("pairs, their capped sides (_ for the variable) and arcs:");
  const auto capped = [&](const Word& w, std::size_t stable) {
    std::string cap = WordText(a, Word(w.begin(), w.begin() + stable));
    return stable < w.size() ? cap + " _" : cap;
  };
  for (std::size_t i = 0; i < before.strict.size(); ++i) {
    const Rule& pair = before.strict[i];
    std::string to;
    for (int j : arcs_[i]) to += " " + std::to_string(j + 1);
    lines.push_back("  " + std::to_string(i + 1) + ": " + RuleText(a, pair) +
                    "    capped: " + capped(pair.lhs, StableLengthBackward(pair.lhs, before.weak)) +
                    " -> " + capped(pair.rhs, StableLength(pair.rhs, before.weak)) +
                    "    arcs to:" + (to.empty() ? " none" : to));
  }
  lines.push_back("components, arcs only forward:");
  for (std::size_t c = 0; c < components_.size(); ++c) {
    std::string members;
    for (int i : components_[c]) members += (members.empty() ? "" : " ") + std::to_string(i + 1);
    lines.push_back("  {" + members + "}" + (kept_[c] ? "" : "    no arc inside: finite"));
  }
}

cpf::Written DependencyGraphWitness::Certify(const Problem& before,
                                             const std::vector<Problem>& after,
                                             const std::vector<cpf::Fragment>& subproofs) const {
  std::vector<cpf::GraphComponent> components;
  std::size_t next = 0;  // the subproblem of the next kept component
  for (std::size_t k = 0; k < components_.size(); ++k) {
    cpf::GraphComponent c;
    for (const int i : components_[k]) c.pairs.push_back(before.strict.at(i));
    c.cyclic = kept_.at(k);
    if (c.cyclic) {
      if (next >= subproofs.size()) return std::string("fewer subproofs than components");
      c.proof = subproofs[next++];
    }
    components.push_back(std::move(c));
  }
  if (next != subproofs.size() || after.size() != subproofs.size())
    return std::string("more subproofs than components");
  // Arcs by pair: the pairs of a dependency pair problem are distinct.
  const cpf::ArcTest arc = [&](const Rule& from, const Rule& to) {
    for (std::size_t i = 0; i < before.strict.size(); ++i) {
      if (!(before.strict[i] == from)) continue;
      for (const int j : arcs_.at(i))
        if (before.strict.at(j) == to) return true;
    }
    return false;
  };
  return cpf::DependencyGraph(before, components, arc);
}

}  // namespace velkin::strong
