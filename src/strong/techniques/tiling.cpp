#include "strong/techniques/tiling.h"

#include <algorithm>
#include <set>
#include <utility>

namespace velkin::strong {

namespace {

// Both sides non-empty and starting with the same letter.
bool HasRootForm(const Rule& r) {
  return !r.lhs.empty() && !r.rhs.empty() && r.lhs[0] == r.rhs[0];
}

// The word `w` followed by `c`, every letter labelled by the letter after it.
Word Tiled(LabelledLetters& letters, const Alphabet& a, const Word& w, Symbol c) {
  Word out;
  out.reserve(w.size());
  for (std::size_t i = 0; i < w.size(); ++i) {
    const Symbol next = i + 1 < w.size() ? w[i + 1] : c;
    out.push_back(letters.Get(w[i], next, a.names[next]));
  }
  return out;
}

}  // namespace

std::string TilingWitness::CheckLabelling(const Problem& unlabelled) const {
  for (const auto* rules : {&unlabelled.strict, &unlabelled.weak})
    for (const Rule& r : *rules)
      if (!HasRootForm(r))
        return "a rule whose sides do not start with the same letter: " +
               RuleText(unlabelled.alphabet, r, rules == &unlabelled.weak);
  const std::vector<Symbol> sigma = RuleLetters(unlabelled);
  std::set<std::pair<Symbol, int>> pairs;
  for (std::size_t s = 0; s < base.size(); ++s) {
    if (!std::binary_search(sigma.begin(), sigma.end(), static_cast<Symbol>(label[s])))
      return "a label that is no letter of the rules";
    if (!pairs.insert({base[s], label[s]}).second) return "two letters with the same label";
  }
  // Every letter labelled by its right neighbour, the last by the letter after the redex.
  return CheckLabelledCopies(
      unlabelled, std::vector<int>(sigma.begin(), sigma.end()),
      [this](Symbol s) { return static_cast<int>(base[s]); }, false);
}

void TilingWitness::PrintLabelling(const Problem&, std::vector<std::string>& lines) const {
  lines.push_back("both sides of every rule start with the same letter, so the first letter of");
  lines.push_back("a word is a model; every letter is labelled by its right neighbour (a[b] is");
  lines.push_back("an a before a b), the last letter of a side by every letter of the rules in");
  lines.push_back("turn (the letter after the redex); the labelled problem terminates iff this");
  lines.push_back("one does;");
}

cpf::Written TilingWitness::CertifyLabelling(const Problem& unlabelled,
                                             const Problem& labelledProblem,
                                             const cpf::Fragment& sub) const {
  std::vector<cpf::RootLabel> labels;
  for (std::size_t s = 0; s < base.size(); ++s) labels.push_back(cpf::RootLabel{base[s], label[s]});
  return cpf::RootLabelling(unlabelled, labels, labelledProblem, sub);
}

std::shared_ptr<TilingWitness> TiledProblem(const Problem& p, const Budget& budget,
                                            const LabelledSizeLimits& limits, std::string* note) {
  if (!p.IsRelative()) return nullptr;
  bool ready = true;
  for (const auto* rules : {&p.strict, &p.weak})
    for (const Rule& r : *rules) ready = ready && HasRootForm(r);
  const std::vector<Symbol> sigma = RuleLetters(p);
  if (sigma.empty()) return nullptr;
  const double n = static_cast<double>(sigma.size());
  const double closure = ready ? 1 : n;
  const double count = static_cast<double>(p.strict.size() + p.weak.size());
  const double rules = count * closure * n;
  const double letters =
      (static_cast<double>(ProblemSize(p)) + (ready ? 0.0 : 2.0 * count)) * closure * n;
  if (rules > static_cast<double>(limits.maxRules) ||
      letters > static_cast<double>(limits.maxLetters)) {
    if (note)
      *note = "tiling skipped: the labelled problem would have " +
              std::to_string(static_cast<long long>(rules)) + " rules and " +
              std::to_string(static_cast<long long>(letters)) + " letters, more than fit";
    return nullptr;
  }
  const Problem unlabelled = ready ? p : LeftClosedForLabelling(p);
  auto w = std::make_shared<TilingWitness>();
  w->closed = !ready;
  LabelledLetters letterSet(p.alphabet);
  for (const auto* rs : {&unlabelled.strict, &unlabelled.weak}) {
    std::vector<Rule>& out = rs == &unlabelled.strict ? w->labelled.strict : w->labelled.weak;
    for (const Rule& r : *rs) {
      if (budget.Expired()) return nullptr;
      for (Symbol c : sigma)
        out.push_back(
            Rule{Tiled(letterSet, p.alphabet, r.lhs, c), Tiled(letterSet, p.alphabet, r.rhs, c)});
    }
  }
  letterSet.Into(*w);
  return w;
}

Result Tiling(const Problem& p, const Budget& budget, const TilingOptions& options) {
  if (!p.IsRelative() || p.strict.empty()) return Result::None();
  std::string note;
  auto w = TiledProblem(p, budget, options.limits, &note);
  if (!w) return Result::None(std::move(note));
  return FinishLabelledStep(p, std::move(w), budget, options.removers);
}

}  // namespace velkin::strong
