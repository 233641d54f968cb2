// Every bundled example gives exactly the output kept beside it (examples/NAME.expected),
// so that the examples that the README and the window show stay true.
#include <algorithm>

#include "cli_test_util.h"

namespace velkin::clitest {
namespace {

const fs::path kExamples = fs::path(VELKIN_SOURCE_DIR) / "examples";

TEST(Examples, EachGivesItsExpectedOutput) {
  std::vector<fs::path> problems, expected;
  for (const fs::directory_entry& e : fs::directory_iterator(kExamples)) {
    const std::string ext = e.path().extension().string();
    if (ext == ".srs" || ext == ".xml" || ext == ".ari") problems.push_back(e.path());
    if (ext == ".expected") expected.push_back(e.path());
  }
  std::sort(problems.begin(), problems.end());
  ASSERT_FALSE(problems.empty());
  for (const fs::path& problem : problems) {
    fs::path kept = problem;
    kept.replace_extension(".expected");
    ASSERT_TRUE(fs::exists(kept)) << problem << " has no " << kept.filename();
    // Run from the examples folder with the bare file name, as the README shows it.
    const Outcome o = Velkin("'" + problem.filename().string() + "'", "", kExamples.string());
    EXPECT_EQ(o.code, 0) << problem << "\n" << o.err;
    EXPECT_EQ(o.err, "") << problem;
    EXPECT_EQ(o.out, ReadFile(kept.string())) << problem;
  }
  // No expected output without its example.
  for (const fs::path& e : expected) {
    bool found = false;
    for (const fs::path& p : problems) found = found || p.stem() == e.stem();
    EXPECT_TRUE(found) << e << " belongs to no example";
  }
}

}  // namespace
}  // namespace velkin::clitest
