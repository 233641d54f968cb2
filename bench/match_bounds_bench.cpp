// Benchmarks of the match-bound completion on large corpus systems, where most of its
// time goes to reading right sides between two states and to the walks of new paths.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "corpus_problem.h"
#include "strong/techniques/match_bounds.h"

namespace velkin::strong {
namespace {

// 180 rules of 16 letters on each side: match bound 4 on forward closures, where reading
// right sides between two states takes most of the time.
const Problem& LargeLengthPreserving() {
  static const Problem p = CorpusProblem("plain/SRS_Standard/ICFP_2010/183803.srs");
  return p;
}

// 97 rules: a match bound on every word (the start language of certificates), found in a
// few milliseconds; a check that the completion on every word did not get slower.
const Problem& LargeOnEveryWord() {
  static const Problem p = CorpusProblem("plain/SRS_Standard/ICFP_2010/25726.srs");
  return p;
}

// The completion on the right sides of forward closures; reports whether it succeeded.
void BM_MatchBoundForwardClosures(benchmark::State& state) {
  double found = 0;
  for (auto _ : state) {
    const Result r = FindMatchBound(LargeLengthPreserving(),
                                    Budget().Within(std::chrono::seconds(30)), MatchBoundOptions{});
    found = r.kind == Result::Kind::Proved;
    benchmark::DoNotOptimize(r.kind);
  }
  state.counters["found"] = found;
}
BENCHMARK(BM_MatchBoundForwardClosures)->Unit(benchmark::kMillisecond);

// The completion on every word, every rule to be removed.
void BM_MatchBoundEveryWord(benchmark::State& state) {
  MatchBoundRemovalOptions o;
  o.removeAll = true;
  o.caps = {12};
  double found = 0;
  for (auto _ : state) {
    const Result r =
        FindMatchBoundRemoval(LargeOnEveryWord(), Budget().Within(std::chrono::seconds(30)), o);
    found = r.kind == Result::Kind::Proved;
    benchmark::DoNotOptimize(r.kind);
  }
  state.counters["found"] = found;
}
BENCHMARK(BM_MatchBoundEveryWord)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velkin::strong
