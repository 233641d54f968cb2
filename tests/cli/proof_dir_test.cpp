// `velkin batch --proof-dir`: every answer's proof text kept under the folder, byte for
// byte what a single run's -o writes, for both strategies.
#include <gtest/gtest.h>

#include "cli/commands.h"
#include "cli_test_util.h"

namespace velkin::clitest {
namespace {

// The -o file of a single run of `file` with `options`.
std::string SingleProof(const std::string& options, const std::string& file,
                        const ScratchDir& dir) {
  const std::string out = dir / "single.proof";
  fs::remove(out);
  const Outcome o = Velkin(options + " -o '" + out + "' '" + file + "'");
  EXPECT_EQ(o.code, 0) << o.err;
  return ReadFile(out);
}

void ExpectNoTemporaryFiles(const fs::path& dir) {
  for (const auto& e : fs::recursive_directory_iterator(dir))
    EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos) << e.path();
}

TEST(ProofDir, BatchKeepsEachAnswersProofAsASingleRunWritesIt) {
  ScratchDir dir;
  WriteFile(dir / "in/std/ab.srs", "ab -> ba\n");
  WriteFile(dir / "in/std/loop.srs", "ab -> bba\n");
  WriteFile(dir / "in/xtc/a.xml",
            "<?xml version=\"1.0\"?><problem type=\"termination\"><trs><rules><rule><lhs><funapp>"
            "<name>a</name><arg><var>x</var></arg></funapp></lhs><rhs><var>x</var></rhs></rule>"
            "</rules><signature><funcsym><name>a</name><arity>1</arity></funcsym></signature>"
            "</trs><strategy>FULL</strategy></problem>\n");
  WriteFile(dir / "in/bad.srs", "ab -> ba\nabc\n");
  // Beyond the classic capacities: refused there, proved by the strong strategy.
  WriteFile(dir / "in/long.srs", "aaaaaaaaaaaaaaaaaaaaaa -> a\n");
  for (const std::string strategy : {"classic", "strong"}) {
    SCOPED_TRACE(strategy);
    const std::string options = "--strategy " + strategy + " --timeout 20";
    const std::string proofs = dir / ("proofs-" + strategy);
    const Outcome o = Velkin("batch " + options + " --jobs 2 --proof-dir '" + proofs + "' '" +
                             (dir / "in") + "'");
    ASSERT_EQ(o.code, 0) << o.err;
    for (const char* name : {"std/ab.srs", "std/loop.srs", "xtc/a.xml"}) {
      SCOPED_TRACE(name);
      const std::string kept =
          ReadFile((fs::path(proofs) / name).replace_extension(".proof").string());
      EXPECT_NE(kept, "");
      EXPECT_EQ(kept, SingleProof(options, dir / (std::string("in/") + name), dir));
    }
    // A refused problem has no proof; a long side only for the classic strategy.
    EXPECT_FALSE(fs::exists(proofs + "/bad.proof"));
    EXPECT_EQ(fs::exists(proofs + "/long.proof"), strategy == "strong");
    ExpectNoTemporaryFiles(proofs);
  }
}

TEST(ProofDir, FilesGivenThemselvesAreKeptByNameAndNamesNeverClash) {
  EXPECT_EQ(cli::ResultName("corpus/a/b/01.srs", {"corpus"}, ".proof"), "a/b/01.proof");
  EXPECT_EQ(cli::ResultName("x/01.xml", {"x/01.xml"}, ".proof"), "01.proof");
  EXPECT_EQ(cli::ResultName("x/y/01.ari", {"x/y/01.ari", "x"}, ".proof"), "01.proof");

  ScratchDir dir;
  WriteFile(dir / "a/ab.srs", "ab -> ba\n");
  WriteFile(dir / "b/ab.srs", "ab -> bba\n");
  WriteFile(dir / "b/ab.xml", "<problem/>\n");
  Outcome o = Velkin("batch --proof-dir '" + (dir / "p") + "' '" + (dir / "a/ab.srs") + "'");
  ASSERT_EQ(o.code, 0) << o.err;
  EXPECT_EQ(ReadFile(dir / "p/ab.proof"), SingleProof("", dir / "a/ab.srs", dir));

  // Two problems that would share a proof text: refused before anything runs.
  o = Velkin("batch --proof-dir '" + (dir / "q") + "' '" + (dir / "a/ab.srs") + "' '" +
             (dir / "b/ab.srs") + "'");
  EXPECT_EQ(o.code, 2);
  EXPECT_NE(o.err.find("same proof text"), std::string::npos) << o.err;
  o = Velkin("batch --proof-dir '" + (dir / "q") + "' '" + (dir / "b") + "'");
  EXPECT_EQ(o.code, 2);
  EXPECT_FALSE(fs::exists(dir / "q"));

  // A folder that cannot be made: the batch runs, says so and fails.
  WriteFile(dir / "blocked", "a file, not a folder");
  o = Velkin("batch --csv - --proof-dir '" + (dir / "blocked/p") + "' '" + (dir / "a") + "'");
  EXPECT_EQ(o.code, 2);
  EXPECT_NE(o.err.find("blocked/p"), std::string::npos) << o.err;
  EXPECT_NE(o.out.find("ab.srs,terminating"), std::string::npos) << o.out;
}

}  // namespace
}  // namespace velkin::clitest
