// The input readers: plain format and tpdb format into a ParsedSystem, and the classic
// entry points that load the primary system from it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/parsed_system.h"
#include "model/state.h"

namespace velkin {

// Splits a text into lines at CR LF, a lone CR and a lone LF: n breaks give n+1 lines,
// so that joining the lines with one break each (JoinLines, LineEnds::Between) gives
// back the text with its breaks unified. A byte order mark at the start is skipped.
// The one splitter of every front end, so that a file reads the same in all of them;
// the readers see a final empty line as the end of the text.
std::vector<std::string> SplitLines(std::string_view text);

// Length in bytes of the well-formed UTF-8 code point at s[i] (i < s.size()), or 0 if
// there is none (overlong forms and surrogates included).
int CodePointLength(std::string_view s, std::size_t i);

// Reads the plain format into `out` within `limits`. Each symbol is one UTF-8 code
// point. Refuses lines without a separator, invalid UTF-8, and anything beyond the
// limits.
ReadResult ReadPlainSystem(const InputLines& lines, const ReadLimits& limits, ParsedSystem& out);

// Reads the tpdb format into `out` within `limits`. Refuses texts without a RULES
// section, rules whose arrow is missing at the end of the text, and anything beyond
// the limits.
ReadResult ReadTpdbSystem(const InputLines& lines, const ReadLimits& limits, ParsedSystem& out);

// Loads a system read within the classic limits into the primary system: counts, rows
// with their end marks, strict flags and names (1-based); rows and names beyond the
// new counts keep what they held. Sets the all-strict flag: 1 when every rule is strict.
void LoadPrimary(State& st, const ParsedSystem& sys);

// The classic readers: the plain and tpdb format within the classic limits, loaded
// into the primary system (LoadPrimary). On refusal the primary system holds what was
// read before the fault. Sets the all-strict flag.
ReadResult ParsePlainInput(State& st, const InputLines& lines);

// Also sets the log length to 0.
ReadResult ParseTpdbInput(State& st, const InputLines& lines);

// The reader state of the tpdb format; lives for one call of ReadTpdbSystem.
struct TpdbReader {
  explicit TpdbReader(const InputLines& l) : lines(l), current(l[0]) {}
  const InputLines& lines;
  int lineNo = 0;            // the current line
  std::string_view current;  // its text
  int pos = 0;               // position in it; 0 before the first character
  char ch = ' ';             // the current character after NextToken
  std::string token;         // the token text
  bool atEnd = false;        // the stream has run past the last line
};

// The next character of the text; the end of a line is no separator, an empty line
// reads as one blank, and past the last line every character is a blank.
char NextInputChar(TpdbReader& r);

// Skips blanks and reads the next token (ch becomes a blank) or stop character ")",
// "," or "-" (the token text keeps its value). At the end of the text ch becomes ")".
void NextToken(TpdbReader& r);

}  // namespace velkin
