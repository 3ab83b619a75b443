// The libFuzzer entry of one target; RUX_FUZZ_TARGET names its body in Targets.h.
#include "Targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return RUXFuzz::RUX_FUZZ_TARGET(data, size);
}
