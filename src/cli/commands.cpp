#include "cli/commands.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <thread>

#include "cli/file_io.h"
#include "cli/stop_signals.h"
#include "model/parsed_system.h"
#include "model/readers.h"
#include "model/state.h"
#include "model/text_output.h"

namespace velkin::cli {

namespace fs = std::filesystem;

RunInputs MakeRunInputs(const RunOptions& options, std::string_view path, std::string_view text) {
  RunInputs in;
  in.lines = SplitLines(text);
  in.format = ResolveFormat(options.format, path, text);
  in.matchBound = options.matchBound;
  in.remLabels = options.remLabels;
  in.attemptsText = options.attemptsText;
  in.timeoutSeconds = options.timeoutSeconds;
  in.stop = options.stop;
  return in;
}

std::string ErrorLine(std::string_view file, int line, std::string_view message) {
  std::string s = "velkin: ";
  if (!file.empty()) {
    s += file;
    if (line > 0) s += ":" + std::to_string(line);
    s += ": ";
  }
  s += message;
  return s;
}

StrongRunOptions ToStrongOptions(const RunOptions& options) {
  StrongRunOptions o;
  o.timeoutSeconds = StrongTimeLimit(options.timeoutSeconds);
  o.jobs = options.jobs;
  o.certified = options.certified;
  o.certificate = options.certificate;
  o.roads = options.roads;
  o.stop = options.stop;
  return o;
}

int RunSingle(const SingleOptions& options, std::ostream& out, std::ostream& err) {
  const std::string shownPath = options.path == "-" ? "<stdin>" : options.path;
  std::string text, error;
  if (!ReadTextFile(options.path, text, error)) {
    err << ErrorLine(shownPath, 0, error) << "\n";
    return kExitError;
  }
  RunResult result;
  std::vector<std::string> notes;
  std::string certificate, noCertificate;
  double limitSeconds = options.run.timeoutSeconds;
  if (options.run.strategy == Strategy::Strong) {
    StrongRunOptions run = ToStrongOptions(options.run);
    run.certificate = run.certificate || !options.cpfPath.empty();
    StrongRunResult s =
        RunStrongText(text, ResolveFormat(options.run.format, options.path, text), run);
    if (!s.failure.empty()) {
      err << ErrorLine(shownPath, 0, s.failure) << "\n";
      return kExitError;
    }
    result.warnings = std::move(s.warnings);
    certificate = std::move(s.certificate);
    noCertificate = std::move(s.noCertificate);
    result.outcome = s.outcome;
    result.output = std::move(s.lines);
    result.error = s.error;
    result.timedOut = s.timedOut;
    notes = std::move(s.notes);
    limitSeconds = run.timeoutSeconds;
  } else {
    const RunInputs in = MakeRunInputs(options.run, options.path, text);
    auto st = MakeState();
    result = ExecuteRun(*st, in);
  }
  for (const InputError& w : result.warnings)
    err << ErrorLine(shownPath, w.line, "warning: " + w.message) << "\n";
  if (result.outcome == RunOutcome::InputRefused || result.outcome == RunOutcome::AttemptsInvalid) {
    err << ErrorLine(shownPath, result.error.line, result.error.message) << "\n";
    return kExitError;
  }
  out << StatusLine(result.outcome, options.termcomp) << "\n";
  for (const std::string& line : result.output) out << line << "\n";
  const bool written = FlushOrComplain(out, "standard output", err);
  for (const std::string& note : notes) err << ErrorLine(shownPath, 0, note) << "\n";
  if (result.timedOut) {
    char limit[32];
    std::snprintf(limit, sizeof limit, "%g", limitSeconds);
    err << ErrorLine(shownPath, 0,
                     std::string("the time limit of ") + limit + " s ran out before a result")
        << "\n";
  }
  if (!options.outputPath.empty() &&
      !WriteFileAtomically(options.outputPath, JoinLines(result.output, LineEnds::AfterEach),
                           error)) {
    err << ErrorLine(options.outputPath, 0, error) << "\n";
    return kExitError;
  }
  if (!options.cpfPath.empty()) {
    if (certificate.empty()) {
      err << ErrorLine(shownPath, 0, "no certificate written: " + noCertificate) << "\n";
    } else if (!WriteFileAtomically(options.cpfPath, certificate, error)) {
      err << ErrorLine(options.cpfPath, 0, error) << "\n";
      return kExitError;
    }
  }
  return written ? kExitOk : kExitError;
}

ProblemRecord RunProblem(const std::string& path, const RunOptions& options) {
  ProblemRecord rec;
  rec.path = path;
  const auto start = std::chrono::steady_clock::now();
  std::string text, error;
  if (!ReadTextFile(path, text, error)) {
    rec.unreadable = true;
    rec.outcome = RunOutcome::InputRefused;
    rec.error = InputError{0, error};
  } else if (options.strategy == Strategy::Strong) {
    StrongRunResult s =
        RunStrongText(text, ResolveFormat(options.format, path, text), ToStrongOptions(options));
    rec.outcome = s.outcome;
    rec.timedOut = s.timedOut;
    rec.error = s.error;
    if (!s.failure.empty()) {
      rec.unreadable = true;
      rec.error = InputError{0, s.failure};
    }
    rec.rules = s.rules;
    rec.symbols = s.symbols;
    rec.notes = std::move(s.notes);
    rec.certificate = std::move(s.certificate);
    rec.noCertificate = std::move(s.noCertificate);
    if (options.proofText) rec.proof = std::move(s.lines);
  } else {
    const RunInputs in = MakeRunInputs(options, path, text);
    auto st = MakeState();
    RunResult result = ExecuteRun(*st, in);
    rec.outcome = result.outcome;
    rec.timedOut = result.timedOut;
    rec.error = result.error;
    rec.rules = result.rules;
    rec.symbols = result.symbols;
    if (options.proofText) rec.proof = std::move(result.output);
  }
  rec.ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return rec;
}

std::string RecordStatus(const ProblemRecord& record, bool termcomp) {
  if (record.unreadable) return "unreadable";
  return StatusLine(record.outcome, termcomp);
}

std::string CsvHeader() {
  return "path,status,ms,rules,symbols,timed_out,error";
}

namespace {

std::string CountText(int n) {
  return n < 0 ? std::string() : std::to_string(n);
}

bool Failed(const ProblemRecord& r) {
  return r.unreadable || r.outcome == RunOutcome::InputRefused ||
         r.outcome == RunOutcome::AttemptsInvalid;
}

}  // namespace

std::string CsvRow(const ProblemRecord& r, bool termcomp) {
  return CsvField(r.path) + "," + CsvField(RecordStatus(r, termcomp)) + "," +
         FormatMilliseconds(r.ms) + "," + CountText(r.rules) + "," + CountText(r.symbols) + "," +
         (r.timedOut ? "1" : "0") + "," +
         (Failed(r) ? CsvField(r.error.Describe()) : std::string());
}

std::string JsonlRow(const ProblemRecord& r, bool termcomp) {
  const auto number = [](int n) { return n < 0 ? std::string("null") : std::to_string(n); };
  return "{\"path\":" + JsonString(r.path) +
         ",\"status\":" + JsonString(RecordStatus(r, termcomp)) +
         ",\"ms\":" + FormatMilliseconds(r.ms) + ",\"rules\":" + number(r.rules) +
         ",\"symbols\":" + number(r.symbols) + ",\"timed_out\":" + (r.timedOut ? "true" : "false") +
         ",\"error\":" + (Failed(r) ? JsonString(r.error.Describe()) : std::string("null")) + "}";
}

std::string ProgressLine(const BatchProgress& p, int width) {
  const int filled =
      p.total == 0 ? width : static_cast<int>(static_cast<double>(p.done) * width / p.total);
  std::string line = "[";
  line.append(static_cast<std::size_t>(filled), '#');
  line.append(static_cast<std::size_t>(width - filled), '.');
  line += "] " + std::to_string(p.done) + "/" + std::to_string(p.total) + "  terminating " +
          std::to_string(p.terminating) + "  loop " + std::to_string(p.loopFound) + "  no proof " +
          std::to_string(p.noProof) + "  refused " + std::to_string(p.refused);
  return line;
}

std::vector<ProblemRecord> RunBatch(const std::vector<std::string>& files,
                                    const RunOptions& options, int jobs,
                                    const std::function<void(const ProblemRecord&)>& onRecord,
                                    const std::function<void(const BatchProgress&)>& onProgress,
                                    const std::atomic<int>* stop) {
  const std::size_t n = files.size();
  const auto stopped = [stop] { return stop != nullptr && stop->load() != 0; };
  RunOptions runOptions = options;
  runOptions.stop = stop;
  std::vector<ProblemRecord> records(n);
  std::vector<char> finished(n, 0);  // 1: a result to keep; guarded by `mutex`
  std::vector<std::size_t> ready;    // finished and not yet handed on; guarded by `mutex`
  std::size_t workersLeft = 0;       // guarded by `mutex`
  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<std::size_t> next{0};

  const auto worker = [&] {
    for (std::size_t i; !stopped() && (i = next.fetch_add(1)) < n;) {
      ProblemRecord rec;
      try {
        rec = RunProblem(files[i], runOptions);
      } catch (const std::exception& e) {
        rec.path = files[i];
        rec.unreadable = true;
        rec.error = InputError{0, std::string("internal error: ") + e.what()};
      }
      // A run cut short by the stop request has no result.
      const bool keep = !(rec.timedOut && stopped());
      {
        const std::lock_guard<std::mutex> lock(mutex);
        if (keep) {
          records[i] = std::move(rec);
          finished[i] = 1;
          ready.push_back(i);
        }
      }
      changed.notify_one();
    }
    {
      const std::lock_guard<std::mutex> lock(mutex);
      --workersLeft;
    }
    changed.notify_one();
  };
  const int threads =
      std::max(1, std::min<int>(jobs, static_cast<int>(std::max<std::size_t>(n, 1))));
  workersLeft = static_cast<std::size_t>(threads);
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) pool.emplace_back(worker);

  BatchProgress progress;
  progress.total = n;
  auto lastDraw = std::chrono::steady_clock::now() - std::chrono::seconds(1);
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    changed.wait_for(lock, std::chrono::milliseconds(100),
                     [&] { return !ready.empty() || workersLeft == 0; });
    // Hands on the records in the order they finished, outside the lock.
    std::vector<std::size_t> batch;
    batch.swap(ready);
    const bool done = workersLeft == 0;
    lock.unlock();
    for (const std::size_t i : batch) {
      ProblemRecord& r = records[i];
      ++progress.done;
      if (Failed(r))
        ++progress.refused;
      else if (r.outcome == RunOutcome::Terminating)
        ++progress.terminating;
      else if (r.outcome == RunOutcome::LoopFound)
        ++progress.loopFound;
      else
        ++progress.noProof;
      if (onRecord) onRecord(r);
      // Written by now; may be large.
      std::string().swap(r.certificate);
      std::vector<std::string>().swap(r.proof);
    }
    const auto now = std::chrono::steady_clock::now();
    if (onProgress && now - lastDraw >= std::chrono::milliseconds(100)) {
      onProgress(progress);
      lastDraw = now;
    }
    lock.lock();
    if (done && ready.empty()) break;
  }
  lock.unlock();
  for (std::thread& t : pool) t.join();
  if (onProgress) onProgress(progress);
  // The results in list order; problems stopped or never started are left out.
  std::vector<ProblemRecord> kept;
  kept.reserve(progress.done);
  for (std::size_t i = 0; i < n; ++i)
    if (finished[i]) kept.push_back(std::move(records[i]));
  return kept;
}

std::string FormatSummary(const std::vector<ProblemRecord>& records, int jobs, double wallSeconds,
                          bool termcomp, int slowest) {
  std::size_t terminating = 0, loop = 0, noProof = 0, timedOut = 0, refused = 0, unreadable = 0;
  std::vector<std::pair<std::string, std::size_t>> reasons;
  for (const ProblemRecord& r : records) {
    if (r.unreadable) {
      ++unreadable;
    } else if (Failed(r)) {
      ++refused;
      const std::string reason = RefusalReason(r.error.message);
      auto it = std::find_if(reasons.begin(), reasons.end(),
                             [&](const auto& p) { return p.first == reason; });
      if (it == reasons.end())
        reasons.emplace_back(reason, 1);
      else
        ++it->second;
    } else if (r.outcome == RunOutcome::Terminating) {
      ++terminating;
    } else if (r.outcome == RunOutcome::LoopFound) {
      ++loop;
    } else {
      ++noProof;
      if (r.timedOut) ++timedOut;
    }
  }
  std::vector<const ProblemRecord*> byTime;
  double total = 0;
  for (const ProblemRecord& r : records) {
    byTime.push_back(&r);
    total += r.ms;
  }
  std::stable_sort(byTime.begin(), byTime.end(),
                   [](const ProblemRecord* a, const ProblemRecord* b) { return a->ms > b->ms; });
  double median = 0;
  if (!byTime.empty()) {
    const std::size_t m = byTime.size();
    median = m % 2 == 1 ? byTime[m / 2]->ms : (byTime[m / 2 - 1]->ms + byTime[m / 2]->ms) / 2;
  }

  char buf[256];
  std::string s;
  std::snprintf(buf, sizeof buf, "%zu problems, %.1f s wall time, %d job%s\n", records.size(),
                wallSeconds, jobs, jobs == 1 ? "" : "s");
  s += buf;
  const auto row = [&](const std::string& name, std::size_t count, const std::string& note) {
    std::snprintf(buf, sizeof buf, "  %-12s %7zu%s\n", name.c_str(), count, note.c_str());
    s += buf;
  };
  row(StatusLine(RunOutcome::Terminating, termcomp), terminating, "");
  row(StatusLine(RunOutcome::LoopFound, termcomp), loop, "");
  row(StatusLine(RunOutcome::NoProof, termcomp), noProof,
      timedOut ? "  (" + std::to_string(timedOut) + " at the time limit)" : "");
  row("refused", refused, "");
  if (unreadable) row("unreadable", unreadable, "");
  if (!reasons.empty()) {
    std::sort(reasons.begin(), reasons.end(), [](const auto& a, const auto& b) {
      return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    s += "refusal reasons:\n";
    for (const auto& [reason, count] : reasons) {
      std::snprintf(buf, sizeof buf, "  %7zu  ", count);
      s += buf + reason + "\n";
    }
  }
  std::snprintf(buf, sizeof buf, "time per problem: total %.1f s, median %s ms, largest %s ms\n",
                total / 1000, FormatMilliseconds(median).c_str(),
                FormatMilliseconds(byTime.empty() ? 0 : byTime.front()->ms).c_str());
  s += buf;
  const std::size_t shown = std::min<std::size_t>(byTime.size(), slowest > 0 ? slowest : 0);
  if (shown > 0) {
    s += "slowest:\n";
    for (std::size_t k = 0; k < shown; ++k) {
      const ProblemRecord& r = *byTime[k];
      std::snprintf(buf, sizeof buf, "  %10s ms  %-11s ", FormatMilliseconds(r.ms).c_str(),
                    RecordStatus(r, termcomp).c_str());
      s += buf + r.path + "\n";
    }
  }
  return s;
}

bool FlushOrComplain(std::ostream& stream, std::string_view what, std::ostream& err) {
  errno = 0;
  stream.flush();
  if (stream) return true;
  const int code = errno;
  err << ErrorLine("", 0,
                   "cannot write " + std::string(what) +
                       (code != 0 ? std::string(": ") + std::strerror(code) : std::string()))
      << "\n";
  return false;
}

int RunBatchCommand(const BatchOptions& options, std::ostream& out, std::ostream& err) {
  FileList list = CollectProblemFiles(options.paths);
  for (const std::string& e : list.errors) err << ErrorLine("", 0, e) << "\n";
  if (!list.errors.empty()) return kExitError;
  std::vector<std::string> files =
      options.hasShard ? SelectShard(list.files, options.shard) : std::move(list.files);
  // The names of certificates and proof texts are fixed before the run: two problems
  // never share one.
  const auto nameAll = [&](const std::string& dir, const std::string& extension,
                           const std::string& what,
                           std::map<std::string, std::string>& nameOf) -> bool {
    if (dir.empty()) return true;
    std::map<std::string, std::string> fileOf;
    for (const std::string& f : files) {
      const std::string name = (fs::path(dir) / ResultName(f, options.paths, extension)).string();
      if (const auto [it, fresh] = fileOf.emplace(name, f); !fresh) {
        err << ErrorLine("", 0,
                         f + " and " + it->second + " would have the same " + what + " " + name)
            << "\n";
        return false;
      }
      nameOf[f] = name;
    }
    return true;
  };
  std::map<std::string, std::string> certificateOf, proofOf;  // file -> the path to write
  if (!nameAll(options.cpfDir, ".cpf", "certificate", certificateOf) ||
      !nameAll(options.proofDir, kProofExtension, "proof text", proofOf))
    return kExitError;

  // The row files; "-" is standard output, and then the summary goes to `err`.
  std::ofstream csvFile, jsonlFile;
  std::ostream* csv = nullptr;
  std::ostream* jsonl = nullptr;
  const auto open = [&](const std::string& path, std::ofstream& file,
                        std::ostream*& stream) -> bool {
    if (path.empty()) return true;
    if (path == "-") {
      stream = &std::cout;
      return true;
    }
    file.open(path, std::ios::binary | std::ios::trunc);
    if (!file) {
      err << ErrorLine(path, 0, "cannot write the file") << "\n";
      return false;
    }
    stream = &file;
    return true;
  };
  if (!open(options.csvPath, csvFile, csv) || !open(options.jsonlPath, jsonlFile, jsonl))
    return kExitError;
  std::ostream& summaryOut = (csv == &std::cout || jsonl == &std::cout) ? err : out;
  if (csv && (!options.hasShard || options.shard.index == 1)) *csv << CsvHeader() << "\n";

  const int jobs = options.jobs > 0
                       ? options.jobs
                       : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  // One thread per problem, so that the jobs never oversubscribe the machine.
  RunOptions runOptions = options.run;
  runOptions.jobs = 1;
  const StopSignals signals;
  runOptions.certificate = runOptions.certificate || !options.cpfDir.empty();
  runOptions.proofText = runOptions.proofText || !options.proofDir.empty();
  bool resultFailed = false;  // a certificate or proof text could not be written
  // Writes one result file of an answer, its folders made as needed.
  const auto writeResult = [&](const std::string& target, std::string_view bytes) {
    std::string error;
    std::error_code ec;
    fs::create_directories(fs::path(target).parent_path(), ec);
    if (ec || !WriteFileAtomically(target, bytes, error)) {
      err << ErrorLine(target, 0, ec ? ec.message() : error) << "\n";
      resultFailed = true;
    }
  };
  const auto start = std::chrono::steady_clock::now();
  bool drawn = false;
  std::string failedPath;  // the first row file that could not be written
  // Writes one row and flushes it, so that the file holds every finished problem even
  // if the process is killed; a failed write stops the batch.
  const auto writeRow = [&](std::ostream* stream, const std::string& path, const std::string& row) {
    if (stream == nullptr || !failedPath.empty()) return;
    *stream << row << "\n";
    stream->flush();
    if (!*stream) {
      failedPath = path == "-" ? "standard output" : path;
      int expected = 0;
      StopRequest().compare_exchange_strong(expected, -1);
    }
  };
  const std::vector<ProblemRecord> records = RunBatch(
      files, runOptions, jobs,
      [&](const ProblemRecord& r) {
        for (const std::string& note : r.notes) err << ErrorLine(r.path, 0, note) << "\n";
        const bool answered = !Failed(r) && r.outcome != RunOutcome::NoProof;
        if (answered && !options.proofDir.empty())
          writeResult(proofOf.at(r.path), JoinLines(r.proof, LineEnds::AfterEach));
        if (answered && !options.cpfDir.empty()) {
          if (r.certificate.empty())
            err << ErrorLine(r.path, 0, "no certificate written: " + r.noCertificate) << "\n";
          else
            writeResult(certificateOf.at(r.path), r.certificate);
        }
        writeRow(csv, options.csvPath, CsvRow(r, options.termcomp));
        writeRow(jsonl, options.jsonlPath, JsonlRow(r, options.termcomp));
      },
      [&](const BatchProgress& p) {
        if (!options.progress) return;
        err << "\r" << ProgressLine(p, 30) << std::flush;
        drawn = true;
      },
      &StopRequest());
  if (drawn) err << "\n";
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const int stop = StopRequest().load();
  if (!failedPath.empty()) {
    err << ErrorLine(failedPath, 0, "writing failed; the batch stopped") << "\n";
    return kExitError;
  }
  if (stop > 0)
    summaryOut << "interrupted by " << SignalName(stop) << ": " << files.size() - records.size()
               << " of " << files.size()
               << " problems did not finish; the rows and this summary cover the " << records.size()
               << " that did\n";
  summaryOut << FormatSummary(records, jobs, wall, options.termcomp);
  if (!FlushOrComplain(summaryOut,
                       summaryOut.rdbuf() == std::cout.rdbuf() ? "standard output" : "the summary",
                       err))
    return kExitError;
  if (resultFailed) return kExitError;
  return stop > 0 ? 128 + stop : kExitOk;
}

std::string CertificateName(const std::string& file, const std::vector<std::string>& paths) {
  return ResultName(file, paths, ".cpf");
}

std::string ResultName(const std::string& file, const std::vector<std::string>& paths,
                       const std::string& extension) {
  fs::path name = fs::path(file).filename();
  for (const std::string& p : paths) {
    if (p == file) break;
    // A file argument has nothing under it, so no test of the file system is needed.
    const fs::path rel = fs::path(file).lexically_relative(p);
    if (!rel.empty() && *rel.begin() != "..") {
      name = rel;
      break;
    }
  }
  return name.replace_extension(extension).string();
}

}  // namespace velkin::cli
