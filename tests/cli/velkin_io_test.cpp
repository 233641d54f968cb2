// What the built `velkin` reads and writes, tried as a user and as a hostile tester
// would: long proofs, misread inputs and their warnings, input sizes, interrupted
// collections, failed writes, and result files behind links and devices.
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <vector>

#include "cli_test_util.h"

namespace velkin::clitest {
namespace {

// 1000 rules a^k b -> b (k = 1..18, cycling): the head alone takes 1002 lines, and the
// proof that follows removes every rule.
std::string ThousandRules() {
  std::string text;
  for (int k = 0; k < 1000; ++k) text += std::string(1 + k % 18, 'a') + "b -> b\n";
  return text;
}

TEST(VelkinLongProof, EveryLineReachesStdoutAndTheResultFile) {
  ScratchDir dir;
  WriteFile(dir / "many.srs", ThousandRules());
  const Outcome o = Velkin("-o '" + (dir / "many.res") + "' '" + (dir / "many.srs") + "'");
  ASSERT_EQ(o.code, 0) << o.err;
  const std::vector<std::string> lines = Lines(o.out);
  ASSERT_GT(lines.size(), 2000u);
  EXPECT_EQ(lines.front(), "terminating");
  EXPECT_EQ(lines[1001], "a a a a a a a a a a b  -> b ");  // rule 1000: a^10 b
  EXPECT_EQ(lines.back(), "Terminating since no rules remain.");
  // The file holds the same proof, CR LF after each line.
  std::string want;
  for (std::size_t k = 1; k < lines.size(); ++k) want += lines[k] + "\r\n";
  EXPECT_EQ(ReadFile(dir / "many.res"), want);
}

TEST(VelkinTpdb, TheRulesSectionIsFoundByItsOpeningWord) {
  for (const char* text : {"(COMMENT Some text) (RULES a b -> b a)", "(VAR S)\n(RULES a b -> b a)",
                           "(VAR x)( RULES\na b -> b a\n)", "(COMMENT (S) ) (RULES a b -> b a)"}) {
    SCOPED_TRACE(text);
    const Outcome o = Velkin("--tpdb -", text);
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(Lines(o.out).at(0), "terminating");
    EXPECT_EQ(Lines(o.out).at(2), "a b  -> b a ");
  }
  const Outcome none = Velkin("--tpdb -", "(COMMENT no rules here; see S)");
  EXPECT_EQ(none.code, 2);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err,
            "velkin: <stdin>: no RULES section: write the rules as (RULES lhs -> rhs, ...)\n");
}

TEST(VelkinTpdb, TheWeakArrowMakesAWeakRuleAndABlankKeepsItsOldMeaning) {
  // No strict rule: relative termination holds at once, there is no loop.
  Outcome o = Velkin("-", "(RULES a ->= a a)");
  EXPECT_EQ(o.code, 0);
  EXPECT_EQ(Lines(o.out).at(0), "terminating");
  EXPECT_EQ(Lines(o.out).at(2), "a  ->= a a ");
  o = Velkin("-", "(RULES a b -> b a, b ->= b b)");
  EXPECT_EQ(Lines(o.out).at(3), "b  ->= b b ");
  // "-> =": the strict rule a -> = a a, as before.
  o = Velkin("-", "(RULES a -> = a a)");
  EXPECT_EQ(Lines(o.out).at(0), "loop found");
  EXPECT_EQ(Lines(o.out).at(2), "a  -> = a a ");
}

TEST(VelkinInput, AByteOrderMarkIsSkippedInEveryFormat) {
  const std::string bom = "\xEF\xBB\xBF";
  struct Case {
    std::string args, text;
  };
  const Case cases[] = {
      {"-", "ab -> ba\n"},
      {"-", "(RULES a b -> b a)"},
      {"--format ari -", "(format TRS)\n(fun a 1)\n(fun b 1)\n(rule (a (b x)) (b (a x)))\n"},
      {"--format xtc -",
       "<?xml version=\"1.0\"?><problem type=\"termination\"><trs><rules><rule><lhs><name>a</name>"
       "<name>b</name><var>x</var></lhs><rhs><name>b</name><name>a</name><var>x</var></rhs>"
       "</rule></rules></trs></problem>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const Outcome o = Velkin(c.args, bom + c.text);
    EXPECT_EQ(o.code, 0) << o.err;
    ASSERT_GE(Lines(o.out).size(), 3u);
    EXPECT_EQ(Lines(o.out)[2], "a b  -> b a ");
  }
}

TEST(VelkinInput, XmlIsRecognisedByItsContent) {
  const std::string xtc =
      "<?xml version=\"1.0\"?>\n<problem type=\"termination\"><trs><rules><rule><lhs><funapp>"
      "<name>a</name><arg><funapp><name>b</name><arg><var>x</var></arg></funapp></arg></funapp>"
      "</lhs><rhs><funapp><name>b</name><arg><funapp><name>a</name><arg><var>x</var></arg>"
      "</funapp></arg></funapp></rhs></rule></rules></trs></problem>\n";
  ScratchDir dir;
  WriteFile(dir / "problem.txt", xtc);
  for (const std::string& args : {std::string("-"), "'" + (dir / "problem.txt") + "'"}) {
    const Outcome o = Velkin(args, xtc);
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(Lines(o.out).at(2), "a b  -> b a ");
  }
  // A plain rule that merely starts with '<' stays plain.
  EXPECT_EQ(Lines(Velkin("-", "<a -> a<\n").out).at(2), "< a  -> a < ");
}

TEST(VelkinInput, AriQuotedNamesAndDoubleDeclarations) {
  Outcome o = Velkin("--format ari -",
                     "(format TRS)\n(fun |a| 1)\n(fun |b c| 1)\n"
                     "(rule (a (|b c| x)) (|b c| (|a| x)))\n");
  EXPECT_EQ(o.code, 0) << o.err;
  EXPECT_EQ(Lines(o.out).at(2), "a b c  -> b c a ");  // |a| and a are one symbol
  o = Velkin("--format ari -", "(format TRS)\n(fun a 1)\n(fun a 2)\n");
  EXPECT_EQ(o.code, 2);
  EXPECT_EQ(o.err,
            "velkin: <stdin>:3: symbol a is declared twice, with arity 1 and with arity 2\n");
  o = Velkin("--format ari -", "(format TRS)\n(fun |a 1)\n");
  EXPECT_EQ(o.code, 2);
  EXPECT_NE(o.err.find(":2: a |quoted| name"), std::string::npos) << o.err;
}

TEST(VelkinInput, PlainWarningsGoToStderrAndChangeNothingElse) {
  struct Case {
    const char* text;
    const char* warning;  // the stderr line after "velkin: <stdin>:"
    const char* same;     // a text without the fault that reads the same
  };
  const Case cases[] = {
      {"a -> eaa\n",
       "1: warning: an \"e\" ends the right-hand side, so 'aa' after it is ignored: read as a -> e",
       "a -> e\n"},
      {"ab -> ba  rev\n", "1: warning: text after the right-hand side is ignored: 'rev'",
       "ab -> ba\n"},
      {"a b -> b a\n",
       "1: warning: a blank ends the left-hand side: read as a -> b (write each side without "
       "blanks)",
       "a -> b\n"},
      {"ab -> ba\n\nbc -> cb\n",
       "2: warning: an empty line ends the rules; 1 line after it that looks like a rule is "
       "ignored",
       "ab -> ba\n"},
      {"ab -> ba\n  comment\nbc -> cb\ncd -> dc\n",
       "2: warning: an indented line ends the rules; 2 lines after it that look like a rule "
       "are ignored",
       "ab -> ba\n"},
      {"\n", " warning: the input has no rules (plain format: one rule per line, lhs -> rhs)", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const Outcome o = Velkin("-", c.text);
    const Outcome same = Velkin("-", c.same);
    EXPECT_EQ(o.err, std::string("velkin: <stdin>:") + c.warning + "\n");
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.out, same.out);
  }
  // The corpus' own layout, comment lines with arrows included, and the edge cases that
  // read as written, draw no warning.
  for (const char* text :
       {"ab -> ae\nab -> e\n-> a\nab ->\nab ba\nab ->= ba\n\n problem: R: ->\n", ""}) {
    SCOPED_TRACE(text);
    const Outcome o = Velkin("-", std::string(text) + (*text ? "" : "a -> b\n"));
    EXPECT_EQ(o.err, "");
  }
  // tpdb: a right side that runs into the next rule's arrow.
  const Outcome tpdb = Velkin("-", "(RULES a b -> b a b a -> a b)");
  EXPECT_EQ(tpdb.err,
            "velkin: <stdin>:1: warning: rule 1: the right-hand side runs into a '-' (is a "
            "comma missing between two rules?)\n");
  EXPECT_EQ(Lines(tpdb.out).at(0), "loop found");
  // The strong strategy reads the same text and says the same.
  const Outcome strong = Velkin("--strategy strong --timeout 5 -", "(RULES a b -> b a b a -> a b)");
  EXPECT_EQ(strong.err, tpdb.err);
  EXPECT_EQ(Lines(strong.out).at(0), "loop found");
  EXPECT_EQ(Velkin("--strategy strong --timeout 5 -", "ab -> ba  rev\n").err,
            "velkin: <stdin>:1: warning: text after the right-hand side is ignored: 'rev'\n");
}

TEST(VelkinInput, EndlessInputsAreRefusedAtTheSizeLimit) {
  Outcome o = Velkin("/dev/zero");
  EXPECT_EQ(o.code, 2);
  EXPECT_EQ(o.err,
            "velkin: /dev/zero: the input is larger than 64 MiB, more than a problem file "
            "holds\n");
  o = RunShell("head -c 70000000 /dev/zero | '" + std::string(VELKIN_EXE) + "' -");
  EXPECT_EQ(o.code, 2);
  EXPECT_NE(o.err.find("<stdin>: the input is larger than 64 MiB"), std::string::npos);
}

TEST(VelkinOutputFile, LinksAreFollowedAndDevicesWrittenInPlace) {
  ScratchDir dir;
  const std::string proof = "VELKIN 1.3 is applied to the string rewriting system\r\n";
  // A link to a file: the target gets the new text, the link stays a link.
  WriteFile(dir / "real.res", "old\r\n");
  fs::create_directory(dir.path() / "sub");
  fs::create_symlink("../real.res", dir.path() / "sub" / "link.res");
  Outcome o = Velkin("-o '" + (dir / "sub/link.res") + "' -", "ab -> ba\n");
  ASSERT_EQ(o.code, 0) << o.err;
  EXPECT_TRUE(fs::is_symlink(dir.path() / "sub" / "link.res"));
  EXPECT_EQ(ReadFile(dir / "real.res").rfind(proof, 0), 0u);
  // A dangling link creates its target.
  fs::create_symlink("made.res", dir.path() / "dangling.res");
  o = Velkin("-o '" + (dir / "dangling.res") + "' -", "ab -> ba\n");
  ASSERT_EQ(o.code, 0) << o.err;
  EXPECT_TRUE(fs::is_symlink(dir.path() / "dangling.res"));
  EXPECT_EQ(ReadFile(dir / "made.res").rfind(proof, 0), 0u);
  // A FIFO is written into, not replaced.
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  o = RunShell("cat '" + (dir / "fifo") + "' > '" + (dir / "from-fifo") + "' & '" +
                   std::string(VELKIN_EXE) + "' -o '" + (dir / "fifo") + "' -; wait",
               "ab -> ba\n");
  EXPECT_EQ(o.code, 0) << o.err;
  EXPECT_TRUE(fs::is_fifo(dir.path() / "fifo"));
  EXPECT_EQ(ReadFile(dir / "from-fifo").rfind(proof, 0), 0u);
  // A device that cannot take the text: an error, and the device is still there.
  o = Velkin("-o /dev/full -", "ab -> ba\n");
  EXPECT_EQ(o.code, 2);
  EXPECT_NE(o.err.find("velkin: /dev/full: cannot write: No space left on device"),
            std::string::npos)
      << o.err;
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
  // A folder is refused.
  o = Velkin("-o '" + (dir / "sub") + "' -", "ab -> ba\n");
  EXPECT_EQ(o.code, 2);
  EXPECT_NE(o.err.find("is a folder"), std::string::npos) << o.err;
}

TEST(VelkinStdout, AFailedWriteExitsNonZero) {
  Outcome o = Velkin("- > /dev/full", "ab -> ba\n");
  EXPECT_EQ(o.code, 2);
  EXPECT_NE(o.err.find("velkin: cannot write standard output"), std::string::npos) << o.err;
  // A closed pipe with SIGPIPE ignored (as some launchers leave it): EPIPE, exit 2.
  o = RunShell("trap '' PIPE; (sleep 0.3; '" + std::string(VELKIN_EXE) +
                   "' - ; echo \"code $?\" >&2) | true",
               "ab -> ba\n");
  EXPECT_NE(o.err.find("velkin: cannot write standard output: Broken pipe\ncode 2"),
            std::string::npos)
      << o.err;
  ScratchDir dir;
  WriteFile(dir / "c/a.srs", "ab -> ba\n");
  o = Velkin("batch --csv - '" + (dir / "c") + "' > /dev/full");
  EXPECT_EQ(o.code, 2);
  EXPECT_NE(o.err.find("velkin: standard output: writing failed"), std::string::npos) << o.err;
  o = Velkin("batch '" + (dir / "c") + "' > /dev/full");
  EXPECT_EQ(o.code, 2);
  EXPECT_NE(o.err.find("cannot write standard output"), std::string::npos) << o.err;
}

// Two quick problems, then two on which the prover works for a long time.
void MakeSlowCollection(const ScratchDir& dir, const std::string& hard) {
  WriteFile(dir / "c/a.srs", "ab -> ba\n");
  WriteFile(dir / "c/b.srs", "a -> aa\n");
  WriteFile(dir / "c/c.srs", ReadFile(hard));
  WriteFile(dir / "c/d.srs", ReadFile(hard));
}

TEST(VelkinBatch, RowsAreFlushedAndASignalStopsTheBatchCleanly) {
  const std::string hard =
      std::string(VELKIN_CORPUS_DIR) + "/plain/SRS_Standard/ICFP_2010/48267.srs";
  if (ReadFile(hard).empty()) GTEST_SKIP() << "no corpus";
  for (const auto& [signal, code] : {std::pair{"INT", 130}, std::pair{"TERM", 143}}) {
    SCOPED_TRACE(signal);
    ScratchDir dir;
    MakeSlowCollection(dir, hard);
    // Job control gives the background batch the usual signal dispositions. The rows
    // of the quick problems must be in the files while the batch still runs.
    WriteFile(dir / "run.sh", "set -m\n'" + std::string(VELKIN_EXE) + "' batch -j 1 --csv '" +
                                  (dir / "r.csv") + "' --jsonl '" + (dir / "r.jsonl") + "' '" +
                                  (dir / "c") + "' > '" + (dir / "summary") + "' & pid=$!\n" +
                                  "for i in $(seq 300); do [ \"$(wc -l < '" + (dir / "r.jsonl") +
                                  "' 2>/dev/null || echo 0)\" -ge 2 ] && break; sleep 0.1; done\n"
                                  "cp '" +
                                  (dir / "r.csv") + "' '" + (dir / "early.csv") + "'\n" + "kill -" +
                                  signal + " $pid; wait $pid; echo $? > '" + (dir / "code") +
                                  "'\n");
    const auto start = std::chrono::steady_clock::now();
    const Outcome o = RunShell("bash '" + (dir / "run.sh") + "'");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(ReadFile(dir / "code"), std::to_string(code) + "\n");
    EXPECT_EQ(Lines(ReadFile(dir / "early.csv")).size(), 3u);  // header and two rows
    const std::vector<std::string> rows = Lines(ReadFile(dir / "r.csv"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].rfind(dir / "c/a.srs,terminating,", 0), 0u);
    EXPECT_EQ(rows[2].rfind(dir / "c/b.srs,loop found,", 0), 0u);
    EXPECT_EQ(Lines(ReadFile(dir / "r.jsonl")).size(), 2u);
    const std::string summary = ReadFile(dir / "summary");
    EXPECT_EQ(summary.rfind(std::string("interrupted by SIG") + signal +
                                ": 2 of 4 problems did not finish; the rows and this summary "
                                "cover the 2 that did\n2 problems,",
                            0),
              0u)
        << summary;
  }
}

TEST(VelkinUsage, ClearMessagesForSmallMistakes) {
  Outcome o = Velkin("batch --jobs 0 .");
  EXPECT_EQ(o.code, 2);
  EXPECT_EQ(o.err,
            "velkin: --jobs: '0' is not a number of jobs from 1 to 1024\n"
            "Run 'velkin batch --help' for the usage.\n");
  o = Velkin("batch");
  EXPECT_NE(o.err.find("Run 'velkin batch --help' for the usage."), std::string::npos);
  o = Velkin("--tpdb --format tpdb -", "(RULES a -> b)");
  EXPECT_EQ(o.code, 2);
  EXPECT_NE(o.err.find("--tpdb and --format exclude each other"), std::string::npos);
  // The help texts: nothing glued to a description, and "see Formats" finds them.
  for (const char* args : {"--help", "batch --help"}) {
    SCOPED_TRACE(args);
    const std::string help = Velkin(args).out;
    EXPECT_EQ(help.find("Excludes"), std::string::npos);
    EXPECT_EQ(help.find("see below"), std::string::npos);
    EXPECT_NE(help.find("see Formats"), std::string::npos);
    EXPECT_NE(help.find("\nFormats: plain"), std::string::npos);
    EXPECT_NE(help.find("64 MiB"), std::string::npos);
  }
  EXPECT_NE(Velkin("batch --help").out.find("130"), std::string::npos);
  // The competition's script refuses a time limit that is no number.
  ScratchDir dir;
  WriteFile(dir / "ab.srs", "ab -> ba\n");
  for (const char* t : {"abc", "0", "1.2.3", "-5"}) {
    SCOPED_TRACE(t);
    o = RunShell("VELKIN='" + std::string(VELKIN_EXE) + "' '" + std::string(VELKIN_SOURCE_DIR) +
                 "/termcomp/solver' --timeout=" + t + " --category=SRS_Standard '" +
                 (dir / "ab.srs") + "'");
    EXPECT_EQ(o.out, "MAYBE\n");
    EXPECT_EQ(o.err,
              std::string("solver: --timeout=") + t + " is not a number of seconds above 0\n");
  }
  o = RunShell("VELKIN='" + std::string(VELKIN_EXE) + "' '" + std::string(VELKIN_SOURCE_DIR) +
               "/termcomp/solver' --timeout=2.5 '" + (dir / "ab.srs") + "'");
  EXPECT_EQ(Lines(o.out).at(0), "YES");
}

}  // namespace
}  // namespace velkin::clitest
