// The strong engine's front door, as run.h is the classic one's: a problem text, its
// format and the run's options in; the status, the proof lines and the certificate out,
// errors as values. The command line, the window and the web server all come in here.
#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "model/input_format.h"
#include "model/parsed_system.h"
#include "prover/run.h"

namespace velkin {

// The strong strategy's time limit when a front end gives none (the competition's).
inline constexpr double kStrongDefaultTimeout = 60;

struct StrongRunOptions {
  // The whole run's time limit in seconds; one that is not a positive finite number
  // means kStrongDefaultTimeout, a longer one than kMaxTimeoutSeconds is cut to it.
  double timeoutSeconds = kStrongDefaultTimeout;
  int jobs = 0;                    // threads for the race of the roads; 0: the number of cores
  bool certified = false;          // only steps with a certifiable form (no match bounds)
  bool certificate = false;        // also write the answer's certificate (CPF 2.1)
  std::vector<std::string> roads;  // only the roads of these names (StrongRoadNames); empty: all
  // Nonzero: the run gives up as at the time limit (a batch's signal, the window's
  // Cancel, a server shutting down). Must outlive the call.
  const std::atomic<int>* stop = nullptr;
};

struct StrongRunResult {
  // Terminating, LoopFound or NoProof; InputRefused when the reader refused the text
  // (`error` says why) and nothing ran.
  RunOutcome outcome = RunOutcome::NoProof;
  std::vector<std::string> lines;  // the proof text; empty unless there is an answer
  // Remarks about the run for a person (a technique skipped, a step dropped because
  // its re-check failed); never part of the proof.
  std::vector<std::string> notes;
  InputError error;                  // why the input was refused
  std::vector<InputError> warnings;  // the reader's warnings about the text as read
  std::string failure;               // an internal error that ended the run (out of memory, ...)
  bool timedOut = false;             // no proof because the time limit ran out or `stop` was set
  bool stopped = false;              // `stop` was set during the run
  int rules = -1, symbols = -1;      // of the system as read; -1 when refused
  // With options.certificate: the certificate of an answer, or why there is none.
  std::string certificate, noCertificate;
};

// The names of the strong strategy's roads, in the order they are listed (made once).
const std::vector<std::string>& StrongRoadNames();

// The time limit that a run with `timeoutSeconds` gets (see StrongRunOptions).
double StrongTimeLimit(double timeoutSeconds);

// Reads `text` in `format` without capacities and runs the strong strategy on it.
// Guarantees: never throws; an answer comes with its proof lines, every step of which
// passed the engine's re-check; a certificate, when asked for, is written from the same
// proof tree as the lines; the call returns shortly after the time limit or the stop
// request, with all the engine's threads joined.
StrongRunResult RunStrongText(std::string_view text, InputFormat format,
                              const StrongRunOptions& options);

}  // namespace velkin
