#include "strong/techniques/cycle_loops.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <deque>
#include <limits>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "strong/loop.h"
#include "strong/techniques/byte_words.h"

namespace velkin::strong {

namespace {

// A word of length n over k letters as the number with its letters as digits in base k,
// the first letter the most significant: every word of that length is one index below
// k^n, so that the search's arrays are indexed by words.
using Code = std::uint32_t;

// The bytes per word that the arrays of one length hold (index, low link, the on-stack
// bit), before the stacks.
constexpr double kBytesPerWord = 8.125;

// One length's search: Tarjan's algorithm over the words of length n, the edges the steps
// of `rules` (sides as digits), stopping at the first strict edge inside a component.
class CycleSearch {
 public:
  enum class Outcome { kLoop, kNone, kBudget, kMemory };

  CycleSearch(const std::vector<SearchRule>& rules, std::size_t letters, std::size_t n)
      : rules_(rules), k_(letters), n_(n), byFirst_(letters) {
    pw_.assign(n + 1, 1);
    for (std::size_t i = 1; i <= n; ++i) pw_[i] = pw_[i - 1] * k_;
    words_ = pw_[n];
    for (std::size_t j = 0; j < rules_.size(); ++j) {
      const SearchRule& r = rules_[j];
      byFirst_[static_cast<unsigned char>(r.l[0])].push_back(static_cast<std::uint32_t>(j));
      delta_.push_back(static_cast<std::int64_t>(Number(r.r)) -
                       static_cast<std::int64_t>(Number(r.l)));
    }
    digits_.assign(n, '\0');
  }

  // Searches every word of length n. On kLoop, loopStart() and loopSteps() hold a
  // derivation from that word back to it with a strict step.
  Outcome Run(const Budget& budget, std::size_t memoryBytes) {
    index_.assign(words_, 0);
    low_.assign(words_, 0);
    onStack_.assign(words_, false);
    const std::size_t fixed = static_cast<std::size_t>(kBytesPerWord * static_cast<double>(words_));
    std::size_t polls = 0;
    for (std::uint64_t root = 0; root < words_; ++root) {
      if (index_[root] != 0) continue;
      if ((++polls & 1023) == 0 && budget.Expired()) return Outcome::kBudget;
      Decode(static_cast<Code>(root));
      // Every cycle with a strict step passes through a word with a strict redex, so
      // the searches may start at those alone.
      if (!HasStrictRedex()) continue;
      Push(static_cast<Code>(root), kNoRule, 0);
      while (!frames_.empty()) {
        if ((++polls & 1023) == 0) {
          if (budget.Expired()) return Outcome::kBudget;
          if (fixed + frames_.capacity() * sizeof(Frame) + stack_.capacity() * sizeof(Code) >
              memoryBytes)
            return Outcome::kMemory;
        }
        Frame& f = frames_.back();
        std::uint32_t rule = 0;
        std::size_t pos = 0;
        if (NextEdge(f, rule, pos)) {
          const Code x = f.word;
          const Code y = Successor(x, rule, pos);
          if (index_[y] == 0) {
            Apply(rules_[rule].r, pos);
            Push(y, rule, pos);
          } else if (onStack_[y]) {
            // y reaches x through words on the stack: x -> y closes a cycle.
            low_[x] = std::min(low_[x], index_[y]);
            if (rules_[rule].strict) return Found(x, y, rule, pos);
          }
          continue;
        }
        // Every edge of the top word is done.
        const Frame done = f;
        if (low_[done.word] == index_[done.word]) {
          Code w;
          do {
            w = stack_.back();
            stack_.pop_back();
            onStack_[w] = false;
          } while (w != done.word);
        }
        frames_.pop_back();
        if (frames_.empty()) break;
        Apply(rules_[done.inRule].l, done.inPos);  // back to the parent's word
        const Code parent = frames_.back().word;
        low_[parent] = std::min(low_[parent], low_[done.word]);
        // Still on the stack: its component is the parent's, so the tree edge lies on
        // a cycle.
        if (onStack_[done.word] && rules_[done.inRule].strict)
          return Found(parent, done.word, done.inRule, done.inPos);
      }
    }
    return Outcome::kNone;
  }

  const Bytes& loopStart() const { return start_; }
  const std::vector<std::pair<std::size_t, std::size_t>>& loopSteps() const { return steps_; }

 private:
  static constexpr std::uint32_t kNoRule = std::numeric_limits<std::uint32_t>::max();

  // A word on the depth-first path, the edge (rule, position) that led to it, and where
  // its scan of redexes stands.
  struct Frame {
    Code word;
    std::uint32_t inRule;
    std::uint32_t inPos;
    std::uint32_t pos;   // the position being scanned
    std::uint32_t next;  // the next rule of byFirst_ at that position
  };

  // The number of `digits` (most significant first).
  std::uint64_t Number(const Bytes& digits) const {
    std::uint64_t x = 0;
    for (const char d : digits) x = x * k_ + static_cast<unsigned char>(d);
    return x;
  }

  // digits_ = the letters of word x.
  void Decode(Code x) {
    std::uint64_t v = x;
    for (std::size_t i = n_; i-- > 0;) {
      digits_[i] = static_cast<char>(v % k_);
      v /= k_;
    }
  }

  // Writes `side` into digits_ at `pos`.
  void Apply(const Bytes& side, std::size_t pos) {
    std::memcpy(digits_.data() + pos, side.data(), side.size());
  }

  // The word that `rule` at `pos` makes of x (whose digits are in digits_).
  Code Successor(Code x, std::uint32_t rule, std::size_t pos) const {
    const std::size_t below = n_ - pos - rules_[rule].l.size();
    const std::int64_t y =
        static_cast<std::int64_t>(x) + delta_[rule] * static_cast<std::int64_t>(pw_[below]);
    assert(y >= 0 && static_cast<std::uint64_t>(y) < words_);
    return static_cast<Code>(y);
  }

  bool Matches(const SearchRule& r, std::size_t pos) const {
    return pos + r.l.size() <= n_ && std::memcmp(digits_.data() + pos, r.l.data(), r.l.size()) == 0;
  }

  bool HasStrictRedex() const {
    for (std::size_t pos = 0; pos < n_; ++pos)
      for (const std::uint32_t j : byFirst_[static_cast<unsigned char>(digits_[pos])])
        if (rules_[j].strict && Matches(rules_[j], pos)) return true;
    return false;
  }

  // The next redex of f's word (in digits_) from where its scan stands.
  bool NextEdge(Frame& f, std::uint32_t& rule, std::size_t& pos) const {
    for (; f.pos < n_; ++f.pos, f.next = 0) {
      const auto& list = byFirst_[static_cast<unsigned char>(digits_[f.pos])];
      while (f.next < list.size()) {
        const std::uint32_t j = list[f.next++];
        if (Matches(rules_[j], f.pos)) {
          rule = j;
          pos = f.pos;
          return true;
        }
      }
    }
    return false;
  }

  void Push(Code w, std::uint32_t inRule, std::size_t inPos) {
    index_[w] = low_[w] = ++counter_;
    stack_.push_back(w);
    onStack_[w] = true;
    frames_.push_back(Frame{w, inRule, static_cast<std::uint32_t>(inPos), 0, 0});
  }

  // The loop through the strict edge x -> y, whose y reaches x through words on the
  // stack: a breadth-first search among them for the path back.
  Outcome Found(Code x, Code y, std::uint32_t rule, std::size_t pos) {
    struct Back {
      Code from;
      std::uint32_t rule, pos;
    };
    std::unordered_map<Code, Back> reached{{y, Back{y, kNoRule, 0}}};
    std::deque<Code> queue{y};
    while (!queue.empty() && !reached.count(x)) {
      const Code v = queue.front();
      queue.pop_front();
      Decode(v);
      Frame scan{v, kNoRule, 0, 0, 0};
      std::uint32_t j = 0;
      std::size_t at = 0;
      while (NextEdge(scan, j, at)) {
        const Code w = Successor(v, j, at);
        if (!onStack_[w] || reached.count(w)) continue;
        reached.emplace(w, Back{v, j, static_cast<std::uint32_t>(at)});
        queue.push_back(w);
      }
    }
    assert(reached.count(x));
    if (!reached.count(x)) return Outcome::kNone;  // not reached: a bug, never a loop
    steps_.clear();
    for (Code v = x; v != y;) {
      const Back& b = reached.at(v);
      steps_.emplace_back(b.rule, b.pos);
      v = b.from;
    }
    steps_.emplace_back(rule, pos);
    std::reverse(steps_.begin(), steps_.end());
    Decode(x);
    start_ = digits_;
    return Outcome::kLoop;
  }

  const std::vector<SearchRule>& rules_;
  std::uint64_t k_;
  std::size_t n_;
  std::vector<std::uint64_t> pw_;  // k^0 .. k^n
  std::uint64_t words_;            // k^n
  std::vector<std::vector<std::uint32_t>> byFirst_;
  std::vector<std::int64_t> delta_;  // the number of r minus that of l, per rule
  Bytes digits_;                     // the letters of the top frame's word
  std::vector<Code> index_, low_;    // 0: not visited
  std::vector<bool> onStack_;
  std::vector<Code> stack_;
  std::vector<Frame> frames_;
  Code counter_ = 0;
  Bytes start_;
  std::vector<std::pair<std::size_t, std::size_t>> steps_;  // rule, position
};

}  // namespace

std::vector<SearchRule> CycleRules(std::vector<SearchRule> rules) {
  std::erase_if(rules, [](const SearchRule& r) { return r.l.size() != r.r.size() || r.l.empty(); });
  // change[k][a]: how rule k changes the number of a's (a letter as its byte).
  std::vector<std::array<int, 256>> change(rules.size());
  for (std::size_t k = 0; k < rules.size(); ++k) {
    change[k].fill(0);
    for (const char c : rules[k].l) --change[k][static_cast<unsigned char>(c)];
    for (const char c : rules[k].r) ++change[k][static_cast<unsigned char>(c)];
  }
  std::vector<bool> kept(rules.size(), true);
  for (bool dropped = true; dropped;) {
    dropped = false;
    for (int a = 0; a < 256; ++a)
      for (const int sign : {1, -1}) {
        bool never = true, some = false;  // never against the sign, some along it
        for (std::size_t k = 0; k < rules.size(); ++k)
          if (kept[k]) {
            never = never && sign * change[k][a] >= 0;
            some = some || sign * change[k][a] > 0;
          }
        if (!never || !some) continue;
        for (std::size_t k = 0; k < rules.size(); ++k)
          if (sign * change[k][a] > 0) kept[k] = false;
        dropped = true;
      }
  }
  std::vector<SearchRule> out;
  for (std::size_t k = 0; k < rules.size(); ++k)
    if (kept[k]) out.push_back(std::move(rules[k]));
  return out;
}

Result FindLoopByCycles(const Problem& p, const Budget& budget, const CycleLoopOptions& options) {
  if (std::optional<Result> none = NoLoopSearch(p)) return std::move(*none);
  // The rules that may take part in a cycle, their letters as digits 0..k-1.
  std::vector<SearchRule> rules;
  std::vector<int> digit(256, -1);
  std::vector<Symbol> letters;
  bool strict = false;
  for (SearchRule& r : CycleRules(SearchRules(p))) {
    for (const Bytes* side : {&r.l, &r.r})
      for (const char c : *side) {
        const unsigned char a = static_cast<unsigned char>(c);
        if (digit[a] < 0) {
          digit[a] = 0;
          letters.push_back(a);
        }
      }
    strict = strict || r.strict;
    rules.push_back(std::move(r));
  }
  if (!strict) return Result::None("no strict rule can take part in a cycle");
  std::sort(letters.begin(), letters.end());
  for (std::size_t i = 0; i < letters.size(); ++i) digit[letters[i]] = static_cast<int>(i);
  for (SearchRule& r : rules)
    for (Bytes* side : {&r.l, &r.r})
      for (char& c : *side) c = static_cast<char>(digit[static_cast<unsigned char>(c)]);
  const std::size_t k = letters.size();
  const std::size_t most = options.maxLength;

  std::uint64_t words = 1;
  for (std::size_t n = 1; n <= most; ++n) {
    words *= k;
    if (words > std::numeric_limits<Code>::max() ||
        kBytesPerWord * static_cast<double>(words) > static_cast<double>(options.memoryBytes))
      return Result::None("the memory limit was reached: no cycle among words of length " +
                          std::to_string(n - 1) + " or less");
    if (budget.Expired()) return Result::None("the budget ran out at length " + std::to_string(n));
    CycleSearch search(rules, k, n);
    const CycleSearch::Outcome outcome = search.Run(budget, options.memoryBytes);
    if (outcome == CycleSearch::Outcome::kBudget)
      return Result::None("the budget ran out at length " + std::to_string(n));
    if (outcome == CycleSearch::Outcome::kMemory)
      return Result::None("the memory limit was reached at length " + std::to_string(n));
    if (outcome == CycleSearch::Outcome::kNone) continue;
    // The start word's digits back to the problem's letters (trimming reads no letter).
    Bytes start = search.loopStart();
    for (char& d : start) d = static_cast<char>(letters[static_cast<unsigned char>(d)]);
    auto w = TrimmedLoopWitness(p, std::move(start), search.loopSteps(), rules,
                                "a cycle among words of one length");
    if (!w) return Result::None("a cycle did not replay (a bug)");
    return Result::Loop(w);
  }
  return Result::None("no cycle among words of length " + std::to_string(most) + " or less");
}

}  // namespace velkin::strong
