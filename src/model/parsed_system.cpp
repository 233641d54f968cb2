#include "model/parsed_system.h"

#include "model/ari_reader.h"
#include "model/xtc_reader.h"

namespace velkin {

// For now this reads through the classic store, so its capacities still apply; the
// readers are to fill a ParsedSystem directly.
ReadResult ReadUnbounded(const std::vector<std::string>& lines, InputFormat format,
                         ParsedSystem& out) {
  auto st = MakeState();
  const InputLines input(lines);
  ReadResult r;
  switch (format) {
    case InputFormat::Plain:
      r = ParsePlainInput(*st, input);
      break;
    case InputFormat::Tpdb:
      r = ParseTpdbInput(*st, input);
      break;
    case InputFormat::Xtc: {
      std::string text;
      for (const std::string& line : lines) text += line + "\n";
      r = ParseXtcInput(*st, text);
      break;
    }
    case InputFormat::Ari:
      r = ParseAriInput(*st, input);
      break;
  }
  const RuleSystem& p = st->primary;
  out = ParsedSystem{};
  for (int k = 1; k <= p.symbolCount; ++k) out.names.push_back(p.names[k]);
  for (int i = 1; i <= p.ruleCount; ++i) {
    ParsedRule rule;
    for (int j = 0; j < Length(p.lhs[i]); ++j) rule.lhs.push_back(p.lhs[i][j] - 1);
    for (int j = 0; j < Length(p.rhs[i]); ++j) rule.rhs.push_back(p.rhs[i][j] - 1);
    rule.strict = p.strict[i] != 0;
    out.rules.push_back(std::move(rule));
  }
  return r;
}

}  // namespace velkin
