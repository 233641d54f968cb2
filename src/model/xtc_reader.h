// The XTC reader: the XML form in which the Termination Problem Database publishes its
// problems, restricted to string rewriting (every symbol unary, every side a chain of
// symbols ending in one variable).
#pragma once

#include <string_view>

#include "model/readers.h"
#include "model/state.h"

namespace velkin {

// Reads an XTC problem into `out` within `limits`. The strict
// rules are the <rule> elements of <rules>, then come the weak rules of <relrules>.
// A side is read from its outermost symbol to its innermost, either as nested
// <funapp><name/><arg/></funapp> ending in <var>, or as a flat list of <name> followed
// by <var>. Symbols are numbered in order of first occurrence (each
// rule's lhs, then its rhs). Refuses, with the line of the offending element: text that
// is not well-formed XML, problems that are not termination problems under full
// rewriting, symbols of arity other than 1, sides that are not such chains, rules whose
// sides end in different variables, and anything beyond the limits.
ReadResult ReadXtcSystem(std::string_view text, const ReadLimits& limits, ParsedSystem& out);

// The same within the classic limits, loaded into the primary system (LoadPrimary).
ReadResult ParseXtcInput(State& st, std::string_view text);

}  // namespace velkin
