// Reversal of every rule, and the dependency pair transformation DP(R)/R.
#include "techniques/reversal.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "model/proof_log.h"

namespace velkin {

namespace {

// Reverses the symbols of one row in place; the end mark stays where it is.
void ReverseRow(SymbolString& s) {
  const int n = Length(s);
  for (int lo = 0, hi = n - 1; lo < hi; ++lo, --hi) {
    const SymbolId t = s[lo];
    s[lo] = s[hi];
    s[hi] = t;
  }
}

// The printed name of the marked copy of a symbol named `name`: a lone lowercase
// ASCII letter becomes its capital, anything else gets a "#" in front.
std::string MarkedName(const std::string& name) {
  if (name.size() == 1 && name[0] >= 'a' && name[0] <= 'z') {
    return std::string(1, static_cast<char>(name[0] - 32));
  }
  return "#" + name;
}

}  // namespace

// Guarantees: rows 1..ruleCount hold their sides backwards; counts, strict flags,
// names and rows beyond the count are untouched. Applying it twice is the identity.
void ReverseWorkingSystem(State& st) {
  RuleSystem& w = st.working;
  assert(w.ruleCount >= 0 && w.ruleCount <= kMaxRules);
  for (int i = 1; i <= w.ruleCount; ++i) {
    ReverseRow(w.lhs[i]);
    ReverseRow(w.rhs[i]);
  }
}

void ReversePrimaryRules(State& st) {
  CopyRows(st.primary, st.working);
  ReverseWorkingSystem(st);
  CopyRows(st.working, st.primary);
}

void AppendReversalLines(State& st) {
  AppendLogLine(st, "");
  AppendLogLine(st, "Reverse every lhs and rhs of the system.");
  AppendLogLine(st, "");
}

// Guarantees: either the primary system is replaced by DP(R)/R and true is returned,
// or false is returned and the primary system is exactly as on entry. All checks come
// before the first write, so no table is written past its capacity.
bool DependencyPairTransform(State& st) {
  RuleSystem& p = st.primary;
  const int symbols = p.symbolCount;
  const int rules = p.ruleCount;
  if (symbols < 0 || symbols > kMaxSymbols || rules < 0 || rules > kMaxRules) return false;

  // Defined symbols: the first symbol of every lhs. An empty lhs has none to mark,
  // and the transformation is not defined for such a system.
  std::array<std::uint8_t, kMaxSymbols + 1> defined{};
  int definedCount = 0;
  for (int i = 1; i <= rules; ++i) {
    const SymbolId head = p.lhs[i][0];
    if (head == 0) return false;
    assert(head <= symbols);
    if (!defined[head]) {
      defined[head] = 1;
      ++definedCount;
    }
  }

  // Every occurrence of a defined symbol in a rhs gives one pair.
  int pairCount = 0;
  for (int i = 1; i <= rules; ++i) {
    const SymbolString& r = p.rhs[i];
    for (int j = 0; r[j] != 0; ++j) pairCount += defined[r[j]];
  }
  if (symbols + definedCount > kMaxSymbols || rules + pairCount > kMaxRules) return false;

  // Marked symbols, numbered after the existing ones in symbol order.
  std::array<SymbolId, kMaxSymbols + 1> marked{};
  for (int s = 1; s <= symbols; ++s) {
    if (!defined[s]) continue;
    ++p.symbolCount;
    marked[s] = static_cast<SymbolId>(p.symbolCount);
    p.names[p.symbolCount] = MarkedName(p.names[s]);
  }

  // The pairs, grouped by the rule they come from and by position within it. Each new
  // side is a suffix of an old side with its first symbol replaced, so it fits its row.
  for (int i = 1; i <= rules; ++i) {
    const SymbolString& l = p.lhs[i];
    const SymbolString& r = p.rhs[i];
    for (int j = 0; r[j] != 0; ++j) {
      if (!defined[r[j]]) continue;
      const int k = ++p.ruleCount;
      p.strict[k] = 1;
      p.lhs[k] = l;
      p.lhs[k][0] = marked[l[0]];
      SymbolString& nr = p.rhs[k];
      nr.fill(0);
      nr[0] = marked[r[j]];
      for (int q = j + 1; r[q] != 0; ++q) nr[q - j] = r[q];
    }
  }
  assert(p.ruleCount == rules + pairCount);

  // The old rules stay as the weak part.
  for (int i = 1; i <= rules; ++i) p.strict[i] = 0;
  return true;
}

// Guarantees: one heading line, then one line per working rule in rule order.
void PrintDependencyPairs(State& st) {
  AppendLogLine(st, "Dependency pair transformation:");
  for (int i = 1; i <= st.working.ruleCount; ++i) AppendLogLine(st, "  " + FormatRule(st, i));
}

}  // namespace velkin
