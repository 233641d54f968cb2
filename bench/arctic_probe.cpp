// Arctic reduction pairs alone on the first component of the dependency graph of each
// file: one line per dimension with milliseconds and the outcome (a development probe).
//
//   velkin_arctic_probe SECONDS DIMENSIONS FILE...    DIMENSIONS: e.g. 2345
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "model/parsed_system.h"
#include "strong/techniques/arctic.h"
#include "strong/techniques/dependency_graph.h"
#include "strong/techniques/dependency_pairs.h"

using namespace velkin;
using namespace velkin::strong;

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: velkin_arctic_probe SECONDS DIMENSIONS FILE...\n");
    return 2;
  }
  const double seconds = std::stod(argv[1]);
  for (int i = 3; i < argc; ++i) {
    std::ifstream in(argv[i]);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ParsedSystem parsed;
    if (!ReadUnbounded(lines, InputFormat::Plain, parsed).ok) continue;
    const Result dp = DependencyPairs(FromParsed(parsed));
    if (dp.kind != Result::Kind::Transformed) continue;
    Problem p = dp.subproblems[0];
    const Result g = DependencyGraph(p, Budget());
    if (g.kind == Result::Kind::Proved) continue;
    if (g.kind == Result::Kind::Transformed) p = g.subproblems[0];
    for (const char* d = argv[2]; *d; ++d) {
      ArcticOptions o;
      o.dimension = *d - '0';
      o.improveSeconds = 0;
      o.unary = std::getenv("BINARY") == nullptr;
      const auto t0 = Clock::now();
      const Result r = ArcticInterpretation(
          p,
          Budget().Within(
              std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds))),
          o);
      const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
      std::printf("%s\t%zu pairs\td=%d\t%.0f ms\t%s\n", argv[i], p.strict.size(), o.dimension, ms,
                  r.kind == Result::Kind::Transformed ? "step" : "none");
      std::fflush(stdout);
    }
  }
}
