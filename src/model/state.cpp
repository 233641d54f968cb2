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
  RuleSystem& p = st.primary;
  for (int k = 1; k <= p.symbolCount; ++k)
    if (p.names[k] == name) return k;
  if (p.symbolCount >= kMaxSymbols) return 0;
  ++p.symbolCount;
  p.names[p.symbolCount] = name;
  return p.symbolCount;
}

}  // namespace velkin
