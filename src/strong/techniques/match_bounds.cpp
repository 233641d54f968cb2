#include "strong/techniques/match_bounds.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <climits>
#include <cstdint>
#include <ctime>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>

namespace velkin::strong {

namespace {

// Sorts `v` and drops repeated elements.
template <typename T>
void SortUnique(std::vector<T>& v) {
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
}

// A set of path ends, each with the smallest height on its path.
using Ends = std::vector<std::pair<int, int>>;

// One letter further on the paths `here` (the walks of the construction and of the
// re-check): `moves(s, emit)` calls emit(target, height) for every transition by that
// letter from state s. The ends, each with the smaller of its height and the
// transition's, sorted and without repeats, into `next`; false when there are none.
template <typename ForEachMove>
bool Extend(const Ends& here, Ends& next, ForEachMove&& moves) {
  next.clear();
  for (const auto& [s, low] : here)
    moves(s, [&](int to, int height) { next.emplace_back(to, std::min(low, height)); });
  if (next.empty()) return false;
  SortUnique(next);
  return true;
}

// The rules of `p` that a completion works with (see MarkedRules): the strict ones (of
// R^rev when `reversed`), strict where `removed` says so, then the weak ones. For forward
// closures, empty right sides expanded and the end-marker rules after them; on every
// word a rule l -> ε stays as it is (see Builder::Link).
MarkedRules LiftRules(const Problem& p, bool reversed, StartWords start,
                      const std::vector<bool>& removed) {
  assert(removed.size() == p.strict.size());
  MarkedRules m;
  const auto add = [&](const Rule& given, bool strict, int origin) {
    const Rule r = reversed ? Rule{Reversed(given.lhs), Reversed(given.rhs)} : given;
    if (!r.rhs.empty() || start != StartWords::ForwardClosures) {
      m.rules.push_back(r);
      m.strict.push_back(strict);
      m.origin.push_back(origin);
      return;
    }
    for (Symbol a = 0; a < p.alphabet.size(); ++a) {
      Rule e{r.lhs, {a}};
      e.lhs.push_back(a);
      m.rules.push_back(std::move(e));
      m.strict.push_back(strict);
      m.origin.push_back(origin);
    }
  };
  for (std::size_t i = 0; i < p.strict.size(); ++i)
    add(p.strict[i], removed[i], static_cast<int>(i));
  for (std::size_t i = 0; i < p.weak.size(); ++i)
    add(p.weak[i], false, static_cast<int>(p.strict.size() + i));
  m.firstMarkerRule = m.rules.size();
  if (start != StartWords::ForwardClosures) return m;
  const Symbol marker = p.alphabet.size();
  for (std::size_t i = 0; i < m.firstMarkerRule; ++i) {
    const Rule r = m.rules[i];
    for (std::size_t j = 1; j < r.lhs.size(); ++j) {
      Rule e{Word(r.lhs.begin(), r.lhs.begin() + static_cast<std::ptrdiff_t>(j)), r.rhs};
      e.lhs.push_back(marker);
      m.rules.push_back(std::move(e));
      m.strict.push_back(m.strict[i]);
      m.origin.push_back(m.origin[i]);
    }
  }
  return m;
}

}  // namespace

MarkedRules BuildMarkedRules(const Problem& p, bool reversed) {
  Problem strictOnly = p;
  strictOnly.weak.clear();
  return LiftRules(strictOnly, reversed, StartWords::ForwardClosures,
                   std::vector<bool>(p.strict.size(), true));
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

// How a completion lifts and adds right sides: heights up to `cap`, a strict step one
// above its redex (a weak one at most at the cap), and the reuse of existing paths.
// `demote`: a strict rule whose step would need a height above the cap becomes weak,
// with every rule made from the same rule of the problem, instead of ending the
// completion.
struct Completion {
  int cap = 12;
  std::size_t maxTransitions = 500000;
  MatchBoundOptions::Reuse reuse = MatchBoundOptions::Reuse::LongestSuffix;
  bool demote = false;
  // A weak step at the cap from q to p makes q read every nonempty word of right-side
  // letters at the cap into p (through one state per p), instead of its right side alone:
  // letters at the cap take part in no strict step but as the lower end of none, so the
  // automaton may accept more of them, and the completion of weak rules that grow
  // without bound stays finite.
  bool universalAtCap = false;
};

// The smallest height of the empty path: the redex of a rule with an empty left side.
constexpr int kEmptyPath = INT_MAX;

// The growing automaton, its transitions in the order they were added and chained per
// (state, letter) in both directions, and the completion that works through them. The
// caller adds the first states and transitions (the start words).
class Builder {
 public:
  Builder(const MarkedRules& rules, int letters, const Completion& completion)
      : rules_(rules),
        letters_(letters),
        completion_(completion),
        pieces_(rules.rules, letters),
        strict_(rules.strict) {
    assert(rules.strict.size() == rules.rules.size() && rules.origin.size() == rules.rules.size());
    seen_.assign(static_cast<std::size_t>(pieces_.occurrences()), 0);
    start_.assign(seen_.size(), 0);
    count_.assign(seen_.size(), 0);
    std::size_t longest = 0;
    for (std::size_t k = 0; k < rules.rules.size(); ++k) {
      longest = std::max(longest, rules.rules[k].lhs.size());
      if (rules.rules[k].lhs.empty()) {
        assert(!rules.strict[k]);
        emptyLeft_.push_back(static_cast<int>(k));
      }
      if (rules.strict[k]) strictOrigins_.push_back(rules.origin[k]);
      rightLetters_.insert(rightLetters_.end(), rules.rules[k].rhs.begin(),
                           rules.rules[k].rhs.end());
    }
    SortUnique(rightLetters_);
    SortUnique(strictOrigins_);
    levels_.resize(longest + 1);  // a walk is never deeper than a left side
  }

  // The origins (MarkedRules::origin) of the rules that are still strict, ascending.
  const std::vector<int>& strictOrigins() const { return strictOrigins_; }
  int states() const { return static_cast<int>(outHead_.size()) / letters_; }
  int bound() const { return bound_; }
  const std::vector<MatchBoundWitness::Transition>& transitions() const { return all_; }

  int AddState() {
    outHead_.resize(outHead_.size() + static_cast<std::size_t>(letters_), -1);
    inHead_.resize(inHead_.size() + static_cast<std::size_t>(letters_), -1);
    out_.first.resize(outHead_.size(), -1);
    in_.first.resize(inHead_.size(), -1);
    if (!links_.empty()) links_.emplace_back();
    return states() - 1;
  }

  // Adds from -a/h-> to, and the same from every state linked to `from` (see Link); each
  // waits in the worklist until Advance takes it.
  void Add(int from, Symbol a, int to, int h) {
    AddOne(from, a, to, h);
    if (links_.empty()) return;
    std::vector<MatchBoundWitness::Transition> pending{{from, a, to, h}};
    // Past the limit the completion gives up (Resolve says so): no need to go on.
    while (!pending.empty() && all_.size() <= completion_.maxTransitions) {
      const auto t = pending.back();
      pending.pop_back();
      for (const int q : links_[t.from])
        if (!Has(q, t.letter, t.to, t.height)) {
          AddOne(q, t.letter, t.to, t.height);
          pending.push_back({q, t.letter, t.to, t.height});
        }
    }
  }

  // From now on, every transition from s is also one from q, as if an empty path led
  // from q to s: what a step by l -> ε at a path q -l-> s needs, since the letter after
  // the redex keeps its height.
  void Link(int q, int s) {
    if (q == s) return;
    if (links_.empty()) links_.resize(static_cast<std::size_t>(states()));
    auto& into = links_[s];
    if (std::find(into.begin(), into.end(), q) != into.end()) return;
    into.push_back(q);
    std::vector<MatchBoundWitness::Transition> out;
    for (Symbol a = 0; a < letters_; ++a)
      for (int u = outHead_[Slot(s, a)]; u >= 0; u = outNext_[u]) out.push_back(all_[u]);
    for (const auto& t : out)
      if (!Has(q, t.letter, t.to, t.height)) Add(q, t.letter, t.to, t.height);
  }

  // Chain, Add and Link are the only ways transitions are added.

 private:
  // True when from -a/h-> to is a transition.
  bool Has(int from, Symbol a, int to, int h) const {
    for (int u = OutAt(from, a, h); u >= 0; u = outAtNext_[u])
      if (all_[u].to == to) return true;
    return false;
  }

  void AddOne(int from, Symbol a, int to, int h) {
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
    HeightList& outList = Bucket(out_, Slot(from, a), h);
    outAtNext_.push_back(outList.head);
    outList.head = t;
    ++outList.count;
    HeightList& inList = Bucket(in_, Slot(to, a), h);
    inAtNext_.push_back(inList.head);
    inList.head = t;
    ++inList.count;
  }

 public:
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
    for (;;) {
      // The empty paths of every state, for the rules with an empty left side.
      if (!resolving_ && !emptyLeft_.empty() && nextState_ < states()) {
        if ((nextState_ & 127) == 0 && budget.Expired()) return GiveUp(OutOfTime());
        for (const int k : emptyLeft_) {
          ++ticks_;
          if (std::string why = Resolve({k, nextState_, nextState_, kEmptyPath}); !why.empty())
            return GiveUp(why);
        }
        ++nextState_;
        continue;
      }
      if (next_t_ >= all_.size()) break;
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
        SortUnique(redexes_);
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

  // Per (state, letter) slot, the heights of its transitions, each with the newest one at
  // that height: a short list (a slot has transitions at few heights), searched in turn.
  struct HeightList {
    int height, head, next;  // head: the newest transition; next: the slot's next height
    int count;               // the transitions in this list
  };
  struct ByHeight {
    std::vector<int> first;         // per slot: its first HeightList, or -1
    std::vector<HeightList> lists;  // every slot's, chained by next
  };
  // The slot's list at height h, added (empty) when there is none.
  HeightList& Bucket(ByHeight& b, std::size_t slot, int h) {
    if (const int k = Find(b, slot, h); k >= 0) return b.lists[k];
    b.lists.push_back({h, -1, b.first[slot], 0});
    b.first[slot] = static_cast<int>(b.lists.size()) - 1;
    return b.lists.back();
  }
  // The index of the slot's list at height h, or -1.
  static int Find(const ByHeight& b, std::size_t slot, int h) {
    assert(h >= 0 && slot < b.first.size());
    int k = b.first[slot];
    while (k >= 0 && b.lists[k].height != h) k = b.lists[k].next;
    return k;
  }
  // The newest transition of the slot at height h, or -1.
  static int Newest(const ByHeight& b, std::size_t slot, int h) {
    const int k = Find(b, slot, h);
    return k < 0 ? -1 : b.lists[k].head;
  }
  // The number of the slot's transitions at height h.
  static int Count(const ByHeight& b, std::size_t slot, int h) {
    const int k = Find(b, slot, h);
    return k < 0 ? 0 : b.lists[k].count;
  }
  // The transitions that StepAt(set, a, h, forward) would walk.
  std::size_t Degree(const std::vector<int>& set, Symbol a, int h, bool forward) const {
    std::size_t n = 0;
    for (int s : set) n += static_cast<std::size_t>(Count(forward ? out_ : in_, Slot(s, a), h));
    return n;
  }
  // The newest transition from (into) `state` by a at height h, or -1.
  int OutAt(int state, Symbol a, int h) const { return Newest(out_, Slot(state, a), h); }
  int InAt(int state, Symbol a, int h) const { return Newest(in_, Slot(state, a), h); }

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
      const bool any = Extend(here, levels_[depth + 1], [&](int s, auto&& emit) {
        if (forward) {
          for (int u = outHead_[Slot(s, b)]; u >= 0; u = outNext_[u])
            if (u <= newest_) emit(all_[u].to, all_[u].height);
        } else {
          for (int u = inHead_[Slot(s, b)]; u >= 0; u = inNext_[u])
            if (u <= newest_) emit(all_[u].from, all_[u].height);
        }
      });
      if (any) Walk(child, depth + 1, forward);
    }
  }

  // Makes the right side of the redex's rule readable between its states at its height
  // (see Completion), reusing a path into p where one exists.
  std::string Resolve(const Redex& x) {
    int h;
    if (x.low == kEmptyPath) {
      h = completion_.cap;  // only weak rules have an empty left side
    } else if (strict_[x.rule]) {
      h = x.low + 1;
      if (h > completion_.cap) {
        if (!completion_.demote) return "height " + std::to_string(h) + " needed";
        Demote(rules_.origin[x.rule]);
        if (strictOrigins_.empty())
          return "every rule needs a height above " + std::to_string(completion_.cap);
        h = completion_.cap;
      }
    } else {
      h = std::min(x.low + 1, completion_.cap);
    }
    const Word& r = rules_.rules[x.rule].rhs;
    if (r.empty()) {
      Link(x.q, x.p);  // nothing is written: no height
      return TooMany();
    }
    bound_ = std::max(bound_, h);
    if (Readable(x.q, r, h, x.p)) return "";
    if (completion_.universalAtCap && h == completion_.cap && !strict_[x.rule]) {
      Universal(x.q, x.p);
      return TooMany();
    }
    if (completion_.reuse == MatchBoundOptions::Reuse::PrefixAndSuffix) {
      // The longest proper prefix r[0..i) that q already reads into some state x, and
      // the longest suffix r[j..] (j > i) that some state y reads into p: r[i..j) is
      // added from x to y through new states.
      const auto [i, from] = LongestPrefix(r, h, x.q);
      const auto [j, y] = LongestSuffix(r, h, x.p, i + 1);
      int at = from;
      for (std::size_t k = i; k < j; ++k) {
        const int next = k + 1 < j ? AddState() : y;
        Add(at, r[k], next, h);
        at = next;
      }
    } else if (completion_.reuse == MatchBoundOptions::Reuse::LongestSuffix) {
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
      const int via = completion_.reuse == MatchBoundOptions::Reuse::FirstLetter && r.size() >= 2
                          ? Shortcut(r, h, x.p)
                          : -1;
      if (via >= 0)
        Add(x.q, r[0], via, h);
      else
        Chain(x.q, r, x.p, h);
    }
    return TooMany();
  }

  // "" or why the automaton is too large.
  std::string TooMany() const {
    if (all_.size() > completion_.maxTransitions)
      return "more than " + std::to_string(completion_.maxTransitions) + " transitions";
    return "";
  }

  // Makes q read every nonempty word over the right sides' letters at the cap into p:
  // q -g-> p and q -g-> u_p for every such letter g, where u_p reads each of them into
  // itself and into p.
  void Universal(int q, int p) {
    const int c = completion_.cap;
    auto [it, added] = universal_.try_emplace(p, -1);
    if (added) {
      const int u = AddState();
      it->second = u;
      for (const Symbol g : rightLetters_) {
        Add(u, g, u, c);
        Add(u, g, p, c);
      }
    }
    const int u = it->second;
    for (const Symbol g : rightLetters_) {
      if (!Has(q, g, u, c)) Add(q, g, u, c);
      if (!Has(q, g, p, c)) Add(q, g, p, c);
    }
  }

  // Makes every rule from `origin` weak. Their steps so far were at most at the cap, one
  // above their redexes, which is where a weak rule's steps are written too.
  void Demote(int origin) {
    for (std::size_t k = 0; k < strict_.size(); ++k)
      if (rules_.origin[k] == origin) strict_[k] = false;
    std::erase(strictOrigins_, origin);
  }

  // Replaces now_ by the states reached from it by one transition reading a at height
  // h (forwards from sources to targets, else backwards), each once, in no particular
  // order; false when none is.
  bool StepAt(Symbol a, int h, bool forward) { return StepAt(now_, a, h, forward); }
  // The same on `set`.
  bool StepAt(std::vector<int>& set, Symbol a, int h, bool forward) {
    next_.clear();
    NewMark();
    ticks_ += set.size();
    const auto reach = [&](int s) {
      if (marked_[s] == mark_) return;
      marked_[s] = mark_;
      next_.push_back(s);
    };
    for (int s : set) {
      if (forward) {
        for (int u = OutAt(s, a, h); u >= 0; u = outAtNext_[u]) reach(all_[u].to);
      } else {
        for (int u = InAt(s, a, h); u >= 0; u = inAtNext_[u]) reach(all_[u].from);
      }
    }
    set.swap(next_);
    return !set.empty();
  }

  // A mark that no state carries yet.
  void NewMark() {
    if (++mark_ == 0) {  // the stamps wrapped around: start again from clean marks
      std::fill(marked_.begin(), marked_.end(), 0u);
      mark_ = 1;
    }
    marked_.resize(static_cast<std::size_t>(states()), 0u);
  }

  // The highest state of now_ (not empty).
  int Highest() const {
    assert(!now_.empty());
    return *std::max_element(now_.begin(), now_.end());
  }

  // True when w can be read from q to p on transitions of height h only. Reads from both
  // ends, always at the end whose next letter has fewer transitions to walk, until they
  // meet.
  bool Readable(int q, const Word& w, int h, int p) {
    now_.assign(1, q);
    back_.assign(1, p);
    std::size_t i = 0, j = w.size();  // now_ has read w[0..i), back_ reads w[j..] into p
    while (i < j) {
      // A letter with transitions to walk reaches some state: no set becomes empty.
      const std::size_t ahead = Degree(now_, w[i], h, true);
      const std::size_t behind = Degree(back_, w[j - 1], h, false);
      if (ahead == 0 || behind == 0) return false;
      if (ahead <= behind) {
        StepAt(now_, w[i++], h, true);
      } else {
        StepAt(back_, w[--j], h, false);
      }
    }
    NewMark();
    for (int s : now_) marked_[s] = mark_;
    return std::any_of(back_.begin(), back_.end(), [&](int s) { return marked_[s] == mark_; });
  }

  // The largest i < |w| such that q reads w[0..i) at height h into some state (i = 0: q
  // itself), with the highest such state.
  std::pair<std::size_t, int> LongestPrefix(const Word& w, int h, int q) {
    now_.assign(1, q);
    std::pair<std::size_t, int> best{0, q};
    for (std::size_t i = 0; i + 1 < w.size() && StepAt(w[i], h, true); ++i)
      best = {i + 1, Highest()};
    return best;
  }

  // The smallest j >= least (at least 1) such that some state reads w[j..] into p at
  // height h (j = |w|: p itself), with the highest such state.
  std::pair<std::size_t, int> LongestSuffix(const Word& w, int h, int p, std::size_t least = 1) {
    now_.assign(1, p);
    std::pair<std::size_t, int> best{w.size(), p};
    for (std::size_t i = w.size(); i-- > std::max<std::size_t>(least, 1) && StepAt(w[i], h, false);)
      best = {i, Highest()};
    return best;
  }

  // The highest state from which w without its first letter reads into p at height h,
  // or -1.
  int Shortcut(const Word& w, int h, int p) {
    now_.assign(1, p);
    for (std::size_t i = w.size(); i-- > 1;)
      if (!StepAt(w[i], h, false)) return -1;
    return Highest();
  }

  const MarkedRules& rules_;
  int letters_;  // the problem's letters and the end marker
  Completion completion_;
  Pieces pieces_;
  std::vector<bool> strict_;                // per rule: its steps are strict (see Demote)
  std::vector<int> strictOrigins_;          // the origins of the strict rules, ascending
  std::vector<int> emptyLeft_;              // the rules with an empty left side
  int nextState_ = 0;                       // the first state whose empty paths wait
  std::vector<Symbol> rightLetters_;        // the letters of the right sides, ascending
  std::unordered_map<int, int> universal_;  // per state p: the state u_p of Universal
  // Per state s, the states q linked to it (Link); empty until the first link.
  std::vector<std::vector<int>> links_;
  int bound_ = 0;
  std::vector<MatchBoundWitness::Transition> all_;
  std::vector<int> outHead_, inHead_;  // per state and letter: the newest transition
  std::vector<int> outNext_, inNext_;  // per transition: the next older one
  // The same per state, letter and height.
  ByHeight out_, in_;
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
  std::vector<int> now_, next_, back_;
  std::vector<unsigned> marked_;  // per state: mark_ when StepAt reached it
  unsigned mark_ = 0;
};

// The start of a completion on the right sides of forward closures: state 0 initial, 1
// final with the end marker looping on it, every right side from 0 to 1 at height 0.
void StartForwardClosures(Builder& b, const MarkedRules& rules, Symbol marker) {
  b.AddState();
  b.AddState();
  b.Add(1, marker, 1, 0);
  for (std::size_t i = 0; i < rules.firstMarkerRule; ++i) b.Chain(0, rules.rules[i].rhs, 1, 0);
}

// The start of a completion on every word: state 0 initial and final, reading every
// letter at height 0 back into itself.
void StartAllWords(Builder& b, int letters) {
  b.AddState();
  for (Symbol a = 0; a < letters; ++a) b.Add(0, a, 0, 0);
}

// ---- The re-check (separate from the construction) -------------------------------------

// The automaton's transitions grouped by (source, letter): (height, target) pairs,
// sorted, in one array.
class Moves {
 public:
  // The transitions must be between states 0..states-1 and read letters 0..letters-1.
  Moves(const std::vector<MatchBoundWitness::Transition>& transitions, int states, int letters)
      : letters_(letters) {
    begin_.assign(static_cast<std::size_t>(states) * letters + 1, 0);
    for (const auto& t : transitions) ++begin_[Slot(t.from, t.letter) + 1];
    for (std::size_t i = 1; i < begin_.size(); ++i) begin_[i] += begin_[i - 1];
    moves_.resize(transitions.size());
    std::vector<std::size_t> fill(begin_.begin(), begin_.end() - 1);
    for (const auto& t : transitions) moves_[fill[Slot(t.from, t.letter)]++] = {t.height, t.to};
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
      SortUnique(out);
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

// The rules a re-check checks an automaton against, rebuilt from the problem by code of
// its own: each with whether its steps are strict.
struct CheckedRules {
  std::vector<Rule> rules;
  std::vector<bool> strict;
  std::size_t plain = 0;  // the rules before the end-marker rules
};

// The rules of `before` (reversed when `reversed`): the strict ones, strict where
// `strict` says so, then the weak ones, each strict when `weakStrict`. With `markers`
// (forward closures), l -> ε replaced by l a -> a for every letter a, and the end-marker
// rules l1 # -> r of every rule l1 l2 -> r (l1, l2 not empty; # the letter after the
// problem's), as strict as their rule. "" or what is wrong.
std::string RebuildRules(const Problem& before, bool reversed, const std::vector<bool>& strict,
                         bool weakStrict, bool markers, CheckedRules& out) {
  if (strict.size() != before.strict.size()) return "strictness for another number of rules";
  const Symbol marker = before.alphabet.size();
  const auto add = [&](const Rule& given, bool isStrict) -> std::string {
    Rule r = given;
    if (reversed) {
      std::reverse(r.lhs.begin(), r.lhs.end());
      std::reverse(r.rhs.begin(), r.rhs.end());
    }
    if (r.lhs.empty() && isStrict) return "a strict rule with an empty left side";
    if (r.rhs.empty() && markers) {
      for (Symbol a = 0; a < marker; ++a) {
        Word l = r.lhs;
        l.push_back(a);
        out.rules.push_back(Rule{l, Word{a}});
        out.strict.push_back(isStrict);
      }
    } else {
      out.rules.push_back(r);
      out.strict.push_back(isStrict);
    }
    return "";
  };
  for (std::size_t i = 0; i < before.strict.size(); ++i)
    if (std::string e = add(before.strict[i], strict[i]); !e.empty()) return e;
  for (const Rule& r : before.weak)
    if (std::string e = add(r, weakStrict); !e.empty()) return e;
  out.plain = out.rules.size();
  if (!markers) return "";
  for (std::size_t i = 0; i < out.plain; ++i)
    for (std::size_t cut = 1; cut < out.rules[i].lhs.size(); ++cut) {
      Word l(out.rules[i].lhs.begin(), out.rules[i].lhs.begin() + static_cast<std::ptrdiff_t>(cut));
      l.push_back(marker);
      out.rules.push_back(Rule{l, out.rules[i].rhs});
      out.strict.push_back(out.strict[i]);
    }
  return "";
}

// The first compatibility fault on a path from q that reads a left side, or "": for
// every such path to p with smallest height low (the cap for the empty path), the rule's
// right side must read from q to p at one height only: low + 1 for a strict rule, which
// must not be above the cap, min(low + 1, cap) for a weak one.
class PathCheck {
 public:
  PathCheck(const CheckedRules& rules, long long cap, const Moves& moves, const LeftSides& lefts)
      : rules_(rules), cap_(cap), moves_(moves), lefts_(lefts) {
    std::size_t longest = 0;
    for (const Rule& r : rules.rules) longest = std::max(longest, r.lhs.size());
    levels_.resize(longest + 1);
  }

  std::string From(int q) {
    q_ = q;
    levels_[0].assign(1, {q, INT_MAX});
    return Below(0, 0);
  }

 private:
  // The height of rule k's right side above a redex of smallest height `low`, or -1 when
  // there is none.
  long long Target(int k, int low) const {
    if (low == INT_MAX) return rules_.strict[k] ? -1 : cap_;  // the empty path
    const long long above = static_cast<long long>(low) + 1;
    if (rules_.strict[k]) return above <= cap_ ? above : -1;
    return std::min(above, cap_);
  }

  // A rule l -> ε at the paths `here` from q_ reading l: every transition s -a/h-> p
  // after such a path to s is one from q_ too (the letter after the redex keeps its
  // height), and a strict rule's path has a height below the cap (the step removes a
  // letter below it).
  std::string Deletion(int k, const std::vector<std::pair<int, int>>& here) const {
    const std::string where =
        "rule " + std::to_string(k + 1) + " from state " + std::to_string(q_ + 1);
    for (const auto& [s, low] : here) {
      if (rules_.strict[k] && (low == INT_MAX || low >= cap_))
        return where + ": a strict step that removes no letter below the cap " +
               std::to_string(cap_);
      for (Symbol a = 0; a < lefts_.letters(); ++a) {
        const auto [b, e] = moves_.From(s, a);
        const auto [qb, qe] = moves_.From(q_, a);
        for (const auto* m = b; m != e; ++m)
          if (!std::binary_search(qb, qe, *m))
            return where + ": the letter after the removed left side, " + std::to_string(s + 1) +
                   " " + std::to_string(a) + " " + std::to_string(m->first) + " " +
                   std::to_string(m->second + 1) + ", is not read from there";
      }
    }
    return "";
  }

  // The paths levels_[depth] (sorted (state, low) pairs) have read the word of `node`.
  std::string Below(int node, std::size_t depth) {
    const auto& here = levels_[depth];
    if (!lefts_.Ends(node).empty()) {
      lows_.clear();
      for (const auto& e : here) lows_.push_back(e.second);
      SortUnique(lows_);
      for (int k : lefts_.Ends(node)) {
        if (rules_.rules[k].rhs.empty()) {
          if (std::string fault = Deletion(k, here); !fault.empty()) return fault;
          continue;
        }
        for (const int low : lows_) {
          const long long target = Target(k, low);
          const std::string where =
              "rule " + std::to_string(k + 1) + " from state " + std::to_string(q_ + 1);
          if (target < 0)
            return where + ": a strict step above height " + std::to_string(low) +
                   " would need a height above the cap " + std::to_string(cap_);
          moves_.Read({q_}, rules_.rules[k].rhs, target, reach_);
          for (const auto& [p, l] : here)
            if (l == low && !std::binary_search(reach_.begin(), reach_.end(), p))
              return where + ": the right side is missing at height " + std::to_string(target);
        }
      }
    }
    for (Symbol a = 0; a < lefts_.letters(); ++a) {
      const int child = lefts_.Child(node, a);
      if (child < 0) continue;
      assert(depth + 1 < levels_.size());
      const bool any = Extend(here, levels_[depth + 1], [&](int s, auto&& emit) {
        const auto [b, e] = moves_.From(s, a);
        for (const auto* m = b; m != e; ++m) emit(m->second, m->first);
      });
      if (!any) continue;
      if (std::string fault = Below(child, depth + 1); !fault.empty()) return fault;
    }
    return "";
  }

  const CheckedRules& rules_;
  long long cap_;
  const Moves& moves_;
  const LeftSides& lefts_;
  int q_ = 0;
  std::vector<std::vector<std::pair<int, int>>> levels_;  // per depth: (state, low)
  std::vector<int> lows_, reach_;
};

// The first fault of the transitions of an automaton with `states` states over `letters`
// letters (a height above `cap` included), or "".
std::string CheckTransitions(const std::vector<MatchBoundWitness::Transition>& transitions,
                             int states, int letters, long long cap) {
  for (const auto& t : transitions) {
    if (t.from < 0 || t.from >= states || t.to < 0 || t.to >= states)
      return "a transition between unknown states";
    if (t.letter < 0 || t.letter >= letters) return "a transition with an unknown letter";
    if (t.height < 0) return "a negative height";
    if (t.height > cap) return "a height above the bound";
  }
  return "";
}

// The first compatibility fault of the automaton `moves` with `states` states for
// `rules` at heights up to `cap`, from every state, or "".
std::string CheckCompatible(const CheckedRules& rules, long long cap, const Moves& moves,
                            int states, int letters) {
  const LeftSides lefts(rules.rules, letters);
  PathCheck check(rules, cap, moves, lefts);
  for (int q = 0; q < states; ++q)
    if (std::string fault = check.From(q); !fault.empty()) return fault;
  return "";
}

// Every right side of the plain rules followed by any number of end markers, all at
// height 0, reads from state 0 to state 1: the sets of states reached after each further
// marker are followed until they repeat. "" or the first start word that does not.
std::string CheckForwardClosureStarts(const Problem& before, const CheckedRules& rules,
                                      const Moves& moves) {
  const Symbol marker = before.alphabet.size();
  std::vector<int> at, next;
  for (std::size_t i = 0; i < rules.plain; ++i) {
    moves.Read({0}, rules.rules[i].rhs, 0, at);
    std::set<std::vector<int>> visited;
    while (visited.insert(at).second) {
      if (!std::binary_search(at.begin(), at.end(), 1))
        return "the start word " + WordText(before.alphabet, rules.rules[i].rhs) +
               " followed by end markers is not accepted";
      moves.Read(at, Word{marker}, 0, next);
      at.swap(next);
    }
  }
  return "";
}

}  // namespace

std::string MatchBoundWitness::Recheck(const Problem& before,
                                       const std::vector<Problem>& after) const {
  if (!before.IsStandard()) return "a match bound for a problem that is not standard";
  if (!after.empty()) return "a match bound with subproblems";
  if (states < 2) return "fewer than two states";
  const Symbol marker = before.alphabet.size();
  if (std::string e = CheckTransitions(transitions, states, marker + 1, bound); !e.empty())
    return e;
  // The rules as the proof states them, rebuilt from the problem.
  CheckedRules rules;
  if (std::string e = RebuildRules(before, reversed, std::vector<bool>(before.strict.size(), true),
                                   false, true, rules);
      !e.empty())
    return e;
  const Moves moves(transitions, states, marker + 1);
  if (std::string e = CheckForwardClosureStarts(before, rules, moves); !e.empty()) return e;
  // Compatibility, from every state, without a cap: the bound is checked above.
  return CheckCompatible(rules, LLONG_MAX, moves, states, marker + 1);
}

namespace {

// The letters with the end marker after them, named # (or #1, #2, ... when the problem
// has a letter named #).
Alphabet WithMarker(const Alphabet& alphabet, std::string& marker) {
  Alphabet names = alphabet;
  marker = alphabet.FreeName("#");
  names.Add(marker);
  return names;
}

// One line per transition, "from letter height to" with states counted from 1, in the
// order of their source states.
void PrintTransitions(const Alphabet& names,
                      const std::vector<MatchBoundWitness::Transition>& transitions,
                      std::vector<std::string>& lines) {
  std::vector<MatchBoundWitness::Transition> sorted = transitions;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const auto& a, const auto& b) { return a.from < b.from; });
  for (const auto& t : sorted)
    lines.push_back("    " + std::to_string(t.from + 1) + " " + names.names[t.letter] + " " +
                    std::to_string(t.height) + " " + std::to_string(t.to + 1));
}

}  // namespace

void MatchBoundWitness::Print(const Problem& before, std::vector<std::string>& lines) const {
  std::string marker;
  const Alphabet names = WithMarker(before.alphabet, marker);
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
  PrintTransitions(names, transitions, lines);
}

namespace {

// The time the calling thread has run, in seconds: without the time it waited for a
// turn of the run's scheduler (the wall clock where there is no thread clock).
double ThreadSeconds() {
#ifdef CLOCK_THREAD_CPUTIME_ID
  timespec t{};
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) == 0)
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
#endif
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

}  // namespace

Result FindMatchBound(const Problem& p, const Budget& budget, const MatchBoundOptions& options) {
  if (!p.IsStandard()) return Result::None("only for standard problems");
  if (p.strict.empty()) return Result::None();
  for (const Rule& r : p.strict)
    if (r.lhs.empty()) return Result::None("a rule with an empty left side");
  const Symbol marker = p.alphabet.size();
  // One completion per direction tried, advanced in turns until one is compatible: each
  // turn goes to the completion that has had the least time so far, so that both get
  // equal time (a step of a completion that has grown large costs more, and steps
  // counted alike would give the larger one most of the time).
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
    Completion c;
    c.cap = options.maxHeight;
    c.maxTransitions = options.maxTransitions;
    c.reuse = options.reuse;
    at.builder = std::make_unique<Builder>(at.rules, marker + 1, c);
    StartForwardClosures(*at.builder, at.rules, marker);
  }
  std::string why;
  const std::size_t turn = attempts.size() > 1 ? 1 << 16 : SIZE_MAX;
  std::vector<double> spent(attempts.size(), 0);  // seconds of this thread's time
  const Attempt* done = nullptr;
  while (!done) {
    // The running completion that has had the least time (the first on a tie).
    std::size_t k = attempts.size();
    for (std::size_t i = 0; i < attempts.size(); ++i)
      if (attempts[i].builder && (k == attempts.size() || spent[i] < spent[k])) k = i;
    if (k == attempts.size()) return Result::None(why);
    Attempt& at = attempts[k];
    const double start = ThreadSeconds();
    const auto progress = at.builder->Advance(budget, turn);  // at least its allowance
    spent[k] += ThreadSeconds() - start;
    if (progress == Builder::Progress::Compatible) {
      done = &at;
    } else if (progress == Builder::Progress::GaveUp) {
      why += (why.empty() ? "" : "; ") + std::string(at.reversed ? "reversed: " : "") +
             at.builder->why();
      at.builder.reset();
    }
  }
  auto w = std::make_shared<MatchBoundWitness>();
  w->reversed = done->reversed;
  w->bound = done->builder->bound();
  w->states = done->builder->states();
  w->transitions = done->builder->transitions();
  return Result::Proof(w);
}

// ---- Match bounds as rule removal ------------------------------------------------------

std::string MatchBoundRemovalWitness::Recheck(const Problem& before,
                                              const std::vector<Problem>& after) const {
  if (!before.IsRelative()) return "a match-bound rule removal outside a relative problem";
  const bool closures = start == StartWords::ForwardClosures;
  // Forward closures say nothing about a derivation that weak rules take part in.
  if (closures && !before.IsStandard())
    return "forward closures as start words of a problem with weak rules";
  if (cap < 1 || cap == INT_MAX) return "a cap outside 1 and the largest height";
  if (states < (closures ? 2 : 1)) return "too few states";
  const auto n = static_cast<int>(before.strict.size());
  if (removed.empty()) return "no rule removed";
  if (!AscendingIndices(removed, before.strict.size()))
    return "the removed rules are not ascending rule numbers";
  if (static_cast<int>(removed.size()) == n) {
    if (!after.empty()) return "a removal of every strict rule with subproblems";
  } else if (after.size() != 1 || !IsWithoutRules(after[0], before, removed, {})) {
    return "the subproblem is not the problem without the removed rules";
  }
  const int letters = before.alphabet.size() + (closures ? 1 : 0);
  if (std::string e = CheckTransitions(transitions, states, letters, cap); !e.empty()) return e;
  std::vector<bool> strict(before.strict.size(), false);
  for (const int i : removed) strict[i] = true;
  CheckedRules rules;
  if (std::string e = RebuildRules(before, reversed, strict, false, closures, rules); !e.empty())
    return e;
  const Moves moves(transitions, states, letters);
  if (closures) {
    if (std::string e = CheckForwardClosureStarts(before, rules, moves); !e.empty()) return e;
  } else {
    // Every word at height 0 reads from state 0 back to state 0.
    for (Symbol a = 0; a < before.alphabet.size(); ++a) {
      const auto [b, e] = moves.From(0, a);
      if (std::find(b, e, std::pair<int, int>{0, 0}) == e)
        return "state 1 does not read " + before.alphabet.names[a] + " at height 0 into itself";
    }
  }
  return CheckCompatible(rules, cap, moves, states, letters);
}

void MatchBoundRemovalWitness::Print(const Problem& before, std::vector<std::string>& lines) const {
  const bool closures = start == StartWords::ForwardClosures;
  std::string marker;
  const Alphabet names = closures ? WithMarker(before.alphabet, marker) : before.alphabet;
  std::vector<bool> strict(before.strict.size(), false);
  for (const int i : removed)
    if (i >= 0 && static_cast<std::size_t>(i) < strict.size()) strict[i] = true;
  const MarkedRules m = LiftRules(before, reversed, start, strict);
  lines.push_back("match bounds as rule removal, heights 0 to " + std::to_string(cap) + ", on " +
                  (closures ? "the right-hand sides of forward closures" : "every word") +
                  (reversed ? " of the reversed rules" : "") +
                  (closures ? ", end marker " + marker : std::string()));
  lines.push_back(std::string("  rules") +
                  (closures ? " (with empty right sides expanded, and end-marker rules)" : "") +
                  ": strict (->) one height above their redex, weak (->=) at most at " +
                  std::to_string(cap) + ":");
  for (std::size_t k = 0; k < m.rules.size(); ++k)
    lines.push_back("    " + RuleText(names, m.rules[k], !m.strict[k]));
  if (closures)
    lines.push_back(
        "  start words: every right side of the rules above (height 0), then any "
        "number of " +
        marker + " (height 0)");
  else
    lines.push_back("  start words: every word (height 0), read by state 1 into itself");
  lines.push_back("  automaton: " + std::to_string(states) + (states == 1 ? " state" : " states") +
                  ", initial 1, final " + (closures ? "2, " : "1, ") +
                  std::to_string(transitions.size()) + " transitions (from, letter, height, to):");
  PrintTransitions(names, transitions, lines);
  for (const int i : removed)
    if (i >= 0 && static_cast<std::size_t>(i) < before.strict.size())
      lines.push_back("  removes " + RuleText(before.alphabet, before.strict[i]));
}

cpf::Written MatchBoundRemovalWitness::Certify(const Problem& before,
                                               const std::vector<Problem>& after,
                                               const std::vector<cpf::Fragment>& subproofs) const {
  if (start != StartWords::AllWords)
    return std::string(
        "a match bound on forward closures: the certifier's start words are all terms");
  if (!after.empty() || !subproofs.empty() || removed.size() != before.strict.size())
    return std::string(
        "a match-bound removal of some rules: the certifier's bounds remove every rule");
  for (const auto* rules : {&before.strict, &before.weak})
    for (const Rule& r : *rules)
      if (r.rhs.empty())
        return std::string("a rule with an empty right side: the automaton is for l a -> a");
  Problem target = before;
  if (reversed) {
    target.strict = Reversed(before.strict);
    target.weak = Reversed(before.weak);
  }
  // The certifier checks every rule as strict, the weak ones too.
  if (!before.weak.empty()) {
    CheckedRules all;
    if (std::string e = RebuildRules(target, false, std::vector<bool>(target.strict.size(), true),
                                     true, false, all);
        !e.empty())
      return e;
    const int letters = before.alphabet.size();
    if (std::string e = CheckTransitions(transitions, states, letters, cap); !e.empty()) return e;
    const Moves moves(transitions, states, letters);
    if (std::string e = CheckCompatible(all, cap, moves, states, letters); !e.empty())
      return "the weak rules are not compatible as strict ones, as the certifier checks them: " + e;
  }
  // The largest height used as the bound: the certifier tries every lifting of every left
  // side up to it, and every step written one above its redex stays within it.
  cpf::HeightAutomaton a;
  a.states = states;
  for (const Transition& t : transitions) a.bound = std::max(a.bound, t.height);
  a.accepting = {0};
  for (const Transition& t : transitions)
    a.transitions.push_back({t.from, t.letter, t.height, t.to});
  cpf::Written leaf = cpf::MatchBoundsOnAllWords(target, a);
  if (!reversed || !cpf::Ok(leaf)) return leaf;
  return cpf::Reversal(before, target, std::get<cpf::Fragment>(leaf));
}

Result FindMatchBoundRemoval(const Problem& p, const Budget& budget,
                             const MatchBoundRemovalOptions& options) {
  if (!p.IsRelative()) return Result::None("only for relative problems");
  if (p.strict.empty()) return Result::None();
  const bool closures = options.start == StartWords::ForwardClosures;
  if (closures && !p.weak.empty())
    return Result::None("forward closures are start words of standard problems only");
  for (const Rule& r : p.strict)
    if (r.lhs.empty()) return Result::None("a strict rule with an empty left side");
  // The directions tried: the one of `options`, or R then R^rev at every cap.
  std::vector<bool> directions{options.reversed};
  if (options.bothDirections) directions = {false, true};
  std::vector<MarkedRules> rules;
  for (const bool reversed : directions)
    rules.push_back(
        LiftRules(p, reversed, options.start, std::vector<bool>(p.strict.size(), true)));
  const int letters = p.alphabet.size() + (closures ? 1 : 0);
  std::vector<std::string> why(directions.size());
  const std::size_t attempts = options.caps.size() * directions.size();
  for (std::size_t i = 0; i < attempts; ++i) {
    if (budget.Expired()) break;
    const int cap = options.caps[i / directions.size()];
    const std::size_t d = i % directions.size();
    if (cap < 1) continue;
    // One direction: each cap gets an equal part of the time left. Both: each attempt
    // half of it, the last one all.
    const double share =
        budget.SecondsLeft() /
        (directions.size() > 1 && i + 1 < attempts ? 2.0 : static_cast<double>(attempts - i));
    const Budget slice = budget.Within(std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(std::min(share, 1e8))));
    Completion c;
    c.cap = cap;
    c.maxTransitions = options.maxTransitions;
    c.reuse = options.reuse;
    c.demote = !options.removeAll;
    c.universalAtCap = true;
    Builder b(rules[d], letters, c);
    if (closures)
      StartForwardClosures(b, rules[d], p.alphabet.size());
    else
      StartAllWords(b, p.alphabet.size());
    const auto progress = b.Advance(slice, SIZE_MAX);
    if (progress != Builder::Progress::Compatible) {
      why[d] += (why[d].empty() ? "cap " : "; cap ") + std::to_string(cap) + ": " + b.why();
      continue;
    }
    auto w = std::make_shared<MatchBoundRemovalWitness>();
    w->reversed = directions[d];
    w->start = options.start;
    w->cap = cap;
    for (const int o : b.strictOrigins())
      if (o < static_cast<int>(p.strict.size())) w->removed.push_back(o);
    assert(!w->removed.empty());
    w->states = b.states();
    w->transitions = b.transitions();
    if (w->removed.size() == p.strict.size()) return Result::Proof(w);
    Problem rest = WithoutRules(p, w->removed, {});
    return Result::Step(w, {std::move(rest)});
  }
  if (why.size() > 1 && !why[1].empty())
    why[0] += (why[0].empty() ? "" : "; ") + ("reversed: " + why[1]);
  return Result::None(why[0]);
}

}  // namespace velkin::strong
