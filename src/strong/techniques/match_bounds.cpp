#include "strong/techniques/match_bounds.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <set>
#include <utility>

namespace velkin::strong {

namespace {

// ---- The construction ----------------------------------------------------------------

// The rules the automaton is completed for: R (or R^rev) with empty right sides
// expanded, followed by the end-marker rules. `firstMarkerRule` is where those start.
struct MarkedRules {
  std::vector<Rule> rules;
  std::size_t firstMarkerRule = 0;
};

MarkedRules BuildMarkedRules(const Problem& p, bool reversed) {
  const std::vector<Rule> base = reversed ? Reversed(p.strict) : p.strict;
  MarkedRules m;
  for (const Rule& r : base) {
    if (!r.rhs.empty()) {
      m.rules.push_back(r);
      continue;
    }
    for (Symbol a = 0; a < p.alphabet.size(); ++a) {
      Rule e{r.lhs, {a}};
      e.lhs.push_back(a);
      m.rules.push_back(std::move(e));
    }
  }
  m.firstMarkerRule = m.rules.size();
  const Symbol marker = p.alphabet.size();
  for (std::size_t i = 0; i < m.firstMarkerRule; ++i) {
    const Rule r = m.rules[i];
    for (std::size_t j = 1; j < r.lhs.size(); ++j) {
      Rule e{Word(r.lhs.begin(), r.lhs.begin() + static_cast<std::ptrdiff_t>(j)), r.rhs};
      e.lhs.push_back(marker);
      m.rules.push_back(std::move(e));
    }
  }
  return m;
}

// The growing automaton with transitions indexed by (state, letter) both ways.
class Builder {
 public:
  explicit Builder(int letters) : letters_(letters) {
    AddState();
    AddState();
  }

  int states() const { return static_cast<int>(out_.size()) / letters_; }
  const std::vector<MatchBoundWitness::Transition>& transitions() const { return all_; }

  int AddState() {
    out_.resize(out_.size() + letters_);
    in_.resize(in_.size() + letters_);
    return states() - 1;
  }

  void Add(int from, Symbol a, int to, int h) {
    const int t = static_cast<int>(all_.size());
    all_.push_back({from, a, to, h});
    out_[static_cast<std::size_t>(from) * letters_ + a].push_back(t);
    in_[static_cast<std::size_t>(to) * letters_ + a].push_back(t);
  }

  // A chain from `from` to `to` reading w (not empty) at height h through new states.
  void Chain(int from, const Word& w, int to, int h) {
    assert(!w.empty());
    int at = from;
    for (std::size_t i = 0; i < w.size(); ++i) {
      const int next = i + 1 < w.size() ? AddState() : to;
      Add(at, w[i], next, h);
      at = next;
    }
  }

  // The ends p of the paths from q that read w, each with the smallest height on it.
  std::vector<std::pair<int, int>> Redexes(int q, const Word& w) const {
    std::vector<std::pair<int, int>> now{{q, INT_MAX}}, next;
    for (Symbol a : w) {
      next.clear();
      for (const auto& [s, m] : now)
        for (int t : out_[static_cast<std::size_t>(s) * letters_ + a])
          next.emplace_back(all_[t].to, std::min(m, all_[t].height));
      std::sort(next.begin(), next.end());
      next.erase(std::unique(next.begin(), next.end()), next.end());
      now.swap(next);
      if (now.empty()) break;
    }
    return now;
  }

  // True when w can be read from q to p on transitions of height h only.
  bool Readable(int q, const Word& w, int h, int p) const {
    std::vector<int> now{q}, next;
    for (Symbol a : w) {
      next.clear();
      for (int s : now)
        for (int t : out_[static_cast<std::size_t>(s) * letters_ + a])
          if (all_[t].height == h) next.push_back(all_[t].to);
      std::sort(next.begin(), next.end());
      next.erase(std::unique(next.begin(), next.end()), next.end());
      now.swap(next);
      if (now.empty()) return false;
    }
    return std::binary_search(now.begin(), now.end(), p);
  }

  // The highest state from which w without its first letter reads into p at height h,
  // or -1.
  int Shortcut(const Word& w, int h, int p) const {
    std::vector<int> now{p}, next;
    for (std::size_t i = w.size(); i-- > 1;) {
      next.clear();
      for (int s : now)
        for (int t : in_[static_cast<std::size_t>(s) * letters_ + w[i]])
          if (all_[t].height == h) next.push_back(all_[t].from);
      std::sort(next.begin(), next.end());
      next.erase(std::unique(next.begin(), next.end()), next.end());
      now.swap(next);
      if (now.empty()) return -1;
    }
    return now.back();
  }

 private:
  int letters_;  // the problem's letters and the end marker
  std::vector<MatchBoundWitness::Transition> all_;
  std::vector<std::vector<int>> out_, in_;  // per state and letter: transition numbers
};

// ---- The re-check (separate from the construction) -------------------------------------

// Every transition by its source: (letter, height, target).
struct Moves {
  std::vector<std::vector<MatchBoundWitness::Transition>> from;
  explicit Moves(const MatchBoundWitness& w) : from(static_cast<std::size_t>(w.states)) {
    for (const auto& t : w.transitions) from[t.from].push_back(t);
  }
  // The states reached from `set` by letter a at height h (any height when h < 0).
  std::set<int> Step(const std::set<int>& set, Symbol a, int h) const {
    std::set<int> out;
    for (int s : set)
      for (const auto& t : from[s])
        if (t.letter == a && (h < 0 || t.height == h)) out.insert(t.to);
    return out;
  }
};

}  // namespace

std::string MatchBoundWitness::Recheck(const Problem& before,
                                       const std::vector<Problem>& after) const {
  if (!before.IsStandard()) return "a match bound for a problem that is not standard";
  if (!after.empty()) return "a match bound with subproblems";
  if (states < 2) return "fewer than two states";
  const Symbol marker = before.alphabet.size();
  for (const auto& t : transitions) {
    if (t.from < 0 || t.from >= states || t.to < 0 || t.to >= states)
      return "a transition between unknown states";
    if (t.letter < 0 || t.letter > marker) return "a transition with an unknown letter";
    if (t.height < 0) return "a negative height";
  }
  // The rules as the proof states them, rebuilt from the problem.
  std::vector<Rule> rules;
  for (const Rule& given : before.strict) {
    Rule r = given;
    if (reversed) {
      std::reverse(r.lhs.begin(), r.lhs.end());
      std::reverse(r.rhs.begin(), r.rhs.end());
    }
    if (r.lhs.empty()) return "a rule with an empty left side";
    if (r.rhs.empty()) {
      for (Symbol a = 0; a < marker; ++a) {
        Word l = r.lhs;
        l.push_back(a);
        rules.push_back(Rule{l, Word{a}});
      }
    } else {
      rules.push_back(r);
    }
  }
  const std::size_t plain = rules.size();
  for (std::size_t i = 0; i < plain; ++i)
    for (std::size_t cut = rules[i].lhs.size() - 1; cut >= 1; --cut) {
      Word l(rules[i].lhs.begin(), rules[i].lhs.begin() + static_cast<std::ptrdiff_t>(cut));
      l.push_back(marker);
      rules.push_back(Rule{l, rules[i].rhs});
    }

  const Moves moves(*this);
  // Start words: every right side at height 0, then #^n at height 0 for every n.
  for (std::size_t i = 0; i < plain; ++i) {
    std::set<int> at{0};
    for (Symbol a : rules[i].rhs) at = moves.Step(at, a, 0);
    std::set<std::set<int>> visited;
    while (visited.insert(at).second) {
      if (!at.count(1))
        return "the start word " + WordText(before.alphabet, rules[i].rhs) +
               " followed by end markers is not accepted";
      at = moves.Step(at, marker, 0);
    }
  }
  // Compatibility, with the smallest height of every path tracked per end state.
  for (std::size_t i = 0; i < rules.size(); ++i) {
    const Rule& r = rules[i];
    for (int q = 0; q < states; ++q) {
      std::set<std::pair<int, int>> ends{{q, INT_MAX}};
      for (Symbol a : r.lhs) {
        std::set<std::pair<int, int>> next;
        for (const auto& [s, low] : ends)
          for (const auto& t : moves.from[s])
            if (t.letter == a) next.insert({t.to, std::min(low, t.height)});
        ends.swap(next);
      }
      for (const auto& [p, low] : ends) {
        std::set<int> reach{q};
        for (Symbol a : r.rhs) reach = moves.Step(reach, a, low + 1);
        if (!reach.count(p))
          return "rule " + std::to_string(i + 1) + " from state " + std::to_string(q + 1) +
                 ": the right side is missing at height " + std::to_string(low + 1);
      }
    }
  }
  for (const auto& t : transitions)
    if (t.height > bound) return "a height above the bound";
  return "";
}

void MatchBoundWitness::Print(const Problem& before, std::vector<std::string>& lines) const {
  Alphabet names = before.alphabet;
  std::string marker = "#";
  for (int k = 1; std::find(names.names.begin(), names.names.end(), marker) != names.names.end();
       ++k)
    marker = "#" + std::to_string(k);
  names.Add(marker);
  const MarkedRules m = BuildMarkedRules(before, reversed);
  lines.push_back("match bound " + std::to_string(bound) +
                  " on the right-hand sides of forward closures" +
                  (reversed ? " of the reversed rules" : "") + ", end marker " + marker);
  lines.push_back("  rules (with empty right sides expanded) and end-marker rules:");
  for (const Rule& r : m.rules) lines.push_back("    " + RuleText(names, r));
  lines.push_back(
      "  start words: every right side of the rules above (height 0), then any "
      "number of " +
      marker + " (height 0)");
  lines.push_back("  automaton: " + std::to_string(states) + " states, initial 1, final 2, " +
                  std::to_string(transitions.size()) + " transitions (from, letter, height, to):");
  std::vector<Transition> sorted = transitions;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const Transition& a, const Transition& b) { return a.from < b.from; });
  for (const Transition& t : sorted)
    lines.push_back("    " + std::to_string(t.from + 1) + " " + names.names[t.letter] + " " +
                    std::to_string(t.height) + " " + std::to_string(t.to + 1));
}

Result FindMatchBound(const Problem& p, const Budget& budget, const MatchBoundOptions& options) {
  if (!p.IsStandard()) return Result::None("only for standard problems");
  if (p.strict.empty()) return Result::None();
  for (const Rule& r : p.strict)
    if (r.lhs.empty()) return Result::None("a rule with an empty left side");
  const MarkedRules m = BuildMarkedRules(p, options.reversed);
  const Symbol marker = p.alphabet.size();
  Builder a(marker + 1);
  a.Add(1, marker, 1, 0);
  for (std::size_t i = 0; i < m.firstMarkerRule; ++i) a.Chain(0, m.rules[i].rhs, 1, 0);

  int bound = 0;
  bool changed = true;
  while (changed) {
    changed = false;
    for (const Rule& r : m.rules) {
      const int known = a.states();  // states added meanwhile wait for the next rule
      for (int q = 0; q < known; ++q) {
        if (budget.Expired()) return Result::None("the budget ran out");
        for (const auto& [end, low] : a.Redexes(q, r.lhs)) {
          const int h = low + 1;
          if (h > options.maxHeight) return Result::None("height " + std::to_string(h) + " needed");
          bound = std::max(bound, h);
          if (a.Readable(q, r.rhs, h, end)) continue;
          changed = true;
          const int via = r.rhs.size() >= 2 ? a.Shortcut(r.rhs, h, end) : -1;
          if (via >= 0)
            a.Add(q, r.rhs[0], via, h);
          else
            a.Chain(q, r.rhs, end, h);
          if (static_cast<std::size_t>(a.states()) > options.maxStates)
            return Result::None("more than " + std::to_string(options.maxStates) + " states");
        }
      }
    }
  }
  auto w = std::make_shared<MatchBoundWitness>();
  w->reversed = options.reversed;
  w->bound = bound;
  w->states = a.states();
  w->transitions = a.transitions();
  return Result::Proof(w);
}

}  // namespace velkin::strong
