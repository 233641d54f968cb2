#include "ui/help_text.h"

#include <string>

#include "version/version.h"

namespace velkin {

const std::vector<const char*>& HelpLines() {
  static const std::string kHelpTitle = std::string(kProgramName) + " version " + kVersion;
  // Lines in single quotes inside the text name captions of the window. Several lines
  // end in a blank on purpose.
  static const std::vector<const char*> lines = {
      kHelpTitle.c_str(),
      "",
      "VELKIN looks for proofs of termination, and of relative termination, of string",
      "rewriting systems, and finds them fully automatically. Its proofs are built from",
      "polynomial interpretations, the recursive path order, semantic labelling,",
      "dependency pairs and match bounds. For systems that do not terminate it searches",
      "for a loop, using ancestor graphs.",
      "",
      "Below the text 'Input' you can type a string rewrite system. The symbols should",
      "be single symbols different from ' ', '-', '>', '=', 'e'. The symbol 'e' (empty) "
      "represents the ",
      "empty string. Every rule should be on a separate line. ",
      "For proving termination of R every rule of R should be of the shape lhs -> rhs.",
      "For proving relative termination of R/S every rule of R should be of the shape lhs -> rhs",
      "and every rule of S should be of the shape lhs ->= rhs. After these rules lines "
      "starting with ",
      "a blank symbol are ignored and can be used as comment lines.",
      "",
      "Systems kept in files of this directory whose names end in '.srs', written in the",
      "same format, are listed under 'load SRS:'; a click on a name loads that system.",
      "To keep the system you typed, enter a name under 'file name:' and click 'save SRS'.",
      "Clicking 'START' lets the program look for a proof. A proof that is found is shown",
      "in the middle of the window, and 'save result' stores it in a file whose name ends",
      "in '.res'.",
      "",
      "Finally by clicking on 'customize' some parameters can be reset. For normal use on",
      "systems of no more than 10 rules and 5 symbols this will not be necessary. Moreover, the",
      "standard format can be reset to tpdb format.",
      "",
      "The program is non-determistic: at some points a random search is done.",
      "",
      "",
      "        ********  Click here to reenter the program  ********",
  };
  return lines;
}

}  // namespace velkin
