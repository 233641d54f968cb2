#include "cli/stop_signals.h"

#include <utility>

namespace velkin::cli {

namespace {

std::atomic<int> gStop{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int signal) {
  gStop.store(signal);
}

}  // namespace

std::atomic<int>& StopRequest() {
  return gStop;
}

StopSignals::StopSignals() {
  gStop.store(0);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  for (auto [signal, old] : {std::pair{SIGINT, &oldInt_}, std::pair{SIGTERM, &oldTerm_}}) {
    ::sigaction(signal, nullptr, old);
    if (old->sa_handler != SIG_IGN) ::sigaction(signal, &action, nullptr);
  }
}

StopSignals::~StopSignals() {
  ::sigaction(SIGINT, &oldInt_, nullptr);
  ::sigaction(SIGTERM, &oldTerm_, nullptr);
}

std::string SignalName(int signal) {
  if (signal == SIGINT) return "SIGINT";
  if (signal == SIGTERM) return "SIGTERM";
  return "signal " + std::to_string(signal);
}

}  // namespace velkin::cli
