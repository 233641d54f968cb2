#include "model/readers.h"

#include <cassert>

namespace velkin {

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> out;
  std::string cur;
  bool pending = false;  // a line has begun (text seen since the last break)
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      out.push_back(std::move(cur));
      cur.clear();
      pending = false;
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      cur += c;
      pending = true;
    }
  }
  if (pending) out.push_back(std::move(cur));
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

ReadResult ReadPlainSystem(const InputLines& lines, const ReadLimits& limits, ParsedSystem& out) {
  SystemBuilder b(out, limits);
  for (int k = 0;; ++k) {
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
    while (pos < line.size() && IsPlainSeparator(line[pos])) {
      if (line[pos] == '=') out.rules[rule].strict = false;
      ++pos;
    }
    r = readSide(
        false, [](char c) { return c != ' ' && c != 'e'; }, "right-hand side");
    if (!r.ok) return r;
  }
  return ReadResult{};
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
  TpdbReader r(lines);
  for (;;) {
    const char c = NextInputChar(r);
    if (r.atEnd) return ReadResult::Refuse(0, "no RULES section: the text has no capital S");
    if (c == 'S') break;
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
    NextToken(r);
    while (r.ch != ')' && r.ch != ',') {
      ReadResult res = store(false, "right-hand side");
      if (!res.ok) return res;
      NextToken(r);
    }
  }
  return ReadResult{};
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
