#include "model/time_limit.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace velkin {

std::optional<double> ParseTimeLimit(std::string_view text) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return std::nullopt;
  const std::string s(text);  // strtod needs the terminating zero
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size() || !std::isfinite(v) || v <= 0 || v > kMaxTimeoutSeconds)
    return std::nullopt;
  return v;
}

std::string TimeLimitMessage(std::string_view text) {
  char most[32];
  std::snprintf(most, sizeof most, "%g", kMaxTimeoutSeconds);
  return "'" + std::string(text) + "' is not a number of seconds above 0 and at most " + most;
}

}  // namespace velkin
