#include "strong/techniques/usable_rules.h"

#include <cassert>
#include <numeric>

namespace velkin::strong {

std::vector<int> UsableRules(const Problem& p) {
  std::vector<int> all(p.weak.size());
  std::iota(all.begin(), all.end(), 0);
  if (!p.IsDependencyPairs()) return all;
  for (const Rule& r : p.weak)
    if (r.lhs.empty()) return all;
  // The letters that a usable rule's left side may begin with, found by a worklist.
  std::vector<bool> reached(static_cast<std::size_t>(p.alphabet.size()), false);
  std::vector<Symbol> todo;
  const auto reach = [&](const Word& w, std::size_t from) {
    for (std::size_t i = from; i < w.size(); ++i)
      if (!reached[w[i]]) {
        reached[w[i]] = true;
        todo.push_back(w[i]);
      }
  };
  for (const Rule& pair : p.strict) reach(pair.rhs, 1);
  std::vector<bool> usable(p.weak.size(), false);
  while (!todo.empty()) {
    const Symbol a = todo.back();
    todo.pop_back();
    for (std::size_t k = 0; k < p.weak.size(); ++k)
      if (!usable[k] && p.weak[k].lhs.front() == a) {
        usable[k] = true;
        reach(p.weak[k].rhs, 0);
      }
  }
  std::vector<int> out;
  for (std::size_t k = 0; k < usable.size(); ++k)
    if (usable[k]) out.push_back(static_cast<int>(k));
  return out;
}

Problem UsableRulesOnly(const Problem& p) {
  const std::vector<int> keep = UsableRules(p);
  if (keep.size() == p.weak.size()) return p;
  Problem q = p;
  q.weak.clear();
  for (const int k : keep) q.weak.push_back(p.weak[k]);
  return q;
}

std::optional<Problem> UsableRulesCut(const Problem& p, bool usable) {
  if (!usable || !p.IsDependencyPairs()) return std::nullopt;
  Problem cut = UsableRulesOnly(p);
  if (cut.weak.size() == p.weak.size()) return std::nullopt;
  return cut;
}

std::string CutToUsableRules(Problem& before, Problem& after) {
  if (!before.IsDependencyPairs()) return "usable rules outside a dependency pair problem";
  if (!after.IsDependencyPairs() || after.weak != before.weak)
    return "usable rules: the subproblem's rules are not the problem's";
  before = UsableRulesOnly(before);
  after.weak = before.weak;
  return "";
}

void PrintUsableRules(const Problem& before, std::vector<std::string>& lines) {
  const std::vector<int> keep = UsableRules(before);
  lines.push_back("usable rules only: " + std::to_string(keep.size()) + " of " +
                  std::to_string(before.weak.size()) +
                  " rules begin with a letter that the pairs' right sides reach;");
  lines.push_back("only they decrease (the order orients c(x, y) -> x and -> y too). Not usable:");
  std::size_t next = 0;
  for (std::size_t k = 0; k < before.weak.size(); ++k) {
    if (next < keep.size() && keep[next] == static_cast<int>(k)) {
      ++next;
      continue;
    }
    lines.push_back("  " + RuleText(before.alphabet, before.weak[k]));
  }
  assert(next == keep.size());
}

}  // namespace velkin::strong
