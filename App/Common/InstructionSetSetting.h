#pragma once

// RUX_SIMD=avx512|avx2|sse4|scalar limits the engine's instruction set in our own programs (the hosts
// and the benchmarks), so that a fast machine can show how a slower one does. The engine reads no
// setting itself; each program makes the call.

#include <ImageEngine/InstructionSet.h>
#include <cstdio>
#include <cstdlib>

namespace HostSettings {

// Applies RUX_SIMD when it is set. An unknown value leaves the engine's own choice and says so on
// standard error, naming the program. Answers the instruction set the kernels run with.
inline const char* applyInstructionSetSetting(const char* program) {
    const char* value = std::getenv("RUX_SIMD");
    if (value && *value) {
        if (auto limit = ImageEngine::instructionSetNamed(value)) {
            ImageEngine::limitInstructionSet(*limit);
        } else {
            std::fprintf(stderr, "%s: RUX_SIMD=%s is none of avx512, avx2, sse4, scalar; ignored\n", program,
                         value);
        }
    }
    return ImageEngine::instructionSetName();
}

} // namespace HostSettings
