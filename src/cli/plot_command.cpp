#include "cli/plot_command.h"

#include "model/text_output.h"

#include <filesystem>
#include <ostream>

#include "cli/commands.h"
#include "cli/file_io.h"
#include "plot/cactus.h"

namespace velkin::cli {

std::string ReportLabel(const std::string& path) {
  if (path == "-") return "stdin";
  const std::filesystem::path p(path);
  std::string name = p.filename().string();
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".csv") == 0)
    name.resize(name.size() - 4);
  return name.empty() ? path : name;
}

int RunPlotCommand(const PlotCommandOptions& options, std::ostream& out, std::ostream& err) {
  if (options.labels.size() > options.reports.size()) {
    err << ErrorLine("", 0,
                     std::to_string(options.labels.size()) + " labels for " +
                         std::to_string(options.reports.size()) + " reports")
        << "\n";
    return kExitError;
  }
  std::vector<plot::Series> series;
  for (std::size_t k = 0; k < options.reports.size(); ++k) {
    const std::string& path = options.reports[k];
    const std::string shown = path == "-" ? "<stdin>" : path;
    std::string text, error;
    if (!ReadTextFile(path, text, error)) {
      err << ErrorLine(shown, 0, error) << "\n";
      return kExitError;
    }
    const plot::ReportRead read = plot::ReadBatchReport(text);
    if (!read.ok) {
      err << ErrorLine(shown, read.errorLine, read.error) << "\n";
      return kExitError;
    }
    plot::Series s;
    s.label = k < options.labels.size() ? options.labels[k] : ReportLabel(path);
    s.times = read.times;
    err << s.label << ": " << read.answered << " of " << read.rows << " problems answered\n";
    series.push_back(std::move(s));
  }
  plot::PlotOptions plotOptions;
  plotOptions.title = options.title;
  plotOptions.logTime = !options.linearTime;
  const std::string svg = plot::RenderCactusSvg(series, plotOptions);
  if (options.outputPath == "-") {
    out << svg;
    out.flush();
    return kExitOk;
  }
  std::string error;
  if (!WriteFileAtomically(options.outputPath, svg, error)) {
    err << ErrorLine(options.outputPath, 0, error) << "\n";
    return kExitError;
  }
  return kExitOk;
}

}  // namespace velkin::cli
