#include "model/xtc_reader.h"

#include <algorithm>
#include <string>

#ifdef VELKIN_HAVE_PUGIXML
#include <pugixml.hpp>
#endif

namespace velkin {

#ifndef VELKIN_HAVE_PUGIXML

ReadResult ReadXtcSystem(std::string_view, const ReadLimits&, ParsedSystem& out) {
  out = ParsedSystem{};
  return ReadResult::Refuse(0, "this build cannot read XTC (XML) input: it lacks pugixml");
}

#else

namespace {

constexpr std::string_view kNotAChain =
    "a side must be a chain of unary symbols ending in one variable";

// The 1-based line of a byte offset into the text (0 when the offset is unknown).
int LineAt(std::string_view text, std::ptrdiff_t offset) {
  if (offset < 0) return 0;
  const auto end =
      static_cast<std::size_t>(offset) < text.size() ? text.begin() + offset : text.end();
  return 1 + static_cast<int>(std::count(text.begin(), end, '\n'));
}

std::string Trimmed(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return std::string(s);
}

bool IsElement(const pugi::xml_node& n) {
  return n.type() == pugi::node_element;
}

pugi::xml_node FirstElement(const pugi::xml_node& parent) {
  for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling())
    if (IsElement(c)) return c;
  return {};
}

pugi::xml_node NextElement(const pugi::xml_node& n) {
  for (pugi::xml_node c = n.next_sibling(); c; c = c.next_sibling())
    if (IsElement(c)) return c;
  return {};
}

// One call of ReadXtcSystem: the text (for line numbers) and the system it fills.
class XtcReader {
 public:
  XtcReader(SystemBuilder& b, ParsedSystem& out, std::string_view text)
      : b_(b), out_(out), text_(text) {}

  int Line(const pugi::xml_node& n) const { return LineAt(text_, n.offset_debug()); }

  // Reads the <rule> element `rule` as the next rule of the system.
  ReadResult ReadRule(const pugi::xml_node& rule, bool strict) {
    const std::string ruleName = "rule " + std::to_string(b_.ruleCount() + 1);
    if (!b_.RoomForRule())
      return ReadResult::Refuse(
          Line(rule), ruleName + ": more than " + std::to_string(b_.limits().rules) + " rules");
    if (rule.child("conditions"))
      return ReadResult::Refuse(Line(rule),
                                ruleName + ": conditional rules are not string rewriting");
    const pugi::xml_node lhs = rule.child("lhs");
    const pugi::xml_node rhs = rule.child("rhs");
    if (!lhs || !rhs)
      return ReadResult::Refuse(Line(rule), ruleName + ": the rule lacks its <lhs> or <rhs>");
    const std::size_t index = out_.rules.size();
    b_.StartRule(strict);
    std::string lhsVar, rhsVar;
    ReadResult r = ReadSide(lhs, ruleName, "left-hand side", index, true, lhsVar);
    if (!r.ok) return r;
    r = ReadSide(rhs, ruleName, "right-hand side", index, false, rhsVar);
    if (!r.ok) return r;
    if (lhsVar != rhsVar)
      return ReadResult::Refuse(Line(rhs), ruleName + ": the right-hand side ends in variable " +
                                               rhsVar + ", the left-hand side in " + lhsVar +
                                               ": not a string rewriting rule");
    if (index == 0) out_.variable = Trimmed(lhsVar);
    return ReadResult{};
  }

 private:
  // Reads one side of rule `index`, outermost symbol first, and names the variable it
  // ends in. Walks the nesting with a loop, so deep documents need no deep stack; with
  // a side limit it gives up at the limit.
  ReadResult ReadSide(const pugi::xml_node& side, const std::string& ruleName, const char* sideName,
                      std::size_t index, bool isLhs, std::string& var) {
    const std::string where = ruleName + ": " + sideName;
    auto store = [&](const pugi::xml_node& name) -> ReadResult {
      const std::string text = name.text().get();
      if (text.empty()) return ReadResult::Refuse(Line(name), where + ": a symbol has no name");
      std::vector<int>& row = isLhs ? out_.rules[index].lhs : out_.rules[index].rhs;
      if (!b_.RoomOnSide(row.size()))
        return ReadResult::Refuse(
            Line(name),
            where + " has more than " + std::to_string(b_.limits().sideLength) + " symbols");
      const int id = b_.Symbol(text);
      if (id < 0)
        return ReadResult::Refuse(
            Line(name),
            ruleName + ": more than " + std::to_string(b_.limits().symbols) + " different symbols");
      row.push_back(id);
      return ReadResult{};
    };
    auto readVar = [&](const pugi::xml_node& v) -> ReadResult {
      var = v.text().get();
      if (var.empty()) return ReadResult::Refuse(Line(v), where + ": a variable has no name");
      return ReadResult{};
    };
    pugi::xml_node container = side;
    for (;;) {
      const pugi::xml_node first = FirstElement(container);
      if (!first)
        return ReadResult::Refuse(Line(container), where + ": no term; " + std::string(kNotAChain));
      const std::string_view tag = first.name();
      if (tag == "funapp") {
        if (NextElement(first))
          return ReadResult::Refuse(Line(first), where + ": " + std::string(kNotAChain));
        const pugi::xml_node name = first.child("name");
        if (!name) return ReadResult::Refuse(Line(first), where + ": <funapp> without <name>");
        int args = 0;
        pugi::xml_node arg;
        for (pugi::xml_node c = FirstElement(first); c; c = NextElement(c)) {
          if (std::string_view(c.name()) == "arg") {
            if (++args == 1) arg = c;
          } else if (c != name) {
            return ReadResult::Refuse(Line(c),
                                      where + ": unexpected <" + c.name() + "> in <funapp>");
          }
        }
        if (args != 1)
          return ReadResult::Refuse(
              Line(first),
              where + ": symbol " + name.text().get() + " has " +
                  (args == 0 ? std::string("no argument") : std::to_string(args) + " arguments") +
                  ": only unary symbols (string rewriting) are supported");
        const ReadResult r = store(name);
        if (!r.ok) return r;
        container = arg;
        continue;
      }
      if (tag == "var") {
        if (NextElement(first))
          return ReadResult::Refuse(Line(first), where + ": " + std::string(kNotAChain));
        return readVar(first);
      }
      if (tag == "name") {  // the flat form: <name>...</name> ... <var>x</var>
        for (pugi::xml_node c = first; c; c = NextElement(c)) {
          const std::string_view t = c.name();
          if (t == "name") {
            const ReadResult r = store(c);
            if (!r.ok) return r;
          } else if (t == "var" && !NextElement(c)) {
            return readVar(c);
          } else {
            return ReadResult::Refuse(Line(c), where + ": " + std::string(kNotAChain));
          }
        }
        return ReadResult::Refuse(Line(container),
                                  where + ": no variable at the end; " + std::string(kNotAChain));
      }
      return ReadResult::Refuse(Line(first), where + ": unexpected <" + std::string(tag) + ">; " +
                                                 std::string(kNotAChain));
    }
  }

  SystemBuilder& b_;
  ParsedSystem& out_;
  std::string_view text_;
};

}  // namespace

ReadResult ReadXtcSystem(std::string_view text, const ReadLimits& limits, ParsedSystem& out) {
  SystemBuilder b(out, limits);
  XtcReader reader(b, out, text);

  pugi::xml_document doc;
  const pugi::xml_parse_result parsed =
      doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!parsed)
    return ReadResult::Refuse(LineAt(text, parsed.offset),
                              std::string("not well-formed XML: ") + parsed.description());

  const pugi::xml_node problem = doc.document_element();
  if (std::string_view(problem.name()) != "problem")
    return ReadResult::Refuse(reader.Line(problem), std::string("the document element is <") +
                                                        problem.name() +
                                                        ">, not <problem>: not an XTC problem");
  const pugi::xml_attribute type = problem.attribute("type");
  if (type && std::string_view(type.value()) != "termination")
    return ReadResult::Refuse(
        reader.Line(problem),
        std::string("a problem of type ") + type.value() + ": only termination problems are read");
  if (const pugi::xml_node strategy = problem.child("strategy")) {
    std::string name = Trimmed(strategy.text().get());
    if (name.empty() && FirstElement(strategy)) name = FirstElement(strategy).name();
    if (name != "FULL")
      return ReadResult::Refuse(reader.Line(strategy),
                                "strategy " + name + ": only FULL (full rewriting) is supported");
  }
  const pugi::xml_node trs = problem.child("trs");
  if (!trs) return ReadResult::Refuse(reader.Line(problem), "the problem has no <trs> element");
  if (const pugi::xml_node cond = trs.child("conditiontype"))
    return ReadResult::Refuse(reader.Line(cond), "conditional rewriting is not string rewriting");
  if (const pugi::xml_node ho = trs.child("higherOrderSignature"))
    return ReadResult::Refuse(reader.Line(ho), "a higher-order problem is not string rewriting");
  for (const pugi::xml_node& sym : trs.child("signature").children("funcsym")) {
    const std::string name = sym.child("name").text().get();
    const std::string arity = Trimmed(sym.child("arity").text().get());
    if (arity != "1")
      return ReadResult::Refuse(reader.Line(sym),
                                "symbol " + name + " has arity " + arity +
                                    ": only unary symbols (string rewriting) are supported");
    if (sym.child("theory"))
      return ReadResult::Refuse(reader.Line(sym), "symbol " + name + " has a theory (" +
                                                      sym.child("theory").text().get() +
                                                      "): not supported");
  }
  const pugi::xml_node rules = trs.child("rules");
  if (!rules) return ReadResult::Refuse(reader.Line(trs), "the problem has no <rules> element");

  for (const pugi::xml_node& rule : rules.children("rule")) {
    const ReadResult r = reader.ReadRule(rule, true);
    if (!r.ok) return r;
  }
  for (const pugi::xml_node& rel : rules.children("relrules")) {
    for (const pugi::xml_node& rule : rel.children("rule")) {
      const ReadResult r = reader.ReadRule(rule, false);
      if (!r.ok) return r;
    }
  }
  return ReadResult{};
}

#endif

ReadResult ParseXtcInput(State& st, std::string_view text) {
  ParsedSystem sys;
  const ReadResult r = ReadXtcSystem(text, ReadLimits::Classic(), sys);
  LoadPrimary(st, sys);
  return r;
}

}  // namespace velkin
