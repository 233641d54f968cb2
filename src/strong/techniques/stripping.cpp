#include "strong/techniques/stripping.h"

#include <algorithm>
#include <memory>

namespace velkin::strong {

namespace {

// `r` without `cut.first` letters in front and `cut.second` at the end of each side;
// the caller has checked that both fit.
Rule Cut(const Rule& r, std::pair<std::size_t, std::size_t> cut) {
  const auto middle = [&](const Word& w) {
    return Word(w.begin() + static_cast<std::ptrdiff_t>(cut.first),
                w.end() - static_cast<std::ptrdiff_t>(cut.second));
  };
  return Rule{middle(r.lhs), middle(r.rhs)};
}

// True when `cut` strips a common prefix and a common suffix of r's sides, apart on both.
bool IsCommonCut(const Rule& r, std::pair<std::size_t, std::size_t> cut) {
  const std::size_t shorter = std::min(r.lhs.size(), r.rhs.size());
  if (cut.first > shorter || cut.second > shorter - cut.first) return false;
  const auto n = static_cast<std::ptrdiff_t>(cut.first);
  const auto m = static_cast<std::ptrdiff_t>(cut.second);
  return std::equal(r.lhs.begin(), r.lhs.begin() + n, r.rhs.begin()) &&
         std::equal(r.lhs.end() - m, r.lhs.end(), r.rhs.end() - m);
}

// The longest cut that `options` allow.
std::pair<std::size_t, std::size_t> LongestCut(const Rule& r, const StripOptions& options) {
  const std::size_t shorter = std::min(r.lhs.size(), r.rhs.size());
  std::size_t x = 0, y = 0;
  if (options.prefixes)
    while (x < shorter && r.lhs[x] == r.rhs[x]) ++x;
  if (options.suffixes)
    while (x + y < shorter && r.lhs[r.lhs.size() - 1 - y] == r.rhs[r.rhs.size() - 1 - y]) ++y;
  return {x, y};
}

}  // namespace

std::string StripWitness::Recheck(const Problem& before, const std::vector<Problem>& after) const {
  if (!before.IsRelative()) return "stripping a dependency pair problem";
  if (after.size() != 1) return "the step leaves " + std::to_string(after.size()) + " problems";
  const Problem& q = after[0];
  if (!q.IsRelative()) return "the problem left is not a relative one";
  if (!(q.alphabet == before.alphabet)) return "the step changes the alphabet";
  if (cuts.size() != before.strict.size() + before.weak.size()) return "a cut per rule is missing";
  if (q.strict.size() != before.strict.size() || q.weak.size() != before.weak.size())
    return "the problem left has other numbers of rules";
  bool any = false;
  std::size_t k = 0;
  for (const auto* rules : {&before.strict, &before.weak}) {
    const bool weak = rules == &before.weak;
    const std::vector<Rule>& left = weak ? q.weak : q.strict;
    for (std::size_t i = 0; i < rules->size(); ++i, ++k) {
      const Rule& r = (*rules)[i];
      if (!IsCommonCut(r, cuts[k]))
        return "not a common prefix and suffix of " + RuleText(before.alphabet, r, weak);
      if (left[i] != Cut(r, cuts[k]))
        return "rule " + std::to_string(i + 1) + " left is not the stripped " +
               RuleText(before.alphabet, r, weak);
      any = any || cuts[k].first > 0 || cuts[k].second > 0;
    }
  }
  if (!any) return "strips nothing";
  return "";
}

void StripWitness::Print(const Problem& before, std::vector<std::string>& lines) const {
  lines.push_back("Common prefixes and suffixes of the sides are stripped: a step by a rule is");
  lines.push_back("a step by its stripped form, so the problem terminates if the stripped one");
  lines.push_back("does (only this way round).");
  std::size_t k = 0;
  for (const auto* rules : {&before.strict, &before.weak}) {
    const bool weak = rules == &before.weak;
    for (const Rule& r : *rules) {
      const auto cut = cuts[k++];
      if (cut.first == 0 && cut.second == 0) continue;
      lines.push_back(RuleText(before.alphabet, r, weak) + "  becomes  " +
                      RuleText(before.alphabet, Cut(r, cut), weak));
    }
  }
}

Result Strip(const Problem& p, const Budget&, const StripOptions& options) {
  if (!p.IsRelative()) return Result::None();
  auto w = std::make_shared<StripWitness>();
  Problem q;
  q.alphabet = p.alphabet;
  bool any = false;
  for (const auto* rules : {&p.strict, &p.weak})
    for (const Rule& r : *rules) {
      const auto cut = LongestCut(r, options);
      any = any || cut.first > 0 || cut.second > 0;
      w->cuts.push_back(cut);
      (rules == &p.strict ? q.strict : q.weak).push_back(Cut(r, cut));
    }
  if (!any) return Result::None();
  return Result::Step(std::move(w), {std::move(q)});
}

}  // namespace velkin::strong
