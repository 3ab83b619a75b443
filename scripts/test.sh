#!/usr/bin/env bash
# Builds everything and runs every test: the README's test command, and what CI runs.
# RUX_SANITIZERS=1 also builds and runs the whole suite under AddressSanitizer with
# UndefinedBehaviorSanitizer (preset asan) and under ThreadSanitizer (preset tsan).
# Each stage prints how long it took.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)

stage() {
    local started=$SECONDS
    "$@"
    echo "-- $* took $((SECONDS - started)) s"
}

# gcc's ThreadSanitizer (Debian 12) maps its shadow memory at fixed addresses, which newer kernels
# with more address-space randomisation (vm.mmap_rnd_bits above 28) can collide with, so that every
# test dies at start ("unexpected memory mapping"). Probe once; if a trivial program fails, run the
# suite without randomisation (setarch -R, inherited by every test process), and failing that
# lower the randomisation (needs root).
tsan_runner=()
prepare_tsan() {
    local probe
    probe=$(mktemp -d)
    printf '#include <thread>\nint main() { int x = 0; std::thread t([&] { x = 1; }); t.join(); return x - 1; }\n' \
        >"$probe/probe.cpp"
    g++ -std=c++20 -fsanitize=thread -pthread "$probe/probe.cpp" -o "$probe/probe"
    if "$probe/probe" >/dev/null 2>&1; then
        :
    elif setarch "$(uname -m)" -R "$probe/probe" >/dev/null 2>&1; then
        echo "ThreadSanitizer needs address randomisation off here: running the suite under setarch -R"
        tsan_runner=(setarch "$(uname -m)" -R)
    elif [ "$(id -u)" -eq 0 ] && sysctl -w vm.mmap_rnd_bits=28 >/dev/null 2>&1 && "$probe/probe" >/dev/null 2>&1; then
        echo "ThreadSanitizer needs vm.mmap_rnd_bits=28 here: set"
    else
        echo "ThreadSanitizer cannot run on this kernel (see vm.mmap_rnd_bits)" >&2
        rm -rf "$probe"
        return 1
    fi
    rm -rf "$probe"
}

run_preset() {
    local preset=$1 timeout=$2
    # Say every option, since the main job may have configured the same build directory.
    cmake --preset "$preset" -DRUX_BUILD_TESTS=ON >/dev/null
    stage cmake --build --preset "$preset" -j "$jobs"
    case "$preset" in
    asan)
        stage env ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1" \
            UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
            ctest --preset "$preset" -j "$jobs" --timeout "$timeout"
        ;;
    tsan)
        # ThreadSanitizer only has to see the tests that run more than one thread; two slow ones do
        # not. The 20000 x 20000 photo is a test of limits, not of threads: its 1.6 GB bitmap costs
        # several times that in shadow memory and minutes of CPU, while the threaded code it runs
        # is covered by the other tests at small sizes. The PNG ancillary-chunk test decodes
        # thousands of chunks on the test's own thread (about 10 s under ThreadSanitizer). Both run
        # in the release and the ASan + UBSan suites.
        prepare_tsan
        stage env TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
            "${tsan_runner[@]}" ctest --preset "$preset" -j "$jobs" --timeout "$timeout" \
            -E '^(PixelLimit\.|DecoderHardening\.AncillaryPngChunksAreBounded$)'
        ;;
    *)
        stage ctest --preset "$preset" -j "$jobs" --timeout "$timeout"
        ;;
    esac
}

run_preset release 600
if [ "${RUX_SANITIZERS:-0}" = 1 ]; then
    run_preset asan 900
    run_preset tsan 900
fi
