#include "techniques/labelling.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <string>

#include "model/proof_log.h"
#include "techniques/path_order.h"
#include "techniques/poly.h"
#include "techniques/reversal.h"

namespace velkin {

namespace {

// The text printed after a symbol's name for each interpretation code.
const char* CodeText(std::uint8_t code) {
  switch (code) {
    case 0:
      return ": identity";
    case 1:
      return ": constant 0";
    case 2:
      return ": constant 1";
    default:
      return ": lambda x.1-x";
  }
}

// Labels one side read from right to left, starting from the open-end value v: every
// symbol s becomes (s,1) = s or (s,0) = S + s by the value of its argument. Writes the
// labelled row (same length, end mark included) and returns the value of the side.
std::uint8_t LabelSide(const SymbolString& side, const InterpretationCodes& codes, int symbols,
                       std::uint8_t v, SymbolString& out) {
  const int n = Length(side);
  std::uint8_t cur = v;
  for (int p = n - 1; p >= 0; --p) {
    const SymbolId s = side[p];
    out[p] = cur == 1 ? s : static_cast<SymbolId>(symbols + s);
    cur = ApplyInterpretation(codes[s], cur);
  }
  out[n] = 0;
  return cur;
}

// Keeps the complete labelled system of rules 1..M of the working system.
void SaveLabelledCopy(State& st) {
  State::LabelledCopy& c = st.labelledCopy;
  const RuleSystem& w = st.working;
  c.ruleCount = w.ruleCount;
  CopyRuleRows(w, c, w.ruleCount);
  std::copy_n(&st.ruleOrigin[1], static_cast<int>(w.ruleCount), &c.origin[1]);
}

// Puts the labelled copy back into the working system (rows, strict flags, origins,
// rule count).
void RestoreLabelledCopy(State& st) {
  const State::LabelledCopy& c = st.labelledCopy;
  RuleSystem& w = st.working;
  w.ruleCount = c.ruleCount;
  CopyRuleRows(c, w, c.ruleCount);
  std::copy_n(&c.origin[1], c.ruleCount, &st.ruleOrigin[1]);
}

// True when some primary rule has no labelled copy left among the working rules.
bool SomePrimaryRuleLost(const State& st) {
  RuleMarks kept;
  MarkLabelledOrigins(st, kept);
  for (int i = 1; i <= st.primary.ruleCount; ++i)
    if (kept[i] == 0) return true;
  return false;
}

// The lines that justify a successful attempt, up to the labelled system.
void AppendLabellingLines(State& st, const InterpretationCodes& codes) {
  if (st.labellingReversed == 1) {
    AppendReversalLines(st);
  } else {
    AppendLogLine(st, "");
  }
  AppendLogLine(st, "Apply labelling with the following interpretation in {0,1}:");
  for (int s = 1; s <= st.primary.symbolCount; ++s)
    AppendLogLine(st, "  " + st.primary.names[s] + CodeText(codes[s]));
  AppendLogLine(st, "and label every symbol by the value of its argument.");
  AppendLogLine(st, "");
  AppendLogLine(st, st.quasiModel == 1 ? "This is a quasi-model for  1 > 0."
                                       : "This interpretation is a model.");
  AppendLogLine(st, "");
  AppendLogLine(st, "Labelled system:");
  for (int m = 1; m <= st.working.ruleCount; ++m) AppendLogLine(st, "   " + FormatRule(st, m));
  AppendLogLine(st, "");
}

}  // namespace

std::uint8_t ApplyInterpretation(std::uint8_t code, std::uint8_t value) {
  switch (code) {
    case 0:
      return value;
    case 1:
      return 0;
    case 2:
      return 1;
    default:
      return value ^ 1u;
  }
}

void MarkLabelledOrigins(const State& st, RuleMarks& kept) {
  kept.fill(0);
  for (int m = 1; m <= st.working.ruleCount; ++m) {
    const std::int32_t origin = st.ruleOrigin[m];
    assert(origin >= 0 && origin <= st.primary.ruleCount);
    if (origin > 0) kept[origin] = 1;
  }
}

bool LabellingFits(const RuleSystem& primary) {
  return primary.symbolCount <= kMaxLabelledSymbols &&
         2 * primary.ruleCount + primary.symbolCount <= kMaxRules;
}

void DrawInterpretation(State& st, InterpretationCodes& codes) {
  const std::uint32_t bound = st.quasiModel == 1 ? 3 : 4;
  for (int s = 1; s <= st.primary.symbolCount; ++s)
    codes[s] = static_cast<std::uint8_t>(RandomDraw(st, bound));
}

bool BuildLabelledSystem(State& st, const InterpretationCodes& codes) {
  const RuleSystem& p = st.primary;
  RuleSystem& w = st.working;
  assert(LabellingFits(p));
  const int symbols = p.symbolCount;
  bool passes = true;
  int m = 0;
  for (int i = 1; i <= p.ruleCount; ++i) {
    for (std::uint8_t v = 0; v <= 1; ++v) {
      ++m;
      w.strict[m] = p.strict[i];
      st.ruleOrigin[m] = i;
      const std::uint8_t l = LabelSide(p.lhs[i], codes, symbols, v, w.lhs[m]);
      const std::uint8_t r = LabelSide(p.rhs[i], codes, symbols, v, w.rhs[m]);
      if (st.quasiModel == 1 ? (l == 0 && r == 1) : (l != r)) passes = false;
    }
  }
  if (passes && st.quasiModel == 1) {
    // (s,1) > (s,0): one weak rule per symbol, after the labelled rules.
    for (int s = 1; s <= symbols; ++s) {
      ++m;
      w.strict[m] = 0;
      st.ruleOrigin[m] = 0;
      w.lhs[m][0] = static_cast<SymbolId>(s);
      w.lhs[m][1] = 0;
      w.rhs[m][0] = static_cast<SymbolId>(symbols + s);
      w.rhs[m][1] = 0;
    }
  }
  assert(m <= kMaxRules);
  w.ruleCount = m;
  return passes;
}

namespace {

// The values of a side at v = 0 (bit 0) and v = 1 (bit 1) form a state of two bits; a
// symbol acts on it by its code: kActs[4 * code + state] (codes above 3 act as 3).
constexpr std::array<std::uint8_t, 16> kActs = {
    0, 1, 2, 3,  // identity
    0, 0, 0, 0,  // constant 0
    3, 3, 3, 3,  // constant 1
    3, 2, 1, 0,  // 1 - x on both values
};
constexpr std::uint8_t kOpenEnd = 2;  // x at v = 0 is 0, at v = 1 is 1

// Each symbol's row in kActs under the codes: 4 * min(code, 3).
using ActionRows = std::array<std::uint8_t, kMaxSymbols + 1>;
void MakeActionRows(const InterpretationCodes& codes, int symbols, ActionRows& rows) {
  for (int s = 1; s <= symbols; ++s)
    rows[s] = static_cast<std::uint8_t>(4 * std::min<int>(codes[s], 3));
}

// The value of a side for v = 0 (bit 0) and v = 1 (bit 1), read from right to left;
// `row(s)` is symbol s's row in kActs.
template <typename Row>
int SideValues(const SymbolString& side, Row row) {
  std::uint8_t state = kOpenEnd;
  for (int p = Length(side) - 1; p >= 0; --p) state = kActs[row(side[p]) + state];
  return state;
}

// True when rule i keeps its value (model) or does not increase it (quasi-model).
template <typename Row>
bool RulePasses(const RuleSystem& p, int i, Row row, bool quasi) {
  const int l = SideValues(p.lhs[i], row);
  const int r = SideValues(p.rhs[i], row);
  return quasi ? (r & ~l) == 0 : l == r;  // quasi: no v with L = 0 and R = 1
}

// The draws of DrawInterpretation made only for the symbols a test reads. The
// generator's state after s more steps is an affine function of the state before the
// first: so any symbol's draw of the current try can be made at once, and the next try
// starts from the state after all S draws, as if each had been made in turn.
class LazyDraws {
 public:
  LazyDraws(std::uint32_t start, int symbols, std::uint32_t bound)
      : base_(start), symbols_(symbols), bound_(bound) {
    assert(symbols >= 0 && symbols <= kMaxSymbols);
    mul_[0] = 1;
    add_[0] = 0;
    for (int s = 1; s <= symbols; ++s) {
      mul_[s] = mul_[s - 1] * kMultiplier;  // all mod 2^32
      add_[s] = add_[s - 1] * kMultiplier + 1u;
    }
    drawnIn_.fill(0);
  }
  // Symbol s's row in kActs under this try's draw.
  std::uint8_t Row(SymbolId s) {
    assert(s >= 1 && s <= symbols_);
    if (drawnIn_[s] != try_) {
      drawnIn_[s] = try_;
      rows_[s] = static_cast<std::uint8_t>(4 * Draw(s));
    }
    return rows_[s];
  }
  // The draws of this try, all of them.
  void Codes(InterpretationCodes& codes) const {
    for (int s = 1; s <= symbols_; ++s) codes[s] = static_cast<std::uint8_t>(Draw(s));
  }
  // The generator's state before this try's draws.
  std::uint32_t Before() const { return base_; }
  // The generator's state after this try: before the next one.
  std::uint32_t After() const { return mul_[symbols_] * base_ + add_[symbols_]; }
  void NextTry() {
    base_ = After();
    if (++try_ == 0) {  // the marks wrap: clear them once
      drawnIn_.fill(0);
      try_ = 1;
    }
  }

 private:
  static constexpr std::uint32_t kMultiplier = 134775813u;  // as RandomDraw
  std::uint32_t Draw(int s) const {
    const std::uint32_t state = mul_[s] * base_ + add_[s];
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(state) * bound_) >> 32);
  }
  std::uint32_t base_;
  int symbols_;
  std::uint32_t bound_;
  std::uint32_t try_ = 1;
  std::array<std::uint32_t, kMaxSymbols + 1> mul_;
  std::array<std::uint32_t, kMaxSymbols + 1> add_;
  std::array<std::uint32_t, kMaxSymbols + 1> drawnIn_;  // the try a row was drawn in
  std::array<std::uint8_t, kMaxSymbols + 1> rows_;
};

}  // namespace

bool InterpretationPasses(const State& st, const InterpretationCodes& codes) {
  const RuleSystem& p = st.primary;
  ActionRows rows{};
  MakeActionRows(codes, p.symbolCount, rows);
  auto row = [&rows](SymbolId s) { return rows[s]; };
  for (int i = 1; i <= p.ruleCount; ++i)
    if (!RulePasses(p, i, row, st.quasiModel == 1)) return false;
  return true;
}

bool DrawLabelledSystem(State& st, InterpretationCodes& codes) {
  // Some interpretation always passes (all identities), so only the deadline ends
  // this loop without one. A try that fails leaves nothing behind that the next try
  // would not overwrite, so only the passing interpretation is built.
  // Whether a try passes does not depend on the order of the rules, so the test visits
  // them with the rule that refused last first: the next draw usually fails on it too.
  // Each try draws, as DrawInterpretation would, only the symbols the test reads.
  const RuleSystem& p = st.primary;
  const bool quasi = st.quasiModel == 1;
  std::array<std::int16_t, kMaxRules> order;
  const int rules = p.ruleCount;
  assert(rules >= 0 && rules <= kMaxRules);
  for (int k = 0; k < rules; ++k) order[k] = static_cast<std::int16_t>(k + 1);
  LazyDraws draws(st.randomState, p.symbolCount, quasi ? 3 : 4);
  auto row = [&draws](SymbolId s) { return draws.Row(s); };
  for (;;) {
    if (TimeUp(st)) {
      st.randomState = draws.Before();  // as after the draws of every failed try
      return false;
    }
    int refused = -1;
    for (int k = 0; k < rules && refused < 0; ++k)
      if (!RulePasses(p, order[k], row, quasi)) refused = k;
    if (refused < 0) {
      draws.Codes(codes);
      st.randomState = draws.After();
      assert(InterpretationPasses(st, codes));
      const bool built = BuildLabelledSystem(st, codes);
      assert(built);
      return built;
    }
    const std::int16_t i = order[refused];
    for (int q = refused; q > 0; --q) order[q] = order[q - 1];
    order[0] = i;
    draws.NextTry();
  }
}

void LabellingAttempt(State& st) {
  InterpretationCodes codes{};
  if (!DrawLabelledSystem(st, codes)) return;  // out of time: no progress
  const int labelled = st.working.ruleCount;
  SaveLabelledCopy(st);

  // Silent trial: polynomial steps, then the path order on what they leave.
  ReduceAndReport(st);
  if (st.proved == 0) PathOrderSearch(st);

  st.labellingProgress = st.proved;
  if (st.remLabels && st.proved == 0 && st.working.ruleCount > 0)
    st.labellingProgress = SomePrimaryRuleLost(st) ? 1 : 0;
  if (st.labellingProgress == 0) return;

  // Success: print the labelled system, then replay the polynomial steps with text.
  const bool removed = st.working.ruleCount != labelled;
  RestoreLabelledCopy(st);
  AppendLabellingLines(st, codes);
  if (removed) {
    st.report = 1;
    ReduceAndReport(st);
    st.report = 0;
  }
  if (st.pathOrderText == 1 && st.proved == 1) PrintPathOrderProof(st);
}

void RepeatLabelling(State& st) {
  for (std::uint8_t quasi = 0; quasi <= 1; ++quasi) {
    if (st.labellingProgress != 0) return;
    st.quasiModel = quasi;
    for (std::int32_t k = 0; k < st.attemptCount && st.labellingProgress == 0; ++k) {
      if (TimeUp(st)) return;
      LabellingAttempt(st);
    }
  }
}

void SemanticLabelling(State& st) {
  // A labelled system that would not fit the tables is not tried.
  if (!LabellingFits(st.primary)) return;

  const int symbols = st.primary.symbolCount;
  for (int s = 1; s <= symbols; ++s) {
    st.working.names[s] = st.primary.names[s] + "1 ";
    st.working.names[symbols + s] = st.primary.names[s] + "0 ";
  }
  st.working.symbolCount = 2 * symbols;

  st.labellingReversed = 0;
  RepeatLabelling(st);
  if (st.labellingProgress != 0) return;

  // The reversed system; on success the proof continues on it.
  ReversePrimaryRules(st);
  st.labellingReversed = 1;
  RepeatLabelling(st);
  if (st.labellingProgress == 0) ReversePrimaryRules(st);
}

}  // namespace velkin
