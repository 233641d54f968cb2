#include "strong/techniques/closures.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <functional>
#include <queue>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "strong/techniques/byte_words.h"

namespace velkin::strong {

namespace {

// A pair (s, t) with s ->+ t. Its derivation is its parent's derivation, placed in a
// context, followed by one step: `rule` at `at` of the word the context makes of the
// parent's t. `shift` is the length of the left context (0 for a rule's own pair).
//
// `at` is also where the last step's right side begins in t. An inside step whose left
// side ends at or before it is independent of that step and could have come first, so
// the search leaves it out: every pair is still reached, by the derivation with such
// steps swapped forward (the words and the rules used stay the same).
struct Node {
  std::uint64_t s;      // where s begins in the search's word store
  std::uint64_t t;      // where t begins
  std::uint32_t sSize;  // |s|
  std::uint32_t tSize;  // |t|
  std::int32_t parent;  // -1: the pair (l, r) of rule `rule`
  std::int32_t rule;
  std::uint32_t at;
  std::uint32_t shift;
  std::uint32_t hash;  // of the pair, kept so that the table grows without hashing again
  bool strict;         // some step of the derivation uses a strict rule
};

class Search {
 public:
  Search(std::vector<SearchRule> rules, const ClosureOptions& options)
      : rules_(std::move(rules)), options_(options), slots_(1024, -1) {}

  // Runs until a loop is found (its node's index), or returns -1 with `note_` saying why.
  std::int32_t Run(const Budget& budget) {
    budget_ = &budget;
    for (std::size_t i = 0; i < rules_.size(); ++i) {
      const SearchRule& r = rules_[i];
      if (Offer(r.l, r.r, -1, static_cast<std::int32_t>(i), 0, 0, r.strict)) return Stopped();
    }
    while (!queue_.empty()) {
      if (memory_ > options_.memoryBytes) {
        note_ = "the memory limit was reached after " + std::to_string(nodes_.size()) + " pairs";
        return -1;
      }
      const std::int32_t n = queue_.top().second;
      queue_.pop();
      if (Expand(n)) return Stopped();
    }
    note_ = "every closure within the length limit was tried";
    return -1;
  }

  // The rules and positions of the derivation s ->+ t of node n, from s.
  void Derivation(std::int32_t n, std::vector<std::size_t>& ruleIndex,
                  std::vector<std::size_t>& positions) const {
    std::uint64_t shift = 0;
    for (std::int32_t k = n; k >= 0; k = nodes_[k].parent) {
      ruleIndex.push_back(rules_[nodes_[k].rule].index);
      positions.push_back(static_cast<std::size_t>(nodes_[k].at + shift));
      shift += nodes_[k].shift;
    }
    std::reverse(ruleIndex.begin(), ruleIndex.end());
    std::reverse(positions.begin(), positions.end());
  }

  // The words s and t of node n: views into the store, valid until the next Offer.
  std::string_view S(std::int32_t n) const {
    return {words_.data() + nodes_[n].s, nodes_[n].sSize};
  }
  std::string_view T(std::int32_t n) const {
    return {words_.data() + nodes_[n].t, nodes_[n].tSize};
  }
  const std::string& note() const { return note_; }

 private:
  // What Run returns once Offer asked to stop: the loop's node, or -1 with the note.
  std::int32_t Stopped() {
    if (found_ >= 0) return found_;
    note_ = "the budget ran out after " + std::to_string(nodes_.size()) + " pairs";
    return -1;
  }

  // True, and the search is to stop, when the budget has ended; polled every 256 calls.
  bool Expired() { return (++polls_ & 255) == 0 && budget_->Expired(); }

  // The hash of a pair, folded to 32 bits.
  static std::uint32_t HashOf(std::string_view s, std::string_view t) {
    const std::size_t h = std::hash<std::string_view>{}(s);
    const std::uint64_t m =
        h ^ (std::hash<std::string_view>{}(t) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
    return static_cast<std::uint32_t>(m ^ (m >> 32));
  }

  // The slot of the kept node with n's pair, or the empty slot (-1) where it would go:
  // open addressing with linear probing, no more than half the slots used, so that a
  // search of millions of pairs holds one array instead of a node per pair.
  std::int32_t& Slot(std::int32_t n) {
    const std::size_t mask = slots_.size() - 1;
    const std::uint32_t hash = nodes_[n].hash;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      std::int32_t& k = slots_[i];
      if (k < 0 || (nodes_[k].hash == hash && S(k) == S(n) && T(k) == T(n))) return k;
    }
  }

  // Doubles the slots, placing every kept node again by its kept hash. False when the
  // budget ended meanwhile: the slots are then incomplete, and the search must stop.
  bool Grow() {
    std::vector<std::int32_t> old(slots_.size() * 2, -1);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const std::int32_t k : old) {
      if (Expired()) return false;
      if (k < 0) continue;
      std::size_t i = nodes_[k].hash & mask;
      while (slots_[i] >= 0) i = (i + 1) & mask;
      slots_[i] = k;
    }
    return true;
  }

  // Keeps the new pair (s, t) unless it was seen with a strict step when this one has
  // one, or with as few restrictions on its next inside steps (an `at` no greater).
  // `s` and `t` must not point into the store. Returns true when the search is to stop:
  // the pair is a loop (found_ is set), or the budget has ended.
  bool Offer(std::string_view s, std::string_view t, std::int32_t parent, std::int32_t rule,
             std::uint32_t at, std::uint32_t shift, bool strict) {
    // Polled per pair, not per pair expanded: a long t with many redexes makes thousands.
    if (Expired()) return true;
    if (s.size() + t.size() > options_.maxPairLength) return false;
    const std::size_t mark = words_.size();
    words_.append(s).append(t);
    nodes_.push_back(Node{mark, mark + s.size(), static_cast<std::uint32_t>(s.size()),
                          static_cast<std::uint32_t>(t.size()), parent, rule, at, shift,
                          HashOf(s, t), strict});
    const std::int32_t n = static_cast<std::int32_t>(nodes_.size() - 1);
    std::int32_t& slot = Slot(n);
    if (slot >= 0) {
      const Node& old = nodes_[slot];
      const bool better = old.strict == strict ? at < old.at : strict;
      if (!better) {
        nodes_.pop_back();
        words_.resize(mark);
        return false;
      }
      slot = n;  // the same pair, now with a strict step or fewer restrictions
    } else {
      slot = n;
      if (++used_ * 2 > slots_.size() && !Grow()) return true;
    }
    memory_ += sizeof(Node) + 8 + s.size() + t.size();  // the node, its slots, its words
    if (strict && t.find(s) != std::string_view::npos) {
      found_ = n;
      return true;
    }
    queue_.emplace(static_cast<std::uint32_t>(options_.startWeight * s.size() + t.size()), n);
    return false;
  }

  // Offers every combination of node n with every rule; true when the search is to stop
  // (a loop, or the budget's end).
  bool Expand(std::int32_t n) {
    // Copies: Offer may move the store.
    s_.assign(S(n));
    t_.assign(T(n));
    const Bytes& s = s_;
    const Bytes& t = t_;
    Bytes& ns = nextS_;
    Bytes& nt = nextT_;
    const bool parentStrict = nodes_[n].strict;
    const std::size_t last = nodes_[n].parent < 0 ? 0 : nodes_[n].at;
    for (std::size_t i = 0; i < rules_.size(); ++i) {
      const SearchRule& rule = rules_[i];
      const auto ri = static_cast<std::int32_t>(i);
      const bool strict = parentStrict || rule.strict;
      const Bytes& l = rule.l;
      const Bytes& r = rule.r;
      if (options_.overlaps & kInside) {
        // Left sides that end after `last`, the earliest start being last + 1 - |l|.
        const std::size_t from = last + 1 > l.size() ? last + 1 - l.size() : 0;
        for (std::size_t pos = t.find(l, from); pos != Bytes::npos; pos = t.find(l, pos + 1)) {
          nt.assign(t, 0, pos).append(r).append(t, pos + l.size());
          if (Offer(s, nt, n, ri, static_cast<std::uint32_t>(pos), 0, strict)) return true;
        }
      }
      const std::size_t most = l.empty() ? 0 : std::min(l.size() - 1, t.size());
      if (options_.overlaps & kRight) {
        // t = x l1 with l1 a proper, non-empty prefix of l.
        for (std::size_t k = 1; k <= most; ++k) {
          if (t.compare(t.size() - k, k, l, 0, k) != 0) continue;
          const std::size_t x = t.size() - k;
          ns.assign(s).append(l, k);
          nt.assign(t, 0, x).append(r);
          if (Offer(ns, nt, n, ri, static_cast<std::uint32_t>(x), 0, strict)) return true;
        }
      }
      if (options_.overlaps & kLeft) {
        // t = l2 y with l2 a proper, non-empty suffix of l.
        for (std::size_t k = 1; k <= most; ++k) {
          if (t.compare(0, k, l, l.size() - k, k) != 0) continue;
          const std::size_t l1 = l.size() - k;
          ns.assign(l, 0, l1).append(s);
          nt.assign(r).append(t, k);
          if (Offer(ns, nt, n, ri, 0, static_cast<std::uint32_t>(l1), strict)) return true;
        }
      }
      if ((options_.overlaps & kContaining) && t.size() < l.size()) {
        for (std::size_t pos = l.find(t); pos != Bytes::npos; pos = l.find(t, pos + 1)) {
          ns.assign(l, 0, pos).append(s).append(l, pos + t.size());
          if (Offer(ns, r, n, ri, 0, static_cast<std::uint32_t>(pos), strict)) return true;
        }
      }
    }
    return false;
  }

  std::vector<SearchRule> rules_;
  ClosureOptions options_;
  std::vector<Node> nodes_;
  // Every kept pair's s and t, one after the other: a few large blocks, so that a search
  // of millions of pairs is freed at once when it ends.
  Bytes words_;
  Bytes s_, t_, nextS_, nextT_;      // scratch words of Expand
  std::vector<std::int32_t> slots_;  // the kept pairs by hash; -1: empty
  std::size_t used_ = 0;             // slots holding a pair
  std::priority_queue<std::pair<std::uint32_t, std::int32_t>,
                      std::vector<std::pair<std::uint32_t, std::int32_t>>, std::greater<>>
      queue_;
  std::size_t memory_ = 0;
  std::int32_t found_ = -1;
  std::string note_;
  const Budget* budget_ = nullptr;  // Run's
  std::size_t polls_ = 0;
};

}  // namespace

Result FindLoopByClosures(const Problem& p, const Budget& budget, const ClosureOptions& options) {
  if (std::optional<Result> none = NoLoopSearch(p)) return std::move(*none);
  const Problem searched = MaybeReversed(p, options.reversed);
  Search search(SearchRules(searched), options);
  const std::int32_t n = search.Run(budget);
  if (n < 0) return Result::None(search.note());
  std::vector<std::size_t> ruleIndex, positions;
  search.Derivation(n, ruleIndex, positions);
  const std::string by = options.reversed ? "closures of the reversed rules" : "closures";
  auto w = MakeLoopWitness(searched, ToWord(search.S(n)), ruleIndex, positions, by);
  if (!w) return Result::None("a derivation did not replay (a bug)");
  if (options.reversed) w = UnreversedLoop(*w);
  return Result::Loop(w);
}

}  // namespace velkin::strong
