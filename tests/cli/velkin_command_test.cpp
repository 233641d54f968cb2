// The built `velkin` run as a user runs it: single problems in every format, the
// options, errors and exit codes, the -o file, batch mode with its row files and
// shards, and the termination competition's script.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>

#include "cli_test_util.h"

namespace velkin::clitest {
namespace {

const std::string kSource = VELKIN_SOURCE_DIR;

// The proof of ab -> ba: the head, then the polynomial interpretation a = 10x,
// b = x + 1 that removes the rule.
const std::vector<std::string> kAbProof = {
    "VELKIN 1.3 is applied to the string rewriting system",
    "a b  -> b a ",
    "",
    "Choose polynomial interpretation:",
    "a: lambda x.10x,  rest lambda x.x+1",
    "remove: a b  -> b a ",
    "Terminating since no rules remain.",
};

// The loop of a -> a a: the head and the loop line.
const std::vector<std::string> kLoopProof = {
    "VELKIN 1.3 is applied to the string rewriting system",
    "a  -> a a ",
    "",
    "Non-terminating; looping derivation starting in: a",
};

std::string Joined(const std::string& first, const std::vector<std::string>& lines,
                   const char* end = "\n") {
  std::string s = first.empty() ? "" : first + end;
  for (const std::string& l : lines) s += l + end;
  return s;
}

std::string XtcOf(const std::string& lhsInner, const std::string& rhsInner,
                  const std::string& signature) {
  return "<?xml version=\"1.0\"?>\n<problem type=\"termination\">\n<trs>\n<rules>\n<rule>\n<lhs>" +
         lhsInner + "</lhs>\n<rhs>" + rhsInner + "</rhs>\n</rule>\n</rules>\n<signature>" +
         signature + "</signature>\n</trs>\n<strategy>FULL</strategy>\n</problem>\n";
}

const std::string kAbXtc = XtcOf(
    "<funapp><name>a</name><arg><funapp><name>b</name><arg><var>x</var></arg></funapp></arg>"
    "</funapp>",
    "<funapp><name>b</name><arg><funapp><name>a</name><arg><var>x</var></arg></funapp></arg>"
    "</funapp>",
    "<funcsym><name>a</name><arity>1</arity></funcsym>"
    "<funcsym><name>b</name><arity>1</arity></funcsym>");

const std::string kAbAri = "(format TRS)\n(fun a 1)\n(fun b 1)\n(rule (a (b x)) (b (a x)))\n";

TEST(VelkinCommand, TheOverviewRoadOfAbBaInEveryFormat) {
  ScratchDir dir;
  const Outcome plain = Velkin("'" + kSource + "/examples/ab.srs'");
  EXPECT_EQ(plain.code, 0) << plain.err;
  EXPECT_EQ(plain.out, Joined("terminating", kAbProof));
  EXPECT_EQ(plain.err, "");

  WriteFile(dir / "ab.xml", kAbXtc);
  WriteFile(dir / "ab.ari", kAbAri);
  WriteFile(dir / "ab-tpdb.srs", "(RULES\n  a b -> b a\n)\n");
  WriteFile(dir / "ari-text.srs", "; an ARI text under another name\n" + kAbAri);
  for (const char* name : {"ab.xml", "ab.ari", "ab-tpdb.srs", "ari-text.srs"}) {
    SCOPED_TRACE(name);
    const Outcome o = Velkin("'" + (dir / name) + "'");
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, plain.out);
  }
  // Standard input, with the format named or found from the text.
  EXPECT_EQ(Velkin("-", "ab -> ba\n").out, plain.out);
  EXPECT_EQ(Velkin("--format xtc -", kAbXtc).out, plain.out);
  EXPECT_EQ(Velkin("--tpdb -", "(RULES a b -> b a)").out, plain.out);
  EXPECT_EQ(Velkin("--termcomp -", "ab -> ba\n").out, Joined("YES", kAbProof));
}

TEST(VelkinCommand, LoopsAndTheCompetitionsAnswers) {
  const Outcome loop = Velkin("-", "a -> aa\n");
  EXPECT_EQ(loop.code, 0);
  EXPECT_EQ(loop.out, Joined("loop found", kLoopProof));
  EXPECT_EQ(Velkin("--termcomp -", "a -> aa\n").out, Joined("NO", kLoopProof));
  // A relative problem that does not terminate is never called terminating.
  const Outcome rel = Velkin("--termcomp --format ari -",
                             "(format TRS)\n(fun a 1)\n(rule (a x) (a (a x)) :cost 0)\n"
                             "(rule (a x) (a (a x)))\n");
  EXPECT_EQ(rel.code, 0) << rel.err;
  EXPECT_NE(rel.out.rfind("YES\n", 0), 0u) << rel.out;  // never terminating
}

TEST(VelkinCommand, TheFormatDecidesHowTheTextIsRead) {
  // A tpdb text read as plain: "(RULES" has no separator.
  const Outcome forced = Velkin("--format plain -", "(RULES\na b -> b a\n)\n");
  EXPECT_EQ(forced.code, 2);
  EXPECT_EQ(forced.out, "");
  EXPECT_EQ(forced.err,
            "velkin: <stdin>:1: no separator between the sides (write lhs -> rhs or "
            "lhs ->= rhs)\n");
  // --tpdb and --format exclude each other.
  EXPECT_EQ(Velkin("--tpdb --format tpdb -", "(RULES a -> b)").code, 2);
}

TEST(VelkinCommand, ErrorsNameTheFileAndLineAndExitWithTwo) {
  ScratchDir dir;
  WriteFile(dir / "bad.srs", "ab -> ba\nba -> ab\nc\xff -> a\n");
  Outcome o = Velkin("'" + (dir / "bad.srs") + "'");
  EXPECT_EQ(o.code, 2);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "velkin: " + (dir / "bad.srs") + ":3: invalid UTF-8 (byte 2)\n");

  WriteFile(dir / "f.xml",
            XtcOf("<funapp><name>f</name><arg><var>x</var></arg><arg><var>x</var></arg></funapp>",
                  "<var>x</var>", ""));
  o = Velkin("'" + (dir / "f.xml") + "'");
  EXPECT_EQ(o.code, 2);
  EXPECT_EQ(o.err, "velkin: " + (dir / "f.xml") +
                       ":6: rule 1: left-hand side: symbol f has 2 arguments: only unary symbols "
                       "(string rewriting) are supported\n");

  WriteFile(dir / "g.ari", "(format TRS)\n(fun g 2)\n");
  o = Velkin("'" + (dir / "g.ari") + "'");
  EXPECT_EQ(o.code, 2);
  EXPECT_NE(o.err.find("g.ari:2: symbol g is declared with arity 2"), std::string::npos) << o.err;

  o = Velkin("'" + (dir / "missing.srs") + "'");
  EXPECT_EQ(o.code, 2);
  EXPECT_EQ(o.err,
            "velkin: " + (dir / "missing.srs") + ": cannot open: No such file or directory\n");
  o = Velkin("'" + dir.path().string() + "'");
  EXPECT_EQ(o.code, 2);
  EXPECT_NE(o.err.find("is a directory"), std::string::npos);

  // Usage errors.
  for (const char* args :
       {"", "--attempts x -", "--attempts '1 ' -", "--attempts 2147483648 -", "--no-such-option -",
        "--format yaml -", "--timeout 0 -", "--timeout -3 -", "--timeout 1e300 -",
        "--timeout nan -", "a.srs b.srs"}) {
    SCOPED_TRACE(args);
    o = Velkin(args, "ab -> ba\n");
    EXPECT_EQ(o.code, 2);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err.rfind("velkin: ", 0), 0u) << o.err;
  }
  EXPECT_NE(Velkin("--attempts x -").err.find("'x' is not a valid integer value"),
            std::string::npos);
  // Integers in the signed 32-bit range, with a sign, are accepted.
  EXPECT_EQ(Velkin("--attempts=-5 -", "ab -> ba\n").code, 0);
  EXPECT_EQ(Velkin("--attempts +2147483647 -", "ab -> ba\n").code, 0);
}

TEST(VelkinCommand, HelpAndVersion) {
  const Outcome help = Velkin("--help");
  EXPECT_EQ(help.code, 0);
  for (const char* word : {"--termcomp", "--format", "--no-match-bound", "--no-rem-labels",
                           "--attempts", "--timeout", "-o", "batch", "Exit status"})
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  const Outcome batchHelp = Velkin("batch --help");
  EXPECT_EQ(batchHelp.code, 0);
  for (const char* word : {"--jobs", "--csv", "--jsonl", "--shard"})
    EXPECT_NE(batchHelp.out.find(word), std::string::npos) << word;
  EXPECT_EQ(Velkin("--version").out, "VELKIN 1.3\n");
}

TEST(VelkinCommand, OutputFileIsWrittenWithCrLfAndReplacedWhole) {
  ScratchDir dir;
  const std::string res = dir / "ab.res";
  Outcome o = Velkin("-o '" + res + "' -", "ab -> ba\n");
  EXPECT_EQ(o.code, 0) << o.err;
  EXPECT_EQ(ReadFile(res), Joined("", kAbProof, "\r\n"));
  EXPECT_EQ(o.out, Joined("terminating", kAbProof));

  // Refused input leaves an existing result file as it was.
  WriteFile(res, "keep me\r\n");
  o = Velkin("-o '" + res + "' -", "ab\xff -> a\n");
  EXPECT_EQ(o.code, 2);
  EXPECT_EQ(ReadFile(res), "keep me\r\n");

  // A loop replaces it; the file keeps its permissions; no temporary file is left.
  ASSERT_EQ(::chmod(res.c_str(), 0600), 0);
  o = Velkin("--output '" + res + "' -", "a -> aa\n");
  EXPECT_EQ(o.code, 0);
  EXPECT_EQ(ReadFile(res), Joined("", kLoopProof, "\r\n"));
  struct stat st {};
  ASSERT_EQ(::stat(res.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  int entries = 0;
  for (const auto& e : fs::directory_iterator(dir.path())) entries += e.is_regular_file();
  EXPECT_EQ(entries, 1);

  // A folder that does not exist is an error after the run.
  o = Velkin("-o '" + (dir / "no/such.res") + "' -", "ab -> ba\n");
  EXPECT_EQ(o.code, 2);
  EXPECT_NE(o.err.find("no/such.res"), std::string::npos);
}

// The CSV without its time column (the only one that varies from run to run).
std::vector<std::string> WithoutTimes(const std::string& csv) {
  std::vector<std::string> rows;
  for (const std::string& line : Lines(csv)) {
    const std::size_t a = line.find(',', line.find(',') + 1);
    const std::size_t b = line.find(',', a + 1);
    rows.push_back(line.substr(0, a) + line.substr(b));
  }
  return rows;
}

TEST(VelkinCommand, TheTimeLimitEndsAHardRunWithNoProof) {
  // A problem of the corpus on which the prover works for many seconds without a result.
  const std::string hard =
      std::string(VELKIN_CORPUS_DIR) + "/plain/SRS_Standard/ICFP_2010/48267.srs";
  if (!fs::exists(hard)) GTEST_SKIP() << "no corpus";
  const auto start = std::chrono::steady_clock::now();
  const Outcome o = Velkin("--termcomp --timeout 0.5 '" + hard + "'");
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(o.code, 0);
  EXPECT_EQ(o.out, "MAYBE\n");
  EXPECT_NE(o.err.find("time limit of 0.5 s ran out"), std::string::npos) << o.err;
  EXPECT_LT(seconds, 10.0);  // generous for sanitizer builds

  const Outcome b =
      Velkin("batch -j 1 --timeout 0.5 --csv - '" + hard + "' '" + kSource + "/examples/ab.srs'");
  const std::vector<std::string> rows = WithoutTimes(b.out);
  ASSERT_EQ(rows.size(), 3u) << b.out;
  EXPECT_EQ(rows[1], hard + ",no proof,90,6,1,");
  EXPECT_EQ(rows[2], kSource + "/examples/ab.srs,terminating,1,2,0,");
  EXPECT_NE(b.err.find("(1 at the time limit)"), std::string::npos) << b.err;
}

// A folder of small problems for batch mode: two proofs, two loops, two refusals, and
// a file that the walk ignores.
void MakeCollection(const ScratchDir& dir) {
  WriteFile(dir / "c/ab.srs", "ab -> ba\n");
  WriteFile(dir / "c/loop.srs", "a -> aa\n");
  WriteFile(dir / "c/bad.srs", "ab -> ba\nabc\n");
  WriteFile(dir / "c/sub/ab.xml", kAbXtc);
  WriteFile(dir / "c/sub/loop.ari", "(format TRS)\n(fun a 1)\n(rule (a x) (a (a x)))\n");
  WriteFile(dir / "c/sub/wide.ari", "(format TRS)\n(fun f 2)\n");
  WriteFile(dir / "c/notes.txt", "not a problem");
}

TEST(VelkinBatch, RowsSummaryAndIndependenceOfTheJobCount) {
  ScratchDir dir;
  MakeCollection(dir);
  const std::string c = dir / "c";
  Outcome o = Velkin("batch --jobs 3 --csv '" + (dir / "r.csv") + "' --jsonl '" +
                     (dir / "r.jsonl") + "' '" + c + "'");
  ASSERT_EQ(o.code, 0) << o.err;
  EXPECT_EQ(o.err, "");  // no progress bar: stderr is no terminal
  const std::vector<std::string> want = {
      "path,status,rules,symbols,timed_out,error",
      c + "/ab.srs,terminating,1,2,0,",
      c + "/bad.srs,refused,,,0,line 2: no separator between the sides (write lhs -> rhs or "
          "lhs ->= rhs)",
      c + "/loop.srs,loop found,1,1,0,",
      c + "/sub/ab.xml,terminating,1,2,0,",
      c + "/sub/loop.ari,loop found,1,1,0,",
      c + "/sub/wide.ari,refused,,,0,line 2: symbol f is declared with arity 2: only unary "
          "symbols (string rewriting) are supported",
  };
  // Rows come as the problems finish: in any order with three jobs.
  std::vector<std::string> rows = WithoutTimes(ReadFile(dir / "r.csv"));
  ASSERT_FALSE(rows.empty());
  std::sort(rows.begin() + 1, rows.end());
  EXPECT_EQ(rows, want);

  std::vector<std::string> json = Lines(ReadFile(dir / "r.jsonl"));
  std::sort(json.begin(), json.end());
  ASSERT_EQ(json.size(), 6u);
  EXPECT_EQ(json[0].rfind("{\"path\":\"" + c + "/ab.srs\",\"status\":\"terminating\",\"ms\":", 0),
            0u);
  EXPECT_NE(json[0].find(",\"rules\":1,\"symbols\":2,\"timed_out\":false,\"error\":null}"),
            std::string::npos);
  EXPECT_NE(json[5].find("\"rules\":null,\"symbols\":null,\"timed_out\":false,\"error\":\"line 2: "
                         "symbol f is declared with arity 2"),
            std::string::npos);

  EXPECT_NE(o.out.find("6 problems"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("3 jobs"), std::string::npos);
  EXPECT_NE(o.out.find("terminating        2"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("loop found         2"), std::string::npos);
  EXPECT_NE(o.out.find("refused            2"), std::string::npos);
  EXPECT_NE(o.out.find("      1  no separator between the sides"), std::string::npos);
  EXPECT_NE(o.out.find("slowest:"), std::string::npos);

  // One job gives the same rows, in list order; --termcomp names the statuses YES / NO.
  o = Velkin("batch -j 1 --termcomp --csv - '" + c + "'");
  ASSERT_EQ(o.code, 0);
  std::vector<std::string> termcompWant = want;
  for (std::string& row : termcompWant) {
    for (const auto& [from, to] : {std::pair<std::string, std::string>{",terminating,", ",YES,"},
                                   {",loop found,", ",NO,"}}) {
      const std::size_t at = row.find(from);
      if (at != std::string::npos) row.replace(at, from.size(), to);
    }
  }
  EXPECT_EQ(WithoutTimes(o.out), termcompWant);
  EXPECT_NE(o.err.find("6 problems"), std::string::npos);  // the summary moved to stderr
}

TEST(VelkinBatch, ShardsSplitTheSortedListAndTheirCsvFilesConcatenate) {
  ScratchDir dir;
  MakeCollection(dir);
  const std::string c = dir / "c";
  const Outcome whole = Velkin("batch --csv - '" + c + "'");
  ASSERT_EQ(whole.code, 0);
  for (int n : {1, 2, 4, 7}) {
    SCOPED_TRACE(n);
    std::string joined;
    for (int i = 1; i <= n; ++i) {
      const Outcome part = Velkin("batch --shard " + std::to_string(i) + "/" + std::to_string(n) +
                                  " --csv - '" + c + "' '" + (dir / "c/ab.srs") + "'");
      ASSERT_EQ(part.code, 0) << part.err;
      if (i > 1) {
        EXPECT_EQ(part.out.find("path,status"), std::string::npos);
      }
      joined += part.out;
    }
    // Concatenated in shard order and sorted again, the rows are those of one run.
    std::vector<std::string> a = WithoutTimes(joined), b = WithoutTimes(whole.out);
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b);
  }
  // The second of two shards holds problems 2, 4, 6 of the sorted list (one job: rows
  // come in that order; with more they come as the problems finish).
  const Outcome second = Velkin("batch --jobs 1 --shard 2/2 --csv - '" + c + "'");
  const std::vector<std::string> rows = WithoutTimes(second.out);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].substr(0, rows[0].find(',')), c + "/bad.srs");
  EXPECT_EQ(rows[1].substr(0, rows[1].find(',')), c + "/sub/ab.xml");
  EXPECT_EQ(rows[2].substr(0, rows[2].find(',')), c + "/sub/wide.ari");
}

TEST(VelkinBatch, UsageErrors) {
  ScratchDir dir;
  MakeCollection(dir);
  for (const std::string& args :
       {std::string("batch"), "batch --shard 3/2 '" + (dir / "c") + "'",
        "batch --shard x '" + (dir / "c") + "'", "batch --jobs 0 '" + (dir / "c") + "'",
        "batch '" + (dir / "missing") + "'",
        "batch --csv '" + (dir / "no/such/r.csv") + "' '" + (dir / "c") + "'"}) {
    SCOPED_TRACE(args);
    const Outcome o = Velkin(args);
    EXPECT_EQ(o.code, 2);
    EXPECT_EQ(o.err.rfind("velkin: ", 0), 0u) << o.err;
  }
}

TEST(TermcompSolver, AnswersFromAnyFolderAndFindsVelkin) {
  ScratchDir dir;
  const std::string solver = kSource + "/termcomp/solver";
  const std::string env = std::string("VELKIN='") + VELKIN_EXE + "' ";
  // The name and version come from the velkin that the script runs.
  Outcome o = RunShell(env + "'" + solver + "' --name", "", "/");
  EXPECT_EQ(o.code, 0);
  EXPECT_EQ(o.out, "VELKIN 1.3\n");

  WriteFile(dir / "ab.xml", kAbXtc);
  // The script answers as the strong strategy does, with its time limit less a margin.
  const std::string abStrong =
      Velkin("--strategy strong --termcomp --timeout 27 '" + (dir / "ab.xml") + "'").out;
  ASSERT_EQ(abStrong.rfind("YES\n", 0), 0u) << abStrong;
  o = RunShell(env + "'" + solver + "' --timeout=30 --category=SRS_Standard ab.xml", "",
               dir.path().string());
  EXPECT_EQ(o.code, 0) << o.err;
  // Roads race, so which proof wins may differ from run to run: the answer may not.
  const auto firstLine = [](const std::string& s) { return s.substr(0, s.find('\n') + 1); };
  EXPECT_EQ(firstLine(o.out), "YES\n") << o.out;
  EXPECT_NE(o.out.find("So problem 1 terminates."), std::string::npos) << o.out;

  WriteFile(dir / "loop.ari", "(format TRS)\n(fun a 1)\n(rule (a x) (a (a x)))\n");
  o = RunShell(env + "'" + solver + "' --category=SRS_Relative --timeout=1 '" + (dir / "loop.ari") +
               "'");
  EXPECT_EQ(
      firstLine(o.out),
      firstLine(
          Velkin("--strategy strong --termcomp --timeout 0.9 '" + (dir / "loop.ari") + "'").out));
  EXPECT_EQ(firstLine(o.out), "NO\n") << o.out;

  // Input that velkin refuses gives MAYBE; so does a category it does not handle.
  WriteFile(dir / "wide.ari", "(format TRS)\n(fun f 2)\n");
  o = RunShell(env + "'" + solver + "' --timeout=10 --category=SRS_Standard '" +
               (dir / "wide.ari") + "'");
  EXPECT_EQ(o.out, "MAYBE\n");
  EXPECT_NE(o.err.find("arity 2"), std::string::npos);
  o = RunShell(env + "'" + solver + "' --timeout=10 --category=TRS_Standard '" + (dir / "ab.xml") +
               "'");
  EXPECT_EQ(o.out, "MAYBE\n");

  // Without $VELKIN, a velkin next to the script is used (a competition package).
  fs::create_directories(dir / "pkg");
  fs::copy_file(solver, dir / "pkg/solver");
  fs::create_symlink(VELKIN_EXE, dir / "pkg/velkin");
  o = RunShell("'" + (dir / "pkg/solver") + "' --timeout=30 --category=SRS_Standard '" +
                   (dir / "ab.xml") + "'",
               "", "/");
  EXPECT_EQ(firstLine(o.out), "YES\n") << o.err;
  EXPECT_NE(o.out.find("So problem 1 terminates."), std::string::npos) << o.out;
  o = RunShell("'" + (dir / "pkg/solver") + "' --name", "", "/");
  EXPECT_EQ(o.out, "VELKIN 1.3\n") << o.err;
}

}  // namespace
}  // namespace velkin::clitest
