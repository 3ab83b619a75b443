#!/usr/bin/env bash
# Cross-compiles the image engine, the layers beneath it and the engine's tests for arm64 (Debian's
# cross compiler and arm64 libraries; no codecs, editor or programs) and runs the tests under
# qemu-user, so that the NEON and SVE kernels are checked against the portable ones on every run. Called by
# scripts/test.sh after the release suite; builds in build/arm64.
#
# Highway picks a kernel's instruction set at run time, so the emulated processor decides what runs:
#   cortex-a72                        NEON only (a Raspberry Pi 4, most phones and Arm servers before
#                                     SVE): the whole suite renders with NEON.
#   max,sve-default-vector-length=32, SVE and SVE2 with 256-bit vectors (SVE_256, the tuned target of
#   =16 and =256                      such machines), 128-bit SVE2 (SVE2_128) and 2048-bit vectors,
#                                     the shortest and the longest SVE allows: the tests that compare
#                                     every instruction set the processor has against the portable
#                                     one, kernel by kernel. The rest of the suite checks the portable
#                                     kernels against their formulas under the first model (under
#                                     emulated SVE it took three minutes more, most of them in the
#                                     look table's million colours).
# The tests that compare instruction sets also run NEON and the portable fallback under each model.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/install-packages.sh
jobs=$(nproc)
build=build/arm64

sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
    $sudo_cmd dpkg --add-architecture arm64
    $sudo_cmd apt-get update -qq
fi
# The cross compiler with its C library (a recommendation of the compiler, which the install leaves
# out), and qemu-user for qemu-aarch64 alone (no binfmt registration is needed: it is called by name).
rux_install_packages g++-aarch64-linux-gnu libc6-dev-arm64-cross qemu-user
# The arm64 libraries the engine and its tests link, and the arm64 loader and C library they run
# with. --no-remove: an arm64 package must never take an installed host package away.
arm64_packages=(libhwy-dev:arm64 libgtest-dev:arm64 libc6:arm64 libstdc++6:arm64)
missing=()
for p in "${arm64_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends --no-remove \
        "${missing[@]}" >/dev/null
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/aarch64-linux-gnu.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DRUX_ENGINE_ONLY=ON -DRUX_BUILD_TESTS=ON -DRUX_UNITY_BUILD=ON "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$jobs"

run_tests() {
    local cpu=$1
    shift
    echo "-- arm64 tests under QEMU_CPU=$cpu"
    QEMU_CPU=$cpu ctest --test-dir "$build" -j "$jobs" --timeout 300 --output-on-failure "$@"
}
run_tests cortex-a72
# The instruction-set comparisons: their names all say InstructionSet.
run_tests max,sve-default-vector-length=32 -R InstructionSet
run_tests max,sve-default-vector-length=16 -R InstructionSet
run_tests max,sve-default-vector-length=256 -R InstructionSet
