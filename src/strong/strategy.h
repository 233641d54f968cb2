// The strong strategy: roads (lists of techniques) raced on the run's cores under one
// budget; the first complete proof or disproof wins and stops the others.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/parsed_system.h"
#include "strong/certificate.h"  // the certificate of a result's proof
#include "strong/technique.h"

namespace velkin::strong {

// A technique as a road calls it.
using TechniqueFn = std::function<Result(const Problem&, const Budget&)>;

// One entry of a road.
struct RoadStep {
  std::string name;  // for notes ("matrices", ...)
  TechniqueFn run;
  // Run on the reversed problem; a step found there enters the tree behind a
  // reversal step (relative problems only; skipped for dependency pair problems).
  bool onReversed = false;
  // The technique gets at most this share of the time left when it starts (0 < share
  // <= 1), so that the entries after it keep some.
  double share = 1.0;
  // Its steps have a form that the certifier accepts (strong/cpf.h); --certified runs
  // only such steps.
  bool certifiable = true;
  // Only on the road's start problem: for a step that would apply again to what it
  // leaves.
  bool startOnly = false;
  // What the step leaves is solved within the step's share of the time, and when it is
  // not, the road goes on with the next step at this problem (else it is stuck there).
  bool backtracks = false;
};

// A road: at every problem of the proof, its steps are tried in order; the first that
// makes a (re-checked) step decides that problem, and its subproblems are solved the
// same way, one after the other.
struct Road {
  std::string name;
  std::function<bool(const Problem&)> applies;  // for the start problem
  std::vector<RoadStep> steps;
  // Its share of the time when the roads take turns on fewer threads: its quantum is
  // `weight` times the others' (>= 1); on a relative start problem (one with weak
  // rules), `relativeWeight` times (0: `weight`).
  int weight = 1;
  int relativeWeight = 0;
  // On a standard start problem of one rule, `oneRuleWeight` times (0: `weight`); on
  // another standard one where no rule makes a word longer, `keepingWeight` times.
  int oneRuleWeight = 0;
  int keepingWeight = 0;
  // A proof's leaf counts only when its witness writes a certificate (set by
  // CertifiableRoads: a certifiable step may still make a leaf the certifier cannot check
  // in reasonable time, which is then dropped as if the step had found nothing).
  bool leavesCertified = false;

  // The weight for `start`.
  int WeightFor(const Problem& start) const {
    if (relativeWeight > 0 && start.HasWeakRules()) return relativeWeight;
    if (oneRuleWeight > 0 && start.IsOneRule()) return oneRuleWeight;
    if (keepingWeight > 0 && start.IsStandard() && start.NoRuleGrows()) return keepingWeight;
    return weight;
  }
};

// The roads of the strong strategy for both kinds of start problem. Every road and
// every technique of the strategy is listed here and nowhere else.
std::vector<Road> StrongRoads();

// `roads` without the steps that have no certifiable form, and without the roads that
// are left with a single step by that or with steps that a road kept before has too;
// every road kept has `leavesCertified`.
std::vector<Road> CertifiableRoads(std::vector<Road> roads);

// The names of StrongRoads(), in their order.
std::vector<std::string> StrongRoadNames();

struct StrongOptions {
  double timeoutSeconds = 60;  // the whole run's budget, > 0
  int jobs = 0;                // threads for the race; 0: the number of cores
  // Set from outside to end the run early (optional).
  std::shared_ptr<std::atomic<bool>> stop;
  // Ends the run early too once nonzero (optional; a batch's signal flag, which must
  // outlive the run).
  const std::atomic<int>* outsideStop = nullptr;
  // With fewer jobs than roads, every road still runs on a thread of its own from the
  // start, but at most `jobs` of them at any moment: a road keeps the run for this
  // long (seconds, times its weight) while others wait, then yields where it next
  // polls its budget. 0: the default (50 ms).
  double quantumSeconds = 0;
  // Only steps with a certifiable form (CertifiableRoads), so that every answer comes
  // with a certificate.
  bool certified = false;
  // Only the roads of these names (StrongRoadNames); empty: every road. A name that no
  // road has selects nothing.
  std::vector<std::string> roads;
};

enum class StrongStatus { Terminating, LoopFound, NoProof };

struct StrongResult {
  StrongStatus status = StrongStatus::NoProof;
  ProofNode proof;                 // complete unless the status is NoProof
  std::string road;                // the road that won; "" for no proof
  std::vector<std::string> lines;  // the proof text; empty for no proof
  // For stderr: failed re-checks and internal errors always; what a technique said
  // about giving up (skipped, out of time) only when no road answered.
  std::vector<std::string> notes;
  bool timedOut = false;  // no proof, and the budget ran out
};

// Races `roads` on `start`. Guarantees: every step in the returned tree passed
// RecheckResult; a loop is accepted only for the start problem or through steps
// that keep loops (KeepsLoops); the call returns shortly after the budget ends, with
// all its threads joined.
StrongResult RunRoads(const Problem& start, const std::vector<Road>& roads,
                      const StrongOptions& options);

// RunRoads with StrongRoads() on the problem of a system as read.
StrongResult RunStrong(const ParsedSystem& parsed, const StrongOptions& options);

// True when a loop of `sub`, a subproblem that `step` (re-checked) left for `before`,
// is a loop of `before` as well: after a reversal (read backwards), or when every rule
// of `sub` is a rule of `before` that is strict there whenever it is strict in `sub`.
bool KeepsLoops(const Problem& before, const Witness& step, const Problem& sub);

}  // namespace velkin::strong
