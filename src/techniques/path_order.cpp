// Recursive path order on strings read as unary terms (leftmost symbol outermost),
// with a precedence collected greedily from the rules and then checked for cycles.
#include "techniques/path_order.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/proof_log.h"
#include "techniques/reversal.h"

namespace velkin {

namespace {

// Room kept in the precedence text so that collecting pairs rarely grows it.
constexpr std::size_t kPrecedenceTextReserve = 4096;

// True when r[j..] is a scattered subword of l[from..]: then l[from - 1..] lies above
// r[j..] by the subterm property.
[[maybe_unused]] bool ScatteredSubword(const SymbolString& l, int from, const SymbolString& r,
                                       int j) {
  for (int p = from; l[p] != 0 && r[j] != 0; ++p) {
    if (l[p] == r[j]) ++j;
  }
  return r[j] == 0;
}

// For every start `from` = 0..|l|, the smallest j for which r[j..] is a scattered
// subword of l[from..]: so ScatteredSubword(l, from, r, j) holds exactly when j is at
// least reach[from]. Matching r from its end against l from its end, greedily, finds
// the longest such suffix of r for all starts in one pass.
using SuffixReach = std::array<std::int8_t, kRowBytes + 1>;
void ComputeSuffixReach(const SymbolString& l, const SymbolString& r, SuffixReach& reach) {
  const int n = Length(l);
  int k = Length(r);
  reach[n] = static_cast<std::int8_t>(k);
  for (int p = n - 1; p >= 0; --p) {
    if (k > 0 && l[p] == r[k - 1]) --k;
    reach[p] = static_cast<std::int8_t>(k);
  }
}

bool SameString(const SymbolString& a, const SymbolString& b) {
  int p = 0;
  while (a[p] != 0 && a[p] == b[p]) ++p;
  return a[p] == b[p];
}

// Copies `src` into `dst` without any occurrence of `erased`; the rest closes up.
void EraseSymbol(const SymbolString& src, SymbolId erased, SymbolString& dst) {
  SymbolString out{};  // the trailing zeros in a few wide stores
  int q = 0;
  for (int p = 0; src[p] != 0; ++p) {
    if (src[p] != erased) out[q++] = src[p];
  }
  dst = out;
}

// Copies `src` backwards into `dst` without any occurrence of `erased`: the row that
// EraseSymbol and then reversal give, end mark and trailing zeros included.
void EraseSymbolReversed(const SymbolString& src, SymbolId erased, SymbolString& dst) {
  SymbolString out{};
  int q = 0;
  for (int p = Length(src) - 1; p >= 0; --p) {
    if (src[p] != erased) out[q++] = src[p];
  }
  dst = out;
}

// The pairs a > b of one walk in the order met; the text "  a>b" of each goes into
// the precedence text with one growth of the text for the whole walk.
class PairText {
 public:
  void Add(SymbolId a, SymbolId b) {
    assert(count_ < pairs_.size());
    pairs_[count_++] = {a, b};
  }
  // Appends the texts of the pairs added since the last flush.
  void Flush(const RuleSystem& w, std::string& text) {
    std::size_t size = 0;
    for (std::size_t k = 0; k < count_; ++k)
      size += 3 + w.names[pairs_[k][0]].size() + w.names[pairs_[k][1]].size();
    const std::size_t at = text.size();
    text.resize(at + size);
    char* out = text.data() + at;
    for (std::size_t k = 0; k < count_; ++k) {
      const std::string& a = w.names[pairs_[k][0]];
      const std::string& b = w.names[pairs_[k][1]];
      *out++ = ' ';
      *out++ = ' ';
      out = std::copy(a.begin(), a.end(), out);
      *out++ = '>';
      out = std::copy(b.begin(), b.end(), out);
    }
    count_ = 0;
  }

 private:
  std::array<std::array<SymbolId, 2>, kMaxSymbols * kMaxSymbols> pairs_;  // each pair once
  std::size_t count_ = 0;
};

// A set of symbols 0..127 as two words.
struct SymbolSet {
  std::array<std::uint64_t, 2> words;  // left as it comes: callers clear what they use
  void Clear() { words = {0, 0}; }
  void Add(int s) { words[s >> 6] |= std::uint64_t{1} << (s & 63); }
  void Remove(int s) { words[s >> 6] &= ~(std::uint64_t{1} << (s & 63)); }
  bool Has(int s) const { return (words[s >> 6] >> (s & 63) & 1) != 0; }
  bool Meets(const SymbolSet& o) const {
    return ((words[0] & o.words[0]) | (words[1] & o.words[1])) != 0;
  }
};
static_assert(kMaxSymbols < 128, "a SymbolSet holds the symbols 1..100");

// What the walk of one rule requires: the pairs a > b in the order met (a pair may
// come twice), and whether the rule was oriented. The walk's course depends only on the
// two rows, never on the pairs already required, so one record serves every attempt
// that walks the same rows.
struct RuleWalk {
  bool oriented = true;
  std::uint8_t count = 0;
  std::array<std::array<SymbolId, 2>, kMaxSideLength> pairs;  // each step advances in r
};

// Walks the rule l -> r (strict or weak) as CollectPrecedence does and records it.
void WalkRule(const SymbolString& l, const SymbolString& r, bool strict, RuleWalk& out) {
  out.oriented = true;
  out.count = 0;
  if (l[0] == 0) {
    out.oriented = !strict && r[0] == 0;  // only e ->= e is fine
    return;
  }
  if (!strict && SameString(l, r)) return;  // identical weak rules need nothing
  SuffixReach reach;
  ComputeSuffixReach(l, r, reach);
  int i = 0;
  int j = 0;
  // While r[j..] is not a scattered subword of l[i + 1..] (l[i] is a symbol here).
  while (r[j] != 0 && j < reach[i + 1]) {
    assert(!ScatteredSubword(l, i + 1, r, j));
    if (l[i] == r[j]) {
      ++i;
      ++j;
      if (l[i] == 0) {  // lhs used up while the rhs goes on (or equal)
        out.oriented = false;
        return;
      }
    } else {
      assert(out.count < kMaxSideLength);
      out.pairs[out.count++] = {l[i], r[j]};
      ++j;
    }
  }
  assert(r[j] == 0 || ScatteredSubword(l, i + 1, r, j));
}

// The walk over rules 1..rule count; `walkOf(k)` gives the record of rule k and
// `newPair(a, b)` hears of each pair as it is first met, and returns false when the
// attempt can no longer succeed. Stops at the first rule that is not oriented, after
// taking the pairs that rule required before it failed, or once `newPair` says so.
template <typename WalkOf, typename NewPair>
bool CollectPairs(State& st, PrecedenceMatrix& m, WalkOf& walkOf, NewPair newPair) {
  const RuleSystem& w = st.working;
  assert(w.ruleCount >= 0 && w.ruleCount <= kMaxRules);
  PairText pairs;
  bool oriented = true;
  for (int k = 1; k <= w.ruleCount && oriented; ++k) {
    const RuleWalk& walk = walkOf(k);
    for (int p = 0; p < walk.count && oriented; ++p) {
      const SymbolId a = walk.pairs[p][0];
      const SymbolId b = walk.pairs[p][1];
      assert(a <= w.symbolCount && b <= w.symbolCount);
      if (!m[a][b]) {
        pairs.Add(a, b);
        m[a][b] = 1;
        oriented = newPair(a, b);
      }
    }
    oriented = oriented && walk.oriented;
  }
  pairs.Flush(w, st.precedenceText);
  return oriented;
}

// The records of the working rules as they stand, walked as asked.
struct WorkingWalks {
  const RuleSystem& w;
  RuleWalk walk;
  const RuleWalk& operator()(int k) {
    WalkRule(w.lhs[k], w.rhs[k], w.strict[k] != 0, walk);
    return walk;
  }
};

// The records of one PathOrderSearch, for the working rows as they were at its start.
// The walks of the rows as written and reversed are made when first asked for and kept:
// a rule without the erased symbol has the same rows with it erased. The rules that
// hold the erased symbol are walked afresh on rows made without it.
class SearchWalks {
 public:
  explicit SearchWalks(const RuleSystem& w)
      : w_(w), kept_(2 * (static_cast<std::size_t>(w.ruleCount) + 1)), known_(kept_.size(), 0) {}

  // The record of rule k, reversed or as written, without symbol `erased` (0: none).
  // Valid until the next call.
  const RuleWalk& Of(int k, bool reversed, SymbolId erased) {
    assert(k >= 1 && k <= w_.ruleCount);
    if (erased != 0 && Symbols(k).Has(erased)) {
      Walk(k, reversed, erased, fresh_);
      return fresh_;
    }
    const std::size_t at = 2 * static_cast<std::size_t>(k) + (reversed ? 1 : 0);
    if (!(known_[at] & kWalked)) {
      Walk(k, reversed, 0, kept_[at]);
      known_[at] |= kWalked;
    }
    return kept_[at];
  }

 private:
  static constexpr std::uint8_t kWalked = 1;   // the kept record is made
  static constexpr std::uint8_t kSymbols = 2;  // (in the even entry) the symbol set is made

  // The symbols of both sides of rule k.
  const SymbolSet& Symbols(int k) {
    const std::size_t at = 2 * static_cast<std::size_t>(k);
    if (symbols_.empty()) symbols_.resize(static_cast<std::size_t>(w_.ruleCount) + 1);
    SymbolSet& set = symbols_[static_cast<std::size_t>(k)];
    if (!(known_[at] & kSymbols)) {
      set.Clear();
      for (int p = 0; w_.lhs[k][p] != 0; ++p) set.Add(w_.lhs[k][p]);
      for (int p = 0; w_.rhs[k][p] != 0; ++p) set.Add(w_.rhs[k][p]);
      known_[at] |= kSymbols;
    }
    return set;
  }

  void Walk(int k, bool reversed, SymbolId erased, RuleWalk& out) const {
    const bool strict = w_.strict[k] != 0;
    if (!reversed && erased == 0) {
      WalkRule(w_.lhs[k], w_.rhs[k], strict, out);
      return;
    }
    SymbolString l;
    SymbolString r;
    if (reversed) {
      EraseSymbolReversed(w_.lhs[k], erased, l);  // erasing 0 erases nothing
      EraseSymbolReversed(w_.rhs[k], erased, r);
    } else {
      EraseSymbol(w_.lhs[k], erased, l);
      EraseSymbol(w_.rhs[k], erased, r);
    }
    WalkRule(l, r, strict, out);
  }

  const RuleSystem& w_;
  std::vector<RuleWalk> kept_;       // entry 2k: rule k as written, 2k + 1: reversed
  std::vector<std::uint8_t> known_;  // kWalked and kSymbols marks per entry
  std::vector<SymbolSet> symbols_;   // per rule, made with the first erased attempt
  RuleWalk fresh_;
};

}  // namespace

// Guarantees: true when every rule was oriented; the matrix holds the pairs that the
// walk required and the precedence text lists each of them once, in the order found.
// Stops collecting at the first rule that cannot be oriented. Allocates nothing but
// the growth of the precedence text.
bool CollectPrecedence(State& st, PrecedenceMatrix& m) {
  WorkingWalks walks{st.working, {}};
  return CollectPairs(st, m, walks, [](SymbolId, SymbolId) { return true; });
}

namespace {

// Which pairs can reach which symbols, kept closed as pairs come: tells at once when a
// new pair closes a cycle, so that an attempt that must fail can stop walking.
class Reachability {
 public:
  explicit Reachability(int n) : n_(n) {
    for (int a = 1; a <= n; ++a) below_[a].Clear();
  }
  // Adds a > b; false when the pairs so far now hold a cycle.
  bool Add(SymbolId a, SymbolId b) {
    if (a == b || below_[b].Has(a)) return false;
    SymbolSet grown = below_[b];
    grown.Add(b);
    for (int x = 1; x <= n_; ++x) {
      if (x == a || below_[x].Has(a)) {
        below_[x].words[0] |= grown.words[0];
        below_[x].words[1] |= grown.words[1];
      }
    }
    return true;
  }

 private:
  int n_;
  std::array<SymbolSet, kMaxSymbols + 1> below_;  // below_[x]: every y with x > ... > y
};

// TryPathOrder on the rule records that `walkOf(k)` gives for the working rules. With
// `cut`, an attempt whose pairs already hold a cycle stops walking: it fails as the
// whole attempt would, but leaves only part of the precedence text. Returns true when
// it was cut short.
template <typename WalkOf>
bool TryPathOrderOn(State& st, WalkOf&& walkOf, bool cut = false) {
  st.precedenceText.clear();
  st.precedenceText.reserve(kPrecedenceTextReserve);
  const int n = st.working.symbolCount;
  if (n < 0 || n > kMaxSymbols) return false;

  PrecedenceMatrix m;
  for (int a = 1; a <= n; ++a) std::fill_n(m[a].begin() + 1, n, std::uint8_t{0});
  std::array<SymbolSet, kMaxSymbols + 1> below;  // below[a]: the b with a > b required
  for (int a = 1; a <= n; ++a) below[a].Clear();
  bool acyclic = true;
  std::optional<Reachability> reach;
  if (cut) reach.emplace(n);
  const bool oriented = CollectPairs(st, m, walkOf, [&](SymbolId a, SymbolId b) {
    below[a].Add(b);
    if (reach) acyclic = reach->Add(a, b);
    return acyclic;
  });
  if (!acyclic) return true;
  if (!oriented) return false;

  // Remove sinks until none is left (acyclic) or a pass removes nothing (a cycle). A
  // pass visits the symbols in order, and a sink leaves at once, before the next one is
  // looked at.
  SymbolSet alive;
  alive.Clear();
  for (int a = 1; a <= n; ++a) alive.Add(a);
  std::array<std::uint8_t, kMaxSymbols + 1> isAlive;
  std::fill_n(isAlive.begin() + 1, n, std::uint8_t{1});
  int count = n;
  int previous = n + 1;
  while (count < previous) {
    previous = count;
    count = 0;
    for (int a = 1; a <= n; ++a) {
      if (!isAlive[a]) continue;
      if (below[a].Meets(alive)) {
        ++count;
      } else {
        isAlive[a] = 0;
        alive.Remove(a);
      }
    }
  }
  assert(!cut || count == 0);  // no cycle was seen, and sinks remove an acyclic graph
  if (count == 0) st.proved = 1;
  return false;
}

}  // namespace

// Guarantees: sets the proved flag exactly when every rule is oriented and the
// required pairs contain no cycle; the precedence text then describes the attempt.
// The working system is only read. A system beyond the table's 100 symbols fails.
void TryPathOrder(State& st) {
  TryPathOrderOn(st, WorkingWalks{st.working, {}});
}

// Guarantees: the working rules are as on entry; the reversed flag tells which
// orientation the last attempt used.
void TryPathOrderBothWays(State& st) {
  st.pathOrderReversed = 0;
  TryPathOrder(st);
  if (st.proved) return;
  st.pathOrderReversed = 1;
  ReverseWorkingSystem(st);
  TryPathOrder(st);
  ReverseWorkingSystem(st);
}

// Guarantees: the working system's rows and strict flags are exactly as on entry; on
// success the proved flag is set and the precedence text and reversed flag describe
// the successful attempt. Gives up (without proving) when the run's time is up.
void PathOrderSearch(State& st) {
  RuleSystem& w = st.working;
  if (w.symbolCount < 0 || w.symbolCount > kMaxSymbols) return;
  assert(w.ruleCount >= 0 && w.ruleCount <= kMaxRules);
  // The attempts read the rows (reversed, a symbol erased) as they walk, so the
  // working rows stay as they are: this is TryPathOrderBothWays, then the same on the
  // rows without d for each d.
  // An attempt whose pairs close a cycle stops walking at once. Only the last attempt's
  // text outlives the search, so if that one was cut short it is made again in full.
  SearchWalks walks(w);
  bool lastCut = false;
  bool lastReversed = false;
  SymbolId lastErased = 0;
  auto attempt = [&](bool reversed, SymbolId erased, bool cut) {
    st.pathOrderReversed = reversed ? 1 : 0;
    lastReversed = reversed;
    lastErased = erased;
    lastCut = TryPathOrderOn(
        st, [&](int k) -> const RuleWalk& { return walks.Of(k, reversed, erased); }, cut);
  };
  auto completeLastText = [&] {
    if (!lastCut) return;
    attempt(lastReversed, lastErased, false);
    assert(!st.proved);
    if (lastErased != 0) {
      st.precedenceText += ", after removing ";
      st.precedenceText += w.names[lastErased];
    }
  };
  attempt(false, 0, true);
  if (!st.proved) attempt(true, 0, true);
  if (st.proved) return;

  WorkingBackup& backup = st.backup;
  SaveBackup(w, backup);
  for (int d = 1; !st.proved && d <= w.symbolCount; ++d) {
    if (TimeUp(st)) break;
    const SymbolId erased = static_cast<SymbolId>(d);
    attempt(false, erased, true);
    if (!st.proved) attempt(true, erased, true);
    st.precedenceText += ", after removing ";
    st.precedenceText += w.names[d];
  }
  if (!st.proved) completeLastText();
  RestoreBackup(backup, w);
}

// Guarantees: appends the empty line, the heading for the orientation used, and the
// precedence text as the last line.
void PrintPathOrderProof(State& st) {
  AppendLogLine(st, "");
  if (st.pathOrderReversed) {
    AppendLogLine(st, "Terminating since rev(l) > rev(r) for all rules l -> r");
    AppendLogLine(st, "where > is the recursive path order with precedence:");
  } else {
    AppendLogLine(st, "Terminating by recursive path order with precedence:");
  }
  AppendLogLine(st, st.precedenceText);
}

}  // namespace velkin
