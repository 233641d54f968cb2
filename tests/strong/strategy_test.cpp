// The strategy's race: deadlines and stop flags end it promptly, losers stop when a
// road wins, every road gets its share on too few threads, and nothing enters the
// tree without passing its re-check. The roads here are stand-ins whose timing the
// tests control.
#include "strong/strategy.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <thread>

#include "strong/print.h"
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
}

TEST(StrongStrategy, OnOneThreadEveryRoadGetsGrowingSlices) {
  // "patient" needs 0.3 s in one piece and "greedy" would take all the time there
  // is: with slices of 0.05 s that double, "patient" wins in its fourth turn. A road
  // that gives up before its slice ends is not run again.
  std::atomic<int> quitterRuns{0};
  const TechniqueFn quitter = [&](const Problem&, const Budget&) {
    ++quitterRuns;
    return Result::None();
  };
  const std::vector<Road> roads{{"greedy", nullptr, {{"spin", Spin}}},
                                {"quitter", nullptr, {{"quit", quitter}}},
                                {"patient", nullptr, {{"prove", ProveAfter(milliseconds(300))}}}};
  StrongOptions o = Options(20, 1);
  o.firstSliceSeconds = 0.05;
  const auto start = Clock::now();
  const StrongResult r = RunRoads(kProblem, roads, o);
  EXPECT_EQ(r.status, StrongStatus::Terminating);
  EXPECT_EQ(r.road, "patient");
  EXPECT_EQ(quitterRuns.load(), 1);
  // 0.05 + 0.1 + 0.2 s for each of the two roads that ran out, then 0.3 s.
  EXPECT_LT(SecondsSince(start), 3.0);
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
  ASSERT_EQ(r.notes.size(), 1u);
  EXPECT_NE(r.notes[0].find("memory"), std::string::npos);
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

}  // namespace
}  // namespace velkin::strong
