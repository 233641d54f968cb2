// The pieces of the command line on their own: format detection, shards, escaping,
// the file walk, the atomic result file and the batch summary.
#include <sys/stat.h>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/file_io.h"
#include "cli_test_util.h"
#include "model/text_output.h"

namespace velkin::cli {
namespace {

using clitest::ReadFile;
using clitest::ScratchDir;
using clitest::WriteFile;

TEST(DetectFormat, ByNameThenByText) {
  struct Case {
    const char* path;
    const char* text;
    InputFormat want;
  };
  const Case cases[] = {
      {"p.xml", "ab -> ba", InputFormat::Xtc},
      {"DIR/P.XML", "", InputFormat::Xtc},
      {"p.ari", "ab -> ba", InputFormat::Ari},
      {"p.srs", "(format TRS)\n(fun a 1)", InputFormat::Ari},
      {"-", "; comment\n  ; another\n\n(format TRS)", InputFormat::Ari},
      {"p.srs", "(RULES a b -> b a)", InputFormat::Tpdb},
      {"p.srs", "\n  (VAR x)\n(RULES a -> b)", InputFormat::Tpdb},
      {"p.srs", "(a -> a(", InputFormat::Plain},  // '(' but no RULES
      {"p.srs", "ab -> ba\n(RULES", InputFormat::Plain},
      {"p.srs", "", InputFormat::Plain},
      {"xml", "ab -> ba", InputFormat::Plain},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " | " + c.text);
    EXPECT_EQ(DetectFormat(c.path, c.text), c.want);
    EXPECT_EQ(ResolveFormat(FormatChoice::Auto, c.path, c.text), c.want);
  }
  EXPECT_EQ(ResolveFormat(FormatChoice::Plain, "p.xml", "(RULES)"), InputFormat::Plain);
  EXPECT_EQ(ResolveFormat(FormatChoice::Tpdb, "p.xml", ""), InputFormat::Tpdb);
  EXPECT_EQ(ParseFormatName("xtc"), FormatChoice::Xtc);
  EXPECT_EQ(ParseFormatName("XTC"), std::nullopt);
}

TEST(Shard, ParsesOnlyValidSplits) {
  std::string error;
  const auto s = ParseShard("2/8", error);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->index, 2);
  EXPECT_EQ(s->count, 8);
  for (const char* bad :
       {"0/4", "5/4", "1/0", "1", "a/4", "1/4/2", "/4", "1/", "-1/4", "1/99999999", " 1/4"}) {
    SCOPED_TRACE(bad);
    error.clear();
    EXPECT_FALSE(ParseShard(bad, error));
    EXPECT_FALSE(error.empty());
  }
}

TEST(Shard, TheShardsPartitionTheListInOrder) {
  std::vector<std::string> all;
  for (int k = 0; k < 23; ++k) all.push_back("p" + std::to_string(100 + k));
  for (int n : {1, 2, 5, 23, 40}) {
    std::vector<std::string> seen;
    for (int i = 1; i <= n; ++i) {
      const std::vector<std::string> part = SelectShard(all, Shard{i, n});
      EXPECT_TRUE(std::is_sorted(part.begin(), part.end()));
      // Shard i holds positions i, i+n, ... (1-based).
      if (!part.empty()) {
        EXPECT_EQ(part.front(), all[i - 1]);
      }
      seen.insert(seen.end(), part.begin(), part.end());
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, all) << "n = " << n;
  }
}

TEST(Escaping, CsvFieldsAndJsonStrings) {
  EXPECT_EQ(CsvField("plain/a.srs"), "plain/a.srs");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");

  EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(JsonString("t\tn\nr\r"), "\"t\\tn\\nr\\r\"");
  EXPECT_EQ(JsonString(std::string("\x01\x7f", 2)), "\"\\u0001\\u007f\"");
  EXPECT_EQ(JsonString("caf\xc3\xa9 \xe2\x86\x92"), "\"caf\xc3\xa9 \xe2\x86\x92\"");
  // Bytes that are not well-formed UTF-8 (a lone continuation byte, a truncated
  // sequence, an overlong encoding) still give valid JSON.
  EXPECT_EQ(JsonString("\x80"), "\"\\u0080\"");
  EXPECT_EQ(JsonString("\xe2\x86"), "\"\\u00e2\\u0086\"");
  EXPECT_EQ(JsonString("\xc0\xaf"), "\"\\u00c0\\u00af\"");
}

TEST(RefusalReason, DropsTheRuleNumberOnly) {
  EXPECT_EQ(RefusalReason("rule 12: left-hand side has more than 19 symbols"),
            "left-hand side has more than 19 symbols");
  EXPECT_EQ(RefusalReason("left-hand side has more than 19 symbols"),
            "left-hand side has more than 19 symbols");
  EXPECT_EQ(RefusalReason("rule x: odd"), "rule x: odd");
  EXPECT_EQ(RefusalReason("rule 3 odd"), "rule 3 odd");
}

TEST(CollectProblemFiles, WalksFoldersSortsAndReportsMissingPaths) {
  ScratchDir dir;
  for (const char* name :
       {"b/z.srs", "b/a.XML", "a.ari", "b/c/deep.srs", "notes.txt", "b/c/readme.md", "srs"})
    WriteFile(dir / name, "x");
  const std::string other = dir / "notes.txt";
  FileList list = CollectProblemFiles({dir.path().string(), other, dir / "a.ari"});
  EXPECT_TRUE(list.errors.empty());
  const std::vector<std::string> want = {dir / "a.ari", dir / "b/a.XML", dir / "b/c/deep.srs",
                                         dir / "b/z.srs", dir / "notes.txt"};
  EXPECT_EQ(list.files, want);

  list = CollectProblemFiles({dir / "missing", dir / "a.ari"});
  ASSERT_EQ(list.errors.size(), 1u);
  EXPECT_NE(list.errors[0].find("missing: no such file"), std::string::npos);
  EXPECT_EQ(list.files, std::vector<std::string>{dir / "a.ari"});
}

TEST(WriteFileAtomically, WritesCrLfAndReplacesKeepingPermissions) {
  ScratchDir dir;
  const std::string target = dir / "proof.res";
  std::string error;
  ASSERT_TRUE(
      WriteFileAtomically(target, JoinLines({"first", "", "last "}, LineEnds::AfterEach), error))
      << error;
  EXPECT_EQ(ReadFile(target), "first\r\n\r\nlast \r\n");

  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileAtomically(target, JoinLines({}, LineEnds::AfterEach), error)) << error;
  EXPECT_EQ(ReadFile(target), "");
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  // Nothing but the target is left in the folder.
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1);

  // A target that cannot be replaced (a folder) is reported and stays as it was.
  std::filesystem::create_directory(dir / "sub");
  EXPECT_FALSE(WriteFileAtomically(dir / "sub", JoinLines({"x"}, LineEnds::AfterEach), error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(std::filesystem::is_directory(dir / "sub"));
  EXPECT_FALSE(WriteFileAtomically(dir / "no/such/folder.res",
                                   JoinLines({"x"}, LineEnds::AfterEach), error));
}

TEST(FormatSummary, CountsStatusesReasonsAndTheSlowest) {
  std::vector<ProblemRecord> records(6);
  const double ms[] = {5, 50, 7, 9000, 1, 30};
  for (int k = 0; k < 6; ++k) {
    records[k].path = "p" + std::to_string(k);
    records[k].ms = ms[k];
  }
  records[0].outcome = RunOutcome::Terminating;
  records[1].outcome = RunOutcome::LoopFound;
  records[2].outcome = RunOutcome::InputRefused;
  records[2].error = InputError{3, "rule 3: left-hand side has more than 19 symbols"};
  records[3].outcome = RunOutcome::NoProof;
  records[3].timedOut = true;
  records[4].outcome = RunOutcome::InputRefused;
  records[4].error = InputError{0, "rule 9: left-hand side has more than 19 symbols"};
  records[5].unreadable = true;
  records[5].outcome = RunOutcome::InputRefused;
  const std::string s = FormatSummary(records, 2, 4.5, false, 2);
  EXPECT_NE(s.find("6 problems, 4.5 s wall time, 2 jobs"), std::string::npos) << s;
  EXPECT_NE(s.find("terminating        1"), std::string::npos) << s;
  EXPECT_NE(s.find("no proof           1  (1 at the time limit)"), std::string::npos) << s;
  EXPECT_NE(s.find("refused            2"), std::string::npos) << s;
  EXPECT_NE(s.find("unreadable         1"), std::string::npos) << s;
  EXPECT_NE(s.find("      2  left-hand side has more than 19 symbols"), std::string::npos) << s;
  EXPECT_NE(s.find("median 18.5 ms"), std::string::npos) << s;  // (7 + 30) / 2
  // The two slowest, slowest first, and no third.
  const std::size_t first = s.find("9000.0 ms");
  const std::size_t second = s.find("50.0 ms");
  EXPECT_NE(first, std::string::npos);
  EXPECT_LT(first, second);
  EXPECT_EQ(s.find("30.0 ms  "), std::string::npos) << s;
  EXPECT_NE(FormatSummary(records, 1, 1, true).find("YES"), std::string::npos);
}

TEST(BatchRows, CsvAndJsonlCarryTheSameFields) {
  ProblemRecord r;
  r.path = "dir/a,b.srs";
  r.outcome = RunOutcome::InputRefused;
  r.error = InputError{4, "no separator"};
  r.ms = 12.3;
  EXPECT_EQ(CsvRow(r, false), "\"dir/a,b.srs\",refused,12.3,,,0,line 4: no separator");
  EXPECT_EQ(JsonlRow(r, false),
            "{\"path\":\"dir/a,b.srs\",\"status\":\"refused\",\"ms\":12.3,\"rules\":null,"
            "\"symbols\":null,\"timed_out\":false,\"error\":\"line 4: no separator\"}");
  r.outcome = RunOutcome::LoopFound;
  r.rules = 2;
  r.symbols = 3;
  EXPECT_EQ(CsvRow(r, true), "\"dir/a,b.srs\",NO,12.3,2,3,0,");
  EXPECT_EQ(JsonlRow(r, false),
            "{\"path\":\"dir/a,b.srs\",\"status\":\"loop found\",\"ms\":12.3,\"rules\":2,"
            "\"symbols\":3,\"timed_out\":false,\"error\":null}");
}

}  // namespace
}  // namespace velkin::cli
