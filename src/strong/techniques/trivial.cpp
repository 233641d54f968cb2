#include "strong/techniques/trivial.h"

#include <memory>

namespace velkin::strong {

std::string NoStrictRulesWitness::Technique() const {
  return "no strict rules";
}

std::string NoStrictRulesWitness::Recheck(const Problem& before,
                                          const std::vector<Problem>& after) const {
  if (!after.empty()) return "the leaf leaves subproblems";
  if (!before.strict.empty())
    return std::to_string(before.strict.size()) +
           (before.IsDependencyPairs() ? " pairs" : " strict rules") + " are left";
  return "";
}

void NoStrictRulesWitness::Print(const Problem& before, std::vector<std::string>& lines) const {
  lines.push_back(before.IsDependencyPairs()
                      ? "No pairs are left, so no derivation applies pairs infinitely often."
                      : "No strict rules are left, so no derivation uses them infinitely often.");
}

Result ProveWithoutStrictRules(const Problem& p, const Budget&) {
  if (!p.strict.empty()) return Result::None();
  return Result::Proof(std::make_shared<NoStrictRulesWitness>());
}

cpf::Written NoStrictRulesWitness::Certify(const Problem& before, const std::vector<Problem>& after,
                                           const std::vector<cpf::Fragment>& subproofs) const {
  (void)after;
  (void)subproofs;
  return before.IsDependencyPairs() ? cpf::NoPairs() : cpf::NoStrictRules();
}

}  // namespace velkin::strong
