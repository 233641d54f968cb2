// A problem of the shared corpus (VELKIN_CORPUS_DIR), read in plain form: what the
// strong engine's benchmarks run on.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "model/parsed_system.h"
#include "model/readers.h"
#include "strong/problem.h"

namespace velkin::strong {

// The problem in the file at `path` below the corpus folder.
inline Problem CorpusProblem(const std::string& path) {
  std::ifstream in(std::string(VELKIN_CORPUS_DIR) + "/" + path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ParsedSystem parsed;
  ReadUnbounded(lines, InputFormat::Plain, parsed);
  return FromParsed(parsed);
}

}  // namespace velkin::strong
