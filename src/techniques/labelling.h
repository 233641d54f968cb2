// Semantic labelling with random interpretations in {0,1}.
#pragma once

#include <cstdint>

#include "model/state.h"

namespace velkin {

// One labelling step on the primary system, then on its reversal; sets the labelling
// progress flag on success (and leaves the primary system reversed if that succeeded).
void SemanticLabelling(State& st);

// Up to attempt count attempts for a model, then as many for a quasi-model.
void RepeatLabelling(State& st);

// One random attempt: draw until a (quasi-)model passes, label, reduce, path order.
void LabellingAttempt(State& st);

// The value of interpretation `code` at `value` (0: x, 1: 0, 2: 1, other: 1-x).
std::uint8_t ApplyInterpretation(std::uint8_t code, std::uint8_t value);

}  // namespace velkin
