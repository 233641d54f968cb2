// Helpers shared by the tests: read a system from text, look at rules and the log.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model/proof_log.h"
#include "model/readers.h"
#include "model/state.h"

namespace velkin::testing {

// Reads a plain-format text (lines separated by '\n') into st's primary system and
// copies it to the working system; fails the test if the reader refuses it.
inline void LoadPlain(State& st, const std::string& text) {
  const std::vector<std::string> lines = SplitLines(text);
  const ReadResult r = ParsePlainInput(st, InputLines(lines));
  ASSERT_TRUE(r.ok) << r.error.Describe();
  CopySystem(st.primary, st.working);
}

inline void LoadTpdb(State& st, const std::string& text) {
  const std::vector<std::string> lines = SplitLines(text);
  const ReadResult r = ParseTpdbInput(st, InputLines(lines));
  ASSERT_TRUE(r.ok) << r.error.Describe();
  CopySystem(st.primary, st.working);
}

// The symbols of a row as numbers, for comparisons.
inline std::vector<int> Row(const SymbolString& s) {
  std::vector<int> out;
  for (int p = 0; p < kRowBytes && s[p] != 0; ++p) out.push_back(s[p]);
  return out;
}

// The rule texts of a system, each as FormatRule prints it.
inline std::vector<std::string> RuleTexts(const RuleSystem& sys) {
  std::vector<std::string> out;
  for (int i = 1; i <= sys.ruleCount; ++i) {
    std::string t;
    AppendRuleText(sys, i, t);
    out.push_back(t);
  }
  return out;
}

// The whole content of a file, byte for byte (empty when it cannot be read).
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The tab-separated fields of one line of a table (the corpus manifest and verdicts).
inline std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> out;
  std::stringstream ss(line);
  std::string field;
  while (std::getline(ss, field, '\t')) out.push_back(field);
  return out;
}

// The lines of the proof log that count.
inline std::vector<std::string> LogLines(const State& st) {
  return st.log.Shown();
}

}  // namespace velkin::testing
