// The input readers: plain format and tpdb format into the primary system.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/state.h"

namespace velkin {

// The lines of an input text, numbered from 0; asking for a line past the last gives
// an empty line, which both readers rely on.
class InputLines {
 public:
  explicit InputLines(const std::vector<std::string>& lines) : lines_(lines) {}
  std::string_view operator[](int k) const {
    return k >= 0 && k < static_cast<int>(lines_.size()) ? std::string_view(lines_[k])
                                                         : std::string_view();
  }
  int size() const { return static_cast<int>(lines_.size()); }

 private:
  const std::vector<std::string>& lines_;
};

// Splits a text into lines; CR LF, a lone CR and a lone LF each end a line. A final
// line break does not start another line.
std::vector<std::string> SplitLines(std::string_view text);

// Length in bytes of the well-formed UTF-8 code point at s[i] (i < s.size()), or 0 if
// there is none (overlong forms and surrogates included).
int CodePointLength(std::string_view s, std::size_t i);

// Why an input was refused. `line` is 1-based (0 when no line applies).
struct InputError {
  int line = 0;
  std::string message;
  // "line 3: message", or the message alone without a line.
  std::string Describe() const;
};

// The outcome of reading an input: ok, or refused with the reason. When refused, the
// primary system holds what was read before the fault, within its capacities.
struct ReadResult {
  bool ok = true;
  InputError error;
  static ReadResult Refuse(int line, std::string message) {
    return ReadResult{false, InputError{line, std::move(message)}};
  }
};

// Reads the plain format into the primary system; sets the all-strict flag. Each
// symbol is one UTF-8 code point. Refuses lines without a separator, invalid UTF-8,
// and anything beyond the capacities.
ReadResult ParsePlainInput(State& st, const InputLines& lines);

// Reads the tpdb format into the primary system; sets the all-strict flag to 1 and
// the log length to 0. Refuses texts without a RULES section, rules whose arrow is
// missing at the end of the text, and anything beyond the capacities.
ReadResult ParseTpdbInput(State& st, const InputLines& lines);

// The reader state of the tpdb format; lives for one call of ParseTpdbInput.
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
