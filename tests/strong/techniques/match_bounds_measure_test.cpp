// Timing of the match-bound technique alone on a list of corpus problems. Disabled by
// default; run with
//   VELKIN_MB_LIST=ids.txt VELKIN_MB_SECONDS=10 velkin_strong_tests
//     --gtest_also_run_disabled_tests --gtest_filter='*MatchBoundMeasure*'
// where ids.txt holds one corpus id a line (e.g. SRS_Standard/ICFP_2010/107193). Each
// problem is tried on R, then (when that fails) on R^rev, each with the full budget, or
// with VELKIN_MB_BOTH=1 on both in turns within one budget (VELKIN_MB_REUSE=0, 1 or 2
// picks the reuse of existing paths: none, first letter, longest suffix); one line per
// attempt: id, direction,
// found, seconds, states, transitions, bound, re-check seconds, note.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "model/parsed_system.h"
#include "strong/problem.h"
#include "strong/techniques/match_bounds.h"

namespace velkin::strong {
namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> out;
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

TEST(MatchBoundMeasure, DISABLED_TimesTheListedProblems) {
  const char* list = std::getenv("VELKIN_MB_LIST");
  ASSERT_NE(list, nullptr) << "VELKIN_MB_LIST names no list";
  const char* secondsText = std::getenv("VELKIN_MB_SECONDS");
  const double seconds = secondsText ? std::atof(secondsText) : 10.0;
  const bool both = std::getenv("VELKIN_MB_BOTH") != nullptr;
  const char* reuse = std::getenv("VELKIN_MB_REUSE");
  int found = 0, tried = 0;
  for (const std::string& id : Lines(list)) {
    if (id.empty()) continue;
    const std::string path = std::string(VELKIN_CORPUS_DIR) + "/plain/" + id + ".srs";
    ParsedSystem parsed;
    const ReadResult read = ReadUnbounded(Lines(path), InputFormat::Plain, parsed);
    ASSERT_TRUE(read.ok) << path;
    const Problem p = FromParsed(parsed);
    ++tried;
    for (const bool reversed : {false, true}) {
      MatchBoundOptions o;
      o.reversed = reversed;
      o.bothDirections = both;
      if (const char* h = std::getenv("VELKIN_MB_HEIGHT")) o.maxHeight = std::atoi(h);
      if (reuse) o.reuse = static_cast<MatchBoundOptions::Reuse>(std::atoi(reuse));
      const auto start = Clock::now();
      const Result r = FindMatchBound(p,
                                      Budget().Within(std::chrono::duration_cast<Clock::duration>(
                                          std::chrono::duration<double>(seconds))),
                                      o);
      const double took = Since(start);
      const bool proved = r.kind == Result::Kind::Proved;
      int states = 0, transitions = 0, bound = -1;
      double recheck = 0;
      if (proved) {
        const auto& w = static_cast<const MatchBoundWitness&>(*r.witness);
        states = w.states;
        transitions = static_cast<int>(w.transitions.size());
        bound = w.bound;
        const auto t = Clock::now();
        EXPECT_EQ(w.Recheck(p, {}), "") << id;
        recheck = Since(t);
      }
      const bool wasReversed = proved && static_cast<const MatchBoundWitness&>(*r.witness).reversed;
      std::cout << id << '\t'
                << (both       ? (wasReversed ? "both:rev" : "both")
                    : reversed ? "rev"
                               : "fwd")
                << '\t' << (proved ? "found" : "-") << '\t' << took << '\t' << states << '\t'
                << transitions << '\t' << bound << '\t' << recheck << '\t' << r.note << std::endl;
      if (proved) ++found;
      if (proved || both) break;
    }
  }
  std::cout << "found " << found << " of " << tried << std::endl;
}

}  // namespace
}  // namespace velkin::strong
