// The certificate of a finished proof tree: the tree walked from the leaves up, each
// step written by its witness (Witness::Certify) around the certificates of its
// subproblems with the writers of strong/cpf.h.
#pragma once

#include <string>

#include "strong/cpf.h"
#include "strong/technique.h"

namespace velkin::strong::cpf {

// The certificate of `root`, a complete tree (ProofNode::Complete), or why there is
// none: every step of the tree must have a certifiable form, and every name of its
// problems, `tool` and `variable` must be writable in XML, else nothing is written.
Written FromProof(const ProofNode& root, const std::string& tool,
                  const std::string& variable = kDefaultVariable);

}  // namespace velkin::strong::cpf
