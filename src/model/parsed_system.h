// A system as read, without the classic capacities: any number of rules, symbols and
// symbols per side. The strong engine starts from it.
#pragma once

#include <string>
#include <vector>

#include "model/input_format.h"
#include "model/readers.h"

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
};

// Reads `lines` in `format` into `out` with the readers' syntax and no capacities.
// Guarantees: on success every symbol index is < out.names.size(); on refusal the
// error says why and `out` holds what was read before the fault.
ReadResult ReadUnbounded(const std::vector<std::string>& lines, InputFormat format,
                         ParsedSystem& out);

}  // namespace velkin
