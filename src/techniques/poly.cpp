// Polynomial interpretations: a fixed, ordered list of linear candidates built from
// x, x+1, x+c and 10x. The first candidate under which no rule increases and some rule
// strictly decreases decides the step; the strictly decreasing rules go away.
#include "techniques/poly.h"

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

void FillSuccessor(PolyCandidate& c, int n, std::uint8_t value) {
  for (int s = 1; s <= n; ++s) c.successor[s] = value;
}

// A candidate test of the table (SuccessorSet, AdditiveWeights or LinearMix).
using TableCheck = bool (PolyRuleTable::*)(PolyCandidate&);

// Tries one candidate of the current flags with `check`. Returns true when the search
// must stop: the candidate was accepted (found is set) or the run's time is up.
template <TableCheck check>
bool Accepts(State& st, PolyRuleTable& table, PolyCandidate& c) {
  if (TimeUp(st)) return true;
  if (!(table.*check)(c)) return false;
  c.found = 1;
  return true;
}

// Phase 1: successor on a set S, identity elsewhere. True when the search must stop.
// Each step fills the flags once and changes only the one or two symbols that differ
// from the fill, putting them back after their candidate: every candidate sees exactly
// the flags of a fresh fill.
bool SearchSuccessorSets(State& st, PolyRuleTable& t, PolyCandidate& c, int n) {
  constexpr TableCheck check = &PolyRuleTable::SuccessorSet;
  FillSuccessor(c, n, 1);
  if (Accepts<check>(st, t, c)) return true;
  FillSuccessor(c, n, 0);
  for (int k = 1; k <= n; ++k) {
    c.successor[k] = 1;
    if (Accepts<check>(st, t, c)) return true;
    c.successor[k] = 0;
  }
  for (int i = 1; i < n; ++i) {
    c.successor[i] = 1;
    for (int j = i + 1; j <= n; ++j) {
      c.successor[j] = 1;
      if (Accepts<check>(st, t, c)) return true;
      c.successor[j] = 0;
    }
    c.successor[i] = 0;
  }
  FillSuccessor(c, n, 1);
  for (int k = 1; k <= n; ++k) {
    c.successor[k] = 0;
    if (Accepts<check>(st, t, c)) return true;
    c.successor[k] = 1;
  }
  for (int i = 1; i < n; ++i) {
    c.successor[i] = 0;
    for (int j = i + 1; j <= n; ++j) {
      c.successor[j] = 0;
      if (Accepts<check>(st, t, c)) return true;
      c.successor[j] = 1;
    }
    c.successor[i] = 1;
  }
  return false;
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
    if (Accepts<&PolyRuleTable::AdditiveWeights>(st, t, c)) return true;
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

// The rest of a phase-3 family: successor in families 1, 3, 4; identity in 2; times
// ten in 5, 6, 7.
std::uint8_t RestSuccessor(int family) {
  return (family == 1 || family == 3 || family == 4) ? 1 : 0;
}
std::uint8_t RestTimesTen(int family) {
  return family >= 5 ? 1 : 0;
}

// Sets both flag arrays of symbols 1..n to the rest of a family.
void FillFamilyRest(PolyCandidate& c, int n, int family) {
  const std::uint8_t restSuccessor = RestSuccessor(family);
  const std::uint8_t restTimesTen = RestTimesTen(family);
  for (int s = 1; s <= n; ++s) {
    c.successor[s] = restSuccessor;
    c.timesTen[s] = restTimesTen;
  }
}

// Puts symbols i and j (j = 0: none) back to the rest of the family.
void ClearFamilyPair(PolyCandidate& c, int family, int i, int j) {
  c.successor[i] = RestSuccessor(family);
  c.timesTen[i] = RestTimesTen(family);
  if (j > 0) {
    c.successor[j] = RestSuccessor(family);
    c.timesTen[j] = RestTimesTen(family);
  }
}

// Given the flags at the rest of the family, sets them for candidate (i, j): afterwards
// they are what a fresh fill for (i, j) gives.
void SetFamilyPair(PolyCandidate& c, int family, int i, int j) {
  auto set = [&c](int s, std::uint8_t successor, std::uint8_t timesTen) {
    c.successor[s] = successor;
    c.timesTen[s] = timesTen;
  };
  switch (family) {
    case 1:
      set(i, 0, 1);
      break;
    case 2:
      set(i, 0, 1);
      set(j, 1, 0);
      break;
    case 3:
      set(i, 0, 1);
      set(j, 0, 0);
      break;
    case 4:
      set(i, 0, 1);
      set(j, 0, 1);
      break;
    case 5:
      set(i, 1, 0);
      break;
    case 6:
      set(i, 1, 0);
      set(j, 1, 0);
      break;
    case 7:
      set(i, 0, 0);
      set(j, 1, 0);
      break;
    default:
      assert(false && "unknown family");
  }
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
    const Shape shape = FamilyShape(family);
    for (int reversed = 0; reversed <= 1; ++reversed) {
      c.reversed = static_cast<std::uint8_t>(reversed);
      FillFamilyRest(c, n, family);
      for (int i = 1; i <= n; ++i) {
        int jFirst = 0;
        int jLast = 0;  // kSingle: one candidate with j unused
        if (shape == Shape::kOrdered) {
          jFirst = 1;
          jLast = n;
        } else if (shape == Shape::kUnordered) {
          jFirst = i + 1;
          jLast = n;
        }
        for (int j = jFirst; j <= jLast; ++j) {
          if (shape == Shape::kOrdered && j == i) continue;
          SetFamilyPair(c, family, i, j);
          if (Accepts<&PolyRuleTable::LinearMix>(st, t, c)) {
            choice = MixChoice{family, i, j};
            return true;
          }
          ClearFamilyPair(c, family, i, j);
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
  const std::string& a = w.names[choice.i];
  const std::string& b = choice.j > 0 ? w.names[choice.j] : w.names[0];
  std::string line;
  switch (family) {
    case 1:
      line = a + ": lambda x.10x,  rest lambda x.x+1";
      break;
    case 2:
      line = a + ": lambda x.10x,  " + b + ": lambda x.x+1";
      if (n > 2) line += ",  rest identity";
      break;
    case 3:
      line = a + ": lambda x.10x,  " + b + ": identity, rest lambda x.x+1";
      break;
    case 4:
      line = a + " and " + b + ": lambda x.10x, rest lambda x.x+1";
      break;
    case 5:
      line = a + ": lambda x.x+1, rest lambda x.10x";
      break;
    case 6:
      line = a + " and " + b + ": lambda x.x+1, rest lambda x.10x";
      break;
    case 7:
      line = a + ": identity, " + b + ": lambda x.x+1, rest lambda x.10x";
      break;
    default:
      assert(false && "unknown family");
  }
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

// Guarantees: the occurrence lists hold, for rules 1..ruleCount in order, every symbol
// of the rule once (in order of first occurrence, lhs before rhs) with its counts.
PolyRuleTable::PolyRuleTable(const RuleSystem& sys) : sys_(sys) {
  const int rules = sys.ruleCount;
  assert(rules >= 0 && rules <= kMaxRules);
  first_.resize(static_cast<std::size_t>(rules) + 2);
  order_.resize(static_cast<std::size_t>(rules));
  occurrences_.reserve(static_cast<std::size_t>(rules) * 4);
  std::array<std::int32_t, kMaxSymbols + 1> slot;  // symbol -> index in this rule's list
  slot.fill(-1);
  for (int i = 1; i <= rules; ++i) {
    first_[i] = static_cast<std::int32_t>(occurrences_.size());
    order_[i - 1] = i;
    auto add = [&](SymbolId s, bool left) {
      assert(s <= kMaxSymbols);
      if (slot[s] < 0) {
        slot[s] = static_cast<std::int32_t>(occurrences_.size());
        occurrences_.push_back(Occurrence{s, 0, 0});
      }
      Occurrence& o = occurrences_[static_cast<std::size_t>(slot[s])];
      ++(left ? o.left : o.right);
    };
    for (int p = 0; sys.lhs[i][p] != 0; ++p) add(sys.lhs[i][p], true);
    for (int p = 0; sys.rhs[i][p] != 0; ++p) add(sys.rhs[i][p], false);
    for (std::size_t k = static_cast<std::size_t>(first_[i]); k < occurrences_.size(); ++k)
      slot[occurrences_[k].symbol] = -1;
  }
  first_[static_cast<std::size_t>(rules) + 1] = static_cast<std::int32_t>(occurrences_.size());
}

// The evaluators' contract in the table's order: stops at the first refusing rule and
// moves it to the front, so that the next candidate, which usually fails on the same
// rule, finds out at once. Whether a candidate is accepted, and its marks when it is,
// do not depend on the order.
template <typename CompareRule>
bool PolyRuleTable::Evaluate(PolyCandidate& c, CompareRule compare) {
  bool anyDecrease = false;
  const int rules = static_cast<int>(order_.size());
  for (int k = 0; k < rules; ++k) {
    const std::int32_t i = order_[static_cast<std::size_t>(k)];
    const Compare outcome = compare(i);
    if (outcome == Compare::kRefuse) {
      for (int q = k; q > 0; --q) order_[q] = order_[q - 1];
      order_[0] = i;
      return false;
    }
    c.decrease[i] = outcome == Compare::kDecrease ? 1 : 0;
    anyDecrease = anyDecrease || outcome == Compare::kDecrease;
  }
  return anyDecrease;
}

// Guarantees: as CheckSuccessorSet; the difference is sum over the rule's symbols of
// (lhs count - rhs count) * flag.
bool PolyRuleTable::SuccessorSet(PolyCandidate& c) {
  return Evaluate(c, [this, &c](std::int32_t i) {
    std::int32_t d = 0;
    for (std::int32_t k = first_[i]; k < first_[i + 1]; ++k) {
      const Occurrence& o = occurrences_[static_cast<std::size_t>(k)];
      d += (o.left - o.right) * c.successor[o.symbol];
    }
    return FromDifference(d);
  });
}

// Guarantees: as CheckAdditiveWeights, by the same sums over the rule's symbols.
bool PolyRuleTable::AdditiveWeights(PolyCandidate& c) {
  return Evaluate(c, [this, &c](std::int32_t i) {
    std::int32_t d = 0;
    for (std::int32_t k = first_[i]; k < first_[i + 1]; ++k) {
      const Occurrence& o = occurrences_[static_cast<std::size_t>(k)];
      d += (o.left - o.right) * c.weight[o.symbol];
    }
    return FromDifference(d);
  });
}

// Guarantees: as CheckLinearMix. The multiplier of a side is 10 to the number of its
// times-ten positions, and a sixth one refuses whichever side it is in; so the counts
// decide unless they are equal, and only then are the constants worked out.
bool PolyRuleTable::LinearMix(PolyCandidate& c) {
  return Evaluate(c, [this, &c](std::int32_t i) {
    int tensLeft = 0;
    int tensRight = 0;
    std::int32_t successors = 0;  // lhs minus rhs: the constants' difference without tens
    for (std::int32_t k = first_[i]; k < first_[i + 1]; ++k) {
      const Occurrence& o = occurrences_[static_cast<std::size_t>(k)];
      if (c.timesTen[o.symbol]) {
        tensLeft += o.left;
        tensRight += o.right;
      }
      if (c.successor[o.symbol]) successors += o.left - o.right;
    }
    constexpr int kMostTens = 5;  // m stays at most 100000
    if (tensLeft > kMostTens || tensRight > kMostTens) return Compare::kRefuse;
    if (tensLeft != tensRight) return tensLeft > tensRight ? Compare::kDecrease : Compare::kRefuse;
    if (tensLeft == 0) return FromDifference(successors);
    std::int32_t mL = 0, aL = 0, mR = 0, aR = 0;
    [[maybe_unused]] const bool fits =
        LinearValue(sys_.lhs[i], c, mL, aL) && LinearValue(sys_.rhs[i], c, mR, aR);
    assert(fits && mL == mR);
    return FromDifference(aL - aR);
  });
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
