// Certificates on the command line: --cpf, --cpf-dir and --certified.
#include <gtest/gtest.h>

#include "cli/commands.h"
#include "cli_test_util.h"

namespace velkin::clitest {
namespace {

TEST(CpfCommand, ASingleRunWritesTheCertificateOfItsAnswerOnly) {
  ScratchDir dir;
  WriteFile(dir / "ab.srs", "ab->ba\n");
  WriteFile(dir / "loop.srs", "ab->bab\n");
  Outcome o = Velkin("--strategy strong --certified --termcomp --timeout 20 --cpf '" +
                     (dir / "ab.cpf") + "' '" + (dir / "ab.srs") + "'");
  ASSERT_EQ(o.code, 0) << o.err;
  EXPECT_EQ(Lines(o.out).at(0), "YES");
  const std::string cert = ReadFile(dir / "ab.cpf");
  EXPECT_NE(cert.find("<cpfVersion>2.1</cpfVersion>"), std::string::npos);
  EXPECT_NE(cert.find("<trsTerminationProof>"), std::string::npos);
  EXPECT_EQ(cert.find("<var>x</var>"), std::string::npos) << "the variable is x1";

  o = Velkin("--strategy strong --termcomp --timeout 20 --cpf '" + (dir / "loop.cpf") + "' '" +
             (dir / "loop.srs") + "'");
  ASSERT_EQ(o.code, 0) << o.err;
  EXPECT_EQ(Lines(o.out).at(0), "NO");
  EXPECT_NE(ReadFile(dir / "loop.cpf").find("<loop>"), std::string::npos);

  // No answer (a problem that no road solves in a second; not in 10 s either): no
  // certificate, the old file stays, and stderr says so.
  const std::string hard =
      std::string(VELKIN_CORPUS_DIR) + "/plain/SRS_Standard/Waldmann_19/random-147.srs";
  if (fs::exists(hard)) {
    WriteFile(dir / "old.cpf", "old");
    o = Velkin("--strategy strong --termcomp --timeout 1 --cpf '" + (dir / "old.cpf") + "' '" +
               hard + "'");
    ASSERT_EQ(Lines(o.out).at(0), "MAYBE");
    EXPECT_EQ(ReadFile(dir / "old.cpf"), "old");
    EXPECT_NE(o.err.find("no certificate written: no proof"), std::string::npos) << o.err;
  }
  // Nothing but finished files ever stays in the folder.
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos);
}

TEST(CpfCommand, CertificatesNeedTheStrongStrategy) {
  ScratchDir dir;
  WriteFile(dir / "ab.srs", "ab->ba\n");
  EXPECT_NE(Velkin("--cpf '" + (dir / "c.cpf") + "' '" + (dir / "ab.srs") + "'").code, 0);
  EXPECT_NE(Velkin("--certified '" + (dir / "ab.srs") + "'").code, 0);
  const Outcome o = Velkin("batch --cpf-dir '" + (dir / "certs") + "' '" + (dir / "ab.srs") + "'");
  EXPECT_NE(o.code, 0);
  EXPECT_NE(o.err.find("--strategy strong"), std::string::npos) << o.err;
  EXPECT_FALSE(fs::exists(dir / "c.cpf"));
}

TEST(CpfCommand, BatchNamesCertificatesAfterTheProblemsAndRefusesClashes) {
  EXPECT_EQ(cli::CertificateName("corpus/a/b/01.srs", {"corpus"}), "a/b/01.cpf");
  EXPECT_EQ(cli::CertificateName("x/01.xml", {"x/01.xml"}), "01.cpf");

  ScratchDir dir;
  WriteFile(dir / "in/std/ab.srs", "ab->ba\n");
  WriteFile(dir / "in/rel/ab.srs", "ab->ba\nc->=cc\n");
  Outcome o = Velkin("batch --strategy strong --certified --timeout 20 --jobs 2 --cpf-dir '" +
                     (dir / "certs") + "' '" + (dir / "in") + "'");
  ASSERT_EQ(o.code, 0) << o.err;
  EXPECT_NE(ReadFile(dir / "certs/std/ab.cpf").find("<trsTerminationProof>"), std::string::npos);
  EXPECT_NE(ReadFile(dir / "certs/rel/ab.cpf").find("<relativeRules>"), std::string::npos);

  // Two file arguments with the same name would share a certificate: refused up front.
  o = Velkin("batch --strategy strong --timeout 20 --cpf-dir '" + (dir / "certs2") + "' '" +
             (dir / "in/std/ab.srs") + "' '" + (dir / "in/rel/ab.srs") + "'");
  EXPECT_NE(o.code, 0);
  EXPECT_NE(o.err.find("same certificate"), std::string::npos) << o.err;
  EXPECT_FALSE(fs::exists(dir / "certs2"));
}

}  // namespace
}  // namespace velkin::clitest
