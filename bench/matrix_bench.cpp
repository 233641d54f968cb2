// Benchmarks of the SAT layer and of rule removal by matrix interpretations on a
// mid-size corpus problem (9 rules, sides up to 6 letters).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "corpus_problem.h"
#include "sat/matrix.h"
#include "strong/techniques/matrix.h"

namespace velkin::strong {
namespace {

// The problem with its rules reversed, where linear interpretations with 4 bits remove
// two rules and dimension 2 with 3 bits one.
const Problem& Mid() {
  static const Problem p = [] {
    Problem q = CorpusProblem("plain/SRS_Standard/Secret_05_SRS/t4.srs");
    q.strict = Reversed(q.strict);
    return q;
  }();
  return p;
}

// Encoding only: every side's matrix and vector as products of fresh letter maps
// (no sharing between sides), and the weak comparisons; reports the clause count.
void BM_EncodeSides(benchmark::State& state) {
  const int d = static_cast<int>(state.range(0));
  std::int64_t clauses = 0;
  for (auto _ : state) {
    sat::Solver s;
    std::vector<sat::NatAffine> letters;
    for (int a = 0; a < Mid().alphabet.size(); ++a)
      letters.push_back({sat::FreshNatMatrix(s, d, d, 2), sat::FreshNatMatrix(s, d, 1, 2)});
    auto side = [&](const Word& w) {
      sat::NatAffine f = sat::NatAffineIdentity(s, d);
      for (auto it = w.rbegin(); it != w.rend(); ++it) f = sat::Compose(s, letters[*it], f, 5);
      return f;
    };
    for (const Rule& r : Mid().strict) {
      const sat::NatAffine l = side(r.lhs), rr = side(r.rhs);
      s.Require(sat::Ge(s, l.m, rr.m));
      s.Require(sat::Ge(s, l.c, rr.c));
    }
    clauses = s.Clauses();
    benchmark::DoNotOptimize(clauses);
  }
  state.counters["clauses"] = static_cast<double>(clauses);
}
BENCHMARK(BM_EncodeSides)->Arg(2)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond);

// The whole technique: encoding with shared factors, solving, growing the removed set;
// arguments: dimension, bits, triangular (1) or full (0).
void BM_MatrixStep(benchmark::State& state) {
  MatrixOptions o;
  o.dimension = static_cast<int>(state.range(0));
  o.bits = static_cast<int>(state.range(1));
  o.kind = state.range(2) ? MatrixKind::Triangular : MatrixKind::Full;
  double removed = 0, found = 0;
  for (auto _ : state) {
    const Result r = MatrixInterpretation(Mid(), Budget().Within(std::chrono::seconds(20)), o);
    found = r.kind == Result::Kind::Transformed;
    removed = found ? static_cast<double>(Mid().strict.size() - r.subproblems[0].strict.size()) : 0;
    benchmark::DoNotOptimize(r.kind);
  }
  state.counters["found"] = found;
  state.counters["removed"] = removed;
}
BENCHMARK(BM_MatrixStep)
    ->Args({1, 2, 0})
    ->Args({1, 4, 0})
    ->Args({2, 2, 0})
    ->Args({2, 3, 0})
    ->Args({2, 3, 1})
    ->Args({3, 2, 1})
    ->Args({3, 3, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velkin::strong
