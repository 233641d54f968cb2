// Semantic labelling: interpretations, draws, labelled systems, attempts, orientation.
#include "techniques/labelling.h"

#include <gtest/gtest.h>

#include <atomic>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "../test_util.h"

namespace velkin {
namespace {

using testing::LoadPlain;
using testing::LogLines;
using testing::Row;
using testing::RuleTexts;
using Ints = std::vector<int>;
using Lines = std::vector<std::string>;

InterpretationCodes Codes(std::initializer_list<int> codes) {
  InterpretationCodes c{};
  int s = 1;
  for (int code : codes) c[s++] = static_cast<std::uint8_t>(code);
  return c;
}

// The working names that a labelling step gives the primary symbols.
void NameLabelledSymbols(State& st) {
  const int n = st.primary.symbolCount;
  for (int s = 1; s <= n; ++s) {
    st.working.names[s] = st.primary.names[s] + "1 ";
    st.working.names[n + s] = st.primary.names[s] + "0 ";
  }
  st.working.symbolCount = 2 * n;
}

// The lines that announce an interpretation and the labelled system, as a success prints
// them, up to and including "Labelled system:".
Lines LabellingHead(const Lines& interpretation, bool quasi) {
  Lines out{"", "Apply labelling with the following interpretation in {0,1}:"};
  out.insert(out.end(), interpretation.begin(), interpretation.end());
  out.insert(out.end(),
             {"and label every symbol by the value of its argument.", "",
              quasi ? "This is a quasi-model for  1 > 0." : "This interpretation is a model.", "",
              "Labelled system:"});
  return out;
}

Lines Slice(const Lines& lines, std::size_t from, std::size_t count) {
  if (from + count > lines.size()) return {};
  return Lines(lines.begin() + from, lines.begin() + from + count);
}

TEST(ApplyInterpretation, IdentityConstantsAndFlip) {
  for (std::uint8_t v = 0; v <= 1; ++v) {
    EXPECT_EQ(ApplyInterpretation(0, v), v);
    EXPECT_EQ(ApplyInterpretation(1, v), 0);
    EXPECT_EQ(ApplyInterpretation(2, v), 1);
    EXPECT_EQ(ApplyInterpretation(3, v), 1 - v);
    EXPECT_EQ(ApplyInterpretation(200, v), 1 - v);  // any other code flips as well
  }
}

TEST(DrawInterpretation, OneDrawPerSymbolInOrderAndTheSequenceGoesOn) {
  auto st = MakeState();
  LoadPlain(*st, "abc -> cba\n");
  auto shadow = MakeState();
  st->randomState = shadow->randomState = 987654321u;

  InterpretationCodes codes{};
  bool sawFlip = false;
  st->quasiModel = 0;
  for (int round = 0; round < 50; ++round) {
    DrawInterpretation(*st, codes);
    for (int s = 1; s <= 3; ++s) {
      ASSERT_EQ(codes[s], RandomDraw(*shadow, 4));
      sawFlip = sawFlip || codes[s] == 3;
    }
  }
  EXPECT_TRUE(sawFlip) << "model mode draws from all four codes";
  st->quasiModel = 1;
  for (int round = 0; round < 50; ++round) {
    DrawInterpretation(*st, codes);
    for (int s = 1; s <= 3; ++s) {
      ASSERT_EQ(codes[s], RandomDraw(*shadow, 3));
      ASSERT_LT(codes[s], 3) << "a quasi-model never flips";
    }
  }
  EXPECT_EQ(st->randomState, shadow->randomState);
}

TEST(BuildLabelledSystem, ConstantOneBeforeIdentityIsAModelOfSwap) {
  // a constant 1, b identity: both sides are worth 1 for either open-end value.
  auto st = MakeState();
  LoadPlain(*st, "ab -> ba\n");
  st->quasiModel = 0;
  ASSERT_TRUE(BuildLabelledSystem(*st, Codes({2, 0})));
  ASSERT_EQ(st->working.ruleCount, 2);
  // v = 0: a0 b0 -> b1 a0; v = 1: a1 b1 -> b1 a1 (a1, b1 = 1, 2; a0, b0 = 3, 4).
  EXPECT_EQ(Row(st->working.lhs[1]), (Ints{3, 4}));
  EXPECT_EQ(Row(st->working.rhs[1]), (Ints{2, 3}));
  EXPECT_EQ(Row(st->working.lhs[2]), (Ints{1, 2}));
  EXPECT_EQ(Row(st->working.rhs[2]), (Ints{2, 1}));
  EXPECT_EQ(st->ruleOrigin[1], 1);
  EXPECT_EQ(st->ruleOrigin[2], 1);
  EXPECT_EQ(st->working.strict[1], 1);
  EXPECT_EQ(st->working.strict[2], 1);
}

TEST(InterpretationPasses, AgreesWithTheBuildForEveryInterpretation) {
  // The draw loop tests before it builds; both must accept exactly the same codes.
  for (const char* text : {"ab -> ba\n", "aab -> bba\nb -> e\n", "abc -> cab\n-> ca\nc ->= bb\n"}) {
    SCOPED_TRACE(text);
    auto st = MakeState();
    LoadPlain(*st, text);
    const int n = st->primary.symbolCount;
    for (std::uint8_t quasi = 0; quasi <= 1; ++quasi) {
      st->quasiModel = quasi;
      int passing = 0;
      for (int k = 0; k < (1 << (2 * n)); ++k) {
        InterpretationCodes c{};
        for (int s = 1; s <= n; ++s) c[s] = static_cast<std::uint8_t>((k >> (2 * (s - 1))) & 3);
        if (quasi == 1 && k != 0 && [&] {
              for (int s = 1; s <= n; ++s)
                if (c[s] == 3) return true;
              return false;
            }())
          continue;  // quasi-model mode never draws code 3
        const bool passes = InterpretationPasses(*st, c);
        EXPECT_EQ(passes, BuildLabelledSystem(*st, c)) << "codes " << k;
        passing += passes;
      }
      EXPECT_GT(passing, 0);  // at least all identities
    }
  }
}

TEST(DrawLabelledSystem, DrawsAndPassesAsTryingEachInterpretationInTurn) {
  // The loop tests only the symbols it needs and the last refusing rule first; the
  // interpretation it settles on, the generator's state and the labelled system must
  // be those of drawing every symbol and testing every rule, try after try.
  std::mt19937 random(4);
  const std::string letters = "abcdfgh";
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const int symbols = 1 + static_cast<int>(random() % letters.size());
    for (int k = 1 + static_cast<int>(random() % 6); k > 0; --k) {
      auto side = [&] {
        std::string w;
        for (int n = 1 + static_cast<int>(random() % 7); n > 0; --n)
          w += letters[random() % symbols];
        return w;
      };
      text += side() + (random() % 4 == 0 ? " ->= " : " -> ") + side() + "\n";
    }
    SCOPED_TRACE(text);
    auto fast = MakeState();
    auto slow = MakeState();
    LoadPlain(*fast, text);
    LoadPlain(*slow, text);
    const std::uint32_t seed = static_cast<std::uint32_t>(random());
    for (std::uint8_t quasi = 0; quasi <= 1; ++quasi) {
      fast->quasiModel = slow->quasiModel = quasi;
      fast->randomState = slow->randomState = seed;
      for (int attempt = 0; attempt < 3; ++attempt) {
        InterpretationCodes got{};
        ASSERT_TRUE(DrawLabelledSystem(*fast, got));
        InterpretationCodes want{};
        do {
          DrawInterpretation(*slow, want);
        } while (!BuildLabelledSystem(*slow, want));
        for (int s = 1; s <= fast->primary.symbolCount; ++s) ASSERT_EQ(got[s], want[s]);
        ASSERT_EQ(fast->randomState, slow->randomState);
        ASSERT_EQ(RuleTexts(fast->working), RuleTexts(slow->working));
      }
    }
  }
}

TEST(DrawLabelledSystem, LeavesTheGeneratorAfterTheFailedTriesWhenTimeRunsOut) {
  // A chain a -> b -> ... -> h is a model only when all seven codes agree: rare.
  auto st = MakeState();
  LoadPlain(*st, "a -> b\nb -> c\nc -> d\nd -> f\nf -> g\ng -> h\n");
  auto shadow = MakeState();
  LoadPlain(*shadow, "a -> b\nb -> c\nc -> d\nd -> f\nf -> g\ng -> h\n");
  st->randomState = shadow->randomState = 5;
  st->quasiModel = shadow->quasiModel = 0;
  st->clockCountdown = 3;  // the third look at the clock finds the stop request
  std::atomic<int> stop{1};
  st->stop = &stop;
  InterpretationCodes codes{};
  ASSERT_FALSE(DrawLabelledSystem(*st, codes));
  for (int tries = 0; tries < 2; ++tries) {  // two tries came before, and failed
    InterpretationCodes c{};
    DrawInterpretation(*shadow, c);
    ASSERT_FALSE(InterpretationPasses(*shadow, c));
  }
  EXPECT_EQ(st->randomState, shadow->randomState);
}

TEST(BuildLabelledSystem, EachSymbolCarriesTheValueOfItsArgument) {
  // a and c identity, b flips. For v = 0: c gets 0, b gets c(0) = 0, a gets b(c(0)) = 1.
  // For v = 1: c gets 1, b gets 1, a gets 0. The first rule fails the model test, and
  // the second is built all the same.
  auto st = MakeState();
  LoadPlain(*st, "abc -> c\nba ->= e\n");
  st->quasiModel = 0;
  EXPECT_FALSE(BuildLabelledSystem(*st, Codes({0, 3, 0})));
  ASSERT_EQ(st->working.ruleCount, 4);
  EXPECT_EQ(Row(st->working.lhs[1]), (Ints{1, 5, 6}));
  EXPECT_EQ(Row(st->working.rhs[1]), (Ints{6}));
  EXPECT_EQ(Row(st->working.lhs[2]), (Ints{4, 2, 3}));
  EXPECT_EQ(Row(st->working.rhs[2]), (Ints{3}));
  EXPECT_EQ(Row(st->working.lhs[3]), (Ints{5, 4}));  // b labelled a(0) = 0, a labelled 0
  EXPECT_EQ(Row(st->working.rhs[3]), (Ints{}));
  EXPECT_EQ(Row(st->working.lhs[4]), (Ints{2, 1}));
  EXPECT_EQ(Row(st->working.rhs[4]), (Ints{}));
  EXPECT_EQ((Ints{st->working.strict[1], st->working.strict[2], st->working.strict[3],
                  st->working.strict[4]}),
            (Ints{1, 1, 0, 0}));
  EXPECT_EQ((Ints{st->ruleOrigin[1], st->ruleOrigin[2], st->ruleOrigin[3], st->ruleOrigin[4]}),
            (Ints{1, 1, 2, 2}));
}

TEST(BuildLabelledSystem, AllIdentitiesGiveAZeroCopyThenAOneCopy) {
  auto st = MakeState();
  LoadPlain(*st, "ab -> bca\nc -> e\n");
  for (std::uint8_t quasi = 0; quasi <= 1; ++quasi) {
    st->quasiModel = quasi;
    ASSERT_TRUE(BuildLabelledSystem(*st, Codes({0, 0, 0})));
    EXPECT_EQ(Row(st->working.lhs[1]), (Ints{4, 5}));
    EXPECT_EQ(Row(st->working.rhs[1]), (Ints{5, 6, 4}));
    EXPECT_EQ(Row(st->working.lhs[2]), (Ints{1, 2}));
    EXPECT_EQ(Row(st->working.rhs[2]), (Ints{2, 3, 1}));
    EXPECT_EQ(Row(st->working.lhs[3]), (Ints{6}));
    EXPECT_EQ(Row(st->working.lhs[4]), (Ints{3}));
  }
}

TEST(BuildLabelledSystem, EmptySideAndQuasiModelRules) {
  // a -> e with a constant 1: for v = 0 the sides are worth 1 and 0, which a model
  // refuses and a quasi-model allows (1 > 0).
  auto st = MakeState();
  LoadPlain(*st, "a -> e\nb ->= b\n");
  st->quasiModel = 0;
  EXPECT_FALSE(BuildLabelledSystem(*st, Codes({2, 0})));
  EXPECT_EQ(st->working.ruleCount, 4) << "no weak rules for a model";

  st->quasiModel = 1;
  ASSERT_TRUE(BuildLabelledSystem(*st, Codes({2, 0})));
  ASSERT_EQ(st->working.ruleCount, 6);
  // After the labelled rules, one weak rule (s,1) ->= (s,0) per symbol, origin 0.
  EXPECT_EQ(Row(st->working.lhs[5]), (Ints{1}));
  EXPECT_EQ(Row(st->working.rhs[5]), (Ints{3}));
  EXPECT_EQ(Row(st->working.lhs[6]), (Ints{2}));
  EXPECT_EQ(Row(st->working.rhs[6]), (Ints{4}));
  EXPECT_EQ(st->working.strict[5], 0);
  EXPECT_EQ(st->working.strict[6], 0);
  EXPECT_EQ(st->ruleOrigin[5], 0);
  EXPECT_EQ(st->ruleOrigin[6], 0);

  // A quasi-model may not increase: b -> a with a constant 1 and b constant 0 does.
  LoadPlain(*st, "b -> a\n");
  EXPECT_FALSE(BuildLabelledSystem(*st, Codes({1, 2})));
  EXPECT_EQ(st->working.ruleCount, 2);
}

TEST(LabellingFits, RulesAndSymbolsWithinTheTables) {
  RuleSystem sys;
  sys.symbolCount = 50;
  sys.ruleCount = 475;  // 2N + S = 1000
  EXPECT_TRUE(LabellingFits(sys));
  sys.ruleCount = 476;
  EXPECT_FALSE(LabellingFits(sys));
  sys.ruleCount = 1;
  sys.symbolCount = 51;  // 102 labelled symbols
  EXPECT_FALSE(LabellingFits(sys));
}

TEST(SemanticLabelling, TooLargeASystemIsNotTried) {
  auto st = MakeState();
  LoadPlain(*st, "ab -> ba\n");
  for (int i = 2; i <= 500; ++i) {  // 2 * 500 + 2 > 1000
    st->primary.lhs[i] = st->primary.lhs[1];
    st->primary.rhs[i] = st->primary.rhs[1];
    st->primary.strict[i] = 1;
  }
  st->primary.ruleCount = 500;
  CopySystem(st->primary, st->working);
  st->attemptCount = 5;
  st->randomState = 4711;
  SemanticLabelling(*st);
  EXPECT_EQ(st->labellingProgress, 0);
  EXPECT_EQ(st->log.length, 0);
  EXPECT_EQ(st->randomState, 4711u);
  EXPECT_EQ(st->working.names[1], "a");
  EXPECT_EQ(st->working.ruleCount, 500);
}

TEST(SemanticLabelling, NoAttemptsLeaveTheSystemAndTheGeneratorAlone) {
  auto st = MakeState();
  LoadPlain(*st, "abc -> ca\nb ->= bba\n");
  const RuleSystem before = st->primary;
  st->attemptCount = 0;
  st->randomState = 99;
  SemanticLabelling(*st);
  EXPECT_EQ(st->labellingProgress, 0);
  EXPECT_EQ(st->log.length, 0);
  EXPECT_EQ(st->randomState, 99u);
  EXPECT_EQ(RuleTexts(st->primary), RuleTexts(before));
  EXPECT_EQ(st->labellingReversed, 1) << "the reversed system was tried too";
}

TEST(SemanticLabelling, ModelOfSwapIsLabelledAndProved) {
  // Seed 17 draws a: constant 1, b: identity, the model of the first try.
  auto st = MakeState();
  LoadPlain(*st, "ab -> ba\n");
  st->attemptCount = 1;
  st->randomState = 17;
  st->pathOrderText = 1;
  SemanticLabelling(*st);
  ASSERT_EQ(st->labellingProgress, 1);
  EXPECT_EQ(st->proved, 1);
  EXPECT_EQ(st->labellingReversed, 0);
  auto shadow = MakeState();
  shadow->randomState = 17;
  RandomDraw(*shadow, 4);
  RandomDraw(*shadow, 4);
  EXPECT_EQ(st->randomState, shadow->randomState) << "one try of two draws";

  const Lines lines = LogLines(*st);
  Lines head = LabellingHead({"  a: constant 1", "  b: identity"}, false);
  head.insert(head.end(), {"   a0  b0   -> b1  a0  ", "   a1  b1   -> b1  a1  ", ""});
  EXPECT_EQ(Slice(lines, 0, head.size()), head);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "Terminating since no rules remain.");
  EXPECT_EQ(RuleTexts(st->primary), (Lines{"a b  -> b a "})) << "primary as on entry";
}

TEST(SemanticLabelling, PathOrderLinesFollowTheLabelledSystemDirectly) {
  // The first draws are b, a: identity, c: 1 - x, a model; the polynomials remove
  // nothing from the labelled system and the path order proves it.
  auto st = MakeState();
  LoadPlain(*st, "bb -> aab\ncba -> bcb\n");
  st->attemptCount = 3;
  st->pathOrderText = 1;
  SemanticLabelling(*st);
  ASSERT_EQ(st->labellingProgress, 1);
  EXPECT_EQ(st->proved, 1);
  Lines expected = LabellingHead({"  b: identity", "  a: identity", "  c: lambda x.1-x"}, false);
  expected.insert(expected.end(),
                  {"   b0  b0   -> a0  a0  b0  ", "   b1  b1   -> a1  a1  b1  ",
                   "   c0  b0  a0   -> b1  c0  b0  ", "   c1  b1  a1   -> b0  c1  b1  ", "", "",
                   "Terminating by recursive path order with precedence:",
                   "  b0 >a0   b1 >a1   c0 >b1   c1 >b0 "});
  EXPECT_EQ(LogLines(*st), expected);
}

TEST(SemanticLabelling, SuccessOnTheReversalLeavesThePrimarySystemReversed) {
  auto st = MakeState();
  LoadPlain(*st, "baa -> ab\nbb -> bab\n");
  st->attemptCount = 3;
  st->pathOrderText = 1;
  SemanticLabelling(*st);
  ASSERT_EQ(st->labellingProgress, 1);
  EXPECT_EQ(st->proved, 1);
  EXPECT_EQ(st->labellingReversed, 1);
  const Lines lines = LogLines(*st);
  EXPECT_EQ(Slice(lines, 0, 4),
            (Lines{"", "Reverse every lhs and rhs of the system.", "",
                   "Apply labelling with the following interpretation in {0,1}:"}));
  EXPECT_EQ(RuleTexts(st->primary), (Lines{"a a b  -> b a ", "b b  -> b a b "}));
}

TEST(SemanticLabelling, NothingHappensOnceTheTimeIsUp) {
  auto st = MakeState();
  LoadPlain(*st, "ab -> bca\n");
  st->attemptCount = 100;
  st->randomState = 17;
  st->cancelled = true;  // the deadline has been seen to pass
  SemanticLabelling(*st);
  EXPECT_EQ(st->labellingProgress, 0);
  EXPECT_EQ(st->proved, 0);
  EXPECT_EQ(st->log.length, 0);
  EXPECT_EQ(st->randomState, 17u);
  EXPECT_EQ(RuleTexts(st->primary), (Lines{"a b  -> b c a "}));
}

TEST(LabellingAttempt, QuasiModelPrintsItsWeakRules) {
  // Seed 22 draws the quasi-model a: constant 1 at the first try.
  auto st = MakeState();
  LoadPlain(*st, "a -> e\n");
  NameLabelledSymbols(*st);
  st->quasiModel = 1;
  st->randomState = 22;
  st->pathOrderText = 1;
  LabellingAttempt(*st);
  ASSERT_EQ(st->labellingProgress, 1);
  EXPECT_EQ(st->proved, 1);
  const Lines lines = LogLines(*st);
  Lines head = LabellingHead({"  a: constant 1"}, true);
  head.insert(head.end(), {"   a0   -> e", "   a1   -> e", "   a1   ->= a0  ", ""});
  EXPECT_EQ(Slice(lines, 0, head.size()), head);
  EXPECT_EQ(lines.back(), "Terminating since no rules remain.");
}

TEST(LabellingAttempt, LosingEveryCopyOfARuleIsProgressWithRemLabels) {
  // b -> bb does not terminate, but both labelled copies of ab -> b are removed.
  auto st = MakeState();
  LoadPlain(*st, "ab -> b\nb -> bb\n");
  NameLabelledSymbols(*st);
  st->pathOrderText = 1;
  for (bool remLabels : {false, true}) {
    st->remLabels = remLabels;
    st->log.length = 0;
    st->proved = 0;
    st->labellingProgress = 0;
    st->quasiModel = 0;
    st->randomState = 0;  // the first draws of a fresh state are a, b: identity
    LabellingAttempt(*st);
    EXPECT_EQ(st->proved, 0);
    if (!remLabels) {
      EXPECT_EQ(st->labellingProgress, 0);
      EXPECT_EQ(st->log.length, 0);
      continue;
    }
    ASSERT_EQ(st->labellingProgress, 1);
    const Lines lines = LogLines(*st);
    Lines head = LabellingHead({"  a: identity", "  b: identity"}, false);
    head.insert(head.end(), {"   a0  b0   -> b0  ", "   a1  b1   -> b1  ", "   b0   -> b0  b0  ",
                             "   b1   -> b1  b1  ", ""});
    EXPECT_EQ(Slice(lines, 0, head.size()), head);
    // The replayed polynomial steps end with the labelled rules that remain; no
    // path-order proof follows.
    EXPECT_EQ(Slice(lines, lines.size() - 3, 3),
              (Lines{"Remaining rules:", "    b0   -> b0  b0  ", "    b1   -> b1  b1  "}));
    EXPECT_EQ(st->working.ruleCount, 2);
    EXPECT_EQ(st->ruleOrigin[1], 2);
    EXPECT_EQ(st->ruleOrigin[2], 2);
  }
}

}  // namespace
}  // namespace velkin
