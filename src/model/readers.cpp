#include "model/readers.h"

#include <cassert>

namespace velkin {

std::vector<std::string> SplitLines(std::string_view text) {
  text = WithoutByteOrderMark(text);
  std::vector<std::string> out(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out.emplace_back();
    } else {
      out.back() += c;
    }
  }
  return out;
}

int CodePointLength(std::string_view s, std::size_t i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) return 1;
  int n;
  std::uint32_t cp;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3;
    cp = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4;
    cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (int k = 1; k < n; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) return 0;
  if (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) return 0;
  return n;
}

namespace {

bool IsPlainSeparator(char c) {
  return c == ' ' || c == '-' || c == '=' || c == '>';
}

std::string Plural(int n, const char* what) {
  return std::to_string(n) + " " + what;
}

}  // namespace

namespace {

// A line that the plain reader would take as a rule, had the rules not ended before it.
bool LooksLikeRule(std::string_view line) {
  return !line.empty() && line[0] != ' ' && line.find("->") != std::string_view::npos;
}

// The rule as the plain reader took it, for warnings: "ab -> ba".
std::string PlainRuleText(const ParsedSystem& sys, const ParsedRule& rule) {
  std::string s;
  for (int id : rule.lhs) s += sys.names[id];
  s += rule.strict ? " -> " : " ->= ";
  if (rule.rhs.empty()) s += 'e';
  for (int id : rule.rhs) s += sys.names[id];
  return s;
}

}  // namespace

ReadResult ReadPlainSystem(const InputLines& lines, const ReadLimits& limits, ParsedSystem& out) {
  SystemBuilder b(out, limits);
  std::vector<InputError> warnings;
  int k = 0;
  for (;; ++k) {
    const std::string_view line = lines[k];
    if (line.empty() || line[0] == ' ') break;
    const int human = k + 1;
    for (std::size_t i = 0; i < line.size();) {
      const int n = CodePointLength(line, i);
      if (n == 0)
        return ReadResult::Refuse(human, "invalid UTF-8 (byte " + std::to_string(i + 1) + ")");
      i += n;
    }
    if (!b.RoomForRule())
      return ReadResult::Refuse(human, "more than " + Plural(limits.rules, "rules"));
    const int rule = b.ruleCount();
    b.StartRule(true);
    std::size_t pos = 0;
    // Reads symbols while `more` holds into the side `lhs` (or the rhs) of the rule.
    auto readSide = [&](bool lhs, auto more, const char* side) -> ReadResult {
      while (pos < line.size() && more(line[pos])) {
        const int n = CodePointLength(line, pos);
        std::vector<int>& row = lhs ? out.rules[rule].lhs : out.rules[rule].rhs;
        if (!b.RoomOnSide(row.size()))
          return ReadResult::Refuse(
              human, std::string(side) + " has more than " + Plural(limits.sideLength, "symbols"));
        const int id = b.Symbol(line.substr(pos, n));
        if (id < 0)
          return ReadResult::Refuse(human,
                                    "more than " + Plural(limits.symbols, "different symbols"));
        row.push_back(id);
        pos += n;
      }
      return ReadResult{};
    };
    ReadResult r = readSide(
        true, [](char c) { return !IsPlainSeparator(c); }, "left-hand side");
    if (!r.ok) return r;
    if (pos >= line.size())
      return ReadResult::Refuse(human,
                                "no separator between the sides (write lhs -> rhs or lhs ->= rhs)");
    const std::size_t separatorStart = pos;
    while (pos < line.size() && IsPlainSeparator(line[pos])) {
      if (line[pos] == '=') out.rules[rule].strict = false;
      ++pos;
    }
    const bool blanksOnly =
        line.substr(separatorStart, pos - separatorStart).find_first_not_of(' ') ==
        std::string_view::npos;
    r = readSide(
        false, [](char c) { return c != ' ' && c != 'e'; }, "right-hand side");
    if (!r.ok) return r;
    // What follows the right-hand side: an "e" that ended it, then text after a blank.
    std::string_view rest = line.substr(pos);
    const std::string readAs = "read as " + PlainRuleText(out, out.rules[rule]);
    if (!rest.empty() && rest[0] == 'e') {
      rest.remove_prefix(1);
      if (!rest.empty() && rest[0] != ' ') {
        warnings.push_back({human, "an \"e\" ends the right-hand side, so '" +
                                       std::string(rest.substr(0, rest.find(' '))) +
                                       "' after it is ignored: " + readAs});
        continue;
      }
    }
    const std::size_t more = rest.find_first_not_of(' ');
    if (more == std::string_view::npos) continue;
    if (blanksOnly && rest.find_first_of("-=>") != std::string_view::npos)
      warnings.push_back({human, "a blank ends the left-hand side: " + readAs +
                                     " (write each side without blanks)"});
    else
      warnings.push_back({human, "text after the right-hand side is ignored: '" +
                                     std::string(rest.substr(more)) + "'"});
  }
  // Lines after the end of the rules that look like rules are ignored too.
  int ignored = 0;
  for (int j = k + 1; j < lines.size(); ++j)
    if (LooksLikeRule(lines[j])) ++ignored;
  if (ignored > 0)
    warnings.push_back(
        {k + 1, std::string(lines[k].empty() ? "an empty" : "an indented") +
                    " line ends the rules; " + std::to_string(ignored) +
                    (ignored == 1 ? " line after it that looks" : " lines after it that look") +
                    " like a rule " + (ignored == 1 ? "is" : "are") + " ignored"});
  if (out.rules.empty())
    warnings.push_back({0, "the input has no rules (plain format: one rule per line, lhs -> rhs)"});
  ReadResult result;
  result.warnings = std::move(warnings);
  return result;
}

char NextInputChar(TpdbReader& r) {
  if (r.pos < static_cast<int>(r.current.size())) {
    ++r.pos;
  } else {
    ++r.lineNo;
    if (r.lineNo >= r.lines.size()) {
      r.atEnd = true;
      r.lineNo = r.lines.size();  // stays put: past the end every character is a blank
    }
    r.current = r.lines[r.lineNo];
    r.pos = 1;
  }
  return r.current.empty() ? ' ' : r.current[r.pos - 1];
}

void NextToken(TpdbReader& r) {
  char c = NextInputChar(r);
  while (c == ' ' && !r.atEnd) c = NextInputChar(r);
  if (r.atEnd) {
    r.ch = ')';
    return;
  }
  if (c == ')' || c == ',' || c == '-') {
    r.ch = c;
    return;
  }
  r.token.assign(1, c);
  for (;;) {
    c = NextInputChar(r);
    if (r.atEnd || c == ' ') break;
    if (c == ')' || c == ',' || c == '-') {
      --r.pos;  // put it back
      break;
    }
    r.token += c;
  }
  r.ch = ' ';
}

ReadResult ReadTpdbSystem(const InputLines& lines, const ReadLimits& limits, ParsedSystem& out) {
  SystemBuilder b(out, limits);
  std::vector<InputError> warnings;
  TpdbReader r(lines);
  // The section opens with "(", optional blanks and the word RULES; the rules start
  // right after its S. `matched` counts the letters of RULES seen after a "(", or is
  // -1 while no "(" is open.
  static constexpr std::string_view kRules = "RULES";
  for (int matched = -1;;) {
    const char c = NextInputChar(r);
    if (r.atEnd)
      return ReadResult::Refuse(0, "no RULES section: write the rules as (RULES lhs -> rhs, ...)");
    if (c == '(') {
      matched = 0;
    } else if (matched >= 0 && c == kRules[matched]) {
      if (++matched == static_cast<int>(kRules.size())) break;
    } else if (!(matched == 0 && c == ' ')) {
      matched = -1;
    }
  }
  r.ch = ' ';
  while (r.ch != ')') {
    NextToken(r);
    if (r.ch == ')' || r.ch == ',') continue;
    const int human = r.lineNo + 1;
    if (!b.RoomForRule())
      return ReadResult::Refuse(human, "rule " + std::to_string(b.ruleCount() + 1) +
                                           ": more than " + Plural(limits.rules, "rules"));
    const int rule = b.ruleCount();
    b.StartRule(true);
    const std::string ruleName = "rule " + std::to_string(rule + 1);
    // Stores the token text at the end of the side.
    auto store = [&](bool lhs, const char* side) -> ReadResult {
      if (r.token.empty())
        return ReadResult::Refuse(
            r.lineNo + 1, ruleName + ": a symbol is missing before '" + std::string(1, r.ch) + "'");
      std::vector<int>& row = lhs ? out.rules[rule].lhs : out.rules[rule].rhs;
      if (!b.RoomOnSide(row.size()))
        return ReadResult::Refuse(r.lineNo + 1, ruleName + ": " + side + " has more than " +
                                                    Plural(limits.sideLength, "symbols"));
      const int id = b.Symbol(r.token);
      if (id < 0)
        return ReadResult::Refuse(
            r.lineNo + 1, ruleName + ": more than " + Plural(limits.symbols, "different symbols"));
      row.push_back(id);
      return ReadResult{};
    };
    while (r.ch != '-') {
      if (r.atEnd)
        return ReadResult::Refuse(human, ruleName + ": missing '->' before the end of the text");
      ReadResult res = store(true, "left-hand side");
      if (!res.ok) return res;
      NextToken(r);
    }
    NextInputChar(r);  // the '>' of the arrow
    // "->=" right after it makes the rule weak; "-> =" stays a token "=".
    if (NextInputChar(r) == '=' && !r.atEnd)
      out.rules[rule].strict = false;
    else if (!r.atEnd && r.pos > 0)
      --r.pos;  // put it back
    NextToken(r);
    bool warned = false;
    while (r.ch != ')' && r.ch != ',') {
      if (r.ch == '-' && !warned) {
        warnings.push_back({r.lineNo + 1, ruleName + ": the right-hand side runs into a '-' (is a "
                                                     "comma missing between two rules?)"});
        warned = true;
      }
      ReadResult res = store(false, "right-hand side");
      if (!res.ok) return res;
      NextToken(r);
    }
  }
  ReadResult result;
  result.warnings = std::move(warnings);
  return result;
}

void LoadPrimary(State& st, const ParsedSystem& sys) {
  RuleSystem& p = st.primary;
  assert(sys.rules.size() <= static_cast<std::size_t>(kMaxRules));
  assert(sys.names.size() <= static_cast<std::size_t>(kMaxSymbols));
  p.symbolCount = static_cast<std::int32_t>(sys.names.size());
  for (std::size_t k = 0; k < sys.names.size(); ++k) p.names[k + 1] = sys.names[k];
  p.ruleCount = static_cast<std::int32_t>(sys.rules.size());
  st.allStrict = 1;
  // A side and its end mark, as the readers of the store write them.
  const auto fill = [](SymbolString& row, const std::vector<int>& side) {
    assert(side.size() <= static_cast<std::size_t>(kMaxSideLength));
    for (std::size_t j = 0; j < side.size(); ++j) row[j] = static_cast<SymbolId>(side[j] + 1);
    row[side.size()] = 0;
  };
  for (std::size_t i = 0; i < sys.rules.size(); ++i) {
    const ParsedRule& rule = sys.rules[i];
    fill(p.lhs[i + 1], rule.lhs);
    fill(p.rhs[i + 1], rule.rhs);
    p.strict[i + 1] = rule.strict ? 1 : 0;
    if (!rule.strict) st.allStrict = 0;
  }
}

ReadResult ParsePlainInput(State& st, const InputLines& lines) {
  ParsedSystem sys;
  const ReadResult r = ReadPlainSystem(lines, ReadLimits::Classic(), sys);
  LoadPrimary(st, sys);
  return r;
}

ReadResult ParseTpdbInput(State& st, const InputLines& lines) {
  ParsedSystem sys;
  const ReadResult r = ReadTpdbSystem(lines, ReadLimits::Classic(), sys);
  LoadPrimary(st, sys);
  st.log.length = 0;
  return r;
}

}  // namespace velkin
