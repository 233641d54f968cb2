// Helpers of the hand-built certificate tests: small problems read from plain text, the
// writers' results unwrapped (a failure when a writer refused), and text edits for the
// tampered copies.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/parsed_system.h"
#include "strong/cpf.h"

namespace velkin::strong::cpf::testutil {

inline Problem Read(const std::vector<std::string>& lines) {
  ParsedSystem parsed;
  const auto r = ReadUnbounded(lines, InputFormat::Plain, parsed);
  EXPECT_TRUE(r.ok);
  return FromParsed(parsed);
}

inline Symbol Letter(const Problem& p, const std::string& name) {
  for (Symbol s = 0; s < p.alphabet.size(); ++s)
    if (p.alphabet.names[s] == name) return s;
  ADD_FAILURE() << "no letter " << name;
  return 0;
}

inline Fragment Get(const Written& w) {
  if (!Ok(w)) {
    ADD_FAILURE() << "not written: " << std::get<std::string>(w);
    return {};
  }
  return std::get<Fragment>(w);
}

inline std::string Doc(const Problem& input, const Written& proof) {
  return Get(Document(input, Get(proof), "velkin-test")).xml;
}

// A one-letter-per-entry natural interpretation: map[letter] = {rows..., constant}.
inline NaturalMap Nat(std::vector<std::vector<long>> m, std::vector<long> c) {
  NaturalMap out;
  for (auto& row : m) {
    out.matrix.emplace_back();
    for (long v : row) out.matrix.back().emplace_back(v);
  }
  for (long v : c) out.constant.emplace_back(v);
  return out;
}

inline Problem Without(Problem p, const std::vector<Rule>& strict, const std::vector<Rule>& weak) {
  p.strict = strict;
  p.weak = weak;
  return p;
}

inline std::string Replace(std::string s, const std::string& from, const std::string& to) {
  const auto at = s.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) s.replace(at, from.size(), to);
  return s;
}

}  // namespace velkin::strong::cpf::testutil
