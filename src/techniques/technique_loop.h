// The technique loop: polynomial steps, path order, labelling, label removal.
#pragma once

#include "model/state.h"

namespace velkin {

// Repeats passes on the primary system while labelling makes progress; sets the proved
// flag on success and leaves the reduced system in the primary system.
void TechniqueLoop(State& st);

// After a labelling step that lost unlabelled rules: appends the heading, keeps (in their
// order, with their strict flags) the primary rules that are the rule origin of some
// working rule, copies the result to the working system and lists it.
void RemoveLabels(State& st);

}  // namespace velkin
