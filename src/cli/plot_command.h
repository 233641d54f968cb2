// The plot command: cactus plots of the CSV reports of `velkin batch`.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace velkin::cli {

struct PlotCommandOptions {
  std::vector<std::string> reports;  // CSV files of `velkin batch` ("-": standard input)
  std::vector<std::string> labels;   // legend names, in the order of the reports
  std::string outputPath;            // the SVG file; "-": standard output
  std::string title;
  bool linearTime = false;  // a linear time axis instead of the logarithmic one
};

// The legend name of a report without a --label: its file name without ".csv".
std::string ReportLabel(const std::string& path);

// Reads every report, draws one line per report and writes the SVG (atomically, or to
// `out` for "-"). Prints one line per report to `err` (its answers and rows) and
// returns the exit code: 2, with a message naming the file and line, when a report
// cannot be read or parsed, when there are more labels than reports, or when the SVG
// cannot be written; no output file is written then.
int RunPlotCommand(const PlotCommandOptions& options, std::ostream& out, std::ostream& err);

}  // namespace velkin::cli
