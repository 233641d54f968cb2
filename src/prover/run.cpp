#include "prover/run.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>

#include "loops/loop_search.h"
#include "model/parsed_system.h"
#include "model/proof_log.h"
#include "prover/strategy.h"
#include "techniques/match_bound.h"
#include "techniques/match_prep.h"
#include "techniques/reversal.h"

namespace velkin {

std::optional<std::int32_t> ConvertAttempts(const std::string& text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) return std::nullopt;
  long long value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > static_cast<long long>(INT32_MAX) + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::string NotAnIntegerMessage(const std::string& text) {
  return "'" + text + "' is not a valid integer value";
}

ReadResult ReadInput(State& st, const RunInputs& in) {
  ParsedSystem sys;
  const ReadResult r = ReadSystem(in.lines, in.format, ReadLimits::Classic(), sys);
  LoadPrimary(st, sys);
  if (in.format == InputFormat::Tpdb) st.log.length = 0;  // the tpdb reader resets the log
  return r;
}

namespace {

bool Unproved(const State& st) {
  return st.allStrict == 1 && st.proved == 0 && !st.cancelled;
}

}  // namespace

RunResult ExecuteRun(State& st, const RunInputs& in) {
  RunResult result;
  // Step 1 and 2: the window has shown " busy "; the run starts from an empty log.
  result.status = kStatusBusy;
  st.report = 0;
  st.log.length = 0;
  st.attemptCount = 0;
  st.remLabels = in.remLabels;
  st.cancelled = false;
  st.deadline = {};
  st.stop = in.stop;
  // A limit that is not a positive finite number means no limit; a huge one is cut to
  // what the clock can add without overflowing.
  if (std::isfinite(in.timeoutSeconds) && in.timeoutSeconds > 0) {
    const double seconds = std::min(in.timeoutSeconds, kMaxTimeoutSeconds);
    st.deadline = std::chrono::steady_clock::now() +
                  std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                      std::chrono::duration<double>(seconds));
  }

  // Step 3: read the input.
  const ReadResult read = ReadInput(st, in);
  result.warnings = read.warnings;
  if (!read.ok) {
    result.outcome = RunOutcome::InputRefused;
    result.error = read.error;
    st.log.length = 0;
    return result;
  }
  AssertSystemInvariants(st.primary);
  result.rules = st.primary.ruleCount;
  result.symbols = st.primary.symbolCount;

  // Steps 4 to 7: the head of the proof text.
  CopySystem(st.primary, st.working);
  CopySystem(st.primary, st.snapshot);
  AppendProofHead(st);

  // Step 8.
  st.loop = 0;
  st.proved = 0;
  st.logMark = st.log.length;

  // Step 9: a quick strategy pass and the four match-bound variants.
  if (in.matchBound) {
    RunStrategy(st);
    if (Unproved(st)) {  // variant 1, on the system as the plain pass left it
      st.log.length = st.logMark;
      ExpandEmptyRhs(st);
      TryMatchBound(st);
    }
    if (Unproved(st)) {  // variant 2, reversed
      st.log.length = st.logMark;
      CopySystem(st.checkpoint, st.primary);
      AppendReversalLines(st);
      ReversePrimaryRules(st);
      TryMatchBound(st);
    }
    if (Unproved(st)) {  // variant 3, stripped
      st.log.length = st.logMark;
      CopySystem(st.checkpoint, st.primary);
      if (StripCommonSymbol(st)) TryMatchBound(st);
    }
    if (Unproved(st)) {  // variant 4, reversed and stripped
      st.log.length = st.logMark;
      CopySystem(st.checkpoint, st.primary);
      AppendReversalLines(st);
      ReversePrimaryRules(st);
      if (StripCommonSymbol(st)) TryMatchBound(st);
    }
  }

  // Step 10: the loop search, on the system the match-bound attempts started from.
  if (st.proved == 0 && !st.cancelled) {
    if (in.matchBound && st.allStrict == 1) CopySystem(st.checkpoint, st.primary);
    SearchLoop(st);
  }

  // Step 11: the final pass with the user's number of attempts.
  if (st.proved == 0 && st.loop == 0 && !st.cancelled) {
    CopySystem(st.snapshot, st.primary);
    CutBackToProofHead(st);
    const std::optional<std::int32_t> attempts = ConvertAttempts(in.attemptsText);
    if (!attempts) {
      result.outcome = RunOutcome::AttemptsInvalid;
      result.error = InputError{0, NotAnIntegerMessage(in.attemptsText)};
      return result;
    }
    st.attemptCount = *attempts;
    RunStrategy(st);
  }

  // Steps 12 and 13: show the proof text and the status.
  if (st.cancelled) {
    result.timedOut = true;
    result.outcome = RunOutcome::NoProof;
    result.status = kStatusNoProof;
    return result;
  }
  if (st.proved == 1 || st.loop == 1) result.output = st.log.Shown();
  if (st.proved == 1) {
    result.outcome = RunOutcome::Terminating;
    result.status = kStatusTerminating;
  } else if (st.loop == 1) {
    result.outcome = RunOutcome::LoopFound;
    result.status = kStatusLoopFound;
  } else {
    result.outcome = RunOutcome::NoProof;
    result.status = kStatusNoProof;
  }
  return result;
}

}  // namespace velkin
