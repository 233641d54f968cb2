#include "strong/print.h"

#include "strong/loop.h"

namespace velkin::strong {

namespace {

std::string Count(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

void PrintRules(const Alphabet& a, const std::string& title, const std::vector<Rule>& rules,
                bool weak, std::vector<std::string>& lines) {
  lines.push_back("  " + title);
  for (const Rule& r : rules) lines.push_back("    " + RuleText(a, r, weak));
}

// "problem 2", "problems 2 and 3", "problems 2, 3 and 4".
std::string ProblemList(const std::vector<int>& numbers) {
  std::string s = numbers.size() == 1 ? "problem " : "problems ";
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) s += i + 1 == numbers.size() ? " and " : ", ";
    s += std::to_string(numbers[i]);
  }
  return s;
}

class Printer {
 public:
  explicit Printer(std::vector<std::string>& lines) : lines_(lines) {}

  // Prints `node` as problem `number` and its subtrees after it; returns the next
  // free number.
  int Print(const ProofNode& node, int number) {
    if (number > 1) lines_.push_back("");
    PrintProblem(node.problem, number, lines_);
    const std::string self = "Problem " + std::to_string(number);
    const char* holds = node.problem.IsDependencyPairs() ? " is finite" : " terminates";
    if (node.kind == Result::Kind::Nothing || !node.witness) {
      lines_.push_back(self + " is left open.");
      return number + 1;
    }
    lines_.push_back(self + ", by " + node.witness->Technique() + ":");
    std::vector<std::string> witness;
    node.witness->Print(node.problem, witness);
    for (const std::string& w : witness) lines_.push_back("  " + w);
    if (node.kind == Result::Kind::Proved) {
      lines_.push_back("  " + self + holds + ".");
      return number + 1;
    }
    if (node.kind == Result::Kind::Disproved) {
      lines_.push_back(
          "  " + self +
          (node.problem.IsDependencyPairs() ? " is not finite." : " does not terminate."));
      return number + 1;
    }
    // The children's numbers follow from the sizes of the subtrees before them.
    std::vector<int> numbers;
    int next = number + 1;
    for (const ProofNode& c : node.children) {
      numbers.push_back(next);
      next += Size(c);
    }
    if (TreeVerdict(node) == Verdict::Disproved)
      lines_.push_back(EndsInLoop(node)
                           ? "  A loop of " + ProblemList(numbers) + " is a loop of problem " +
                                 std::to_string(number) + "."
                           : "  An infinite derivation of " + ProblemList(numbers) +
                                 " is one of problem " + std::to_string(number) + ".");
    else
      lines_.push_back("  " + self + holds + " if " + ProblemList(numbers) +
                       (node.children[0].problem.IsDependencyPairs()
                            ? (numbers.size() == 1 ? " is finite." : " are finite.")
                            : (numbers.size() == 1 ? " does." : " do.")));
    next = number + 1;
    for (const ProofNode& c : node.children) next = Print(c, next);
    return next;
  }

 private:
  // True when the disproof below `n` (through its only children) is a loop.
  static bool EndsInLoop(const ProofNode& n) {
    if (n.children.empty()) return dynamic_cast<const LoopWitness*>(n.witness.get()) != nullptr;
    return EndsInLoop(n.children[0]);
  }

  static int Size(const ProofNode& n) {
    int s = 1;
    for (const ProofNode& c : n.children) s += Size(c);
    return s;
  }

  std::vector<std::string>& lines_;
};

}  // namespace

void PrintProblem(const Problem& p, int number, std::vector<std::string>& lines) {
  const std::string head = "Problem " + std::to_string(number) + ": ";
  const Alphabet& a = p.alphabet;
  if (p.IsDependencyPairs()) {
    lines.push_back(head + "finiteness of the dependency pair problem (P, R), with");
    PrintRules(a, "P: " + Count(p.strict.size(), "pair", "pairs"), p.strict, false, lines);
    PrintRules(a, "R: " + Count(p.weak.size(), "rule", "rules"), p.weak, false, lines);
    return;
  }
  lines.push_back(
      head + (p.weak.empty() ? "termination of R, with" : "termination of R relative to S, with"));
  PrintRules(a, "R: " + Count(p.strict.size(), "strict rule", "strict rules"), p.strict, false,
             lines);
  if (!p.weak.empty())
    PrintRules(a, "S: " + Count(p.weak.size(), "weak rule", "weak rules"), p.weak, true, lines);
}

std::vector<std::string> PrintProof(const ProofNode& root) {
  std::vector<std::string> lines;
  Printer(lines).Print(root, 1);
  lines.push_back("");
  switch (TreeVerdict(root)) {
    case Verdict::Proved:
      lines.push_back(root.problem.IsDependencyPairs() ? "So problem 1 is finite."
                                                       : "So problem 1 terminates.");
      break;
    case Verdict::Disproved:
      lines.push_back("So problem 1 does not terminate.");
      break;
    case Verdict::Open:
      lines.push_back("Problem 1 is not solved.");
      break;
  }
  return lines;
}

}  // namespace velkin::strong
