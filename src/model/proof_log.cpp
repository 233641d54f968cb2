#include "model/proof_log.h"

#include <algorithm>
#include <cassert>

#include "model/state.h"
#include "version/version.h"

namespace velkin {

std::vector<std::string> ProofLog::Shown() const {
  const int n = std::min<std::int32_t>(length, kMaxLogLines);
  std::vector<std::string> out;
  out.reserve(n > 0 ? n : 0);
  for (int k = 1; k <= n; ++k) out.push_back(lines[k]);
  return out;
}

void AppendLogLine(State& st, std::string_view line) {
  ++st.log.length;
  if (st.log.length < kLogSlots) st.log.lines[st.log.length].assign(line);
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
