#include "strong/techniques/labelled_removal.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <new>
#include <unordered_set>

#include "strong/techniques/arctic_removal.h"
#include "strong/techniques/context_closure.h"
#include "strong/techniques/lp_weights.h"
#include "strong/techniques/matrix.h"

namespace velkin::strong {

namespace {

// Lexicographic order on rules, for maps keyed by rules.
struct RuleLess {
  bool operator()(const Rule& a, const Rule& b) const {
    return a.lhs != b.lhs ? a.lhs < b.lhs : a.rhs < b.rhs;
  }
};

struct RuleHash {
  std::size_t operator()(const Rule& r) const {
    std::size_t h = r.lhs.size() * 31 + r.rhs.size();
    for (const Word* w : {&r.lhs, &r.rhs})
      for (Symbol s : *w) h = h * 1000003u + static_cast<std::size_t>(s);
    return h;
  }
};

// `sub`'s rules are those of `p` with some left out, in their order (strict and weak
// apart), with the same kind and letters.
bool IsSubsequence(const Problem& sub, const Problem& p) {
  if (sub.kind != p.kind || !(sub.alphabet == p.alphabet)) return false;
  const auto within = [](const std::vector<Rule>& part, const std::vector<Rule>& whole) {
    std::size_t k = 0;
    for (const Rule& r : part) {
      while (k < whole.size() && !(whole[k] == r)) ++k;
      if (k == whole.size()) return false;
      ++k;
    }
    return true;
  };
  return within(sub.strict, p.strict) && within(sub.weak, p.weak);
}

std::size_t RuleCount(const Problem& p) {
  return p.strict.size() + p.weak.size();
}

// The problem whose strict rules are the rules of `p` (strict or weak) that `strict`
// picks, and whose weak rules are the others: strict ones first, then weak ones, each in
// their order.
Problem Reflagged(const Problem& p, const std::function<bool(const Rule&, bool weak)>& strict) {
  Problem out;
  out.alphabet = p.alphabet;
  for (const auto* rules : {&p.strict, &p.weak})
    for (const Rule& r : *rules) (strict(r, rules == &p.weak) ? out.strict : out.weak).push_back(r);
  return out;
}

}  // namespace

LabelledRemover WeightsRemover() {
  return LabelledRemover{"weights",
                         [](const Problem& p, const Budget& b) { return LpWeights(p, b); }, 1.0};
}

std::vector<LabelledRemover> DefaultLabelledRemovers() {
  std::vector<LabelledRemover> out{WeightsRemover()};
  struct Size {
    bool arctic;
    int dimension, bits;
  };
  // Each gets an equal part of what is left when it starts.
  static constexpr Size kSizes[] = {{false, 1, 2}, {false, 2, 2}, {true, 2, 2}, {false, 3, 2}};
  const int n = static_cast<int>(std::size(kSizes));
  for (int k = 0; k < n; ++k) {
    const Size& size = kSizes[k];
    const std::string name = std::string(size.arctic ? "arctic rule removal" : "matrices") +
                             " of dimension " + std::to_string(size.dimension) + ", " +
                             std::to_string(size.bits) + " bits";
    std::function<Result(const Problem&, const Budget&)> run;
    if (size.arctic) {
      ArcticRemovalOptions o;
      o.dimension = size.dimension;
      o.bits = size.bits;
      o.improveSeconds = 0.5;
      run = [o](const Problem& p, const Budget& b) { return ArcticRuleRemoval(p, b, o); };
    } else {
      MatrixOptions o;
      o.dimension = size.dimension;
      o.bits = size.bits;
      o.improveSeconds = 0.5;
      run = [o](const Problem& p, const Budget& b) { return MatrixInterpretation(p, b, o); };
    }
    out.push_back(LabelledRemover{name, run, 1.0 / (n - k)});
  }
  return out;
}

Symbol LabelledLetters::Get(Symbol a, int label, const std::string& labelName) {
  const auto key = std::make_pair(a, label);
  if (const auto it = index_.find(key); it != index_.end()) return it->second;
  std::string name = unlabelled_.names[a] + "[" + labelName + "]";
  while (names_.count(name)) name += "'";
  names_.insert(name);
  const Symbol s = alphabet_.Add(std::move(name));
  base_.push_back(a);
  label_.push_back(label);
  index_.emplace(key, s);
  return s;
}

void LabelledLetters::Into(LabelledRemovalWitness& w) {
  w.labelled.alphabet = std::move(alphabet_);
  w.base = std::move(base_);
  w.label = std::move(label_);
}

Problem LeftClosedForLabelling(const Problem& p) {
  const std::vector<bool> used = UsedLetters(p);
  std::vector<Symbol> letters;
  for (Symbol a = 0; a < static_cast<Symbol>(used.size()); ++a)
    if (used[a]) letters.push_back(a);
  Problem q;
  q.alphabet = p.alphabet;
  q.strict = ClosedRules(p.strict, ClosureSide::Left, letters);
  q.weak = ClosedRules(p.weak, ClosureSide::Left, letters);
  return q;
}

std::string LabelledRemovalWitness::CheckLabelledCopies(const Problem& unlabelled,
                                                        const std::vector<int>& after,
                                                        const std::function<int(Symbol)>& valueOf,
                                                        bool emptySide) const {
  // A labelled rule read back: its unlabelled rule and the value after it.
  using Copy = std::pair<std::pair<Word, Word>, int>;
  const auto readBack = [&](const Rule& r, Copy& out) -> std::string {
    int k = -1;
    bool someSideEmpty = false;
    for (const Word* w : {&r.lhs, &r.rhs}) {
      if (w->empty()) {
        someSideEmpty = true;
        continue;
      }
      for (std::size_t i = 0; i + 1 < w->size(); ++i)
        if (label[(*w)[i]] != valueOf((*w)[i + 1]))
          return "a letter not labelled by the value of the letters after it";
      const int last = label[w->back()];
      if (k >= 0 && last != k) return "the sides of a labelled rule end with different labels";
      k = last;
    }
    if (k < 0) return "a labelled rule with two empty sides";
    if (someSideEmpty && !emptySide) return "a labelled rule with an empty side";
    Word l, rr;
    for (Symbol s : r.lhs) l.push_back(base[s]);
    for (Symbol s : r.rhs) rr.push_back(base[s]);
    out = Copy{{std::move(l), std::move(rr)}, k};
    return "";
  };
  for (const auto* rules : {&unlabelled.strict, &unlabelled.weak}) {
    const bool weak = rules == &unlabelled.weak;
    std::vector<Copy> expected, found;
    for (const Rule& r : *rules)
      for (const int k : after) expected.push_back(Copy{{r.lhs, r.rhs}, k});
    for (const Rule& r : weak ? labelled.weak : labelled.strict) {
      if (weak && IsDecreasingRule(r)) continue;
      Copy copy;
      if (const std::string bad = readBack(r, copy); !bad.empty()) return bad;
      found.push_back(std::move(copy));
    }
    std::sort(expected.begin(), expected.end());
    std::sort(found.begin(), found.end());
    if (expected != found)
      return std::string("the labelled ") + (weak ? "weak" : "strict") +
             " rules are not the labelled copies of the rules";
  }
  return "";
}

bool LabelledRemovalWitness::Unlabel(const Rule& r, Rule& out) const {
  out = Rule{};
  for (const auto& [from, to] : {std::pair{&r.lhs, &out.lhs}, std::pair{&r.rhs, &out.rhs}})
    for (Symbol s : *from) {
      if (s < 0 || static_cast<std::size_t>(s) >= base.size()) return false;
      to->push_back(base[s]);
    }
  if (!closed) return true;
  if (out.lhs.empty() || out.rhs.empty() || out.lhs[0] != out.rhs[0]) return false;
  out.lhs.erase(out.lhs.begin());
  out.rhs.erase(out.rhs.begin());
  return true;
}

std::string LabelledRemovalWitness::RecheckStep(const Problem& before, const Problem& after) const {
  if (!before.IsRelative()) return "labelling of a dependency pair problem";
  const int n = labelled.alphabet.size();
  if (static_cast<int>(base.size()) != n || static_cast<int>(label.size()) != n)
    return "labels for a different alphabet";
  for (Symbol s = 0; s < n; ++s) {
    if (labelled.alphabet.IsMarked(s)) return "a marked letter in the labelled problem";
    if (base[s] < 0 || base[s] >= before.alphabet.size())
      return "a labelled letter of a letter that is not there";
  }
  if (!labelled.IsRelative() || !labelled.WellFormed())
    return "the labelled problem is not a relative problem over its letters";
  const Problem unlabelled = closed ? LeftClosedForLabelling(before) : before;
  if (closed && unlabelled.strict.empty() && unlabelled.weak.empty())
    return "a closure without rules";
  if (const std::string bad = CheckLabelling(unlabelled); !bad.empty()) return bad;

  const Problem* current = &labelled;
  for (std::size_t k = 0; k < stages.size(); ++k) {
    const LabelledStage& st = stages[k];
    const std::string which = "labelled removal " + std::to_string(k + 1) + ": ";
    if (!st.removal) return which + "no witness";
    if (!IsSubsequence(st.after, *current)) return which + "leaves rules that were not there";
    if (RuleCount(st.after) >= RuleCount(*current)) return which + "removes no rule";
    if (const std::string bad = st.removal->Recheck(*current, {st.after}); !bad.empty())
      return which + bad;
    current = &st.after;
  }

  // The rules that keep a labelled copy, found through a map from rules to indices.
  std::map<Rule, std::vector<int>, RuleLess> strictAt, weakAt;
  for (std::size_t i = 0; i < before.strict.size(); ++i)
    strictAt[before.strict[i]].push_back(static_cast<int>(i));
  for (std::size_t i = 0; i < before.weak.size(); ++i)
    weakAt[before.weak[i]].push_back(static_cast<int>(i));
  std::vector<bool> keepStrict(before.strict.size(), false), keepWeak(before.weak.size(), false);
  for (const auto* rules : {&current->strict, &current->weak}) {
    const bool weak = rules == &current->weak;
    for (const Rule& r : *rules) {
      if (weak && IsDecreasingRule(r)) continue;
      Rule u;
      if (!Unlabel(r, u)) return "a labelled rule that is no copy of a rule";
      const auto& at = weak ? weakAt : strictAt;
      const auto it = at.find(u);
      if (it == at.end())
        return std::string("a labelled ") + (weak ? "weak" : "strict") +
               " rule left that is no copy of a rule of that kind";
      for (int i : it->second) (weak ? keepWeak : keepStrict)[i] = true;
    }
  }
  std::vector<int> goneStrict, goneWeak;
  for (std::size_t i = 0; i < keepStrict.size(); ++i)
    if (!keepStrict[i]) goneStrict.push_back(static_cast<int>(i));
  for (std::size_t i = 0; i < keepWeak.size(); ++i)
    if (!keepWeak[i]) goneWeak.push_back(static_cast<int>(i));
  if (goneStrict.empty() && goneWeak.empty()) return "no rule loses all its labelled copies";
  if (goneStrict != removedStrict || goneWeak != removedWeak)
    return "the removed rules are not those without a labelled copy left";
  if (!IsWithoutRules(after, before, goneStrict, goneWeak))
    return "the subproblem is not the problem without the removed rules";
  return "";
}

void LabelledRemovalWitness::Print(const Problem& before, std::vector<std::string>& lines) const {
  const Problem unlabelled = closed ? LeftClosedForLabelling(before) : before;
  if (closed) {
    std::string names;
    const std::vector<bool> used = UsedLetters(before);
    for (Symbol a = 0; a < static_cast<Symbol>(used.size()); ++a)
      if (used[a]) names += (names.empty() ? "" : ", ") + before.alphabet.names[a];
    lines.push_back("first the left context closure over the letters " + names +
                    ": every rule l -> r");
    lines.push_back("becomes the rules a l -> a r, one for each such letter a (strict where it");
    lines.push_back("was); then");
  }
  PrintLabelling(unlabelled, lines);
  lines.push_back("the labelled problem:");
  const auto rules = [&](const char* title, const std::vector<Rule>& rs, bool weak) {
    lines.push_back("  " + std::string(title) + ": " + std::to_string(rs.size()) +
                    (rs.size() == 1 ? " rule" : " rules"));
    for (const Rule& r : rs) lines.push_back("    " + RuleText(labelled.alphabet, r, weak));
  };
  rules("strict", labelled.strict, false);
  if (!labelled.weak.empty()) rules("weak", labelled.weak, true);
  const Problem* current = &labelled;
  for (std::size_t k = 0; k < stages.size(); ++k) {
    const LabelledStage& st = stages[k];
    lines.push_back("labelled removal " + std::to_string(k + 1) + ", by " +
                    st.removal->Technique() + ":");
    std::vector<std::string> inner;
    st.removal->Print(*current, inner);
    for (const std::string& l : inner) lines.push_back("  " + l);
    current = &st.after;
  }
  lines.push_back(std::string("erasing the labels") + (closed ? " and the first letter" : "") +
                  " makes every labelled rule left a rule of the");
  lines.push_back("problem with its strictness (or a ->= a), so the rules with a copy left");
  lines.push_back("remain; these have none:");
  AddRemovedRuleLines(before, removedStrict, removedWeak, lines, "  ");
}

cpf::Written LabelledRemovalWitness::CertifyStep(const Problem& before, const Problem& after,
                                                 const cpf::Fragment& sub) const {
  // A loop of the subproblem is one of `before`: its rules are rules of `before`.
  if (sub.kind != cpf::FragmentKind::Termination)
    return cpf::RuleRemovalNontermination(before, after, sub);
  // D: the removed rules. The certifier's split makes every rule of D strict and every
  // other rule weak in its first part, so a rule of D must not be kept elsewhere.
  std::vector<Rule> removed;
  for (int i : removedStrict) removed.push_back(before.strict[i]);
  for (int i : removedWeak) removed.push_back(before.weak[i]);
  const auto inD = [&](const Rule& r) {
    return std::find(removed.begin(), removed.end(), r) != removed.end();
  };
  for (const auto* rules : {&after.strict, &after.weak})
    for (const Rule& r : *rules)
      if (inD(r)) return std::string("a removed rule that is also kept as the other kind");
  const Problem first = Reflagged(before, [&](const Rule& r, bool) { return inD(r); });
  // The labelled problems with the copies of D strict, the other rules weak.
  const auto copyOfD = [&](const Rule& r, bool weak) {
    if (weak && IsDecreasingRule(r)) return false;
    Rule u;
    return Unlabel(r, u) && inD(u);
  };
  std::vector<Problem> flagged{Reflagged(labelled, copyOfD)};
  for (const LabelledStage& st : stages) flagged.push_back(Reflagged(st.after, copyOfD));
  // The stages up to the first that leaves no copy of D, innermost first.
  std::size_t last = 0;
  while (last < stages.size() && !flagged[last].strict.empty()) ++last;
  if (!flagged[last].strict.empty())
    return std::string("the stages leave a labelled copy of a removed rule");
  cpf::Written w = cpf::NoStrictRules();
  for (std::size_t k = last; k-- > 0;) {
    w = stages[k].removal->Certify(flagged[k], {flagged[k + 1]}, {std::get<cpf::Fragment>(w)});
    if (!cpf::Ok(w)) return w;
  }
  const Problem unlabelled = closed ? LeftClosedForLabelling(first) : first;
  w = CertifyLabelling(unlabelled, flagged[0], std::get<cpf::Fragment>(w));
  if (!cpf::Ok(w)) return w;
  if (closed) {
    w = cpf::ContextClosure(first, cpf::ClosureSide::Left, unlabelled, std::get<cpf::Fragment>(w));
    if (!cpf::Ok(w)) return w;
  }
  return cpf::Split(before, removed, first, std::get<cpf::Fragment>(w), after, sub);
}

std::vector<LabelledStage> RemoveLabelledRules(const Problem& labelled, const Budget& budget,
                                               const std::vector<LabelledRemover>& removers) {
  std::vector<LabelledStage> stages;
  const Problem* current = &labelled;
  for (bool progress = true; progress && !current->strict.empty();) {
    progress = false;
    for (const LabelledRemover& rm : removers) {
      if (budget.Expired()) return stages;
      const Budget part =
          rm.share >= 1
              ? budget
              : budget.Within(std::chrono::duration_cast<Clock::duration>(
                    std::chrono::duration<double>(rm.share * std::max(0.0, budget.SecondsLeft()))));
      Result r;
      try {
        r = rm.run(*current, part);
      } catch (const std::bad_alloc&) {
        continue;  // this remover's encoding does not fit; the next may
      }
      if (r.kind != Result::Kind::Transformed || r.subproblems.size() != 1) continue;
      // Kept only when it would pass the step's re-check: the caller re-checks the whole
      // step again in any case.
      if (!RecheckResult(*current, r).empty() || !IsSubsequence(r.subproblems[0], *current) ||
          RuleCount(r.subproblems[0]) >= RuleCount(*current))
        continue;
      stages.push_back(LabelledStage{rm.name, r.witness, std::move(r.subproblems[0])});
      current = &stages.back().after;
      progress = true;
      break;
    }
  }
  return stages;
}

Result FinishLabelledStep(const Problem& p, std::shared_ptr<LabelledRemovalWitness> w,
                          const Budget& budget, const std::vector<LabelledRemover>& removers) {
  w->stages = RemoveLabelledRules(w->labelled, budget, removers);
  if (w->stages.empty()) return Result::None();
  const Problem& last = w->stages.back().after;
  // The rules of p that some labelled rule left is a copy of.
  std::unordered_set<Rule, RuleHash> leftStrict, leftWeak;
  for (const Rule& r : last.strict) {
    Rule u;
    if (w->Unlabel(r, u)) leftStrict.insert(std::move(u));
  }
  for (const Rule& r : last.weak) {
    Rule u;
    if (w->IsDecreasingRule(r)) continue;
    if (w->Unlabel(r, u)) leftWeak.insert(std::move(u));
  }
  for (std::size_t i = 0; i < p.strict.size(); ++i)
    if (!leftStrict.count(p.strict[i])) w->removedStrict.push_back(static_cast<int>(i));
  for (std::size_t i = 0; i < p.weak.size(); ++i)
    if (!leftWeak.count(p.weak[i])) w->removedWeak.push_back(static_cast<int>(i));
  if (w->removedStrict.empty() && w->removedWeak.empty()) return Result::None();
  Problem rest = WithoutRules(p, w->removedStrict, w->removedWeak);
  return Result::Step(std::move(w), {std::move(rest)});
}

}  // namespace velkin::strong
