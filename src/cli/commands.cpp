#include "cli/commands.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>
#include <thread>

#include "cli/file_io.h"
#include "model/readers.h"
#include "model/state.h"

namespace velkin::cli {

RunInputs MakeRunInputs(const RunOptions& options, std::string_view path, std::string_view text) {
  RunInputs in;
  in.lines = SplitLines(text);
  in.format = ResolveFormat(options.format, path, text);
  in.matchBound = options.matchBound;
  in.remLabels = options.remLabels;
  in.attemptsText = options.attemptsText;
  in.timeoutSeconds = options.timeoutSeconds;
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

int RunSingle(const SingleOptions& options, std::ostream& out, std::ostream& err) {
  const std::string shownPath = options.path == "-" ? "<stdin>" : options.path;
  std::string text, error;
  if (!ReadTextFile(options.path, text, error)) {
    err << ErrorLine(shownPath, 0, error) << "\n";
    return kExitError;
  }
  const RunInputs in = MakeRunInputs(options.run, options.path, text);
  auto st = MakeState();
  const RunResult result = ExecuteRun(*st, in);
  if (result.outcome == RunOutcome::InputRefused || result.outcome == RunOutcome::AttemptsInvalid) {
    err << ErrorLine(shownPath, result.error.line, result.error.message) << "\n";
    return kExitError;
  }
  out << StatusLine(result.outcome, options.termcomp) << "\n";
  for (const std::string& line : result.output) out << line << "\n";
  out.flush();
  if (result.timedOut) {
    char limit[32];
    std::snprintf(limit, sizeof limit, "%g", options.run.timeoutSeconds);
    err << ErrorLine(shownPath, 0,
                     std::string("the time limit of ") + limit + " s ran out before a result")
        << "\n";
  }
  if (!options.outputPath.empty() &&
      !WriteLinesAtomically(options.outputPath, result.output, error)) {
    err << ErrorLine(options.outputPath, 0, error) << "\n";
    return kExitError;
  }
  return kExitOk;
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
  } else {
    const RunInputs in = MakeRunInputs(options, path, text);
    auto st = MakeState();
    const RunResult result = ExecuteRun(*st, in);
    rec.outcome = result.outcome;
    rec.timedOut = result.timedOut;
    rec.error = result.error;
    rec.rules = result.rules;
    rec.symbols = result.symbols;
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
                                    const std::function<void(const BatchProgress&)>& onProgress) {
  const std::size_t n = files.size();
  std::vector<ProblemRecord> records(n);
  std::vector<char> finished(n, 0);  // guarded by `mutex`
  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<std::size_t> next{0};

  const auto worker = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < n;) {
      ProblemRecord rec;
      try {
        rec = RunProblem(files[i], options);
      } catch (const std::exception& e) {
        rec.path = files[i];
        rec.unreadable = true;
        rec.error = InputError{0, std::string("internal error: ") + e.what()};
      }
      {
        const std::lock_guard<std::mutex> lock(mutex);
        records[i] = std::move(rec);
        finished[i] = 1;
      }
      changed.notify_one();
    }
  };
  const int threads =
      std::max(1, std::min<int>(jobs, static_cast<int>(std::max<std::size_t>(n, 1))));
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) pool.emplace_back(worker);

  BatchProgress progress;
  progress.total = n;
  std::size_t emitted = 0;
  auto lastDraw = std::chrono::steady_clock::now() - std::chrono::seconds(1);
  std::unique_lock<std::mutex> lock(mutex);
  while (emitted < n) {
    changed.wait_for(lock, std::chrono::milliseconds(100),
                     [&] { return emitted < n && finished[emitted]; });
    // Hands on the records that are complete in list order, outside the lock.
    std::vector<const ProblemRecord*> ready;
    while (emitted < n && finished[emitted]) ready.push_back(&records[emitted++]);
    lock.unlock();
    for (const ProblemRecord* r : ready) {
      ++progress.done;
      if (Failed(*r))
        ++progress.refused;
      else if (r->outcome == RunOutcome::Terminating)
        ++progress.terminating;
      else if (r->outcome == RunOutcome::LoopFound)
        ++progress.loopFound;
      else
        ++progress.noProof;
      if (onRecord) onRecord(*r);
    }
    const auto now = std::chrono::steady_clock::now();
    if (onProgress && now - lastDraw >= std::chrono::milliseconds(100)) {
      onProgress(progress);
      lastDraw = now;
    }
    lock.lock();
  }
  lock.unlock();
  for (std::thread& t : pool) t.join();
  if (onProgress) onProgress(progress);
  return records;
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

int RunBatchCommand(const BatchOptions& options, std::ostream& out, std::ostream& err) {
  FileList list = CollectProblemFiles(options.paths);
  for (const std::string& e : list.errors) err << ErrorLine("", 0, e) << "\n";
  if (!list.errors.empty()) return kExitError;
  std::vector<std::string> files =
      options.hasShard ? SelectShard(list.files, options.shard) : std::move(list.files);

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
  const auto start = std::chrono::steady_clock::now();
  bool drawn = false;
  const std::vector<ProblemRecord> records = RunBatch(
      files, options.run, jobs,
      [&](const ProblemRecord& r) {
        if (csv) *csv << CsvRow(r, options.termcomp) << "\n";
        if (jsonl) *jsonl << JsonlRow(r, options.termcomp) << "\n";
      },
      [&](const BatchProgress& p) {
        if (!options.progress) return;
        err << "\r" << ProgressLine(p, 30) << std::flush;
        drawn = true;
      });
  if (drawn) err << "\n";
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (csv) csv->flush();
  if (jsonl) jsonl->flush();
  if ((csv == &csvFile && !csvFile) || (jsonl == &jsonlFile && !jsonlFile)) {
    err << ErrorLine(csv == &csvFile && !csvFile ? options.csvPath : options.jsonlPath, 0,
                     "writing failed")
        << "\n";
    return kExitError;
  }
  summaryOut << FormatSummary(records, jobs, wall, options.termcomp);
  return kExitOk;
}

}  // namespace velkin::cli
