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
    None,             // a new chain of states from q to p
    FirstLetter,      // q -r[0]-> s when some s reads the rest of r into p, else a chain
    LongestSuffix,    // q -r[0..j)-> s through new states, for the longest proper suffix
                      // r[j..] that some s already reads into p
    PrefixAndSuffix,  // the same, and q -r[0..i)-> x for the longest proper prefix
                      // r[0..i) that q already reads: r[i..j) is added from x
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
// l1, l2 not empty; # is the letter p.alphabet.size(). `strict[k]`: a step by rule k
// must be one height above its redex; the others are weak (see MatchBoundRemoval).
// `origin[k]`: the problem's rule that rule k comes from, its index in p.strict, or
// p.strict.size() + its index in p.weak.
struct MarkedRules {
  std::vector<Rule> rules;
  std::size_t firstMarkerRule = 0;
  std::vector<bool> strict;
  std::vector<int> origin;
};
MarkedRules BuildMarkedRules(const Problem& p, bool reversed);

// ---- Match bounds as rule removal -------------------------------------------------------
//
// Heights 0..c for a fixed cap c. The rules D ⊆ R to remove are strict, every other rule
// (R \ D and S) is weak. A step at a redex whose smallest height is m (m = c for an empty
// left side) writes its right side at height m + 1 for a rule of D, where m + 1 ≤ c is
// required, and at min(m + 1, c) for a weak rule. An automaton over the letters with
// heights that reads every start word at height 0 from its initial to its final state
// and is compatible (every path q -> p reading a left side with smallest height m has a
// path q -> p reading the right side at the height above) carries every derivation from
// a start word: the lifted word stays readable. The vector (number of letters at height
// 0, ..., at height c - 1) then decreases lexicographically at every step at a redex
// below the cap, every D-step is one, and no step changes the vector otherwise: a
// derivation from a start word has finitely many D-steps.
//
// Start words: every word (any problem), or, for a standard problem only, the right
// sides of forward closures with the end-marker rules of FindMatchBound (empty right
// sides expanded as there), each marker rule as strict as its rule: D-steps are then
// finite on the right sides of forward closures, so if R \ D terminates, R terminates
// on them, hence everywhere. With every word as start words, an infinite R∪S derivation
// with infinitely many D-steps would start in a word, so R/S terminates if (R \ D)/S
// does. Never forward closures for a relative problem, where they prove nothing.
//
// On every word a rule l -> ε is not expanded: a path q -l-> s followed by a transition
// s -a/h-> p needs q -a/h-> p (the letter after the redex keeps its height), and for a
// rule of D the smallest height on the path below the cap, so the step removes a letter
// below the cap and writes none. A derivation with a letter appended to each word has
// the same steps, each redex followed by a letter, so this suffices. With D = R the step
// is a leaf: R/S terminates.
enum class StartWords {
  AllWords,         // every word over the problem's letters
  ForwardClosures,  // the right sides of forward closures (standard problems only)
};

struct MatchBoundRemovalOptions {
  bool reversed = false;  // the automaton is for R^rev/S^rev (equivalent to R/S)
  // Both directions at every cap, R first (`reversed` aside): cap 1 on R, on R^rev, cap 2
  // on R, ..., so that a small cap of one direction comes before the larger ones of the
  // other.
  bool bothDirections = false;
  StartWords start = StartWords::AllWords;
  // The caps tried, in this order. At each, D starts as every strict rule, and a rule
  // whose step would need height c + 1 becomes weak (with the rules made from it), the
  // completion going on where it was, until it is compatible with some rule left in D.
  std::vector<int> caps{1, 2, 3, 4, 6};
  // Only D = R: a rule that needs height c + 1 ends the attempt at that cap.
  bool removeAll = false;
  std::size_t maxTransitions = 200000;  // per cap tried
  MatchBoundOptions::Reuse reuse = MatchBoundOptions::Reuse::PrefixAndSuffix;
};

// The automaton of a match-bound rule removal: states 0..states-1, 0 initial; the final
// state is 0 for every word as start words (state 0 reads every letter at height 0 back
// into itself), 1 for forward closures.
class MatchBoundRemovalWitness : public Witness {
 public:
  using Transition = MatchBoundWitness::Transition;
  bool reversed = false;
  StartWords start = StartWords::AllWords;
  int cap = 1;               // heights 0..cap
  std::vector<int> removed;  // D: indices into the problem's strict rules, ascending
  int states = 0;
  std::vector<Transition> transitions;

  std::string Technique() const override { return "match-bound rule removal"; }
  // Rebuilds the rules from `before` with their strictness, and checks the start words,
  // the heights (0..cap), compatibility of every path reading a left side, and that
  // `after` is `before` without the removed rules (nothing when every strict rule is
  // removed). Refuses forward closures for a problem with weak rules.
  std::string Recheck(const Problem& before, const std::vector<Problem>& after) const override;
  // The cap, the start words, the rules (strict ones with ->, weak ones with ->=), every
  // transition, and the rules removed.
  void Print(const Problem& before, std::vector<std::string>& lines) const override;
  // A leaf <bounds> (after a string reversal when reversed) when the certifier can check
  // it: every word as start words, every rule removed and checked as strict, no empty
  // right side.
  cpf::Written Certify(const Problem& before, const std::vector<Problem>& after,
                       const std::vector<cpf::Fragment>& subproofs) const override;
};

// Tries a match-bound rule removal on the relative problem `p`. Nothing (with a note) for
// dependency pair problems, forward closures with weak rules, a strict rule with an empty
// left side, or when every cap failed or the budget ran out. The result does not depend on
// the machine's speed unless the budget runs out.
Result FindMatchBoundRemoval(const Problem& p, const Budget& budget,
                             const MatchBoundRemovalOptions& options);

}  // namespace velkin::strong
