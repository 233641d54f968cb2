// The strong engine's problems: words over integer symbols, without capacities.
// Values throughout: a technique reads a problem and builds new ones, never edits one
// that another thread may hold.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/parsed_system.h"

namespace velkin::strong {

using Symbol = std::int32_t;       // an index into the problem's alphabet
using Word = std::vector<Symbol>;  // the first letter is the outermost symbol

// One rule (or, in a dependency pair problem, one pair) lhs -> rhs.
struct Rule {
  Word lhs, rhs;
  friend bool operator==(const Rule&, const Rule&) = default;
};

// The letters of a problem: printed names, and for a marked letter a# the letter it
// marks. Letters are numbered 0..size()-1.
struct Alphabet {
  std::vector<std::string> names;  // printed name of letter k
  std::vector<Symbol> marks;       // -1 for an ordinary letter; a for a#

  int size() const { return static_cast<int>(names.size()); }
  bool IsMarked(Symbol s) const { return marks[s] >= 0; }
  // Adds a letter; returns its number. `marked` is the letter it marks, or -1.
  Symbol Add(std::string name, Symbol marked = -1);
  // The marked letter a# of `a`, added if it is not there yet, named name(a) + "#" (with
  // further "#" while another letter has that name).
  Symbol MarkOf(Symbol a);
  // `base`, or base1, base2, ...: the first of them that no letter is named (for a symbol
  // that a proof prints beside the letters, such as an end marker).
  std::string FreeName(const std::string& base) const;
  friend bool operator==(const Alphabet&, const Alphabet&) = default;
};

enum class ProblemKind {
  Relative,        // R/S: termination of R relative to S (standard when S is empty)
  DependencyPairs  // (P, R): pair steps at the start of a word only, R-steps after it
};

// A problem of either kind. Relative: `strict` is R, `weak` is S. Dependency pairs:
// `strict` is the pairs P (both sides start with a marked letter), `weak` is the
// rules R (over ordinary letters). In both kinds, the problem is solved when no
// infinite derivation uses `strict` infinitely often.
struct Problem {
  ProblemKind kind = ProblemKind::Relative;
  Alphabet alphabet;
  std::vector<Rule> strict;
  std::vector<Rule> weak;

  bool IsRelative() const { return kind == ProblemKind::Relative; }
  bool IsDependencyPairs() const { return kind == ProblemKind::DependencyPairs; }
  // A relative problem without weak rules: plain termination of `strict`.
  bool IsStandard() const { return IsRelative() && weak.empty(); }
  // A relative problem with weak rules: relative termination proper.
  bool HasWeakRules() const { return IsRelative() && !weak.empty(); }
  // Plain termination of a single rule.
  bool IsOneRule() const { return IsStandard() && strict.size() == 1; }
  // No rule (strict or weak) makes a word longer: then every loop is a cycle among words
  // of one length.
  bool NoRuleGrows() const;
  // Every rule and pair uses letters of the alphabet only (checked in debug builds).
  bool WellFormed() const;
};

// The problem of a system as read: its strict rules as R, its weak rules as S.
Problem FromParsed(const ParsedSystem& parsed);

// w^rev.
Word Reversed(const Word& w);

// `w` with its factor of length `len` at `pos` (which must lie inside w) replaced by `by`.
Word Replace(const Word& w, std::size_t pos, std::size_t len, const Word& by);

// The rules with both sides reversed, in the same order.
std::vector<Rule> Reversed(const std::vector<Rule>& rules);

// The letters of a word as names, separated by blanks; "ε" for the empty word.
std::string WordText(const Alphabet& alphabet, const Word& w);

// "lhs -> rhs" (or "lhs ->= rhs" when weak is true) with WordText's sides.
std::string RuleText(const Alphabet& alphabet, const Rule& rule, bool weak = false);
// Appends a line `<indent>removes <rule>` for each rule removed from `before`: the strict
// rules first, then the weak ones, each list in the order given.
void AddRemovedRuleLines(const Problem& before, const std::vector<int>& strict,
                         const std::vector<int>& weak, std::vector<std::string>& lines,
                         const std::string& indent = "");

// `p` without the strict rules at indices `strict` and the weak ones at `weak` (both
// ascending), the others in their order, with the same kind and letters.
Problem WithoutRules(const Problem& p, const std::vector<int>& strict,
                     const std::vector<int>& weak);
// True when `indices` ascend strictly and each lies in 0..size-1 (a witness's list of
// removed rules or chosen letters).
bool AscendingIndices(const std::vector<int>& indices, std::size_t size);
// True when `sub` is exactly WithoutRules(p, strict, weak): kind, letters and rules.
bool IsWithoutRules(const Problem& sub, const Problem& p, const std::vector<int>& strict,
                    const std::vector<int>& weak);

// used[a]: letter a occurs in some rule or pair.
std::vector<bool> UsedLetters(const Problem& p);
// The letters that occur in some rule or pair, ascending.
std::vector<Symbol> RuleLetters(const Problem& p);
// True when some rule, strict or weak, has an empty left side.
bool HasEmptyLeftSide(const Problem& p);

// Total number of letters in all sides: the problem's size for budgets and limits.
std::size_t ProblemSize(const Problem& p);

}  // namespace velkin::strong
