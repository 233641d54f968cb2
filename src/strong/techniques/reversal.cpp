#include "strong/techniques/reversal.h"

#include <memory>

namespace velkin::strong {

Problem ReversedProblem(const Problem& p) {
  Problem r;
  r.kind = p.kind;
  r.alphabet = p.alphabet;
  r.strict = Reversed(p.strict);
  r.weak = Reversed(p.weak);
  return r;
}

std::string ReversalWitness::Technique() const {
  return "reversal";
}

std::string ReversalWitness::RecheckStep(const Problem& before, const Problem& after) const {
  if (!before.IsRelative()) return "reversal of a dependency pair problem";
  const Problem& q = after;
  if (!q.IsRelative()) return "reversal leaves a dependency pair problem";
  if (!(q.alphabet == before.alphabet)) return "reversal changes the alphabet";
  if (q.strict != Reversed(before.strict)) return "the strict rules are not the reversed ones";
  if (q.weak != Reversed(before.weak)) return "the weak rules are not the reversed ones";
  return "";
}

void ReversalWitness::Print(const Problem&, std::vector<std::string>& lines) const {
  lines.push_back("Both sides of every rule are reversed; the problem terminates iff the");
  lines.push_back(
      "reversed one does, and a loop of either, read backwards, is a loop of the other.");
}

Result Reverse(const Problem& p, const Budget&) {
  if (!p.IsRelative()) return Result::None();
  return Result::Step(std::make_shared<ReversalWitness>(), {ReversedProblem(p)});
}

cpf::Written ReversalWitness::CertifyStep(const Problem& before, const Problem& after,
                                          const cpf::Fragment& sub) const {
  return cpf::Reversal(before, after, sub);
}

}  // namespace velkin::strong
