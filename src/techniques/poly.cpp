// Polynomial interpretations: a fixed, ordered list of linear candidates built from
// x, x+1, x+c and 10x. The first candidate under which no rule increases and some rule
// strictly decreases decides the step; the strictly decreasing rules go away.
#include "techniques/poly.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "model/proof_log.h"

namespace velkin {

namespace {

constexpr char kChooseHeading[] = "Choose polynomial interpretation:";
// Phases 1 and 2 open with this text; its two trailing blanks belong to it.
constexpr char kChoosePrefix[] = "Choose polynomial interpretation  ";
constexpr char kReverseHeading[] =
    "Reverse every lhs and rhs of the system and choose polynomial interpretation:";
// Families 4 to 6 write the reversed heading without the blank between the words.
constexpr char kReverseHeadingJoined[] =
    "Reverse every lhs and rhs of the system and choose polynomialinterpretation:";

constexpr int kFamilyCount = 7;
constexpr std::int32_t kMultiplierLimit = 10000;  // a larger m refuses another 10x
constexpr int kPhase2MaxSymbols = 3;              // phase 2 runs for at most 3 symbols
constexpr int kWeightBase = 4;                    // phase 2 weights are 0..3

// How the candidates of a phase-3 family are numbered.
enum class Shape {
  kSingle,     // k = 1..n
  kOrdered,    // i = 1..n, j = 1..n, j != i
  kUnordered,  // i = 1..n-1, j = i+1..n
};

Shape FamilyShape(int family) {
  switch (family) {
    case 1:
    case 5:
      return Shape::kSingle;
    case 4:
    case 6:
      return Shape::kUnordered;
    default:
      return Shape::kOrdered;
  }
}

// The outcome of comparing one rule's sides: refused, equal or strictly decreasing.
enum class Compare { kRefuse, kEqual, kDecrease };

// Shared tail of the three evaluators: visits the rules in order, stops at the first
// refusal, writes the marks of the rules visited, and asks for at least one decrease.
template <typename CompareRule>
bool EvaluateRules(const State& st, PolyCandidate& c, CompareRule compare) {
  const RuleSystem& w = st.working;
  assert(w.ruleCount >= 0 && w.ruleCount <= kMaxRules);
  bool anyDecrease = false;
  for (int i = 1; i <= w.ruleCount; ++i) {
    const Compare outcome = compare(w.lhs[i], w.rhs[i]);
    if (outcome == Compare::kRefuse) return false;
    c.decrease[i] = outcome == Compare::kDecrease ? 1 : 0;
    anyDecrease = anyDecrease || outcome == Compare::kDecrease;
  }
  return anyDecrease;
}

Compare FromDifference(std::int32_t d) {
  if (d < 0) return Compare::kRefuse;
  return d > 0 ? Compare::kDecrease : Compare::kEqual;
}

// Number of positions of a side that hold a successor symbol.
std::int32_t SuccessorCount(const SymbolString& s, const PolyCandidate& c) {
  std::int32_t count = 0;
  for (int p = 0; s[p] != 0; ++p) count += c.successor[s[p]];
  return count;
}

// Sum of the weights of a side's positions.
std::int32_t WeightSum(const SymbolString& s, const PolyCandidate& c) {
  std::int32_t sum = 0;
  for (int p = 0; s[p] != 0; ++p) sum += c.weight[s[p]];
  return sum;
}

// Linear value m*x + a of a side under identity, x+1 and 10x, innermost symbol first
// (the last one in the direct reading, the first one in the reversed reading). False
// when a sixth times-ten symbol would push m past 100000.
bool LinearValue(const SymbolString& s, const PolyCandidate& c, std::int32_t& m, std::int32_t& a) {
  m = 1;
  a = 0;
  const int n = Length(s);
  const int first = c.reversed ? 0 : n - 1;
  const int step = c.reversed ? 1 : -1;
  for (int k = 0, p = first; k < n; ++k, p += step) {
    const SymbolId sym = s[p];
    if (c.successor[sym]) ++a;
    if (c.timesTen[sym]) {
      if (m > kMultiplierLimit) return false;
      a *= 10;
      m *= 10;
    }
  }
  return true;
}

// The constant a of LinearValue for a side of `length` symbols that holds at most five
// times-ten symbols (so that m stays in range and the multiplier need not be kept).
std::int32_t Constant(const SymbolString& s, int length, const PolyCandidate& c) {
  assert(length == Length(s));
  std::int32_t a = 0;
  const int first = c.reversed ? 0 : length - 1;
  const int step = c.reversed ? 1 : -1;
  for (int k = 0, p = first; k < length; ++k, p += step) {
    const SymbolId sym = s[p];
    if (c.successor[sym]) ++a;
    if (c.timesTen[sym]) a *= 10;
  }
  return a;
}

// Tries one candidate with `test`. Returns true when the search must stop: the
// candidate was accepted (found is set) or the run's time is up.
template <typename Test>
bool Accepts(State& st, PolyCandidate& c, Test test) {
  if (TimeUp(st)) return true;
  if (!test()) return false;
  c.found = 1;
  return true;
}

// Sets the flags of the shape's exceptions; with the rest's flags everywhere else this
// gives the flags of the shape.
void SetExceptions(const PolyShape& shape, PolyCandidate& c) {
  for (int e = 0; e < 2; ++e) {
    const SymbolId x = shape.symbol[e];
    if (x == 0) continue;
    c.successor[x] = static_cast<std::uint8_t>(shape.restSuccessor + shape.successor[e]);
    c.timesTen[x] = static_cast<std::uint8_t>(shape.restTimesTen + shape.timesTen[e]);
  }
}

// Puts the exceptions back to the rest's flags.
void ClearExceptions(const PolyShape& shape, PolyCandidate& c) {
  for (int e = 0; e < 2; ++e) {
    const SymbolId x = shape.symbol[e];
    if (x == 0) continue;
    c.successor[x] = static_cast<std::uint8_t>(shape.restSuccessor);
    c.timesTen[x] = static_cast<std::uint8_t>(shape.restTimesTen);
  }
}

// The shape with rest successor flag `rest` (times ten nowhere) whose exceptions have
// the opposite successor flag.
PolyShape SuccessorShape(int rest) {
  PolyShape shape;
  shape.restSuccessor = rest;
  shape.successor = {1 - 2 * rest, 1 - 2 * rest};
  return shape;
}

// Tests the candidate of `shape` (exceptions set, tested, put back); true when the
// search must stop.
template <typename Test>
bool AcceptsShape(State& st, PolyCandidate& c, const PolyShape& shape, Test test) {
  SetExceptions(shape, c);
  if (Accepts(st, c, [&] { return test(shape); })) return true;
  ClearExceptions(shape, c);
  return false;
}

// Phase 1: successor on a set S, identity elsewhere. True when the search must stop.
// Each step fills the flags with its rest once; every candidate sets its exceptions
// and puts them back, so that it sees exactly the flags of a fresh fill.
bool SearchSuccessorSets(State& st, PolyRuleTable& t, PolyCandidate& c, int n) {
  auto test = [&](const PolyShape& shape) { return t.SuccessorSet(c, shape); };
  // One or two exceptions to `shape`'s rest: k = 1..n, then the pairs i < j.
  auto exceptions = [&](PolyShape shape) {
    for (int k = 1; k <= n; ++k) {
      shape.symbol = {static_cast<SymbolId>(k), 0};
      if (AcceptsShape(st, c, shape, test)) return true;
    }
    for (int i = 1; i < n; ++i) {
      for (int j = i + 1; j <= n; ++j) {
        shape.symbol = {static_cast<SymbolId>(i), static_cast<SymbolId>(j)};
        if (AcceptsShape(st, c, shape, test)) return true;
      }
    }
    return false;
  };
  const PolyShape all = SuccessorShape(1);
  ApplyShape(all, c, n);
  if (AcceptsShape(st, c, all, test)) return true;  // S = all symbols
  const PolyShape none = SuccessorShape(0);
  ApplyShape(none, c, n);
  if (exceptions(none)) return true;  // S = {k}, then S = {i, j}
  ApplyShape(all, c, n);
  return exceptions(all);  // all but k, then all but i and j
}

void ReportSuccessorSet(State& st, const PolyCandidate& c, int n) {
  const RuleSystem& w = st.working;
  std::string line = kChoosePrefix;
  bool whole = true;
  for (int s = 1; s <= n; ++s) {
    if (c.successor[s]) {
      line += ' ';
      line += w.names[s];
    } else {
      whole = false;
    }
  }
  line += ": lambda x.x+1";
  if (!whole) line += ",  rest identity";
  AppendLogLine(st, line);
}

// Phase 2: x + c with c in 0..3 per symbol, counted in base 4 with symbol 1 lowest.
// True when the search must stop.
bool SearchAdditiveWeights(State& st, PolyRuleTable& t, PolyCandidate& c, int n) {
  assert(n <= kPhase2MaxSymbols);
  for (int p = 1; p <= n + 1; ++p) c.weight[p] = 0;
  while (c.weight[n + 1] == 0) {
    ++c.weight[1];
    for (int p = 1; c.weight[p] == kWeightBase; ++p) {
      c.weight[p] = 0;
      ++c.weight[p + 1];
    }
    // The carry into the stop digit leaves all weights 0, which nothing can accept.
    if (c.weight[n + 1] != 0) break;
    if (Accepts(st, c, [&] { return t.AdditiveWeights(c); })) return true;
  }
  return false;
}

void ReportAdditiveWeights(State& st, const PolyCandidate& c, int n) {
  const RuleSystem& w = st.working;
  AppendLogLine(st, kChoosePrefix);
  for (int s = 1; s <= n; ++s) {
    std::string line = w.names[s];
    if (c.weight[s] == 0) {
      line += ": identity";
    } else {
      line += ": lambda x.x+";
      line += std::to_string(c.weight[s]);
    }
    AppendLogLine(st, line);
  }
}

// What a phase-3 family sets, by family: the flags (successor, times ten) of the rest,
// of symbol i and of symbol j (families 1 and 5 name i alone: their j takes the rest's),
// and its proof line, i's name and `afterI`, then, where the family names j, j's name and
// `afterJ`.
struct FamilyFlags {
  int successor = 0;
  int timesTen = 0;
};
struct Family {
  FamilyFlags rest, i, j;
  const char* afterI = "";
  const char* afterJ = nullptr;  // none: the family names i alone
};
constexpr std::array<Family, kFamilyCount + 1> kFamilies{{
    {},  // no family 0
    {{1, 0}, {0, 1}, {1, 0}, ": lambda x.10x,  rest lambda x.x+1", nullptr},
    {{0, 0}, {0, 1}, {1, 0}, ": lambda x.10x,  ", ": lambda x.x+1"},
    {{1, 0}, {0, 1}, {0, 0}, ": lambda x.10x,  ", ": identity, rest lambda x.x+1"},
    {{1, 0}, {0, 1}, {0, 1}, " and ", ": lambda x.10x, rest lambda x.x+1"},
    {{0, 1}, {1, 0}, {0, 1}, ": lambda x.x+1, rest lambda x.10x", nullptr},
    {{0, 1}, {1, 0}, {1, 0}, " and ", ": lambda x.x+1, rest lambda x.10x"},
    {{0, 1}, {0, 0}, {1, 0}, ": identity, ", ": lambda x.x+1, rest lambda x.10x"},
}};

// The candidates of a phase-3 family, with exceptions still to be named: exception 0
// takes the flags of i, exception 1 those of j, every other symbol the rest's.
PolyShape FamilyCandidates(int family) {
  assert(family >= 1 && family <= kFamilyCount && "unknown family");
  const Family& f = kFamilies[family];
  PolyShape shape;
  shape.restSuccessor = f.rest.successor;
  shape.restTimesTen = f.rest.timesTen;
  shape.successor = {f.i.successor - f.rest.successor, f.j.successor - f.rest.successor};
  shape.timesTen = {f.i.timesTen - f.rest.timesTen, f.j.timesTen - f.rest.timesTen};
  return shape;
}

// The accepted phase-3 candidate, for its proof lines.
struct MixChoice {
  int family = 0;
  int i = 0;
  int j = 0;
};

// Phase 3: the seven families, each first in the direct reading, then reversed.
// True when the search must stop; `choice` names the accepted candidate.
bool SearchLinearMix(State& st, PolyRuleTable& t, PolyCandidate& c, int n, MixChoice& choice) {
  for (int family = 1; family <= kFamilyCount; ++family) {
    const Shape numbering = FamilyShape(family);
    PolyShape candidate = FamilyCandidates(family);
    auto test = [&](const PolyShape& shape) { return t.LinearMix(c, shape); };
    for (int reversed = 0; reversed <= 1; ++reversed) {
      c.reversed = static_cast<std::uint8_t>(reversed);
      candidate.symbol = {0, 0};
      ApplyShape(candidate, c, n);  // the rest everywhere
      for (int i = 1; i <= n; ++i) {
        // Families 1 to 3 make i the only times-ten symbol: when a rule refuses that
        // whatever the other flags, every candidate (i, j) would be refused.
        if (family <= 3 && t.RefusesTimesTenAlone(static_cast<SymbolId>(i))) continue;
        int jFirst = 0;
        int jLast = 0;  // kSingle: one candidate with j unused
        if (numbering == Shape::kOrdered) {
          jFirst = 1;
          jLast = n;
        } else if (numbering == Shape::kUnordered) {
          jFirst = i + 1;
          jLast = n;
        }
        for (int j = jFirst; j <= jLast; ++j) {
          if (numbering == Shape::kOrdered && j == i) continue;
          candidate.symbol = {static_cast<SymbolId>(i), static_cast<SymbolId>(j)};
          if (AcceptsShape(st, c, candidate, test)) {
            choice = MixChoice{family, i, j};
            return true;
          }
        }
      }
    }
  }
  return false;
}

void ReportLinearMix(State& st, const PolyCandidate& c, int n, const MixChoice& choice) {
  const RuleSystem& w = st.working;
  const int family = choice.family;
  if (!c.reversed) {
    AppendLogLine(st, kChooseHeading);
  } else if (family >= 4 && family <= 6) {
    AppendLogLine(st, kReverseHeadingJoined);
  } else {
    AppendLogLine(st, kReverseHeading);
  }
  const Family& f = kFamilies[family];
  std::string line = w.names[choice.i] + f.afterI;
  if (f.afterJ != nullptr) {
    assert(choice.j > 0);
    line += w.names[choice.j] + f.afterJ;
  }
  if (family == 2 && n > 2) line += ",  rest identity";  // the only rest left as it is
  AppendLogLine(st, line);
}

// Writes the removed rules (report flag set), then closes the gaps: kept rules move
// down in their old order with their rows, strict flags and rule origins.
void RemoveDecreasingRules(State& st, const PolyCandidate& c) {
  RuleSystem& w = st.working;
  if (st.report) {
    for (int i = 1; i <= w.ruleCount; ++i)
      if (c.decrease[i]) AppendLogLine(st, "remove: " + FormatRule(st, i));
  }
  int kept = 0;
  for (int i = 1; i <= w.ruleCount; ++i) {
    if (c.decrease[i]) continue;
    ++kept;
    if (kept == i) continue;
    w.lhs[kept] = w.lhs[i];
    w.rhs[kept] = w.rhs[i];
    w.strict[kept] = w.strict[i];
    st.ruleOrigin[kept] = st.ruleOrigin[i];
  }
  assert(kept < w.ruleCount && "an accepted candidate removes at least one rule");
  w.ruleCount = kept;
}

}  // namespace

// Guarantees: marks rules 1..k written for the visited prefix; true only if no rule
// gains successor symbols and at least one loses some.
bool CheckSuccessorSet(const State& st, PolyCandidate& c) {
  return EvaluateRules(st, c, [&c](const SymbolString& l, const SymbolString& r) {
    return FromDifference(SuccessorCount(l, c) - SuccessorCount(r, c));
  });
}

// Guarantees: as CheckSuccessorSet, comparing the sums of the weights of each side.
bool CheckAdditiveWeights(const State& st, PolyCandidate& c) {
  return EvaluateRules(st, c, [&c](const SymbolString& l, const SymbolString& r) {
    return FromDifference(WeightSum(l, c) - WeightSum(r, c));
  });
}

// Guarantees: as CheckSuccessorSet, comparing m*x + a by multiplier first, then by the
// constant; a side with more than five times-ten symbols refuses the candidate.
bool CheckLinearMix(const State& st, PolyCandidate& c) {
  return EvaluateRules(st, c, [&c](const SymbolString& l, const SymbolString& r) {
    std::int32_t mL = 0, aL = 0, mR = 0, aR = 0;
    if (!LinearValue(l, c, mL, aL) || !LinearValue(r, c, mR, aR)) return Compare::kRefuse;
    if (mL != mR) return mL > mR ? Compare::kDecrease : Compare::kRefuse;
    return FromDifference(aL - aR);
  });
}

// Guarantees: flags of symbols 1..n as the shape says; weights, marks untouched.
void ApplyShape(const PolyShape& shape, PolyCandidate& c, int n) {
  assert(n >= 0 && n <= kMaxSymbols);
  for (int s = 1; s <= n; ++s) {
    c.successor[s] = static_cast<std::uint8_t>(shape.restSuccessor);
    c.timesTen[s] = static_cast<std::uint8_t>(shape.restTimesTen);
  }
  SetExceptions(shape, c);
}

namespace {

// Debug-build check that a shape describes the flags of every symbol a rule may hold.
[[maybe_unused]] bool ShapeDescribes(const PolyShape& shape, const PolyCandidate& c, int width) {
  if (shape.symbol[0] != 0 && shape.symbol[0] == shape.symbol[1]) return false;
  for (int s = 1; s < width; ++s) {
    int successor = shape.restSuccessor;
    int timesTen = shape.restTimesTen;
    for (int e = 0; e < 2; ++e) {
      if (shape.symbol[e] == s) {
        successor += shape.successor[e];
        timesTen += shape.timesTen[e];
      }
    }
    if (c.successor[s] != successor || c.timesTen[s] != timesTen) return false;
  }
  return true;
}

}  // namespace

// Guarantees: lengths and per-symbol counts of both sides of rules 1..ruleCount, for
// every symbol up to the symbol count (and any larger one a rule holds).
PolyRuleTable::PolyRuleTable(const RuleSystem& sys) : sys_(sys) {
  const int rules = sys.ruleCount;
  assert(rules >= 0 && rules <= kMaxRules);
  width_ = std::max(1, sys.symbolCount + 1);
  const std::size_t slots = static_cast<std::size_t>(rules) + 1;
  lengths_.resize(slots);
  order_.resize(static_cast<std::size_t>(rules));
  for (int i = 1; i <= rules; ++i) {
    order_[static_cast<std::size_t>(i - 1)] = i;
    lengths_[i].left = static_cast<std::uint8_t>(Length(sys.lhs[i]));
    lengths_[i].right = static_cast<std::uint8_t>(Length(sys.rhs[i]));
    for (int p = 0; sys.lhs[i][p] != 0; ++p) width_ = std::max(width_, sys.lhs[i][p] + 1);
    for (int p = 0; sys.rhs[i][p] != 0; ++p) width_ = std::max(width_, sys.rhs[i][p] + 1);
  }
  counts_.assign(slots * static_cast<std::size_t>(width_), CountPair{});
  for (int i = 1; i <= rules; ++i) {
    for (int p = 0; sys.lhs[i][p] != 0; ++p) ++counts_[Cell(i, sys.lhs[i][p])].left;
    for (int p = 0; sys.rhs[i][p] != 0; ++p) ++counts_[Cell(i, sys.rhs[i][p])].right;
  }
}

// The evaluators' contract in the table's order: stops at the first refusing rule and
// moves it to the front, so that the next candidate, which usually fails on the same
// rule, finds out at once. Whether a candidate is accepted, and its marks when it is,
// do not depend on the order.
// (The tests copy what they read into locals first: the byte-sized marks written here
// may alias anything, which would make the compiler reload every field after a mark.)
template <typename CompareRule>
bool PolyRuleTable::Evaluate(PolyCandidate& c, CompareRule compare) {
  bool anyDecrease = false;
  std::int32_t* const order = order_.data();
  const int rules = static_cast<int>(order_.size());
  for (int k = 0; k < rules; ++k) {
    const std::int32_t i = order[k];
    const Compare outcome = compare(i);
    if (outcome == Compare::kRefuse) {
      for (int q = k; q > 0; --q) order[q] = order[q - 1];
      order[0] = i;
      return false;
    }
    c.decrease[i] = outcome == Compare::kDecrease ? 1 : 0;
    anyDecrease = anyDecrease || outcome == Compare::kDecrease;
  }
  return anyDecrease;
}

// Guarantees: the rows for `shape`, which must describe c's flags and name symbols of
// the table (both checked in debug builds).
PolyRuleTable::ShapeRows PolyRuleTable::RowsFor(const PolyShape& shape,
                                                [[maybe_unused]] const PolyCandidate& c) const {
  assert(ShapeDescribes(shape, c, width_));
  assert(shape.symbol[0] < width_ && shape.symbol[1] < width_);
  return {counts_.data(), lengths_.data(), static_cast<std::size_t>(width_), shape.symbol[0],
          shape.symbol[1]};
}

// Guarantees: as CheckSuccessorSet. The count of a side is the rest's flag times its
// length, corrected at the exceptions.
bool PolyRuleTable::SuccessorSet(PolyCandidate& c, const PolyShape& shape) {
  const ShapeRows rows = RowsFor(shape, c);
  return Evaluate(c, [rows, &shape](std::int32_t i) {
    return FromDifference(rows.At(i).Difference(shape.restSuccessor, shape.successor));
  });
}

// Guarantees: as CheckAdditiveWeights, by the weights times the counts of each symbol.
bool PolyRuleTable::AdditiveWeights(PolyCandidate& c) {
  return Evaluate(c, [this, &c](std::int32_t i) {
    const CountPair* row = &counts_[Cell(i, 0)];
    std::int32_t d = 0;
    for (int s = 1; s < width_; ++s) d += (row[s].left - row[s].right) * c.weight[s];
    return FromDifference(d);
  });
}

// Guarantees: as CheckLinearMix. The multiplier of a side is 10 to the number of its
// times-ten positions, and a sixth one refuses whichever side it is in; so the counts
// decide unless they are equal, and only then are the constants worked out (without
// times-ten symbols they are the successor counts).
bool PolyRuleTable::LinearMix(PolyCandidate& c, const PolyShape& shape) {
  const ShapeRows rows = RowsFor(shape, c);
  const RuleSystem& sys = sys_;
  return Evaluate(c, [rows, &shape, &sys, &c](std::int32_t i) {
    const ShapeCounts k = rows.At(i);
    const int tensLeft = k.Left(shape.restTimesTen, shape.timesTen);
    const int tensRight = k.Right(shape.restTimesTen, shape.timesTen);
    constexpr int kMostTens = 5;  // m stays at most 100000
    if (tensLeft > kMostTens || tensRight > kMostTens) return Compare::kRefuse;
    if (tensLeft != tensRight) return tensLeft > tensRight ? Compare::kDecrease : Compare::kRefuse;
    if (tensLeft == 0) return FromDifference(k.Difference(shape.restSuccessor, shape.successor));
    return FromDifference(Constant(sys.lhs[i], k.length.left, c) -
                          Constant(sys.rhs[i], k.length.right, c));
  });
}

bool PolyRuleTable::RefusesTimesTenAlone(SymbolId s) {
  assert(s < width_);
  if (tenAlone_.empty()) tenAlone_.assign(static_cast<std::size_t>(width_), -1);
  std::int8_t& known = tenAlone_[s];
  if (known < 0) {
    known = 0;
    constexpr int kMostTens = 5;
    for (std::size_t i = 1; i < lengths_.size() && known == 0; ++i) {
      const CountPair n = counts_[Cell(static_cast<std::int32_t>(i), s)];
      if (n.left > kMostTens || n.right > kMostTens || n.left < n.right) known = 1;
    }
  }
  return known == 1;
}

// Guarantees: on true, the proof lines of the accepted candidate are written (report
// flag set) and the working system has lost exactly its strictly decreasing rules; on
// false nothing was written and the working system is untouched. Gives up with false
// when the run's time is up.
bool TryPolynomialInterpretation(State& st) {
  const int n = st.working.symbolCount;
  assert(n >= 0 && n <= kMaxSymbols);
  PolyCandidate c;
  MixChoice choice;
  PolyRuleTable table(st.working);
  if (SearchSuccessorSets(st, table, c, n)) {
    if (c.found && st.report) ReportSuccessorSet(st, c, n);
  } else if (n <= kPhase2MaxSymbols && SearchAdditiveWeights(st, table, c, n)) {
    if (c.found && st.report) ReportAdditiveWeights(st, c, n);
  } else if (SearchLinearMix(st, table, c, n, choice)) {
    if (c.found && st.report) ReportLinearMix(st, c, n, choice);
  }
  if (!c.found) return false;
  RemoveDecreasingRules(st, c);
  return true;
}

// Guarantees: the working system holds what the polynomial steps left; the proved flag
// is set (and the path-order text flag cleared) exactly when no strict rule remains.
void ReduceAndReport(State& st) {
  while (TryPolynomialInterpretation(st)) {
  }
  const RuleSystem& w = st.working;
  bool strictLeft = false;
  for (int i = 1; i <= w.ruleCount; ++i) strictLeft = strictLeft || w.strict[i] != 0;
  if (!strictLeft) {
    st.proved = 1;
    st.pathOrderText = 0;
    if (st.report) {
      AppendLogLine(st, w.ruleCount == 0 ? "Terminating since no rules remain."
                                         : "Relatively terminating since no strict rules remain.");
    }
    return;
  }
  if (!st.report) return;
  AppendLogLine(st, w.ruleCount == 1 ? "Remaining rule:" : "Remaining rules:");
  for (int i = 1; i <= w.ruleCount; ++i) AppendLogLine(st, "    " + FormatRule(st, i));
}

}  // namespace velkin
