// Recursive path order on strings read as unary terms (leftmost symbol outermost),
// with a precedence collected greedily from the rules and then checked for cycles.
#include "techniques/path_order.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

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
  bool Meets(const SymbolSet& o) const {
    return ((words[0] & o.words[0]) | (words[1] & o.words[1])) != 0;
  }
};
static_assert(kMaxSymbols < 128, "a SymbolSet holds the symbols 1..100");

// The walk of CollectPrecedence; `newPair(a, b)` hears of each pair as it is first met.
// The rows of the working system as they stand.
struct WorkingRows {
  const RuleSystem& w;
  const SymbolString& Lhs(int k, SymbolString&) const { return w.lhs[k]; }
  const SymbolString& Rhs(int k, SymbolString&) const { return w.rhs[k]; }
};

// The rows of the working system without one symbol, read directly or reversed: the
// rows that erasing the symbol (and reversing) would write, made only for the rules
// that a walk reaches.
struct ErasedRows {
  const RuleSystem& w;
  SymbolId erased;
  bool reversed;
  const SymbolString& Make(const SymbolString& row, SymbolString& out) const {
    if (reversed) {
      EraseSymbolReversed(row, erased, out);
    } else {
      EraseSymbol(row, erased, out);
    }
    return out;
  }
  const SymbolString& Lhs(int k, SymbolString& out) const { return Make(w.lhs[k], out); }
  const SymbolString& Rhs(int k, SymbolString& out) const { return Make(w.rhs[k], out); }
};

template <typename Rows, typename NewPair>
bool CollectPairs(State& st, const Rows& rows, PrecedenceMatrix& m, NewPair newPair) {
  const RuleSystem& w = st.working;
  assert(w.ruleCount >= 0 && w.ruleCount <= kMaxRules);
  PairText pairs;
  auto done = [&](bool oriented) {
    pairs.Flush(w, st.precedenceText);
    return oriented;
  };
  SymbolString lhsRow;
  SymbolString rhsRow;
  for (int k = 1; k <= w.ruleCount; ++k) {
    const SymbolString& l = rows.Lhs(k, lhsRow);
    const SymbolString& r = rows.Rhs(k, rhsRow);
    const bool strict = w.strict[k] != 0;
    if (l[0] == 0) {
      if (strict || r[0] != 0) return done(false);
      continue;  // e ->= e
    }
    if (!strict && SameString(l, r)) continue;  // identical weak rules need nothing
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
        if (l[i] == 0) return done(false);  // lhs used up while the rhs goes on (or equal)
      } else {
        const SymbolId a = l[i];
        const SymbolId b = r[j];
        assert(a <= w.symbolCount && b <= w.symbolCount);
        if (!m[a][b]) {
          pairs.Add(a, b);
          m[a][b] = 1;
          newPair(a, b);
        }
        ++j;
      }
    }
    assert(r[j] == 0 || ScatteredSubword(l, i + 1, r, j));
  }
  return done(true);
}

}  // namespace

// Guarantees: true when every rule was oriented; the matrix holds the pairs that the
// walk required and the precedence text lists each of them once, in the order found.
// Stops collecting at the first rule that cannot be oriented. Allocates nothing but
// the growth of the precedence text.
bool CollectPrecedence(State& st, PrecedenceMatrix& m) {
  return CollectPairs(st, WorkingRows{st.working}, m, [](SymbolId, SymbolId) {});
}

namespace {

// TryPathOrder on the given rows of the working system.
template <typename Rows>
void TryPathOrderOn(State& st, const Rows& rows) {
  st.precedenceText.clear();
  st.precedenceText.reserve(kPrecedenceTextReserve);
  const int n = st.working.symbolCount;
  if (n < 0 || n > kMaxSymbols) return;

  PrecedenceMatrix m;
  for (int a = 1; a <= n; ++a) std::fill_n(m[a].begin() + 1, n, std::uint8_t{0});
  std::array<SymbolSet, kMaxSymbols + 1> below;  // below[a]: the b with a > b required
  for (int a = 1; a <= n; ++a) below[a].Clear();
  if (!CollectPairs(st, rows, m, [&below](SymbolId a, SymbolId b) { below[a].Add(b); })) return;

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
  if (count == 0) st.proved = 1;
}

}  // namespace

// Guarantees: sets the proved flag exactly when every rule is oriented and the
// required pairs contain no cycle; the precedence text then describes the attempt.
// The working system is only read. A system beyond the table's 100 symbols fails.
void TryPathOrder(State& st) {
  TryPathOrderOn(st, WorkingRows{st.working});
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
  TryPathOrderBothWays(st);
  if (st.proved) return;

  WorkingBackup& backup = st.backup;
  SaveBackup(w, backup);
  for (int d = 1; !st.proved && d <= w.symbolCount; ++d) {
    if (TimeUp(st)) break;
    const SymbolId erased = static_cast<SymbolId>(d);
    // TryPathOrderBothWays on the rows without d. The attempts read the erased (and
    // reversed) rows as they walk, so the working rows stay as they are.
    st.pathOrderReversed = 0;
    TryPathOrderOn(st, ErasedRows{w, erased, false});
    if (!st.proved) {
      st.pathOrderReversed = 1;
      TryPathOrderOn(st, ErasedRows{w, erased, true});
    }
    st.precedenceText += ", after removing ";
    st.precedenceText += w.names[d];
  }
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
