#include "strong/techniques/derivation_loops.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "strong/loop.h"
#include "strong/techniques/byte_words.h"

namespace velkin::strong {

namespace {

// The rules with their left sides indexed by first letter, in the problem's order.
struct RuleSet {
  std::vector<SearchRule> rules;
  std::vector<std::vector<std::size_t>> byFirst = std::vector<std::vector<std::size_t>>(256);
  std::size_t longestLeft = 0;
};

enum class Redex { kLeftmost, kRightmost };
enum class Extension { kFewest, kMost };  // letters appended where no redex is left

// A word of the derivation kept to be looked for in later ones: the word after `step`
// steps, with every letter appended since, and the strict steps up to it.
struct Reference {
  Bytes word;
  std::size_t step;
  std::size_t strictSteps;
  // Known not to occur in the word as it was when last looked for (other than as all of
  // it, when it was that word): then an occurrence in the current word must overlap
  // [changedFrom, changedTo), the letters written since (nothing when from >= to).
  bool absent = true;
  std::size_t changedFrom = 0, changedTo = 0;
  std::size_t stepsSince = 0;  // steps since it was last looked for
};

// Steps between two looks for a kept word of `m` letters: every step for short words,
// rarer for long ones, whose look costs more (an occurrence seen late is still a loop,
// and one that the steps between destroy again is missed).
std::size_t LookEvery(std::size_t m) {
  return 1 + m / 128;
}

// One deterministic derivation from a rule's left side, its first step that rule at 0.
// Invariant: no redex starts before lo_ or at hi_ and after (in the current word).
class Derivation {
 public:
  enum class Status { kGoing, kEnded, kLoop };

  Derivation(const RuleSet& set, std::size_t rule, Redex redex, Extension extension)
      : set_(set), redex_(redex), extension_(extension), first_(rule) {
    word_ = set_.rules[rule].l;
    references_.push_back(Reference{word_, 0, 0});
  }

  std::size_t size() const { return word_.size(); }
  // The bytes it holds, roughly: its steps, its word and the words it keeps.
  std::size_t memory() const {
    std::size_t m = steps_.capacity() * sizeof(steps_[0]) + word_.capacity();
    for (const Reference& ref : references_) m += ref.word.capacity() + sizeof(Reference);
    return m;
  }
  bool ended() const { return ended_; }

  // One rewrite step, appending letters first where no redex is left. Guarantees: on
  // kLoop, loopStart() and LoopSteps() are a derivation to a word that contains it, with a
  // strict step; kEnded when no letters make a redex or the word outgrew `maxLength`.
  Status Advance(std::size_t maxLength) {
    if (ended_) return Status::kEnded;
    std::size_t rule = first_, pos = 0;
    if (!steps_.empty() && !FindRedex(rule, pos)) {
      if (!Extend()) {
        ended_ = true;
        return Status::kEnded;
      }
      // The letters appended to the word and to every kept one may complete an
      // occurrence across them, which is a loop as well.
      if (LoopFound()) return Status::kLoop;
      if (!FindRedex(rule, pos)) {
        ended_ = true;
        return Status::kEnded;
      }
    }
    Rewrite(rule, pos);
    if (word_.size() > maxLength) {
      ended_ = true;
      return Status::kEnded;
    }
    if (LoopFound()) return Status::kLoop;
    if ((steps_.size() & (steps_.size() + 1)) == 0)  // 1, 3, 7, 15, ... steps
      references_.push_back(Reference{word_, steps_.size(), strictSteps_});
    return Status::kGoing;
  }

  // The loop found: its start word and its steps (rule index, position).
  const Reference& loopStart() const { return references_[found_]; }
  std::vector<std::pair<std::size_t, std::size_t>> LoopSteps() const {
    return {steps_.begin() + static_cast<std::ptrdiff_t>(loopStart().step), steps_.end()};
  }

 private:
  // True when some rule's left side starts at `p`; `rule` is the first such rule.
  bool RedexAt(std::size_t p, std::size_t& rule) const {
    for (const std::size_t i : set_.byFirst[static_cast<unsigned char>(word_[p])]) {
      const Bytes& l = set_.rules[i].l;
      if (l.size() <= word_.size() - p && word_.compare(p, l.size(), l) == 0) {
        rule = i;
        return true;
      }
    }
    return false;
  }

  // The redex of the chosen kind; scanning proves the positions it passes free.
  bool FindRedex(std::size_t& rule, std::size_t& pos) {
    hi_ = std::min(hi_, word_.size());
    if (redex_ == Redex::kLeftmost) {
      for (std::size_t p = lo_; p < hi_; ++p)
        if (RedexAt(p, rule)) {
          pos = p;
          lo_ = p;
          return true;
        }
    } else {
      for (std::size_t p = hi_; p-- > lo_;)
        if (RedexAt(p, rule)) {
          pos = p;
          hi_ = p + 1;
          return true;
        }
    }
    lo_ = hi_ = word_.size();
    return false;
  }

  // Applies `rule` at `pos` (a redex with no redex before it, leftmost, or after it,
  // rightmost) and keeps the invariant: only starts whose factor is unchanged stay free.
  void Rewrite(std::size_t rule, std::size_t pos) {
    const SearchRule& r = set_.rules[rule];
    assert(word_.compare(pos, r.l.size(), r.l) == 0);
    word_.replace(pos, r.l.size(), r.r);
    steps_.emplace_back(rule, pos);
    for (Reference& ref : references_) {
      ++ref.stepsSince;
      // The letters changed before, moved by this step, and the ones it wrote.
      const auto moved = [&](std::size_t x) {
        return x <= pos                ? x
               : x >= pos + r.l.size() ? x - r.l.size() + r.r.size()
                                       : pos + r.r.size();
      };
      const bool none = ref.changedFrom >= ref.changedTo;
      ref.changedFrom = none ? pos : std::min(ref.changedFrom, pos);
      ref.changedTo = none ? pos + r.r.size() : std::max(moved(ref.changedTo), pos + r.r.size());
    }
    if (r.strict) ++strictSteps_;
    const std::size_t unchanged = pos + 1 > set_.longestLeft ? pos + 1 - set_.longestLeft : 0;
    lo_ = std::min(lo_, unchanged);
    hi_ = std::max(pos + r.r.size(),
                   hi_ + r.r.size() >= r.l.size() ? hi_ + r.r.size() - r.l.size() : std::size_t{0});
    hi_ = std::min(hi_, word_.size());
  }

  // Appends the rest of a left side whose proper, non-empty prefix ends the word: the
  // fewest or the most letters, the first rule on a tie. False when there is none.
  bool Extend() {
    std::size_t best = 0, bestRule = 0, bestTaken = 0;
    for (std::size_t i = 0; i < set_.rules.size(); ++i) {
      const Bytes& l = set_.rules[i].l;
      for (std::size_t k = std::min(l.size() - 1, word_.size()); k >= 1; --k) {
        if (word_.compare(word_.size() - k, k, l, 0, k) != 0) continue;
        const std::size_t added = l.size() - k;
        if (best == 0 || (extension_ == Extension::kFewest ? added < best : added > best)) {
          best = added;
          bestRule = i;
          bestTaken = k;
        }
      }
    }
    if (best == 0) return false;
    const std::size_t before = word_.size();
    const Bytes& l = set_.rules[bestRule].l;
    word_.append(l, bestTaken);
    for (Reference& ref : references_) {
      ref.word.append(l, bestTaken);
      if (ref.changedFrom >= ref.changedTo) ref.changedFrom = before;
      ref.changedTo = word_.size();
    }
    lo_ = before + 1 > set_.longestLeft ? before + 1 - set_.longestLeft : 0;
    hi_ = word_.size();
    return true;
  }

  // True when a kept word with fewer strict steps occurs in the current one; each is
  // looked for every LookEvery steps.
  bool LoopFound() {
    for (std::size_t k = 0; k < references_.size(); ++k) {
      Reference& ref = references_[k];
      const std::size_t m = ref.word.size();
      if (ref.stepsSince < LookEvery(m)) continue;
      bool occurs = false;
      // memmem (two-way) is linear; the searchers of <functional> build their tables in
      // quadratic time on words like c^n, which these derivations are full of.
      if (m > word_.size()) {
      } else if (!ref.absent) {
        occurs = memmem(word_.data(), word_.size(), ref.word.data(), m) != nullptr;
      } else if (ref.changedFrom < ref.changedTo) {
        // An occurrence starts at most m - 1 letters before the changed ones.
        const std::size_t from = ref.changedFrom + 1 > m ? ref.changedFrom + 1 - m : 0;
        const std::size_t to = std::min(word_.size(), ref.changedTo + m - 1);
        occurs =
            to >= from + m && memmem(word_.data() + from, to - from, ref.word.data(), m) != nullptr;
      }
      if (occurs && ref.strictSteps < strictSteps_) {
        found_ = k;
        return true;
      }
      ref.absent = !occurs;
      ref.changedFrom = ref.changedTo = 0;
      ref.stepsSince = 0;
    }
    return false;
  }

  const RuleSet& set_;
  Redex redex_;
  Extension extension_;
  std::size_t first_;  // the rule of the first step
  Bytes word_;
  std::size_t lo_ = 0, hi_ = 0;
  std::vector<std::pair<std::size_t, std::size_t>> steps_;  // rule, position
  std::size_t strictSteps_ = 0;
  std::vector<Reference> references_;
  std::size_t found_ = 0;
  bool ended_ = false;
};

}  // namespace

Result FindLoopByDerivation(const Problem& p, const Budget& budget,
                            const DerivationLoopOptions& options) {
  if (std::optional<Result> none = NoLoopSearch(p)) return std::move(*none);
  const Problem searched = MaybeReversed(p, options.reversed);
  // Rules with an empty left side apply everywhere; a strict one is the trivial loop.
  RuleSet set;
  for (SearchRule& rule : SearchRules(searched)) {
    if (rule.l.empty()) continue;
    set.byFirst[static_cast<unsigned char>(rule.l[0])].push_back(set.rules.size());
    set.longestLeft = std::max(set.longestLeft, rule.l.size());
    set.rules.push_back(std::move(rule));
  }

  std::vector<Derivation> runs;
  for (std::size_t i = 0; i < set.rules.size(); ++i)
    for (const Redex redex : {Redex::kLeftmost, Redex::kRightmost})
      for (const Extension extension : {Extension::kFewest, Extension::kMost})
        runs.emplace_back(set, i, redex, extension);

  // The derivations take turns under a length cap that doubles, so that each gets as
  // far as the others before any grows longer; a round's steps are bounded for words
  // that stop growing.
  std::size_t polls = 0, memory = 0;
  for (const Derivation& run : runs) memory += run.memory() + sizeof(Derivation);
  for (std::size_t cap = std::min<std::size_t>(256, options.maxWordLength);;
       cap = std::min(2 * cap, options.maxWordLength)) {
    bool going = false;
    for (Derivation& run : runs) {
      const std::size_t before = run.memory();
      for (std::size_t n = 0; n < 64 * cap && !run.ended() && run.size() <= cap; ++n) {
        if ((++polls & 15) == 0 && budget.Expired()) return Result::None("the budget ran out");
        if (run.Advance(options.maxWordLength) != Derivation::Status::kLoop) continue;
        auto w = TrimmedLoopWitness(
            searched, run.loopStart().word, run.LoopSteps(), set.rules,
            options.reversed ? "a derivation of the reversed rules" : "a derivation");
        if (!w) return Result::None("a derivation did not replay (a bug)");
        if (options.reversed) w = UnreversedLoop(*w);
        return Result::Loop(w);
      }
      memory = memory + run.memory() - before;
      if (memory > options.memoryBytes)
        return Result::None("the memory limit was reached after " + std::to_string(polls) +
                            " steps");
      going = going || (!run.ended() && run.size() <= options.maxWordLength);
    }
    if (!going) return Result::None("every derivation ended without a loop");
  }
}

}  // namespace velkin::strong
