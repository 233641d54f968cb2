// Cactus plots of batch reports: for each report, the times of the problems it answered,
// sorted, drawn as one line against the number of problems answered. Reading the CSV of
// `velkin batch` and drawing a self-contained SVG; no file access, no printing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velkin::plot {

// One line of the plot: a name for the legend and the times in milliseconds of the
// problems answered (YES or NO), sorted ascending.
struct Series {
  std::string label;
  std::vector<double> times;
};

// The outcome of reading one report: the answered times (sorted), or an error with
// the 1-based line of the CSV where it was found (0: the file as a whole).
struct ReportRead {
  bool ok = false;
  std::vector<double> times;
  int answered = 0;  // rows with status terminating, loop found, YES or NO
  int rows = 0;      // data rows, header excluded
  int errorLine = 0;
  std::string error;
};

// Parses the CSV that `velkin batch --csv` writes (also several shards' files
// concatenated, whose only header comes first, and a shard's file without header).
// Fields may be quoted, with "" for a quote, and contain commas and line breaks. A row
// counts as answered when its status is terminating, loop found, YES or NO; its time
// is the ms column. Refuses a row with too few fields or a time that is not a finite
// number at least 0.
ReportRead ReadBatchReport(std::string_view csv);

// Splits CSV text into records of fields. False, with the line of the opening quote in
// `errorLine`, when a quoted field is not closed.
bool SplitCsv(std::string_view csv, std::vector<std::vector<std::string>>& records,
              std::vector<int>& recordLines, int& errorLine);

struct PlotOptions {
  std::string title;    // shown above the plot when not empty
  bool logTime = true;  // a logarithmic time axis (else linear from 0)
  int width = 860, height = 540;
};

// The cactus plot as a complete SVG document: axes with ticks and their labels, axis
// titles, a grid, one <polyline class="series"> per series (in the order given, one
// point per answered problem: x = its rank 1..n, y = its time) and a legend naming each
// series with its number of answers. Texts are escaped; the document uses no external
// resource (no fonts, no scripts, no images).
std::string RenderCactusSvg(const std::vector<Series>& series, const PlotOptions& options);

// "Nice" tick values covering [0, top]: multiples of 1, 2 or 5 times a power of ten,
// at most about `maxTicks` of them, starting at 0 and reaching at least `top`.
std::vector<double> LinearTicks(double top, int maxTicks);

}  // namespace velkin::plot
