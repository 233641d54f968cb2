// Replays the fuzzers' seeds and every input the fuzzers once tripped over
// (tests/fuzz-regressions) through the same checks as the harnesses: the four readers,
// and the whole run with a time limit.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../../fuzz/fuzz_targets.h"
#include "../test_util.h"

namespace velkin {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> ReplayInputs() {
  std::vector<fs::path> files;
  for (const char* dir : {"fuzz/seeds", "tests/fuzz-regressions"}) {
    const fs::path p = fs::path(VELKIN_SOURCE_DIR) / dir;
    if (!fs::exists(p)) continue;
    for (const auto& e : fs::directory_iterator(p))
      if (e.is_regular_file() && e.path().filename() != "README.md") files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(FuzzRegressions, EveryInputReadsAndRunsWithinItsTimeLimit) {
  const std::vector<fs::path> files = ReplayInputs();
  ASSERT_FALSE(files.empty());
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.string());
    const std::string data = testing::ReadFile(file.string());
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
    const ReadResult read = fuzz::FuzzReaders(bytes, data.size());
    const auto start = std::chrono::steady_clock::now();
    const RunResult run = fuzz::FuzzRun(bytes, data.size(), 1.0);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The run reads the text exactly as the reader did.
    if (data.size() >= 2) {
      EXPECT_EQ(read.ok, run.outcome != RunOutcome::InputRefused);
      if (!read.ok) {
        EXPECT_EQ(read.error.message, run.error.message);
      }
    }
    // A time limit of one second ends the run soon after (generously for sanitizers).
    EXPECT_LT(seconds, 20.0);
  }
}

}  // namespace
}  // namespace velkin
