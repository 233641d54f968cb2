#include "strong/techniques/subterm_criterion.h"

#include <algorithm>
#include <memory>
#include <optional>

namespace velkin::strong {

namespace {

// What a pair A u -> B v keeps of its argument.
enum class Keeps {
  None,    // not of that shape, or v is not a suffix of u
  All,     // v = u
  Suffix,  // v a proper suffix of u
};

// The search's reading of a pair, letter by letter.
Keeps Projected(const Alphabet& alphabet, const Rule& pair) {
  const Word& l = pair.lhs;
  const Word& r = pair.rhs;
  if (l.empty() || r.empty() || !alphabet.IsMarked(l[0]) || !alphabet.IsMarked(r[0]))
    return Keeps::None;
  for (std::size_t i = 1; i < l.size(); ++i)
    if (alphabet.IsMarked(l[i])) return Keeps::None;
  for (std::size_t i = 1; i < r.size(); ++i)
    if (alphabet.IsMarked(r[i])) return Keeps::None;
  const std::size_t u = l.size() - 1, v = r.size() - 1;
  if (v > u) return Keeps::None;
  for (std::size_t i = 0; i < v; ++i)
    if (r[r.size() - 1 - i] != l[l.size() - 1 - i]) return Keeps::None;
  return v == u ? Keeps::All : Keeps::Suffix;
}

}  // namespace

std::string SubtermCriterionWitness::RecheckStep(const Problem& before,
                                                 const Problem& after) const {
  if (!before.IsDependencyPairs()) return "the subterm criterion outside a dependency pair problem";
  if (removed.empty()) return "removes no pair";
  if (!AscendingIndices(removed, before.strict.size()))
    return "removed pair indices out of range or not ascending";
  // The argument of a side: after its marked first letter, every letter unmarked.
  const auto argument = [&before](const Word& side) -> std::optional<Word> {
    const auto marked = [&before](Symbol a) { return before.alphabet.IsMarked(a); };
    if (side.empty() || !marked(side.front()) || std::any_of(side.begin() + 1, side.end(), marked))
      return std::nullopt;
    return Word(side.begin() + 1, side.end());
  };
  for (std::size_t k = 0; k < before.strict.size(); ++k) {
    const auto u = argument(before.strict[k].lhs), v = argument(before.strict[k].rhs);
    const std::string pair = RuleText(before.alphabet, before.strict[k]);
    if (!u || !v) return "a pair not of the shape A u -> B v: " + pair;
    if (v->size() > u->size() || !std::equal(v->rbegin(), v->rend(), u->rbegin()))
      return "the projection of a pair does not decrease weakly: " + pair;
    if (std::binary_search(removed.begin(), removed.end(), static_cast<int>(k)) &&
        v->size() == u->size())
      return "a removed pair whose projection does not decrease strictly: " + pair;
  }
  if (!IsWithoutRules(after, before, removed, {}))
    return "the subproblem is not the problem without the removed pairs";
  return "";
}

void SubtermCriterionWitness::Print(const Problem& before, std::vector<std::string>& lines) const {
  lines.push_back("every marked letter projected to its argument: the argument of each pair's");
  lines.push_back("right side is a suffix of its left side's; a proper one, removed:");
  AddRemovedRuleLines(before, removed, {}, lines, "  ");
}

cpf::Written SubtermCriterionWitness::CertifyStep(const Problem& before, const Problem& after,
                                                  const cpf::Fragment& sub) const {
  return cpf::SubtermCriterion(before, after, sub);
}

Result SubtermCriterion(const Problem& p, const Budget&) {
  if (!p.IsDependencyPairs()) return Result::None();
  auto w = std::make_shared<SubtermCriterionWitness>();
  for (std::size_t k = 0; k < p.strict.size(); ++k) {
    const Keeps keeps = Projected(p.alphabet, p.strict[k]);
    if (keeps == Keeps::None) return Result::None();
    if (keeps == Keeps::Suffix) w->removed.push_back(static_cast<int>(k));
  }
  if (w->removed.empty()) return Result::None();
  Problem rest = WithoutRules(p, w->removed, {});
  return Result::Step(std::move(w), {std::move(rest)});
}

}  // namespace velkin::strong
