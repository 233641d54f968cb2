#include "loops/loop_search.h"

#include <bitset>
#include <cassert>
#include <cstring>
#include <string>

#include "model/proof_log.h"

namespace velkin {

namespace {

// A word being formed; it may reach twice the side length before its length is tested.
struct Candidate {
  std::array<SymbolId, kMaxCandidateLength> sym;
  int length = 0;

  void Append(const SymbolId* from, int n) {
    assert(length + n <= kMaxCandidateLength);
    for (int j = 0; j < n; ++j) sym[length + j] = from[j];
    length += n;
  }
};

// One search: the system it reads, the lengths of its sides, and the table it fills.
struct Search {
  const RuleSystem& sys;
  AncestorTable& table;
  std::array<int, kMaxLoopRules + 1> lhsLength{};
  std::array<int, kMaxLoopRules + 1> rhsLength{};
};

// True when the n symbols at x equal the n symbols at y.
bool SameSymbols(const SymbolId* x, const SymbolId* y, int n) {
  return n == 0 || std::memcmp(x, y, static_cast<std::size_t>(n)) == 0;
}

// The number of the word equal to the candidate (which has at most 19 symbols): the
// first equal word of the table, else a new last word; 0 when the table is full and the
// word is new (nothing is recorded then).
int FindOrAddWord(AncestorTable& t, const Candidate& c) {
  assert(c.length <= kMaxSideLength);
  SymbolString row{};  // zero-filled, so whole rows compare
  for (int j = 0; j < c.length; ++j) row[j] = c.sym[j];
  return FindOrAppend(t.words, t.wordCount, kMaxLoopWords, row);
}

// Records that the candidate, rewritten by rule r, contains word w: drops candidates
// longer than a side and new words when the table is full.
void StoreCandidate(Search& s, const Candidate& c, int w, int r) {
  if (c.length > kMaxSideLength) return;
  const int a = FindOrAddWord(s.table, c);
  if (a == 0) return;
  s.table.entry[a][w] = 1;
  if (s.sys.strict[r]) s.table.strictEntry[a][w] = 1;
}

// u[1..i] . l, when the suffix u[i+1..m] is a prefix of v: it rewrites to a word that
// begins with u.
void AncestorFromRightOverlap(Search& s, int w, int r, int i) {
  const SymbolString& u = s.table.words[w];
  const int m = Length(u);
  const int k = s.rhsLength[r];
  if (m - i > k || !SameSymbols(&u[i], s.sys.rhs[r].data(), m - i)) return;
  Candidate c;
  c.Append(u.data(), i);
  c.Append(s.sys.lhs[r].data(), s.lhsLength[r]);
  StoreCandidate(s, c, w, r);
}

// u[1..i] . l . u[i+k+1..m], when v occurs in u at position i+1: it rewrites to u.
void AncestorFromInnerRhs(Search& s, int w, int r, int i) {
  const SymbolString& u = s.table.words[w];
  const int m = Length(u);
  const int k = s.rhsLength[r];
  if (i + k > m || !SameSymbols(&u[i], s.sys.rhs[r].data(), k)) return;
  Candidate c;
  c.Append(u.data(), i);
  c.Append(s.sys.lhs[r].data(), s.lhsLength[r]);
  c.Append(&u[i + k], m - i - k);
  StoreCandidate(s, c, w, r);
}

// l . u[k-i+1..m], when the suffix v[i+1..k] is a prefix of u: it rewrites to a word
// that ends with u.
void AncestorFromLeftOverlap(Search& s, int w, int r, int i) {
  const SymbolString& u = s.table.words[w];
  const int m = Length(u);
  const int k = s.rhsLength[r];
  if (k - i > m || !SameSymbols(&s.sys.rhs[r][i], u.data(), k - i)) return;
  Candidate c;
  c.Append(s.sys.lhs[r].data(), s.lhsLength[r]);
  c.Append(&u[k - i], m - (k - i));
  StoreCandidate(s, c, w, r);
}

// l, when u occurs in v at position i+1: it rewrites to v, which contains u.
void AncestorFromOuterRhs(Search& s, int w, int r, int i) {
  const SymbolString& u = s.table.words[w];
  const int m = Length(u);
  const int k = s.rhsLength[r];
  if (i + m > k || !SameSymbols(&s.sys.rhs[r][i], u.data(), m)) return;
  Candidate c;
  c.Append(s.sys.lhs[r].data(), s.lhsLength[r]);
  StoreCandidate(s, c, w, r);
}

// Sets the loop flag, keeps only the head of the proof text and names word p.
void ReportLoop(State& st, const AncestorTable& t) {
  const int p = FindLoopingWord(t);
  if (p == 0) return;
  st.loop = 1;
  CutBackToProofHead(st);
  std::string line = "Non-terminating; looping derivation starting in: ";
  const SymbolString& word = t.words[p];
  for (int j = 0; word[j] != 0; ++j) line += st.primary.names[word[j]];
  AppendLogLine(st, line);
}

}  // namespace

int FindLoopingWord(const AncestorTable& t) {
  const int n = t.wordCount;
  assert(n >= 0 && n <= kMaxLoopWords);

  // Live words: those with an endless chain of direct ancestors among the words.
  // A word without a live successor dies at once, so later words of a sweep see it.
  std::array<std::uint8_t, kMaxLoopWords + 1> live{};
  for (int p = 1; p <= n; ++p) live[p] = 1;
  int liveCount = n;
  for (;;) {
    int stayed = 0;
    for (int p = 1; p <= n; ++p) {
      if (!live[p]) continue;
      bool successor = false;
      for (int q = 1; q <= n && !successor; ++q) successor = live[q] && t.entry[p][q];
      if (successor) {
        ++stayed;
      } else {
        live[p] = 0;
      }
    }
    if (stayed == liveCount) break;
    liveCount = stayed;
  }
  if (liveCount == 0) return 0;

  // Every chain from a live word runs through live words into a cycle. The word loops
  // only if it reaches a cycle with a strict entry; with every rule strict, that is
  // every live word.
  using Row = std::bitset<kMaxLoopWords + 1>;
  std::array<Row, kMaxLoopWords + 1> reach{};  // reflexive-transitive, live words only
  for (int p = 1; p <= n; ++p) {
    if (!live[p]) continue;
    reach[p][p] = true;
    for (int q = 1; q <= n; ++q)
      if (live[q] && t.entry[p][q]) reach[p][q] = true;
  }
  for (int k = 1; k <= n; ++k)
    for (int p = 1; p <= n; ++p)
      if (reach[p][k]) reach[p] |= reach[k];
  Row strictCycle;  // words on a cycle through one of their strict entries
  for (int a = 1; a <= n; ++a)
    for (int w = 1; w <= n && !strictCycle[a]; ++w)
      if (live[a] && live[w] && t.strictEntry[a][w] && reach[w][a]) strictCycle[a] = true;
  for (int p = 1; p <= n; ++p)
    if (live[p] && (reach[p] & strictCycle).any()) return p;
  return 0;
}

bool CollectAncestors(State& st, AncestorTable& table) {
  const RuleSystem& sys = st.primary;
  const int n = sys.ruleCount;
  table.wordCount = 0;
  if (n > kMaxLoopRules) return false;  // one word per rule would not fit the table

  Search s{sys, table};
  for (int r = 1; r <= n; ++r) {
    s.lhsLength[r] = Length(sys.lhs[r]);
    s.rhsLength[r] = Length(sys.rhs[r]);
    SymbolString row{};
    for (int j = 0; j < s.lhsLength[r]; ++j) row[j] = sys.lhs[r][j];
    table.words[r] = row;
  }
  table.wordCount = n;
  for (auto& row : table.entry) row.fill(0);
  for (auto& row : table.strictEntry) row.fill(0);

  // Passes until one adds no word; words added in a pass are examined from the next.
  int atPassStart = 0;
  while (atPassStart < table.wordCount) {
    atPassStart = table.wordCount;
    for (int w = 1; w <= atPassStart; ++w) {
      const int m = Length(table.words[w]);
      for (int r = 1; r <= n; ++r) {
        if (TimeUp(st)) return false;
        for (int i = 0; i < m; ++i) {
          AncestorFromRightOverlap(s, w, r, i);
          AncestorFromInnerRhs(s, w, r, i);
        }
        for (int i = 0; i < s.rhsLength[r]; ++i) {
          AncestorFromLeftOverlap(s, w, r, i);
          AncestorFromOuterRhs(s, w, r, i);
        }
      }
    }
  }
  return true;
}

void SearchLoop(State& st) {
  AncestorTable table;
  if (!CollectAncestors(st, table)) return;  // gave up: no loop
  ReportLoop(st, table);
}

}  // namespace velkin
