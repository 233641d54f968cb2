#include "model/system.h"

#include <algorithm>
#include <cstring>

namespace velkin {

namespace {

// Debug-build check of the promise the marks make: nothing beyond them was written.
[[maybe_unused]] bool ZeroBeyond(const std::array<SymbolString, kMaxRules + 1>& rows, int mark) {
  for (int i = mark + 1; i <= kMaxRules; ++i)
    for (const SymbolId b : rows[i])
      if (b != 0) return false;
  return true;
}

[[maybe_unused]] bool ZeroBeyond(const std::array<std::uint8_t, kMaxRules + 1>& flags, int mark) {
  for (int i = mark + 1; i <= kMaxRules; ++i)
    if (flags[i] != 0) return false;
  return true;
}

[[maybe_unused]] bool RulesClearBeyondMark(const RuleSystem& sys) {
  const int mark = sys.ruleCount.mark();
  return ZeroBeyond(sys.lhs, mark) && ZeroBeyond(sys.rhs, mark) && ZeroBeyond(sys.strict, mark);
}

[[maybe_unused]] bool NamesClearBeyondMark(const RuleSystem& sys) {
  for (int k = sys.symbolCount.mark() + 1; k <= kMaxSymbols; ++k)
    if (!sys.names[k].empty()) return false;
  return true;
}

// Rows 0..last of both row tables (the bytes of whole rows, end marks and all), from a
// system or the backup to either.
template <class From, class To>
void CopyRowPrefix(const From& src, To& dst, int last) {
  const std::size_t bytes = static_cast<std::size_t>(last + 1) * sizeof(SymbolString);
  std::memcpy(dst.lhs.data(), src.lhs.data(), bytes);
  std::memcpy(dst.rhs.data(), src.rhs.data(), bytes);
}

// Rows 0..last of both row tables and of the strict flags, likewise.
template <class From, class To>
void CopyRulePrefix(const From& src, To& dst, int last) {
  CopyRowPrefix(src, dst, last);
  std::memcpy(dst.strict.data(), src.strict.data(), static_cast<std::size_t>(last + 1));
}

}  // namespace

void CopySystem(const RuleSystem& src, RuleSystem& dst) {
  if (&src == &dst) return;
  assert(RulesClearBeyondMark(src) && RulesClearBeyondMark(dst));
  assert(NamesClearBeyondMark(src) && NamesClearBeyondMark(dst));
  // Beyond the larger mark both systems are zero, so the copied prefix makes them equal.
  const int rows = std::min(kMaxRules, std::max(src.ruleCount.mark(), dst.ruleCount.mark()));
  CopyRulePrefix(src, dst, rows);
  dst.ruleCount = src.ruleCount;
  const int names = std::min(kMaxSymbols, std::max(src.symbolCount.mark(), dst.symbolCount.mark()));
  for (int k = 0; k <= names; ++k) dst.names[k] = src.names[k];
  dst.symbolCount = src.symbolCount;
}

void CopyRows(const RuleSystem& src, RuleSystem& dst) {
  if (&src == &dst) return;
  assert(RulesClearBeyondMark(src) && RulesClearBeyondMark(dst));
  CopyRowPrefix(src, dst,
                std::min(kMaxRules, std::max(src.ruleCount.mark(), dst.ruleCount.mark())));
  dst.ruleCount = src.ruleCount;
}

// The path order saves and restores once per attempt: its debug checks stay cheap, the
// bank copies above check the marks in full.
void SaveBackup(const RuleSystem& w, WorkingBackup& b) {
  const int rows = std::min(kMaxRules, std::max(w.ruleCount.mark(), b.rowMark));
  CopyRulePrefix(w, b, rows);
  b.rowMark = rows;
}

void RestoreBackup(const WorkingBackup& b, RuleSystem& w) {
  const int rows = std::min(kMaxRules, std::max(w.ruleCount.mark(), b.rowMark));
  CopyRulePrefix(b, w, rows);
  w.ruleCount.RaiseMark(rows);  // the rows now reach as far as the backup's did
}

void CopyRules(const RuleSystem& src, RuleSystem& dst) {
  dst.ruleCount = src.ruleCount;
  CopyRuleRows(src, dst, src.ruleCount);
}

void AssertSystemInvariants([[maybe_unused]] const RuleSystem& sys) {
#ifndef NDEBUG
  assert(sys.ruleCount >= 0 && sys.ruleCount <= kMaxRules);
  assert(sys.symbolCount >= 0 && sys.symbolCount <= kMaxSymbols);
  for (int i = 1; i <= sys.ruleCount; ++i) {
    assert(Length(sys.lhs[i]) <= kMaxSideLength);
    assert(Length(sys.rhs[i]) <= kMaxSideLength);
  }
  assert(RulesClearBeyondMark(sys) && NamesClearBeyondMark(sys));
#endif
}

}  // namespace velkin
