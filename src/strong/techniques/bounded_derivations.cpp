#include "strong/techniques/bounded_derivations.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "strong/loop.h"
#include "strong/techniques/byte_words.h"

namespace velkin::strong {

namespace {

// The breadth-first search from one start word u under a length and a count limit.
class StartSearch {
 public:
  enum class Outcome {
    kLoop,       // a word with a strict step before it contains u
    kExhausted,  // every word that u derives was seen, none cut by a limit
    kCut,        // some word was left out: too long, or too many words
    kBudget,
  };

  StartSearch(const std::vector<SearchRule>& rules) : rules_(rules) {}

  // Every derivation from u through words of at most `maxLength` letters, keeping at most
  // about `memoryBytes` of words. On kLoop, Derivation gives the loop's steps.
  Outcome Run(const Bytes& u, std::size_t maxLength, std::size_t memoryBytes, const Budget& budget,
              std::size_t& polls) {
    states_.clear();
    store_.clear();
    seen_.clear();
    found_ = -1;
    bool cut = false;
    std::size_t memory = 0;
    Offer(u, -1, 0, 0, false);
    for (std::size_t next = 0; next < states_.size(); ++next) {
      if ((++polls & 255) == 0 && budget.Expired()) return Outcome::kBudget;
      const std::int32_t n = static_cast<std::int32_t>(next);
      word_.assign(Word(n));  // a copy: Offer may move the store
      const bool strict = states_[next].strict;
      for (std::size_t i = 0; i < rules_.size(); ++i) {
        const SearchRule& r = rules_[i];
        if (word_.size() - std::min(word_.size(), r.l.size()) + r.r.size() > maxLength) {
          // Longer than allowed wherever the rule applies: cut if it applies at all.
          cut = cut || word_.find(r.l) != Bytes::npos;
          continue;
        }
        for (std::size_t pos = word_.find(r.l); pos != Bytes::npos;
             pos = word_.find(r.l, pos + 1)) {
          if (memory > memoryBytes) {
            cut = true;
            break;
          }
          next_.assign(word_, 0, pos).append(r.r).append(word_, pos + r.l.size());
          const bool s = strict || r.strict;
          if (!Offer(next_, n, static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(pos), s))
            continue;
          memory += sizeof(State) + 2 * sizeof(void*) + sizeof(std::int32_t) + next_.size();
          if (s && next_.find(u) != Bytes::npos) {
            found_ = static_cast<std::int32_t>(states_.size() - 1);
            return Outcome::kLoop;
          }
        }
      }
    }
    return cut ? Outcome::kCut : Outcome::kExhausted;
  }

  // The steps (rule, position) from the start to the loop's last word.
  std::vector<std::pair<std::size_t, std::size_t>> Derivation() const {
    std::vector<std::pair<std::size_t, std::size_t>> steps;
    for (std::int32_t k = found_; states_[k].parent >= 0; k = states_[k].parent)
      steps.emplace_back(states_[k].rule, states_[k].pos);
    std::reverse(steps.begin(), steps.end());
    return steps;
  }

 private:
  // A word derived from the start, by `rule` at `pos` from its parent's word.
  struct State {
    std::uint64_t at;  // where its word begins in store_
    std::uint32_t size;
    std::int32_t parent;  // -1: the start
    std::uint32_t rule, pos;
    bool strict;  // a strict step lies on the way from the start
  };

  std::string_view Word(std::int32_t n) const {
    return {store_.data() + states_[n].at, states_[n].size};
  }

  struct ByWord {
    const StartSearch* s;
    std::size_t operator()(std::int32_t n) const {
      return std::hash<std::string_view>{}(s->Word(n));
    }
  };
  struct SameWord {
    const StartSearch* s;
    bool operator()(std::int32_t a, std::int32_t b) const { return s->Word(a) == s->Word(b); }
  };

  // Keeps `w` unless it was seen already with a strict step before it, or this one has
  // none either (a word seen with one is worth as much as a word seen without). True
  // when kept. `w` must not point into the store.
  bool Offer(std::string_view w, std::int32_t parent, std::uint32_t rule, std::uint32_t pos,
             bool strict) {
    const std::uint64_t mark = store_.size();
    store_.append(w);
    states_.push_back(State{mark, static_cast<std::uint32_t>(w.size()), parent, rule, pos, strict});
    const std::int32_t n = static_cast<std::int32_t>(states_.size() - 1);
    const auto [it, added] = seen_.insert(n);
    if (added) return true;
    if (strict && !states_[*it].strict) {
      // The same word, now with a strict step: it replaces the one seen.
      seen_.erase(it);
      seen_.insert(n);
      return true;
    }
    states_.pop_back();
    store_.resize(mark);
    return false;
  }

  const std::vector<SearchRule>& rules_;
  std::vector<State> states_;  // in the order of the search
  Bytes store_;                // the words of states_, one after the other
  std::unordered_set<std::int32_t, ByWord, SameWord> seen_{64, ByWord{this}, SameWord{this}};
  Bytes word_, next_;
  std::int32_t found_ = -1;
};

// The start words of one length over `letters`: with `every`, all of them; otherwise
// those that contain a left side, each once: from its leftmost redex and the first rule
// there, the other letters counted through in base |letters|.
class StartWords {
 public:
  StartWords(const std::vector<SearchRule>& rules, const Bytes& letters, std::size_t length,
             bool every)
      : rules_(rules), letters_(letters), length_(length), every_(every) {}

  // The next start word into `u`; false when there is none left.
  bool Next(Bytes& u) {
    while (Candidate(u))
      if (every_ || Canonical(u)) return true;
    return false;
  }

 private:
  // The next word of the counting, canonical or not.
  bool Candidate(Bytes& u) {
    if (every_) {
      if (!Count(length_)) return false;
      u.clear();
      for (const std::size_t d : digits_) u.push_back(letters_[d]);
      return true;
    }
    for (;;) {
      if (rule_ >= rules_.size()) return false;
      const Bytes& l = rules_[rule_].l;
      if (l.empty() || l.size() > length_ || offset_ > length_ - l.size()) {
        ++rule_;
        offset_ = 0;
        started_ = false;
        continue;
      }
      if (!Count(length_ - l.size())) {
        ++offset_;
        started_ = false;
        continue;
      }
      u.clear();
      for (std::size_t i = 0; i < offset_; ++i) u.push_back(letters_[digits_[i]]);
      u.append(l);
      for (std::size_t i = offset_; i < digits_.size(); ++i) u.push_back(letters_[digits_[i]]);
      return true;
    }
  }

  // Steps the counter of `free` digits: to all zeros when it starts, false after the last.
  bool Count(std::size_t free) {
    if (!started_) {
      started_ = true;
      digits_.assign(free, 0);
      return free == 0 || !letters_.empty();
    }
    for (std::size_t i = digits_.size(); i-- > 0;) {
      if (++digits_[i] < letters_.size()) return true;
      digits_[i] = 0;
    }
    return false;
  }

  // True when the leftmost redex of u is at offset_ and rule_ is the first rule there.
  bool Canonical(const Bytes& u) const {
    for (std::size_t i = 0; i < rules_.size(); ++i) {
      const Bytes& l = rules_[i].l;
      if (l.empty()) continue;
      const std::size_t at = u.find(l);
      if (at < offset_ || (at == offset_ && i < rule_)) return false;
    }
    return true;
  }

  const std::vector<SearchRule>& rules_;
  const Bytes& letters_;
  std::size_t length_;
  bool every_;
  std::size_t rule_ = 0, offset_ = 0;
  bool started_ = false;
  std::vector<std::size_t> digits_;
};

}  // namespace

Result FindLoopByBoundedDerivations(const Problem& p, const Budget& budget,
                                    const BoundedDerivationOptions& options) {
  if (std::optional<Result> none = NoLoopSearch(p)) return std::move(*none);
  const std::vector<SearchRule> rules = SearchRules(p);
  // The letters of the left sides: a letter that no left side reads is never part of a
  // loop's start word that the steps need.
  std::vector<bool> inLeft(256, false);
  Bytes letters;
  std::size_t longest = 0;
  bool emptyLeft = false;
  for (const SearchRule& r : rules) {
    emptyLeft = emptyLeft || r.l.empty();
    longest = std::max({longest, r.l.size(), r.r.size()});
    for (const char c : r.l)
      if (!inLeft[static_cast<unsigned char>(c)]) {
        inLeft[static_cast<unsigned char>(c)] = true;
        letters.push_back(c);
      }
  }
  std::sort(letters.begin(), letters.end());

  StartSearch search(rules);
  std::size_t polls = 0;
  // Start lengths whose every search was exhausted in an earlier round need no later one.
  std::vector<bool> done(options.maxStartLength + 1, false);
  for (std::size_t round = 0; round <= options.maxStartLength; ++round) {
    const std::size_t maxLength = 2 * (round + longest);
    const std::size_t memory =
        std::min(options.memoryBytes, std::size_t{1} << std::min<std::size_t>(12 + round, 62));
    for (std::size_t length = emptyLeft ? 0 : 1; length <= round; ++length) {
      if (done[length]) continue;
      bool cut = false;
      StartWords starts(rules, letters, length, emptyLeft);
      for (Bytes u; starts.Next(u);) {
        if ((++polls & 255) == 0 && budget.Expired()) return Result::None("the budget ran out");
        const StartSearch::Outcome o = search.Run(u, maxLength, memory, budget, polls);
        if (o == StartSearch::Outcome::kBudget) return Result::None("the budget ran out");
        cut = cut || o == StartSearch::Outcome::kCut;
        if (o != StartSearch::Outcome::kLoop) continue;
        auto w = TrimmedLoopWitness(p, u, search.Derivation(), rules,
                                    "every derivation from short words");
        if (!w) return Result::None("a derivation did not replay (a bug)");
        return Result::Loop(w);
      }
      done[length] = !cut;
    }
  }
  return Result::None("no loop from words of " + std::to_string(options.maxStartLength) +
                      " letters or less within the bounds");
}

}  // namespace velkin::strong
