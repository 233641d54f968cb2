#include "strong/techniques/dependency_pairs.h"

#include <algorithm>
#include <cassert>
#include <memory>
#include <set>
#include <utility>

namespace velkin::strong {
namespace {

// True when `suffix` is a proper suffix of `w` (possibly empty).
bool IsProperSuffix(const Word& suffix, const Word& w) {
  return suffix.size() < w.size() &&
         std::equal(suffix.begin(), suffix.end(), w.end() - suffix.size());
}

// Why `p` cannot be transformed, or "".
std::string Refusal(const Problem& p) {
  if (!p.IsRelative()) return "dependency pairs: the problem is already a dependency pair problem";
  if (!p.weak.empty()) return "dependency pairs: not for relative problems";
  for (const Rule& r : p.strict)
    if (r.lhs.empty()) return "dependency pairs: a rule with an empty left side";
  for (Symbol s = 0; s < p.alphabet.size(); ++s)
    if (p.alphabet.IsMarked(s)) return "dependency pairs: the problem has marked letters already";
  return "";
}

}  // namespace

Result DependencyPairs(const Problem& p) {
  if (p.IsDependencyPairs()) return Result::None();  // a road meets these often: no note
  if (std::string why = Refusal(p); !why.empty()) return Result::None(why);
  Problem out;
  out.kind = ProblemKind::DependencyPairs;
  out.alphabet = p.alphabet;
  out.weak = p.strict;
  std::vector<Symbol> mark(p.alphabet.size(), -1);  // a -> a#, for defined a only
  for (const Rule& r : p.strict)
    if (mark[r.lhs[0]] < 0) mark[r.lhs[0]] = out.alphabet.MarkOf(r.lhs[0]);
  auto marked = [&](Word w) {
    assert(!w.empty() && mark[w[0]] >= 0);
    w[0] = mark[w[0]];
    return w;
  };
  std::vector<PairOrigin> kept, omitted;
  std::set<Rule, bool (*)(const Rule&, const Rule&)> seen(
      [](const Rule& a, const Rule& b) { return std::tie(a.lhs, a.rhs) < std::tie(b.lhs, b.rhs); });
  for (int i = 0; i < static_cast<int>(p.strict.size()); ++i) {
    const Rule& r = p.strict[i];
    for (int j = 0; j < static_cast<int>(r.rhs.size()); ++j) {
      if (mark[r.rhs[j]] < 0) continue;
      const Word tail(r.rhs.begin() + j, r.rhs.end());
      if (IsProperSuffix(tail, r.lhs)) {
        omitted.push_back({i, j});
        continue;
      }
      Rule pair{marked(r.lhs), marked(tail)};
      if (!seen.insert(pair).second) continue;  // the same pair from another rule
      out.strict.push_back(std::move(pair));
      kept.push_back({i, j});
    }
  }
  assert(out.WellFormed());
  auto w = std::make_shared<DependencyPairsWitness>(out.alphabet, out.strict, std::move(kept),
                                                    std::move(omitted));
  std::vector<Problem> subs;
  subs.push_back(std::move(out));
  return Result::Step(std::move(w), std::move(subs));
}

std::string DependencyPairsWitness::RecheckStep(const Problem& before, const Problem& after) const {
  if (std::string why = Refusal(before); !why.empty()) return why;
  const Problem& dp = after;
  if (!dp.IsDependencyPairs()) return "dependency pairs: the subproblem is not a DP problem";
  if (!dp.WellFormed()) return "dependency pairs: a letter outside the alphabet";
  if (dp.weak != before.strict) return "dependency pairs: the rules are not those of R";
  const Alphabet& a = before.alphabet;
  const Alphabet& b = dp.alphabet;
  if (b.size() < a.size() || !std::equal(a.names.begin(), a.names.end(), b.names.begin()) ||
      !std::equal(a.marks.begin(), a.marks.end(), b.marks.begin()))
    return "dependency pairs: the alphabet of R is changed";
  std::set<Symbol> defined;
  for (const Rule& r : before.strict) defined.insert(r.lhs.front());
  // Every new letter marks a distinct defined letter; new letters cannot occur in R,
  // which uses the old alphabet only (checked above: rules equal, old letters kept).
  std::vector<Symbol> sharp(a.size(), -1);
  for (Symbol s = a.size(); s < b.size(); ++s) {
    const Symbol m = b.marks[s];
    if (m < 0 || m >= a.size() || !defined.count(m) || sharp[m] >= 0)
      return "dependency pairs: letter " + b.names[s] + " is not a fresh mark of a defined letter";
    sharp[m] = s;
  }
  for (Symbol d : defined)
    if (sharp[d] < 0) return "dependency pairs: defined letter " + a.names[d] + " has no mark";
  // All of DP(R), and which of its pairs may be left out.
  std::vector<std::pair<Rule, bool>> all;  // pair, may be omitted
  for (const Rule& r : before.strict)
    for (std::size_t j = 0; j < r.rhs.size(); ++j) {
      if (!defined.count(r.rhs[j])) continue;
      Rule pair{r.lhs, Word(r.rhs.begin() + j, r.rhs.end())};
      const bool omissible = pair.rhs.size() < r.lhs.size() &&
                             Word(r.lhs.end() - pair.rhs.size(), r.lhs.end()) == pair.rhs;
      pair.lhs[0] = sharp[pair.lhs[0]];
      pair.rhs[0] = sharp[pair.rhs[0]];
      all.emplace_back(std::move(pair), omissible);
    }
  for (std::size_t i = 0; i < dp.strict.size(); ++i) {
    if (std::find(dp.strict.begin(), dp.strict.begin() + i, dp.strict[i]) != dp.strict.begin() + i)
      return "dependency pairs: pair " + RuleText(b, dp.strict[i]) + " is listed twice";
    if (std::none_of(all.begin(), all.end(),
                     [&](const auto& e) { return e.first == dp.strict[i]; }))
      return "dependency pairs: " + RuleText(b, dp.strict[i]) + " is not a dependency pair";
  }
  for (const auto& [pair, omissible] : all)
    if (!omissible && std::find(dp.strict.begin(), dp.strict.end(), pair) == dp.strict.end())
      return "dependency pairs: pair " + RuleText(b, pair) + " is missing";
  return "";
}

void DependencyPairsWitness::Print(const Problem& before, std::vector<std::string>& lines) const {
  std::string marks;
  for (Symbol s = before.alphabet.size(); s < after_.size(); ++s)
    marks +=
        (marks.empty() ? "" : ", ") + after_.names[s] + " marks " + after_.names[after_.marks[s]];
  lines.push_back("marked letters: " + (marks.empty() ? std::string("none") : marks));
  lines.push_back("pairs:");
  for (std::size_t i = 0; i < pairs_.size(); ++i)
    lines.push_back("  " + RuleText(after_, pairs_[i]) + "    from rule " +
                    std::to_string(kept_[i].rule + 1) + ", position " +
                    std::to_string(kept_[i].from + 1));
  if (omitted_.empty()) return;
  lines.push_back("left out (right side a proper suffix of the left side):");
  for (const PairOrigin& o : omitted_) {
    const Rule& r = before.strict[o.rule];
    lines.push_back("  rule " + std::to_string(o.rule + 1) + ", position " +
                    std::to_string(o.from + 1) + ": " +
                    WordText(after_, Word(r.rhs.begin() + o.from, r.rhs.end())));
  }
}

cpf::Written DependencyPairsWitness::CertifyStep(const Problem& before, const Problem& after,
                                                 const cpf::Fragment& sub) const {
  return cpf::DependencyPairs(before, after, sub);
}

}  // namespace velkin::strong
