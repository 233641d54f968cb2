#include "model/state.h"

namespace velkin {

std::unique_ptr<State> MakeState() {
  return std::make_unique<State>();
}

bool CheckClock(State& st) {
  st.clockCountdown = 256;
  if (st.stop != nullptr && st.stop->load(std::memory_order_relaxed) != 0) st.cancelled = true;
  if (st.deadline != std::chrono::steady_clock::time_point{} &&
      std::chrono::steady_clock::now() >= st.deadline)
    st.cancelled = true;
  return st.cancelled;
}

int LookupSymbol(State& st, std::string_view name) {
  return FindOrAppend(st.primary.names, st.primary.symbolCount, kMaxSymbols, name);
}

}  // namespace velkin
