// A system as read: any number of rules, symbols and symbols per side, unless the
// reader was given limits. Every reader fills one; the classic engine loads its primary
// system from it, the strong engine starts from it.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/input_format.h"

namespace velkin {

// One rule as read; symbols are indices into ParsedSystem::names.
struct ParsedRule {
  std::vector<int> lhs, rhs;
  bool strict = true;  // "->" (in R); false for "->=" (in S)
};

// The rules in input order and the symbol names in order of first occurrence.
struct ParsedSystem {
  std::vector<std::string> names;
  std::vector<ParsedRule> rules;
  // An XTC input's variable: that of its first rule as read, without blanks around it
  // (a certificate names its rules' variable as the input does). Empty for the other
  // formats, whose rules name none or are not kept.
  std::string variable;
};

// The lines of an input text, numbered from 0; asking for a line past the last gives
// an empty line, which the readers rely on.
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

// Why an input was refused. `line` is 1-based (0 when no line applies).
struct InputError {
  int line = 0;
  std::string message;
  // "line 3: message", or the message alone without a line.
  std::string Describe() const;
};

// The outcome of reading an input: ok, or refused with the reason. When refused, the
// system holds what was read before the fault. Warnings name the places where the
// reading, though it follows the format, is likely not what the writer meant; they
// change nothing that is read.
struct ReadResult {
  bool ok = true;
  InputError error;
  std::vector<InputError> warnings;
  static ReadResult Refuse(int line, std::string message) {
    return ReadResult{false, InputError{line, std::move(message)}, {}};
  }
};

// What a reader accepts; 0 means no limit. The classic limits are the capacities of
// the classic store (system.h); inputs beyond them are refused with a message.
struct ReadLimits {
  int rules = 0;       // rules per system
  int sideLength = 0;  // symbols per side
  int symbols = 0;     // different symbols
  static ReadLimits Classic();
  static ReadLimits None() { return ReadLimits{}; }
};

// The readers' way of filling a ParsedSystem within limits: symbols are numbered in
// order of first occurrence (a hash lookup, so that large alphabets stay cheap), and
// each addition says whether the limits allow it. The message texts of refusals stay
// with the readers.
class SystemBuilder {
 public:
  SystemBuilder(ParsedSystem& out, const ReadLimits& limits) : out_(out), limits_(limits) {
    out_ = ParsedSystem{};
  }

  const ReadLimits& limits() const { return limits_; }
  int ruleCount() const { return static_cast<int>(out_.rules.size()); }
  // True when one more rule is within the limits.
  bool RoomForRule() const { return limits_.rules == 0 || ruleCount() < limits_.rules; }
  // Starts the next rule (its sides empty); the caller checked RoomForRule.
  ParsedRule& StartRule(bool strict);
  // True when a side of `length` symbols may take one more.
  bool RoomOnSide(std::size_t length) const {
    return limits_.sideLength == 0 || length < static_cast<std::size_t>(limits_.sideLength);
  }
  // The index of `name`, added if it is new; -1 when it is new and the symbol limit is
  // reached (nothing is added then).
  int Symbol(std::string_view name);

 private:
  ParsedSystem& out_;
  ReadLimits limits_;
  std::unordered_map<std::string, int> index_;
};

// Reads `lines` in `format` into `out` with the given limits. The XTC reader sees the
// lines joined by LF, so that line k of its text is lines[k-1]. Guarantees: on success
// every symbol index is < out.names.size() and the limits hold; on refusal the error
// says why and `out` holds what was read before the fault, within the limits.
ReadResult ReadSystem(const std::vector<std::string>& lines, InputFormat format,
                      const ReadLimits& limits, ParsedSystem& out);

// Reads `lines` in `format` into `out` with the readers' syntax and no capacities.
// Guarantees: on success every symbol index is < out.names.size(); on refusal the
// error says why and `out` holds what was read before the fault.
ReadResult ReadUnbounded(const std::vector<std::string>& lines, InputFormat format,
                         ParsedSystem& out);

}  // namespace velkin
