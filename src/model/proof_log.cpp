#include "model/proof_log.h"

#include <algorithm>
#include <cassert>

#include "model/state.h"
#include "version/version.h"

namespace velkin {

std::vector<std::string> ProofLog::Shown() const {
  // A length set past the slots written shows those slots as empty lines.
  const std::size_t n = length > 0 ? static_cast<std::size_t>(length) : 0;
  const std::size_t stored = std::min(n, lines.size() - 1);
  std::vector<std::string> out(lines.begin() + 1, lines.begin() + 1 + stored);
  out.resize(n);
  return out;
}

void AppendLogLine(State& st, std::string_view line) {
  ProofLog& log = st.log;
  ++log.length;
  if (static_cast<std::size_t>(log.length) >= log.lines.size()) log.lines.resize(log.length + 1);
  log.lines[log.length].assign(line);
}

void AppendRuleText(const RuleSystem& sys, int rule, std::string& out) {
  assert(rule >= 1 && rule <= kMaxRules);
  const SymbolString& l = sys.lhs[rule];
  const SymbolString& r = sys.rhs[rule];
  for (int p = 0; p < kRowBytes && l[p] != 0; ++p) {
    out += sys.names[l[p]];
    out += ' ';
  }
  out += sys.strict[rule] ? " -> " : " ->= ";
  if (r[0] == 0) {
    out += 'e';
    return;
  }
  for (int p = 0; p < kRowBytes && r[p] != 0; ++p) {
    out += sys.names[r[p]];
    out += ' ';
  }
}

std::string FormatRule(const State& st, int i) {
  std::string out;
  AppendRuleText(st.working, i, out);
  return out;
}

std::string ProofHeadLine() {
  return std::string(kNameAndVersion) + " is applied to the string rewriting system";
}

void AppendProofHead(State& st) {
  assert(st.working.ruleCount == st.primary.ruleCount);
  AppendLogLine(st, ProofHeadLine());
  for (int i = 1; i <= st.working.ruleCount; ++i) AppendLogLine(st, FormatRule(st, i));
  st.headerRuleCount = st.primary.ruleCount;
  AppendLogLine(st, "");
}

void CutBackToProofHead(State& st) {
  assert(st.headerRuleCount >= 0);
  st.log.length = st.headerRuleCount + 2;
}

}  // namespace velkin
