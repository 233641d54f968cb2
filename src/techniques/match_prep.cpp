#include "techniques/match_prep.h"

#include "model/proof_log.h"

namespace velkin {

namespace {

// True when the expansion of the checkpoint's empty right-hand sides fits the store:
// every lhs to extend has room for one more symbol and the rules stay within 1000.
bool ExpansionFits(const RuleSystem& cp) {
  int rules = 0;
  for (int i = 1; i <= cp.ruleCount; ++i) {
    if (cp.rhs[i][0] != 0) {
      ++rules;
      continue;
    }
    if (Length(cp.lhs[i]) >= kMaxSideLength) return false;
    rules += cp.symbolCount;
  }
  return rules <= kMaxRules;
}

bool HasEmptyRhs(const RuleSystem& cp) {
  for (int i = 1; i <= cp.ruleCount; ++i)
    if (cp.rhs[i][0] == 0) return true;
  return false;
}

// Deletes byte j of a row; the later symbols and the end mark move one to the front.
void DeleteSymbol(SymbolString& row, int j) {
  for (int x = j; x + 1 < kRowBytes; ++x) row[x] = row[x + 1];
  row[kRowBytes - 1] = 0;
}

}  // namespace

void ExpandEmptyRhs(State& st) {
  if (!HasEmptyRhs(st.checkpoint) || !ExpansionFits(st.checkpoint)) {
    CopySystem(st.checkpoint, st.primary);
    return;
  }
  AppendLogLine(st, "Expand empty rhs:");

  // The primary system takes the checkpoint's alphabet; its rules are rebuilt in order.
  CopySystem(st.checkpoint, st.primary);
  const RuleSystem& cp = st.checkpoint;
  RuleSystem& p = st.primary;
  p.ruleCount = 0;
  for (int i = 1; i <= cp.ruleCount; ++i) {
    if (cp.rhs[i][0] != 0) {
      const int r = ++p.ruleCount;
      p.lhs[r] = cp.lhs[i];
      p.rhs[r] = cp.rhs[i];
      p.strict[r] = 1;
      continue;
    }
    const int m = Length(cp.lhs[i]);
    for (int s = 1; s <= cp.symbolCount; ++s) {
      const int r = ++p.ruleCount;
      SymbolString l{};
      for (int x = 0; x < m; ++x) l[x] = cp.lhs[i][x];
      l[m] = static_cast<SymbolId>(s);
      SymbolString v{};
      v[0] = static_cast<SymbolId>(s);
      p.lhs[r] = l;
      p.rhs[r] = v;
      p.strict[r] = 1;
    }
  }
  AssertSystemInvariants(p);

  CopySystem(st.primary, st.working);
  for (int i = 1; i <= st.working.ruleCount; ++i) AppendLogLine(st, "   " + FormatRule(st, i));
  st.logMark = st.log.length;
  CopySystem(st.primary, st.checkpoint);
}

bool StripCommonSymbol(State& st) {
  RuleSystem& p = st.primary;
  if (p.ruleCount != 1) return false;
  SymbolString& l = p.lhs[1];
  SymbolString& r = p.rhs[1];
  const int m = Length(l);
  const int k = Length(r);
  if (m < 2 || k < 2) return false;
  if (l[0] == r[0]) {
    AppendLogLine(st, "Strip first symbol, yielding the rule");
    DeleteSymbol(l, 0);
    DeleteSymbol(r, 0);
    CopySystem(st.primary, st.working);
    AppendLogLine(st, "   " + FormatRule(st, 1));
    return true;
  }
  if (l[m - 1] == r[k - 1]) {
    l[m - 1] = 0;
    r[k - 1] = 0;
    CopySystem(st.primary, st.working);
    AppendLogLine(st, "Strip last symbol, yielding the rule");
    AppendLogLine(st, "   " + FormatRule(st, 1));
    return true;
  }
  return false;
}

}  // namespace velkin
