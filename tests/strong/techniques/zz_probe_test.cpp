#include <gtest/gtest.h>
#include <iostream>
#include "strong/techniques/matrix.h"
#include "model/parsed_system.h"
namespace velkin::strong {
TEST(Probe, Time) {
  for (double secs : {0.0001, 0.3, 1.0, 3.0}) {
    ParsedSystem parsed; ReadUnbounded({"abc->cabcab", "cba->bcbaa", "bac->abacc", "acb->cacbb", "cc->acca", "bb->cbbc"}, InputFormat::Plain, parsed);
    Problem p = FromParsed(parsed);
    MatrixOptions o; o.dimension = 4; o.bits = 4;
    auto t = Clock::now();
    Result r = MatrixInterpretation(p, Budget().Within(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(secs))), o);
    std::cout << secs << ": " << int(r.kind) << " " << std::chrono::duration<double>(Clock::now() - t).count() << " " << r.note << "\n";
  }
}
}
