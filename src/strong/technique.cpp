#include "strong/technique.h"

#include <utility>

namespace velkin::strong {

cpf::Written Witness::Certify(const Problem&, const std::vector<Problem>&,
                              const std::vector<cpf::Fragment>&) const {
  return "no certifiable form";
}

std::string OneStepWitness::Recheck(const Problem& before,
                                    const std::vector<Problem>& after) const {
  if (after.size() != 1) return "the step leaves " + std::to_string(after.size()) + " problems";
  return RecheckStep(before, after[0]);
}

cpf::Written OneStepWitness::Certify(const Problem& before, const std::vector<Problem>& after,
                                     const std::vector<cpf::Fragment>& subproofs) const {
  if (after.size() != 1 || subproofs.size() != 1) return std::string("not one subproblem");
  return CertifyStep(before, after[0], subproofs[0]);
}

Result Result::None(std::string note) {
  Result r;
  r.note = std::move(note);
  return r;
}

Result Result::Proof(std::shared_ptr<const Witness> w) {
  Result r;
  r.kind = Kind::Proved;
  r.witness = std::move(w);
  return r;
}

Result Result::Loop(std::shared_ptr<const Witness> w) {
  Result r;
  r.kind = Kind::Disproved;
  r.witness = std::move(w);
  return r;
}

Result Result::Step(std::shared_ptr<const Witness> w, std::vector<Problem> subproblems) {
  Result r;
  r.kind = Kind::Transformed;
  r.witness = std::move(w);
  r.subproblems = std::move(subproblems);
  return r;
}

std::string RecheckResult(const Problem& problem, const Result& result) {
  if (result.kind == Result::Kind::Nothing) return "";
  if (!result.witness) return "a result without a witness";
  if (result.kind != Result::Kind::Transformed && !result.subproblems.empty())
    return "a leaf with subproblems";
  return result.witness->Recheck(problem, result.subproblems);
}

bool ProofNode::Complete() const {
  return TreeVerdict(*this) != Verdict::Open;
}

Verdict TreeVerdict(const ProofNode& node) {
  if (node.kind == Result::Kind::Proved) return Verdict::Proved;
  if (node.kind == Result::Kind::Disproved) return Verdict::Disproved;
  // An open leaf, or a step whose subproblems are missing: nothing is shown.
  if (node.kind != Result::Kind::Transformed || node.children.empty()) return Verdict::Open;
  bool proved = true;
  for (const ProofNode& c : node.children) {
    const Verdict v = TreeVerdict(c);
    if (v == Verdict::Disproved) return node.children.size() == 1 ? v : Verdict::Open;
    if (v == Verdict::Open) proved = false;
  }
  return proved ? Verdict::Proved : Verdict::Open;
}

}  // namespace velkin::strong
