// The dependency graph of a dependency pair problem (P, R), estimated, and its split
// into strongly connected components.
//
// Estimate: the right side t = b# t_2 ... t_m of a pair is capped from the right. Going
// from j = m down to 2, the suffix from t_j on becomes a variable when its letters up to
// the variable agree with some left side of R on their common length (so an R-step
// after the first letter could touch it). Only the letters before the variable are sure
// to stay. The left side u of the target pair is capped the same way with the right
// sides of R (the left sides of the inverse rules): only the letters before its
// variable can stand in every word that reaches a word starting with u. There is an
// arc from s -> t to u -> v when u agrees with the capped t and t with the capped u on
// their common lengths. Every real arc (some t w reaches a word starting with u by
// R-steps after the first letter) is an arc of the estimate.
//
// An infinite chain stays, from some point on, in one component and uses its arcs, so
// (P, R) is finite when every component with an arc inside is.
#pragma once

#include <string>
#include <vector>

#include "strong/technique.h"

namespace velkin::strong {

// The number of leading letters of `t` that no R-step after the first letter can change,
// by the capping above (at least 1 when t is not empty).
std::size_t StableLength(const Word& t, const std::vector<Rule>& rules);
// The number of leading letters of `u` that every word reaching a word u w by R-steps
// after the first letter starts with: the capping above with the rules inverted.
std::size_t StableLengthBackward(const Word& u, const std::vector<Rule>& rules);

// The estimated arcs: arcs[i] lists (ascending) every j with an arc from pair i to j.
// With `budget`, polled once per pair: when it has ended, the arcs are incomplete (the
// caller must check it before using them).
std::vector<std::vector<int>> EstimatedArcs(const Problem& p, const Budget* budget = nullptr);

// The components of a graph on 0..n-1 such that every arc goes from a component to
// itself or to a later one (a topological order of the condensation). Each component
// is strongly connected and maximal; its nodes ascending. Iterative: no recursion.
std::vector<std::vector<int>> Components(const std::vector<std::vector<int>>& arcs);

class DependencyGraphWitness : public Witness {
 public:
  // `components` partition the pairs, in an order in which arcs only go forward;
  // `kept[k]` says whether component k has a subproblem (the others have no arc inside).
  DependencyGraphWitness(std::vector<std::vector<int>> arcs,
                         std::vector<std::vector<int>> components, std::vector<bool> kept)
      : arcs_(std::move(arcs)), components_(std::move(components)), kept_(std::move(kept)) {}

  std::string Technique() const override { return "dependency graph"; }
  // Recomputes the estimate with separate, plain code and holds when the components
  // partition the pairs, every arc of the estimate goes forward in their order, every
  // component without a subproblem has no arc inside, and the subproblems are the kept
  // components' pairs (in order) with the same rules and letters.
  std::string Recheck(const Problem& before, const std::vector<Problem>& after) const override;
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
  // The step in certificate form (strong/cpf.h).
  cpf::Written Certify(const Problem& before, const std::vector<Problem>& after,
                       const std::vector<cpf::Fragment>& subproofs) const override;

 private:
  std::vector<std::vector<int>> arcs_;
  std::vector<std::vector<int>> components_;
  std::vector<bool> kept_;
};

// One subproblem per component with an arc inside; proved when there is none. Nothing
// when all pairs form one component (no progress), for a relative problem, and when the
// budget runs out.
Result DependencyGraph(const Problem& p, const Budget& budget);

}  // namespace velkin::strong
