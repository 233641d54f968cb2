// Recursive path order on strings read as unary terms (leftmost symbol outermost),
// with a precedence collected greedily from the rules and then checked for cycles.
#include "techniques/path_order.h"

#include <array>
#include <cstdint>
#include <string>

#include "model/proof_log.h"
#include "techniques/reversal.h"

namespace velkin {

namespace {

// Room kept in the precedence text so that collecting pairs rarely grows it.
constexpr std::size_t kPrecedenceTextReserve = 4096;

// True when r[j..] is a scattered subword of l[from..]: then l[from - 1..] lies above
// r[j..] by the subterm property.
bool ScatteredSubword(const SymbolString& l, int from, const SymbolString& r, int j) {
  for (int p = from; l[p] != 0 && r[j] != 0; ++p) {
    if (l[p] == r[j]) ++j;
  }
  return r[j] == 0;
}

bool SameString(const SymbolString& a, const SymbolString& b) {
  int p = 0;
  while (a[p] != 0 && a[p] == b[p]) ++p;
  return a[p] == b[p];
}

// Copies `src` into `dst` without any occurrence of `erased`; the rest closes up.
void EraseSymbol(const SymbolString& src, SymbolId erased, SymbolString& dst) {
  int q = 0;
  for (int p = 0; src[p] != 0; ++p) {
    if (src[p] != erased) dst[q++] = src[p];
  }
  for (; q < kRowBytes; ++q) dst[q] = 0;
}

// Copies `src` backwards into `dst` without any occurrence of `erased`: the row that
// EraseSymbol and then reversal give, end mark and trailing zeros included.
void EraseSymbolReversed(const SymbolString& src, SymbolId erased, SymbolString& dst) {
  int n = 0;
  while (src[n] != 0) ++n;
  int q = 0;
  for (int p = n - 1; p >= 0; --p) {
    if (src[p] != erased) dst[q++] = src[p];
  }
  for (; q < kRowBytes; ++q) dst[q] = 0;
}

}  // namespace

// Guarantees: true when every rule was oriented; the matrix holds the pairs that the
// walk required and the precedence text lists each of them once, in the order found.
// Stops collecting at the first rule that cannot be oriented. Allocates nothing but
// the growth of the precedence text.
bool CollectPrecedence(State& st, PrecedenceMatrix& m) {
  const RuleSystem& w = st.working;
  assert(w.ruleCount >= 0 && w.ruleCount <= kMaxRules);
  for (int k = 1; k <= w.ruleCount; ++k) {
    const SymbolString& l = w.lhs[k];
    const SymbolString& r = w.rhs[k];
    const bool strict = w.strict[k] != 0;
    if (l[0] == 0) {
      if (strict || r[0] != 0) return false;
      continue;  // e ->= e
    }
    if (!strict && SameString(l, r)) continue;  // identical weak rules need nothing
    int i = 0;
    int j = 0;
    while (r[j] != 0 && !ScatteredSubword(l, i + 1, r, j)) {
      if (l[i] == r[j]) {
        ++i;
        ++j;
        if (l[i] == 0) return false;  // lhs used up while the rhs goes on (or equal)
      } else {
        const SymbolId a = l[i];
        const SymbolId b = r[j];
        assert(a <= w.symbolCount && b <= w.symbolCount);
        if (!m[a][b]) {
          st.precedenceText += "  ";
          st.precedenceText += w.names[a];
          st.precedenceText += '>';
          st.precedenceText += w.names[b];
          m[a][b] = 1;
        }
        ++j;
      }
    }
  }
  return true;
}

// Guarantees: sets the proved flag exactly when every rule is oriented and the
// required pairs contain no cycle; the precedence text then describes the attempt.
// The working system is only read. A system beyond the table's 100 symbols fails.
void TryPathOrder(State& st) {
  st.precedenceText.clear();
  st.precedenceText.reserve(kPrecedenceTextReserve);
  const int n = st.working.symbolCount;
  if (n < 0 || n > kMaxSymbols) return;

  PrecedenceMatrix m;
  for (int a = 1; a <= n; ++a)
    for (int b = 1; b <= n; ++b) m[a][b] = 0;
  if (!CollectPrecedence(st, m)) return;

  // Remove sinks until none is left (acyclic) or a pass removes nothing (a cycle).
  std::array<std::uint8_t, kMaxSymbols + 1> alive;
  for (int a = 1; a <= n; ++a) alive[a] = 1;
  int count = n;
  int previous = n + 1;
  while (count < previous) {
    previous = count;
    count = 0;
    for (int a = 1; a <= n; ++a) {
      if (!alive[a]) continue;
      bool above = false;
      for (int b = 1; b <= n && !above; ++b) above = alive[b] && m[a][b];
      if (above) {
        ++count;
      } else {
        alive[a] = 0;
      }
    }
  }
  if (count == 0) st.proved = 1;
}

// Guarantees: the working rules are as on entry; the reversed flag tells which
// orientation the last attempt used.
void TryPathOrderBothWays(State& st) {
  st.pathOrderReversed = 0;
  TryPathOrder(st);
  if (st.proved) return;
  st.pathOrderReversed = 1;
  ReverseWorkingSystem(st);
  TryPathOrder(st);
  ReverseWorkingSystem(st);
}

// Guarantees: the working system's rows and strict flags are exactly as on entry; on
// success the proved flag is set and the precedence text and reversed flag describe
// the successful attempt. Gives up (without proving) when the run's time is up.
void PathOrderSearch(State& st) {
  RuleSystem& w = st.working;
  if (w.symbolCount < 0 || w.symbolCount > kMaxSymbols) return;
  assert(w.ruleCount >= 0 && w.ruleCount <= kMaxRules);
  TryPathOrderBothWays(st);
  if (st.proved) return;

  WorkingBackup& backup = st.backup;
  SaveBackup(w, backup);
  for (int d = 1; !st.proved && d <= w.symbolCount; ++d) {
    if (TimeUp(st)) break;
    const SymbolId erased = static_cast<SymbolId>(d);
    // TryPathOrderBothWays on the rows without d, writing the reversed rows straight
    // from the backup instead of reversing twice: the rows stay reversed, as the next
    // symbol and the restore below write them all afresh.
    for (int k = 1; k <= w.ruleCount; ++k) {
      EraseSymbol(backup.lhs[k], erased, w.lhs[k]);
      EraseSymbol(backup.rhs[k], erased, w.rhs[k]);
    }
    st.pathOrderReversed = 0;
    TryPathOrder(st);
    if (!st.proved) {
      st.pathOrderReversed = 1;
      for (int k = 1; k <= w.ruleCount; ++k) {
        EraseSymbolReversed(backup.lhs[k], erased, w.lhs[k]);
        EraseSymbolReversed(backup.rhs[k], erased, w.rhs[k]);
      }
      TryPathOrder(st);
    }
    st.precedenceText += ", after removing ";
    st.precedenceText += w.names[d];
  }
  RestoreBackup(backup, w);
}

// Guarantees: appends the empty line, the heading for the orientation used, and the
// precedence text as the last line.
void PrintPathOrderProof(State& st) {
  AppendLogLine(st, "");
  if (st.pathOrderReversed) {
    AppendLogLine(st, "Terminating since rev(l) > rev(r) for all rules l -> r");
    AppendLogLine(st, "where > is the recursive path order with precedence:");
  } else {
    AppendLogLine(st, "Terminating by recursive path order with precedence:");
  }
  AppendLogLine(st, st.precedenceText);
}

}  // namespace velkin
