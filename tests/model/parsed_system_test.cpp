// Reading without the classic capacities: the systems that the classic store refuses
// read in full, the same in every format.
#include "model/parsed_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "../test_util.h"

namespace velkin {
namespace {

struct Shape {
  std::size_t rules = 0, strict = 0, weak = 0, symbols = 0, longest = 0;
  friend bool operator==(const Shape&, const Shape&) = default;
};

Shape ShapeOf(const ParsedSystem& sys) {
  Shape s;
  s.rules = sys.rules.size();
  s.symbols = sys.names.size();
  for (const ParsedRule& r : sys.rules) {
    (r.strict ? s.strict : s.weak) += 1;
    s.longest = std::max({s.longest, r.lhs.size(), r.rhs.size()});
    for (const std::vector<int>* side : {&r.lhs, &r.rhs})
      for (int id : *side) EXPECT_TRUE(id >= 0 && id < static_cast<int>(s.symbols));
  }
  return s;
}

TEST(ReadUnbounded, CorpusSystemsBeyondTheCapacitiesReadInEveryFormat) {
  const std::string corpus = VELKIN_CORPUS_DIR;
  std::ifstream manifest(corpus + "/manifest.tsv");
  if (!manifest) GTEST_SKIP() << "no corpus at " << corpus;
  std::string line;
  std::getline(manifest, line);
  int checked = 0;
  while (std::getline(manifest, line)) {
    const std::vector<std::string> f = testing::SplitTabs(line);
    ASSERT_GE(f.size(), 10u);
    if (f[7] != "no") continue;
    SCOPED_TRACE(f[0]);
    const Shape want{std::stoul(f[2]), std::stoul(f[3]), std::stoul(f[4]), std::stoul(f[5]),
                     std::stoul(f[6])};
    struct Form {
      std::string path;
      InputFormat format;
    };
    std::vector<Form> forms{{corpus + "/" + f[8], InputFormat::Plain}};
    if (!f[9].empty() && f[9] != "-") forms.push_back({corpus + "/" + f[9], InputFormat::Tpdb});
    // The XTC originals are there for a sample of the problems only.
    const std::string xml = corpus + "/xml/" + f[0] + ".xml";
    if (std::ifstream(xml)) forms.push_back({xml, InputFormat::Xtc});
    for (const Form& form : forms) {
      SCOPED_TRACE(form.path);
      const std::string text = testing::ReadFile(form.path);
      ASSERT_FALSE(text.empty());
      ParsedSystem sys;
      const ReadResult r = ReadUnbounded(SplitLines(text), form.format, sys);
      ASSERT_TRUE(r.ok) << r.error.Describe();
      EXPECT_EQ(ShapeOf(sys), want);
      // The classic limits refuse what the store cannot hold.
      ParsedSystem classic;
      EXPECT_FALSE(ReadSystem(SplitLines(text), form.format, ReadLimits::Classic(), classic).ok);
    }
    ++checked;
  }
  EXPECT_EQ(checked, 361);
}

TEST(ReadUnbounded, LargeAlphabetsAndLongSidesInEachReader) {
  // 300 symbols, a side of 500 and 1500 rules: far past every classic capacity.
  std::string tpdb = "(RULES\n", ari = "(format TRS)\n";
  for (int k = 0; k < 300; ++k) ari += "(fun s" + std::to_string(k) + " 1)\n";
  std::string lhs, open, close;
  for (int k = 0; k < 500; ++k) {
    const std::string name = "s" + std::to_string(k % 300);
    lhs += name + " ";
    open += "(" + name + " ";
    close += ")";
  }
  tpdb += lhs + "-> s1,\n";
  ari += "(rule " + open + "x" + close + " (s1 x))\n";
  for (int k = 0; k < 1499; ++k) {
    tpdb += "s2 -> s3,\n";
    ari += "(rule (s2 x) (s3 x) :cost 0)\n";
  }
  tpdb += ")\n";
  for (const auto& [text, format] :
       {std::pair{tpdb, InputFormat::Tpdb}, std::pair{ari, InputFormat::Ari}}) {
    ParsedSystem sys;
    const ReadResult r = ReadUnbounded(SplitLines(text), format, sys);
    ASSERT_TRUE(r.ok) << r.error.Describe();
    ASSERT_EQ(sys.rules.size(), 1500u);
    EXPECT_EQ(sys.names.size(), 300u);
    EXPECT_EQ(sys.rules[0].lhs.size(), 500u);
    EXPECT_EQ(sys.names[sys.rules[0].lhs[299]], "s299");
    EXPECT_EQ(sys.rules[0].lhs[300], sys.rules[0].lhs[0]);  // s0 again: one index per name
    EXPECT_EQ(sys.rules[1499].strict, format == InputFormat::Tpdb);
  }
}

TEST(ReadSystem, ClassicLimitsKeepTheStoresMessagesAndLoadTheSameSystem) {
  std::string text;
  for (int k = 0; k < 1001; ++k) text += "ab -> ba\n";
  ParsedSystem sys;
  ReadResult r = ReadSystem(SplitLines(text), InputFormat::Plain, ReadLimits::Classic(), sys);
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.error.Describe(), "line 1001: more than 1000 rules");
  EXPECT_EQ(sys.rules.size(), 1000u);
  r = ReadUnbounded(SplitLines(text), InputFormat::Plain, sys);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(sys.rules.size(), 1001u);

  // Loading keeps the primary system as the readers of the store filled it.
  auto st = MakeState();
  ASSERT_TRUE(
      ReadSystem({"ba ->= ab", "c -> a"}, InputFormat::Plain, ReadLimits::Classic(), sys).ok);
  LoadPrimary(*st, sys);
  EXPECT_EQ(st->primary.ruleCount, 2);
  EXPECT_EQ(st->primary.symbolCount, 3);
  EXPECT_EQ(st->primary.names[1], "b");
  EXPECT_EQ(testing::Row(st->primary.lhs[1]), (std::vector<int>{1, 2}));
  EXPECT_EQ(testing::Row(st->primary.rhs[2]), (std::vector<int>{2}));
  EXPECT_EQ(st->primary.strict[1], 0);
  EXPECT_EQ(st->allStrict, 0);
}

}  // namespace
}  // namespace velkin
