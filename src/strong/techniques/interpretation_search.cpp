#include "strong/techniques/interpretation_search.h"

namespace velkin::strong {

std::pair<std::vector<int>, std::vector<int>> SplitRules(const Problem& p,
                                                         const std::vector<int>& indices) {
  std::pair<std::vector<int>, std::vector<int>> out;
  const int nStrict = static_cast<int>(p.strict.size());
  for (const int k : indices)
    (k < nStrict ? out.first : out.second).push_back(k < nStrict ? k : k - nStrict);
  return out;
}

std::string CheckRemovedIndices(const Problem& before, const std::vector<int>& removedStrict,
                                const std::vector<int>& removedWeak) {
  if (!AscendingIndices(removedStrict, before.strict.size()) ||
      !AscendingIndices(removedWeak, before.weak.size()))
    return "removed rule indices out of range or not ascending";
  if (removedStrict.empty() && removedWeak.empty()) return "removes no rule";
  if (before.IsDependencyPairs() && !removedWeak.empty())
    return "a reduction pair removes rules of R";
  return "";
}

std::optional<Orientation> OrientNatural(const exact::NaturalMaps& maps, const Rule& r) {
  const auto l = maps.Of(r.lhs), rr = maps.Of(r.rhs);
  if (!l || !rr) return std::nullopt;
  const bool weak = exact::AllGe(*l, *rr);
  return Orientation{weak, weak && l->c[0] > rr->c[0]};
}

std::optional<Orientation> OrientArctic(const exact::ArcticMaps& maps, const Rule& r) {
  const auto l = maps.Of(r.lhs), rr = maps.Of(r.rhs);
  if (!l || !rr) return std::nullopt;
  return Orientation{exact::AllGe(*l, *rr), exact::AllGt(*l, *rr)};
}

}  // namespace velkin::strong
