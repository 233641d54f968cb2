// Semantic labelling with random interpretations in {0,1}.
#pragma once

#include <array>
#include <cstdint>

#include "model/state.h"

namespace velkin {

// Labelled systems hold 2N + S rules and 2S symbols for N rules and S symbols; the
// symbol bound keeps 2S within the name table and the path order's precedence matrix.
inline constexpr int kMaxLabelledSymbols = kMaxSymbols / 2;

// Interpretation codes of the primary symbols 1..S (index 0 unused):
// 0 identity, 1 constant 0, 2 constant 1, 3 x to 1 - x.
using InterpretationCodes = std::array<std::uint8_t, kMaxSymbols + 1>;

// One mark per primary rule, 1..kMaxRules.
using RuleMarks = std::array<std::uint8_t, kMaxRules + 1>;

// Marks exactly the primary rules that are the rule origin of some working rule (a
// labelled copy of them is left); quasi-model rules (origin 0) mark nothing.
void MarkLabelledOrigins(const State& st, RuleMarks& kept);

// One labelling step on the primary system, then on its reversal; sets the labelling
// progress flag on success (and leaves the primary system reversed if that succeeded).
void SemanticLabelling(State& st);

// Up to attempt count attempts for a model, then as many for a quasi-model.
void RepeatLabelling(State& st);

// One random attempt: draw until a (quasi-)model passes, label, reduce, path order.
void LabellingAttempt(State& st);

// The value of interpretation `code` at `value` (0: x, 1: 0, 2: 1, other: 1-x).
std::uint8_t ApplyInterpretation(std::uint8_t code, std::uint8_t value);

// True when the labelled system of `primary` fits the tables: 2N + S <= 1000 rules and
// S <= 50 symbols.
bool LabellingFits(const RuleSystem& primary);

// One draw per primary symbol, in symbol order: bound 3 in quasi-model mode, else 4.
void DrawInterpretation(State& st, InterpretationCodes& codes);

// Writes the labelled system of the primary system under `codes` into the working
// system's rules (rows, strict flags, rule origins, rule count; names and symbol count
// are left alone). All 2N labelled rules are always built; returns true when the
// interpretation is a model (in quasi-model mode: a quasi-model), and only then, in
// quasi-model mode, adds the S weak rules (s,1) ->= (s,0). Needs LabellingFits.
bool BuildLabelledSystem(State& st, const InterpretationCodes& codes);

// The test of BuildLabelledSystem alone, without writing anything: true when every
// rule keeps its value (model) or does not increase it (quasi-model) for v = 0 and 1.
bool InterpretationPasses(const State& st, const InterpretationCodes& codes);

// Draws and builds until an interpretation passes; false (no meaningful working system)
// only when the run's time is up.
bool DrawLabelledSystem(State& st, InterpretationCodes& codes);

}  // namespace velkin
