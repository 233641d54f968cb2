// The `velkin` command: option parsing, then one of the two commands of commands.h.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/file_io.h"
#include "cli/plot_command.h"
#include "model/time_limit.h"
#include "prover/run.h"
#include "server/server.h"
#include "version/version.h"

namespace {

using velkin::cli::BatchOptions;
using velkin::cli::RunOptions;
using velkin::cli::SingleOptions;

// The options as typed, before they become RunOptions.
struct RawRunOptions {
  std::string format = "auto";
  bool tpdb = false;
  CLI::Option* formatOption = nullptr;  // to tell whether --format was given
  bool noMatchBound = false;
  bool noRemLabels = false;
  std::string attempts = "100";
  double timeout = 0;
  std::string strategy = "classic";
  int jobs = 0;
  bool certified = false;
  std::vector<std::string> roads;

  RunOptions Resolve() const {
    RunOptions o;
    o.format = tpdb
                   ? velkin::cli::FormatChoice::Tpdb
                   : velkin::cli::ParseFormatName(format).value_or(velkin::cli::FormatChoice::Auto);
    o.matchBound = !noMatchBound;
    o.remLabels = !noRemLabels;
    o.attemptsText = attempts;
    o.timeoutSeconds = timeout;
    o.strategy =
        strategy == "strong" ? velkin::cli::Strategy::Strong : velkin::cli::Strategy::Classic;
    o.jobs = jobs;
    o.certified = certified;
    o.roads = roads;
    return o;
  }
};

constexpr int kMaxJobs = 1024;

// A time limit in seconds: finite and small enough for the clock's arithmetic.
CLI::Validator TimeLimitValidator() {
  return CLI::Validator(
      [](std::string& s) {
        return velkin::ParseTimeLimit(s) ? std::string() : velkin::TimeLimitMessage(s);
      },
      "", "");
}

// The options shared by a single run and batch mode: the window's options and the
// time limit.
void AddRunOptions(CLI::App& app, RawRunOptions& raw) {
  app.add_option("--strategy", raw.strategy, "classic (default) or strong; see Strategies below")
      ->check(CLI::IsMember({"classic", "strong"}))
      ->type_name("NAME");
  raw.formatOption =
      app.add_option("--format", raw.format,
                     "Input format: auto (the default), plain, tpdb, xtc or ari; see Formats")
          ->check(CLI::IsMember({"auto", "plain", "tpdb", "xtc", "ari"}))
          ->type_name("FMT");
  // Checked after parsing (TpdbConflict): the library's own exclusion would print
  // itself into both descriptions.
  app.add_flag("--tpdb", raw.tpdb,
               "Same as --format tpdb (the window's \"tpdb format\"); not with --format");
  app.add_flag("--no-match-bound", raw.noMatchBound,
               "No first quick pass, no match bounds (\"match bnd\" off)");
  app.add_flag("--no-rem-labels", raw.noRemLabels,
               "Labelling only counts when it proves all (\"rem.labels\" off)");
  app.add_option("--attempts", raw.attempts,
                 "Random attempts of the final pass (\"nr of att:\", default 100)")
      ->check(CLI::Validator(
          [](std::string& s) {
            return velkin::ConvertAttempts(s) ? std::string() : velkin::NotAnIntegerMessage(s);
          },
          "", ""))
      ->type_name("N");
  app.add_option("--timeout", raw.timeout,
                 "Give up after SECONDS with \"no proof\" (default: no limit for the classic\n"
                 "strategy, 60 for the strong one)")
      ->check(TimeLimitValidator())
      ->type_name("SECONDS");
  app.add_flag("--certified", raw.certified,
               "Strong strategy: only steps that the certifier accepts (match bounds on\n"
               "every word only, no forward closures, no removal of some rules, no\n"
               "stripping, no pattern rules; no automaton too large for the certifier\n"
               "to check in about a minute), so that every answer comes with a certificate");
  // The names, quoted (one holds a comma), a few to a line.
  std::string roadNames;
  int onLine = 0;
  for (const std::string& name : velkin::StrongRoadNames()) {
    roadNames += std::string(roadNames.empty() ? ""
                             : onLine % 3 == 0 ? ",\n"
                                               : ", ") +
                 '"' + name + '"';
    ++onLine;
  }
  const CLI::Validator knownRoad(
      [](std::string& s) {
        const auto& names = velkin::StrongRoadNames();
        return std::find(names.begin(), names.end(), s) != names.end()
                   ? std::string()
                   : "no road is called \"" + s + "\"";
      },
      "", "");
  app.add_option("--road", raw.roads,
                 "Strong strategy: run only the road NAME (repeatable), one of\n" + roadNames)
      ->check(knownRoad)
      ->allow_extra_args(false)
      ->type_name("NAME");
}

// Both --tpdb and --format given: they exclude each other.
bool TpdbConflict(const RawRunOptions& raw) {
  return raw.tpdb && raw.formatOption != nullptr && raw.formatOption->count() > 0;
}

constexpr const char* kStrategiesText = R"TEXT(
Strategies: classic is the window's engine: fixed proof text, byte for byte as
the window shows it, and its capacities (sides of at most 19 symbols). Choose it
to reproduce earlier results. strong is the engine without capacities: it races
several roads of techniques on the cores (--jobs) under one time limit and
prints a proof tree whose every step was re-checked with exact arithmetic before
it was accepted. Choose it to answer as many problems as possible. With fewer
--jobs than roads, the roads take turns every few tens of milliseconds, each
going on where it left off. Notes of the strong strategy go to stderr: a step
dropped because its re-check failed, or an internal error, always; why
techniques gave up (skipped, out of time) only when no road answered.
)TEXT";

constexpr const char* kFormatsText = R"TEXT(
Formats: plain (one rule per line, "ab -> ba", weak rules "ab ->= ba", one
character per symbol, e for the empty string), tpdb ("(RULES a b -> b a, ...)"),
xtc (the XML of the Termination Problem Database) and ari ("(format TRS)",
"(fun a 1)", "(rule (a (b x)) (b (a x)))", ":cost 0" for a weak rule).
--format auto picks xtc for a name ending in .xml or a text that
begins with "<?xml", "<!--" or "<problem", ari for .ari or a text that begins
with "(format", tpdb for a text whose first non-blank character is '(' and that
contains RULES, plain otherwise. A UTF-8 byte order mark is skipped. Inputs
larger than 64 MiB are refused.
)TEXT";

constexpr const char* kOutputText = R"TEXT(
Output: the first line is the status, "terminating", "loop found" or "no proof"
(with --termcomp: YES, NO or MAYBE); then the proof text, one line each, as the
window shows it (nothing for no proof). With the strong strategy, "loop found"
also stands for an infinite derivation without a loop, which the proof gives as
pattern rules. Warnings about plain input that likely
reads otherwise than meant go to stderr and change nothing else.
)TEXT";

constexpr const char* kExitAndExamplesText = R"TEXT(
Exit status: 0 when the run finished (whatever its status), 2 for usage, input
and file errors (a failed write to standard output included), reported on
stderr as "velkin: FILE:LINE: message".

Examples:
  velkin examples/ab.srs
  velkin --timeout 60 --termcomp problem.xml
  velkin --strategy strong --jobs 4 problem.srs
  velkin -o proof.res --attempts 1000 problem.srs
  velkin batch --jobs 8 --timeout 60 --csv results.csv corpus/
  velkin batch --shard 3/10 --csv part-3.csv corpus/
  velkin plot results.csv -o cactus.svg
  velkin serve --port 8080
)TEXT";

constexpr const char* kBatchFooter = R"TEXT(
Every problem runs in a fresh state (random generator from 0), so its result does
not depend on the order or on the number of jobs. With --strategy strong each
problem gets one thread of the --jobs, so that the machine is never
oversubscribed; its roads then take turns, none losing its work. Each row is
written and flushed as soon as its problem finishes: in the sorted order of the
files with --jobs 1, in the order of finishing otherwise. CSV columns: path,
status, ms, rules, symbols, timed_out, error; JSONL objects have the same fields.

--proof-dir DIR and --cpf-dir DIR keep each answer's proof text (NAME.proof,
what -o writes) and certificate (NAME.cpf) under DIR, at the problem's path
relative to the folder argument it was found in; a file given itself is kept
under its file name, and two problems that would share a name are refused
before any runs. Each file is written to a temporary file and renamed, so none
is ever half written; a problem without an answer gets none.

--shard I/N runs problems I, I+N, I+2N, ... (counted from 1) of the sorted list,
for one machine of N. Only shard 1 writes the CSV header, so the CSV files of
all shards, concatenated in shard order, form one table.

SIGINT (Ctrl-C) or SIGTERM (a batch system's time limit) stops the batch: no
further problem starts, the running ones stop, the files keep the rows of the
finished ones, and the summary of those follows; the exit status is then 130
(SIGINT) or 143 (SIGTERM). A second signal ends the process at once.
)TEXT";

constexpr const char* kBatchExitText = R"TEXT(
Exit status: 0 when every problem was run (whatever the results), 2 for usage
and file errors, 130 or 143 when stopped by a signal.
)TEXT";

constexpr const char* kPlotFooter = R"TEXT(
The cactus plot: one line per report; its k-th point is the k-th shortest time
among the problems that the report answers (terminating, loop found, YES or NO),
so a line that ends further right answers more, a lower one answers faster.
Unanswered, refused and unreadable problems are left out. The legend gives each
line's number of answers. Example:
  velkin plot classic.csv strong.csv --label classic --label strong -o cactus.svg
)TEXT";

constexpr const char* kServeFooter = R"TEXT(
Serves one page at http://ADDR:PORT/: a text area for the system, its format,
the strategy and a time limit, a Prove button, the status and the proof as text,
and links to download the proof and the certificate (strong strategy). The page
sends the system to POST /prove?format=F&strategy=S&timeout=T as a text/plain
body and shows the JSON reply; scripts may call it the same way.

The server keeps the machine safe: a system larger than --max-input is refused
(413), a request's time limit is cut to --max-timeout, at most --jobs proofs run
at once (one thread each; a request that finds them all busy waits 2 seconds,
then gets 503), malformed requests get 400, 404, 405 or 415, and requests never
touch the file system. Bound to a loopback address (the default), it answers
only requests for localhost, 127.0.0.1 or [::1], so that pages elsewhere cannot
reach it; --bind 0.0.0.0 opens it to the network.

SIGINT (Ctrl-C) or SIGTERM stops it: running proofs end early with no proof,
every request in progress is answered, and the exit status is 0; 2 when the
address cannot be bound or an option is wrong.

Examples:
  velkin serve                      # http://127.0.0.1:8080/
  velkin serve --port 9000 --jobs 2 --max-timeout 30
)TEXT";

// A usage error: the message, and where to read the usage (the batch command's own
// help for its errors).
int Fail(const std::string& message, bool batch = false) {
  std::cerr << velkin::cli::ErrorLine("", 0, message) << "\n"
            << "Run '" << (batch ? "velkin batch --help" : "velkin --help") << "' for the usage.\n";
  return velkin::cli::kExitError;
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);

  CLI::App app{std::string(velkin::kNameAndVersion) +
                   " proves termination of a string rewriting system R, or relative\n"
                   "termination of R/S, or finds a looping derivation.",
               "velkin"};
  app.set_version_flag("--version", velkin::kNameAndVersion);
  app.get_formatter()->column_width(28);
  app.footer(std::string(kOutputText) + kStrategiesText + kFormatsText + kExitAndExamplesText);
  app.require_subcommand(0, 1);

  SingleOptions single;
  RawRunOptions singleRaw;
  AddRunOptions(app, singleRaw);
  app.add_flag("--termcomp", single.termcomp,
               "First line YES, NO or MAYBE (termination competition)");
  app.add_option("-o,--output", single.outputPath,
                 "Also write the proof text to FILE, lines ended by CR LF")
      ->type_name("FILE");
  app.add_option("--jobs,-j", singleRaw.jobs,
                 "Strong strategy: threads for the race (default: the number of cores)")
      ->check(CLI::PositiveNumber)
      ->type_name("N");
  app.add_option("--cpf", single.cpfPath,
                 "Strong strategy: write the answer's certificate (CPF 2.1) to FILE")
      ->type_name("FILE");
  app.add_option("FILE", single.path, "The problem file; - reads standard input");

  BatchOptions batch;
  RawRunOptions batchRaw;
  std::string shardText;
  CLI::App* batchCmd = app.add_subcommand(
      "batch", "Run every problem (*.srs, *.xml, *.ari) under the given files and folders");
  batchCmd->footer(std::string(kBatchFooter) + kStrategiesText + kFormatsText + kBatchExitText);
  AddRunOptions(*batchCmd, batchRaw);
  batchCmd->add_flag("--termcomp", batch.termcomp, "Statuses YES, NO and MAYBE");
  batchCmd
      ->add_option("--jobs,-j", batch.jobs,
                   "Problems run at once, 1 to " + std::to_string(kMaxJobs) +
                       " (default: the number of cores)")
      ->check(CLI::Validator(
          [](std::string& s) {
            int v = 0;
            const bool ok = CLI::detail::lexical_cast(s, v) && v >= 1 && v <= kMaxJobs;
            return ok ? std::string()
                      : "'" + s + "' is not a number of jobs from 1 to " + std::to_string(kMaxJobs);
          },
          "", ""))
      ->type_name("N");
  batchCmd->add_option("--csv", batch.csvPath, "Write one CSV row per problem (- for stdout)")
      ->type_name("FILE");
  batchCmd
      ->add_option("--jsonl", batch.jsonlPath,
                   "Write one JSON object per problem and line (- for stdout)")
      ->type_name("FILE");
  batchCmd->add_option("--shard", shardText, "Run only every N-th problem, starting at I")
      ->check(CLI::Validator(
          [](std::string& s) {
            std::string error;
            return velkin::cli::ParseShard(s, error) ? std::string() : error;
          },
          "", ""))
      ->type_name("I/N");
  batchCmd
      ->add_option("--cpf-dir", batch.cpfDir,
                   "Strong strategy: write each answer's certificate (CPF 2.1) under DIR")
      ->type_name("DIR");
  batchCmd
      ->add_option("--proof-dir", batch.proofDir,
                   "Write each answer's proof text (as -o does) under DIR, as NAME.proof")
      ->type_name("DIR");
  batchCmd->add_option("PATH", batch.paths, "Problem files and folders")->required();

  velkin::cli::PlotCommandOptions plot;
  CLI::App* plotCmd = app.add_subcommand(
      "plot", "Draw the cactus plot of batch reports (CSV files of 'velkin batch --csv') as SVG");
  plotCmd->footer(kPlotFooter);
  plotCmd->add_option("-o,--output", plot.outputPath, "The SVG file to write (- for stdout)")
      ->required()
      ->type_name("FILE");
  plotCmd
      ->add_option("--label", plot.labels,
                   "Legend name of the next report, once per report (default: its file name)")
      ->type_name("NAME")
      ->allow_extra_args(false);
  plotCmd->add_option("--title", plot.title, "A title above the plot")->type_name("TEXT");
  plotCmd->add_flag("--linear", plot.linearTime,
                    "A linear time axis (default: logarithmic, in decades)");
  plotCmd->add_option("CSV", plot.reports, "Reports of 'velkin batch --csv', one line each")
      ->required();

  velkin::server::ServerOptions serve;
  CLI::App* serveCmd = app.add_subcommand(
      "serve", "Serve a web page that proves what a visitor types (http://127.0.0.1:8080/)");
  serveCmd->footer(kServeFooter);
  serveCmd
      ->add_option("--port", serve.port, "The port to listen on, 0 for any free one (default 8080)")
      ->check(CLI::Range(0, 65535))
      ->type_name("N");
  serveCmd->add_option("--bind", serve.bind, "The address to listen on (default 127.0.0.1)")
      ->type_name("ADDR");
  serveCmd
      ->add_option(
          "--jobs,-j", serve.jobs,
          "Proofs at once, 1 to " + std::to_string(kMaxJobs) + " (default: the number of cores)")
      ->check(CLI::Range(1, kMaxJobs))
      ->type_name("N");
  std::string maxTimeoutText;
  serveCmd
      ->add_option("--max-timeout", maxTimeoutText,
                   "The longest time limit a request gets, in seconds (default 60)")
      ->check(TimeLimitValidator())
      ->type_name("SECONDS");
  serveCmd
      ->add_option("--max-input", serve.maxInputBytes,
                   "The largest system a request may send, in bytes (default 262144, at most " +
                       std::to_string(velkin::cli::kMaxInputBytes) + ")")
      ->check(CLI::Range(std::size_t{1}, velkin::cli::kMaxInputBytes))
      ->type_name("BYTES");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    return Fail(e.what(), batchCmd->parsed());
  }

  if (plotCmd->parsed()) return velkin::cli::RunPlotCommand(plot, std::cout, std::cerr);
  if (serveCmd->parsed()) {
    if (!maxTimeoutText.empty()) serve.maxTimeoutSeconds = *velkin::ParseTimeLimit(maxTimeoutText);
    return velkin::server::RunServeCommand(serve, std::cout, std::cerr);
  }
  const auto needsStrong = [](const RunOptions& o, bool certificates) -> std::string {
    if (o.strategy == velkin::cli::Strategy::Strong) return "";
    if (o.certified) return "--certified needs --strategy strong";
    if (!o.roads.empty()) return "--road needs --strategy strong";
    if (certificates) return "certificates need --strategy strong";
    return "";
  };
  if (batchCmd->parsed()) {
    if (TpdbConflict(batchRaw)) return Fail("--tpdb and --format exclude each other", true);
    batch.run = batchRaw.Resolve();
    if (const std::string e = needsStrong(batch.run, !batch.cpfDir.empty()); !e.empty())
      return Fail(e);
    if (!shardText.empty()) {
      std::string error;
      batch.shard = *velkin::cli::ParseShard(shardText, error);
      batch.hasShard = true;
    }
    batch.progress = ::isatty(STDERR_FILENO) != 0;
    return velkin::cli::RunBatchCommand(batch, std::cout, std::cerr);
  }
  if (TpdbConflict(singleRaw)) return Fail("--tpdb and --format exclude each other");
  if (single.path.empty()) return Fail("no problem FILE given");
  single.run = singleRaw.Resolve();
  if (const std::string e = needsStrong(single.run, !single.cpfPath.empty()); !e.empty())
    return Fail(e);
  return velkin::cli::RunSingle(single, std::cout, std::cerr);
}
