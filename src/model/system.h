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

// A count that remembers the largest value it has ever held (its high-water mark).
// It reads and assigns like an int; every assignment or increment raises the mark, so
// a table indexed by the count has never been written beyond the mark, as long as its
// writers raise the count before anyone copies the table. Copying bank to bank uses
// the mark to move only the part of a table that has ever held anything.
class HeldCount {
 public:
  constexpr HeldCount() = default;
  constexpr HeldCount(std::int32_t v) : value_(v), mark_(v > 0 ? v : 0) {}  // NOLINT
  // A copy keeps the larger mark: what the destination held before is still there
  // (a count-only assignment) or has been overwritten by rows within the source's mark
  // (a whole-system assignment).
  constexpr HeldCount(const HeldCount&) = default;
  constexpr HeldCount& operator=(const HeldCount& o) {
    value_ = o.value_;
    if (o.mark_ > mark_) mark_ = o.mark_;
    return *this;
  }
  constexpr HeldCount& operator=(std::int32_t v) {
    value_ = v;
    if (v > mark_) mark_ = v;
    return *this;
  }
  constexpr operator std::int32_t() const { return value_; }  // NOLINT
  constexpr HeldCount& operator++() { return *this = value_ + 1; }
  constexpr std::int32_t operator++(int) {
    const std::int32_t old = value_;
    *this = value_ + 1;
    return old;
  }
  constexpr HeldCount& operator--() {
    --value_;
    return *this;
  }
  constexpr HeldCount& operator+=(std::int32_t d) { return *this = value_ + d; }
  constexpr HeldCount& operator-=(std::int32_t d) { return *this = value_ - d; }

  // The largest value ever held (at least 0). It never falls.
  constexpr std::int32_t mark() const { return mark_; }
  // Raises the mark to at least m, the value unchanged: the table has been filled so far.
  constexpr void RaiseMark(std::int32_t m) {
    if (m > mark_) mark_ = m;
  }

 private:
  std::int32_t value_ = 0;
  std::int32_t mark_ = 0;
};

// One system R/S. Rules are numbered 1..ruleCount (row 0 unused), symbols
// 1..symbolCount (name 0 unused). Every field is fixed-size. Rows and strict flags
// beyond ruleCount.mark() and names beyond symbolCount.mark() are as a fresh system
// has them (zero, empty): the copies rely on it, and check it in debug builds.
struct RuleSystem {
  std::array<SymbolString, kMaxRules + 1> lhs;     // lhs of rule i in row i
  std::array<SymbolString, kMaxRules + 1> rhs;     // rhs of rule i in row i
  std::array<std::uint8_t, kMaxRules + 1> strict;  // 1: rule i in R ("->"), 0: in S ("->=")
  HeldCount ruleCount = 0;                         // rules 1..ruleCount
  HeldCount symbolCount = 0;                       // symbols 1..symbolCount
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
  std::int32_t rowMark = 0;  // rows beyond it are zero
  WorkingBackup() {
    for (auto& row : lhs) row.fill(0);
    for (auto& row : rhs) row.fill(0);
    strict.fill(0);
  }
};

// Copies every field of src into dst, with the effect of a whole copy: afterwards dst
// equals src in all rows, flags and names, also beyond the counts. Moves only the rows
// and names below the larger of the two marks (the rest is zero in both).
void CopySystem(const RuleSystem& src, RuleSystem& dst);

// Copies the lhs and rhs rows of src into dst with the effect of a whole copy of both
// row tables (strict flags, symbol count and names stay); dst takes src's rule count.
void CopyRows(const RuleSystem& src, RuleSystem& dst);

// The working system's rows and strict flags into the backup, and back, each with the
// effect of a whole copy of the three tables.
void SaveBackup(const RuleSystem& w, WorkingBackup& b);
void RestoreBackup(const WorkingBackup& b, RuleSystem& w);

// Copies the rule count and the rows and strict flags of rules 1..count from src to dst;
// names, symbol count and rows beyond the count stay as they are in dst.
void CopyRules(const RuleSystem& src, RuleSystem& dst);

// Copies rules 1..count (both sides and the strict flag) from one rule table to another:
// a system, or a scratch table with the same three arrays. Counts and all other rows stay
// as they are. A system written to must already count `count` rules, so that its mark
// covers the rows (checked in debug builds).
template <class From, class To>
void CopyRuleRows(const From& src, To& dst, int count) {
  if constexpr (requires { dst.ruleCount.mark(); }) assert(dst.ruleCount.mark() >= count);
  for (int i = 1; i <= count; ++i) {
    dst.lhs[i] = src.lhs[i];
    dst.rhs[i] = src.rhs[i];
    dst.strict[i] = src.strict[i];
  }
}

// Finds or adds x among entries 1..count of a table with room for `capacity` entries: the
// index of the first entry equal to x; else count is raised by one, x written there and
// its index returned; 0 when x is new and the table is full (nothing is written then).
template <class Table, class Count, class Value>
int FindOrAppend(Table& table, Count& count, int capacity, const Value& x) {
  for (int k = 1; k <= count; ++k)
    if (table[k] == x) return k;
  if (count >= capacity) return 0;
  ++count;  // first, so that a held count's mark covers the entry
  table[count] = x;
  return count;
}

// Debug-build check that a system stays within its capacities and keeps its end marks.
void AssertSystemInvariants(const RuleSystem& sys);

}  // namespace velkin
