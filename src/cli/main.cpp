// The `velkin` command, first cut: reads one problem file and prints the head of the
// proof text (header line, the rules, an empty line).
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "model/proof_log.h"
#include "model/readers.h"
#include "model/state.h"

namespace {

int Usage() {
  std::cerr << "usage: velkin [--tpdb] FILE\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool tpdb = false;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--tpdb") == 0) {
      tpdb = true;
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::cout << "usage: velkin [--tpdb] FILE\n"
                   "Reads a string rewriting system (plain format, or tpdb with --tpdb)\n"
                   "and prints the head of its proof text.\n";
      return 0;
    } else if (path == nullptr) {
      path = argv[i];
    } else {
      return Usage();
    }
  }
  if (path == nullptr) return Usage();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << "velkin: " << path << ": cannot open the file\n";
    return 2;
  }
  std::stringstream buf;
  buf << in.rdbuf();
  const std::vector<std::string> lines = velkin::SplitLines(buf.str());
  auto st = velkin::MakeState();
  const velkin::InputLines input(lines);
  const velkin::ReadResult r =
      tpdb ? velkin::ParseTpdbInput(*st, input) : velkin::ParsePlainInput(*st, input);
  if (!r.ok) {
    std::cerr << "velkin: " << path;
    if (r.error.line > 0) std::cerr << ":" << r.error.line;
    std::cerr << ": " << r.error.message << "\n";
    return 2;
  }
  st->log.length = 0;
  velkin::AppendLogLine(*st, "VELKIN 1.3 is applied to the string rewriting system");
  velkin::CopyPrimaryToWorking(*st);
  for (int i = 1; i <= st->working.ruleCount; ++i)
    velkin::AppendLogLine(*st, velkin::FormatRule(*st, i));
  velkin::AppendLogLine(*st, "");
  for (const std::string& line : st->log.Shown()) std::cout << line << "\n";
  return 0;
}
