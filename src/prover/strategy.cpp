#include "prover/strategy.h"

#include "model/proof_log.h"
#include "techniques/reversal.h"
#include "techniques/technique_loop.h"

namespace velkin {

namespace {

// Transforms the primary system into its dependency pairs, lists them and runs the
// technique loop on them. False, with nothing changed or written, when the
// transformation does not apply (an empty lhs, or a result beyond the tables).
bool DependencyPairPass(State& st) {
  if (!DependencyPairTransform(st)) return false;
  CopySystem(st.primary, st.working);
  PrintDependencyPairs(st);
  TechniqueLoop(st);
  return true;
}

// Only termination of R is tried through dependency pairs, and only while time is left.
bool LaterPassDue(State& st) {
  return st.allStrict == 1 && st.proved == 0 && !TimeUp(st);
}

}  // namespace

void RunStrategy(State& st) {
  st.report = 0;

  // The plain pass: its lines and removals stay whatever follows.
  TechniqueLoop(st);
  st.logMark = st.log.length;
  if (st.allStrict == 1 && st.proved == 0) CopySystem(st.primary, st.checkpoint);

  if (LaterPassDue(st)) DependencyPairPass(st);

  if (LaterPassDue(st)) {
    // Drop the dependency-pair pass and start again from the plain pass's result,
    // reversed.
    st.log.length = st.logMark;
    CopySystem(st.checkpoint, st.primary);
    AppendReversalLines(st);
    ReversePrimaryRules(st);
    if (!DependencyPairPass(st)) {
      st.log.length = st.logMark;
      CopySystem(st.checkpoint, st.primary);
    }
  }
}

}  // namespace velkin
