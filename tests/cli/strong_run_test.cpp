// The strong engine's front door (prover/strong_run.h) as its callers use it: answers
// with proof and certificate, the XTC variable in the certificate, refusals, the stop
// flag, and time limits.
#include "prover/strong_run.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>

namespace velkin {
namespace {

TEST(StrongRun, AnswersWithProofAndCertificate) {
  StrongRunOptions options;
  options.timeoutSeconds = 20;
  options.certificate = true;
  StrongRunResult r = RunStrongText("ab -> bab\n", InputFormat::Plain, options);
  EXPECT_EQ(r.outcome, RunOutcome::LoopFound);
  ASSERT_FALSE(r.lines.empty());
  EXPECT_EQ(r.lines[0], "Problem 1: termination of R, with");
  EXPECT_EQ(r.rules, 1);
  EXPECT_EQ(r.symbols, 2);
  EXPECT_NE(r.certificate.find("<var>x1</var>"), std::string::npos) << r.certificate;
  EXPECT_FALSE(r.timedOut);

  // An XTC input's certificate names the input's own variable.
  const std::string xtc =
      "<problem type=\"termination\"><trs><rules><rule><lhs><funapp><name>a</name><arg>"
      "<funapp><name>b</name><arg><var>y</var></arg></funapp></arg></funapp></lhs><rhs>"
      "<funapp><name>b</name><arg><funapp><name>a</name><arg><funapp><name>b</name><arg>"
      "<var>y</var></arg></funapp></arg></funapp></arg></funapp></rhs></rule></rules></trs>"
      "</problem>";
  r = RunStrongText(xtc, InputFormat::Xtc, options);
  EXPECT_EQ(r.outcome, RunOutcome::LoopFound);
  EXPECT_NE(r.certificate.find("<var>y</var>"), std::string::npos) << r.certificate;
  EXPECT_EQ(r.certificate.find("<var>x1</var>"), std::string::npos);

  // Without the request, no certificate is made.
  options.certificate = false;
  r = RunStrongText("ab -> ba\n", InputFormat::Plain, options);
  EXPECT_EQ(r.outcome, RunOutcome::Terminating);
  EXPECT_EQ(r.certificate, "");
  EXPECT_EQ(r.noCertificate, "");
}

TEST(StrongRun, RefusalsAreValues) {
  const StrongRunResult r = RunStrongText("ab -> ba\nab\n", InputFormat::Plain, {});
  EXPECT_EQ(r.outcome, RunOutcome::InputRefused);
  EXPECT_EQ(r.error.line, 2);
  EXPECT_TRUE(r.lines.empty());
  EXPECT_EQ(r.rules, -1);
  EXPECT_EQ(r.failure, "");
}

TEST(StrongRun, TheStopFlagEndsTheRunAsNoProof) {
  std::atomic<int> stop{1};
  StrongRunOptions options;
  options.stop = &stop;
  options.certificate = true;
  const auto start = std::chrono::steady_clock::now();
  // No road answers it, so only the stop ends the run.
  const StrongRunResult r =
      RunStrongText("0001 -> 1101\n1001 -> 0100\n", InputFormat::Plain, options);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
  EXPECT_EQ(r.outcome, RunOutcome::NoProof);
  EXPECT_TRUE(r.stopped);
  EXPECT_TRUE(r.timedOut);
  EXPECT_EQ(r.noCertificate, "no proof");
}

TEST(StrongRun, TimeLimitsOutsideTheRangeAreMadeSound) {
  EXPECT_EQ(StrongTimeLimit(5), 5);
  EXPECT_EQ(StrongTimeLimit(0), kStrongDefaultTimeout);
  EXPECT_EQ(StrongTimeLimit(-3), kStrongDefaultTimeout);
  EXPECT_EQ(StrongTimeLimit(std::nan("")), kStrongDefaultTimeout);
  EXPECT_EQ(StrongTimeLimit(1e300), kMaxTimeoutSeconds);
}

}  // namespace
}  // namespace velkin
