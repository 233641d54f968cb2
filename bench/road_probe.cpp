// Runs one road of the strong strategy alone on one thread and logs every step it
// tries: the problem's size (pairs, rules), the step, milliseconds and the outcome.
// For finding where a road spends its time (a development probe).
//
//   velkin_road_probe SECONDS ROAD FILE...     ROAD: a name from StrongRoads()
// With PROOF set in the environment, the proof text follows each answer.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "model/parsed_system.h"
#include "strong/strategy.h"

using namespace velkin;
using namespace velkin::strong;

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: velkin_road_probe SECONDS ROAD FILE...\n");
    return 2;
  }
  const double seconds = std::stod(argv[1]);
  const std::string name = argv[2];
  std::vector<Road> roads;
  for (Road& r : StrongRoads())
    if (r.name == name) roads.push_back(std::move(r));
  if (roads.empty()) {
    std::fprintf(stderr, "no road named %s\n", name.c_str());
    return 2;
  }
  std::mutex out;
  for (RoadStep& step : roads[0].steps) {
    TechniqueFn inner = step.run;
    step.run = [inner, &out, label = step.name](const Problem& p, const Budget& b) {
      const auto t0 = Clock::now();
      Result r = inner(p, b);
      const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
      static const char* kinds[] = {"nothing", "proved", "disproved", "step"};
      if (ms >= 1 || r.kind != Result::Kind::Nothing) {
        const std::lock_guard<std::mutex> lock(out);
        std::printf("  %zu/%zu %-32s %8.0f ms  %s %s\n", p.strict.size(), p.weak.size(),
                    label.c_str(), ms, kinds[static_cast<int>(r.kind)], r.note.c_str());
        if (r.kind == Result::Kind::Transformed)
          for (const Problem& q : r.subproblems)
            std::printf("      -> %zu pairs\n", q.strict.size());
      }
      return r;
    };
  }
  for (int i = 3; i < argc; ++i) {
    std::ifstream in(argv[i]);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ParsedSystem parsed;
    if (!ReadUnbounded(lines, InputFormat::Plain, parsed).ok) {
      std::printf("%s\tunreadable\n", argv[i]);
      continue;
    }
    std::printf("%s\n", argv[i]);
    StrongOptions o;
    o.timeoutSeconds = seconds;
    o.jobs = 1;
    const auto t0 = Clock::now();
    const StrongResult r = RunRoads(FromParsed(parsed), roads, o);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    std::printf("%s\t%s\t%.0f ms\n", argv[i],
                r.status == StrongStatus::Terminating ? "YES"
                : r.status == StrongStatus::LoopFound ? "NO"
                                                      : "none",
                ms);
    if (std::getenv("PROOF"))
      for (const std::string& line : r.lines) std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  }
}
