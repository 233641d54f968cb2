// The proof text of a finished proof tree (what a tree shows: TreeVerdict in
// strong/technique.h).
#pragma once

#include <string>
#include <vector>

#include "strong/technique.h"

namespace velkin::strong {

// Appends the problem's heading line and its rules, each rule indented by four.
void PrintProblem(const Problem& p, int number, std::vector<std::string>& lines);

// The whole tree, problems numbered 1, 2, ... in the order they are printed (a
// problem, its step, then each subproblem in full before the next): for every
// problem its rules, the technique of its step, the witness indented by two and the
// step's consequence; last, a line with the conclusion for problem 1.
std::vector<std::string> PrintProof(const ProofNode& root);

}  // namespace velkin::strong
