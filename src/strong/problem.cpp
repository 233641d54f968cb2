#include "strong/problem.h"

#include <algorithm>
#include <cassert>

namespace velkin::strong {

Symbol Alphabet::Add(std::string name, Symbol marked) {
  names.push_back(std::move(name));
  marks.push_back(marked);
  return size() - 1;
}

Symbol Alphabet::MarkOf(Symbol a) {
  assert(a >= 0 && a < size() && !IsMarked(a));
  for (Symbol s = 0; s < size(); ++s)
    if (marks[s] == a) return s;
  // A name no other letter has, so that proofs stay unambiguous when the input has a
  // letter called "a#" already.
  std::string name = names[a] + "#";
  while (std::find(names.begin(), names.end(), name) != names.end()) name += "#";
  return Add(std::move(name), a);
}

std::string Alphabet::FreeName(const std::string& base) const {
  std::string name = base;
  for (int k = 1; std::find(names.begin(), names.end(), name) != names.end(); ++k)
    name = base + std::to_string(k);
  return name;
}

bool Problem::NoRuleGrows() const {
  for (const auto* rules : {&strict, &weak})
    for (const Rule& r : *rules)
      if (r.rhs.size() > r.lhs.size()) return false;
  return true;
}

bool Problem::WellFormed() const {
  if (alphabet.marks.size() != alphabet.names.size()) return false;
  auto ok = [&](const std::vector<Rule>& rules) {
    for (const Rule& r : rules)
      for (const Word* w : {&r.lhs, &r.rhs})
        for (Symbol s : *w)
          if (s < 0 || s >= alphabet.size()) return false;
    return true;
  };
  return ok(strict) && ok(weak);
}

Problem FromParsed(const ParsedSystem& parsed) {
  Problem p;
  for (const std::string& name : parsed.names) p.alphabet.Add(name);
  for (const ParsedRule& r : parsed.rules) {
    Rule rule{Word(r.lhs.begin(), r.lhs.end()), Word(r.rhs.begin(), r.rhs.end())};
    (r.strict ? p.strict : p.weak).push_back(std::move(rule));
  }
  assert(p.WellFormed());
  return p;
}

Word Reversed(const Word& w) {
  return Word(w.rbegin(), w.rend());
}

Word Replace(const Word& w, std::size_t pos, std::size_t len, const Word& by) {
  assert(pos <= w.size() && len <= w.size() - pos);
  Word out(w.begin(), w.begin() + static_cast<std::ptrdiff_t>(pos));
  out.insert(out.end(), by.begin(), by.end());
  out.insert(out.end(), w.begin() + static_cast<std::ptrdiff_t>(pos + len), w.end());
  return out;
}

std::vector<Rule> Reversed(const std::vector<Rule>& rules) {
  std::vector<Rule> out;
  out.reserve(rules.size());
  for (const Rule& r : rules) out.push_back(Rule{Reversed(r.lhs), Reversed(r.rhs)});
  return out;
}

std::string WordText(const Alphabet& alphabet, const Word& w) {
  if (w.empty()) return "ε";
  std::string out;
  for (std::size_t i = 0; i < w.size(); ++i) {
    if (i) out += ' ';
    out += alphabet.names[w[i]];
  }
  return out;
}

std::string RuleText(const Alphabet& alphabet, const Rule& rule, bool weak) {
  return WordText(alphabet, rule.lhs) + (weak ? " ->= " : " -> ") + WordText(alphabet, rule.rhs);
}

void AddRemovedRuleLines(const Problem& before, const std::vector<int>& strict,
                         const std::vector<int>& weak, std::vector<std::string>& lines,
                         const std::string& indent) {
  for (const int i : strict)
    lines.push_back(indent + "removes " + RuleText(before.alphabet, before.strict[i]));
  for (const int i : weak)
    lines.push_back(indent + "removes " + RuleText(before.alphabet, before.weak[i], true));
}

std::vector<bool> UsedLetters(const Problem& p) {
  std::vector<bool> used(p.alphabet.size(), false);
  for (const auto* rules : {&p.strict, &p.weak})
    for (const Rule& r : *rules)
      for (const Word* w : {&r.lhs, &r.rhs})
        for (Symbol s : *w) used[s] = true;
  return used;
}

std::vector<Symbol> RuleLetters(const Problem& p) {
  const std::vector<bool> used = UsedLetters(p);
  std::vector<Symbol> out;
  for (Symbol a = 0; a < static_cast<Symbol>(used.size()); ++a)
    if (used[a]) out.push_back(a);
  return out;
}

bool HasEmptyLeftSide(const Problem& p) {
  for (const auto* rules : {&p.strict, &p.weak})
    for (const Rule& r : *rules)
      if (r.lhs.empty()) return true;
  return false;
}

std::size_t ProblemSize(const Problem& p) {
  std::size_t n = 0;
  for (const auto* rules : {&p.strict, &p.weak})
    for (const Rule& r : *rules) n += r.lhs.size() + r.rhs.size();
  return n;
}

Problem WithoutRules(const Problem& p, const std::vector<int>& strict,
                     const std::vector<int>& weak) {
  auto without = [](const std::vector<Rule>& rules, const std::vector<int>& removed) {
    assert(std::is_sorted(removed.begin(), removed.end()));
    std::vector<Rule> kept;
    for (std::size_t i = 0; i < rules.size(); ++i)
      if (!std::binary_search(removed.begin(), removed.end(), static_cast<int>(i)))
        kept.push_back(rules[i]);
    return kept;
  };
  Problem q;
  q.kind = p.kind;
  q.alphabet = p.alphabet;
  q.strict = without(p.strict, strict);
  q.weak = without(p.weak, weak);
  return q;
}

bool AscendingIndices(const std::vector<int>& indices, std::size_t size) {
  for (std::size_t i = 0; i < indices.size(); ++i)
    if (indices[i] < 0 || static_cast<std::size_t>(indices[i]) >= size ||
        (i > 0 && indices[i] <= indices[i - 1]))
      return false;
  return true;
}

bool IsWithoutRules(const Problem& sub, const Problem& p, const std::vector<int>& strict,
                    const std::vector<int>& weak) {
  const Problem expected = WithoutRules(p, strict, weak);
  return sub.kind == expected.kind && sub.alphabet.names == expected.alphabet.names &&
         sub.alphabet.marks == expected.alphabet.marks && sub.strict == expected.strict &&
         sub.weak == expected.weak;
}

}  // namespace velkin::strong
