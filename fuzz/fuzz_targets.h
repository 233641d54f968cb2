// What the fuzz harnesses do with one input, shared with the regression tests that
// replay the inputs the fuzzer once found. Every check aborts, so that the fuzzer
// reports the input.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "model/proof_log.h"
#include "model/readers.h"
#include "model/state.h"
#include "prover/run.h"

namespace velkin::fuzz {

inline void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
  }
}

// The format from the low two bits of a byte: plain, tpdb, xtc, ari ('0' .. '3').
inline InputFormat FormatOf(std::uint8_t b) {
  switch (b % 4) {
    case 0:
      return InputFormat::Plain;
    case 1:
      return InputFormat::Tpdb;
    case 2:
      return InputFormat::Xtc;
    default:
      return InputFormat::Ari;
  }
}

// A system that any reader leaves behind, accepted or refused, stays within the
// capacities with every row ended.
inline void CheckSystem(const RuleSystem& p) {
  Check(p.ruleCount >= 0 && p.ruleCount <= kMaxRules, "rule count within capacity");
  Check(p.symbolCount >= 0 && p.symbolCount <= kMaxSymbols, "symbol count within capacity");
  for (int i = 1; i <= p.ruleCount; ++i) {
    for (const SymbolString* row : {&p.lhs[i], &p.rhs[i]}) {
      int n = 0;
      while (n < kRowBytes && (*row)[n] != 0) {
        Check((*row)[n] <= p.symbolCount, "symbol ids are known symbols");
        ++n;
      }
      Check(n <= kMaxSideLength, "row has its end mark within 19 symbols");
    }
    Check(p.strict[i] <= 1, "strict flag is 0 or 1");
  }
}

// Input: one byte for the format, one byte that the run harness reads (ignored here, so
// that both harnesses share their seeds), then the text. Reads it with the chosen
// reader into a fresh state and checks what every reader promises.
inline ReadResult FuzzReaders(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return ReadResult{};
  auto st = MakeState();
  RunInputs in;
  in.format = FormatOf(data[0]);
  in.lines = SplitLines(std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2));
  const ReadResult r = ReadInput(*st, in);
  CheckSystem(st->primary);
  if (!r.ok) {
    Check(!r.error.message.empty(), "a refusal says why");
    Check(r.error.line >= 0, "a refusal's line is not negative");
  } else {
    CopySystem(st->primary, st->working);
    std::size_t total = 0;
    for (int i = 1; i <= st->working.ruleCount; ++i) total += FormatRule(*st, i).size();
    Check(total >= static_cast<std::size_t>(st->working.ruleCount) * 4, "every rule prints");
  }
  return r;
}

// Input: one byte for the format (bits 0-1) and the options (bit 2 set: no match
// bounds, bit 3 set: no label removal), one byte for the attempt count (0..3), then the
// text. Runs the whole prover in a fresh state with the given time limit and checks
// the result's promises.
inline RunResult FuzzRun(const std::uint8_t* data, std::size_t size, double timeoutSeconds) {
  RunResult r;
  if (size < 2) return r;
  auto st = MakeState();
  RunInputs in;
  in.format = FormatOf(data[0]);
  in.matchBound = ((data[0] >> 2) & 1) == 0;
  in.remLabels = ((data[0] >> 3) & 1) == 0;
  in.attemptsText = std::to_string(data[1] % 4);
  in.timeoutSeconds = timeoutSeconds;
  in.lines = SplitLines(std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2));
  r = ExecuteRun(*st, in);
  CheckSystem(st->primary);
  Check(r.output.empty() || r.output == st->log.Shown(), "every line of the log is shown");
  switch (r.outcome) {
    case RunOutcome::Terminating:
      Check(r.status == kStatusTerminating && !r.output.empty(), "a proof is shown");
      break;
    case RunOutcome::LoopFound:
      Check(r.status == kStatusLoopFound && !r.output.empty(), "a loop is shown");
      break;
    case RunOutcome::NoProof:
      Check(r.status == kStatusNoProof && r.output.empty(), "no proof shows nothing");
      break;
    case RunOutcome::InputRefused:
      Check(!r.error.message.empty(), "a refusal says why");
      break;
    case RunOutcome::AttemptsInvalid:
      Check(false, "the attempt count is a valid integer");
      break;
  }
  return r;
}

}  // namespace velkin::fuzz
