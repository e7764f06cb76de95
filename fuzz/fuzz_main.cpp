// One libFuzzer program per target; KALDRO_FUZZ_TARGET names it.
#include <cstdio>
#include <cstdlib>

#include "targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const kaldro::fuzz::Target target = kaldro::fuzz::targetNamed(KALDRO_FUZZ_TARGET);
  if (!target) {
    std::fprintf(stderr, "no fuzz target named %s\n", KALDRO_FUZZ_TARGET);
    std::abort();
  }
  target(std::span<const uint8_t>(data, size));
  return 0;
}
