// The run that "START" performs, independent of any window: input text and options in,
// status text and proof lines out, in a state object that the caller keeps.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "model/input_format.h"
#include "model/readers.h"
#include "model/state.h"
#include "model/time_limit.h"

namespace velkin {

// What the run takes from the window (or another front end).
struct RunInputs {
  std::vector<std::string> lines;           // the input text, line by line
  InputFormat format = InputFormat::Plain;  // the window: "tpdb format" ticked -> Tpdb
  bool matchBound = true;                   // "match bnd"
  bool remLabels = true;                    // "rem.labels"
  std::string attemptsText = "100";         // the field "nr of att:", converted at the final pass
  double timeoutSeconds = 0;                // 0: no limit (as in the window)
  const std::atomic<int>* stop = nullptr;   // nonzero: give up as at the time limit
};

enum class RunOutcome {
  Terminating,      // status "terminating"
  LoopFound,        // status "loop found"
  NoProof,          // status " no proof " (also when the time limit ran out)
  InputRefused,     // the reader refused the input; nothing was run
  AttemptsInvalid,  // the attempts text is no integer; status stays " busy "
};

struct RunResult {
  RunOutcome outcome = RunOutcome::NoProof;
  std::string status;                // the status text exactly as the window shows it
  std::vector<std::string> output;   // the output lines (empty unless there is a result)
  InputError error;                  // why the input or the attempts text was refused
  bool timedOut = false;             // the deadline passed; the outcome is NoProof
  std::vector<InputError> warnings;  // the reader's warnings; they change nothing
  int rules = -1;                    // rules of the system as read; -1 when it was refused
  int symbols = -1;                  // symbols of the system as read; -1 when it was refused
};

// The status texts.
inline constexpr const char* kStatusBusy = " busy ";
inline constexpr const char* kStatusTerminating = "terminating";
inline constexpr const char* kStatusLoopFound = "loop found";
inline constexpr const char* kStatusNoProof = " no proof ";

// Converts the attempts text: an optional sign and decimal digits within the signed
// 32-bit range; anything else (blanks included) is not an integer.
std::optional<std::int32_t> ConvertAttempts(const std::string& text);

// The message for a text that is not an integer.
std::string NotAnIntegerMessage(const std::string& text);

// Reads the input in the chosen format into the primary system.
ReadResult ReadInput(State& st, const RunInputs& in);

// The whole run: read, head, first strategy pass, match-bound variants, loop search,
// final pass, status.
RunResult ExecuteRun(State& st, const RunInputs& in);

}  // namespace velkin
