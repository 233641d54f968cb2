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

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> out;
  std::stringstream ss(line);
  std::string field;
  while (std::getline(ss, field, '\t')) out.push_back(field);
  return out;
}

// The fitting problems of the corpus with their known verdicts.
std::vector<Problem> FittingProblems() {
  const std::string dir = VELKIN_CORPUS_DIR;
  std::map<std::string, std::string> verdicts;
  std::ifstream known(dir + "/known-verdicts.tsv");
  std::string line;
  std::getline(known, line);
  while (std::getline(known, line)) {
    const auto f = SplitTabs(line);
    if (f.size() >= 2) verdicts[f[0]] = f[1];
  }
  const char* filter = std::getenv("VELKIN_CORPUS_FILTER");
  std::vector<Problem> out;
  std::ifstream manifest(dir + "/manifest.tsv");
  std::getline(manifest, line);
  while (std::getline(manifest, line)) {
    const auto f = SplitTabs(line);
    if (f.size() < 9 || f[7] != "yes") continue;
    if (filter != nullptr && f[0].find(filter) == std::string::npos) continue;
    out.push_back({f[0], dir + "/" + f[8], verdicts[f[0]]});
  }
  return out;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
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
  const std::vector<std::string> lines = SplitLines(ReadFile(p.path));
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
    SaveInputSnapshot(*st);
    st->attemptCount = 0;
    RunStrategy(*st);
    if (st->proved == 0 && !st->cancelled) {
      RestoreInputSnapshot(*st);
      st->log.length = 0;
      st->attemptCount = 100;
      RunStrategy(*st);
      if (st->proved == 1) ++provedInFinal;
    }
    const double took = Since(start);
    if (took > slowest) slowest = took, slowestId = p.id;
    if (st->cancelled) ++timedOut;
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
  CopyPrimaryToWorking(st);
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
  CopyPrimaryToWorking(st);
  ReverseWorkingSystem(st);
  CopyWorkingToPrimary(st);
}

// The systems that a labelling step meets in the strategy: the reduced input, and the
// reduced dependency pair transformations of the input and of its reversal; each as is
// and reversed, in model and in quasi-model mode.
TEST(CorpusLabelling, DISABLED_DrawsPerAttempt) {
  const double limit = SecondsLimit();
  constexpr int kAttempts = 10;
  struct Row {
    std::string what;
    int symbols, rules;
    double meanTries, maxSeconds;
    long long maxTries;
    int outOfTime;
  };
  std::vector<Row> rows;
  std::map<long long, int> histogram;  // max tries per system, by power of ten
  long long totalAttempts = 0;
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
          Row row{p.id +
                      (variant == 0   ? ""
                       : variant == 1 ? " DP"
                                      : " rev DP") +
                      (reversed ? " reversed" : "") + (quasi ? " quasi" : " model"),
                  st->primary.symbolCount,
                  st->primary.ruleCount,
                  0,
                  0,
                  0,
                  0};
          long long sum = 0;
          for (int k = 0; k < kAttempts; ++k) {
            const DrawStats d = MeasureDraws(*st, limit);
            ++totalAttempts;
            sum += d.tries;
            row.maxTries = std::max(row.maxTries, d.tries);
            row.maxSeconds = std::max(row.maxSeconds, d.seconds);
            if (d.outOfTime) {
              ++row.outOfTime;
              break;  // the system is hopeless within the limit
            }
          }
          row.meanTries = static_cast<double>(sum) / kAttempts;
          long long bucket = 1;
          while (bucket <= row.maxTries / 10) bucket *= 10;
          ++histogram[bucket];
          rows.push_back(row);
        }
      }
    }
  }
  std::sort(rows.begin(), rows.end(),
            [](const Row& a, const Row& b) { return a.maxSeconds > b.maxSeconds; });
  std::printf("%lld attempts on %zu systems (up to %d attempts each, limit %.1f s)\n",
              totalAttempts, rows.size(), kAttempts, limit);
  for (const auto& [bucket, n] : histogram)
    std::printf("  max tries in [%lld, %lld): %d systems\n", bucket, bucket * 10, n);
  std::printf("slowest systems:\n");
  for (std::size_t k = 0; k < rows.size() && k < 25; ++k)
    std::printf("  %-60s S=%2d N=%3d mean tries %.0f, max %lld, max %.3f s%s\n",
                rows[k].what.c_str(), rows[k].symbols, rows[k].rules, rows[k].meanTries,
                rows[k].maxTries, rows[k].maxSeconds, rows[k].outOfTime ? " OUT OF TIME" : "");
}

}  // namespace
}  // namespace velkin
