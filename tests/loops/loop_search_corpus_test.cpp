// Soundness of the loop search over the corpus: never a loop on a known terminating
// problem. Disabled by default; run with
//   velkin_tests --gtest_also_run_disabled_tests --gtest_filter='*LoopSearchCorpus*'
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../test_util.h"
#include "loops/loop_search.h"
#include "techniques/match_prep.h"

namespace velkin {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::vector<std::string>> ReadTsv(const std::string& path) {
  std::vector<std::vector<std::string>> rows;
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream ss(line);
    for (std::string cell; std::getline(ss, cell, '\t');) f.push_back(cell);
    rows.push_back(f);
  }
  return rows;
}

TEST(LoopSearchCorpus, DISABLED_NeverALoopOnAKnownTerminatingProblem) {
  const std::string dir = VELKIN_CORPUS_DIR;
  std::map<std::string, std::string> verdict;
  for (const auto& f : ReadTsv(dir + "/known-verdicts.tsv"))
    if (f.size() >= 2) verdict[f[0]] = f[1];
  int searched = 0, gaveUp = 0;
  int weakOnly = 0;                    // words that loop only through weak rules, on known YES
  std::map<std::string, int> loopsBy;  // verdict -> loops found
  std::vector<std::pair<double, std::string>> times;
  for (const auto& f : ReadTsv(dir + "/manifest.tsv")) {
    if (f.size() < 9 || f[7] != "yes") continue;
    const std::string& id = f[0];
    const std::string text = testing::ReadFile(dir + "/" + f[8]);
    // The system as read, and, for strict systems, the expansion that the match-bound
    // road leaves in the checkpoint.
    for (int variant = 0; variant < 2; ++variant) {
      auto st = MakeState();
      testing::LoadPlain(*st, text);
      if (variant == 1) {
        if (st->allStrict != 1) continue;
        CopySystem(st->primary, st->checkpoint);
        ExpandEmptyRhs(*st);
        if (st->log.length == 0) continue;  // no empty rhs: same system as variant 0
      }
      st->log.length = 0;
      st->headerRuleCount = 0;
      AppendLogLine(*st, "head");
      AppendLogLine(*st, "");
      ++searched;
      if (st->primary.ruleCount > kMaxLoopRules) ++gaveUp;
      if (st->allStrict == 0) {
        // Counting every entry as strict shows what the strict requirement rejects.
        AncestorTable t;
        if (CollectAncestors(*st, t)) {
          t.strictEntry = t.entry;
          if (FindLoopingWord(t) != 0 && verdict[id] == "YES") ++weakOnly;
        }
      }
      const auto t0 = Clock::now();
      SearchLoop(*st);
      times.emplace_back(std::chrono::duration<double>(Clock::now() - t0).count(),
                         id + (variant ? " (expanded)" : ""));
      if (st->loop) {
        ++loopsBy[verdict[id]];
        EXPECT_NE(verdict[id], "YES")
            << id << (variant ? " expanded" : "") << ": " << st->log.lines[st->log.length];
      }
    }
  }
  std::sort(times.rbegin(), times.rend());
  std::cout << searched << " searches, " << gaveUp << " gave up (more than 100 rules)\n";
  std::cout << "known YES with a cycle of weak rules only (rejected): " << weakOnly << "\n";
  for (const auto& [v, n] : loopsBy) std::cout << "loops on " << v << ": " << n << "\n";
  std::cout << "slowest searches (seconds)\n";
  for (std::size_t k = 0; k < times.size() && k < 8; ++k)
    std::cout << times[k].second << "  " << times[k].first << "\n";
}

}  // namespace
}  // namespace velkin
