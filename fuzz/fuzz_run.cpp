// libFuzzer harness: arbitrary bytes through the whole run, with small attempt counts
// and a time limit of one second.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  velkin::fuzz::FuzzRun(data, size, 1.0);
  return 0;
}
