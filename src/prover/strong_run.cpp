#include "prover/strong_run.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <exception>
#include <utility>

#include "model/readers.h"
#include "strong/cpf.h"
#include "strong/strategy.h"
#include "version/version.h"

namespace velkin {

namespace {

RunOutcome OutcomeOf(strong::StrongStatus status) {
  switch (status) {
    case strong::StrongStatus::Terminating:
      return RunOutcome::Terminating;
    case strong::StrongStatus::LoopFound:
      return RunOutcome::LoopFound;
    case strong::StrongStatus::NoProof:
      break;
  }
  return RunOutcome::NoProof;
}

// The variable of a certificate's rules: the certifier compares them with its input's
// variable by variable, so an XTC input's own is kept; the other formats get the
// problem database's.
std::string CertificateVariable(const ParsedSystem& parsed) {
  return parsed.variable.empty() ? std::string(strong::cpf::kDefaultVariable) : parsed.variable;
}

void Run(std::string_view text, InputFormat format, const StrongRunOptions& options,
         StrongRunResult& o) {
  ParsedSystem parsed;
  const ReadResult read = ReadUnbounded(SplitLines(text), format, parsed);
  if (!read.ok) {
    o.outcome = RunOutcome::InputRefused;
    o.error = read.error;
    return;
  }
  o.warnings = read.warnings;
  o.rules = static_cast<int>(parsed.rules.size());
  o.symbols = static_cast<int>(parsed.names.size());
  strong::StrongOptions so;
  so.timeoutSeconds = StrongTimeLimit(options.timeoutSeconds);
  so.jobs = options.jobs;
  so.certified = options.certified;
  so.roads = options.roads;
  so.outsideStop = options.stop;
  strong::StrongResult r = strong::RunStrong(parsed, so);
  if (options.certificate) {
    if (r.status == strong::StrongStatus::NoProof) {
      o.noCertificate = "no proof";
    } else {
      strong::cpf::Written w =
          strong::cpf::FromProof(r.proof, kNameAndVersion, CertificateVariable(parsed));
      if (strong::cpf::Ok(w))
        o.certificate = std::move(std::get<strong::cpf::Fragment>(w).xml);
      else
        o.noCertificate = std::get<std::string>(w);
    }
  }
  o.outcome = OutcomeOf(r.status);
  assert(o.outcome == RunOutcome::NoProof || !r.lines.empty());
  o.lines = std::move(r.lines);
  o.notes = std::move(r.notes);
  o.stopped = options.stop != nullptr && options.stop->load() != 0;
  o.timedOut = o.outcome == RunOutcome::NoProof && (r.timedOut || o.stopped);
}

}  // namespace

const std::vector<std::string>& StrongRoadNames() {
  static const std::vector<std::string> names = strong::StrongRoadNames();
  return names;
}

double StrongTimeLimit(double timeoutSeconds) {
  if (!std::isfinite(timeoutSeconds) || timeoutSeconds <= 0) return kStrongDefaultTimeout;
  return std::min(timeoutSeconds, kMaxTimeoutSeconds);
}

StrongRunResult RunStrongText(std::string_view text, InputFormat format,
                              const StrongRunOptions& options) {
  StrongRunResult o;
  try {
    Run(text, format, options, o);
  } catch (const std::exception& e) {
    o = StrongRunResult{};
    o.failure = std::string("internal error: ") + e.what();
  }
  return o;
}

}  // namespace velkin
