// The proof text of small trees: numbering across subtrees, the consequence of each
// step, and the wording of a disproof.
#include "strong/print.h"

#include <gtest/gtest.h>

#include "strong/certificate.h"
#include "strong/techniques/pattern_rules.h"
#include "strong/techniques/reversal.h"
#include "strong/techniques/trivial.h"
#include "strong_test_util.h"

namespace velkin::strong {
namespace {

using test::Plain;

// A step into two subproblems, printed as one line.
class SplitWitness : public Witness {
 public:
  std::string Technique() const override { return "split"; }
  std::string Recheck(const Problem&, const std::vector<Problem>&) const override { return ""; }
  void Print(const Problem&, std::vector<std::string>& lines) const override {
    lines.push_back("(split in two)");
  }
};

ProofNode Leaf(Problem p, Result::Kind kind, std::shared_ptr<const Witness> w) {
  ProofNode n;
  n.problem = std::move(p);
  n.kind = kind;
  n.witness = std::move(w);
  return n;
}

ProofNode Step(Problem p, std::shared_ptr<const Witness> w, std::vector<ProofNode> children) {
  ProofNode n = Leaf(std::move(p), Result::Kind::Transformed, std::move(w));
  n.children = std::move(children);
  return n;
}

TEST(StrongPrint, SubproblemsAreNumberedAfterTheWholeSubtreeBeforeThem) {
  // 1 splits into 2 and 4; 2 is reversed into 3.
  const Problem root = Plain({"a->c", "c->=cc"});
  const Problem left = Plain({"ab->=b"});
  const Problem right = Plain({"c->=cc"});
  const auto none = ProveWithoutStrictRules(right, Budget()).witness;
  const ProofNode tree = Step(root, std::make_shared<SplitWitness>(),
                              {Step(left, std::make_shared<ReversalWitness>(),
                                    {Leaf(ReversedProblem(left), Result::Kind::Proved, none)}),
                               Leaf(right, Result::Kind::Proved, none)});
  ASSERT_EQ(TreeVerdict(tree), Verdict::Proved);
  const std::vector<std::string> expected{
      "Problem 1: termination of R relative to S, with",
      "  R: 1 strict rule",
      "    a -> c",
      "  S: 1 weak rule",
      "    c ->= c c",
      "Problem 1, by split:",
      "  (split in two)",
      "  Problem 1 terminates if problems 2 and 4 do.",
      "",
      "Problem 2: termination of R relative to S, with",
      "  R: 0 strict rules",
      "  S: 1 weak rule",
      "    a b ->= b",
      "Problem 2, by reversal:",
      "  Both sides of every rule are reversed; the problem terminates iff the",
      "  reversed one does, and a loop of either, read backwards, is a loop of the other.",
      "  Problem 2 terminates if problem 3 does.",
      "",
      "Problem 3: termination of R relative to S, with",
      "  R: 0 strict rules",
      "  S: 1 weak rule",
      "    b a ->= b",
      "Problem 3, by no strict rules:",
      "  No strict rules are left, so no derivation uses them infinitely often.",
      "  Problem 3 terminates.",
      "",
      "Problem 4: termination of R relative to S, with",
      "  R: 0 strict rules",
      "  S: 1 weak rule",
      "    c ->= c c",
      "Problem 4, by no strict rules:",
      "  No strict rules are left, so no derivation uses them infinitely often.",
      "  Problem 4 terminates.",
      "",
      "So problem 1 terminates.",
  };
  EXPECT_EQ(PrintProof(tree), expected);
}

TEST(StrongPrint, ADisproofSaysThatTheLoopCarriesBack) {
  const Problem p = Plain({"ab->bba"});
  const ProofNode tree =
      Step(p, std::make_shared<ReversalWitness>(),
           {Leaf(ReversedProblem(p), Result::Kind::Disproved, std::make_shared<LoopWitness>())});
  ASSERT_EQ(TreeVerdict(tree), Verdict::Disproved);
  const std::vector<std::string> lines = PrintProof(tree);
  EXPECT_EQ(lines[0], "Problem 1: termination of R, with");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "  A loop of problem 2 is a loop of problem 1."),
            lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "  Problem 2 does not terminate."), lines.end());
  EXPECT_EQ(lines.back(), "So problem 1 does not terminate.");

  // A disproof without a loop is no loop of the problem above it either.
  auto patterns = std::make_shared<PatternWitness>();
  patterns->steps.push_back(PatternStep{
      PatternRule{{0}, {}, {}, {0, 0}, {}, {}, true}, PatternInference::Rule, 0, -1, 0, {}, {}});
  const ProofNode growing = Step(p, std::make_shared<ReversalWitness>(),
                                 {Leaf(ReversedProblem(p), Result::Kind::Disproved, patterns)});
  const std::vector<std::string> other = PrintProof(growing);
  EXPECT_NE(std::find(other.begin(), other.end(),
                      "  An infinite derivation of problem 2 is one of problem 1."),
            other.end());
  EXPECT_EQ(std::find(other.begin(), other.end(), "  A loop of problem 2 is a loop of problem 1."),
            other.end());
  // An empty list prints as such, without a claim.
  PatternWitness empty;
  std::vector<std::string> none;
  empty.Print(p, none);
  EXPECT_EQ(none, std::vector<std::string>{"no pattern rule"});
}

// Complete() is the same truth as TreeVerdict, so that the certificate writer (which
// asks Complete) never takes a tree that the strategy and the printer call open.
TEST(StrongPrint, AnOpenLeafOrAMissingSubproblemLeavesTheTreeOpen) {
  const Problem p = Plain({"ab->ba"});
  ProofNode open;
  open.problem = p;
  EXPECT_EQ(TreeVerdict(open), Verdict::Open);
  EXPECT_FALSE(open.Complete());
  const ProofNode childless = Step(p, std::make_shared<ReversalWitness>(), {});
  EXPECT_EQ(TreeVerdict(childless), Verdict::Open);
  EXPECT_FALSE(childless.Complete());
  // A loop below a step with two subproblems proves nothing about the other one.
  const auto w = std::make_shared<SplitWitness>();
  for (const bool loopFirst : {true, false}) {
    std::vector<ProofNode> kids{Leaf(p, Result::Kind::Disproved, w),
                                Leaf(p, Result::Kind::Proved, w)};
    if (!loopFirst) std::swap(kids[0], kids[1]);
    const ProofNode mixed = Step(p, w, std::move(kids));
    EXPECT_EQ(TreeVerdict(mixed), Verdict::Open);
    EXPECT_FALSE(mixed.Complete());
    EXPECT_FALSE(cpf::Ok(cpf::FromProof(mixed, "velkin")));
  }
  // Both proved, or the loop as the only child: complete.
  const ProofNode proved =
      Step(p, w, {Leaf(p, Result::Kind::Proved, w), Leaf(p, Result::Kind::Proved, w)});
  EXPECT_EQ(TreeVerdict(proved), Verdict::Proved);
  EXPECT_TRUE(proved.Complete());
  const ProofNode looped = Step(p, w, {Leaf(p, Result::Kind::Disproved, w)});
  EXPECT_EQ(TreeVerdict(looped), Verdict::Disproved);
  EXPECT_TRUE(looped.Complete());
}

}  // namespace
}  // namespace velkin::strong
