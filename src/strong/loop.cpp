#include "strong/loop.h"

#include <algorithm>
#include <cassert>
#include <utility>

namespace velkin::strong {

namespace {

// True when `rule` is one of `rules`.
bool Contains(const std::vector<Rule>& rules, const Rule& rule) {
  return std::find(rules.begin(), rules.end(), rule) != rules.end();
}

}  // namespace

std::string LoopWitness::Recheck(const Problem& before, const std::vector<Problem>& after) const {
  if (!before.IsRelative()) return "a loop witness for a problem that is not relative";
  if (!after.empty()) return "a loop with subproblems";
  if (steps.empty()) return "a loop of no steps";
  const int letters = before.alphabet.size();
  for (const Word* w : {&start, &prefix, &suffix})
    for (Symbol s : *w)
      if (s < 0 || s >= letters) return "a letter outside the alphabet";
  bool strictStep = false;
  Word current = start;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const LoopStep& step = steps[i];
    const std::string where = "step " + std::to_string(i + 1) + ": ";
    if (!Contains(step.strict ? before.strict : before.weak, step.rule))
      return where + "its rule is not a " + (step.strict ? "strict" : "weak") + " rule";
    const Word& l = step.rule.lhs;
    if (step.position > current.size() || l.size() > current.size() - step.position)
      return where + "the left side does not fit at its position";
    if (!std::equal(l.begin(), l.end(),
                    current.begin() + static_cast<std::ptrdiff_t>(step.position)))
      return where + "the left side does not occur at its position";
    current = Replace(current, step.position, l.size(), step.rule.rhs);
    if (current != step.result) return where + "the resulting word is wrong";
    strictStep = strictStep || step.strict;
  }
  if (!strictStep) return "no step uses a strict rule";
  Word expected = prefix;
  expected.insert(expected.end(), start.begin(), start.end());
  expected.insert(expected.end(), suffix.begin(), suffix.end());
  if (current != expected) return "the last word is not p u q";
  return "";
}

void LoopWitness::Print(const Problem& before, std::vector<std::string>& lines) const {
  const Alphabet& a = before.alphabet;
  lines.push_back("loop u ->+ p u q in " + std::to_string(steps.size()) + " steps" +
                  (foundBy.empty() ? "" : ", found by " + foundBy) + ":");
  lines.push_back("  u = " + WordText(a, start));
  lines.push_back("  p = " + WordText(a, prefix));
  lines.push_back("  q = " + WordText(a, suffix));
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const LoopStep& s = steps[i];
    lines.push_back("  " + std::to_string(i + 1) + ". at " + std::to_string(s.position) + " by " +
                    RuleText(a, s.rule, !s.strict) + ": " + WordText(a, s.result));
  }
}

std::shared_ptr<LoopWitness> MakeLoopWitness(const Problem& problem, const Word& start,
                                             const std::vector<std::size_t>& ruleIndex,
                                             const std::vector<std::size_t>& positions,
                                             std::string foundBy) {
  assert(ruleIndex.size() == positions.size());
  auto w = std::make_shared<LoopWitness>();
  w->start = start;
  w->foundBy = std::move(foundBy);
  const std::size_t strictCount = problem.strict.size();
  Word current = start;
  for (std::size_t i = 0; i < ruleIndex.size(); ++i) {
    const std::size_t r = ruleIndex[i];
    if (r >= strictCount + problem.weak.size()) return nullptr;
    const bool strict = r < strictCount;
    const Rule& rule = strict ? problem.strict[r] : problem.weak[r - strictCount];
    const std::size_t pos = positions[i];
    if (pos > current.size() || rule.lhs.size() > current.size() - pos ||
        !std::equal(rule.lhs.begin(), rule.lhs.end(),
                    current.begin() + static_cast<std::ptrdiff_t>(pos)))
      return nullptr;
    current = Replace(current, pos, rule.lhs.size(), rule.rhs);
    w->steps.push_back(LoopStep{rule, strict, pos, current});
  }
  const auto at = std::search(current.begin(), current.end(), start.begin(), start.end());
  if (at == current.end() && !start.empty()) return nullptr;
  w->prefix.assign(current.begin(), at);
  w->suffix.assign(at + static_cast<std::ptrdiff_t>(start.size()), current.end());
  return w;
}

std::shared_ptr<LoopWitness> UnreversedLoop(const LoopWitness& w) {
  auto out = std::make_shared<LoopWitness>();
  out->start = Reversed(w.start);
  out->prefix = Reversed(w.suffix);
  out->suffix = Reversed(w.prefix);
  out->foundBy = w.foundBy;
  std::size_t before = w.start.size();
  for (const LoopStep& step : w.steps) {
    LoopStep back;
    back.rule = Rule{Reversed(step.rule.lhs), Reversed(step.rule.rhs)};
    back.strict = step.strict;
    assert(before >= step.position + step.rule.lhs.size());
    back.position = before - step.position - step.rule.lhs.size();
    back.result = Reversed(step.result);
    before = step.result.size();
    out->steps.push_back(std::move(back));
  }
  return out;
}

Result TrivialLoop(const Problem& problem) {
  if (!problem.IsRelative()) return Result::None();
  for (std::size_t i = 0; i < problem.strict.size(); ++i) {
    if (!problem.strict[i].lhs.empty()) continue;
    auto w = MakeLoopWitness(problem, {}, {i}, {0}, "a strict rule with an empty left side");
    assert(w);
    return Result::Loop(w);
  }
  return Result::None();
}

cpf::Written LoopWitness::Certify(const Problem& before, const std::vector<Problem>& after,
                                  const std::vector<cpf::Fragment>& subproofs) const {
  if (!after.empty() || !subproofs.empty()) return std::string("a loop with subproblems");
  cpf::Loop loop{start, {}, prefix, suffix};
  for (const LoopStep& s : steps)
    loop.steps.push_back(cpf::LoopStep{static_cast<int>(s.position), s.rule, !s.strict, s.result});
  return cpf::LoopProof(before, loop);
}

}  // namespace velkin::strong
