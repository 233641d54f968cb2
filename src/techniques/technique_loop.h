// The technique loop: polynomial steps, path order, labelling, label removal.
#pragma once

#include "model/state.h"

namespace velkin {

// Repeats passes on the primary system while labelling makes progress; sets the proved
// flag on success and leaves the reduced system in the primary system.
void TechniqueLoop(State& st);

}  // namespace velkin
