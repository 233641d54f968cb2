// Opt-in runs over the benchmark corpus (--gtest_also_run_disabled_tests):
// - soundness of the strategy: no problem known to be non-terminating is proved;
// - the cost of the labelling draws on the systems that labelling really meets.
// VELKIN_CORPUS_SECONDS sets the time limit per problem (default 5), VELKIN_CORPUS_FILTER
// keeps only the problems whose id contains the given text.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../test_util.h"
#include "prover/strategy.h"
#include "techniques/labelling.h"
#include "techniques/poly.h"
#include "techniques/reversal.h"

namespace velkin {
namespace {

using Clock = std::chrono::steady_clock;

struct Problem {
  std::string id;
  std::string path;  // plain format
  std::string verdict;
};

// The fitting problems of the corpus with their known verdicts.
std::vector<Problem> FittingProblems() {
  const std::string dir = VELKIN_CORPUS_DIR;
  std::map<std::string, std::string> verdicts;
  std::ifstream known(dir + "/known-verdicts.tsv");
  std::string line;
  std::getline(known, line);
  while (std::getline(known, line)) {
    const auto f = testing::SplitTabs(line);
    if (f.size() >= 2) verdicts[f[0]] = f[1];
  }
  const char* filter = std::getenv("VELKIN_CORPUS_FILTER");
  std::vector<Problem> out;
  std::ifstream manifest(dir + "/manifest.tsv");
  std::getline(manifest, line);
  while (std::getline(manifest, line)) {
    const auto f = testing::SplitTabs(line);
    if (f.size() < 9 || f[7] != "yes") continue;
    if (filter != nullptr && f[0].find(filter) == std::string::npos) continue;
    out.push_back({f[0], dir + "/" + f[8], verdicts[f[0]]});
  }
  return out;
}

double SecondsLimit() {
  const char* s = std::getenv("VELKIN_CORPUS_SECONDS");
  return s != nullptr ? std::atof(s) : 5.0;
}

void SetDeadline(State& st, double seconds) {
  st.cancelled = false;
  st.deadline = Clock::now() +
                std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

bool Load(State& st, const Problem& p) {
  const std::vector<std::string> lines = SplitLines(testing::ReadFile(p.path));
  return ParsePlainInput(st, InputLines(lines)).ok;
}

// The strategy as the run drives it: a quick pass without random attempts, then, from
// the input again, a pass with the window's 100 attempts.
TEST(CorpusStrategy, DISABLED_NeverProvesAKnownNonTerminatingProblem) {
  const double limit = SecondsLimit();
  std::map<std::string, int> provedByVerdict, countByVerdict;
  int timedOut = 0, provedInFinal = 0;
  double slowest = 0;
  std::string slowestId;
  for (const Problem& p : FittingProblems()) {
    auto st = MakeState();
    if (!Load(*st, p)) {
      ADD_FAILURE() << "unreadable: " << p.id;
      continue;
    }
    const auto start = Clock::now();
    SetDeadline(*st, limit);
    CopySystem(st->primary, st->snapshot);
    st->attemptCount = 0;
    RunStrategy(*st);
    if (st->proved == 0 && !st->cancelled) {
      CopySystem(st->snapshot, st->primary);
      st->log.length = 0;
      st->attemptCount = 100;
      RunStrategy(*st);
      if (st->proved == 1) ++provedInFinal;
    }
    const double took = Since(start);
    if (took > slowest) slowest = took, slowestId = p.id;
    if (st->cancelled) {
      ++timedOut;
      std::printf("out of time: %s (%s)\n", p.id.c_str(), p.verdict.c_str());
    }
    ++countByVerdict[p.verdict];
    if (st->proved == 1) ++provedByVerdict[p.verdict];
    EXPECT_FALSE(st->proved == 1 && p.verdict == "NO") << "proved a non-terminating " << p.id;
    EXPECT_FALSE(st->proved == 1 && st->cancelled) << "proof after the deadline: " << p.id;
  }
  for (const auto& [verdict, n] : countByVerdict)
    std::printf("known %-7s %4d problems, %4d proved terminating\n", verdict.c_str(), n,
                provedByVerdict[verdict]);
  std::printf("proved only by the pass with attempts: %d; out of time (%.1f s): %d\n",
              provedInFinal, limit, timedOut);
  std::printf("slowest: %s, %.2f s\n", slowestId.c_str(), slowest);
}

// One labelling attempt's draws, repeated until an interpretation passes.
struct DrawStats {
  long long tries = 0;
  double seconds = 0;
  bool outOfTime = false;
};

DrawStats MeasureDraws(State& st, double limit) {
  InterpretationCodes codes{};
  const std::uint32_t before = st.randomState;
  SetDeadline(st, limit);
  const auto start = Clock::now();
  const bool found = DrawLabelledSystem(st, codes);
  DrawStats d;
  d.seconds = Since(start);
  d.outOfTime = !found;
  // Count the generator's steps: one per symbol and try.
  auto shadow = MakeState();
  shadow->randomState = before;
  long long steps = 0;
  while (shadow->randomState != st.randomState) RandomDraw(*shadow, 2), ++steps;
  d.tries = st.primary.symbolCount > 0 ? steps / st.primary.symbolCount : 1;
  return d;
}

// Removes what the polynomial interpretations remove, as the technique loop does
// before it labels; false when that already proves the system.
bool ReduceLikeTheLoop(State& st) {
  CopySystem(st.primary, st.working);
  st.proved = 0;
  ReduceAndReport(st);
  if (st.proved == 1) return false;
  st.primary.ruleCount = st.working.ruleCount;
  for (int i = 1; i <= st.working.ruleCount; ++i) {
    st.primary.lhs[i] = st.working.lhs[i];
    st.primary.rhs[i] = st.working.rhs[i];
    st.primary.strict[i] = st.working.strict[i];
  }
  return true;
}

void ReversePrimary(State& st) {
  CopySystem(st.primary, st.working);
  ReverseWorkingSystem(st);
  CopySystem(st.working, st.primary);
}

// The systems that a labelling step meets in the strategy: the reduced input, and the
// reduced dependency pair transformations of the input and of its reversal; each as is
// and reversed, in model and in quasi-model mode.
TEST(CorpusLabelling, DISABLED_DrawsPerAttempt) {
  const double limit = SecondsLimit();
  constexpr int kAttempts = 10;
  struct Row {
    std::string what;
    int symbols = 0, rules = 0, attempts = 0;
    long long sumTries = 0, maxTries = 0;
    double sumSeconds = 0, maxSeconds = 0;
    bool outOfTime = false;
  };
  std::vector<Row> rows;
  // Attempts by the time their draws took: below 1 ms, 10 ms, 100 ms, 1 s, the limit.
  constexpr double kBounds[] = {0.001, 0.01, 0.1, 1.0};
  long long bySeconds[6] = {};
  std::map<std::string, int> outOfTimeByKind;
  std::map<std::string, int> problemsOutOfTime;
  for (const Problem& p : FittingProblems()) {
    for (int variant = 0; variant < 3; ++variant) {
      auto st = MakeState();
      if (!Load(*st, p)) continue;
      st->randomState = 0;
      if (variant > 0) {
        if (st->allStrict == 0) continue;
        if (variant == 2) ReversePrimary(*st);
        if (!DependencyPairTransform(*st)) continue;
      }
      if (!ReduceLikeTheLoop(*st) || !LabellingFits(st->primary)) continue;
      for (int reversed = 0; reversed <= 1; ++reversed) {
        if (reversed == 1) ReversePrimary(*st);
        for (std::uint8_t quasi = 0; quasi <= 1; ++quasi) {
          st->quasiModel = quasi;
          const std::string kind = std::string(variant == 0   ? "input"
                                               : variant == 1 ? "DP"
                                                              : "rev DP") +
                                   (reversed ? " reversed" : "") + (quasi ? " quasi" : " model");
          Row row;
          row.what = p.id + " " + kind;
          row.symbols = st->primary.symbolCount;
          row.rules = st->primary.ruleCount;
          for (int k = 0; k < kAttempts && !row.outOfTime; ++k) {
            const DrawStats d = MeasureDraws(*st, limit);
            ++row.attempts;
            row.sumTries += d.tries;
            row.sumSeconds += d.seconds;
            row.maxTries = std::max(row.maxTries, d.tries);
            row.maxSeconds = std::max(row.maxSeconds, d.seconds);
            row.outOfTime = d.outOfTime;  // one attempt out of time: the system is hopeless
            int bucket = 0;
            while (bucket < 4 && d.seconds >= kBounds[bucket]) ++bucket;
            ++bySeconds[d.outOfTime ? 5 : bucket];
          }
          if (row.outOfTime) {
            ++outOfTimeByKind[kind];
            ++problemsOutOfTime[p.id];
          }
          rows.push_back(row);
        }
      }
    }
  }
  long long attempts = 0;
  for (const long long n : bySeconds) attempts += n;
  std::printf("%lld attempts on %zu systems (up to %d each, limit %.1f s per attempt)\n", attempts,
              rows.size(), kAttempts, limit);
  const char* names[] = {"< 1 ms", "1-10 ms", "10-100 ms", "0.1-1 s", "1 s - limit", "out of time"};
  for (int b = 0; b < 6; ++b) std::printf("  attempts %-12s %lld\n", names[b], bySeconds[b]);
  std::printf("systems out of time: %zu of %zu, from %zu problems; by kind:\n",
              static_cast<std::size_t>(std::count_if(rows.begin(), rows.end(),
                                                     [](const Row& r) { return r.outOfTime; })),
              rows.size(), problemsOutOfTime.size());
  for (const auto& [kind, n] : outOfTimeByKind) std::printf("  %-24s %d\n", kind.c_str(), n);
  std::printf("problems out of time:");
  for (const auto& [id, n] : problemsOutOfTime) std::printf(" %s", id.c_str());
  std::printf("\n");
  const auto print = [](const Row& r) {
    std::printf("  %-58s S=%2d N=%3d %2d att. mean %.0f tries %.3f s, max %lld tries %.3f s%s\n",
                r.what.c_str(), r.symbols, r.rules, r.attempts,
                static_cast<double>(r.sumTries) / r.attempts, r.sumSeconds / r.attempts, r.maxTries,
                r.maxSeconds, r.outOfTime ? " OUT OF TIME" : "");
  };
  std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
    return a.outOfTime != b.outOfTime ? b.outOfTime : a.maxSeconds > b.maxSeconds;
  });
  std::printf("slowest systems that finished every attempt:\n");
  for (std::size_t k = 0; k < rows.size() && k < 20; ++k) print(rows[k]);
  std::sort(rows.begin(), rows.end(),
            [](const Row& a, const Row& b) { return a.maxTries > b.maxTries; });
  std::printf("most tries in one attempt:\n");
  for (std::size_t k = 0; k < rows.size() && k < 10; ++k) print(rows[k]);
}

}  // namespace
}  // namespace velkin
