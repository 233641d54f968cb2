// `velkin plot` through the built executable: the reports of `velkin batch` drawn as
// one line each, and the errors that leave no output file behind.
#include <pugixml.hpp>

#include "cli_test_util.h"

namespace velkin::clitest {
namespace {

const std::string kSource = VELKIN_SOURCE_DIR;

// The number of points of each series line, in document order, with its label.
std::vector<std::pair<std::string, int>> SeriesOf(const std::string& svg) {
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed = doc.load_string(svg.c_str());
  EXPECT_TRUE(parsed) << parsed.description();
  std::vector<std::pair<std::string, int>> out;
  for (const pugi::xpath_node& n : doc.select_nodes("//polyline[@class='series']")) {
    std::stringstream s(n.node().attribute("points").value());
    int count = 0;
    for (std::string p; s >> p;) ++count;
    out.emplace_back(n.node().attribute("data-label").value(), count);
  }
  return out;
}

TEST(PlotCommand, DrawsTheReportsOfBatchRuns) {
  ScratchDir dir;
  // Two answers (a proof and a loop), one refusal, in the batch's own CSV.
  WriteFile(dir / "in/ab.srs", "ab -> ba\n");
  WriteFile(dir / "in/loop.srs", "a -> aa\n");
  WriteFile(dir / "in/big.srs", "aaaaaaaaaaaaaaaaaaaa -> b\n");
  Outcome o = Velkin("batch --jobs 1 --csv '" + (dir / "run.csv") + "' '" + (dir / "in") + "'");
  ASSERT_EQ(o.code, 0) << o.err;
  // A second report in the competition's statuses, concatenated from two shards.
  WriteFile(dir / "strong,2.csv",
            "path,status,ms,rules,symbols,timed_out,error\n"
            "x,YES,1,1,1,0,\ny,MAYBE,10,1,1,1,\n"
            "z,NO,3,1,1,0,\nw,YES,2.5,1,1,0,\n");
  o = Velkin("plot '" + (dir / "run.csv") + "' '" + (dir / "strong,2.csv") +
             "' --label 'classic <1>' -o '" + (dir / "cactus.svg") + "'");
  ASSERT_EQ(o.code, 0) << o.err;
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "classic <1>: 2 of 3 problems answered\nstrong,2: 3 of 4 problems answered\n");
  EXPECT_EQ(SeriesOf(ReadFile(dir / "cactus.svg")),
            (std::vector<std::pair<std::string, int>>{{"classic <1>", 2}, {"strong,2", 3}}));

  // "-o -" writes the document to standard output, and nothing else.
  o = Velkin("plot --linear -o - '" + (dir / "run.csv") + "'");
  ASSERT_EQ(o.code, 0) << o.err;
  EXPECT_EQ(SeriesOf(o.out), (std::vector<std::pair<std::string, int>>{{"run", 2}}));

  // The help names every option.
  o = Velkin("plot --help");
  EXPECT_EQ(o.code, 0);
  for (const char* word : {"--output", "--label", "--title", "--linear", "CSV"})
    EXPECT_NE(o.out.find(word), std::string::npos) << word;
}

TEST(PlotCommand, ErrorsNameTheFileAndKeepTheOldPlot) {
  ScratchDir dir;
  const std::string good = dir / "good.csv";
  const std::string bad = dir / "bad.csv";
  const std::string svg = dir / "old.svg";
  WriteFile(good, "path,status,ms,rules,symbols,timed_out,error\na,YES,1,1,1,0,\n");
  WriteFile(bad,
            "path,status,ms,rules,symbols,timed_out,error\na,YES,1,1,1,0,\nb,NO,soon,1,1,0,\n");
  WriteFile(svg, "old");
  struct Case {
    std::string args, message;
  };
  const Case cases[] = {
      {"'" + good + "' '" + bad + "'", "velkin: " + bad + ":3: 'soon' is not a time"},
      {"'" + dir / "missing.csv" + "'", "velkin: " + dir / "missing.csv" + ": cannot open"},
      {"--label a --label b '" + good + "'", "velkin: 2 labels for 1 reports"},
  };
  for (const Case& c : cases) {
    const Outcome o = Velkin("plot -o '" + svg + "' " + c.args);
    EXPECT_EQ(o.code, 2) << c.args;
    EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
    EXPECT_EQ(ReadFile(svg), "old") << c.args;
  }
  // An output folder that does not exist: an error, not a crash.
  Outcome o = Velkin("plot -o '" + (dir / "no/such/folder/p.svg") + "' '" + good + "'");
  EXPECT_EQ(o.code, 2);
  EXPECT_NE(o.err.find("velkin: " + (dir / "no/such/folder/p.svg")), std::string::npos) << o.err;
  // Usage errors.
  EXPECT_EQ(Velkin("plot '" + good + "'").code, 2);
  EXPECT_EQ(Velkin("plot -o x.svg").code, 2);
}

}  // namespace
}  // namespace velkin::clitest
