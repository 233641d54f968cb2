// The XTC reader: the database's own files against their plain-format conversions, the
// two side forms, relative rules, and the refusals.
#include "model/xtc_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "../test_util.h"

namespace velkin {
namespace {

namespace fs = std::filesystem;
using testing::Row;
using V = std::vector<int>;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A side as nested <funapp> elements ending in <var>x</var>.
std::string Term(const std::vector<std::string>& names, const std::string& var = "x") {
  std::string t = "<var>" + var + "</var>";
  for (auto it = names.rbegin(); it != names.rend(); ++it)
    t = "<funapp><name>" + *it + "</name><arg>" + t + "</arg></funapp>";
  return t;
}

std::string Rule(const std::vector<std::string>& l, const std::vector<std::string>& r) {
  return "<rule><lhs>" + Term(l) + "</lhs><rhs>" + Term(r) + "</rhs></rule>";
}

std::string Problem(const std::string& rules, const std::string& relrules = "",
                    const std::string& extra = "<strategy>FULL</strategy>") {
  return "<?xml version=\"1.0\"?>\n<problem type=\"termination\">\n<trs>\n<rules>\n" + rules +
         (relrules.empty() ? "" : "<relrules>" + relrules + "</relrules>") +
         "\n</rules>\n</trs>\n" + extra + "\n</problem>\n";
}

// The symbol names of a plain file's comment lines " symbol C = original".
std::map<std::string, std::string> OriginalNames(const std::string& plainText) {
  std::map<std::string, std::string> names;
  for (const std::string& line : SplitLines(plainText)) {
    const std::string prefix = " symbol ";
    if (line.rfind(prefix, 0) != 0) continue;
    const std::size_t eq = line.find(" = ", prefix.size());
    if (eq == std::string::npos) continue;
    names[line.substr(prefix.size(), eq - prefix.size())] = line.substr(eq + 3);
  }
  return names;
}

TEST(ParseXtcInput, DatabaseFilesMatchTheirPlainConversions) {
  const fs::path corpus = VELKIN_CORPUS_DIR;
  if (!fs::exists(corpus / "xml")) GTEST_SKIP() << "no corpus at " << corpus;
  int compared = 0, refusedBoth = 0;
  for (const auto& entry : fs::recursive_directory_iterator(corpus / "xml")) {
    if (entry.path().extension() != ".xml") continue;
    std::string rel = fs::relative(entry.path(), corpus / "xml").string();
    rel = rel.substr(0, rel.size() - 4);
    if (rel.size() > 4 && rel.substr(rel.size() - 4) == ".srs") rel.resize(rel.size() - 4);
    SCOPED_TRACE(rel);
    const std::string plainText = ReadFile(corpus / "plain" / (rel + ".srs"));
    ASSERT_FALSE(plainText.empty());

    auto xs = MakeState();
    auto ps = MakeState();
    const ReadResult xr = ParseXtcInput(*xs, ReadFile(entry.path()));
    const std::vector<std::string> lines = SplitLines(plainText);
    const ReadResult pr = ParsePlainInput(*ps, InputLines(lines));
    ASSERT_EQ(xr.ok, pr.ok) << xr.error.Describe() << " / " << pr.error.Describe();
    if (!xr.ok) {  // only sides beyond the capacity are refused in the corpus
      EXPECT_NE(xr.error.message.find("has more than 19 symbols"), std::string::npos);
      EXPECT_GT(xr.error.line, 0);
      ++refusedBoth;
      continue;
    }
    const RuleSystem& x = xs->primary;
    const RuleSystem& p = ps->primary;
    ASSERT_EQ(x.ruleCount, p.ruleCount);
    ASSERT_EQ(x.symbolCount, p.symbolCount);
    EXPECT_EQ(xs->allStrict, ps->allStrict);
    for (int i = 1; i <= x.ruleCount; ++i) {
      EXPECT_EQ(Row(x.lhs[i]), Row(p.lhs[i])) << "rule " << i;
      EXPECT_EQ(Row(x.rhs[i]), Row(p.rhs[i])) << "rule " << i;
      EXPECT_EQ(x.strict[i], p.strict[i]) << "rule " << i;
    }
    const auto original = OriginalNames(plainText);
    for (int k = 1; k <= x.symbolCount; ++k) {
      const auto it = original.find(p.names[k]);
      ASSERT_NE(it, original.end()) << p.names[k];
      if (it->second.find("\\x") == std::string::npos) {
        EXPECT_EQ(x.names[k], it->second);
      }
    }
    ++compared;
  }
  EXPECT_GT(compared, 100);
  EXPECT_GT(refusedBoth, 0);
}

TEST(ParseXtcInput, RelativeRulesComeAfterTheStrictOnesAndNumberSymbolsInOrder) {
  auto st = MakeState();
  // The weak rule stands first in the text, but weak rules follow the strict ones.
  const std::string text = "<problem type=\"termination\"><trs><rules><relrules>" +
                           Rule({"c"}, {"c", "c"}) + "</relrules>" +
                           Rule({"b", "a"}, {"a", "long-name", "b"}) + Rule({}, {"a"}) +
                           "</rules></trs></problem>";
  const ReadResult r = ParseXtcInput(*st, text);
  ASSERT_TRUE(r.ok) << r.error.Describe();
  const RuleSystem& p = st->primary;
  ASSERT_EQ(p.ruleCount, 3);
  EXPECT_EQ(st->allStrict, 0);
  EXPECT_EQ(Row(p.lhs[1]), (V{1, 2}));
  EXPECT_EQ(Row(p.rhs[1]), (V{2, 3, 1}));
  EXPECT_EQ(Row(p.lhs[2]), V{});
  EXPECT_EQ(Row(p.rhs[2]), (V{2}));
  EXPECT_EQ(Row(p.lhs[3]), (V{4}));
  EXPECT_EQ((V{p.strict[1], p.strict[2], p.strict[3]}), (V{1, 1, 0}));
  EXPECT_EQ(p.names[1], "b");
  EXPECT_EQ(p.names[3], "long-name");
  EXPECT_EQ(p.names[4], "c");
  CopySystem(st->primary, st->working);
  EXPECT_EQ(FormatRule(*st, 1), "b a  -> a long-name b ");
}

TEST(ParseXtcInput, FlatSidesAndAnEmptyRelrulesSection) {
  auto st = MakeState();
  const std::string text = Problem(
      "<rule><lhs><name>a</name><name>b</name><var>x</var></lhs>"
      "<rhs><var>x</var></rhs></rule>",
      "");
  ASSERT_TRUE(ParseXtcInput(*st, text + "").ok);
  EXPECT_EQ(Row(st->primary.lhs[1]), (V{1, 2}));
  EXPECT_EQ(Row(st->primary.rhs[1]), V{});
  EXPECT_EQ(st->allStrict, 1);

  const std::string withEmptyRel = "<problem type=\"termination\"><trs><rules>" +
                                   Rule({"a"}, {"b"}) + "<relrules/></rules></trs></problem>";
  ASSERT_TRUE(ParseXtcInput(*st, withEmptyRel).ok);
  EXPECT_EQ(st->primary.ruleCount, 1);
  EXPECT_EQ(st->allStrict, 1);
}

TEST(ParseXtcInput, RefusesWhatIsNotStringRewritingWithTheLine) {
  struct Case {
    std::string text;
    int line;
    const char* fragment;
  };
  const std::string binarySignature =
      "<signature><funcsym><name>f</name><arity>2</arity></funcsym></signature>";
  const Case cases[] = {
      {"<problem><trs><rules>\n<rule><lhs>", 2, "not well-formed XML"},
      {"<notaproblem/>", 1, "not an XTC problem"},
      {"<problem type=\"complexity\"><trs/></problem>", 1, "type complexity"},
      {Problem(Rule({"a"}, {"b"}), "", "<strategy>INNERMOST</strategy>"), 8, "strategy INNERMOST"},
      {"<problem type=\"termination\"><trs>\n<rules/>" + binarySignature + "</trs></problem>", 2,
       "symbol f has arity 2"},
      {Problem("<rule><lhs><funapp><name>f</name><arg>" + Term({}) + "</arg><arg>" + Term({}) +
               "</arg></funapp></lhs><rhs>" + Term({}) + "</rhs></rule>"),
       5, "symbol f has 2 arguments"},
      {Problem("<rule><lhs><funapp><name>c</name></funapp></lhs><rhs>" + Term({}) +
               "</rhs></rule>"),
       5, "symbol c has no argument"},
      {Problem("<rule><lhs>" + Term({"a"}) + "</lhs><rhs>" + Term({"a"}, "y") + "</rhs></rule>"), 5,
       "ends in variable y"},
      {Problem("<rule><lhs><name>a</name><var>x</var><name>b</name></lhs><rhs>" + Term({}) +
               "</rhs></rule>"),
       5, "chain of unary symbols"},
      {Problem("<rule><lhs>" + Term({"a"}) + "</lhs></rule>"), 5, "lacks its <lhs> or <rhs>"},
      {Problem(Rule({"a"}, {"b"}) + "\n<rule><lhs>" + Term({"a"}) +
               "</lhs><rhs><funapp><name></name><arg>" + Term({}) + "</arg></funapp></rhs></rule>"),
       6, "rule 2: right-hand side: a symbol has no name"},
      {"<problem><trs><rules/></trs><strategy>\n<innermost/></strategy></problem>", 1,
       "strategy innermost"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto st = MakeState();
    const ReadResult r = ParseXtcInput(*st, c.text);
    ASSERT_FALSE(r.ok);
    EXPECT_EQ(r.error.line, c.line) << r.error.message;
    EXPECT_NE(r.error.message.find(c.fragment), std::string::npos) << r.error.message;
  }
}

TEST(ParseXtcInput, RefusesWhatExceedsTheCapacities) {
  auto st = MakeState();
  // A side of 20 symbols, on line 5 of the text.
  const std::vector<std::string> twenty(20, "a");
  ReadResult r = ParseXtcInput(*st, Problem(Rule({"a"}, twenty)));
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.error.line, 5);
  EXPECT_NE(r.error.message.find("rule 1: right-hand side has more than 19 symbols"),
            std::string::npos);
  // 19 symbols fit.
  EXPECT_TRUE(ParseXtcInput(*st, Problem(Rule({"a"}, std::vector<std::string>(19, "a")))).ok);

  // 101 different symbols.
  std::string rules;
  for (int k = 0; k < 101; ++k) rules += Rule({"s" + std::to_string(k)}, {}) + "\n";
  r = ParseXtcInput(*st, Problem(rules));
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.error.message.find("rule 101: more than 100 different symbols"), std::string::npos);
  EXPECT_EQ(st->primary.symbolCount, 100);

  // 1001 rules.
  rules.clear();
  for (int k = 0; k < 1001; ++k) rules += Rule({"a"}, {"b"}) + "\n";
  r = ParseXtcInput(*st, Problem(rules));
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.error.line, 1005);
  EXPECT_NE(r.error.message.find("rule 1001: more than 1000 rules"), std::string::npos);
  EXPECT_EQ(st->primary.ruleCount, 1000);
}

TEST(ParseXtcInput, DeepNestingIsRefusedWithoutWalkingIt) {
  std::string deep;
  for (int k = 0; k < 100000; ++k) deep += "<funapp><name>a</name><arg>";
  deep += "<var>x</var>";
  for (int k = 0; k < 100000; ++k) deep += "</arg></funapp>";
  auto st = MakeState();
  const ReadResult r =
      ParseXtcInput(*st, Problem("<rule><lhs>" + deep + "</lhs><rhs><var>x</var></rhs></rule>"));
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.error.message.find("more than 19 symbols"), std::string::npos);
}

// The variable is kept for certificates: that of the first rule read (the strict rules
// come first), without blanks around it, decoded; the other formats keep none.
TEST(ReadXtcSystem, KeepsTheVariableOfTheFirstRule) {
  ParsedSystem sys;
  const std::string text = "<problem type=\"termination\"><trs><rules><relrules><rule><lhs>" +
                           Term({"c"}, "w") + "</lhs><rhs>" + Term({}, "w") +
                           "</rhs></rule></relrules><rule><lhs>" + Term({"a"}, " y&amp;z\n") +
                           "</lhs><rhs>" + Term({"b"}, " y&amp;z\n") +
                           "</rhs></rule></rules></trs></problem>";
  ASSERT_TRUE(ReadXtcSystem(text, ReadLimits::None(), sys).ok);
  EXPECT_EQ(sys.variable, "y&z");
  ASSERT_TRUE(ReadXtcSystem(Problem("", Rule({"c"}, {})), ReadLimits::None(), sys).ok);
  EXPECT_EQ(sys.variable, "x");
  ASSERT_TRUE(ReadSystem({"ab -> ba"}, InputFormat::Plain, ReadLimits::None(), sys).ok);
  EXPECT_EQ(sys.variable, "");
}

}  // namespace
}  // namespace velkin
