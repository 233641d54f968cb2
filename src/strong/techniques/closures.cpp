#include "strong/techniques/closures.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdint>
#include <functional>
#include <memory>
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
  std::uint64_t s;      // where s begins in the search's word store; t follows it
  std::uint32_t sSize;  // |s|
  std::uint32_t tSize;  // |t|
  std::int32_t parent;  // -1: the pair (l, r) of rule `rule`
  std::int32_t rule;
  std::uint32_t at;
  std::uint32_t shift;
  std::uint32_t hash;  // of the pair, kept so that the table grows without hashing again
  bool strict;         // some step of the derivation uses a strict rule
};

// Every kept pair's s and t, one after the other, in blocks that never move: a view of a
// kept word stays valid while the store lives, so that expanding a pair copies nothing,
// and a search of millions of pairs neither copies its words as it grows nor holds
// twice their size while it does.
class WordStore {
 public:
  // `largest`: the most bytes one Append takes.
  explicit WordStore(std::size_t largest)
      : shift_(std::bit_width(std::max<std::size_t>(largest, 1 << 20) - 1)),
        block_(std::size_t{1} << shift_) {}

  // Stores s and then t, and returns where s begins.
  std::uint64_t Append(std::string_view s, std::string_view t) {
    assert(s.size() + t.size() <= block_);
    if (blocks_.empty() || used_ + s.size() + t.size() > block_) {
      blocks_.emplace_back(new char[block_]);  // not zeroed: only written bytes are read
      used_ = 0;
    }
    char* to = blocks_.back().get() + used_;
    std::copy(s.begin(), s.end(), to);
    std::copy(t.begin(), t.end(), to + s.size());
    const std::uint64_t where = ((blocks_.size() - 1) << shift_) + used_;
    used_ += s.size() + t.size();
    return where;
  }

  // The byte at `where` (from Append) and those after it in the same Append.
  const char* At(std::uint64_t where) const {
    return blocks_[where >> shift_].get() + (where & (block_ - 1));
  }

 private:
  int shift_;          // log2 of block_
  std::size_t block_;  // bytes per block, a power of two
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t used_ = 0;  // bytes of the last block in use
};

// The pairs of the search by index, in blocks that never move (as WordStore, for the
// same reasons).
class NodeStore {
 public:
  static constexpr std::size_t kShift = 16;  // 2^16 nodes per block
  Node& operator[](std::size_t i) { return blocks_[i >> kShift][i & kMask]; }
  const Node& operator[](std::size_t i) const { return blocks_[i >> kShift][i & kMask]; }
  std::size_t size() const { return size_; }
  // Adds `n` at index size() - 1.
  void Add(const Node& n) {
    if ((size_ >> kShift) == blocks_.size()) blocks_.emplace_back(new Node[kMask + 1]);
    (*this)[size_++] = n;
  }

 private:
  static constexpr std::size_t kMask = (std::size_t{1} << kShift) - 1;
  std::vector<std::unique_ptr<Node[]>> blocks_;
  std::size_t size_ = 0;
};

// Node indices by priority, smallest first and among equal ones the earliest added:
// priorities are small numbers (at most startWeight + 1 times the longest pair), so a
// list per priority replaces a heap.
class BucketQueue {
 public:
  void Push(std::uint32_t priority, std::int32_t n) {
    if (priority >= buckets_.size()) buckets_.resize(priority + 1);
    buckets_[priority].items.push_back(n);
    least_ = std::min<std::size_t>(least_, priority);
    ++size_;
  }
  bool empty() const { return size_ == 0; }
  // The earliest added of the smallest priority, taken out; the queue must not be empty.
  std::int32_t Pop() {
    assert(size_ > 0);
    while (buckets_[least_].next == buckets_[least_].items.size()) ++least_;
    Bucket& b = buckets_[least_];
    const std::int32_t n = b.items[b.next++];
    if (b.next == b.items.size()) {
      b.items.clear();
      b.next = 0;
    }
    --size_;
    return n;
  }

 private:
  struct Bucket {
    std::vector<std::int32_t> items;
    std::size_t next = 0;  // items before it were taken
  };
  std::vector<Bucket> buckets_;
  std::size_t least_ = 0;  // no bucket below it holds an item
  std::size_t size_ = 0;
};

class Search {
 public:
  Search(std::vector<SearchRule> rules, const ClosureOptions& options)
      : rules_(std::move(rules)),
        options_(options),
        words_(options.maxPairLength),
        slots_(1024, 0) {}

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
      if (Expand(queue_.Pop())) return Stopped();
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

  // The words s and t of node n: views into the store, valid while the search lives.
  std::string_view S(std::int32_t n) const { return {words_.At(nodes_[n].s), nodes_[n].sSize}; }
  std::string_view T(std::int32_t n) const {
    return {words_.At(nodes_[n].s) + nodes_[n].sSize, nodes_[n].tSize};
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

  // A slot holds a kept node's hash (high half) and its index + 1 (low half); 0 is an
  // empty slot. With the hash beside the index, a probe reads a node only when the
  // hashes agree.
  static std::uint64_t SlotOf(std::uint32_t hash, std::int32_t n) {
    return (std::uint64_t{hash} << 32) | (static_cast<std::uint64_t>(n) + 1);
  }
  static std::int32_t NodeOf(std::uint64_t slot) {
    return static_cast<std::int32_t>((slot & 0xffffffffU) - 1);
  }

  // The slot of the kept node with the pair (s, t) of hash `hash`, or the empty slot
  // where it would go: open addressing with linear probing, no more than half the slots
  // used, so that a search of millions of pairs holds one array instead of a node per
  // pair.
  std::uint64_t& Slot(std::uint32_t hash, std::string_view s, std::string_view t) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      std::uint64_t& k = slots_[i];
      if (k == 0) return k;
      if ((k >> 32) == hash && S(NodeOf(k)) == s && T(NodeOf(k)) == t) return k;
    }
  }

  // Doubles the slots, placing every kept node again by its kept hash. False when the
  // budget ended meanwhile: the slots are then incomplete, and the search must stop.
  bool Grow() {
    std::vector<std::uint64_t> old(slots_.size() * 2, 0);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const std::uint64_t k : old) {
      if (Expired()) return false;
      if (k == 0) continue;
      std::size_t i = (k >> 32) & mask;
      while (slots_[i] != 0) i = (i + 1) & mask;
      slots_[i] = k;
    }
    return true;
  }

  // Keeps the new pair (s, t) unless it was seen with a strict step when this one has
  // one, or with as few restrictions on its next inside steps (an `at` no greater).
  // Returns true when the search is to stop: the pair is a loop (found_ is set), or the
  // budget has ended.
  bool Offer(std::string_view s, std::string_view t, std::int32_t parent, std::int32_t rule,
             std::uint32_t at, std::uint32_t shift, bool strict) {
    // Polled per pair, not per pair expanded: a long t with many redexes makes thousands.
    if (Expired()) return true;
    if (s.size() + t.size() > options_.maxPairLength) return false;
    const std::uint32_t hash = HashOf(s, t);
    std::uint64_t& slot = Slot(hash, s, t);
    const bool fresh = slot == 0;
    if (!fresh) {
      const Node& old = nodes_[NodeOf(slot)];
      const bool better = old.strict == strict ? at < old.at : strict;
      if (!better) return false;
    }
    // The same pair with a strict step or fewer restrictions takes the slot; the node
    // it had stays queued and is expanded too.
    nodes_.Add(Node{words_.Append(s, t), static_cast<std::uint32_t>(s.size()),
                    static_cast<std::uint32_t>(t.size()), parent, rule, at, shift, hash, strict});
    const auto n = static_cast<std::int32_t>(nodes_.size() - 1);
    slot = SlotOf(hash, n);
    if (fresh && ++used_ * 2 > slots_.size() && !Grow()) return true;
    // The node, its slots (at most half used), its place in the queue, its words.
    memory_ +=
        sizeof(Node) + 2 * sizeof(std::uint64_t) + sizeof(std::int32_t) + s.size() + t.size();
    if (strict && t.find(s) != std::string_view::npos) {
      found_ = n;
      return true;
    }
    queue_.Push(static_cast<std::uint32_t>(options_.startWeight * s.size() + t.size()), n);
    return false;
  }

  // Offers every combination of node n with every rule; true when the search is to stop
  // (a loop, or the budget's end).
  bool Expand(std::int32_t n) {
    const std::string_view s = S(n);  // stable: the store never moves a kept word
    const std::string_view t = T(n);
    Bytes& ns = nextS_;
    Bytes& nt = nextT_;
    const bool parentStrict = nodes_[n].strict;
    const std::size_t last = nodes_[n].parent < 0 ? 0 : nodes_[n].at;
    for (std::size_t i = 0; i < rules_.size(); ++i) {
      const SearchRule& rule = rules_[i];
      const auto ri = static_cast<std::int32_t>(i);
      const bool strict = parentStrict || rule.strict;
      const std::string_view l = rule.l;
      const std::string_view r = rule.r;
      if (options_.overlaps & kInside) {
        // Left sides that end after `last`, the earliest start being last + 1 - |l|.
        const std::size_t from = last + 1 > l.size() ? last + 1 - l.size() : 0;
        for (std::size_t pos = t.find(l, from); pos != Bytes::npos; pos = t.find(l, pos + 1)) {
          nt.assign(t.substr(0, pos)).append(r).append(t.substr(pos + l.size()));
          if (Offer(s, nt, n, ri, static_cast<std::uint32_t>(pos), 0, strict)) return true;
        }
      }
      const std::size_t most = l.empty() ? 0 : std::min(l.size() - 1, t.size());
      if (options_.overlaps & kRight) {
        // t = x l1 with l1 a proper, non-empty prefix of l.
        for (std::size_t k = 1; k <= most; ++k) {
          if (t.substr(t.size() - k) != l.substr(0, k)) continue;
          const std::size_t x = t.size() - k;
          ns.assign(s).append(l.substr(k));
          nt.assign(t.substr(0, x)).append(r);
          if (Offer(ns, nt, n, ri, static_cast<std::uint32_t>(x), 0, strict)) return true;
        }
      }
      if (options_.overlaps & kLeft) {
        // t = l2 y with l2 a proper, non-empty suffix of l.
        for (std::size_t k = 1; k <= most; ++k) {
          if (t.substr(0, k) != l.substr(l.size() - k)) continue;
          const std::size_t l1 = l.size() - k;
          ns.assign(l.substr(0, l1)).append(s);
          nt.assign(r).append(t.substr(k));
          if (Offer(ns, nt, n, ri, 0, static_cast<std::uint32_t>(l1), strict)) return true;
        }
      }
      if ((options_.overlaps & kContaining) && t.size() < l.size()) {
        for (std::size_t pos = l.find(t); pos != Bytes::npos; pos = l.find(t, pos + 1)) {
          ns.assign(l.substr(0, pos)).append(s).append(l.substr(pos + t.size()));
          if (Offer(ns, r, n, ri, 0, static_cast<std::uint32_t>(pos), strict)) return true;
        }
      }
    }
    return false;
  }

  std::vector<SearchRule> rules_;
  ClosureOptions options_;
  WordStore words_;
  NodeStore nodes_;
  Bytes nextS_, nextT_;               // scratch words of Expand
  std::vector<std::uint64_t> slots_;  // the kept pairs by hash (see SlotOf)
  std::size_t used_ = 0;              // slots holding a pair
  BucketQueue queue_;
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
