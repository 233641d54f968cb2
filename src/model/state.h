// The one object that holds everything a run shares: banks, proof log, flags, options,
// random generator and rule origins. Every operation of the prover receives it.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "model/proof_log.h"
#include "model/system.h"

namespace velkin {

struct State {
  // The banks. One bank is copied to another with CopySystem (model/system.h), which
  // acts as a copy of every field whole and moves only what lies below the marks.
  RuleSystem primary;     // the system under proof; filled by the readers
  RuleSystem working;     // the system the techniques test, reduce and print
  RuleSystem checkpoint;  // copy of the primary system taken before a transformation
  RuleSystem snapshot;    // copy of the primary system taken right after parsing
  WorkingBackup backup;   // rules of the working system, kept by the path order

  // For working rule m, the primary rule it was labelled from (0: a quasi-model rule).
  std::array<std::int32_t, kMaxRules + 1> ruleOrigin{};

  ProofLog log;              // the proof text and its length
  std::int32_t logMark = 0;  // a saved log length

  // Result flags and switches shared by the Parts (bytes 0 or 1).
  std::uint8_t proved = 0;             // (relative) termination is proved
  std::uint8_t loop = 0;               // a looping derivation was found
  std::uint8_t allStrict = 1;          // every rule read is strict
  std::uint8_t report = 0;             // techniques write proof lines only while set
  std::uint8_t pathOrderText = 0;      // a labelling step may print a path-order proof
  std::uint8_t labellingProgress = 0;  // the last labelling step succeeded
  std::uint8_t pathOrderReversed = 0;  // the path order compares reversed rules
  std::uint8_t quasiModel = 0;         // labelling looks for a quasi-model
  std::uint8_t labellingReversed = 0;  // labelling works on the reversed primary system

  std::int32_t attemptCount = 0;     // random labelling attempts per phase
  std::int32_t headerRuleCount = 0;  // rules in the head of the proof text

  std::string precedenceText;  // last line of a path-order proof

  // Options that the front end sets (the window's check boxes).
  bool remLabels = true;  // "rem.labels": labelling succeeds when it removes a rule

  // The random generator: never reseeded within one state object.
  std::uint32_t randomState = 0;

  // Cooperative time limit. When the deadline passes, the hot loops give up and the
  // run ends without a result. A zero deadline means no limit.
  std::chrono::steady_clock::time_point deadline{};
  // A stop request from outside (a signal, the caller): the run gives up as at the
  // deadline once it is nonzero. Null: none.
  const std::atomic<int>* stop = nullptr;
  bool cancelled = false;            // set once the deadline or a stop request has been seen
  std::uint32_t clockCountdown = 1;  // TimeUp calls left before the next look at the clock

  // Scratch room for labelling: the complete labelled system of one attempt.
  struct LabelledCopy {
    std::array<SymbolString, kMaxRules + 1> lhs;
    std::array<SymbolString, kMaxRules + 1> rhs;
    std::array<std::uint8_t, kMaxRules + 1> strict;
    std::array<std::int32_t, kMaxRules + 1> origin;
    std::int32_t ruleCount = 0;
  } labelledCopy;
};

// A fresh state on the heap (the object is large: keep it off small stacks).
std::unique_ptr<State> MakeState();

// One draw of the random generator with bound k: 0..k-1. Inline: labelling draws one
// per symbol and try, and a try is otherwise only a few table reads.
inline std::uint32_t RandomDraw(State& st, std::uint32_t k) {
  st.randomState = st.randomState * 134775813u + 1u;  // wraps mod 2^32
  return static_cast<std::uint32_t>((static_cast<std::uint64_t>(st.randomState) * k) >> 32);
}

// The slow part of TimeUp: looks at the stop request and the clock (when there is a
// deadline), latches `cancelled`, and sets the countdown to the next look.
bool CheckClock(State& st);

// True when the run's deadline has passed or a stop was requested. Cheap: a flag test
// and a countdown inline;
// looks at the clock only every 256 calls, and latches `cancelled` once it is true.
inline bool TimeUp(State& st) {
  if (st.cancelled) return true;
  if (--st.clockCountdown != 0) return false;
  return CheckClock(st);
}

// Finds or adds a name in the primary system's symbol table; returns its id, or 0
// when the name is new and the table already holds kMaxSymbols names (nothing is
// written then).
int LookupSymbol(State& st, std::string_view name);

}  // namespace velkin
