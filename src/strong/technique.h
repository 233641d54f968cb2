// What every technique of the strong engine takes and returns, and the proof tree that
// the strategy builds from the results.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "strong/budget.h"
#include "strong/cpf.h"
#include "strong/problem.h"

namespace velkin::strong {

// A step's evidence: printed in full in the proof and re-checked, by code separate from
// the search, before the step is accepted. Each technique defines its own.
class Witness {
 public:
  virtual ~Witness() = default;
  // The technique's name as the proof prints it ("matrix interpretation", ...).
  virtual std::string Technique() const = 0;
  // Checks with exact arithmetic that this witness justifies going from `before` to
  // `after` (no subproblem for a leaf). Returns "" when it does, else what is wrong.
  virtual std::string Recheck(const Problem& before, const std::vector<Problem>& after) const = 0;
  // Appends the witness in full to `lines`, one line each, without line ends.
  virtual void Print(const Problem& before, std::vector<std::string>& lines) const = 0;
  // The step as the certifier reads it (strong/cpf.h), written around `subproofs`, the
  // certificates of `after` in order (none for a leaf). The default says that the step
  // has no certifiable form; a proof with such a step gets no certificate.
  virtual cpf::Written Certify(const Problem& before, const std::vector<Problem>& after,
                               const std::vector<cpf::Fragment>& subproofs) const;
};

// The witness of a step that leaves exactly one subproblem (a transformation or a
// removal): the count is checked here, the step's own conditions by RecheckStep, and
// its certificate is written around the one subproof by CertifyStep.
class OneStepWitness : public Witness {
 public:
  // "" when `after` is one problem and RecheckStep holds for it.
  std::string Recheck(const Problem& before, const std::vector<Problem>& after) const final;
  // CertifyStep's certificate; refused unless there is one subproblem and one subproof.
  cpf::Written Certify(const Problem& before, const std::vector<Problem>& after,
                       const std::vector<cpf::Fragment>& subproofs) const final;

 protected:
  // Checks with exact arithmetic that this witness justifies going from `before` to
  // `after`: "" when it does, else what is wrong.
  virtual std::string RecheckStep(const Problem& before, const Problem& after) const = 0;
  // The step around `sub`, the certificate of `after`.
  virtual cpf::Written CertifyStep(const Problem& before, const Problem& after,
                                   const cpf::Fragment& sub) const = 0;
};

// What a technique returns for one problem.
struct Result {
  enum class Kind {
    Nothing,      // no step found within the budget (`note` may say why)
    Proved,       // the problem is solved; `witness` says why
    Disproved,    // the problem does not terminate; `witness` holds the loop
    Transformed,  // solved when every subproblem is; `witness` justifies the step
  };
  Kind kind = Kind::Nothing;
  std::shared_ptr<const Witness> witness;
  std::vector<Problem> subproblems;  // Transformed only
  std::string note;                  // Nothing only: a reason worth reporting, or ""

  static Result None(std::string note = {});
  static Result Proof(std::shared_ptr<const Witness> w);
  static Result Loop(std::shared_ptr<const Witness> w);
  static Result Step(std::shared_ptr<const Witness> w, std::vector<Problem> subproblems);
};

// Re-checks a result for `problem`: "" when it is Nothing or its witness holds.
std::string RecheckResult(const Problem& problem, const Result& result);

// A finished proof (or disproof) of one problem: the step taken and, for a
// transformation, the proofs of all subproblems.
struct ProofNode {
  Problem problem;
  Result::Kind kind = Result::Kind::Nothing;  // Nothing: left open
  std::shared_ptr<const Witness> witness;
  std::vector<ProofNode> children;  // one per subproblem of a Transformed step

  // True when the tree proves or disproves its problem: TreeVerdict is not Open.
  bool Complete() const;
};

enum class Verdict { Proved, Disproved, Open };

// What `node` shows for its problem: Proved when every leaf below it is a proof (and
// every step has its subproblems); Disproved when a loop leaf is reached through steps
// that all keep loops (the strategy puts a loop below a step only then, and leaves it
// as that step's only child); Open otherwise: an open leaf, or a loop beside other
// subproblems, which proves nothing about the step's problem.
Verdict TreeVerdict(const ProofNode& node);

}  // namespace velkin::strong
