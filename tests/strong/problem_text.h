// Reads a strong-engine problem from plain-format text in tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/parsed_system.h"
#include "strong/problem.h"

namespace velkin::strong::testing {

// The problem of `rules`, one plain-format rule per element ("ab->ba", "c->=cc"); fails
// the test when the reader refuses them.
inline Problem ProblemOf(const std::vector<std::string>& rules) {
  ParsedSystem parsed;
  const ReadResult r = ReadUnbounded(rules, InputFormat::Plain, parsed);
  EXPECT_TRUE(r.ok) << r.error.Describe();
  return FromParsed(parsed);
}

}  // namespace velkin::strong::testing
