// Certificates in CPF 2.1, the XML format that the termination competition's certifier
// reads. A string rewriting system is written as a term rewriting system over unary
// letters: the word a b c becomes the term a(b(c(x))), every side ends in the variable x,
// and the letter a# of a dependency pair problem is written as a marked symbol.
//
// Each proof step kind has one function here that takes plain data (the problems, the
// witness's numbers) and the already written proofs of its subproblems, and returns the
// step as a fragment of the certificate. Document() wraps the fragment of the whole
// proof with the input problem. The functions check the shape of what they are given
// (fragment kinds, dimensions) and return an error instead of writing a wrong file; the
// mathematics is checked by the certifier.
#pragma once

#include <gmpxx.h>

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "strong/problem.h"

namespace velkin::strong::cpf {

// What a fragment proves, which fixes the element that wraps it.
enum class FragmentKind {
  Termination,             // <trsTerminationProof> / <relativeTerminationProof>
  Nontermination,          // <trsNonterminationProof>: the strict rules alone loop
  RelativeNontermination,  // <relativeNonterminationProof>
  DpTermination,           // <dpProof>: the dependency pair problem is finite
};

// One proof element of a certificate, complete with its wrapping element.
struct Fragment {
  FragmentKind kind = FragmentKind::Termination;
  std::string xml;
};

// A fragment, or why none could be written.
using Written = std::variant<Fragment, std::string>;

inline bool Ok(const Written& w) {
  return std::holds_alternative<Fragment>(w);
}

// --- Plain data of the witnesses ------------------------------------------------------

// One letter's affine map x -> M x + c over numbers T: the naturals (+, ×) or the arctic
// numbers (max, +). `matrix` is given by rows: matrix[i][j] is the entry in row i,
// column j.
template <class T>
struct Map {
  std::vector<std::vector<T>> matrix;
  std::vector<T> constant;
};

// A matrix interpretation: one map per letter of the problem's alphabet (index =
// letter), all of dimension `dimension`.
template <class T>
struct Interpretation {
  int dimension = 1;
  std::vector<Map<T>> letters;
};

using NaturalMap = Map<mpz_class>;
using NaturalInterpretation = Interpretation<mpz_class>;

// An arctic number: a natural number, or -infinity when empty.
using Arctic = std::optional<mpz_class>;

// One letter's arctic map x -> M (x) x (+) c.
using ArcticMap = Map<Arctic>;
using ArcticInterpretation = Interpretation<Arctic>;

// One step of a looping derivation: `rule` applied with its left side starting at letter
// `position` (0 = the first letter) of the previous word, giving `result`. `weak` marks a
// step by a weak rule of a relative problem.
struct LoopStep {
  int position = 0;
  Rule rule;
  bool weak = false;
  Word result;
};

// A loop u ->+ p u q: the start word and the steps; the last result must be p u q.
struct Loop {
  Word start;
  std::vector<LoopStep> steps;
  Word prefix, suffix;  // p and q
};

// One strongly connected part of a dependency graph. A component that is a single pair
// without an arc to itself has no proof.
struct GraphComponent {
  std::vector<Rule> pairs;
  bool cyclic = false;            // has an arc inside: needs `proof`
  std::optional<Fragment> proof;  // DpTermination, for cyclic components
};

// --- Leaves -------------------------------------------------------------------------

// The relative (or standard) problem has no strict rule left.
Written NoStrictRules();

// The dependency pair problem has no pair left.
Written NoPairs();

// A strict rule has the empty word as its left side (written as a variable left side,
// which the certifier knows to be non-terminating). `relative`: the problem has weak rules.
Written EmptyLeftSide(bool relative);

// A loop of `problem` (a relative problem). Steps by weak rules are marked in the proof;
// at least one step must be by a strict rule.
Written LoopProof(const Problem& problem, const Loop& loop);

// --- Steps on relative problems -----------------------------------------------------

// Rule removal by a natural matrix interpretation that is monotone and weakly decreasing
// on every rule of `before` and strictly on the rules missing from `after`; `sub` proves
// that `after` terminates.
Written RuleRemoval(const Problem& before, const NaturalInterpretation& interpretation,
                    const Problem& after, const Fragment& sub);

// Removal of rules for a non-termination proof: `after` keeps some of the rules of
// `before`, and `sub` proves that `after` does not terminate.
Written RuleRemovalNontermination(const Problem& before, const Problem& after, const Fragment& sub);

// String reversal: `after` is `before` with every side reversed; `sub` proves it.
Written Reversal(const Problem& before, const Problem& after, const Fragment& sub);

// Relative termination shown by standard termination of R u S: `standard` is that
// problem, `sub` its termination proof. The certifier reads the proof of R u S as a
// proof of R/S (every step it accepts there takes all rules as weak ones); only
// termination is carried over.
Written RelativeAsStandard(const Problem& relative, const Problem& standard, const Fragment& sub);

// The dependency pair transformation: `before` is a standard problem, `dp` its
// dependency pair problem (pairs and rules), `sub` the proof that `dp` is finite.
Written DependencyPairs(const Problem& before, const Problem& dp, const Fragment& sub);

// --- Steps on dependency pair problems ------------------------------------------------

// An arc of a dependency graph: may a step by the first pair be followed by one by the
// second?
using ArcTest = std::function<bool(const Rule& from, const Rule& to)>;

// The dependency graph of `before` split into `components` (all pairs of `before`, each
// in one component). The certifier wants them in topological order (arcs lead from
// earlier to later components only); they are written in that order, computed with
// `arc`. Refused when the components are not the strongly connected parts of `arc`'s
// graph up to merging (an arc back to an earlier component, or a cyclic claim).
Written DependencyGraph(const Problem& before, const std::vector<GraphComponent>& components,
                        const ArcTest& arc);

// A reduction pair by a natural matrix interpretation (marked letters need no monotone
// first entry): weakly decreasing on every pair and rule, strictly on the pairs missing
// from `after`. With `usableRules`, both problems hold the usable rules of R only
// (strong/techniques/usable_rules.h), which the step lists as such (`redPairUrProc`).
Written ReductionPair(const Problem& before, const NaturalInterpretation& interpretation,
                      const Problem& after, const Fragment& sub, bool usableRules = false);

// The same with an arctic matrix interpretation.
Written ReductionPair(const Problem& before, const ArcticInterpretation& interpretation,
                      const Problem& after, const Fragment& sub, bool usableRules = false);
// The same over the arctic integers (entries may be negative).
Written ReductionPairIntegers(const Problem& before, const ArcticInterpretation& interpretation,
                              const Problem& after, const Fragment& sub, bool usableRules = false);

// The subterm criterion with every marked letter projected to its argument: the pairs
// of `before` missing from `after` (same rules) are the removed ones.
Written SubtermCriterion(const Problem& before, const Problem& after, const Fragment& sub);

// --- Match bounds (strong/techniques/match_bounds.h) --------------------------------

// A string automaton over letters with heights: a transition reads `letter` at `height`
// from `from` to `to`, a word's first letter first. States are 0..states-1.
struct HeightAutomaton {
  struct Transition {
    int from;
    Symbol letter;
    int height;
    int to;
  };
  int states = 0;
  int bound = 0;  // no height above it
  // States that read every letter at height 0 from one of them into one of them, so that
  // every word at height 0 is read from one of them; each is where a word may start.
  std::vector<int> accepting;
  std::vector<Transition> transitions;
};

// The leaf <bounds> (match bounds, start language all terms) for `problem`, whose every
// rule the certifier checks as strict: every path reading a left side has its right side
// between the same states one above the path's smallest height. A word's first letter is
// the outermost symbol, so a transition from -a/h-> to is the tree automaton's a_h(to) ->
// from, the states where a word starts are its final states, and the variable may stand
// for any state. Refused for a dependency pair problem, states or letters out of range,
// or a height above the bound.
// Also refused when BoundsCheckWork exceeds kMaxBoundsCheckWork: the certifier would not
// decide the certificate in reasonable time.
Written MatchBoundsOnAllWords(const Problem& problem, const HeightAutomaton& automaton);

// An estimate of the certifier's work on the <bounds> of `automaton` for every rule of
// `problem`, in steps of one transition or one state. For each left side it enumerates
// the liftings that some path reads, last letter first, testing each from scratch: the
// transitions of each of its letters are scanned, and the states that those of its last
// letter leave are united one at a time, each union walking the set so far. For each whole
// lifting it then gathers every state that some transition leaves, in the same way, and
// follows every path reading the lifting from its first letter on, each path scanning the
// next letter's transitions. Counting stops once past `limit` (the value returned is then
// above it).
double BoundsCheckWork(const Problem& problem, const HeightAutomaton& automaton, double limit);

// The most BoundsCheckWork that a certificate may take: about 45 s of the certifier built
// with -O1 (-O0 takes about twice as long). Measured on copies of corpus certificates, it
// took 0.34 to 0.46 microseconds each: 6 s for 17 million, 21.6 s for 63 million (the
// largest on a corpus sample that it certified), 61 s for 131 million and 106 s for 253
// million (one rule of an automaton of 1331 states, whose whole, 19 billion, it had not
// decided after 900 s).
inline constexpr double kMaxBoundsCheckWork = 1e8;

// --- The document ---------------------------------------------------------------------

// The variable that ends every side unless the input names another: the one of the
// problems of the termination problem database. The certifier compares rules letter by
// letter and variable by variable with those of the input it is given.
inline constexpr const char* kDefaultVariable = "x1";

// The whole certificate: `input` (the problem as read, relative or standard) and
// `proof`, its termination or non-termination proof. `tool` names the prover,
// `variable` is the variable of every side.
Written Document(const Problem& input, const Fragment& proof, const std::string& tool,
                 const std::string& variable = kDefaultVariable);

// Why a certificate cannot carry one of the names of `alphabet` or of `others` (a
// character that XML cannot hold), or "" when it can. (The certificate of a whole proof
// tree is written by strong/certificate.h.)
std::string UnwritableName(const Alphabet& alphabet,
                           std::initializer_list<std::string> others = {});

// --- Pieces (exposed for the witnesses and the tests) ---------------------------------

// The word `w` followed by the variable x, as a CPF term (Document renames x).
std::string Term(const Alphabet& alphabet, const Word& w);
// <rules> ... </rules> of `rules`.
std::string Rules(const Alphabet& alphabet, const std::vector<Rule>& rules);
// `s` with the five XML special characters escaped (Document and FromProof refuse names
// that XML cannot hold, so nothing else changes).
std::string Escape(const std::string& s);

}  // namespace velkin::strong::cpf

// --- Steps of the extended strategy ---------------------------------------------------
//
// Arctic rule removal, weights, trivial weak rules, context closure, labelling and
// splitting. Every relative step below takes and proves relative problems; only
// termination carries over where the certifier has no non-termination form (context
// closure, labelling, split).

namespace velkin::strong::cpf {

// Rule removal by an arctic matrix interpretation: every letter's map is x -> M x (its
// constant all -infinity: the certifier takes a unary arctic map as monotone only then)
// with a finite (1,1) entry and entries from the naturals; every rule of `before`
// decreases weakly, the rules missing from `after` strictly. `sub` proves `after`; a
// non-termination proof below is carried over as RuleRemovalNontermination.
Written ArcticRuleRemoval(const Problem& before, const ArcticInterpretation& interpretation,
                          const Problem& after, const Fragment& sub);
// The same over the arctic integers: entries may be negative, every (1,1) entry is finite
// and ≥ 0 (so every word's is a natural number).
Written ArcticRuleRemovalIntegers(const Problem& before, const ArcticInterpretation& interpretation,
                                  const Problem& after, const Fragment& sub);

// Weights w(a) >= 0 by letter as the natural interpretation of dimension 1 with the maps
// x -> x + w(a), for RuleRemoval and ReductionPair.
NaturalInterpretation WeightInterpretation(const std::vector<mpz_class>& weights);

// Dropping trivial weak rules: `after` is `before` without every weak rule l ->= l and
// every weak rule that is also a strict one, nothing else changed. Termination: the
// first kind as an <equalityRemoval>, the second as a <split> by the strict rules, whose
// second part has no strict rule left. Non-termination: carried over as a removal.
Written TrivialWeakRules(const Problem& before, const Problem& after, const Fragment& sub);

enum class ClosureSide {
  Left,   // a l -> a r
  Right,  // l a -> r a
  Both,   // a l b -> a r b
};

// Context closure of a relative problem by every letter that occurs in its rules (the
// certifier accepts exactly these letters): `after` holds the closed strict and weak
// rules (compared as sets). The left closure is a <flatContextClosure>; the right one is
// the left closure of the reversed problem between two reversals; both sides, left then
// right. Termination only.
Written ContextClosure(const Problem& before, ClosureSide side, const Problem& after,
                       const Fragment& sub);

// A letter of a labelled problem: `letter` of the problem before labelling, labelled by
// the letter `label` of that problem (root labelling) or by the number `value` of a
// finite model.
struct RootLabel {
  Symbol letter = 0;
  Symbol label = 0;
};
struct ModelLabel {
  Symbol letter = 0;
  int value = 0;
};

// Root labelling (the tiling of width 2): `labels[s]` says what letter s of `after` is;
// every letter of a side of `after` is labelled by its right neighbour, the last one by
// the letter that the variable stands for. The certifier wants every rule of `before`
// with the same first letter on both sides (a left context closure gives that) and, for
// every rule and every letter that occurs in `before`, the labelled rule in `after`
// (strict from strict, weak from weak). `sub` proves `after`, whose letters it writes
// by their names; they are written here as labelled letters. Termination only.
Written RootLabelling(const Problem& before, const std::vector<RootLabel>& labels,
                      const Problem& after, const Fragment& sub);

// A finite model of a unary signature: the carrier 0..size-1 and, for every letter a
// that occurs, values[a][k] = [a](k), the value of a w when w has the value k.
struct FiniteModel {
  int size = 1;
  std::vector<std::vector<int>> values;  // by letter; empty for letters that do not occur
};

// Semantic labelling with `model`: every letter labelled by the value of the rest of
// the word after it (the last one by the value the variable stands for). The certifier
// checks that [l](k) = [r](k) for every rule and k, and that `after` holds every
// labelled rule (strict from strict, weak from weak). Termination only.
Written ModelLabelling(const Problem& before, const FiniteModel& model,
                       const std::vector<ModelLabel>& labels, const Problem& after,
                       const Fragment& sub);

// Splitting by a set D of rules (`removed`): `first` is D / (every other rule), every
// rule of D strict whether it was strict or weak; `second` is (R \ D) / (S \ D). When
// both terminate, `before` does: finitely many D-steps, and after the last of them the
// rest. Both problems are compared with these as sets. Termination only.
Written Split(const Problem& before, const std::vector<Rule>& removed, const Problem& first,
              const Fragment& firstProof, const Problem& second, const Fragment& secondProof);

}  // namespace velkin::strong::cpf
