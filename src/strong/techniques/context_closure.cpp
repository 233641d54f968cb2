#include "strong/techniques/context_closure.h"

#include <algorithm>

#include "strong/techniques/reversal.h"

namespace velkin::strong {

namespace {

// The contexts of `side` over `letters`: (left letter or -1, right letter or -1).
std::vector<std::pair<Symbol, Symbol>> Contexts(ClosureSide side,
                                                const std::vector<Symbol>& letters) {
  std::vector<std::pair<Symbol, Symbol>> out;
  for (Symbol a : letters) {
    if (side == ClosureSide::Left) out.emplace_back(a, -1);
    if (side == ClosureSide::Right) out.emplace_back(-1, a);
    if (side == ClosureSide::Both)
      for (Symbol b : letters) out.emplace_back(a, b);
  }
  return out;
}

Word InContext(const Word& w, std::pair<Symbol, Symbol> c) {
  Word out;
  out.reserve(w.size() + 2);
  if (c.first >= 0) out.push_back(c.first);
  out.insert(out.end(), w.begin(), w.end());
  if (c.second >= 0) out.push_back(c.second);
  return out;
}

const char* SideName(ClosureSide side) {
  switch (side) {
    case ClosureSide::Left:
      return "left";
    case ClosureSide::Right:
      return "right";
    case ClosureSide::Both:
      return "two-sided";
  }
  return "";
}

bool Contains(const std::vector<Rule>& rules, const Rule& r) {
  return std::find(rules.begin(), rules.end(), r) != rules.end();
}

}  // namespace

std::vector<Rule> ClosedRules(const std::vector<Rule>& rules, ClosureSide side,
                              const std::vector<Symbol>& letters) {
  const auto contexts = Contexts(side, letters);
  std::vector<Rule> out;
  out.reserve(rules.size() * contexts.size());
  for (const Rule& r : rules)
    for (const auto& c : contexts) out.push_back(Rule{InContext(r.lhs, c), InContext(r.rhs, c)});
  return out;
}

std::string ContextClosureWitness::RecheckStep(const Problem& before, const Problem& after) const {
  if (!before.IsRelative()) return "context closure of a dependency pair problem";
  if (letters.empty()) return "no context letters";
  if (!AscendingIndices(letters, before.alphabet.size()))
    return "context letters outside the alphabet or not ascending";
  const std::vector<bool> used = UsedLetters(before);
  for (Symbol a = 0; a < static_cast<Symbol>(used.size()); ++a)
    if (used[a] && !std::binary_search(letters.begin(), letters.end(), a))
      return "letter " + before.alphabet.names[a] + " of the rules is not a context letter";
  const Problem& q = after;
  if (!q.IsRelative()) return "the problem left is not a relative one";
  if (!(q.alphabet == before.alphabet)) return "the step changes the alphabet";
  if (q.strict != ClosedRules(before.strict, side, letters))
    return "the strict rules left are not the closed strict rules";
  if (q.weak != ClosedRules(before.weak, side, letters))
    return "the weak rules left are not the closed weak rules";
  return "";
}

void ContextClosureWitness::Print(const Problem& before, std::vector<std::string>& lines) const {
  std::string names;
  for (Symbol a : letters) names += (names.empty() ? "" : ", ") + before.alphabet.names[a];
  const char* form = side == ClosureSide::Left    ? "a l -> a r"
                     : side == ClosureSide::Right ? "l a -> r a"
                                                  : "a l b -> a r b";
  lines.push_back(std::string(SideName(side)) + " context closure over the letters " + names +
                  ": every rule l -> r");
  lines.push_back(std::string("becomes the rules ") + form +
                  " for every such letter, strict where it was; the");
  lines.push_back("problem terminates iff the closed one does, and a loop of the closed one is a");
  lines.push_back("loop of this one, each step by the rule inside its context.");
}

cpf::Written ContextClosureWitness::CertifyStep(const Problem& before, const Problem& after,
                                                const cpf::Fragment& sub) const {
  const cpf::ClosureSide s = side == ClosureSide::Left    ? cpf::ClosureSide::Left
                             : side == ClosureSide::Right ? cpf::ClosureSide::Right
                                                          : cpf::ClosureSide::Both;
  return cpf::ContextClosure(before, s, after, sub);
}

Result ContextClosure(const Problem& p, const Budget& budget,
                      const ContextClosureOptions& options) {
  if (!p.IsRelative()) return Result::None();
  if (options.onlyEmptyLeftSides && !HasEmptyLeftSide(p)) return Result::None();
  auto w = std::make_shared<ContextClosureWitness>();
  w->side = options.side;
  w->letters = RuleLetters(p);
  if (w->letters.empty()) return Result::None();
  const std::size_t contexts = Contexts(options.side, w->letters).size();
  const std::size_t rules = p.strict.size() + p.weak.size();
  const std::size_t extra = options.side == ClosureSide::Both ? 4 : 2;
  const double sizeRules = static_cast<double>(rules) * static_cast<double>(contexts);
  const double sizeLetters =
      (static_cast<double>(ProblemSize(p)) + static_cast<double>(extra * rules)) *
      static_cast<double>(contexts);
  if (sizeRules > static_cast<double>(options.maxRules) ||
      sizeLetters > static_cast<double>(options.maxLetters))
    return Result::None(
        std::string(SideName(options.side)) + " context closure skipped: it would have " +
        std::to_string(static_cast<long long>(sizeRules)) + " rules and " +
        std::to_string(static_cast<long long>(sizeLetters)) + " letters, more than fit in memory");
  if (budget.Expired()) return Result::None();
  Problem q;
  q.alphabet = p.alphabet;
  q.strict = ClosedRules(p.strict, options.side, w->letters);
  if (budget.Expired()) return Result::None();
  q.weak = ClosedRules(p.weak, options.side, w->letters);
  return Result::Step(std::move(w), {std::move(q)});
}

std::shared_ptr<LoopWitness> LoopThroughClosure(const ContextClosureWitness& step,
                                                const LoopWitness& closedLoop) {
  const std::size_t left = step.side == ClosureSide::Right ? 0 : 1;
  const std::size_t right = step.side == ClosureSide::Left ? 0 : 1;
  auto out = std::make_shared<LoopWitness>();
  out->start = closedLoop.start;
  out->prefix = closedLoop.prefix;
  out->suffix = closedLoop.suffix;
  out->foundBy = (closedLoop.foundBy.empty() ? std::string("a search") : closedLoop.foundBy) +
                 " on the " + SideName(step.side) + " context closure";
  for (const LoopStep& s : closedLoop.steps) {
    const Rule& r = s.rule;
    if (r.lhs.size() < left + right || r.rhs.size() < left + right) return nullptr;
    const auto inner = [&](const Word& w) {
      return Word(w.begin() + static_cast<std::ptrdiff_t>(left),
                  w.end() - static_cast<std::ptrdiff_t>(right));
    };
    LoopStep t;
    t.rule = Rule{inner(r.lhs), inner(r.rhs)};
    t.strict = s.strict;
    t.position = s.position + left;
    t.result = s.result;
    out->steps.push_back(std::move(t));
  }
  return out;
}

std::shared_ptr<LoopWitness> LoopOfDisproof(const ProofNode& node) {
  if (TreeVerdict(node) != Verdict::Disproved || !node.witness) return nullptr;
  if (node.kind == Result::Kind::Disproved) {
    const auto* loop = dynamic_cast<const LoopWitness*>(node.witness.get());
    return loop ? std::make_shared<LoopWitness>(*loop) : nullptr;
  }
  if (node.children.size() != 1) return nullptr;
  const auto below = LoopOfDisproof(node.children[0]);
  if (!below) return nullptr;
  if (dynamic_cast<const ReversalWitness*>(node.witness.get())) return UnreversedLoop(*below);
  if (const auto* c = dynamic_cast<const ContextClosureWitness*>(node.witness.get()))
    return LoopThroughClosure(*c, *below);
  // The subproblem's rules are rules of this problem: a weak step may be by a rule that
  // is strict here only.
  for (LoopStep& s : below->steps)
    if (!s.strict && !Contains(node.problem.weak, s.rule)) s.strict = true;
  return below;
}

}  // namespace velkin::strong
