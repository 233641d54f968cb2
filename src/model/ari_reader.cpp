#include "model/ari_reader.h"

#include <string>
#include <unordered_map>
#include <unordered_set>

namespace velkin {

namespace {

constexpr std::string_view kNotAChain =
    "a side must be a chain of unary symbols applied to one variable";

enum class TokenKind { Open, Close, Atom, String, End, Error };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string_view text;  // the atom (a view into the line), or the error message
  int line = 0;           // 1-based
  bool quoted = false;    // an atom written |like this|: never a keyword
};

// An atom that starts with ':' and is not quoted: a keyword such as :cost.
bool IsKeyword(const Token& t) {
  return t.kind == TokenKind::Atom && !t.quoted && !t.text.empty() && t.text.front() == ':';
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}
bool EndsAtom(char c) {
  return IsBlank(c) || c == '(' || c == ')' || c == ';' || c == '"' || c == '|';
}

// Splits the lines into parentheses, atoms and strings; `;` comments are skipped. Never
// reads past the end of a line or past the last line.
class AriLexer {
 public:
  explicit AriLexer(const InputLines& lines) : lines_(lines) {}

  Token Next() {
    for (;;) {
      if (k_ >= lines_.size()) return Token{TokenKind::End, {}, LastLine()};
      const std::string_view line = lines_[k_];
      if (pos_ >= line.size() || line[pos_] == ';') {
        ++k_;
        pos_ = 0;
        continue;
      }
      const char c = line[pos_];
      if (IsBlank(c)) {
        ++pos_;
        continue;
      }
      const int lineNo = k_ + 1;
      if (c == '(' || c == ')') {
        ++pos_;
        return Token{c == '(' ? TokenKind::Open : TokenKind::Close, line.substr(pos_ - 1, 1),
                     lineNo};
      }
      if (c == '"') return SkipString(lineNo);
      if (c == '|') {  // a quoted name: everything up to the next '|' on the line
        const std::size_t close = line.find('|', pos_ + 1);
        if (close == std::string_view::npos)
          return Token{TokenKind::Error,
                       "a |quoted| name that starts here does not end on its line", lineNo};
        if (close == pos_ + 1) return Token{TokenKind::Error, "an empty |quoted| name", lineNo};
        const std::size_t start = pos_ + 1;
        pos_ = close + 1;
        return Token{TokenKind::Atom, line.substr(start, close - start), lineNo, true};
      }
      const std::size_t start = pos_;
      while (pos_ < line.size() && !EndsAtom(line[pos_])) ++pos_;
      return Token{TokenKind::Atom, line.substr(start, pos_ - start), lineNo};
    }
  }

 private:
  // The line that the end of the text is on: the last one, or the one before an empty
  // last line (the line break that ends the text starts no line of its own).
  int LastLine() const {
    const int n = lines_.size();
    return n > 1 && lines_[n - 1].empty() ? n - 1 : n;
  }

  // A string runs to the next '"' that is not doubled, possibly over several lines.
  Token SkipString(int startLine) {
    ++pos_;
    for (;;) {
      if (k_ >= lines_.size())
        return Token{TokenKind::Error, "a string that starts here has no closing '\"'", startLine};
      const std::string_view line = lines_[k_];
      if (pos_ >= line.size()) {
        ++k_;
        pos_ = 0;
        continue;
      }
      if (line[pos_++] != '"') continue;
      if (pos_ < line.size() && line[pos_] == '"') {
        ++pos_;
        continue;
      }
      return Token{TokenKind::String, {}, startLine};
    }
  }

  const InputLines& lines_;
  int k_ = 0;
  std::size_t pos_ = 0;
};

std::string Describe(const Token& t) {
  switch (t.kind) {
    case TokenKind::Open:
      return "'('";
    case TokenKind::Close:
      return "')'";
    case TokenKind::Atom:
      return t.quoted ? "'|" + std::string(t.text) + "|'" : "'" + std::string(t.text) + "'";
    case TokenKind::String:
      return "a string";
    case TokenKind::End:
      return "the end of the text";
    case TokenKind::Error:
      break;
  }
  return "an error";
}

class AriReader {
 public:
  AriReader(SystemBuilder& b, ParsedSystem& out, const InputLines& lines)
      : b_(b), out_(out), lx_(lines) {}

  ReadResult Read() {
    bool formatSeen = false;
    for (;;) {
      const Token open = lx_.Next();
      if (open.kind == TokenKind::End) break;
      if (open.kind == TokenKind::Error) return Fail(open);
      if (open.kind != TokenKind::Open)
        return ReadResult::Refuse(open.line,
                                  "expected '(' to begin a form, found " + Describe(open));
      const Token head = lx_.Next();
      if (head.kind == TokenKind::Error) return Fail(head);
      if (head.kind != TokenKind::Atom)
        return ReadResult::Refuse(head.line,
                                  "expected the name of a form after '(', found " + Describe(head));
      if (!formatSeen && head.text != "format")
        return ReadResult::Refuse(head.line, "the problem must begin with (format TRS)");
      ReadResult r;
      if (head.text == "format") {
        if (formatSeen) return ReadResult::Refuse(head.line, "a second (format ...) form");
        formatSeen = true;
        r = ReadFormat();
      } else if (head.text == "fun") {
        r = ReadFun();
      } else if (head.text == "rule") {
        r = ReadRule(open.line);
      } else if (head.text == "meta-info") {
        r = SkipForm(open.line);
      } else {
        r = ReadResult::Refuse(head.line, "unknown form (" + std::string(head.text) +
                                              " ...): only format, fun, rule and meta-info "
                                              "are read");
      }
      if (!r.ok) return r;
    }
    if (!formatSeen) return ReadResult::Refuse(0, "the problem must begin with (format TRS)");
    return ReadResult{};
  }

 private:
  static ReadResult Fail(const Token& t) { return ReadResult::Refuse(t.line, std::string(t.text)); }

  // Expects the ')' that closes a form.
  ReadResult ExpectClose(const std::string& what) {
    const Token t = lx_.Next();
    if (t.kind == TokenKind::Error) return Fail(t);
    if (t.kind != TokenKind::Close)
      return ReadResult::Refuse(t.line, what + ": expected ')', found " + Describe(t));
    return ReadResult{};
  }

  ReadResult ReadFormat() {
    const Token kind = lx_.Next();
    if (kind.kind == TokenKind::Error) return Fail(kind);
    if (kind.kind != TokenKind::Atom || kind.text != "TRS")
      return ReadResult::Refuse(
          kind.line, "format " + Describe(kind) + ": only TRS (with unary symbols) is read");
    const Token t = lx_.Next();
    if (t.kind == TokenKind::Error) return Fail(t);
    if (t.kind != TokenKind::Close)
      return ReadResult::Refuse(
          t.line, "(format TRS ...) with further options (" + Describe(t) + ") is not supported");
    return ReadResult{};
  }

  ReadResult ReadFun() {
    const Token name = lx_.Next();
    if (name.kind == TokenKind::Error) return Fail(name);
    if (name.kind != TokenKind::Atom || IsKeyword(name))
      return ReadResult::Refuse(name.line,
                                "(fun ...): expected a symbol name, found " + Describe(name));
    const Token arity = lx_.Next();
    if (arity.kind == TokenKind::Error) return Fail(arity);
    if (arity.kind != TokenKind::Atom)
      return ReadResult::Refuse(
          arity.line,
          "(fun " + std::string(name.text) + " ...): expected an arity, found " + Describe(arity));
    const auto [it, isNew] = arity_.emplace(std::string(name.text), std::string(arity.text));
    if (!isNew && it->second != arity.text)
      return ReadResult::Refuse(arity.line, "symbol " + std::string(name.text) +
                                                " is declared twice, with arity " + it->second +
                                                " and with arity " + std::string(arity.text));
    if (arity.text != "1")
      return ReadResult::Refuse(arity.line, "symbol " + std::string(name.text) +
                                                " is declared with arity " +
                                                std::string(arity.text) +
                                                ": only unary symbols (string rewriting) are "
                                                "supported");
    unary_.insert(std::string(name.text));
    return ExpectClose("(fun " + std::string(name.text) + " 1");
  }

  // Skips a form up to its closing ')', nested forms and strings included.
  ReadResult SkipForm(int openLine) {
    for (int depth = 1; depth > 0;) {
      const Token t = lx_.Next();
      if (t.kind == TokenKind::Error) return Fail(t);
      if (t.kind == TokenKind::End)
        return ReadResult::Refuse(openLine, "the form that starts here is not closed");
      if (t.kind == TokenKind::Open) ++depth;
      if (t.kind == TokenKind::Close) --depth;
    }
    return ReadResult{};
  }

  ReadResult ReadRule(int openLine) {
    const std::string ruleName = "rule " + std::to_string(b_.ruleCount() + 1);
    if (!b_.RoomForRule())
      return ReadResult::Refuse(
          openLine, ruleName + ": more than " + std::to_string(b_.limits().rules) + " rules");
    const std::size_t index = out_.rules.size();
    b_.StartRule(true);
    std::string_view lhsVar, rhsVar;
    ReadResult r = ReadTerm(ruleName, "left-hand side", index, true, lhsVar);
    if (!r.ok) return r;
    int rhsLine = 0;
    r = ReadTerm(ruleName, "right-hand side", index, false, rhsVar, &rhsLine);
    if (!r.ok) return r;
    for (;;) {
      const Token t = lx_.Next();
      if (t.kind == TokenKind::Error) return Fail(t);
      if (t.kind == TokenKind::Close) break;
      if (IsKeyword(t) && t.text == ":cost") {
        const Token v = lx_.Next();
        if (v.kind == TokenKind::Error) return Fail(v);
        if (v.kind == TokenKind::Atom && v.text == "0") {
          out_.rules[index].strict = false;
        } else if (v.kind == TokenKind::Atom && v.text == "1") {
          out_.rules[index].strict = true;
        } else {
          return ReadResult::Refuse(v.line, ruleName + ": :cost " + Describe(v) +
                                                " is not supported (0 marks a weak rule, 1 a "
                                                "strict one)");
        }
        continue;
      }
      if (IsKeyword(t))
        return ReadResult::Refuse(t.line, ruleName + ": unknown attribute " + Describe(t));
      return ReadResult::Refuse(t.line, ruleName +
                                            ": expected ')' or :cost after the two sides, "
                                            "found " +
                                            Describe(t));
    }
    if (lhsVar != rhsVar)
      return ReadResult::Refuse(rhsLine, ruleName + ": the right-hand side ends in variable " +
                                             std::string(rhsVar) + ", the left-hand side in " +
                                             std::string(lhsVar) + ": not a string rewriting rule");
    return ReadResult{};
  }

  // Reads one side of rule `index`, outermost symbol first, and names the variable at
  // its end. Reads the nesting with a loop; with a side limit it gives up at the limit.
  ReadResult ReadTerm(const std::string& ruleName, const char* sideName, std::size_t index,
                      bool isLhs, std::string_view& var, int* firstLine = nullptr) {
    const std::string where = ruleName + ": " + sideName;
    std::size_t depth = 0;
    Token t = lx_.Next();
    if (firstLine) *firstLine = t.line;
    while (t.kind == TokenKind::Open) {
      const Token f = lx_.Next();
      if (f.kind == TokenKind::Error) return Fail(f);
      if (f.kind != TokenKind::Atom)
        return ReadResult::Refuse(f.line, where + ": expected a symbol after '(', found " +
                                              Describe(f) + "; " + std::string(kNotAChain));
      if (unary_.count(std::string(f.text)) == 0)
        return ReadResult::Refuse(f.line, where + ": symbol " + std::string(f.text) +
                                              " is not declared; declare it with (fun " +
                                              std::string(f.text) + " 1) before the rules");
      std::vector<int>& row = isLhs ? out_.rules[index].lhs : out_.rules[index].rhs;
      if (!b_.RoomOnSide(row.size()))
        return ReadResult::Refuse(f.line, where + " has more than " +
                                              std::to_string(b_.limits().sideLength) + " symbols");
      const int id = b_.Symbol(f.text);
      if (id < 0)
        return ReadResult::Refuse(
            f.line,
            ruleName + ": more than " + std::to_string(b_.limits().symbols) + " different symbols");
      row.push_back(id);
      ++depth;
      t = lx_.Next();
    }
    if (t.kind == TokenKind::Error) return Fail(t);
    if (t.kind != TokenKind::Atom || IsKeyword(t))
      return ReadResult::Refuse(t.line, where + ": expected a variable, found " + Describe(t) +
                                            "; " + std::string(kNotAChain));
    if (unary_.count(std::string(t.text)) != 0)
      return ReadResult::Refuse(t.line, where + ": symbol " + std::string(t.text) +
                                            " is used without its argument; " +
                                            std::string(kNotAChain));
    var = t.text;
    for (std::size_t i = 0; i < depth; ++i) {
      const Token c = lx_.Next();
      if (c.kind == TokenKind::Error) return Fail(c);
      if (c.kind != TokenKind::Close)
        return ReadResult::Refuse(c.line, where + ": expected ')', found " + Describe(c) +
                                              " (a symbol with more than one argument?); " +
                                              std::string(kNotAChain));
    }
    return ReadResult{};
  }

  SystemBuilder& b_;
  ParsedSystem& out_;
  AriLexer lx_;
  std::unordered_set<std::string> unary_;               // the declared symbols
  std::unordered_map<std::string, std::string> arity_;  // every declaration's arity
};

}  // namespace

ReadResult ReadAriSystem(const InputLines& lines, const ReadLimits& limits, ParsedSystem& out) {
  SystemBuilder b(out, limits);
  AriReader reader(b, out, lines);
  return reader.Read();
}

ReadResult ParseAriInput(State& st, const InputLines& lines) {
  ParsedSystem sys;
  const ReadResult r = ReadAriSystem(lines, ReadLimits::Classic(), sys);
  LoadPrimary(st, sys);
  return r;
}

}  // namespace velkin
