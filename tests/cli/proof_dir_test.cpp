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
  WriteFile(dir / "in/std/grow.srs", "ab -> bba\n");
  WriteFile(dir / "in/xtc/a.xml",
            "<?xml version=\"1.0\"?><problem type=\"termination\"><trs><rules><rule><lhs><funapp>"
            "<name>a</name><arg><var>x</var></arg></funapp></lhs><rhs><var>x</var></rhs></rule>"
            "</rules><signature><funcsym><name>a</name><arity>1</arity></funcsym></signature>"
            "</trs><strategy>FULL</strategy></problem>\n");
  // Decided by the first step of every road of the strong strategy, so that its proof
  // text does not depend on which road wins the race.
  WriteFile(dir / "in/weak.srs", "a ->= b\n");
  WriteFile(dir / "in/tpdb/loop.srs", "(RULES -> a)\n");
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
    const auto kept = [&](const std::string& name) {
      return ReadFile((fs::path(proofs) / name).replace_extension(".proof").string());
    };
    for (const char* name :
         {"weak.srs", "tpdb/loop.srs", "std/ab.srs", "std/grow.srs", "xtc/a.xml"}) {
      SCOPED_TRACE(name);
      const std::string proof = kept(name);
      const std::string single = SingleProof(options, dir / (std::string("in/") + name), dir);
      // The strong strategy's race may let another road win the single run.
      if (strategy == "classic" || name[0] == 'w' || name[0] == 't') {
        EXPECT_EQ(proof, single);
      } else {
        EXPECT_EQ(proof.rfind("Problem 1: termination of R, with\r\n", 0), 0u) << proof;
        EXPECT_TRUE(proof.ends_with("\r\n\r\nSo problem 1 terminates.\r\n")) << proof;
      }
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
