// libFuzzer's entry for one target; QUORVANE_FUZZ_FUNCTION names it.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return quorvane_fuzz::QUORVANE_FUZZ_FUNCTION(data, size);
}
