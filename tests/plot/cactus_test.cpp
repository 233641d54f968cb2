// Cactus plots: reading batch reports as `velkin batch` writes them, and the SVG drawn
// from them, parsed back as XML.
#include "plot/cactus.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <sstream>

namespace velkin::plot {
namespace {

// The points of a polyline's "points" attribute as (x, y) pairs.
std::vector<std::pair<double, double>> Points(const char* text) {
  std::vector<std::pair<double, double>> out;
  std::stringstream s(text);
  for (std::string pair; s >> pair;) {
    const std::size_t comma = pair.find(',');
    EXPECT_NE(comma, std::string::npos) << pair;
    out.emplace_back(std::stod(pair.substr(0, comma)), std::stod(pair.substr(comma + 1)));
  }
  return out;
}

TEST(BatchReport, CountsTheAnswersAndSortsTheirTimes) {
  // Every status the batch writes; an error message with a comma, quotes and a line
  // break inside a quoted field; a path with a comma.
  const ReportRead r = ReadBatchReport(
      "path,status,ms,rules,symbols,timed_out,error\n"
      "a.srs,terminating,12.5,1,2,0,\n"
      "\"b,c.srs\",loop found,3,1,1,0,\n"
      "d.srs,no proof,900,2,2,1,\n"
      "e.srs,refused,0.1,,,0,\"d.srs:3: a side has \"\"20\"\" symbols,\nmore than 19\"\n"
      "f.srs,unreadable,0,,,0,cannot open: no such file\n"
      "g.xml,YES,7,1,1,0,\n"
      "h.xml,NO,0,1,1,0,\n"
      "i.xml,MAYBE,60000,1,1,1,\n");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.rows, 8);
  EXPECT_EQ(r.answered, 4);
  EXPECT_EQ(r.times, (std::vector<double>{0, 3, 7, 12.5}));
}

TEST(BatchReport, TakesShardsConcatenatedAndWithoutHeader) {
  // Shard 1 with the header, shard 2 appended without one, CR LF line ends.
  const ReportRead joined = ReadBatchReport(
      "path,status,ms,rules,symbols,timed_out,error\r\na,YES,5,1,1,0,\r\n\r\nb,NO,2,1,1,0,\r\n");
  ASSERT_TRUE(joined.ok) << joined.error;
  EXPECT_EQ(joined.times, (std::vector<double>{2, 5}));
  // A later shard's file alone: the batch's column order.
  const ReportRead alone = ReadBatchReport("b,NO,2,1,1,0,\nc,terminating,1,1,1,0,");
  ASSERT_TRUE(alone.ok) << alone.error;
  EXPECT_EQ(alone.times, (std::vector<double>{1, 2}));
  // Columns found by name in a header of another order.
  const ReportRead reordered = ReadBatchReport("ms,path,status\n4,a,YES\n1,b,no proof\n");
  ASSERT_TRUE(reordered.ok) << reordered.error;
  EXPECT_EQ(reordered.times, (std::vector<double>{4}));
  // A CR inside quotes is the field's; one before the line end is not.
  std::vector<std::vector<std::string>> records;
  std::vector<int> lines;
  int errorLine = 0;
  ASSERT_TRUE(SplitCsv("\"a\r\"\r\nb\r\n", records, lines, errorLine));
  EXPECT_EQ(records, (std::vector<std::vector<std::string>>{{"a\r"}, {"b"}}));
  const ReportRead empty = ReadBatchReport("");
  ASSERT_TRUE(empty.ok);
  EXPECT_EQ(empty.rows, 0);
}

TEST(BatchReport, RefusesBrokenRowsNamingTheirLine) {
  const char* header = "path,status,ms,rules,symbols,timed_out,error\n";
  struct Case {
    std::string csv;
    int line;
    const char* words;
  };
  const Case cases[] = {
      // The quoted field spans two lines, so the bad time is on line 4.
      {std::string(header) + "a,refused,1,,,0,\"two\nlines\"\nb,YES,fast,1,1,0,\n", 4,
       "'fast' is not a time"},
      {std::string(header) + "a,YES,-1,1,1,0,\n", 2, "not a time"},
      {std::string(header) + "a,YES,nan,1,1,0,\n", 2, "not a time"},
      {std::string(header) + "a,YES,1e999,1,1,0,\n", 2, "not a time"},
      {std::string(header) + "a,YES\n", 2, "2 fields"},
      {std::string(header) + "a,YES,1,1,1,0,\"open\n", 2, "not closed"},
      {"path,status,rules\na,YES,1\n", 1, "no ms column"},
  };
  for (const Case& c : cases) {
    const ReportRead r = ReadBatchReport(c.csv);
    EXPECT_FALSE(r.ok) << c.csv;
    EXPECT_EQ(r.errorLine, c.line) << c.csv;
    EXPECT_NE(r.error.find(c.words), std::string::npos) << r.error;
  }
}

TEST(CactusSvg, OneLinePerSeriesWithOnePointPerAnswer) {
  const std::vector<Series> series = {
      {"classic & <old>", {0.05, 1, 10, 2500, 59000}},
      {"strong", {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}},
      {"none answered", {}},
      {"bell\a and\x01", {1}},
  };
  for (const bool logTime : {true, false}) {
    PlotOptions options;
    options.logTime = logTime;
    options.title = "corpus \"2026\"";
    const std::string svg = RenderCactusSvg(series, options);
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_string(svg.c_str());
    ASSERT_TRUE(parsed) << parsed.description();
    const pugi::xml_node root = doc.child("svg");
    ASSERT_TRUE(root);
    EXPECT_STREQ(root.attribute("xmlns").value(), "http://www.w3.org/2000/svg");
    EXPECT_EQ(svg.find("href"), std::string::npos) << "no external resource";

    const pugi::xpath_node_set lines = doc.select_nodes("//polyline[@class='series']");
    ASSERT_EQ(lines.size(), series.size());
    const double width = root.attribute("width").as_double();
    const double height = root.attribute("height").as_double();
    for (std::size_t k = 0; k < series.size(); ++k) {
      const pugi::xml_node line = lines[k].node();
      if (k < 3) {
        EXPECT_EQ(line.attribute("data-label").value(), series[k].label);
      }
      const auto points = Points(line.attribute("points").value());
      ASSERT_EQ(points.size(), series[k].times.size());
      for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_GE(points[i].first, 0);
        EXPECT_LE(points[i].first, width);
        EXPECT_GE(points[i].second, 0);
        EXPECT_LE(points[i].second, height);
        if (i == 0) continue;
        // Rank i+1 lies right of rank i; a longer time lies higher (smaller y).
        EXPECT_GT(points[i].first, points[i - 1].first);
        EXPECT_LE(points[i].second, points[i - 1].second);
      }
      // The same rank is drawn at the same x in every line.
      if (k == 1) {
        EXPECT_DOUBLE_EQ(points[0].first,
                         Points(lines[0].node().attribute("points").value())[0].first);
      }
    }
    // The legend names every series with its count; the title is shown escaped.
    std::string legendText;
    for (const pugi::xpath_node& t : doc.select_nodes("//g[@class='legend']/text"))
      legendText += std::string(t.node().child_value()) + "\n";
    EXPECT_EQ(legendText, "classic & <old> (5)\nstrong (12)\nnone answered (0)\nbell? and? (1)\n");
    EXPECT_STREQ(doc.select_node("//text[@class='title']").node().child_value(), "corpus \"2026\"");
    // Tick labels on both axes.
    EXPECT_GE(doc.select_nodes("//g[@class='x-ticks']/text").size(), 2u);
    EXPECT_GE(doc.select_nodes("//g[@class='y-ticks']/text").size(), 2u);
  }
}

TEST(CactusSvg, TimeAxisCoversEveryTime) {
  // Log axis: decades from below the fastest to above the slowest time.
  const std::string svg = RenderCactusSvg({{"x", {0.3, 45000}}}, PlotOptions{});
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(svg.c_str()));
  std::vector<std::string> ticks;
  for (const pugi::xpath_node& t : doc.select_nodes("//g[@class='y-ticks']/text"))
    ticks.push_back(t.node().child_value());
  EXPECT_EQ(ticks, (std::vector<std::string>{"0.1 ms", "1 ms", "10 ms", "100 ms", "1 s", "10 s",
                                             "100 s"}));
  // Nothing to draw still gives a valid document with axes.
  pugi::xml_document none;
  ASSERT_TRUE(none.load_string(RenderCactusSvg({}, PlotOptions{}).c_str()));
  EXPECT_EQ(none.select_nodes("//polyline").size(), 0u);
}

TEST(CactusSvg, LinearTicksAreRoundAndReachTheTop) {
  struct Case {
    double top;
    std::vector<double> ticks;
  };
  const Case cases[] = {
      {247, {0, 50, 100, 150, 200, 250}},
      {1, {0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1}},
      {0.07, {0, 0.01, 0.02, 0.03, 0.04, 0.05, 0.06, 0.07}},
      {10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
      {1371, {0, 200, 400, 600, 800, 1000, 1200, 1400}},
  };
  for (const Case& c : cases) {
    const std::vector<double> t = LinearTicks(c.top, 10);
    ASSERT_EQ(t.size(), c.ticks.size()) << c.top;
    for (std::size_t i = 0; i < t.size(); ++i) EXPECT_DOUBLE_EQ(t[i], c.ticks[i]) << c.top;
  }
}

}  // namespace
}  // namespace velkin::plot
