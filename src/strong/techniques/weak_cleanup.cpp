#include "strong/techniques/weak_cleanup.h"

#include <algorithm>
#include <memory>

namespace velkin::strong {

namespace {

bool IsStrictRule(const Problem& p, const Rule& r) {
  return std::find(p.strict.begin(), p.strict.end(), r) != p.strict.end();
}

// Why weak rule `r` of `p` may be dropped, or "" when it may not.
std::string Trivial(const Problem& p, const Rule& r) {
  if (r.lhs == r.rhs) return "a step by it changes nothing";
  if (IsStrictRule(p, r)) return "it is also a strict rule";
  return "";
}

}  // namespace

std::string WeakCleanupWitness::RecheckStep(const Problem& before, const Problem& after) const {
  if (!before.IsRelative()) return "weak rules dropped from a dependency pair problem";
  if (dropped.empty()) return "drops no rule";
  if (!AscendingIndices(dropped, before.weak.size()))
    return "dropped rule indices out of range or not ascending";
  for (const int k : dropped)
    if (Trivial(before, before.weak[k]).empty())
      return "not a trivial weak rule: " + RuleText(before.alphabet, before.weak[k], true);
  if (!IsWithoutRules(after, before, {}, dropped))
    return "the subproblem is not the problem without the dropped rules";
  return "";
}

void WeakCleanupWitness::Print(const Problem& before, std::vector<std::string>& lines) const {
  for (int k : dropped)
    lines.push_back("drops " + RuleText(before.alphabet, before.weak[k], true) + " (" +
                    Trivial(before, before.weak[k]) + ")");
  lines.push_back("The problem terminates iff the one without these weak rules does, and a");
  lines.push_back("loop of either is a loop of the other.");
}

cpf::Written WeakCleanupWitness::CertifyStep(const Problem& before, const Problem& after,
                                             const cpf::Fragment& sub) const {
  return cpf::TrivialWeakRules(before, after, sub);
}

Result DropTrivialWeakRules(const Problem& p, const Budget&) {
  if (!p.IsRelative()) return Result::None();
  auto w = std::make_shared<WeakCleanupWitness>();
  for (std::size_t k = 0; k < p.weak.size(); ++k)
    if (!Trivial(p, p.weak[k]).empty()) w->dropped.push_back(static_cast<int>(k));
  if (w->dropped.empty()) return Result::None();
  Problem rest = WithoutRules(p, {}, w->dropped);
  return Result::Step(std::move(w), {std::move(rest)});
}

}  // namespace velkin::strong
