// Match bounds on the right-hand sides of forward closures, proved by an automaton with
// heights, for standard problems (on R or on R^rev). No capacities but limits of its
// own: states, heights and the budget.
//
// The construction: empty right sides are expanded (l -> ε becomes l a -> a for every
// letter a), an end marker # is added with the rules l1 # -> r for every rule l1 l2 -> r
// (l1, l2 not empty), and an automaton that accepts every right side (heights 0) followed
// by any number of # (height 0) is completed: for every path q -> p reading a left side
// with heights, the right side is made readable from q to p at one more than the smallest
// height on that path. A completed automaton with finitely many heights proves that the
// rules are match-bounded on those words, hence terminating.
//
// The completion is a worklist over transitions: each new transition is looked at once,
// for the left-side paths whose newest transition it is, so the work follows the paths
// that are new rather than the whole automaton in every round.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "strong/technique.h"

namespace velkin::strong {

struct MatchBoundOptions {
  bool reversed = false;  // prove R^rev terminating (equivalent to R)
  // Also try the other direction, in turns with the first, until one succeeds.
  bool bothDirections = false;
  // Give up above this many transitions (the states are fewer: every state but the two
  // first is entered by a transition of its own). About 150 bytes each while completing,
  // per direction.
  std::size_t maxTransitions = 500000;
  int maxHeight = 12;  // give up when a completion asks for a larger height
  // How a missing right side r is added between the path's ends q and p at height h.
  enum class Reuse {
    None,           // a new chain of states from q to p
    FirstLetter,    // q -r[0]-> s when some s reads the rest of r into p, else a chain
    LongestSuffix,  // q -r[0..j)-> s through new states, for the longest proper suffix
                    // r[j..] that some s already reads into p
  };
  Reuse reuse = Reuse::LongestSuffix;
};

// The automaton of a match-bound proof. States are 0..states-1, 0 initial, 1 final.
// Letters are the problem's; the end marker is the letter alphabet.size().
class MatchBoundWitness : public Witness {
 public:
  struct Transition {
    int from;
    Symbol letter;
    int to;
    int height;
  };
  bool reversed = false;
  int bound = 0;  // the largest height
  int states = 0;
  std::vector<Transition> transitions;

  std::string Technique() const override { return "match bound"; }
  // Rebuilds the rules with end marker from `before` (standard, no empty left side) and
  // checks that every start word is accepted and that every path reading a left side
  // has its right side between the same states at one more than the path's smallest
  // height. `after` must be empty: the proof is a leaf.
  std::string Recheck(const Problem& before, const std::vector<Problem>& after) const override;
  // The bound, the rules with end marker, and every state and transition.
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
};

// Tries a match-bound proof of the standard problem `p`. Nothing (with a note) for other
// problems, a left side that is empty, or when a limit or the budget is reached. The
// same options and problem give the same automaton whatever the machine's speed (unless
// the budget runs out).
Result FindMatchBound(const Problem& p, const Budget& budget, const MatchBoundOptions& options);

// The rules an automaton is completed for: R (or R^rev) of the standard problem `p` with
// empty right sides expanded (l -> ε becomes l a -> a for every letter a), followed from
// `firstMarkerRule` on by the end-marker rules l1 # -> r for every rule l1 l2 -> r with
// l1, l2 not empty; # is the letter p.alphabet.size().
struct MarkedRules {
  std::vector<Rule> rules;
  std::size_t firstMarkerRule = 0;
};
MarkedRules BuildMarkedRules(const Problem& p, bool reversed);

}  // namespace velkin::strong
