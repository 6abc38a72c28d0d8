// libFuzzer's entry point for one harness; MORVANE_FUZZ_HARNESS names it (one executable each).
#include "fuzz/FuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return MORVANE_FUZZ_HARNESS(data, size);
}
