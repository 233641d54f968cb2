// Small problems for the strong engine's tests, written as plain rules.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/parsed_system.h"
#include "strong/problem.h"

namespace velkin::strong::test {

// The problem of plain-format lines ("ab->ba", "c->=cc"); fails the test when the
// reader refuses them.
inline Problem Plain(const std::vector<std::string>& lines) {
  ParsedSystem parsed;
  const ReadResult r = ReadUnbounded(lines, InputFormat::Plain, parsed);
  EXPECT_TRUE(r.ok) << r.error.Describe();
  return FromParsed(parsed);
}

}  // namespace velkin::strong::test
