// The ARI reader: the S-expression format of the termination competition, restricted
// to string rewriting.
//
//   (format TRS)
//   (fun a 1)
//   (fun b 1)
//   (rule (a (b x1)) (b (a x1)))            ; strict (":cost 1" says the same)
//   (rule (a x1) (a (a x1)) :cost 0)        ; weak
//
// A `;` starts a comment that runs to the end of the line; `(meta-info ...)` forms are
// skipped. A term is a chain of declared unary symbols applied to one variable (an
// identifier that is not declared); the string of a side is its symbols from the
// outermost to the innermost.
#pragma once

#include "model/readers.h"
#include "model/state.h"

namespace velkin {

// Reads an ARI problem into `out` within `limits`. Rules keep
// the order of the text; symbols are numbered in order of first
// occurrence (each rule's lhs, then its rhs). Refuses, with the line: a text that does
// not begin with (format TRS), declarations of arity other than 1, symbols that are
// used before they are declared, sides that are not chains of unary symbols over one
// variable, rules whose sides end in different variables, costs other than 0 and 1,
// unknown forms, and anything beyond the limits.
ReadResult ReadAriSystem(const InputLines& lines, const ReadLimits& limits, ParsedSystem& out);

// The same within the classic limits, loaded into the primary system (LoadPrimary).
ReadResult ParseAriInput(State& st, const InputLines& lines);

}  // namespace velkin
