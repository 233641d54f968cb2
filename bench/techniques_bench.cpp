// Micro-benchmarks of the hot techniques on small fixed systems.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "loops/loop_search.h"
#include "model/readers.h"
#include "prover/run.h"
#include "techniques/match_bound.h"
#include "techniques/path_order.h"
#include "techniques/poly.h"

namespace velkin {
namespace {

// A state whose primary and working systems hold `text` (plain format).
std::unique_ptr<State> Loaded(const char* text) {
  auto st = MakeState();
  const std::vector<std::string> lines = SplitLines(text);
  ParsePlainInput(*st, InputLines(lines));
  CopySystem(st->primary, st->working);
  return st;
}

constexpr const char* kThreeRules = "aa -> bc\nbb -> ac\ncc -> ab\n";
constexpr const char* kPathOrder = "abc -> bca\nab -> ba\ncb -> bc\n";

void BM_ReduceAndReport(benchmark::State& state) {
  auto st = Loaded(kThreeRules);
  for (auto _ : state) {
    CopySystem(st->primary, st->working);
    st->proved = 0;
    ReduceAndReport(*st);
    benchmark::DoNotOptimize(st->working.ruleCount);
  }
}
BENCHMARK(BM_ReduceAndReport);

void BM_PathOrderSearch(benchmark::State& state) {
  auto st = Loaded(kPathOrder);
  for (auto _ : state) {
    st->proved = 0;
    PathOrderSearch(*st);
    benchmark::DoNotOptimize(st->proved);
  }
}
BENCHMARK(BM_PathOrderSearch);

void BM_TryMatchBound(benchmark::State& state) {
  auto st = Loaded("aa -> aba\n");
  for (auto _ : state) {
    st->proved = 0;
    st->log.length = 0;
    TryMatchBound(*st);
    benchmark::DoNotOptimize(st->proved);
  }
}
BENCHMARK(BM_TryMatchBound);

// The polynomial search on a system that no candidate orients (each rule's sides are
// permutations of one word, and the rules undo each other: what decreases one increases
// the other), so that phases 1 and 3 try every candidate.
void BM_PolynomialSearchRefused(benchmark::State& state) {
  auto st = Loaded("abcdfg -> gfdcba\ngfdcba -> abcdfg\n");
  for (auto _ : state) {
    const bool found = TryPolynomialInterpretation(*st);
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_PolynomialSearchRefused);

void BM_SearchLoop(benchmark::State& state) {
  auto st = Loaded("ab -> ba\n");  // fills the whole word table, finds nothing
  for (auto _ : state) {
    st->loop = 0;
    SearchLoop(*st);
    benchmark::DoNotOptimize(st->loop);
  }
}
BENCHMARK(BM_SearchLoop);

void BM_WholeRun(benchmark::State& state) {
  RunInputs in;
  in.lines = SplitLines(kThreeRules);
  in.attemptsText = "10";
  for (auto _ : state) {
    auto st = MakeState();
    const RunResult r = ExecuteRun(*st, in);
    benchmark::DoNotOptimize(r.outcome);
  }
}
BENCHMARK(BM_WholeRun)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velkin
