// The help text that "HELP" shows.
#pragma once

#include <vector>

namespace velkin {

// The lines of the help text, in order; the last one invites the user back.
const std::vector<const char*>& HelpLines();

}  // namespace velkin
