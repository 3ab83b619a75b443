// Linked into every benchmark program that renders: RUX_SIMD=avx512|avx2|sse4|scalar limits the
// engine's instruction set, as it does in our hosts, and the header of every run names the set the
// kernels ran with, so that no figure is read without it.
#include <Common/InstructionSetSetting.h>
#include <benchmark/benchmark.h>

namespace {

const bool kInstructionSetReported = [] {
    benchmark::AddCustomContext("instruction_set", HostSettings::applyInstructionSetSetting("benchmark"));
    return true;
}();

} // namespace
