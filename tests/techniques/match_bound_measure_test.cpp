// Timing of the match-bound road over the corpus. Disabled by default; run with
//   velkin_tests --gtest_also_run_disabled_tests --gtest_filter='*MatchBoundCorpus*'
// It prints the slowest attempts and the time spent in the two depth-first searches.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "../test_util.h"
#include "techniques/match_bound.h"
#include "techniques/match_prep.h"

namespace velkin {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// The fitting plain problems of the manifest: id and path.
std::vector<std::pair<std::string, std::string>> FittingProblems() {
  std::vector<std::pair<std::string, std::string>> out;
  std::ifstream manifest(std::string(VELKIN_CORPUS_DIR) + "/manifest.tsv");
  std::string line;
  std::getline(manifest, line);  // header
  while (std::getline(manifest, line)) {
    std::vector<std::string> f;
    std::stringstream ss(line);
    for (std::string cell; std::getline(ss, cell, '\t');) f.push_back(cell);
    if (f.size() >= 9 && f[7] == "yes") out.emplace_back(f[0], f[8]);
  }
  return out;
}

void ReversePrimary(State& st) {
  for (int i = 1; i <= st.primary.ruleCount; ++i) {
    for (SymbolString* row : {&st.primary.lhs[i], &st.primary.rhs[i]})
      std::reverse(row->begin(), row->begin() + Length(*row));
  }
}

struct Timing {
  double total = 0;       // the whole attempt, as TryMatchBound runs it
  double enumerate = 0;   // one sweep of EnumerateRedexPaths over every rule and state
  double rhsSearch = 0;   // FindRhsPath for every redex path, from its state and, as the
                          // shortcut asks, from every state at position 2
  double slowestRhs = 0;  // the slowest single FindRhsPath call of that sweep
  bool proved = false;
  int transitions = 0;
};

// One attempt on the primary system; then, on the automaton it ended with, one more
// pass of both depth-first searches, timed (the largest automaton is the costliest).
Timing TimedAttempt(State& st) {
  Timing t;
  const auto start = Clock::now();
  CopySystem(st.primary, st.working);
  if (!MatchBoundFits(st.primary)) return t;
  MatchAutomaton a;
  BuildInitialAutomaton(st, a);
  CompleteAutomaton(st, a);
  t.total = Seconds(Clock::now() - start);
  t.proved = !a.failed;
  t.transitions = a.transitionCount;
  if (st.cancelled) return t;

  a.failed = false;
  std::vector<std::vector<std::int32_t>> paths;
  std::vector<std::pair<int, int>> owners;  // rule and state of each path
  const auto e0 = Clock::now();
  for (int r = 1; r <= st.working.ruleCount; ++r) {
    for (int q = 1; q <= a.stateCount; ++q) {
      EnumerateRedexPaths(st, a, r, q);
      a.failed = false;
      for (int j = 0; j < a.pathCount; ++j) {
        paths.emplace_back(a.paths[j].begin(), a.paths[j].end());
        owners.emplace_back(r, q);
      }
    }
  }
  t.enumerate = Seconds(Clock::now() - e0);
  for (std::size_t k = 0; k < paths.size(); ++k) {
    const auto& path = paths[k];
    const auto [r, q] = owners[k];
    int lowest = a.height[path[0]], last = path[0];
    for (int j = 1; path[j] != 0; ++j) {
      lowest = std::min(lowest, a.height[path[j]]);
      last = path[j];
    }
    const auto f0 = Clock::now();
    FindRhsPath(st, a, r, lowest + 1, a.target[last], 1, q);
    if (Length(st.working.rhs[r]) >= 2)
      for (int s = a.stateCount; s >= 1; --s)
        FindRhsPath(st, a, r, lowest + 1, a.target[last], 2, s);
    const double d = Seconds(Clock::now() - f0);
    t.rhsSearch += d;
    t.slowestRhs = std::max(t.slowestRhs, d);
  }
  return t;
}

TEST(MatchBoundCorpus, DISABLED_MeasuresTheFourVariants) {
  struct Row {
    std::string id;
    std::string variant;
    Timing t;
    double whole = 0;  // TryMatchBound itself, untimed inside
  };
  std::vector<Row> rows;
  int attempts = 0, proofs = 0;
  for (const auto& [id, path] : FittingProblems()) {
    auto st = MakeState();
    testing::LoadPlain(*st, testing::ReadFile(std::string(VELKIN_CORPUS_DIR) + "/" + path));
    if (st->allStrict != 1) continue;  // the road runs on strict systems only
    CopySystem(st->primary, st->checkpoint);
    ExpandEmptyRhs(*st);
    for (int v = 1; v <= 4; ++v) {
      CopySystem(st->checkpoint, st->primary);
      if (v == 2 || v == 4) ReversePrimary(*st);
      if ((v == 3 || v == 4) && !StripCommonSymbol(*st)) continue;
      st->deadline = Clock::now() + std::chrono::seconds(120);
      st->cancelled = false;
      const Timing t = TimedAttempt(*st);
      st->cancelled = false;
      st->proved = 0;
      st->log.length = 0;
      const auto w0 = Clock::now();
      TryMatchBound(*st);
      const double whole = Seconds(Clock::now() - w0);
      ++attempts;
      if (st->proved) ++proofs;
      EXPECT_EQ(t.proved, st->proved == 1) << id << " variant " << v;
      rows.push_back({id, std::to_string(v), t, whole});
    }
  }
  std::sort(rows.begin(), rows.end(), [](const Row& x, const Row& y) { return x.whole > y.whole; });
  std::cout << attempts << " attempts, " << proofs << " proofs\n";
  std::cout << "slowest TryMatchBound calls (seconds: whole; then one more pass on the final "
               "automaton: enumerate sweep, FindRhsPath sweep, slowest FindRhsPath group)\n";
  for (std::size_t k = 0; k < rows.size() && k < 15; ++k) {
    const Row& r = rows[k];
    std::cout << r.id << " v" << r.variant << "  " << r.whole << "  " << r.t.enumerate << "  "
              << r.t.rhsSearch << "  " << r.t.slowestRhs << "  transitions " << r.t.transitions
              << (r.t.proved ? " proved" : " failed") << "\n";
  }
  std::sort(rows.begin(), rows.end(),
            [](const Row& x, const Row& y) { return x.t.enumerate > y.t.enumerate; });
  std::cout << "slowest by EnumerateRedexPaths\n";
  for (std::size_t k = 0; k < rows.size() && k < 5; ++k)
    std::cout << rows[k].id << " v" << rows[k].variant << "  " << rows[k].t.enumerate << "\n";
  std::sort(rows.begin(), rows.end(),
            [](const Row& x, const Row& y) { return x.t.rhsSearch > y.t.rhsSearch; });
  std::cout << "slowest by FindRhsPath\n";
  for (std::size_t k = 0; k < rows.size() && k < 5; ++k)
    std::cout << rows[k].id << " v" << rows[k].variant << "  " << rows[k].t.rhsSearch << "  "
              << rows[k].t.slowestRhs << "\n";
}

}  // namespace
}  // namespace velkin
