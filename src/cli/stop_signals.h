// SIGINT and SIGTERM as a stop request, for the commands that end their work cleanly on
// them (batch mode, the web server).
#pragma once

#include <signal.h>

#include <atomic>
#include <string>

namespace velkin::cli {

// The stop request: the number of the signal that asked for it, 0 while none. A command
// may store a negative value for a stop of its own (a row file that cannot be written).
// Written by the signal handler, so it is lock-free.
std::atomic<int>& StopRequest();

// Sets StopRequest() to 0 and, while it lives, turns SIGINT and SIGTERM into stop
// requests, except for a signal that the process was started with ignored (nohup, a
// background job). The handler resets itself, so that a second signal ends the process
// at once as usual. One at a time.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
};

// "SIGINT", "SIGTERM", or "signal N".
std::string SignalName(int signal);

}  // namespace velkin::cli
