#include "strong/techniques/relative_as_standard.h"

#include <memory>

namespace velkin::strong {

namespace {

// R followed by S, all strict.
std::vector<Rule> AllRules(const Problem& p) {
  std::vector<Rule> all = p.strict;
  all.insert(all.end(), p.weak.begin(), p.weak.end());
  return all;
}

// The witness carries nothing: the standard problem is determined by the relative one.
class RelativeAsStandardWitness : public Witness {
 public:
  std::string Technique() const override { return "relative as standard"; }

  // Holds when `before` is relative with weak rules, and `after` is the one standard
  // problem whose strict rules are before's strict rules followed by its weak ones.
  std::string Recheck(const Problem& before, const std::vector<Problem>& after) const override {
    if (!before.IsRelative() || before.weak.empty()) return "the problem has no weak rules";
    if (after.size() != 1) return "the step leaves " + std::to_string(after.size()) + " problems";
    const Problem& q = after[0];
    if (!q.IsStandard()) return "the problem left is not a standard one";
    if (!(q.alphabet == before.alphabet)) return "the step changes the alphabet";
    if (q.strict != AllRules(before)) return "the rules left are not R followed by S";
    return "";
  }

  void Print(const Problem& before, std::vector<std::string>& lines) const override {
    const std::size_t n = before.weak.size();
    lines.push_back((n == 1 ? std::string("The weak rule becomes")
                            : "The " + std::to_string(n) + " weak rules become") +
                    " strict: if all rules together terminate, so does the");
    lines.push_back("relative problem (only this way round).");
  }

  // The step in certificate form (strong/cpf.h).
  cpf::Written Certify(const Problem& before, const std::vector<Problem>& after,
                       const std::vector<cpf::Fragment>& subproofs) const override {
    if (after.size() != 1 || subproofs.size() != 1) return std::string("not one subproblem");
    return cpf::RelativeAsStandard(before, after[0], subproofs[0]);
  }
};

}  // namespace

Result RelativeAsStandard(const Problem& p, const Budget&) {
  if (!p.IsRelative() || p.weak.empty()) return Result::None();
  Problem q;
  q.alphabet = p.alphabet;
  q.strict = AllRules(p);
  return Result::Step(std::make_shared<RelativeAsStandardWitness>(), {std::move(q)});
}

}  // namespace velkin::strong
