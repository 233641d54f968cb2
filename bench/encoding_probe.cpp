// Prints the natural-matrix encoding's size (estimated and built clauses) for corpus
// files under each product plan: a development probe for the encoding, no benchmark
// library.  encoding_probe DIMENSION BITS FILE...
// PROBE_TRIANGULAR (set) takes triangular matrices, PROBE_RESULT_BITS the sides' width.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "model/parsed_system.h"
#include "model/readers.h"
#include "strong/techniques/arctic_removal.h"
#include "strong/techniques/matrix.h"

using namespace velkin;
using namespace velkin::strong;

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s DIMENSION BITS FILE...\n", argv[0]);
    return 2;
  }
  MatrixOptions o;
  o.dimension = std::atoi(argv[1]);
  o.bits = std::atoi(argv[2]);
  if (std::getenv("PROBE_TRIANGULAR")) o.kind = MatrixKind::Triangular;
  if (const char* rb = std::getenv("PROBE_RESULT_BITS")) o.resultBits = std::atoi(rb);
  for (int i = 3; i < argc; ++i) {
    std::ifstream in(argv[i]);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ParsedSystem parsed;
    if (!ReadUnbounded(lines, InputFormat::Plain, parsed).ok) {
      std::fprintf(stderr, "%s: unreadable\n", argv[i]);
      continue;
    }
    const Problem p = FromParsed(parsed);
    std::printf("%s", argv[i]);
    if (const char* secs = std::getenv("PROBE_ARCTIC")) {  // arctic rule removal instead
      ArcticRemovalOptions a;
      a.dimension = o.dimension;
      a.bits = o.bits;
      if (const char* rb = std::getenv("PROBE_RESULT_BITS")) a.resultBits = std::atoi(rb);
      const EncodingSize size = ArcticRemovalEncodingSize(p, a);
      const auto start = Clock::now();
      const Result r =
          ArcticRuleRemoval(p, Budget().Within(std::chrono::seconds(std::atoi(secs))), a);
      std::printf("\t%lld\t%lld\t%s %.1fs %s\n", static_cast<long long>(size.estimated),
                  static_cast<long long>(size.built),
                  r.kind == Result::Kind::Transformed ? "step" : "none",
                  std::chrono::duration<double>(Clock::now() - start).count(),
                  r.kind == Result::Kind::Transformed ? RecheckResult(p, r).c_str() : "");
      continue;
    }
    for (auto plan : {MatrixOptions::Products::Chain, MatrixOptions::Products::Shared}) {
      o.products = plan;
      const EncodingSize size = MatrixEncodingSize(p, o);
      std::printf("\t%lld\t%lld", static_cast<long long>(size.estimated),
                  static_cast<long long>(size.built));
    }
    if (const char* secs = std::getenv("PROBE_SOLVE")) {  // also solve, cheapest plan
      o.products = MatrixOptions::Products::Cheapest;
      const auto start = Clock::now();
      const Result r =
          MatrixInterpretation(p, Budget().Within(std::chrono::seconds(std::atoi(secs))), o);
      std::printf("\t%s %.1fs", r.kind == Result::Kind::Transformed ? "step" : "none",
                  std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::printf("\n");
  }
  return 0;
}
