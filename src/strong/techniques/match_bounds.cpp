#include "strong/techniques/match_bounds.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>

namespace velkin::strong {

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

namespace {

// ---- The construction ----------------------------------------------------------------

// Every piece of a left side around one of its letters: occurrence o is the letter at
// position pos of rule rule. For each letter a, a trie of the words that follow its
// occurrences (read forwards) and one of the words before them (read backwards), so
// that the walks around a new transition share the common pieces of all left sides.
class Pieces {
 public:
  Pieces(const std::vector<Rule>& rules, int letters) : letters_(letters) {
    forward_.resize(static_cast<std::size_t>(letters));
    backward_.resize(static_cast<std::size_t>(letters));
    for (Symbol a = 0; a < letters; ++a) {
      forward_[a] = NewNode();
      backward_[a] = NewNode();
    }
    for (std::size_t k = 0; k < rules.size(); ++k) {
      const Word& l = rules[k].lhs;
      for (std::size_t i = 0; i < l.size(); ++i) {
        const int o = static_cast<int>(rule_.size());
        rule_.push_back(static_cast<int>(k));
        int at = forward_[l[i]];
        for (std::size_t j = i + 1; j < l.size(); ++j) at = Child(at, l[j]);
        ends_[at].push_back(o);
        at = backward_[l[i]];
        for (std::size_t j = i; j-- > 0;) at = Child(at, l[j]);
        ends_[at].push_back(o);
      }
    }
  }

  int occurrences() const { return static_cast<int>(rule_.size()); }
  int RuleOf(int o) const { return rule_[o]; }
  int ForwardRoot(Symbol a) const { return forward_[a]; }
  int BackwardRoot(Symbol a) const { return backward_[a]; }
  // The node below `node` by letter b, or -1.
  int Next(int node, Symbol b) const {
    return child_[static_cast<std::size_t>(node) * letters_ + b];
  }
  // The occurrences whose piece ends at `node`.
  const std::vector<int>& Ends(int node) const { return ends_[node]; }

 private:
  int NewNode() {
    child_.resize(child_.size() + static_cast<std::size_t>(letters_), -1);
    ends_.emplace_back();
    return static_cast<int>(ends_.size()) - 1;
  }
  int Child(int node, Symbol b) {
    const std::size_t at = static_cast<std::size_t>(node) * letters_ + b;
    if (child_[at] < 0) {
      const int c = NewNode();
      child_[at] = c;
    }
    return child_[at];
  }

  int letters_;
  std::vector<int> forward_, backward_;  // the roots, per letter
  std::vector<int> child_;               // per node and letter
  std::vector<std::vector<int>> ends_;   // per node
  std::vector<int> rule_;                // per occurrence
};

// A set of path ends, each with the smallest height on its path.
using Ends = std::vector<std::pair<int, int>>;

void SortUnique(Ends& e) {
  std::sort(e.begin(), e.end());
  e.erase(std::unique(e.begin(), e.end()), e.end());
}

// The growing automaton, its transitions in the order they were added and chained per
// (state, letter) in both directions, and the completion that works through them.
class Builder {
 public:
  Builder(const MarkedRules& rules, int letters, const MatchBoundOptions& options)
      : rules_(rules), letters_(letters), options_(options), pieces_(rules.rules, letters) {
    AddState();
    AddState();
    seen_.assign(static_cast<std::size_t>(pieces_.occurrences()), 0);
    start_.assign(seen_.size(), 0);
    count_.assign(seen_.size(), 0);
    std::size_t longest = 0;
    for (const Rule& r : rules.rules) longest = std::max(longest, r.lhs.size());
    levels_.resize(longest + 1);  // a walk is never deeper than a left side
  }

  int states() const { return static_cast<int>(outHead_.size()) / letters_; }
  int bound() const { return bound_; }
  const std::vector<MatchBoundWitness::Transition>& transitions() const { return all_; }

  int AddState() {
    outHead_.resize(outHead_.size() + static_cast<std::size_t>(letters_), -1);
    inHead_.resize(inHead_.size() + static_cast<std::size_t>(letters_), -1);
    return states() - 1;
  }

  // Adds from -a/h-> to; it waits in the worklist until Complete takes it.
  void Add(int from, Symbol a, int to, int h) {
    assert(from >= 0 && from < states() && to >= 0 && to < states() && a >= 0 && a < letters_);
    const int t = static_cast<int>(all_.size());
    all_.push_back({from, a, to, h});
    int& out = outHead_[Slot(from, a)];
    int& in = inHead_[Slot(to, a)];
    outNext_.push_back(out);
    inNext_.push_back(in);
    out = t;
    in = t;
    // The lists per height, so that the right sides' walks pass no other transitions.
    auto [o, newOut] = outAt_.try_emplace(AtHeight(from, a, h), t);
    outAtNext_.push_back(newOut ? -1 : o->second);
    o->second = t;
    auto [i, newIn] = inAt_.try_emplace(AtHeight(to, a, h), t);
    inAtNext_.push_back(newIn ? -1 : i->second);
    i->second = t;
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

  enum class Progress { Running, Compatible, GaveUp };

  // Takes the waiting transitions in turn until about `work` steps of the walks and
  // the right sides are done: Compatible when none is left, GaveUp (with why()) when a
  // limit or the budget stops it, else Running; a later call goes on where this one
  // stopped.
  Progress Advance(const Budget& budget, std::size_t work) {
    budget_ = &budget;
    work = std::max(work, allowance_);
    pauseAt_ = work > SIZE_MAX - ticks_ ? SIZE_MAX : ticks_ + work;
    bool progressed = false;
    while (next_t_ < all_.size()) {
      if (!resolving_) {
        if ((next_t_ & 127) == 0 && budget.Expired()) return GiveUp(OutOfTime());
        if (ticks_ >= pauseAt_) return Progress::Running;
        redexes_.clear();
        CollectRedexes(static_cast<int>(next_t_));
        if (expired_) return GiveUp(OutOfTime());
        if (paused_) {
          // This transition alone needs more than a turn: the next turn is longer.
          paused_ = false;
          if (!progressed) allowance_ = work > SIZE_MAX / 2 ? SIZE_MAX : 2 * work;
          return Progress::Running;
        }
        std::sort(redexes_.begin(), redexes_.end());
        redexes_.erase(std::unique(redexes_.begin(), redexes_.end()), redexes_.end());
        resolving_ = true;
        resolved_ = 0;
      }
      for (; resolved_ < redexes_.size(); ++resolved_) {
        if ((resolved_ & 1023) == 1023) {
          if (budget.Expired()) return GiveUp(OutOfTime());
          if (ticks_ >= pauseAt_) return Progress::Running;
        }
        ++ticks_;
        if (std::string why = Resolve(redexes_[resolved_]); !why.empty()) return GiveUp(why);
      }
      resolving_ = false;
      progressed = true;
      ++next_t_;
    }
    return Progress::Compatible;
  }
  const std::string& why() const { return why_; }
  // The shortest turn that gets on: one that takes at least one transition.
  std::size_t allowance() const { return allowance_; }

 private:
  Progress GiveUp(std::string why) {
    why_ = std::move(why);
    return Progress::GaveUp;
  }
  std::string OutOfTime() const {
    return "the budget ran out at " + std::to_string(all_.size()) + " transitions, height " +
           std::to_string(bound_);
  }

  // A path from q to p reading the left side of rule `rule`, `low` its smallest height.
  struct Redex {
    int rule, q, p, low;
    auto operator<=>(const Redex&) const = default;
  };

  std::uint64_t AtHeight(int state, Symbol a, int h) const {
    assert(h >= 0);
    return (static_cast<std::uint64_t>(Slot(state, a)) << 32) | static_cast<std::uint32_t>(h);
  }
  // The newest transition from (into) `state` by a at height h, or -1.
  int OutAt(int state, Symbol a, int h) const {
    const auto it = outAt_.find(AtHeight(state, a, h));
    return it == outAt_.end() ? -1 : it->second;
  }
  int InAt(int state, Symbol a, int h) const {
    const auto it = inAt_.find(AtHeight(state, a, h));
    return it == inAt_.end() ? -1 : it->second;
  }

  std::size_t Slot(int state, Symbol a) const {
    return static_cast<std::size_t>(state) * static_cast<std::size_t>(letters_) +
           static_cast<std::size_t>(a);
  }

  // Every left-side path whose newest transition is t, into redexes_: the pieces after
  // t's letter are read forwards from its target, those before it backwards from its
  // source, both on transitions not newer than t, and joined per occurrence.
  void CollectRedexes(int t) {
    const MatchBoundWitness::Transition& tr = all_[t];
    newest_ = t;
    ++stamp_;
    found_.clear();
    levels_[0].assign(1, {tr.to, tr.height});
    Walk(pieces_.ForwardRoot(tr.letter), 0, true);
    levels_[0].assign(1, {tr.from, INT_MAX});
    Walk(pieces_.BackwardRoot(tr.letter), 0, false);
  }

  // Counts n steps of work; stops the walks at the end of the turn or of the budget.
  void Tick(std::size_t n) {
    const std::size_t before = ticks_;
    ticks_ += n;
    if (ticks_ >= pauseAt_) paused_ = true;
    if ((before >> 12) != (ticks_ >> 12) && budget_->Expired()) expired_ = true;
  }

  // The trie walk below `node` with the path ends levels_[depth] (not empty).
  void Walk(int node, std::size_t depth, bool forward) {
    if (expired_ || paused_) return;
    const Ends& here = levels_[depth];
    Tick(here.size());
    for (int o : pieces_.Ends(node)) {
      if (forward) {
        seen_[o] = stamp_;
        start_[o] = static_cast<int>(found_.size());
        count_[o] = static_cast<int>(here.size());
        found_.insert(found_.end(), here.begin(), here.end());
      } else if (seen_[o] == stamp_) {
        const int rule = pieces_.RuleOf(o);
        Tick(here.size() * static_cast<std::size_t>(count_[o]));
        if (paused_ || expired_) return;
        for (const auto& [q, m1] : here)
          for (int i = start_[o]; i < start_[o] + count_[o]; ++i)
            redexes_.push_back({rule, q, found_[i].first, std::min(m1, found_[i].second)});
      }
    }
    for (Symbol b = 0; b < letters_; ++b) {
      const int child = pieces_.Next(node, b);
      if (child < 0) continue;
      assert(depth + 1 < levels_.size());
      Ends& next = levels_[depth + 1];
      next.clear();
      for (const auto& [s, m] : here) {
        if (forward) {
          for (int u = outHead_[Slot(s, b)]; u >= 0; u = outNext_[u])
            if (u <= newest_) next.emplace_back(all_[u].to, std::min(m, all_[u].height));
        } else {
          for (int u = inHead_[Slot(s, b)]; u >= 0; u = inNext_[u])
            if (u <= newest_) next.emplace_back(all_[u].from, std::min(m, all_[u].height));
        }
      }
      if (next.empty()) continue;
      SortUnique(next);
      Walk(child, depth + 1, forward);
    }
  }

  // Makes the right side of the redex's rule readable between its states at one more
  // than its smallest height, reusing a path into p where one exists.
  std::string Resolve(const Redex& x) {
    const int h = x.low + 1;
    if (h > options_.maxHeight) return "height " + std::to_string(h) + " needed";
    bound_ = std::max(bound_, h);
    const Word& r = rules_.rules[x.rule].rhs;
    if (Readable(x.q, r, h, x.p)) return "";
    if (options_.reuse == MatchBoundOptions::Reuse::LongestSuffix) {
      // The longest proper suffix r[j..] that some state y already reads into p at
      // height h: r[0..j) is added from q to y through new states.
      const auto [j, y] = LongestSuffix(r, h, x.p);
      int at = x.q;
      for (std::size_t i = 0; i < j; ++i) {
        const int next = i + 1 < j ? AddState() : y;
        Add(at, r[i], next, h);
        at = next;
      }
    } else {
      const int via = options_.reuse == MatchBoundOptions::Reuse::FirstLetter && r.size() >= 2
                          ? Shortcut(r, h, x.p)
                          : -1;
      if (via >= 0)
        Add(x.q, r[0], via, h);
      else
        Chain(x.q, r, x.p, h);
    }
    if (all_.size() > options_.maxTransitions)
      return "more than " + std::to_string(options_.maxTransitions) + " transitions";
    return "";
  }

  // True when w can be read from q to p on transitions of height h only.
  bool Readable(int q, const Word& w, int h, int p) {
    now_.assign(1, q);
    for (Symbol a : w) {
      next_.clear();
      ticks_ += now_.size();
      for (int s : now_)
        for (int u = OutAt(s, a, h); u >= 0; u = outAtNext_[u]) next_.push_back(all_[u].to);
      std::sort(next_.begin(), next_.end());
      next_.erase(std::unique(next_.begin(), next_.end()), next_.end());
      now_.swap(next_);
      if (now_.empty()) return false;
    }
    return std::binary_search(now_.begin(), now_.end(), p);
  }

  // The smallest j >= 1 such that some state reads w[j..] into p at height h (j = |w|:
  // p itself), with the highest such state.
  std::pair<std::size_t, int> LongestSuffix(const Word& w, int h, int p) {
    now_.assign(1, p);
    std::pair<std::size_t, int> best{w.size(), p};
    for (std::size_t i = w.size(); i-- > 1;) {
      next_.clear();
      ticks_ += now_.size();
      for (int s : now_)
        for (int u = InAt(s, w[i], h); u >= 0; u = inAtNext_[u]) next_.push_back(all_[u].from);
      if (next_.empty()) break;
      std::sort(next_.begin(), next_.end());
      next_.erase(std::unique(next_.begin(), next_.end()), next_.end());
      now_.swap(next_);
      best = {i, now_.back()};
    }
    return best;
  }

  // The highest state from which w without its first letter reads into p at height h,
  // or -1.
  int Shortcut(const Word& w, int h, int p) {
    now_.assign(1, p);
    for (std::size_t i = w.size(); i-- > 1;) {
      next_.clear();
      ticks_ += now_.size();
      for (int s : now_)
        for (int u = InAt(s, w[i], h); u >= 0; u = inAtNext_[u]) next_.push_back(all_[u].from);
      std::sort(next_.begin(), next_.end());
      next_.erase(std::unique(next_.begin(), next_.end()), next_.end());
      now_.swap(next_);
      if (now_.empty()) return -1;
    }
    return now_.back();
  }

  const MarkedRules& rules_;
  int letters_;  // the problem's letters and the end marker
  MatchBoundOptions options_;
  Pieces pieces_;
  int bound_ = 0;
  std::vector<MatchBoundWitness::Transition> all_;
  std::vector<int> outHead_, inHead_;  // per state and letter: the newest transition
  std::vector<int> outNext_, inNext_;  // per transition: the next older one
  // The same per state, letter and height.
  std::unordered_map<std::uint64_t, int> outAt_, inAt_;
  std::vector<int> outAtNext_, inAtNext_;
  std::size_t next_t_ = 0;  // the first transition that waits
  std::string why_;
  const Budget* budget_ = nullptr;
  std::size_t ticks_ = 0;           // steps of work so far: path ends walked, redexes resolved
  std::size_t pauseAt_ = SIZE_MAX;  // where the current turn ends
  std::size_t allowance_ = 0;       // the smallest turn: one that takes a transition
  bool paused_ = false;             // the walks stopped at the end of a turn
  bool resolving_ = false;          // redexes_ holds next_t_'s redexes from resolved_ on
  std::size_t resolved_ = 0;
  bool expired_ = false;
  // Scratch of the walks, kept between calls.
  int newest_ = 0;
  unsigned stamp_ = 0;
  std::vector<unsigned> seen_;      // per occurrence: stamp_ when its forward piece was read
  std::vector<int> start_, count_;  // per occurrence: its forward ends in found_
  Ends found_;
  std::vector<Ends> levels_;
  std::vector<Redex> redexes_;
  std::vector<int> now_, next_;
};

// ---- The re-check (separate from the construction) -------------------------------------

// The automaton's transitions grouped by (source, letter): (height, target) pairs,
// sorted, in one array.
class Moves {
 public:
  Moves(const MatchBoundWitness& w, int letters) : letters_(letters) {
    begin_.assign(static_cast<std::size_t>(w.states) * letters + 1, 0);
    for (const auto& t : w.transitions) ++begin_[Slot(t.from, t.letter) + 1];
    for (std::size_t i = 1; i < begin_.size(); ++i) begin_[i] += begin_[i - 1];
    moves_.resize(w.transitions.size());
    std::vector<std::size_t> fill(begin_.begin(), begin_.end() - 1);
    for (const auto& t : w.transitions) moves_[fill[Slot(t.from, t.letter)]++] = {t.height, t.to};
    for (std::size_t i = 0; i + 1 < begin_.size(); ++i)
      std::sort(moves_.begin() + static_cast<std::ptrdiff_t>(begin_[i]),
                moves_.begin() + static_cast<std::ptrdiff_t>(begin_[i + 1]));
  }
  // The (height, target) pairs of the transitions from s by letter a.
  std::pair<const std::pair<int, int>*, const std::pair<int, int>*> From(int s, Symbol a) const {
    const std::size_t i = Slot(s, a);
    return {moves_.data() + begin_[i], moves_.data() + begin_[i + 1]};
  }
  // The states reached from `set` (sorted) by w at height h only, sorted, into `out`.
  void Read(std::vector<int> set, const Word& w, long long h, std::vector<int>& out) const {
    for (Symbol a : w) {
      out.clear();
      for (int s : set) {
        const auto [b, e] = From(s, a);
        for (const auto* m = b; m != e; ++m)
          if (m->first == h) out.push_back(m->second);
      }
      std::sort(out.begin(), out.end());
      out.erase(std::unique(out.begin(), out.end()), out.end());
      set.swap(out);
      if (set.empty()) break;
    }
    out.swap(set);
  }

 private:
  std::size_t Slot(int s, Symbol a) const {
    return static_cast<std::size_t>(s) * static_cast<std::size_t>(letters_) +
           static_cast<std::size_t>(a);
  }
  int letters_;
  std::vector<std::size_t> begin_;  // per (state, letter), and one past the last
  std::vector<std::pair<int, int>> moves_;
};

// The left sides of the rules in a trie, so that common beginnings are read once.
class LeftSides {
 public:
  LeftSides(const std::vector<Rule>& rules, int letters) : letters_(letters) {
    Node();
    for (std::size_t k = 0; k < rules.size(); ++k) {
      int at = 0;
      for (Symbol a : rules[k].lhs) {
        const std::size_t i = static_cast<std::size_t>(at) * letters_ + a;
        if (child_[i] < 0) {
          const int c = Node();
          child_[i] = c;
        }
        at = child_[i];
      }
      ends_[at].push_back(static_cast<int>(k));
    }
  }
  int Child(int node, Symbol a) const {
    return child_[static_cast<std::size_t>(node) * letters_ + a];
  }
  const std::vector<int>& Ends(int node) const { return ends_[node]; }
  int letters() const { return letters_; }

 private:
  int Node() {
    child_.resize(child_.size() + static_cast<std::size_t>(letters_), -1);
    ends_.emplace_back();
    return static_cast<int>(ends_.size()) - 1;
  }
  int letters_;
  std::vector<int> child_;
  std::vector<std::vector<int>> ends_;
};

// The first compatibility fault on a path from q that reads a left side, or "": for
// every such path to p with smallest height low, the rule's right side must read from
// q to p at height low + 1 only.
class PathCheck {
 public:
  PathCheck(const std::vector<Rule>& rules, const Moves& moves, const LeftSides& lefts)
      : rules_(rules), moves_(moves), lefts_(lefts) {
    std::size_t longest = 0;
    for (const Rule& r : rules) longest = std::max(longest, r.lhs.size());
    levels_.resize(longest + 1);
  }

  std::string From(int q) {
    q_ = q;
    levels_[0].assign(1, {q, INT_MAX});
    return Below(0, 0);
  }

 private:
  // The paths levels_[depth] (sorted (state, low) pairs) have read the word of `node`.
  std::string Below(int node, std::size_t depth) {
    const auto& here = levels_[depth];
    if (!lefts_.Ends(node).empty()) {
      lows_.clear();
      for (const auto& e : here) lows_.push_back(e.second);
      std::sort(lows_.begin(), lows_.end());
      lows_.erase(std::unique(lows_.begin(), lows_.end()), lows_.end());
      for (int k : lefts_.Ends(node))
        for (const int low : lows_) {
          moves_.Read({q_}, rules_[k].rhs, static_cast<long long>(low) + 1, reach_);
          for (const auto& [p, l] : here)
            if (l == low && !std::binary_search(reach_.begin(), reach_.end(), p))
              return "rule " + std::to_string(k + 1) + " from state " + std::to_string(q_ + 1) +
                     ": the right side is missing at height " + std::to_string(low + 1L);
        }
    }
    for (Symbol a = 0; a < lefts_.letters(); ++a) {
      const int child = lefts_.Child(node, a);
      if (child < 0) continue;
      assert(depth + 1 < levels_.size());
      auto& next = levels_[depth + 1];
      next.clear();
      for (const auto& [s, low] : here) {
        const auto [b, e] = moves_.From(s, a);
        for (const auto* m = b; m != e; ++m) next.emplace_back(m->second, std::min(low, m->first));
      }
      if (next.empty()) continue;
      std::sort(next.begin(), next.end());
      next.erase(std::unique(next.begin(), next.end()), next.end());
      if (std::string fault = Below(child, depth + 1); !fault.empty()) return fault;
    }
    return "";
  }

  const std::vector<Rule>& rules_;
  const Moves& moves_;
  const LeftSides& lefts_;
  int q_ = 0;
  std::vector<std::vector<std::pair<int, int>>> levels_;  // per depth: (state, low)
  std::vector<int> lows_, reach_;
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

  const Moves moves(*this, marker + 1);
  // Start words: every right side at height 0, then #^n at height 0 for every n.
  std::vector<int> at, next;
  for (std::size_t i = 0; i < plain; ++i) {
    moves.Read({0}, rules[i].rhs, 0, at);
    std::set<std::vector<int>> visited;
    while (visited.insert(at).second) {
      if (!std::binary_search(at.begin(), at.end(), 1))
        return "the start word " + WordText(before.alphabet, rules[i].rhs) +
               " followed by end markers is not accepted";
      moves.Read(at, Word{marker}, 0, next);
      at.swap(next);
    }
  }
  // Compatibility, from every state.
  const LeftSides lefts(rules, marker + 1);
  PathCheck check(rules, moves, lefts);
  for (int q = 0; q < states; ++q)
    if (std::string fault = check.From(q); !fault.empty()) return fault;
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
  const Symbol marker = p.alphabet.size();
  // One completion per direction tried, advanced in turns of a fixed number of
  // transitions (so the result does not depend on timing) until one is compatible.
  struct Attempt {
    bool reversed;
    MarkedRules rules;
    std::unique_ptr<Builder> builder;
  };
  std::vector<Attempt> attempts;
  attempts.reserve(2);  // a builder refers to its attempt's rules: they must not move
  for (const bool reversed : {options.reversed, !options.reversed}) {
    if (reversed != options.reversed && !options.bothDirections) break;
    Attempt& at = attempts.emplace_back(Attempt{reversed, BuildMarkedRules(p, reversed), nullptr});
    at.builder = std::make_unique<Builder>(at.rules, marker + 1, options);
    at.builder->Add(1, marker, 1, 0);
    for (std::size_t i = 0; i < at.rules.firstMarkerRule; ++i)
      at.builder->Chain(0, at.rules.rules[i].rhs, 1, 0);
  }
  std::string why;
  const std::size_t turn = attempts.size() > 1 ? 1 << 16 : SIZE_MAX;
  const Attempt* done = nullptr;
  while (!done) {
    bool running = false;
    // Equal turns: as long as the longest that any completion needs.
    std::size_t round = turn;
    for (const Attempt& at : attempts)
      if (at.builder) round = std::max(round, at.builder->allowance());
    for (Attempt& at : attempts) {
      if (!at.builder) continue;
      const auto progress = at.builder->Advance(budget, round);
      if (progress == Builder::Progress::Compatible) {
        done = &at;
        break;
      }
      if (progress == Builder::Progress::GaveUp) {
        why += (why.empty() ? "" : "; ") + std::string(at.reversed ? "reversed: " : "") +
               at.builder->why();
        at.builder.reset();
        continue;
      }
      running = true;
    }
    if (!done && !running) return Result::None(why);
  }
  auto w = std::make_shared<MatchBoundWitness>();
  w->reversed = done->reversed;
  w->bound = done->builder->bound();
  w->states = done->builder->states();
  w->transitions = done->builder->transitions();
  return Result::Proof(w);
}

}  // namespace velkin::strong
