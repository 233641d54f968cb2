// The strong strategy through the built `velkin`: status and proof text, -o files,
// the time limit, batch rows of the same shape, the competition script, and input
// beyond the classic capacities.
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli_test_util.h"

namespace velkin::clitest {
namespace {

const std::string kSource = VELKIN_SOURCE_DIR;
const std::string kCorpus = VELKIN_CORPUS_DIR;

double SecondsSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

TEST(StrongCommand, ProvesWithAPrintedTreeAndKeepsClassicTheDefault) {
  const Outcome o = Velkin("--strategy strong '" + kSource + "/examples/ab.srs'");
  ASSERT_EQ(o.code, 0) << o.err;
  const std::vector<std::string> lines = Lines(o.out);
  ASSERT_GE(lines.size(), 4u) << o.out;
  EXPECT_EQ(lines[0], "terminating");
  EXPECT_EQ(lines[1], "Problem 1: termination of R, with");
  EXPECT_EQ(lines[3], "    a b -> b a");
  EXPECT_EQ(lines.back(), "So problem 1 terminates.");
  // Rule removal and match bounds race from the start; either proof is printed in full.
  // The removal road tries match-bound rule removal before its matrices.
  EXPECT_TRUE(o.out.find("by matrix interpretation") != std::string::npos ||
              o.out.find("by match bound") != std::string::npos ||
              o.out.find("by match-bound rule removal") != std::string::npos)
      << o.out;

  // The competition's first line; relative problems; standard input.
  EXPECT_EQ(Lines(Velkin("--strategy strong --termcomp -", "ab->ba\n").out).at(0), "YES");
  const Outcome rel = Velkin("--strategy strong -", "a->c\nc->=cc\n");
  EXPECT_EQ(Lines(rel.out).at(0), "terminating") << rel.err;
  EXPECT_NE(rel.out.find("termination of R relative to S"), std::string::npos);

  // Without --strategy, and with --strategy classic, the classic text as before.
  const Outcome classic = Velkin("'" + kSource + "/examples/ab.srs'");
  EXPECT_EQ(Lines(classic.out).at(1), "VELKIN 1.3 is applied to the string rewriting system");
  EXPECT_EQ(Velkin("--strategy classic '" + kSource + "/examples/ab.srs'").out, classic.out);

  const Outcome help = Velkin("--help");
  for (const char* word : {"--strategy", "--jobs", "Strategies: classic", "strong is"})
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  EXPECT_NE(Velkin("batch --help").out.find("--strategy"), std::string::npos);
}

TEST(StrongCommand, BadOptionsAndRefusedInputAreErrors) {
  for (const char* args :
       {"--strategy fast -", "--strategy strong --jobs 0 -", "--strategy strong --timeout 0 -"}) {
    SCOPED_TRACE(args);
    const Outcome o = Velkin(args, "ab->ba\n");
    EXPECT_EQ(o.code, 2);
    EXPECT_EQ(o.out, "");
  }
  // --road takes a name of the list in --help, one per occurrence, with the strong
  // strategy only.
  for (const char* args : {"--strategy strong --road nowhere -", "--road loops -"}) {
    SCOPED_TRACE(args);
    const Outcome o = Velkin(args, "ab->ba\n");
    EXPECT_EQ(o.code, 2);
    EXPECT_EQ(o.out, "");
  }
  EXPECT_NE(Velkin("--strategy strong --road nowhere -", "ab->ba\n").err.find("no road is called"),
            std::string::npos);
  const Outcome loops = Velkin("--strategy strong --timeout 1 --road loops -", "ab->ba\n");
  EXPECT_EQ(loops.code, 0) << loops.err;
  EXPECT_EQ(Lines(loops.out).at(0), "no proof");
  const Outcome bounds =
      Velkin("--strategy strong --road loops --road 'match bounds' -", "ab->ba\n");
  EXPECT_EQ(Lines(bounds.out).at(0), "terminating") << bounds.err;
  // The readers refuse for both strategies with the same message.
  const Outcome strong = Velkin("--strategy strong -", "ab->ba\nabc\n");
  const Outcome classic = Velkin("-", "ab->ba\nabc\n");
  EXPECT_EQ(strong.code, 2);
  EXPECT_EQ(strong.out, "");
  EXPECT_EQ(strong.err, classic.err);
}

TEST(StrongCommand, TheOutputFileHoldsTheProofText) {
  ScratchDir dir;
  const Outcome o = Velkin("--strategy strong -o '" + (dir / "p.res") + "' -", "ab->ba\n");
  ASSERT_EQ(o.code, 0) << o.err;
  std::string expected;
  const std::vector<std::string> lines = Lines(o.out);
  for (std::size_t i = 1; i < lines.size(); ++i) expected += lines[i] + "\r\n";
  EXPECT_EQ(ReadFile(dir / "p.res"), expected);
}

TEST(StrongCommand, TheTimeLimitEndsARunPromptly) {
  // A problem that no road of the strong strategy solves in a few seconds (not in 10 s
  // either).
  const std::string hard = kCorpus + "/plain/SRS_Standard/Waldmann_19/random-147.srs";
  if (!fs::exists(hard)) GTEST_SKIP() << "no corpus";
  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(jobs);
    const auto start = std::chrono::steady_clock::now();
    const Outcome o = Velkin(std::string("--strategy strong --termcomp --timeout 1 --jobs ") +
                             jobs + " '" + hard + "'");
    EXPECT_EQ(o.code, 0);
    EXPECT_LT(SecondsSince(start), 3.0);  // generous for sanitizer builds
    if (Lines(o.out).at(0) == "MAYBE") {
      EXPECT_EQ(o.out, "MAYBE\n");
    }
  }
}

// Hard problems of the families whose roads used to overrun the limit (arctic
// encodings built without polling, large solvers freed at the limit, the match bound
// of one-rule systems, closures of a relative problem): in a batch on two jobs, every
// row ends within the limit and a margin.
TEST(StrongCommand, BatchRunsEndSoonAfterTheirLimit) {
  const std::vector<std::string> hard{"SRS_Standard/Wenzel_16/abaaaaa-aaaaaabaaabaab.srs",
                                      "SRS_Standard/Wenzel_16/abbbaaaa-aaaaabbbaaabbb.srs",
                                      "SRS_Standard/Waldmann_07_size12/size-12-alpha-3-num-434.srs",
                                      "SRS_Relative/ICFP_2010_relative/132833.srs"};
  std::string files;
  for (const std::string& f : hard) {
    if (!fs::exists(kCorpus + "/plain/" + f)) GTEST_SKIP() << "no corpus";
    files += " '" + kCorpus + "/plain/" + f + "'";
  }
  const double limit = 2.0;
  // Generous under sanitizers, which slow every step between two polls.
  const double margin = std::getenv("VELKIN_SANITIZED") ? 4.0 : 1.0;
  const Outcome o = Velkin("batch --strategy strong --timeout 2 --jobs 2 --csv -" + files);
  ASSERT_EQ(o.code, 0) << o.err;
  const std::vector<std::string> rows = Lines(o.out);
  int seen = 0;
  for (const std::string& row : rows) {
    if (row.rfind("path,", 0) == 0 || row.find(".srs,") == std::string::npos) continue;
    // path,status,ms,...
    const std::size_t a = row.find(','), b = row.find(',', a + 1), c = row.find(',', b + 1);
    ASSERT_NE(c, std::string::npos) << row;
    const double ms = std::stod(row.substr(b + 1, c - b - 1));
    EXPECT_LT(ms, 1000 * (limit + margin)) << row;
    ++seen;
  }
  EXPECT_EQ(seen, static_cast<int>(hard.size())) << o.out;
}

TEST(StrongCommand, BatchRowsKeepTheirShape) {
  ScratchDir dir;
  WriteFile(dir / "c/ab.srs", "ab -> ba\n");
  WriteFile(dir / "c/rel.srs", "a->c\nc->=cc\n");
  WriteFile(dir / "c/bad.srs", "ab -> ba\nabc\n");
  const Outcome o =
      Velkin("batch --strategy strong --timeout 5 --jobs 2 --csv - '" + (dir / "c") + "'");
  ASSERT_EQ(o.code, 0) << o.err;
  const std::vector<std::string> rows = Lines(o.out);
  ASSERT_EQ(rows.size(), 4u) << o.out;
  EXPECT_EQ(rows[0], "path,status,ms,rules,symbols,timed_out,error");
  const auto fields = [](const std::string& row) {
    std::vector<std::string> f;
    std::size_t start = 0;
    for (std::size_t k = 0; k < 6; ++k) {
      const std::size_t end = row.find(',', start);
      f.push_back(row.substr(start, end - start));
      start = end + 1;
    }
    f.push_back(row.substr(start));
    return f;
  };
  // With two jobs the rows come in the order the problems finish: find each by its path.
  const auto row = [&](const std::string& name) {
    for (std::size_t k = 1; k < rows.size(); ++k)
      if (fields(rows[k])[0].ends_with("/" + name)) return fields(rows[k]);
    ADD_FAILURE() << "no row for " << name << " in " << o.out;
    return std::vector<std::string>(7);
  };
  const std::vector<std::string> ab = row("ab.srs"), bad = row("bad.srs"), rel = row("rel.srs");
  EXPECT_EQ(ab[1], "terminating");
  EXPECT_EQ(ab[3] + "," + ab[4] + "," + ab[5], "1,2,0");
  EXPECT_EQ(bad[1], "refused");
  // The same refusal as the classic strategy gives.
  const std::vector<std::string> classic =
      Lines(Velkin("batch --csv - '" + (dir / "c/bad.srs") + "'").out);
  ASSERT_EQ(classic.size(), 2u);
  EXPECT_EQ(bad[6], fields(classic[1])[6]);
  EXPECT_EQ(rel[1], "terminating");
  EXPECT_EQ(rel[3] + "," + rel[4], "2,2");
}

TEST(StrongCommand, TheCompetitionScriptUsesTheStrongStrategy) {
  ScratchDir dir;
  WriteFile(dir / "rel.ari",
            "(format TRS)\n(fun a 1)\n(fun c 1)\n(rule (a x) (c x))\n"
            "(rule (c x) (c (c x)) :cost 0)\n");
  const std::string env = std::string("VELKIN='") + VELKIN_EXE + "' ";
  const Outcome o = RunShell(env + "'" + kSource + "/termcomp/solver' --timeout=10 " +
                             "--category=SRS_Relative '" + (dir / "rel.ari") + "'");
  EXPECT_EQ(o.code, 0) << o.err;
  const std::vector<std::string> lines = Lines(o.out);
  ASSERT_GE(lines.size(), 2u) << o.out << o.err;
  EXPECT_EQ(lines[0], "YES");
  EXPECT_EQ(lines[1], "Problem 1: termination of R relative to S, with");
}

TEST(StrongCommand, RunsAProblemBeyondTheClassicCapacities) {
  // A left side of 25 letters: the classic reader refuses it (at most 19).
  const std::string text = "aaaaaaaaaaaaaaaaaaaaaaaaa->b\n";
  EXPECT_EQ(Velkin("-", text).code, 2);
  const Outcome o = Velkin("--strategy strong --timeout 10 -", text);
  EXPECT_EQ(o.code, 0) << o.err;
  EXPECT_EQ(o.out.substr(0, o.out.find('\n')), "terminating") << o.err;
}

}  // namespace
}  // namespace velkin::clitest
