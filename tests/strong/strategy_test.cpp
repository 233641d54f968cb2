// The strategy's race: deadlines and stop flags end it promptly, losers stop when a
// road wins, every road gets its share on too few threads, and nothing enters the
// tree without passing its re-check. The roads here are stand-ins whose timing the
// tests control.
#include "strong/strategy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "strong/print.h"
#include "strong/techniques/match_bounds.h"
#include "strong/techniques/relative_as_standard.h"
#include "strong_test_util.h"

namespace velkin::strong {
namespace {

using std::chrono::milliseconds;
using test::Plain;

// A witness that holds (or fails) whatever it is asked: stands in for a technique.
class FixedWitness : public Witness {
 public:
  explicit FixedWitness(std::string verdict = "") : verdict_(std::move(verdict)) {}
  std::string Technique() const override { return "test step"; }
  std::string Recheck(const Problem&, const std::vector<Problem>&) const override {
    return verdict_;
  }
  void Print(const Problem&, std::vector<std::string>& lines) const override {
    lines.push_back("(a test step)");
  }

 private:
  std::string verdict_;
};

// Spins until the budget ends; finds nothing.
Result Spin(const Problem&, const Budget& b) {
  while (!b.Expired()) std::this_thread::sleep_for(milliseconds(1));
  return Result::None();
}

// Proves the problem after working `d` without interruption; nothing when the
// budget ends first.
TechniqueFn ProveAfter(Clock::duration d) {
  return [d](const Problem&, const Budget& b) {
    const auto until = Clock::now() + d;
    while (Clock::now() < until)
      if (b.Expired())
        return Result::None();
      else
        std::this_thread::sleep_for(milliseconds(1));
    return Result::Proof(std::make_shared<FixedWitness>());
  };
}

Result LoopAtOnce(const Problem&, const Budget&) {
  return Result::Loop(std::make_shared<FixedWitness>());
}

double SecondsSince(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

StrongOptions Options(double timeout, int jobs) {
  StrongOptions o;
  o.timeoutSeconds = timeout;
  o.jobs = jobs;
  return o;
}

const Problem kProblem = Plain({"ab->ba"});

TEST(StrongStrategy, EndsAtItsDeadlineWithEveryRoadStopped) {
  const std::vector<Road> roads{{"one", nullptr, {{"spin", Spin}}},
                                {"two", nullptr, {{"spin", Spin}}},
                                {"three", nullptr, {{"spin", Spin}}}};
  for (int jobs : {1, 2, 3}) {
    SCOPED_TRACE(jobs);
    const auto start = Clock::now();
    const StrongResult r = RunRoads(kProblem, roads, Options(0.3, jobs));
    const double took = SecondsSince(start);
    EXPECT_EQ(r.status, StrongStatus::NoProof);
    EXPECT_TRUE(r.timedOut);
    EXPECT_TRUE(r.lines.empty());
    EXPECT_GE(took, 0.29);
    EXPECT_LT(took, 0.8);  // generous for a loaded machine
  }
}

TEST(StrongStrategy, TheFirstProofStopsTheLosersAndTheCallersFlagEndsTheRun) {
  const std::vector<Road> roads{{"slow", nullptr, {{"spin", Spin}}},
                                {"quick", nullptr, {{"prove", ProveAfter(milliseconds(100))}}},
                                {"slower", nullptr, {{"spin", Spin}}}};
  auto start = Clock::now();
  StrongResult r = RunRoads(kProblem, roads, Options(30, 3));
  EXPECT_LT(SecondsSince(start), 1.0);  // the spinning roads stopped at once
  EXPECT_EQ(r.status, StrongStatus::Terminating);
  EXPECT_EQ(r.road, "quick");
  EXPECT_FALSE(r.timedOut);
  EXPECT_FALSE(r.lines.empty());

  // The caller's flag, set from another thread, ends a run that nothing would win.
  StrongOptions o = Options(30, 2);
  o.stop = std::make_shared<std::atomic<bool>>(false);
  start = Clock::now();
  std::jthread stopper([flag = o.stop] {
    std::this_thread::sleep_for(milliseconds(100));
    flag->store(true);
  });
  r = RunRoads(kProblem, {roads[0], roads[2]}, o);
  EXPECT_LT(SecondsSince(start), 1.0);
  EXPECT_EQ(r.status, StrongStatus::NoProof);

  // So does a batch's signal flag, with the roads taking turns on one thread.
  std::atomic<int> signal{0};
  o = Options(30, 1);
  o.outsideStop = &signal;
  start = Clock::now();
  std::jthread interrupter([&signal] {
    std::this_thread::sleep_for(milliseconds(100));
    signal.store(2);
  });
  r = RunRoads(kProblem, {roads[0], roads[2]}, o);
  EXPECT_LT(SecondsSince(start), 1.0);
  EXPECT_EQ(r.status, StrongStatus::NoProof);
  EXPECT_TRUE(r.timedOut);
}

// Proves the problem after `polls` polls of its budget, each after 1 ms of work;
// nothing when the budget ends first. `calls` counts how often it was started.
TechniqueFn ProveAfterPolls(int polls, std::atomic<int>& calls) {
  return [polls, &calls](const Problem&, const Budget& b) {
    ++calls;
    for (int i = 0; i < polls; ++i) {
      if (b.Expired()) return Result::None();
      std::this_thread::sleep_for(milliseconds(1));
    }
    return Result::Proof(std::make_shared<FixedWitness>());
  };
}

// Polls until the budget ends, recording how many of its kind work at once between
// polls and how often it ran.
struct Crowd {
  std::atomic<int> active{0}, most{0}, turns{0};
  TechniqueFn Member() {
    return [this](const Problem&, const Budget& b) {
      while (!b.Expired()) {
        const int now = ++active;
        int m = most.load();
        while (m < now && !most.compare_exchange_weak(m, now)) {
        }
        ++turns;
        std::this_thread::sleep_for(milliseconds(1));
        --active;
      }
      return Result::None();
    };
  }
};

TEST(StrongStrategy, OnFewerJobsThanRoadsEveryRoadTakesTurnsWithoutStartingAgain) {
  // "patient" needs 300 polls of 1 ms and "greedy" would take all the time there is:
  // sharing one job, "patient" wins after about twice its own time, started once. A
  // road that gives up is not run again.
  std::atomic<int> quitterRuns{0}, patientRuns{0};
  const TechniqueFn quitter = [&](const Problem&, const Budget&) {
    ++quitterRuns;
    return Result::None();
  };
  const std::vector<Road> roads{
      {"greedy", nullptr, {{"spin", Spin}}},
      {"quitter", nullptr, {{"quit", quitter}}},
      {"patient", nullptr, {{"prove", ProveAfterPolls(300, patientRuns)}}}};
  StrongOptions o = Options(20, 1);
  o.quantumSeconds = 0.02;
  const auto start = Clock::now();
  const StrongResult r = RunRoads(kProblem, roads, o);
  EXPECT_EQ(r.status, StrongStatus::Terminating);
  EXPECT_EQ(r.road, "patient");
  EXPECT_EQ(quitterRuns.load(), 1);
  EXPECT_EQ(patientRuns.load(), 1);
  EXPECT_LT(SecondsSince(start), 3.0);
}

TEST(StrongStrategy, NoMoreTechniquesWorkAtOnceThanJobsAndEveryRoadGetsTurns) {
  for (const int jobs : {1, 2}) {
    SCOPED_TRACE(jobs);
    std::vector<Crowd> crowds(6);
    std::vector<Road> roads;
    for (std::size_t k = 0; k < crowds.size(); ++k)
      roads.push_back(Road{"road " + std::to_string(k), nullptr, {{"poll", crowds[k].Member()}}});
    Crowd all;  // the same, counted over every road
    roads.push_back(Road{"all", nullptr, {{"poll", all.Member()}}});
    StrongOptions o = Options(0.5, jobs);
    o.quantumSeconds = 0.01;
    const StrongResult r = RunRoads(kProblem, roads, o);
    EXPECT_EQ(r.status, StrongStatus::NoProof);
    EXPECT_TRUE(r.timedOut);
    for (const Crowd& c : crowds) EXPECT_GT(c.turns.load(), 3);
    EXPECT_GT(all.turns.load(), 3);
  }
  // Across roads: one crowd shared by all of them.
  for (const int jobs : {1, 3}) {
    SCOPED_TRACE(jobs);
    Crowd crowd;
    std::vector<Road> roads(7, Road{"member", nullptr, {{"poll", crowd.Member()}}});
    StrongOptions o = Options(0.4, jobs);
    o.quantumSeconds = 0.01;
    RunRoads(kProblem, roads, o);
    EXPECT_LE(crowd.most.load(), jobs);
    EXPECT_GT(crowd.turns.load(), 20);
  }
}

TEST(StrongStrategy, AStopEndsWaitingRoadsAtOnceWhileTheHolderDoesNotPoll) {
  std::atomic<int> ended{0};
  std::atomic<double> lastWaiterEnd{0};
  const auto start = Clock::now();
  const TechniqueFn sleeper = [](const Problem&, const Budget&) {
    std::this_thread::sleep_for(milliseconds(500));  // holds its token all along
    return Result::None();
  };
  const TechniqueFn waiter = [&](const Problem&, const Budget& b) {
    while (!b.Expired()) std::this_thread::sleep_for(milliseconds(1));
    ++ended;
    lastWaiterEnd = SecondsSince(start);
    return Result::None();
  };
  std::vector<Road> roads{{"sleeper", nullptr, {{"sleep", sleeper}}}};
  for (int k = 0; k < 5; ++k) roads.push_back(Road{"waiter", nullptr, {{"wait", waiter}}});
  StrongOptions o = Options(30, 1);
  o.stop = std::make_shared<std::atomic<bool>>(false);
  std::jthread stopper([flag = o.stop] {
    std::this_thread::sleep_for(milliseconds(100));
    flag->store(true);
  });
  const StrongResult r = RunRoads(kProblem, roads, o);
  EXPECT_EQ(r.status, StrongStatus::NoProof);
  // The waiters never got a turn before the stop: they end without running.
  EXPECT_EQ(ended.load(), 0);
  EXPECT_LT(SecondsSince(start), 1.5);  // the sleeper's 0.5 s, then nothing more
}

TEST(StrongStrategy, BorrowedThreadsTakeTurnsUnderTheSameJobs) {
  // Two roads give up at once, leaving a spare job; the third splits its problem in
  // three, solved on the spare thread too, never more than two at once.
  const TechniqueFn split = [](const Problem& p, const Budget& b) {
    std::this_thread::sleep_for(milliseconds(50));
    if (b.Expired() || !(p.strict == kProblem.strict)) return Result::None();
    return Result::Step(std::make_shared<FixedWitness>(),
                        {Plain({"aab->ba"}), Plain({"abb->ba"}), Plain({"abc->ba"})});
  };
  std::atomic<int> polls{0};
  const TechniqueFn part = [&](const Problem& p, const Budget& b) {
    if (p.strict == kProblem.strict) return Result::None();
    for (int i = 0; i < 50; ++i) {
      if (b.Expired()) return Result::None();
      ++polls;
      std::this_thread::sleep_for(milliseconds(1));
    }
    return Result::Proof(std::make_shared<FixedWitness>());
  };
  const TechniqueFn quit = [](const Problem&, const Budget&) { return Result::None(); };
  const std::vector<Road> roads{{"quit", nullptr, {{"quit", quit}}},
                                {"split", nullptr, {{"split", split}, {"part", part}}},
                                {"quit too", nullptr, {{"quit", quit}}}};
  StrongOptions o = Options(10, 2);
  o.quantumSeconds = 0.005;
  const StrongResult r = RunRoads(kProblem, roads, o);
  ASSERT_EQ(r.status, StrongStatus::Terminating);
  EXPECT_EQ(r.proof.children.size(), 3u);
  EXPECT_EQ(polls.load(), 150);
}

TEST(StrongStrategy, OneJobAnswersAsEnoughJobsDoOnSmallProblems) {
  for (const auto& rules : std::vector<std::vector<std::string>>{{"ab->ba"},
                                                                 {"aab->baa", "b->"},
                                                                 {"ab->bba"},
                                                                 {"a->aa"},
                                                                 {"ab->bab"},
                                                                 {"a->b", "b->c"}}) {
    SCOPED_TRACE(rules[0]);
    const Problem p = Plain(rules);
    const StrongResult many = RunRoads(p, StrongRoads(), Options(10, 16));
    const StrongResult one = RunRoads(p, StrongRoads(), Options(10, 1));
    EXPECT_NE(many.status, StrongStatus::NoProof);
    EXPECT_EQ(one.status, many.status);
  }
}

TEST(StrongStrategy, AStepThatFailsItsRecheckIsDroppedWithANote) {
  const TechniqueFn liar = [](const Problem&, const Budget&) {
    return Result::Proof(std::make_shared<FixedWitness>("a matrix entry is off"));
  };
  StrongResult r = RunRoads(kProblem, {{"liar", nullptr, {{"lie", liar}}}}, Options(5, 1));
  EXPECT_EQ(r.status, StrongStatus::NoProof);
  EXPECT_FALSE(r.timedOut);
  ASSERT_EQ(r.notes.size(), 1u);
  EXPECT_NE(r.notes[0].find("re-check"), std::string::npos) << r.notes[0];
  EXPECT_NE(r.notes[0].find("a matrix entry is off"), std::string::npos);

  // The road goes on with its next technique, which holds.
  r = RunRoads(kProblem,
               {{"mixed", nullptr, {{"lie", liar}, {"prove", ProveAfter(milliseconds(0))}}}},
               Options(5, 1));
  EXPECT_EQ(r.status, StrongStatus::Terminating);
  EXPECT_EQ(r.proof.witness->Recheck(kProblem, {}), "");
  EXPECT_EQ(r.notes.size(), 1u);
}

TEST(StrongStrategy, ALoopCountsOnlyWhenItCarriesBackToTheStartProblem) {
  const Problem rel = Plain({"a->c", "c->=cc"});
  // After "relative as standard" a loop may use weak rules only: not accepted.
  StrongResult r = RunRoads(
      rel, {{"as standard", nullptr, {{"as standard", RelativeAsStandard}, {"loop", LoopAtOnce}}}},
      Options(5, 1));
  EXPECT_EQ(r.status, StrongStatus::NoProof);
  // Behind a reversal it is: the tree is the reversal with the loop as its child.
  r = RunRoads(rel, {{"reversed", nullptr, {{"loop", LoopAtOnce, /*onReversed=*/true}}}},
               Options(5, 1));
  ASSERT_EQ(r.status, StrongStatus::LoopFound);
  EXPECT_EQ(r.proof.witness->Technique(), "reversal");
  ASSERT_EQ(r.proof.children.size(), 1u);
  EXPECT_EQ(r.proof.children[0].kind, Result::Kind::Disproved);
  EXPECT_EQ(r.proof.children[0].problem.strict, Reversed(rel.strict));
}

TEST(StrongStrategy, ATechniqueOutOfMemoryIsSkippedWithANote) {
  const TechniqueFn hungry = [](const Problem&, const Budget&) -> Result {
    throw std::bad_alloc();
  };
  const StrongResult r = RunRoads(
      kProblem, {{"hungry", nullptr, {{"big", hungry}, {"prove", ProveAfter({})}}}}, Options(5, 1));
  EXPECT_EQ(r.status, StrongStatus::Terminating);
  // Since some road answered, the note is not worth printing.
  EXPECT_TRUE(r.notes.empty());
  const StrongResult open =
      RunRoads(kProblem, {{"hungry", nullptr, {{"big", hungry}}}}, Options(5, 1));
  EXPECT_EQ(open.status, StrongStatus::NoProof);
  ASSERT_EQ(open.notes.size(), 1u);
  EXPECT_NE(open.notes[0].find("memory"), std::string::npos);
}

TEST(StrongStrategy, OnlyRoadsForTheStartProblemRun) {
  std::atomic<int> runs{0};
  const TechniqueFn counted = [&](const Problem&, const Budget&) {
    ++runs;
    return Result::None();
  };
  const std::vector<Road> roads{
      {"relative only", [](const Problem& p) { return !p.weak.empty(); }, {{"count", counted}}},
      {"any", nullptr, {{"count", counted}}}};
  RunRoads(kProblem, roads, Options(5, 2));
  EXPECT_EQ(runs.load(), 1);
}

// The certifiable roads keep only certifiable steps, and drop a road that the loss of a
// step leaves doing what an earlier road does (stripped match bounds without the
// stripping are the match bounds road's own steps).
TEST(StrongStrategy, CertifiableRoadsDropStepsWithoutAFormAndRoadsThatRepeatOthers) {
  const std::vector<Road> all = StrongRoads();
  const std::vector<Road> kept = CertifiableRoads(all);
  for (const Road& road : kept)
    for (const RoadStep& step : road.steps)
      EXPECT_TRUE(step.certifiable) << road.name << ": " << step.name;
  const auto has = [](const std::vector<Road>& roads, const std::string& name) {
    return std::any_of(roads.begin(), roads.end(), [&](const Road& r) { return r.name == name; });
  };
  ASSERT_TRUE(has(all, "stripped match bounds"));
  EXPECT_FALSE(has(kept, "stripped match bounds"));
  // Without its tiles a sparse tiling road is the dependency pair road again.
  for (const char* tiling : {"sparse tiling", "sparse tiling, pairs of the reversal"}) {
    ASSERT_TRUE(has(all, tiling));
    EXPECT_FALSE(has(kept, tiling));
  }
  EXPECT_TRUE(has(kept, "match bounds"));
  EXPECT_TRUE(has(kept, "dependency pairs"));
  EXPECT_EQ(StrongRoadNames().size(), all.size());
}

// A run restricted to some roads runs those only; a name of no road selects nothing.
TEST(StrongStrategy, ARunTakesOnlyTheRoadsItNames) {
  ParsedSystem parsed;
  ASSERT_TRUE(ReadUnbounded({"ab->ba"}, InputFormat::Plain, parsed).ok);
  StrongOptions o = Options(1, 2);
  o.roads = {"loops", "loops, reversed"};
  StrongResult r = RunStrong(parsed, o);
  EXPECT_EQ(r.status, StrongStatus::NoProof);
  o.timeoutSeconds = 20;
  o.roads = {"loops", "match bounds"};
  r = RunStrong(parsed, o);
  EXPECT_EQ(r.status, StrongStatus::Terminating);
  EXPECT_EQ(r.road, "match bounds");
  o.roads = {"no such road"};
  EXPECT_EQ(RunStrong(parsed, o).status, StrongStatus::NoProof);
}

// A step that backtracks solves what it leaves within its share of the time; when that
// is not enough, the road goes on with its next step at the same problem. A step for the
// start problem only is not taken again on what it leaves.
TEST(StrongStrategy, ABacktrackingStepGivesWayToTheNextWhenItsSubproblemStaysOpen) {
  const Problem other = Plain({"aab->b"});
  std::atomic<int> transforms{0};
  // Transforms the problem into `other`, three times at most.
  RoadStep transform{"transform", [&](const Problem&, const Budget&) {
                       if (++transforms > 3) return Result::None();
                       return Result::Step(std::make_shared<FixedWitness>(), {other});
                     }};
  transform.share = 0.4;
  transform.startOnly = true;
  transform.backtracks = true;
  // Proves the start problem at once; on anything else it works until the budget ends.
  const TechniqueFn onlyTheStart = [](const Problem& p, const Budget& b) {
    return p.strict == kProblem.strict ? Result::Proof(std::make_shared<FixedWitness>())
                                       : Spin(p, b);
  };
  const Road road{"backtracking", nullptr, {transform, {"prove", onlyTheStart}}};
  const auto start = Clock::now();
  StrongResult r = RunRoads(kProblem, {road}, Options(1, 1));
  ASSERT_EQ(r.status, StrongStatus::Terminating);
  EXPECT_TRUE(r.proof.children.empty());  // the proof is the second step's, at the start
  EXPECT_EQ(transforms.load(), 1);
  EXPECT_GT(SecondsSince(start), 0.3);  // after the transformed problem's share ran out
  EXPECT_LT(SecondsSince(start), 0.9);

  // Without backtracking the road is stuck below the step; without startOnly the step
  // is taken again on what it left.
  Road stuck = road;
  stuck.steps[0].backtracks = false;
  transforms = 0;
  EXPECT_EQ(RunRoads(kProblem, {stuck}, Options(0.5, 1)).status, StrongStatus::NoProof);
  EXPECT_EQ(transforms.load(), 1);
  Road again = stuck;
  again.steps[0].startOnly = false;
  transforms = 0;
  EXPECT_EQ(RunRoads(kProblem, {again}, Options(0.5, 1)).status, StrongStatus::NoProof);
  EXPECT_EQ(transforms.load(), 4);
}

// A road's weight follows the start problem: relative first, then a standard one of
// one rule, then a standard one where no rule grows, else its plain weight (a dependency
// pair problem of one pair is none of them).
TEST(StrongStrategy, ARoadsWeightFollowsTheStartProblem) {
  Road road{"weighted", nullptr, {}, 2, 5, 6, 4};
  EXPECT_EQ(road.WeightFor(Plain({"ab->ba"})), 6);
  EXPECT_EQ(road.WeightFor(Plain({"ab->ba", "b->"})), 4);
  EXPECT_EQ(road.WeightFor(Plain({"ab->ba", "b->bb"})), 2);
  EXPECT_EQ(road.WeightFor(Plain({"ab->ba", "b->", "a->=aa"})), 5);
  road.keepingWeight = 0;
  EXPECT_EQ(road.WeightFor(Plain({"ab->ba", "b->"})), 2);
  EXPECT_EQ(road.WeightFor(Plain({"ab->ba", "b->=bb"})), 5);
  Problem pairs = Plain({"ab->ba"});
  pairs.kind = ProblemKind::DependencyPairs;
  EXPECT_EQ(road.WeightFor(pairs), 2);
  road.relativeWeight = road.oneRuleWeight = 0;
  EXPECT_EQ(road.WeightFor(Plain({"ab->ba"})), 2);
  EXPECT_EQ(road.WeightFor(Plain({"ab->ba", "b->=bb"})), 2);
  // The labelling road, certified or not, takes longer turns on one-rule problems.
  for (const std::vector<Road>& roads : {StrongRoads(), CertifiableRoads(StrongRoads())}) {
    const auto labelling = std::find_if(roads.begin(), roads.end(),
                                        [](const Road& r) { return r.name == "labelling"; });
    ASSERT_NE(labelling, roads.end());
    EXPECT_GT(labelling->WeightFor(Plain({"ab->ba"})),
              labelling->WeightFor(Plain({"ab->ba", "b->"})));
  }
}

// The labelling road takes standard problems too: a a -> a b a keeps every weight's
// balance (w(b) = 0), and its tiles of width 2 order it.
TEST(StrongStrategy, TheLabellingRoadTilesStandardProblems) {
  ParsedSystem parsed;
  ASSERT_TRUE(ReadUnbounded({"aa->aba"}, InputFormat::Plain, parsed).ok);
  StrongOptions o = Options(30, 1);
  o.roads = {"labelling"};
  const StrongResult r = RunStrong(parsed, o);
  ASSERT_EQ(r.status, StrongStatus::Terminating);
  EXPECT_EQ(r.road, "labelling");
  EXPECT_TRUE(std::any_of(r.lines.begin(), r.lines.end(), [](const std::string& line) {
    return line.find("by tiling of width 2") != std::string::npos;
  }));
}

// A leaf with a certificate: the no-strict-rules one stands in for it.
class CertifiedWitness : public FixedWitness {
 public:
  cpf::Written Certify(const Problem&, const std::vector<Problem>&,
                       const std::vector<cpf::Fragment>&) const override {
    return cpf::NoStrictRules();
  }
};

// On certifiable roads a proof whose leaf writes no certificate counts for nothing: the
// road goes on to its next step, and with none left the run has no proof and says why.
TEST(StrongStrategy, CertifiedRoadsDropLeavesWithoutACertificate) {
  const TechniqueFn certified = [](const Problem&, const Budget&) {
    return Result::Proof(std::make_shared<CertifiedWitness>());
  };
  Road road{"road", nullptr, {{"uncertified", ProveAfter({})}, {"certified", certified}}};
  road.leavesCertified = true;
  StrongResult r = RunRoads(kProblem, {road}, Options(5, 1));
  ASSERT_EQ(r.status, StrongStatus::Terminating);
  EXPECT_NE(dynamic_cast<const CertifiedWitness*>(r.proof.witness.get()), nullptr);
  road.steps.pop_back();
  r = RunRoads(kProblem, {road}, Options(5, 1));
  EXPECT_EQ(r.status, StrongStatus::NoProof);
  ASSERT_EQ(r.notes.size(), 1u);
  EXPECT_NE(r.notes[0].find("uncertified: its proof was dropped, it has no certificate"),
            std::string::npos)
      << r.notes[0];
  road.leavesCertified = false;
  EXPECT_EQ(RunRoads(kProblem, {road}, Options(5, 1)).status, StrongStatus::Terminating);
  for (const Road& kept : CertifiableRoads(StrongRoads())) EXPECT_TRUE(kept.leavesCertified);
}

// The rule removal road's step of the given name.
const RoadStep& RemovalRoadStep(const std::vector<Road>& roads, const std::string& name) {
  for (const Road& r : roads)
    if (r.name == "rule removal")
      for (const RoadStep& s : r.steps)
        if (s.name == name) return s;
  ADD_FAILURE() << name;
  return roads.front().steps.front();
}

TEST(StrongStrategy, MatchBoundRemovalRaisesItsCapInBothDirectionsAtOnce) {
  const std::vector<Road> roads = StrongRoads();
  const RoadStep& step = RemovalRoadStep(roads, "match-bound rule removal");
  const Budget budget = Budget().Within(std::chrono::seconds(30));
  // The forward closures of R need a height above 4 and more than 200000 transitions at
  // cap 6; those of R^rev are bounded by 1. Cap 1 of R^rev comes before R's larger caps.
  const Problem p = Plain({"bbddbb->ccddbb", "ddcc->bbdd", "ddcc->ddbbdd"});
  const auto start = Clock::now();
  Result r = step.run(p, budget);
  ASSERT_EQ(r.kind, Result::Kind::Proved) << r.note;
  EXPECT_EQ(RecheckResult(p, r), "");
  const auto& w = static_cast<const MatchBoundRemovalWitness&>(*r.witness);
  EXPECT_TRUE(w.reversed);
  EXPECT_EQ(w.cap, 1);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  // Reversed, the same: now R itself has the bound of cap 1, found first.
  Problem rev = p;
  for (Rule& rule : rev.strict) {
    std::reverse(rule.lhs.begin(), rule.lhs.end());
    std::reverse(rule.rhs.begin(), rule.rhs.end());
  }
  r = step.run(rev, budget);
  ASSERT_EQ(r.kind, Result::Kind::Proved) << r.note;
  EXPECT_FALSE(static_cast<const MatchBoundRemovalWitness&>(*r.witness).reversed);
  EXPECT_EQ(RecheckResult(rev, r), "");
  // Neither direction bounded (a -> aa grows without end): every cap fails in both,
  // and the note says so for each direction once.
  r = step.run(Plain({"a->aa"}), budget);
  EXPECT_EQ(r.kind, Result::Kind::Nothing);
  EXPECT_NE(r.note.find("cap 1: "), std::string::npos) << r.note;
  EXPECT_NE(r.note.find("reversed: cap 1: "), std::string::npos) << r.note;
  // A dependency pair problem is not one for this step.
  Problem pairs = p;
  pairs.kind = ProblemKind::DependencyPairs;
  EXPECT_EQ(step.run(pairs, budget).note, "only for relative problems");
}

}  // namespace
}  // namespace velkin::strong
