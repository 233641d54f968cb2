// Small problems for the strong engine's tests, written as plain rules.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/parsed_system.h"
#include "strong/loop.h"
#include "strong/problem.h"
#include "strong/techniques/closures.h"
#include "strong/techniques/derivation_loops.h"

namespace velkin::strong::test {

// The problem of plain-format lines ("ab->ba", "c->=cc"); fails the test when the
// reader refuses them.
inline Problem Plain(const std::vector<std::string>& lines) {
  ParsedSystem parsed;
  const ReadResult r = ReadUnbounded(lines, InputFormat::Plain, parsed);
  EXPECT_TRUE(r.ok) << r.error.Describe();
  return FromParsed(parsed);
}

// The loop that a Disproved result holds.
inline const LoopWitness& LoopOf(const Result& r) {
  return static_cast<const LoopWitness&>(*r.witness);
}

// Expects that the older loop searches miss every loop of `p`: closures within 16 MB and
// deterministic derivations, on the rules and on the reversed rules.
inline void ExpectClosuresAndDerivationsMiss(const Problem& p) {
  ClosureOptions small;
  small.memoryBytes = std::size_t{16} << 20;
  for (const bool reversed : {false, true}) {
    small.reversed = reversed;
    EXPECT_EQ(FindLoopByClosures(p, Budget().Within(std::chrono::seconds(20)), small).kind,
              Result::Kind::Nothing);
    DerivationLoopOptions d;
    d.reversed = reversed;
    EXPECT_EQ(FindLoopByDerivation(p, Budget().Within(std::chrono::seconds(20)), d).kind,
              Result::Kind::Nothing);
  }
}

}  // namespace velkin::strong::test
