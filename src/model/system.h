// The fixed-capacity store of string rewriting systems: rows, systems, banks.
#pragma once

#include <array>
#include <cassert>
#include <cstdint>
#include <string>
#include <string_view>

namespace velkin {

// Capacities, fixed throughout the prover.
inline constexpr int kMaxRules = 1000;     // rules per system
inline constexpr int kMaxSideLength = 19;  // symbols per side (row of 20 with end mark)
inline constexpr int kRowBytes = 20;       // bytes per SymbolString row
inline constexpr int kMaxSymbols = 100;    // symbols (and names) per system

// A symbol number, 1..kMaxSymbols; 0 is never a symbol and ends a string.
using SymbolId = std::uint8_t;

// A string of at most 19 symbols: symbols in bytes 0..n-1, the end mark 0 in byte n.
// Position p of the text's numbering (1-based) is byte p-1. Bytes after the end mark
// carry no meaning.
using SymbolString = std::array<SymbolId, kRowBytes>;

// Number of symbols before the end mark.
inline int Length(const SymbolString& s) {
  int n = 0;
  while (n < kRowBytes && s[n] != 0) ++n;
  assert(n < kRowBytes && "row without end mark");
  return n;
}

// One system R/S. Rules are numbered 1..ruleCount (row 0 unused), symbols
// 1..symbolCount (name 0 unused). Every field is fixed-size so that banks copy whole.
struct RuleSystem {
  std::array<SymbolString, kMaxRules + 1> lhs;     // lhs of rule i in row i
  std::array<SymbolString, kMaxRules + 1> rhs;     // rhs of rule i in row i
  std::array<std::uint8_t, kMaxRules + 1> strict;  // 1: rule i in R ("->"), 0: in S ("->=")
  std::int32_t ruleCount = 0;                      // rules 1..ruleCount
  std::int32_t symbolCount = 0;                    // symbols 1..symbolCount
  std::array<std::string, kMaxSymbols + 1> names;  // printed name of symbol k

  RuleSystem() {
    for (auto& row : lhs) row.fill(0);
    for (auto& row : rhs) row.fill(0);
    strict.fill(0);
  }
};

// The rules of the working system only (rows and strict flags), kept by the path order.
struct WorkingBackup {
  std::array<SymbolString, kMaxRules + 1> lhs;
  std::array<SymbolString, kMaxRules + 1> rhs;
  std::array<std::uint8_t, kMaxRules + 1> strict;
  WorkingBackup() {
    for (auto& row : lhs) row.fill(0);
    for (auto& row : rhs) row.fill(0);
    strict.fill(0);
  }
};

// Copies every field of src into dst whole: three block moves, the names, two counts.
void CopySystem(const RuleSystem& src, RuleSystem& dst);

// Copies the rule count and the rows and strict flags of rules 1..count from src to dst;
// names, symbol count and rows beyond the count stay as they are in dst.
void CopyRules(const RuleSystem& src, RuleSystem& dst);

// Debug-build check that a system stays within its capacities and keeps its end marks.
void AssertSystemInvariants(const RuleSystem& sys);

}  // namespace velkin
