#include "strong/strategy.h"

#include <algorithm>
#include <cassert>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

#include "model/time_limit.h"
#include "strong/loop.h"
#include "strong/print.h"
#include "strong/scheduler.h"
#include "strong/techniques/arctic.h"
#include "strong/techniques/arctic_removal.h"
#include "strong/techniques/bounded_derivations.h"
#include "strong/techniques/closures.h"
#include "strong/techniques/context_closure.h"
#include "strong/techniques/cycle_loops.h"
#include "strong/techniques/dependency_graph.h"
#include "strong/techniques/dependency_pairs.h"
#include "strong/techniques/derivation_loops.h"
#include "strong/techniques/lp_weights.h"
#include "strong/techniques/match_bounds.h"
#include "strong/techniques/matrix.h"
#include "strong/techniques/model_labelling.h"
#include "strong/techniques/pattern_rules.h"
#include "strong/techniques/relative_as_standard.h"
#include "strong/techniques/reversal.h"
#include "strong/techniques/sparse_tiling.h"
#include "strong/techniques/stripping.h"
#include "strong/techniques/subterm_criterion.h"
#include "strong/techniques/tiling.h"
#include "strong/techniques/trivial.h"
#include "strong/techniques/weak_cleanup.h"

namespace velkin::strong {

namespace {

bool IsRule(const std::vector<Rule>& rules, const Rule& r) {
  return std::find(rules.begin(), rules.end(), r) != rules.end();
}

bool Always(const Problem&) {
  return true;
}
bool Relative(const Problem& p) {
  return p.HasWeakRules();
}
bool OneRule(const Problem& p) {
  return p.IsOneRule();
}

// Match bounds on R and on R^rev in turns, until one of them is compatible, on the right
// sides of forward closures; then on every word, which the certifier reads, each
// direction in turn.
void AddMatchBoundSteps(std::vector<RoadStep>& steps) {
  MatchBoundOptions o;
  o.bothDirections = true;
  steps.push_back(RoadStep{
      "match bound", [o](const Problem& p, const Budget& b) { return FindMatchBound(p, b, o); },
      false, 1.0, /*certifiable=*/false});
  for (const bool reversed : {false, true}) {
    MatchBoundRemovalOptions all;
    all.reversed = reversed;
    all.removeAll = true;
    all.caps = {o.maxHeight};
    steps.push_back(RoadStep{
        reversed ? "match bound on every word, reversed" : "match bound on every word",
        [all](const Problem& p, const Budget& b) { return FindMatchBoundRemoval(p, b, all); },
        false, reversed ? 1.0 : 0.5});
  }
}

// Match-bound rule removal on R and on R^rev, one step of `share` of the time left: on
// the right sides of forward closures for a standard problem, on every word for a
// relative one. The caps go up in both directions at once (bothDirections: cap 1 on R,
// then on R^rev, cap 2 on R, ...), so that a small bound of R^rev is found before R
// tries its larger caps. On Trafo_06/dup12 the rule removal road alone spent 0.9 s of
// its 2.3 s on the caps up to 6 of R after an arctic step, where cap 1 of R^rev then
// removed every rule at once (now 1.8 s). In the race at 10 s, as many answers as the
// two steps of 0.05 each, R first: 352 against 351 of the 403 relative problems, 960
// against 961 of the 999 standard ones of several rules where some rule grows (each
// difference at 8 to 10 s, and either way in repeated runs). The certifier has no form
// for a removal of some rules.
void AddMatchBoundRemovalSteps(std::vector<RoadStep>& steps, double share) {
  steps.push_back(RoadStep{"match-bound rule removal",
                           [](const Problem& p, const Budget& b) {
                             MatchBoundRemovalOptions o;
                             o.bothDirections = true;
                             // On forward closures the suffix alone, as for the match bound,
                             // which answers more of a corpus sample so; on every word the
                             // prefix too, without which the completions of weak rules
                             // mostly grow without end.
                             const bool standard = p.IsStandard();
                             o.start =
                                 standard ? StartWords::ForwardClosures : StartWords::AllWords;
                             o.reuse = standard ? MatchBoundOptions::Reuse::LongestSuffix
                                                : MatchBoundOptions::Reuse::PrefixAndSuffix;
                             return FindMatchBoundRemoval(p, b, o);
                           },
                           false, share, /*certifiable=*/false});
}

// `run` within `share` of the time left of `b`.
Result WithinShare(double share, const Budget& b, const std::function<Result(const Budget&)>& run) {
  return run(b.WithinSeconds(share * std::max(0.0, b.SecondsLeft())));
}

// True for a standard problem where some rule makes a word longer.
bool StandardAndGrowing(const Problem& p) {
  return p.IsStandard() && !p.NoRuleGrows();
}

// A loop search from the start: the trivial loop, then on the forward road cycles among
// words of one length (all the road's time where no rule grows, since every loop is one
// then; otherwise a small part), on the reversed road every derivation from short words
// (a larger part where a weak rule inserts its right side anywhere; the search is the
// same on the reversed rules, so it runs once), deterministic derivations (cheap, and
// most of them end soon when they find nothing), then closures of R (or of R^rev).
std::vector<RoadStep> LoopSteps(bool reversed) {
  ClosureOptions o;
  o.reversed = reversed;
  DerivationLoopOptions d;
  d.reversed = reversed;
  std::vector<RoadStep> steps{
      RoadStep{"empty left side", [](const Problem& p, const Budget&) { return TrivialLoop(p); }}};
  if (!reversed)
    steps.push_back(RoadStep{"cycles", [](const Problem& p, const Budget& b) {
                               return WithinShare(
                                   // Every loop is a cycle then, which the search
                                   // finds as far as memory allows.
                                   p.NoRuleGrows() ? 1.0 : 0.1, b, [&](const Budget& s) {
                                     return FindLoopByCycles(p, s, CycleLoopOptions{});
                                   });
                             }});
  else
    steps.push_back(
        RoadStep{"derivations from short words", [](const Problem& p, const Budget& b) {
                   return WithinShare(HasEmptyLeftSide(p) ? 0.3 : 0.1, b, [&](const Budget& s) {
                     return FindLoopByBoundedDerivations(p, s, BoundedDerivationOptions{});
                   });
                 }});
  steps.push_back(
      RoadStep{reversed ? "derivations, reversed" : "derivations",
               [d](const Problem& p, const Budget& b) { return FindLoopByDerivation(p, b, d); },
               false, 0.2});
  steps.push_back(
      RoadStep{reversed ? "closures, reversed" : "closures",
               [o](const Problem& p, const Budget& b) { return FindLoopByClosures(p, b, o); }});
  return steps;
}

}  // namespace

bool KeepsLoops(const Problem& before, const Witness& step, const Problem& sub) {
  if (dynamic_cast<const ReversalWitness*>(&step)) return true;
  // Its loops are printed translated, as loops of `before` (RoadRun::Solve).
  if (dynamic_cast<const ContextClosureWitness*>(&step)) return true;
  // Stripped rules may loop where the rules do not, even when they happen to be rules.
  if (dynamic_cast<const StripWitness*>(&step)) return false;
  // Every derivation of `sub` is then one of `before`, its strict steps strict.
  if (!before.IsRelative() || !sub.IsRelative() || !(sub.alphabet == before.alphabet)) return false;
  for (const Rule& r : sub.strict)
    if (!IsRule(before.strict, r)) return false;
  for (const Rule& r : sub.weak)
    if (!IsRule(before.strict, r) && !IsRule(before.weak, r)) return false;
  return true;
}

namespace {

// A matrix step's name for notes: "matrices of dimension 2, 1 bit".
std::string SizedName(const std::string& what, int dimension, int bits) {
  return what + " of dimension " + std::to_string(dimension) + ", " + std::to_string(bits) +
         (bits == 1 ? " bit" : " bits");
}

// Rule removal by natural and arctic matrices, interleaved, smallest dimensions and widths
// first, the natural ones tried on the problem and on its reversal before the next.
// Arctic ones are tried on the problem only: transposing every letter's matrix turns an
// interpretation of the problem into one of its reversal that removes the same rules
// (products reverse, and the entrywise comparisons and the (1,1) entries stay), so the
// reversal's search is the same one again. The affine natural maps have no such twin: the
// constant vector sits on one side. Every entry gets an equal part of the time left,
// counting the `after` entries that follow the list.
// With `byDimension`, an entry's part is in proportion to its dimension instead.
//
// Relative problems (with weak rules) also get natural matrices of dimensions 5 and up
// with entries of one bit, upper triangular (values grow polynomially, and a third of the
// products is left): on the relative problems of a sample that the smaller sizes missed,
// they removed rules in well under a second where full ones of the same dimension took
// seconds or none at all. Their part of the time is in proportion to their dimension
// (in units of 2 on roads of equal parts).
// Relative problems also get arctic integers (entries from -1), of one bit mostly: after
// a context closure of ε ->= w beside deleting weak rules, the weak rules must hold both
// ways, which asks for matrices that one letter raises and another lowers; on the 98
// Waldmann_23 relative problems the closure and these alone proved 75 (dimensions 2 to
// 5), where the strategy had answered about half of the family.
// `triedFirst`: an arctic removal that the road tries on every problem before (the same
// search), so that its size is left out.
void AddMatrixSteps(std::vector<RoadStep>& steps, int after, bool byDimension = false,
                    const ArcticRemovalOptions* triedFirst = nullptr) {
  struct Size {
    bool arctic;
    int dimension, bits;
    bool triangular = false;  // natural, upper triangular, for relative problems only
    int belowZero = 0;        // arctic integers from -belowZero, for relative problems only
  };
  static constexpr Size kSizes[] = {
      {false, 1, 2},          {false, 1, 3},          {true, 2, 1, false, 1}, {true, 2, 2},
      {false, 2, 2},          {false, 2, 3},          {true, 3, 1, false, 1}, {true, 3, 2},
      {false, 3, 2},          {true, 2, 3},           {false, 3, 3},          {false, 5, 1, true},
      {true, 4, 1, false, 1}, {true, 4, 2},           {false, 4, 2},          {false, 4, 3},
      {true, 3, 3},           {false, 2, 4},          {true, 4, 2, false, 1}, {false, 3, 4},
      {false, 6, 1, true},    {true, 5, 1, false, 1}, {false, 8, 1, true}};
  std::vector<Size> sizes;
  for (const Size& size : kSizes)
    if (!triedFirst || !size.arctic || size.dimension != triedFirst->dimension ||
        size.bits != triedFirst->bits || size.belowZero != triedFirst->belowZero)
      sizes.push_back(size);
  const auto partOf = [byDimension](const Size& size) {
    if (byDimension) return size.dimension;
    return size.triangular ? size.dimension / 2 : 1;
  };
  // The parts of the entries not yet added: a natural size twice (as it is and
  // reversed), an arctic one once.
  int rest = 0;
  for (const Size& size : sizes) rest += (size.arctic ? 1 : 2) * partOf(size);
  for (const Size& size : sizes) {
    const std::string name = SizedName(size.belowZero    ? "arctic rule removal below zero"
                                       : size.arctic     ? "arctic rule removal"
                                       : size.triangular ? "triangular matrices"
                                                         : "matrices",
                                       size.dimension, size.bits);
    TechniqueFn run;
    if (size.arctic) {
      ArcticRemovalOptions o;
      o.dimension = size.dimension;
      o.bits = size.bits;
      o.belowZero = size.belowZero;
      run = [o](const Problem& p, const Budget& b) {
        return o.belowZero == 0 || Relative(p) ? ArcticRuleRemoval(p, b, o) : Result::None();
      };
    } else if (size.triangular) {
      MatrixOptions o;
      o.dimension = size.dimension;
      o.bits = size.bits;
      o.kind = MatrixKind::Triangular;
      run = [o](const Problem& p, const Budget& b) {
        return Relative(p) ? MatrixInterpretation(p, b, o) : Result::None();
      };
    } else {
      MatrixOptions o;
      o.dimension = size.dimension;
      o.bits = size.bits;
      run = [o](const Problem& p, const Budget& b) { return MatrixInterpretation(p, b, o); };
    }
    const int part = partOf(size);
    for (const bool reversed : {false, true}) {
      if (reversed && size.arctic) continue;
      steps.push_back(RoadStep{name + (reversed ? ", reversed" : ""), run, reversed,
                               static_cast<double>(part) / (rest + after)});
      rest -= part;
    }
  }
}

// The steps of a dependency pair problem after the graph: reduction pairs by natural and
// arctic matrices, interleaved, smallest first. Every entry gets up to three equal parts
// of the time left (below). On other problems these entries give nothing at once.
// `arcticOnly`: for roads whose matrix steps serve dependency pair problems already.
//
// The order follows what removed pairs on a sample of 84 known-terminating standard
// problems (every 17th, the dependency pair road alone for 3 s each): linear weights
// 19 times, arctic dimension 2 17 times, 3 seven, 1 four, natural dimension 2 twice in
// 24 s of tries, arctic 4 twice; natural dimensions 3 and 4 and the wider or larger
// arctic ones never, in 11 to 23 s each. Natural dimension 4 is left out.
// Arctic integers (below zero) follow the arctic naturals of dimensions 2 and 3: on the
// 24 standard problems that the strategy missed on a sample (every 10th), they proved one
// more and cost none.
// Arctic naturals of one bit (entries -∞, 0, 1) of dimensions 3 to 5 go before the two-bit
// ones of the same dimension: a larger dimension with smaller entries is often found
// where the wider entries' search runs out of its part (two-bit dimension 3 ran out after
// 6 s on three problems that one bit of dimension 4 or 5 proved in 0.1 to 0.7 s). On the
// 332 standard problems of two samples, the dependency pair road (not the reversal's)
// alone for 2.5 s: 91 proofs against 84 (8 new, 1 lost). Arctic integers of one bit
// (entries from -1) of dimensions 2 to 4, each after the one-bit naturals one dimension
// larger: 95 (5 more, 1 lost). The same holds in dimension 2: one bit of dimensions 2
// and 3 before two bits of dimension 2, whose search may take seconds to end
// unsatisfiable (4 s on a component of four pairs that one bit of dimension 3 then
// removed in 0.9 s): the two roads alone for 2.5 s on those problems, 92 and 97 proofs
// against 87 and 95 (7 new, none lost). One bit of dimension 4 goes before two bits of
// dimension 3 for the same reason: the dependency pair road alone for 2.5 s, 98 proofs
// against 97 (on Waldmann_19/random-554 two bits of dimension 3 ran 6.5 s without an
// answer, then one bit of dimension 4 removed the pairs in 0.4 s), none lost. Arctic
// integers of two bits in dimension 2 come after the other arctic sizes up to dimension 5:
// in those runs they took 27 s of tries without a step, and later they give 100 proofs
// against 98 (Waldmann_19/random-421 and Z_04/z111 new), none lost.
void AddReductionPairSteps(std::vector<RoadStep>& steps, bool arcticOnly) {
  struct Size {
    bool arctic;
    int dimension, bits;
    int belowZero = 0;  // arctic integers: the letters' entries from -belowZero
  };
  static constexpr Size kSizes[] = {
      {false, 1, 2},   {true, 1, 2},    {true, 2, 1}, {true, 3, 1},    {true, 2, 2},
      {true, 2, 1, 1}, {true, 4, 1},    {true, 3, 2}, {true, 3, 1, 1}, {false, 2, 2},
      {true, 5, 1},    {true, 4, 1, 1}, {true, 4, 2}, {true, 2, 3},    {true, 2, 2, 2},
      {false, 3, 2},   {true, 3, 2, 2}, {true, 5, 2}, {true, 3, 3}};
  std::vector<Size> sizes;
  for (const Size& size : kSizes)
    if (size.arctic || !arcticOnly) sizes.push_back(size);
  const int n = static_cast<int>(sizes.size());
  // An entry may take three equal parts of the time left: the small sizes mostly end at
  // once (unsatisfiable), and one that needs a little more than its equal part then
  // finds its interpretation, at the cost of the largest sizes, which rarely do. On the
  // 332 standard problems of two samples, each dependency pair road alone for 2.5 s (its
  // part of 10 s in the race): 123 proofs where equal parts gave 119 (5 new, 1 lost).
  constexpr double kStretch = 3;
  for (int k = 0; k < n; ++k) {
    const Size& size = sizes[k];
    const std::string name = SizedName(size.belowZero ? "arctic below zero"
                                       : size.arctic  ? "arctic"
                                                      : "matrices",
                                       size.dimension, size.bits);
    // Only the usable rules of R need to decrease.
    TechniqueFn run;
    if (size.arctic) {
      ArcticOptions o;
      o.dimension = size.dimension;
      o.bits = size.bits;
      o.belowZero = size.belowZero;
      o.usableRules = true;
      run = [o](const Problem& p, const Budget& b) { return ArcticInterpretation(p, b, o); };
    } else {
      MatrixOptions o;
      o.dimension = size.dimension;
      o.bits = size.bits;
      o.usableRules = true;
      run = [o](const Problem& p, const Budget& b) {
        return p.IsDependencyPairs() ? MatrixInterpretation(p, b, o) : Result::None();
      };
    }
    steps.push_back(RoadStep{name, run, false, std::min(1.0, kStretch / (n - k))});
  }
}

// The dependency pair road: DP(R) (of R^rev when `reversed`), then at every DP problem
// the graph first, so that it is recomputed after every removal, then reduction pairs.
RoadStep DependencyPairStep(bool reversed) {
  return RoadStep{reversed ? "dependency pairs, reversed" : "dependency pairs",
                  [](const Problem& p, const Budget&) { return DependencyPairs(p); }, reversed};
}

std::vector<RoadStep> DependencyPairSteps(bool reversed, const std::vector<RoadStep>& before) {
  std::vector<RoadStep> steps{RoadStep{"no strict rules", ProveWithoutStrictRules}};
  steps.insert(steps.end(), before.begin(), before.end());
  steps.insert(steps.end(),
               {DependencyPairStep(reversed), RoadStep{"dependency graph", DependencyGraph},
                RoadStep{"subterm criterion", SubtermCriterion}});
  AddReductionPairSteps(steps, false);
  return steps;
}

}  // namespace

std::vector<Road> StrongRoads() {
  const RoadStep trivial{"no strict rules", ProveWithoutStrictRules};
  const RoadStep asStandard{"relative as standard", RelativeAsStandard};
  // Trivial weak rules go before relative as standard: l ->= l, made strict, loops.
  const RoadStep cleanup{"trivial weak rules", DropTrivialWeakRules};
  // A rule with an empty left side is closed once, so that matrices can orient ε ->= w
  // as a ->= a w (or w a ->= a): on the left on one road, on the right on the other, since
  // on a sample of such problems either side proved some that the other did not.
  const auto closure = [](ClosureSide side) {
    ContextClosureOptions o;
    o.side = side;
    return RoadStep{side == ClosureSide::Left ? "left context closure" : "right context closure",
                    [o](const Problem& p, const Budget& b) { return ContextClosure(p, b, o); }};
  };
  // All rules strict, unless a weak rule's left side is a factor of its right side: then
  // that rule alone, made strict, loops, and the road goes on to rule removal instead.
  const RoadStep asStandardIfHope{
      "relative as standard", [](const Problem& p, const Budget& b) {
        for (const Rule& r : p.weak)
          if (std::search(r.rhs.begin(), r.rhs.end(), r.lhs.begin(), r.lhs.end()) != r.rhs.end())
            return Result::None();
        return RelativeAsStandard(p, b);
      }};
  // Weights by linear programming: cheap, and exact where bit-bounded matrices are not.
  const RoadStep weights{"weights",
                         [](const Problem& p, const Budget& b) { return LpWeights(p, b); }};
  // The graph goes first, so that a dependency pair problem is split again after every
  // removal (it gives nothing at once on other problems).
  const RoadStep graph{"dependency graph", DependencyGraph};
  // Pairs whose right side keeps a proper suffix of the left side's argument go before
  // any reduction pair: it costs a pass over the pairs.
  const RoadStep subterm{"subterm criterion", SubtermCriterion};
  // The steps that follow rule removal on a standard problem: dependency pairs, then
  // arctic reduction pairs (the matrix steps before serve as natural ones). Match
  // bounds and the loop searches are roads of their own, run from the start.
  std::vector<RoadStep> standardTail{DependencyPairStep(false)};
  AddReductionPairSteps(standardTail, true);

  // Rule removal first, on relative problems as they are; what it leaves of a
  // relative problem is then taken as standard.
  // A rule with an empty left side makes the closure's problem larger, on which the
  // matrices need more time: arctic matrices of dimension 3 try the problem as it is
  // first (on the 41 relative problems of a sample, one more answer, in 20 ms where the
  // closed problem took 3 s; none lost).
  ArcticRemovalOptions beforeClosure;
  beforeClosure.dimension = 3;
  beforeClosure.bits = 2;
  const RoadStep arcticBeforeClosure{"arctic rule removal before the closure",
                                     [beforeClosure](const Problem& p, const Budget& b) {
                                       return Relative(p) && HasEmptyLeftSide(p)
                                                  ? ArcticRuleRemoval(p, b, beforeClosure)
                                                  : Result::None();
                                     },
                                     false, 0.1};
  // Arctic integers of dimension 2 with one bit first, on every relative problem as it
  // is (before any closure): cheap. Alone, they proved five relative problems that two
  // samples had missed (ICFP_2010_relative, Mixed_relative_SRS) in 0.1 to 3.5 s, which
  // the matrices before them left no time for; in the race, with the weights below, two.
  ArcticRemovalOptions belowZeroFirst;
  belowZeroFirst.dimension = 2;
  belowZeroFirst.bits = 1;
  belowZeroFirst.belowZero = 1;
  const RoadStep arcticBelowZeroFirst{"arctic rule removal below zero, first",
                                      [belowZeroFirst](const Problem& p, const Budget& b) {
                                        return Relative(p) ? ArcticRuleRemoval(p, b, belowZeroFirst)
                                                           : Result::None();
                                      },
                                      false, 0.3};
  // Weights of the tiles of width 2 (the tiling, then weights on the labelled problem):
  // a linear program too, solved in a fraction of a second on the corpus's large
  // systems, and stronger than weights where the rules keep the letters' counts and
  // change their order.
  TilingOptions tileWeightsOptions;
  tileWeightsOptions.removers = {WeightsRemover()};
  const RoadStep tileWeights{"weights of tiles",
                             [tileWeightsOptions](const Problem& p, const Budget& b) {
                               return Tiling(p, b, tileWeightsOptions);
                             },
                             false, 0.2};
  std::vector<RoadStep> removal{trivial,
                                cleanup,
                                arcticBelowZeroFirst,
                                arcticBeforeClosure,
                                closure(ClosureSide::Left),
                                graph,
                                subterm,
                                weights,
                                tileWeights};
  AddMatchBoundRemovalSteps(removal, 0.1);
  AddMatrixSteps(removal, 1 + static_cast<int>(standardTail.size()), false, &belowZeroFirst);
  removal.push_back(asStandard);
  removal.insert(removal.end(), standardTail.begin(), standardTail.end());

  // A relative problem taken as standard at once, then the same removal.
  std::vector<RoadStep> standardFirst{
      trivial, cleanup, closure(ClosureSide::Right), graph, subterm, asStandardIfHope, weights};
  AddMatrixSteps(standardFirst, static_cast<int>(standardTail.size()), true);
  standardFirst.insert(standardFirst.end(), standardTail.begin(), standardTail.end());

  // Match bounds also from the start, so that they need not wait for every matrix; a
  // relative problem taken as standard first, without its trivial weak rules. Weights
  // before them take off the rules that a linear order removes (most rules of many
  // large systems): what is left needs a smaller automaton, which prints shorter and
  // which a certifier decides much faster (its check of a bound grows with the square of
  // the states). A system with a match bound keeps one without some of its rules. The
  // weights of tiles as well: on 10 of the 14 match-bound proofs of a sample whose
  // automata the certifier did not decide in a minute (ICFP_2010), they remove every
  // rule, in a proof that it checks.
  std::vector<RoadStep> matchBounds{trivial, cleanup, asStandard, weights, tileWeights};
  AddMatchBoundSteps(matchBounds);

  // A one-rule system stripped of the letters its sides share at both ends, then match
  // bounds on what is left and on its reversal.
  std::vector<RoadStep> stripped{
      trivial, RoadStep{"stripping", [](const Problem& p, const Budget& b) { return Strip(p, b); },
                        false, 1.0, false}};
  AddMatchBoundSteps(stripped);

  // Labelling: the tiling of width 2 and models found by the SAT solver, each followed by
  // rule removal on the labelled problem. On standard problems as well as relative ones:
  // of the 32 standard problems of the corpus that the race without it missed at 10 s and
  // a 2025 tool answered, this road alone proved four by the tiling (Trafo_06 un08 in
  // 0.6 s, un18 3.7 s, Waldmann_07_size12 num-452 3.5 s, Wenzel_16 baabababba 1.3 s).
  // There the tiling takes all the time left: in the race, one thread for 10 s, its part
  // of 0.4 gave the road too little of the thread, and on the 1658 standard problems of
  // the corpus the road added nothing (1582 answers either way); with all of it, 1585
  // (un08, un18 and num-452 new, none lost). The models after it get what it leaves.
  std::vector<RoadStep> labelling{trivial, cleanup, closure(ClosureSide::Left), weights};
  labelling.push_back(RoadStep{"tiling", [](const Problem& p, const Budget& b) {
                                 return WithinShare(p.IsStandard() ? 1.0 : 0.4, b,
                                                    [&](const Budget& s) { return Tiling(p, s); });
                               }});
  for (const bool quasi : {false, true})
    for (const int size : {2, 3}) {
      ModelLabellingOptions o;
      o.size = size;
      o.quasi = quasi;
      // A quasi-model has no certificate form.
      labelling.push_back(
          RoadStep{std::string(quasi ? "quasi-model" : "model") + " labelling of size " +
                       std::to_string(size),
                   [o](const Problem& p, const Budget& b) { return ModelLabelling(p, b, o); },
                   false, 0.3, !quasi});
    }

  // Sparse tiling for one-rule problems: the tiles of width 3, else 4, else 2 (each
  // width with its part of the time for the labelled problem, then the next), and the
  // dependency pair road on the labelled problem or on its reversal. On the one-rule
  // problems that the race missed at 10 s, the three widths (and either pair road)
  // proved six of the eleven, each within 0.6 to 4.4 s with three roads on one thread:
  // four by width 3, two by 2 (one of them by 3 as well), one by 4.
  // Their proofs vary widely with the solver's path: the same labelled problem with its
  // letters renumbered was proved in 5.5 s once in six tries of 10 s. The roads take
  // turns six times as long there: in the race at 10 s, 271 of the 279 one-rule problems
  // twice against 268 (three new, none lost); with width 2 before 4, 271 once and 270
  // twice (Wenzel_16 aabaaabaab at 9.1 s or past the limit, at 6.6 s now); turns twelve
  // times as long: 270.
  const auto sparseTiling = [](bool reversed) {
    std::vector<RoadStep> tilings;
    for (const auto& [width, share] : {std::pair{3, 0.4}, std::pair{4, 0.5}, std::pair{2, 1.0}}) {
      SparseTilingOptions o;
      o.width = width;
      RoadStep step{"sparse tiling of width " + std::to_string(width),
                    [o](const Problem& p, const Budget& b) { return SparseTiling(p, b, o); }, false,
                    share, /*certifiable=*/false};
      step.startOnly = true;
      step.backtracks = true;
      tilings.push_back(std::move(step));
    }
    return DependencyPairSteps(reversed, tilings);
  };

  // Match bounds first: with fewer threads than roads they get the first slice, which
  // their completion mostly needs only a small part of, or gives back at a limit.
  // The dependency pair roads take turns twice as long as the others: most standard
  // problems that the other roads do not answer early need their reduction pairs,
  // each of which needs seconds of its own on the harder components. They take relative
  // problems too, as standard ones (unless a weak rule loops alone): on the 41 relative
  // problems of a sample (every 10th) that gave four more answers, in 0.3 to 4 s, that
  // the relative-as-standard road reached only after its matrices, past the limit.
  // On relative problems rule removal is the road that most answers come from, while the
  // dependency pair roads only take the problem as standard: there the removal road
  // takes turns five times as long as the others, the dependency pair roads as long. On
  // the 81 relative problems of two samples, weight 3 gave two answers more than 1 did,
  // and 5 three more than 3 (ICFP_2010_relative, in 3.4 to 6.1 s), none lost, nor any of
  // the 98 Waldmann_23 problems or the 16 relative ones known not to terminate.
  // On one-rule standard problems the labelling road takes turns six times as long: of
  // the 279 in the corpus, the 267 that the race answered at 10 s came from match bounds
  // (stripped or not) and loops, all within 1.7 s, and none from labelling, which alone
  // proves Wenzel_16 baabababba in 1.3 s; so weighted, the race proves it in 2.7 s (3:
  // 3.9 s) and loses none of the 267. Weights of 6 or 12 for the dependency pair roads
  // as well gave nothing more.
  // On standard problems where no rule makes a word longer (most of them random systems
  // with sides of one length), the dependency pair roads take turns four times as long:
  // their arctic interpretations prove most of those that are not answered early, each
  // in seconds alone, while the loops and match bounds rarely need more than a second
  // there. On the 373 such problems of the corpus at 10 s, 357 answers against 355 with
  // weight 2 (Waldmann_19 random-332 and -554 new, none lost).
  constexpr int kDependencyPairWeight = 2, kRelativeRemovalWeight = 5, kPatternWeight = 3,
                kOneRuleLabellingWeight = 6, kSparseTilingWeight = 6, kKeepingPairWeight = 4;
  return {
      Road{"match bounds", Always, matchBounds},
      Road{"stripped match bounds", OneRule, stripped},
      Road{"rule removal", Always, removal, 1, kRelativeRemovalWeight},
      Road{"relative as standard", Relative, standardFirst},
      Road{"labelling", Always, labelling, 1, 0, kOneRuleLabellingWeight},
      Road{"loops", Always, LoopSteps(false)},
      Road{"loops, reversed", Always, LoopSteps(true)},
      // Non-termination without a loop, on standard problems where some rule grows (else
      // every infinite derivation loops). A road of its own: quick where it finds one (the
      // 10 problems of the corpus it answers took 0.01 to 0.5 s alone), and otherwise done
      // at its limit on the rules kept (about 0.5 s) or at 0.3 of the time, after which
      // its turns go to the other roads. Turns three times as long: with a tenth of the
      // time and plain turns, two of those 10 went unanswered at 10 s. Not for relative
      // problems: it answers none of the corpus, and on large ones it ran to its time
      // limit, which cost two or three answers of the other roads on each sample (found
      // at 3.4 to 8 s before). The search overlaps at both ends, so the reversal would find
      // the same again.
      Road{"pattern rules",
           StandardAndGrowing,
           {RoadStep{"pattern rules",
                     [](const Problem& p, const Budget& b) {
                       return FindPatternNontermination(p, b, PatternOptions{});
                     },
                     false, 0.3, /*certifiable=*/false}},
           kPatternWeight},
      Road{"dependency pairs", Always, DependencyPairSteps(false, {cleanup, asStandardIfHope}),
           kDependencyPairWeight, 1, 0, kKeepingPairWeight},
      Road{"dependency pairs of the reversal", Always,
           DependencyPairSteps(true, {cleanup, asStandardIfHope}), kDependencyPairWeight, 1, 0,
           kKeepingPairWeight},
      Road{"sparse tiling", OneRule, sparseTiling(false), 1, 0, kSparseTilingWeight},
      Road{"sparse tiling, pairs of the reversal", OneRule, sparseTiling(true), 1, 0,
           kSparseTilingWeight},
  };
}

namespace {

// The notes of a run for stderr, in the order made, each once.
struct Notes {
  struct Entry {
    std::string text;
    bool always;  // printed even when some road answered (a bug, not a lost race)
  };
  std::mutex mutex;
  std::vector<Entry> entries;
};

// One road's attempt under one budget.
class RoadRun {
 public:
  // `spare`: threads of the run that no road uses, which a step with several
  // independent subproblems may borrow (null: none).
  // `scheduler`: the turns the road's threads take (null: none).
  // `weight`: the road's weight for the start problem, which its helpers take turns with.
  RoadRun(const Road& road, Notes& notes, std::atomic<int>* spare = nullptr,
          Scheduler* scheduler = nullptr, int weight = 1)
      : road_(road), notes_(notes), spare_(spare), scheduler_(scheduler), weight_(weight) {}

  // The tree the road builds for `p` within `budget`. `loopsCount`: a loop of `p`
  // would be a loop of the start problem. `atStart`: p is the road's start problem.
  ProofNode Solve(const Problem& p, bool loopsCount, const Budget& budget, bool atStart = false) {
    ProofNode node;
    node.problem = p;
    for (const RoadStep& step : road_.steps) {
      if (budget.Expired()) return node;
      if (step.onReversed && !p.IsRelative()) continue;
      if (step.startOnly && !atStart) continue;
      // A step on the reversed problem enters the tree behind this reversal, which is
      // re-checked like every other step.
      Result reversal;
      if (step.onReversed) {
        reversal = Reverse(p, budget);
        if (const std::string error = RecheckResult(p, reversal);
            !error.empty() || reversal.subproblems.size() != 1) {
          Note("a reversal failed its re-check: " + error, true);
          continue;
        }
      }
      const Problem& target = step.onReversed ? reversal.subproblems[0] : p;
      const Budget sub = step.share >= 1
                             ? budget
                             : budget.Within(std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double>(
                                       step.share * std::max(0.0, budget.SecondsLeft()))));
      Result r;
      try {
        r = step.run(target, sub);
      } catch (const std::bad_alloc&) {
        Note(step.name + ": skipped, its search needs more memory than there is");
        continue;
      } catch (const std::exception& e) {
        Note(step.name + ": skipped after an internal error: " + e.what(), true);
        continue;
      }
      if (r.kind == Result::Kind::Nothing) {
        if (!r.note.empty()) Note(step.name + ": " + r.note);
        continue;
      }
      if (const std::string error = RecheckResult(target, r); !error.empty()) {
        // A bug in the technique: the step is dropped, never printed.
        Note(step.name + ": a step failed its re-check and was dropped: " + error, true);
        continue;
      }
      // A loop of a problem that does not carry back to the start proves nothing.
      if (r.kind == Result::Kind::Disproved && !loopsCount) continue;
      if (road_.leavesCertified && r.subproblems.empty()) {
        const cpf::Written leaf = r.witness->Certify(target, {}, {});
        if (!cpf::Ok(leaf)) {
          Note(step.name +
               ": its proof was dropped, it has no certificate: " + std::get<std::string>(leaf));
          continue;
        }
      }

      ProofNode done;
      done.problem = target;
      done.kind = r.kind;
      done.witness = r.witness;
      bool anyLoops = false;
      for (const Problem& q : r.subproblems)
        anyLoops = anyLoops || (loopsCount && KeepsLoops(target, *r.witness, q));
      const Budget& below = step.backtracks ? sub : budget;
      const bool parallel =
          !anyLoops && r.subproblems.size() > 1 && SolveInParallel(r.subproblems, below, done);
      if (!parallel)
        for (const Problem& q : r.subproblems) {
          const bool childLoops = loopsCount && KeepsLoops(target, *r.witness, q);
          done.children.push_back(Solve(q, childLoops, below));
          const Verdict v = TreeVerdict(done.children.back());
          if (v == Verdict::Disproved) {
            // The loop of this subproblem is one of `target`: the others do not matter.
            done.children = {std::move(done.children.back())};
            break;
          }
          if (v == Verdict::Open) break;  // the road is stuck here; the proof is lost
        }
      // A loop of a context closure is printed as the loop of `target` it is, so that
      // the reader checks it against target's own rules.
      if (dynamic_cast<const ContextClosureWitness*>(r.witness.get()) &&
          TreeVerdict(done) == Verdict::Disproved) {
        const auto loop = LoopOfDisproof(done);
        const Result carried = loop ? Result::Loop(loop) : Result::None();
        if (const std::string error = loop ? RecheckResult(target, carried) : "no loop to carry";
            !error.empty()) {
          Note(step.name + ": the loop of the closed problem failed its re-check: " + error, true);
          done = ProofNode{target, Result::Kind::Nothing, nullptr, {}};
        } else {
          done = ProofNode{target, Result::Kind::Disproved, carried.witness, {}};
        }
      }
      if (step.backtracks && TreeVerdict(done) == Verdict::Open) continue;
      if (!step.onReversed) return done;
      node.kind = Result::Kind::Transformed;
      node.witness = reversal.witness;
      node.children.push_back(std::move(done));
      return node;
    }
    return node;
  }

  // Adds a note for stderr, once, naming the road; `always`: see Notes::Entry.
  void Note(std::string text, bool always = false) {
    const std::lock_guard<std::mutex> lock(notes_.mutex);
    text = road_.name + " road: " + text;
    const auto same = [&](const Notes::Entry& e) { return e.text == text; };
    const auto it = std::find_if(notes_.entries.begin(), notes_.entries.end(), same);
    if (it == notes_.entries.end())
      notes_.entries.push_back(Notes::Entry{std::move(text), always});
    else
      it->always = it->always || always;
  }

 private:
  // Solves `subs` (none of whose loops would count) on this thread and as many spare
  // threads as it can borrow, into done.children; the first one left open stops the
  // others, since the proof is lost then. False, doing nothing, without a spare thread.
  bool SolveInParallel(const std::vector<Problem>& subs, const Budget& budget, ProofNode& done) {
    int borrowed = 0;
    if (spare_) {
      int have = spare_->load();
      const int want = static_cast<int>(subs.size()) - 1;
      while (have > 0 && !spare_->compare_exchange_weak(have, have - std::min(have, want))) {
      }
      borrowed = std::max(0, std::min(have, want));
    }
    if (borrowed == 0) return false;
    const auto stop = std::make_shared<std::atomic<bool>>(false);
    const Budget shared = budget.Child(stop);
    std::vector<ProofNode> kids(subs.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&](RoadRun& run) {
      for (std::size_t i; (i = next.fetch_add(1)) < subs.size();) {
        try {
          kids[i] = run.Solve(subs[i], false, shared);
        } catch (const std::exception& e) {  // as for a whole road: this part stays open
          run.Note(std::string("stopped: ") + e.what(), true);
        }
        if (TreeVerdict(kids[i]) != Verdict::Proved) stop->store(true);
      }
    };
    std::vector<std::unique_ptr<RoadRun>> runs;
    {
      // Under a scheduler the helpers take turns like the roads, and this thread holds
      // no token while it waits for them.
      Scheduler* const scheduler = scheduler_;
      std::vector<std::jthread> helpers;
      for (int t = 0; t < borrowed; ++t) {
        runs.push_back(std::make_unique<RoadRun>(road_, notes_, spare_, scheduler_, weight_));
        const int seat = scheduler ? scheduler->Add(weight_) : -1;
        helpers.emplace_back([&work, &shared, scheduler, seat, run = runs.back().get()] {
          std::optional<Scheduler::Seat> s;
          if (scheduler) s.emplace(*scheduler, seat, shared);
          work(*run);
        });
      }
      work(*this);
      const Scheduler::Pause pause(budget);
      helpers.clear();  // joins
    }
    spare_->fetch_add(borrowed);
    done.children = std::move(kids);
    return true;
  }

  const Road& road_;
  Notes& notes_;
  std::atomic<int>* spare_;
  Scheduler* scheduler_;
  int weight_;
};

// A runner's quantum under the scheduler when the options give none.
constexpr double kQuantumSeconds = 0.05;

Clock::duration Seconds(double s) {
  return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
}

}  // namespace

StrongResult RunRoads(const Problem& start, const std::vector<Road>& roads,
                      const StrongOptions& options) {
  assert(options.timeoutSeconds > 0);
  StrongResult result;
  const auto runStop = options.stop ? options.stop : std::make_shared<std::atomic<bool>>(false);
  // At most about three years, so that the clock's arithmetic cannot overflow.
  const double timeout = std::min(options.timeoutSeconds, kMaxTimeoutSeconds);
  const Budget run(Clock::now() + Seconds(timeout), runStop, options.outsideStop);

  std::vector<const Road*> entered;
  for (const Road& r : roads)
    if (!r.applies || r.applies(start)) entered.push_back(&r);
  const int roadCount = static_cast<int>(entered.size());
  const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  const int jobs = options.jobs > 0 ? options.jobs : cores;

  // Every road runs on a thread of its own from the start. With fewer jobs than roads
  // they share `jobs` run tokens, taking turns where they poll their budgets, so that
  // no road loses the work it has done; with enough jobs they all run at once.
  // Their SAT encodings then share the clauses that `jobs` roads running alone would
  // hold at most, so that the roads alive at once do not multiply the memory.
  std::shared_ptr<Scheduler> scheduler;
  std::shared_ptr<ClausePool> pool;
  if (jobs < roadCount) {
    scheduler = std::make_shared<Scheduler>(
        jobs, Seconds(options.quantumSeconds > 0 ? options.quantumSeconds : kQuantumSeconds));
    pool = std::make_shared<ClausePool>(
        static_cast<std::int64_t>(jobs) *
        std::max(MatrixOptions{}.maxClauses, ArcticOptions{}.maxClauses));
  }
  // Set by the winner: ends the losers, not the caller's flag.
  const auto raceStop = std::make_shared<std::atomic<bool>>(false);
  const Budget race = run.Child(raceStop).Sharing(scheduler, pool);
  // Threads beyond one per road: lent to steps with independent subproblems. Under
  // the scheduler, a road that ends while fewer roads than jobs are left frees one.
  std::atomic<int> spare{std::max(0, jobs - roadCount)};
  std::atomic<int> live{roadCount};
  std::vector<int> seats;
  if (scheduler)
    for (const Road* r : entered) seats.push_back(scheduler->Add(r->WeightFor(start)));

  Notes notes;
  bool won = false;  // guarded by notes.mutex
  const auto runRoad = [&](int k) {
    const Road& road = *entered[k];
    ProofNode tree;
    {
      std::optional<Scheduler::Seat> seat;
      if (scheduler) seat.emplace(*scheduler, seats[k], race);
      RoadRun attempt(road, notes, &spare, scheduler.get(), road.WeightFor(start));
      try {
        tree = attempt.Solve(start, true, race, true);
      } catch (const std::exception& e) {
        // Out of memory outside a technique, say: this road ends, the others go on.
        attempt.Note(std::string("stopped: ") + e.what(), true);
        tree = ProofNode{};
      }
    }
    const Verdict verdict = TreeVerdict(tree);
    if (scheduler && live.fetch_sub(1) - 1 < jobs) spare.fetch_add(1);
    {
      const std::lock_guard<std::mutex> lock(notes.mutex);
      if (verdict == Verdict::Open || won) return;
      won = true;
      raceStop->store(true);
      result.proof = std::move(tree);
      result.road = road.name;
      result.status =
          verdict == Verdict::Proved ? StrongStatus::Terminating : StrongStatus::LoopFound;
    }
    if (scheduler) scheduler->Wake();
  };
  {
    std::vector<std::jthread> pool;
    for (int k = 0; k < roadCount; ++k) pool.emplace_back(runRoad, k);
  }
  if (result.status != StrongStatus::NoProof)
    result.lines = PrintProof(result.proof);
  else
    result.timedOut = run.Expired();
  // The notes of roads that lost a race are noise once some road answered; failed
  // re-checks and internal errors are bugs, always worth reporting.
  for (const Notes::Entry& e : notes.entries)
    if (e.always || result.status == StrongStatus::NoProof) result.notes.push_back(e.text);
  return result;
}

std::vector<Road> CertifiableRoads(std::vector<Road> roads) {
  std::vector<Road> out;
  for (Road& road : roads) {
    const auto uncertifiable = [](const RoadStep& s) { return !s.certifiable; };
    const bool lost = std::any_of(road.steps.begin(), road.steps.end(), uncertifiable);
    road.steps.erase(std::remove_if(road.steps.begin(), road.steps.end(), uncertifiable),
                     road.steps.end());
    // A road left with one step (the trivial leaf every road starts with), or with
    // steps all of which a road kept before takes too, repeats what the others do.
    const auto covered = [&road](const Road& kept) {
      return std::all_of(road.steps.begin(), road.steps.end(), [&kept](const RoadStep& s) {
        return std::any_of(kept.steps.begin(), kept.steps.end(),
                           [&s](const RoadStep& k) { return k.name == s.name; });
      });
    };
    road.leavesCertified = true;
    if (!lost || (road.steps.size() > 1 && std::none_of(out.begin(), out.end(), covered)))
      out.push_back(std::move(road));
  }
  return out;
}

std::vector<std::string> StrongRoadNames() {
  std::vector<std::string> names;
  for (const Road& road : StrongRoads()) names.push_back(road.name);
  return names;
}

StrongResult RunStrong(const ParsedSystem& parsed, const StrongOptions& options) {
  std::vector<Road> roads = StrongRoads();
  if (!options.roads.empty())
    std::erase_if(roads, [&options](const Road& r) {
      return std::find(options.roads.begin(), options.roads.end(), r.name) == options.roads.end();
    });
  if (options.certified) roads = CertifiableRoads(std::move(roads));
  const Problem start = FromParsed(parsed);
  // Trivial weak rules are dropped before the roads are chosen, so that a problem whose
  // weak rules are all trivial gets the roads of a standard problem. The step keeps
  // loops both ways.
  const Result clean = DropTrivialWeakRules(start, Budget());
  if (clean.kind != Result::Kind::Transformed || !RecheckResult(start, clean).empty())
    return RunRoads(start, roads, options);
  StrongResult result = RunRoads(clean.subproblems[0], roads, options);
  if (result.status == StrongStatus::NoProof) return result;
  result.proof =
      ProofNode{start, Result::Kind::Transformed, clean.witness, {std::move(result.proof)}};
  result.lines = PrintProof(result.proof);
  return result;
}

}  // namespace velkin::strong
