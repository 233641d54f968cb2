#include "model/readers.h"

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

std::string InputError::Describe() const {
  if (line <= 0) return message;
  return "line " + std::to_string(line) + ": " + message;
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

ReadResult ParsePlainInput(State& st, const InputLines& lines) {
  RuleSystem& p = st.primary;
  st.allStrict = 1;
  p.symbolCount = 0;
  p.ruleCount = 0;
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
    if (p.ruleCount >= kMaxRules)
      return ReadResult::Refuse(human, "more than " + Plural(kMaxRules, "rules"));
    const int rule = ++p.ruleCount;
    p.strict[rule] = 1;
    std::size_t pos = 0;
    // Reads symbols while `more` holds; stores them in `row`, ended by 0.
    auto readSide = [&](SymbolString& row, auto more, const char* side) -> ReadResult {
      int len = 0;
      while (pos < line.size() && more(line[pos])) {
        const int n = CodePointLength(line, pos);
        if (len == kMaxSideLength)
          return ReadResult::Refuse(
              human, std::string(side) + " has more than " + Plural(kMaxSideLength, "symbols"));
        const int id = LookupSymbol(st, line.substr(pos, n));
        if (id == 0)
          return ReadResult::Refuse(human, "more than " + Plural(kMaxSymbols, "different symbols"));
        row[len++] = static_cast<SymbolId>(id);
        pos += n;
      }
      row[len] = 0;
      return ReadResult{};
    };
    ReadResult r = readSide(
        p.lhs[rule], [](char c) { return !IsPlainSeparator(c); }, "left-hand side");
    if (!r.ok) return r;
    if (pos >= line.size())
      return ReadResult::Refuse(human,
                                "no separator between the sides (write lhs -> rhs or lhs ->= rhs)");
    while (pos < line.size() && IsPlainSeparator(line[pos])) {
      if (line[pos] == '=') {
        p.strict[rule] = 0;
        st.allStrict = 0;
      }
      ++pos;
    }
    r = readSide(
        p.rhs[rule], [](char c) { return c != ' ' && c != 'e'; }, "right-hand side");
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

ReadResult ParseTpdbInput(State& st, const InputLines& lines) {
  RuleSystem& p = st.primary;
  st.allStrict = 1;
  st.log.length = 0;
  p.symbolCount = 0;
  p.ruleCount = 0;
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
    if (p.ruleCount >= kMaxRules)
      return ReadResult::Refuse(human, "rule " + std::to_string(p.ruleCount + 1) + ": more than " +
                                           Plural(kMaxRules, "rules"));
    const int rule = ++p.ruleCount;
    const std::string ruleName = "rule " + std::to_string(rule);
    p.strict[rule] = 1;
    // Stores the token text at the next position of `row`.
    auto store = [&](SymbolString& row, int& len, const char* side) -> ReadResult {
      if (r.token.empty())
        return ReadResult::Refuse(
            r.lineNo + 1, ruleName + ": a symbol is missing before '" + std::string(1, r.ch) + "'");
      if (len == kMaxSideLength)
        return ReadResult::Refuse(r.lineNo + 1, ruleName + ": " + side + " has more than " +
                                                    Plural(kMaxSideLength, "symbols"));
      const int id = LookupSymbol(st, r.token);
      if (id == 0)
        return ReadResult::Refuse(
            r.lineNo + 1, ruleName + ": more than " + Plural(kMaxSymbols, "different symbols"));
      row[len++] = static_cast<SymbolId>(id);
      return ReadResult{};
    };
    int len = 0;
    while (r.ch != '-') {
      if (r.atEnd)
        return ReadResult::Refuse(human, ruleName + ": missing '->' before the end of the text");
      ReadResult res = store(p.lhs[rule], len, "left-hand side");
      if (!res.ok) return res;
      NextToken(r);
    }
    NextInputChar(r);  // the '>' of the arrow
    p.lhs[rule][len] = 0;
    len = 0;
    NextToken(r);
    while (r.ch != ')' && r.ch != ',') {
      ReadResult res = store(p.rhs[rule], len, "right-hand side");
      if (!res.ok) return res;
      NextToken(r);
    }
    p.rhs[rule][len] = 0;
  }
  return ReadResult{};
}

}  // namespace velkin
