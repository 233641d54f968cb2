// The two commands of `velkin`: one problem, and a whole collection (batch). The option
// parsing lives in main.cpp; everything here takes parsed options and streams.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_support.h"
#include "prover/run.h"
#include "prover/strong_run.h"

namespace velkin::cli {

// Which engine runs a problem: the classic one (the window's, byte for byte) or the
// strong strategy.
enum class Strategy { Classic, Strong };

// The options that mirror the window, plus the strategy and the time limit.
struct RunOptions {
  Strategy strategy = Strategy::Classic;
  FormatChoice format = FormatChoice::Auto;
  bool matchBound = true;            // "match bnd"
  bool remLabels = true;             // "rem.labels"
  std::string attemptsText = "100";  // "nr of att:", already checked to be an integer
  double timeoutSeconds = 0;         // 0: no limit (classic), kStrongDefaultTimeout (strong)
  int jobs = 0;                      // strong: threads for one problem; 0: the number of cores
  const std::atomic<int>* stop = nullptr;  // nonzero: runs give up as at the time limit
  bool certified = false;                  // strong: only steps with a certifiable form
  bool certificate = false;                // strong: write the answer's certificate (CPF 2.1)
  std::vector<std::string> roads;          // strong: only these roads; empty: all
  bool proofText = false;                  // keep the proof lines in the ProblemRecord
};

// The strong engine's options for a run with `options` (jobs as given).
StrongRunOptions ToStrongOptions(const RunOptions& options);

// The run inputs for one problem text read from `path`.
RunInputs MakeRunInputs(const RunOptions& options, std::string_view path, std::string_view text);

// An error line as the command prints it: "velkin: FILE:LINE: message", without
// ":LINE" when line is 0, without "FILE:" when the file is empty.
std::string ErrorLine(std::string_view file, int line, std::string_view message);

// Flushes `stream`; when that fails (a full disk, a closed pipe), prints why to `err`,
// naming `what`, and returns false.
bool FlushOrComplain(std::ostream& stream, std::string_view what, std::ostream& err);

// Exit codes.
inline constexpr int kExitOk = 0;     // a run finished, whatever its status
inline constexpr int kExitError = 2;  // usage, input and file errors

struct SingleOptions {
  RunOptions run;
  std::string path;        // "-": standard input
  std::string outputPath;  // -o; empty: none
  std::string cpfPath;     // --cpf; empty: none
  bool termcomp = false;   // YES / NO / MAYBE as the first line
};

// One problem: reads it, runs it in a fresh state, prints the status line and the
// output lines to `out` (each ended by '\n'), writes the -o file, and returns the exit
// code. Errors go to `err`.
int RunSingle(const SingleOptions& options, std::ostream& out, std::ostream& err);

// The result of one problem of a collection.
struct ProblemRecord {
  std::string path;
  RunOutcome outcome = RunOutcome::NoProof;
  bool unreadable = false;  // the file could not be read (error says why)
  bool timedOut = false;    // no proof because the time limit ran out
  double ms = 0;            // wall time of reading and running
  int rules = -1;           // of the system as read; -1 when refused or unreadable
  int symbols = -1;
  InputError error;                // why the problem was refused or could not be read
  std::vector<std::string> notes;  // strong strategy: lines for stderr
  // As in StrongRunResult; the batch drops the certificate once it is written.
  std::string certificate, noCertificate;
  // With RunOptions::proofText: the proof text of an answer (as -o writes it, without
  // the line ends); the batch drops it once it is written.
  std::vector<std::string> proof;
};

// Reads and runs one problem: classic in a fresh state object (random generator from
// 0), strong with the options' jobs (batch mode passes 1).
ProblemRecord RunProblem(const std::string& path, const RunOptions& options);

// "terminating", "loop found", "no proof" (or YES, NO, MAYBE), "refused", "unreadable".
std::string RecordStatus(const ProblemRecord& record, bool termcomp);

// One line of CSV (columns: path,status,ms,rules,symbols,timed_out,error), without the
// line end; the header names the columns.
std::string CsvHeader();
std::string CsvRow(const ProblemRecord& record, bool termcomp);

// One JSON object with the same fields, without the line end.
std::string JsonlRow(const ProblemRecord& record, bool termcomp);

// Counts for the progress bar.
struct BatchProgress {
  std::size_t done = 0, total = 0;
  std::size_t terminating = 0, loopFound = 0, noProof = 0, refused = 0;
};

// One line of progress: a bar of `width` cells and the counts.
std::string ProgressLine(const BatchProgress& progress, int width);

// Runs every file on `jobs` threads (at least 1). Calls `onRecord` once per finished
// file, as soon as it finishes (in the order of `files` with one job), and
// `onProgress` now and then and once at the end; both are called on the calling
// thread. Once `stop` is nonzero, no further file starts and the running ones give up;
// their results are dropped. Returns the records of the finished files in the order of
// `files`.
std::vector<ProblemRecord> RunBatch(const std::vector<std::string>& files,
                                    const RunOptions& options, int jobs,
                                    const std::function<void(const ProblemRecord&)>& onRecord,
                                    const std::function<void(const BatchProgress&)>& onProgress,
                                    const std::atomic<int>* stop = nullptr);

// The closing table: counts per status and per refusal reason, total, median and
// largest time, and the `slowest` slowest problems.
std::string FormatSummary(const std::vector<ProblemRecord>& records, int jobs, double wallSeconds,
                          bool termcomp, int slowest = 10);

struct BatchOptions {
  RunOptions run;
  std::vector<std::string> paths;
  int jobs = 0;           // 0: the number of cores
  std::string csvPath;    // "-": standard output
  std::string jsonlPath;  // "-": standard output
  bool hasShard = false;
  Shard shard;
  bool termcomp = false;
  bool progress = false;  // draw the progress bar on `err`
  std::string cpfDir;     // --cpf-dir: a certificate per answer; empty: none
  std::string proofDir;   // --proof-dir: a proof text per answer; empty: none
};

// The name of a file kept for `file` under a result folder (--cpf-dir, --proof-dir): its
// path relative to the folder among `paths` (the batch's arguments) that it was found
// in, or its file name when it was given itself, with the extension replaced by
// `extension`.
std::string ResultName(const std::string& file, const std::vector<std::string>& paths,
                       const std::string& extension);

// ResultName with .cpf, for certificates; .proof for proof texts.
std::string CertificateName(const std::string& file, const std::vector<std::string>& paths);
inline constexpr const char* kProofExtension = ".proof";

// The batch command: collects the files, picks the shard, runs them, writes and
// flushes the CSV and JSONL rows as the results come in, prints the summary to `out`
// (to `err` when a row file goes to standard output) and returns the exit code. On
// SIGINT or SIGTERM it starts no further problem, stops the running ones, closes the
// files with the rows of the finished ones, prints their summary and returns 128 plus
// the signal's number (130, 143). The
// CSV header is written unless a shard other than the first is run, so that the CSV
// files of all shards, concatenated in shard order, form one table.
int RunBatchCommand(const BatchOptions& options, std::ostream& out, std::ostream& err);

}  // namespace velkin::cli
