#include "plot/cactus.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "model/xml_text.h"

namespace velkin::plot {

namespace {

// The batch CSV's columns, when a file has no header.
constexpr int kDefaultStatusColumn = 1;
constexpr int kDefaultMsColumn = 2;

// A double with "%.2f", the precision of every coordinate.
std::string Fixed(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  return buf;
}

// The shortest text of a tick value: "%g" with up to six significant digits.
std::string Short(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

bool AnsweredStatus(std::string_view s) {
  return s == "terminating" || s == "loop found" || s == "YES" || s == "NO";
}

// Parses a whole field as a finite number >= 0.
bool ParseTime(const std::string& text, double& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return errno == 0 && end == text.c_str() + text.size() && std::isfinite(value) && value >= 0;
}

// The text of a decade tick of the time axis, 10^e milliseconds.
std::string DecadeText(int e) {
  if (e < 3) return Short(std::pow(10.0, e)) + " ms";
  return Short(std::pow(10.0, e - 3)) + " s";
}

// Colours that stay apart on screen and on paper; dashes tell apart lines beyond them.
constexpr const char* kColours[] = {"#1f5fbf", "#d0451b", "#2e8b3a", "#8a3fb0",
                                    "#c98a00", "#008b8b", "#b0306a", "#555555"};
constexpr int kColourCount = sizeof kColours / sizeof kColours[0];
constexpr const char* kDashes[] = {"", "8 4", "2 3", "10 3 2 3"};
constexpr int kDashCount = sizeof kDashes / sizeof kDashes[0];

}  // namespace

bool SplitCsv(std::string_view csv, std::vector<std::vector<std::string>>& records,
              std::vector<int>& recordLines, int& errorLine) {
  records.clear();
  recordLines.clear();
  int line = 1;
  std::size_t i = 0;
  const std::size_t n = csv.size();
  while (i < n) {
    std::vector<std::string> fields;
    const int recordLine = line;
    std::string field;
    bool recordDone = false;
    while (!recordDone) {
      field.clear();
      if (i < n && csv[i] == '"') {  // a quoted field, up to its lone closing quote
        const int quoteLine = line;
        ++i;
        for (;;) {
          if (i >= n) {
            errorLine = quoteLine;
            return false;
          }
          const char c = csv[i++];
          if (c == '"') {
            if (i < n && csv[i] == '"') {
              field += '"';
              ++i;
              continue;
            }
            break;
          }
          if (c == '\n') ++line;
          field += c;
        }
      }
      // The rest of an unquoted field (or stray text after a closing quote); a CR before
      // the line end belongs to the line end, unless it was quoted.
      const std::size_t quoted = field.size();
      while (i < n && csv[i] != ',' && csv[i] != '\n') field += csv[i++];
      if (field.size() > quoted && field.back() == '\r' && (i >= n || csv[i] == '\n'))
        field.pop_back();
      fields.push_back(field);
      if (i < n && csv[i] == ',') {
        ++i;
      } else {
        if (i < n) {  // the line end
          ++i;
          ++line;
        }
        recordDone = true;
      }
    }
    const bool blank = fields.size() == 1 && fields[0].empty();
    if (!blank) {
      records.push_back(std::move(fields));
      recordLines.push_back(recordLine);
    }
  }
  return true;
}

ReportRead ReadBatchReport(std::string_view csv) {
  ReportRead r;
  std::vector<std::vector<std::string>> records;
  std::vector<int> lines;
  int errorLine = 0;
  if (!SplitCsv(csv, records, lines, errorLine)) {
    r.errorLine = errorLine;
    r.error = "a quoted field is not closed";
    return r;
  }
  int statusColumn = kDefaultStatusColumn;
  int msColumn = kDefaultMsColumn;
  std::size_t first = 0;
  if (!records.empty()) {
    const std::vector<std::string>& head = records[0];
    const auto find = [&](std::string_view name) {
      const auto it = std::find(head.begin(), head.end(), name);
      return it == head.end() ? -1 : static_cast<int>(it - head.begin());
    };
    if (find("status") >= 0 || find("ms") >= 0) {
      statusColumn = find("status");
      msColumn = find("ms");
      if (statusColumn < 0 || msColumn < 0) {
        r.errorLine = lines[0];
        r.error =
            "the header names no " + std::string(statusColumn < 0 ? "status" : "ms") + " column";
        return r;
      }
      first = 1;
    }
  }
  const std::size_t needed = static_cast<std::size_t>(std::max(statusColumn, msColumn)) + 1;
  for (std::size_t k = first; k < records.size(); ++k) {
    const std::vector<std::string>& row = records[k];
    ++r.rows;
    if (row.size() < needed) {
      r.errorLine = lines[k];
      r.error = "a row with " + std::to_string(row.size()) + " fields, not the " +
                std::to_string(needed) + " that the status and time need";
      return r;
    }
    double ms = 0;
    if (!ParseTime(row[msColumn], ms)) {
      r.errorLine = lines[k];
      r.error = "'" + row[msColumn] + "' is not a time in milliseconds";
      return r;
    }
    if (!AnsweredStatus(row[statusColumn])) continue;
    ++r.answered;
    r.times.push_back(ms);
  }
  std::sort(r.times.begin(), r.times.end());
  r.ok = true;
  return r;
}

std::vector<double> LinearTicks(double top, int maxTicks) {
  assert(maxTicks >= 1);
  if (!(top > 0) || !std::isfinite(top)) return {0, 1};
  const double rough = top / maxTicks;
  const double decade = std::pow(10.0, std::floor(std::log10(rough)));
  double step = decade;
  for (const double f : {1.0, 2.0, 5.0, 10.0}) {
    step = f * decade;
    if (step >= rough) break;
  }
  std::vector<double> ticks;
  for (int k = 0;; ++k) {
    const double v = k * step;
    ticks.push_back(v);
    if (v >= top * (1 - 1e-12)) break;
  }
  return ticks;
}

std::string RenderCactusSvg(const std::vector<Series>& series, const PlotOptions& options) {
  const double width = options.width, height = options.height;
  const double left = 84, right = width - 28;
  const double top = options.title.empty() ? 24 : 52, bottom = height - 64;
  assert(right > left && bottom > top);

  // The x domain: 0 to the largest number of answers, rounded up to a tick.
  std::size_t most = 0;
  double slowest = 0, fastest = 0;
  bool anyTime = false;
  for (const Series& s : series) {
    most = std::max(most, s.times.size());
    for (const double t : s.times) {
      fastest = anyTime ? std::min(fastest, t) : t;
      slowest = anyTime ? std::max(slowest, t) : t;
      anyTime = true;
    }
  }
  const std::vector<double> xTicks = LinearTicks(std::max<double>(most, 1), 10);
  const double xTop = xTicks.back();
  const auto X = [&](double rank) { return left + (right - left) * rank / xTop; };

  // The y domain: whole decades of milliseconds (log), or 0 to a tick in seconds.
  const double kFloorMs = 0.1;  // shorter times are drawn at 0.1 ms
  int loDecade = 0, hiDecade = 1;
  std::vector<double> yTicksSeconds;
  if (options.logTime) {
    if (anyTime) {
      loDecade = static_cast<int>(std::floor(std::log10(std::max(fastest, kFloorMs)) + 1e-9));
      hiDecade = static_cast<int>(std::ceil(std::log10(std::max(slowest, kFloorMs)) - 1e-9));
    }
    if (hiDecade <= loDecade) hiDecade = loDecade + 1;
  } else {
    yTicksSeconds = LinearTicks(anyTime ? slowest / 1000 : 1, 8);
  }
  const auto Y = [&](double ms) {
    double f = 0;
    if (options.logTime) {
      f = (std::log10(std::max(ms, kFloorMs)) - loDecade) / (hiDecade - loDecade);
    } else {
      f = ms / 1000 / yTicksSeconds.back();
    }
    // A gap above the x axis keeps a line along the shortest time visible.
    const double gap = 8;
    return bottom - gap - (bottom - top - gap) * f;
  };

  std::string svg;
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Short(width) + "\" height=\"" +
         Short(height) + "\" viewBox=\"0 0 " + Short(width) + " " + Short(height) +
         "\" font-family=\"DejaVu Sans, Helvetica, Arial, sans-serif\" font-size=\"13\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  if (!options.title.empty()) {
    svg += "<text class=\"title\" x=\"" + Fixed((left + right) / 2) +
           "\" y=\"30\" text-anchor=\"middle\" font-size=\"16\" font-weight=\"bold\">" +
           XmlEscape(options.title) + "</text>\n";
  }

  // Grid and ticks.
  svg += "<g class=\"grid\" stroke=\"#dddddd\" stroke-width=\"1\">\n";
  for (const double t : xTicks) {
    svg += "<line x1=\"" + Fixed(X(t)) + "\" y1=\"" + Fixed(top) + "\" x2=\"" + Fixed(X(t)) +
           "\" y2=\"" + Fixed(bottom) + "\"/>\n";
  }
  if (options.logTime) {
    for (int e = loDecade; e <= hiDecade; ++e) {
      svg += "<line x1=\"" + Fixed(left) + "\" y1=\"" + Fixed(Y(std::pow(10.0, e))) + "\" x2=\"" +
             Fixed(right) + "\" y2=\"" + Fixed(Y(std::pow(10.0, e))) + "\"/>\n";
      for (int m = 2; e < hiDecade && m <= 9; ++m) {  // minor lines inside the decade
        const double y = Y(m * std::pow(10.0, e));
        svg += "<line stroke=\"#f0f0f0\" x1=\"" + Fixed(left) + "\" y1=\"" + Fixed(y) + "\" x2=\"" +
               Fixed(right) + "\" y2=\"" + Fixed(y) + "\"/>\n";
      }
    }
  } else {
    for (const double t : yTicksSeconds) {
      svg += "<line x1=\"" + Fixed(left) + "\" y1=\"" + Fixed(Y(t * 1000)) + "\" x2=\"" +
             Fixed(right) + "\" y2=\"" + Fixed(Y(t * 1000)) + "\"/>\n";
    }
  }
  svg += "</g>\n";

  svg += "<g class=\"axes\" stroke=\"black\" stroke-width=\"1.2\">\n";
  svg += "<line x1=\"" + Fixed(left) + "\" y1=\"" + Fixed(bottom) + "\" x2=\"" + Fixed(right) +
         "\" y2=\"" + Fixed(bottom) + "\"/>\n";
  svg += "<line x1=\"" + Fixed(left) + "\" y1=\"" + Fixed(top) + "\" x2=\"" + Fixed(left) +
         "\" y2=\"" + Fixed(bottom) + "\"/>\n";
  svg += "</g>\n";

  svg += "<g class=\"x-ticks\" text-anchor=\"middle\">\n";
  for (const double t : xTicks) {
    svg += "<line stroke=\"black\" x1=\"" + Fixed(X(t)) + "\" y1=\"" + Fixed(bottom) + "\" x2=\"" +
           Fixed(X(t)) + "\" y2=\"" + Fixed(bottom + 5) + "\"/>\n";
    svg += "<text x=\"" + Fixed(X(t)) + "\" y=\"" + Fixed(bottom + 20) + "\">" + Short(t) +
           "</text>\n";
  }
  svg += "</g>\n";
  svg += "<g class=\"y-ticks\" text-anchor=\"end\">\n";
  const auto yTick = [&](double ms, const std::string& text) {
    svg += "<line stroke=\"black\" x1=\"" + Fixed(left - 5) + "\" y1=\"" + Fixed(Y(ms)) +
           "\" x2=\"" + Fixed(left) + "\" y2=\"" + Fixed(Y(ms)) + "\"/>\n";
    svg += "<text x=\"" + Fixed(left - 8) + "\" y=\"" + Fixed(Y(ms) + 4.5) + "\">" + text +
           "</text>\n";
  };
  if (options.logTime) {
    for (int e = loDecade; e <= hiDecade; ++e) yTick(std::pow(10.0, e), DecadeText(e));
  } else {
    for (const double t : yTicksSeconds) yTick(t * 1000, Short(t) + " s");
  }
  svg += "</g>\n";

  svg += "<text class=\"x-title\" x=\"" + Fixed((left + right) / 2) + "\" y=\"" +
         Fixed(height - 18) + "\" text-anchor=\"middle\">problems answered (YES or NO)</text>\n";
  svg += "<text class=\"y-title\" transform=\"translate(18," + Fixed((top + bottom) / 2) +
         ") rotate(-90)\" text-anchor=\"middle\">time per problem" +
         std::string(options.logTime ? " (log scale)" : "") + "</text>\n";

  // The lines, clipped to the plot area.
  svg += "<defs><clipPath id=\"area\"><rect x=\"" + Fixed(left) + "\" y=\"" + Fixed(top - 2) +
         "\" width=\"" + Fixed(right - left + 2) + "\" height=\"" + Fixed(bottom - top + 4) +
         "\"/></clipPath></defs>\n";
  svg +=
      "<g class=\"lines\" clip-path=\"url(#area)\" fill=\"none\" stroke-width=\"2\" "
      "stroke-linejoin=\"round\">\n";
  for (std::size_t k = 0; k < series.size(); ++k) {
    const Series& s = series[k];
    std::string points;
    for (std::size_t i = 0; i < s.times.size(); ++i) {
      if (i > 0) points += ' ';
      points += Fixed(X(static_cast<double>(i + 1))) + "," + Fixed(Y(s.times[i]));
    }
    const std::string dash = kDashes[(k / kColourCount) % kDashCount];
    svg += "<polyline class=\"series\" data-label=\"" + XmlEscape(s.label) + "\" stroke=\"" +
           kColours[k % kColourCount] + "\"" +
           (dash.empty() ? "" : " stroke-dasharray=\"" + dash + "\"") + " points=\"" + points +
           "\"/>\n";
  }
  svg += "</g>\n";

  // The legend, top left inside the plot area, where a cactus line rarely passes.
  if (!series.empty()) {
    std::size_t longest = 0;
    for (const Series& s : series) longest = std::max(longest, s.label.size() + 8);
    const double rowHeight = 20;
    const double boxWidth = 44 + 7.5 * static_cast<double>(std::min<std::size_t>(longest, 60));
    const double boxHeight = 10 + rowHeight * static_cast<double>(series.size());
    const double bx = left + 12, by = top + 10;
    svg += "<g class=\"legend\">\n";
    svg += "<rect x=\"" + Fixed(bx) + "\" y=\"" + Fixed(by) + "\" width=\"" + Fixed(boxWidth) +
           "\" height=\"" + Fixed(boxHeight) +
           "\" fill=\"white\" fill-opacity=\"0.9\" stroke=\"#999999\"/>\n";
    for (std::size_t k = 0; k < series.size(); ++k) {
      const double y = by + 15 + rowHeight * static_cast<double>(k);
      const std::string dash = kDashes[(k / kColourCount) % kDashCount];
      svg += "<line x1=\"" + Fixed(bx + 8) + "\" y1=\"" + Fixed(y) + "\" x2=\"" + Fixed(bx + 34) +
             "\" y2=\"" + Fixed(y) + "\" stroke-width=\"2\" stroke=\"" +
             kColours[k % kColourCount] + "\"" +
             (dash.empty() ? "" : " stroke-dasharray=\"" + dash + "\"") + "/>\n";
      svg += "<text x=\"" + Fixed(bx + 40) + "\" y=\"" + Fixed(y + 4.5) + "\">" +
             XmlEscape(series[k].label) + " (" + std::to_string(series[k].times.size()) +
             ")</text>\n";
    }
    svg += "</g>\n";
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace velkin::plot
