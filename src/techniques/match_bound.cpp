#include "techniques/match_bound.h"

#include <cassert>
#include <string>

#include "model/proof_log.h"

namespace velkin {

int AddTransition(MatchAutomaton& a, int from, SymbolId sym, int to, int h) {
  assert(a.transitionCount < kMatchTransitionRoom);
  assert(from >= 1 && from <= a.stateCount && to >= 1 && to <= a.stateCount);
  const int t = ++a.transitionCount;
  a.symbol[t] = sym;
  a.target[t] = to;
  a.next[t] = 0;
  a.height[t] = h;
  if (a.first[from] == 0) {
    a.first[from] = t;
  } else {
    int tail = a.first[from];
    while (a.next[tail] != 0) tail = a.next[tail];
    a.next[tail] = t;
  }
  return t;
}

namespace {

// A new state without transitions.
int AddState(MatchAutomaton& a) {
  assert(a.stateCount < kMatchStateRoom);
  ++a.stateCount;
  a.first[a.stateCount] = 0;
  return a.stateCount;
}

// The depth-first walk of the lhs: `chosen` holds the transitions of depths 1..d-1.
void WalkLhs(State& st, MatchAutomaton& a, const SymbolString& lhs, int d, int s,
             std::array<std::int32_t, kMaxSideLength + 1>& chosen) {
  if (lhs[d - 1] == 0) {
    if (a.pathCount == kMaxRedexPaths) {
      a.failed = true;
      return;
    }
    auto& path = a.paths[a.pathCount++];
    for (int j = 0; j < d - 1; ++j) path[j] = chosen[j];
    path[d - 1] = 0;
    return;
  }
  if (TimeUp(st)) {
    a.failed = true;
    return;
  }
  for (int t = a.first[s]; t != 0 && !a.failed; t = a.next[t]) {
    if (a.symbol[t] != lhs[d - 1]) continue;
    chosen[d - 1] = t;
    WalkLhs(st, a, lhs, d + 1, a.target[t], chosen);
  }
}

// The depth-first walk of the rhs with height h, ending in p; keeps the deepest position.
struct RhsWalk {
  State& st;
  const MatchAutomaton& a;
  const SymbolString& rhs;
  int k;  // length of the rhs
  int h;
  int p;
  int deepest = 0;
};

void WalkRhs(RhsWalk& w, int d, int s) {
  if (d > w.deepest) w.deepest = d;
  if (d > w.k) return;
  if (TimeUp(w.st)) return;  // the caller sees the time limit and gives up
  const SymbolId b = w.rhs[d - 1];
  const bool last = d == w.k;
  for (int t = w.a.first[s]; t != 0; t = w.a.next[t]) {
    if (w.a.symbol[t] != b || w.a.height[t] != w.h) continue;
    if (last && w.a.target[t] != w.p) continue;
    WalkRhs(w, d + 1, w.a.target[t]);
  }
}

// The proof: the bound and every transition, state by state in list order.
void WriteProof(State& st, const MatchAutomaton& a) {
  AppendLogLine(st, "");
  AppendLogLine(st, "Terminating due to RFC match bound " + std::to_string(a.bound) + ",");
  AppendLogLine(st, "proved by the automaton defined by");
  AppendLogLine(st, "initial state = 1, final state = 2, transitions:");
  for (int s = 1; s <= a.stateCount; ++s) {
    for (int t = a.first[s]; t != 0; t = a.next[t]) {
      std::string line = "from " + std::to_string(s) + " to " + std::to_string(a.target[t]) +
                         ", label: " + st.working.names[a.symbol[t]] + std::to_string(a.height[t]);
      AppendLogLine(st, line);
    }
  }
}

}  // namespace

bool MatchBoundFits(const RuleSystem& sys) {
  if (sys.ruleCount < 1 || sys.ruleCount > kMaxRules) return false;
  if (sys.symbolCount >= kMaxSymbols) return false;  // no name left for the end marker
  int transitions = 1;                               // the end-marker loop on the final state
  int rules = sys.ruleCount;                         // with the end-marker rules
  for (int i = 1; i <= sys.ruleCount; ++i) {
    const int m = Length(sys.lhs[i]);
    const int k = Length(sys.rhs[i]);
    if (m == 0 || k == 0) return false;
    transitions += k;
    rules += m - 1;
  }
  return transitions <= kMatchTransitions && rules <= kMaxRules;
}

void BuildInitialAutomaton(State& st, MatchAutomaton& a) {
  const RuleSystem& prim = st.primary;
  RuleSystem& w = st.working;
  const int n = prim.ruleCount;

  // The end marker and, for every rule with a lhs of m >= 2 symbols, the rules
  // l1..lj # -> rhs for j = 1..m-1.
  assert(w.symbolCount < kMaxSymbols);
  const SymbolId marker = static_cast<SymbolId>(++w.symbolCount);
  w.names[marker] = "#";
  for (int i = 1; i <= n; ++i) {
    const int m = Length(prim.lhs[i]);
    for (int j = 1; j < m; ++j) {
      assert(w.ruleCount < kMaxRules);
      const int r = ++w.ruleCount;
      SymbolString row{};
      for (int x = 0; x < j; ++x) row[x] = prim.lhs[i][x];
      row[j] = marker;
      w.lhs[r] = row;
      w.rhs[r] = prim.rhs[i];
      w.strict[r] = 0;
    }
  }

  // The final state reads end markers; from the initial state one chain per rhs.
  a = MatchAutomaton{};
  a.stateCount = 2;
  a.transitionCount = 1;
  a.symbol[1] = marker;
  a.target[1] = 2;
  a.first[2] = 1;
  a.first[1] = 2;
  int previousFirst = 0;
  for (int i = 1; i <= n; ++i) {
    const int k = Length(prim.rhs[i]);
    assert(k >= 1 && a.transitionCount + k <= kMatchTransitions);
    const int firstOfRule = a.transitionCount + 1;
    if (previousFirst != 0) a.next[previousFirst] = firstOfRule;
    previousFirst = firstOfRule;
    for (int p = 1; p <= k; ++p) {
      const int t = ++a.transitionCount;
      a.symbol[t] = prim.rhs[i][p - 1];
      a.height[t] = 0;
      a.next[t] = 0;
      if (p < k) {
        a.target[t] = ++a.stateCount;
        a.first[a.stateCount] = t + 1;
      } else {
        a.target[t] = 2;
      }
    }
  }
}

void EnumerateRedexPaths(State& st, MatchAutomaton& a, int r, int q) {
  a.pathCount = 0;
  if (a.failed) return;  // a failed attempt completes nothing more
  std::array<std::int32_t, kMaxSideLength + 1> chosen{};
  WalkLhs(st, a, st.working.lhs[r], 1, q, chosen);
}

bool FindRhsPath(State& st, const MatchAutomaton& a, int r, int h, int p, int d0, int start) {
  const SymbolString& rhs = st.working.rhs[r];
  RhsWalk w{st, a, rhs, Length(rhs), h, p};
  WalkRhs(w, d0, start);
  return w.deepest > w.k;
}

void CompleteRedex(State& st, MatchAutomaton& a, int r, int q, const std::int32_t* path) {
  assert(path[0] != 0);
  const SymbolString& rhs = st.working.rhs[r];
  const int k = Length(rhs);
  assert(k >= 1);
  int lowest = a.height[path[0]];
  int last = path[0];
  for (int j = 1; path[j] != 0; ++j) {
    if (a.height[path[j]] < lowest) lowest = a.height[path[j]];
    last = path[j];
  }
  const int h = lowest + 1;
  const int p = a.target[last];
  if (a.bound < h) a.bound = h;  // also when nothing needs to be added

  if (FindRhsPath(st, a, r, h, p, 1, q)) return;
  if (st.cancelled) {
    a.failed = true;
    return;
  }

  // One transition into the highest-numbered state that reads the rest of the rhs.
  if (k >= 2) {
    for (int s = a.stateCount; s >= 1; --s) {
      if (FindRhsPath(st, a, r, h, p, 2, s)) {
        AddTransition(a, q, rhs[0], s, h);
        if (a.transitionCount > kMatchGrowthLimit) a.failed = true;
        return;
      }
      if (st.cancelled) {
        a.failed = true;
        return;
      }
    }
  }

  // A new chain from q to p through k-1 new states. Only its first transition is held
  // against the growth limit; the chain is finished either way.
  int from = q;
  for (int j = 0; j < k; ++j) {
    const int to = j + 1 < k ? AddState(a) : p;
    AddTransition(a, from, rhs[j], to, h);
    if (j == 0 && a.transitionCount > kMatchGrowthLimit) a.failed = true;
    from = to;
  }
}

void CompleteAutomaton(State& st, MatchAutomaton& a) {
  int atPassStart = 0;
  while (!a.failed && atPassStart < a.transitionCount) {
    atPassStart = a.transitionCount;
    for (int r = 1; r <= st.working.ruleCount && !a.failed; ++r) {
      const int n = a.stateCount;  // states added meanwhile wait for the next rule
      for (int q = 1; q <= n && !a.failed; ++q) {
        if (TimeUp(st)) {
          a.failed = true;
          break;
        }
        EnumerateRedexPaths(st, a, r, q);
        for (int j = 0; j < a.pathCount && !a.failed; ++j)
          CompleteRedex(st, a, r, q, a.paths[j].data());
      }
    }
  }
}

void TryMatchBound(State& st) {
  CopySystem(st.primary, st.working);
  if (!MatchBoundFits(st.primary)) return;  // give up: no proof
  MatchAutomaton a;
  BuildInitialAutomaton(st, a);
  CompleteAutomaton(st, a);
  if (a.failed) return;
  st.proved = 1;
  WriteProof(st, a);
}

}  // namespace velkin
