#include "strong/certificate.h"

#include <utility>
#include <vector>

namespace velkin::strong::cpf {
namespace {

// The proof fragment of `node`'s problem, its subproblems' first.
Written FromNode(const ProofNode& node) {
  if (node.kind == Result::Kind::Nothing) return std::string("an open problem in the proof");
  if (const std::string bad = UnwritableName(node.problem.alphabet); !bad.empty()) return bad;
  if (!node.witness) return std::string("a step without a witness");
  std::vector<Problem> after;
  std::vector<Fragment> subproofs;
  for (const ProofNode& child : node.children) {
    Written w = FromNode(child);
    if (!Ok(w)) return w;
    after.push_back(child.problem);
    subproofs.push_back(std::get<Fragment>(std::move(w)));
  }
  Written w = node.witness->Certify(node.problem, after, subproofs);
  if (!Ok(w)) return node.witness->Technique() + ": " + std::get<std::string>(w);
  return w;
}

}  // namespace

Written FromProof(const ProofNode& root, const std::string& tool, const std::string& variable) {
  if (!root.Complete()) return std::string("the proof is not complete");
  Written w = FromNode(root);
  if (!Ok(w)) return w;
  return Document(root.problem, std::get<Fragment>(w), tool, variable);
}

}  // namespace velkin::strong::cpf
