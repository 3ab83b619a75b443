#pragma once

#include <Foundation/Export.h>
#include <optional>
#include <string_view>

namespace ImageEngine {

// The widest instruction set the engine's kernels may use. The engine picks the widest one the
// processor offers; a lower limit shows on a fast machine what a slower one does. The pixels differ
// between instruction sets by at most what the engine's tests allow (a level of an 8-bit channel for
// the per-pixel kernels; the integer convolution is exact on every one).
enum class InstructionSet {
    Best,   // no limit
    Avx512, // x86 with AVX-512 (with or without the newer extensions)
    Avx2,   // x86 with AVX2 and FMA
    Sse4,   // x86 with SSE4.2
    Scalar, // the portable fallback: one lane's worth of work at a time
};

// Limits the kernels to `limit` or narrower from their next call on: the widest set the processor has
// within the limit is used, and Best lifts the limit. A host calls it once at start-up, before
// rendering; a render already running may finish some tiles with the earlier set. Answers false,
// changing nothing, for a limit this processor's architecture does not have (the x86 sets elsewhere).
// The library itself reads no setting: hosts decide. Any thread.
RUX_API bool limitInstructionSet(InstructionSet limit);

// The instruction set the kernels run with now, as the vector library names it: "AVX3_DL" or "AVX3"
// (AVX-512), "AVX2", "SSE4", "SSSE3"; on arm64 "NEON", "SVE", "SVE2", "SVE_256" (SVE with 256-bit vectors)
// or "SVE2_128"; or "EMU128" or "SCALAR" for the portable fallbacks.
// Never fails; the text is static. Any thread.
RUX_API const char* instructionSetName();

// The limit a host's setting names: "avx512", "avx2", "sse4", "scalar" or "best", in any case.
// std::nullopt for any other text. Any thread.
RUX_API std::optional<InstructionSet> instructionSetNamed(std::string_view name);

} // namespace ImageEngine
