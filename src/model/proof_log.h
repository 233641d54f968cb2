// The proof text: numbered lines, a length that rolls back to a mark, and the one
// printer of rules.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/system.h"

namespace velkin {

struct State;

struct ProofLog {
  // Line k in slot k (slot 0 unused). Slots are never freed: rolling back keeps them,
  // and the next append overwrites them.
  std::vector<std::string> lines = std::vector<std::string>(1);
  std::int32_t length = 0;  // lines appended since the last reset

  // The lines that count: slots 1..length, every one of them.
  std::vector<std::string> Shown() const;
};

// Appends one line in slot length + 1; the log grows as needed, so no line is lost.
void AppendLogLine(State& st, std::string_view line);

// Appends the text of `rule`, printed from `sys`, to `out`. Every name is followed by
// one blank; then " -> " or " ->= "; then the rhs likewise, or "e" when it is empty.
void AppendRuleText(const RuleSystem& sys, int rule, std::string& out);

// The text of rule i (1-based) of the working system.
std::string FormatRule(const State& st, int i);

// The first line of every proof text: "VELKIN 1.3 is applied to the string rewriting system".
std::string ProofHeadLine();

// Appends the head of the proof text: the head line, every working rule, an empty line.
// Records the number of rules in the head, so that CutBackToProofHead finds its end.
// The working system must hold the primary system.
void AppendProofHead(State& st);

// Drops every line after the head: the log length becomes head rule count + 2.
void CutBackToProofHead(State& st);

}  // namespace velkin
