#include "strong/techniques/trivial.h"

#include <memory>

namespace velkin::strong {

namespace {

// The witness of the leaf: nothing beyond the problem itself.
class NoStrictRulesWitness : public Witness {
 public:
  std::string Technique() const override { return "no strict rules"; }

  // Holds when `before` has no strict rules (no pairs) and the step leaves nothing.
  std::string Recheck(const Problem& before, const std::vector<Problem>& after) const override {
    if (!after.empty()) return "the leaf leaves subproblems";
    if (!before.strict.empty())
      return std::to_string(before.strict.size()) +
             (before.IsDependencyPairs() ? " pairs" : " strict rules") + " are left";
    return "";
  }

  void Print(const Problem& before, std::vector<std::string>& lines) const override {
    lines.push_back(before.IsDependencyPairs()
                        ? "No pairs are left, so no derivation applies pairs infinitely often."
                        : "No strict rules are left, so no derivation uses them infinitely often.");
  }

  // The leaf in certificate form (strong/cpf.h).
  cpf::Written Certify(const Problem& before, const std::vector<Problem>&,
                       const std::vector<cpf::Fragment>&) const override {
    return before.IsDependencyPairs() ? cpf::NoPairs() : cpf::NoStrictRules();
  }
};

}  // namespace

Result ProveWithoutStrictRules(const Problem& p, const Budget&) {
  if (!p.strict.empty()) return Result::None();
  return Result::Proof(std::make_shared<NoStrictRulesWitness>());
}

}  // namespace velkin::strong
