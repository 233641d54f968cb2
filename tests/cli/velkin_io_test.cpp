// What the built `velkin` reads and writes, tried as a user and as a hostile tester
// would: long proofs, misread inputs and their warnings, input sizes, interrupted
// collections, failed writes, and result files behind links and devices.
#include <sys/stat.h>

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

}  // namespace
}  // namespace velkin::clitest
