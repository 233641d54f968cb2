// Usable rules of a dependency pair problem (P, R), for the reduction pairs.
//
// A word is a unary term (first letter outermost), so a pair u# -> v# w reads v#(w(x)).
// The usable rules U(P) are the least set of rules of R that holds every rule whose
// left side begins with a letter of some pair's right side after its first (marked)
// letter, or with a letter of the right side of a rule already in U(P). A rule with an
// empty left side could apply at any position: then every rule is usable.
//
// Why a reduction pair may orient U(P) only: the chains that a finite DP problem must
// rule out are the minimal ones (the words below the marked letter terminate; the
// transformation and the subterm criterion rest on that too). For a reduction pair whose
// weak order also orients c(x, y) -> x and c(x, y) -> y for a fresh binary c, the usable
// rules theorem for full termination (dependency pairs with Cε-compatible orders) says
// that every minimal chain maps to a chain of P ∪ U(P) ∪ Cε, where every pair step
// stays weak or strict and every R-step becomes weak. Natural matrices interpret
// c(x, y) as x + y and arctic ones as x ⊕ y (max): both orient Cε. Removing the strict
// pairs of P is then sound, and the subproblem keeps all of R.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "strong/problem.h"

namespace velkin::strong {

// The indices into p.weak (R) of the usable rules of the dependency pair problem p,
// ascending; every rule when p is not a dependency pair problem.
std::vector<int> UsableRules(const Problem& p);

// p with only its usable rules as R (p itself when every rule is usable).
Problem UsableRulesOnly(const Problem& p);

// What a reduction pair's search encodes when `usable` is set: p with only its usable
// rules, if that leaves out some rule; nullopt when p itself is to be searched.
std::optional<Problem> UsableRulesCut(const Problem& p, bool usable);

// For the re-check of a reduction pair that orients the usable rules only: "" when
// `before` is a dependency pair problem and `after` has the same rules R; then both
// are cut down to before's usable rules (the same indices). Else what is wrong.
std::string CutToUsableRules(Problem& before, Problem& after);

// The proof text's line for such a step: how many rules are usable, and which are not.
void PrintUsableRules(const Problem& before, std::vector<std::string>& lines);

}  // namespace velkin::strong
