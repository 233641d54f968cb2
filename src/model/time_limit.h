// A run's time limit as every front end takes it (command line, window, web server) and
// as both engines bound it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velkin {

// The longest time limit a run takes (about three years), so that the clock's
// arithmetic cannot overflow; both engines cut longer ones to it.
inline constexpr double kMaxTimeoutSeconds = 1e8;

// A time limit as typed: a decimal number (strtod's syntax, no blanks around it) above 0
// and at most kMaxTimeoutSeconds. Anything else, inf and nan included, gives nothing.
std::optional<double> ParseTimeLimit(std::string_view text);

// Why `text` is no time limit: "'TEXT' is not a number of seconds above 0 and at most 1e+08".
std::string TimeLimitMessage(std::string_view text);

}  // namespace velkin
