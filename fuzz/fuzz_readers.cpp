// libFuzzer harness: arbitrary bytes through the four input readers.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  velkin::fuzz::FuzzReaders(data, size);
  return 0;
}
