#include "model/system.h"

#include <cstring>

namespace velkin {

void CopySystem(const RuleSystem& src, RuleSystem& dst) {
  if (&src == &dst) return;
  std::memcpy(dst.lhs.data(), src.lhs.data(), sizeof(src.lhs));
  std::memcpy(dst.rhs.data(), src.rhs.data(), sizeof(src.rhs));
  std::memcpy(dst.strict.data(), src.strict.data(), sizeof(src.strict));
  dst.ruleCount = src.ruleCount;
  dst.symbolCount = src.symbolCount;
  for (int k = 0; k <= kMaxSymbols; ++k) dst.names[k] = src.names[k];
}

void CopyRules(const RuleSystem& src, RuleSystem& dst) {
  dst.ruleCount = src.ruleCount;
  for (int i = 1; i <= src.ruleCount; ++i) {
    dst.lhs[i] = src.lhs[i];
    dst.rhs[i] = src.rhs[i];
    dst.strict[i] = src.strict[i];
  }
}

void AssertSystemInvariants([[maybe_unused]] const RuleSystem& sys) {
#ifndef NDEBUG
  assert(sys.ruleCount >= 0 && sys.ruleCount <= kMaxRules);
  assert(sys.symbolCount >= 0 && sys.symbolCount <= kMaxSymbols);
  for (int i = 1; i <= sys.ruleCount; ++i) {
    assert(Length(sys.lhs[i]) <= kMaxSideLength);
    assert(Length(sys.rhs[i]) <= kMaxSideLength);
  }
#endif
}

}  // namespace velkin
