// Benchmarks of arctic rule removal on relative corpus problems, where nearly all the
// time goes to the SAT solver's propagation: under each tuning of the solver.
#include <benchmark/benchmark.h>

#include <chrono>

#include "corpus_problem.h"
#include "strong/techniques/arctic_removal.h"

namespace velkin::strong {
namespace {

// Relative problems of 46 + 14 and 54 + 6 rules (ICFP_2010_relative) whose strict rules
// arctic integers of dimension 2 with one bit remove in about 13 and 3 steps.
const Problem& Relative(int which) {
  static const Problem a = CorpusProblem("plain/SRS_Relative/ICFP_2010_relative/4964.srs");
  static const Problem b = CorpusProblem("plain/SRS_Relative/ICFP_2010_relative/3861.srs");
  return which == 0 ? a : b;
}

// Removal steps until no strict rule is left or a step finds nothing, as on the rule
// removal road; arguments: the problem (0, 1) and the tuning (0 default, 1 models).
// Reports the steps taken and whether every strict rule went.
void BM_ArcticRemovalSteps(benchmark::State& state) {
  ArcticRemovalOptions o;
  o.dimension = 2;
  o.bits = 1;
  o.belowZero = 1;
  o.tuning = state.range(1) ? sat::Tuning::Models : sat::Tuning::Default;
  double steps = 0, proved = 0;
  for (auto _ : state) {
    Problem p = Relative(static_cast<int>(state.range(0)));
    steps = 0;
    while (!p.strict.empty()) {
      Result r = ArcticRuleRemoval(p, Budget().Within(std::chrono::seconds(30)), o);
      if (r.kind != Result::Kind::Transformed) break;
      p = std::move(r.subproblems[0]);
      ++steps;
    }
    proved = p.strict.empty();
    benchmark::DoNotOptimize(p.strict.size());
  }
  state.counters["steps"] = steps;
  state.counters["proved"] = proved;
}
BENCHMARK(BM_ArcticRemovalSteps)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velkin::strong
