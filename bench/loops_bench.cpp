// Benchmarks of the closure loop search on corpus systems whose loops it finds after
// millions of pairs, where most of its time goes to the table of pairs seen and to
// storing the pairs kept.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "corpus_problem.h"
#include "strong/techniques/closures.h"

namespace velkin::strong {
namespace {

// Four rules over three letters, two of them deleting: a loop after about three million
// forward closures.
const Problem& DeletingRules() {
  static const Problem p =
      CorpusProblem("plain/SRS_Standard/Waldmann_07_size12/size-12-alpha-3-num-220.srs");
  return p;
}

// Two letters, a loop after about a million forward closures.
const Problem& TwoLetters() {
  static const Problem p =
      CorpusProblem("plain/SRS_Standard/Waldmann_07_size12/size-12-alpha-2-num-18.srs");
  return p;
}

// The forward closures of `p` until the loop; reports whether one was found.
void RunClosures(benchmark::State& state, const Problem& p) {
  double found = 0;
  for (auto _ : state) {
    const Result r =
        FindLoopByClosures(p, Budget().Within(std::chrono::seconds(30)), ClosureOptions{});
    found = r.kind == Result::Kind::Disproved;
    benchmark::DoNotOptimize(r.kind);
  }
  state.counters["found"] = found;
}

void BM_ClosuresDeletingRules(benchmark::State& state) {
  RunClosures(state, DeletingRules());
}
BENCHMARK(BM_ClosuresDeletingRules)->Unit(benchmark::kMillisecond);

void BM_ClosuresTwoLetters(benchmark::State& state) {
  RunClosures(state, TwoLetters());
}
BENCHMARK(BM_ClosuresTwoLetters)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velkin::strong
