#include "techniques/technique_loop.h"

#include <array>
#include <cassert>
#include <cstdint>

#include "model/proof_log.h"
#include "techniques/labelling.h"
#include "techniques/path_order.h"
#include "techniques/poly.h"

namespace velkin {

namespace {

// The primary system's rules (rows and strict flags of rules 1..count), rule count,
// symbol count and names 1..symbol count into the working system.
void CopyPrimaryRulesToWorking(State& st) {
  const RuleSystem& p = st.primary;
  RuleSystem& w = st.working;
  CopyRules(p, w);
  w.symbolCount = p.symbolCount;
  for (int s = 1; s <= p.symbolCount; ++s) w.names[s] = p.names[s];
}

// Polynomial steps: a silent trial, and if it removed rules, the same run again with its
// proof text, committed to the primary system.
void ReduceAndCommit(State& st) {
  CopyPrimaryRulesToWorking(st);
  ReduceAndReport(st);
  if (st.working.ruleCount >= st.primary.ruleCount) return;

  CopyPrimaryRulesToWorking(st);
  st.report = 1;
  ReduceAndReport(st);
  st.report = 0;

  CopyRules(st.working, st.primary);  // commit the reduced rules
}

}  // namespace

void RemoveLabels(State& st) {
  AppendLogLine(st, "");
  AppendLogLine(st, "Remove all labels, remaining unlabelled system:");

  RuleSystem& p = st.primary;
  RuleMarks kept;
  MarkLabelledOrigins(st, kept);
  int count = 0;
  for (int i = 1; i <= p.ruleCount; ++i) {
    if (kept[i] == 0) continue;
    ++count;
    p.lhs[count] = p.lhs[i];
    p.rhs[count] = p.rhs[i];
    p.strict[count] = p.strict[i];
  }
  p.ruleCount = count;

  CopySystem(st.primary, st.working);
  for (int j = 1; j <= st.working.ruleCount; ++j) AppendLogLine(st, "    " + FormatRule(st, j));
}

void TechniqueLoop(State& st) {
  // Every pass that labelling finishes without a proof has removed at least one primary
  // rule, so the loop ends after at most rule count + 1 passes.
  st.labellingProgress = 1;
  while (st.labellingProgress == 1 && st.proved == 0) {
    if (TimeUp(st)) break;
    st.labellingProgress = 0;
    st.pathOrderText = 1;

    ReduceAndCommit(st);
    if (st.proved == 0) {
      PathOrderSearch(st);
      if (st.proved == 1) PrintPathOrderProof(st);
    }
    if (st.proved == 0) SemanticLabelling(st);
    if (st.proved == 0 && st.labellingProgress == 1) RemoveLabels(st);
  }
  st.report = 0;
}

}  // namespace velkin
