#include "Pipeline/Simd.h"

#include <Foundation/Log.h>
#include <ImageEngine/InstructionSet.h>
#include <algorithm>
#include <cctype>
#include <hwy/highway.h>
#include <string>

namespace ImageEngine {

namespace {

// The vector library's bit of the widest target a limit allows; its better targets have lower bits.
// 0 where the limit does not apply to this architecture.
std::int64_t widestAllowed(InstructionSet limit) {
    switch (limit) {
    case InstructionSet::Best:
        return 1;
#if HWY_ARCH_X86
    case InstructionSet::Avx512:
        return 1;
    case InstructionSet::Avx2:
        return HWY_AVX2;
    case InstructionSet::Sse4:
        return HWY_SSE4;
#else
    case InstructionSet::Avx512:
    case InstructionSet::Avx2:
    case InstructionSet::Sse4:
        return 0;
#endif
    case InstructionSet::Scalar:
        return HWY_EMU128;
    }
    return 0;
}

} // namespace

bool limitInstructionSet(InstructionSet limit) {
    const std::int64_t widest = widestAllowed(limit);
    if (widest == 0) {
        Foundation::log("ImageEngine: instruction set limit %d does not apply to this processor", int(limit));
        return false;
    }
    // The processor's own targets, then the mask over them. The vector library's mock of the
    // supported targets is the one switch it keeps through later queries of what is supported
    // (switching targets off outright is undone by the next such query).
    hwy::SetSupportedTargetsForTest(0);
    if (limit == InstructionSet::Best)
        return true;
    const std::int64_t supported = hwy::SupportedTargets();
    std::int64_t allowed = supported & ~(widest - 1);
    // A limit below everything the build has runs the narrowest set there is.
    if (allowed == 0)
        allowed = std::int64_t{1} << (63 - __builtin_clzll(static_cast<unsigned long long>(supported)));
    hwy::SetSupportedTargetsForTest(allowed);
    return true;
}

const char* instructionSetName() {
    return Simd::targetName();
}

std::optional<InstructionSet> instructionSetNamed(std::string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "best")
        return InstructionSet::Best;
    if (lower == "avx512")
        return InstructionSet::Avx512;
    if (lower == "avx2")
        return InstructionSet::Avx2;
    if (lower == "sse4")
        return InstructionSet::Sse4;
    if (lower == "scalar")
        return InstructionSet::Scalar;
    return std::nullopt;
}

} // namespace ImageEngine
