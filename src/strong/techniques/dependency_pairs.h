// The dependency pair transformation: a standard problem R becomes the dependency pair
// problem (DP(R), R), which is finite iff R terminates.
//
// Defined letters are the first letters of left sides; each gets a fresh marked letter
// a#. For every rule l -> r and every position j with r_j defined, DP(R) holds the pair
// l# -> (r_j ... r_m)#. A pair whose right side (before marking) is a proper suffix of
// its rule's left side is left out. That is sound: a non-terminating R gives a chain in
// which every pair step starts at a minimal non-terminating word (one whose proper
// suffixes all terminate); such a pair would lead from l w to a proper suffix of l w,
// which terminates, so the chain never uses it.
#pragma once

#include <string>
#include <vector>

#include "strong/technique.h"

namespace velkin::strong {

// Where a pair of DP(R) comes from: rule `rule` of R, right side from position `from`.
struct PairOrigin {
  int rule = 0;
  int from = 0;
  friend bool operator==(const PairOrigin&, const PairOrigin&) = default;
};

class DependencyPairsWitness : public OneStepWitness {
 public:
  DependencyPairsWitness(Alphabet after, std::vector<Rule> pairs, std::vector<PairOrigin> kept,
                         std::vector<PairOrigin> omitted)
      : after_(std::move(after)),
        pairs_(std::move(pairs)),
        kept_(std::move(kept)),
        omitted_(std::move(omitted)) {}

  std::string Technique() const override { return "dependency pairs"; }
  // Holds when `before` is standard with no empty left side, `after` is one DP problem
  // whose rules are exactly R, whose new letters are marked letters of distinct defined
  // letters, and whose pairs are DP(R) (each once) but for pairs with a proper suffix
  // of their left side as right side. Computed from scratch, not from this witness.
  std::string RecheckStep(const Problem& before, const Problem& after) const override;
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
  // The step in certificate form (strong/cpf.h).
  cpf::Written CertifyStep(const Problem& before, const Problem& after,
                           const cpf::Fragment& sub) const override;

 private:
  Alphabet after_;
  std::vector<Rule> pairs_;
  std::vector<PairOrigin> kept_;     // one per pair
  std::vector<PairOrigin> omitted_;  // the pairs left out
};

// The transformation of a standard problem. Nothing (with a note) for a relative
// problem with weak rules (the transformation is unsound there), for a rule with an
// empty left side (not terminating: the trivial step's business) and for a problem
// that already has marked letters.
Result DependencyPairs(const Problem& p);

}  // namespace velkin::strong
