// Runs one loop search alone on plain-format files, forward then on the reversed rules,
// each within a time limit, and prints one line per file and direction: path,
// direction, "loop" or "none", milliseconds, the loop's |u| and steps, the note.
// SEARCH picks the search: closures (the default), derivations, cycles or bounded. OVERLAPS,
// START_WEIGHT and MEMORY_MB (a limit that does not depend on the load) set its options.
//
//   velkin_loop_probe SECONDS FILE...
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "model/parsed_system.h"
#include "strong/loop.h"
#include "strong/techniques/bounded_derivations.h"
#include "strong/techniques/closures.h"
#include "strong/techniques/cycle_loops.h"
#include "strong/techniques/derivation_loops.h"

using namespace velkin;
using namespace velkin::strong;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: velkin_loop_probe SECONDS FILE...\n");
    return 2;
  }
  const double seconds = std::stod(argv[1]);
  for (int i = 2; i < argc; ++i) {
    std::ifstream in(argv[i]);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ParsedSystem parsed;
    const ReadResult read = ReadUnbounded(lines, InputFormat::Plain, parsed);
    if (!read.ok) {
      std::printf("%s\tunreadable\n", argv[i]);
      continue;
    }
    const Problem p = FromParsed(parsed);
    for (const bool reversed : {false, true}) {
      ClosureOptions o;
      o.reversed = reversed;
      if (const char* v = std::getenv("OVERLAPS")) o.overlaps = std::stoul(v);
      if (const char* v = std::getenv("MEMORY_MB")) o.memoryBytes = std::stoul(v) << 20;
      if (const char* v = std::getenv("START_WEIGHT")) o.startWeight = std::stoul(v);
      const std::string search = std::getenv("SEARCH") ? std::getenv("SEARCH") : "closures";
      const Budget budget = Budget().WithinSeconds(seconds);
      const auto t0 = Clock::now();
      Result r;
      if (search == "cycles") {
        CycleLoopOptions c;
        if (const char* v = std::getenv("MEMORY_MB")) c.memoryBytes = std::stoul(v) << 20;
        r = reversed ? Result::None("the same search") : FindLoopByCycles(p, budget, c);
      } else if (search == "bounded") {
        BoundedDerivationOptions b;
        if (const char* v = std::getenv("MEMORY_MB")) b.memoryBytes = std::stoul(v) << 20;
        r = reversed ? Result::None("the same search") : FindLoopByBoundedDerivations(p, budget, b);
      } else if (search == "derivations") {
        DerivationLoopOptions d;
        d.reversed = reversed;
        if (const char* v = std::getenv("MEMORY_MB")) d.memoryBytes = std::stoul(v) << 20;
        r = FindLoopByDerivation(p, budget, d);
      } else {
        r = FindLoopByClosures(p, budget, o);
      }
      const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
      std::string what = "none", size;
      if (r.kind == Result::Kind::Disproved) {
        const std::string bad = RecheckResult(p, r);
        what = bad.empty() ? "loop" : "BAD(" + bad + ")";
        const auto& w = static_cast<const LoopWitness&>(*r.witness);
        size = std::to_string(w.start.size()) + "/" + std::to_string(w.steps.size());
      }
      std::printf("%s\t%s\t%s\t%.0f\t%s\t%s\n", argv[i], reversed ? "rev" : "fwd", what.c_str(), ms,
                  size.c_str(), r.note.c_str());
      std::fflush(stdout);
      if (r.kind == Result::Kind::Disproved) break;
    }
  }
}
