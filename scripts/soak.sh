#!/usr/bin/env bash
# The soak run: rux-soak plays thousands of random touches over every screen of the editor on the
# headless host, with renders still running when the next touch arrives, and checks the edit list
# and the history after every touch event. First a shorter run under ThreadSanitizer (preset tsan),
# then a longer one in the release build. Exits non-zero on a failed check, a crash or any
# ThreadSanitizer report. Not part of CI: it takes minutes.
#
#   RUX_SOAK_TSAN_TOUCHES  touches under ThreadSanitizer (default 600)
#   RUX_SOAK_TSAN_SIZE     the synthetic photo under ThreadSanitizer, which renders every pixel
#                          several times slower (default 768x512; the release run uses 1536x1024)
#   RUX_SOAK_TOUCHES       touches in the release build (default 20000)
#   RUX_SOAK_SEED          the random seed of both runs (default 1)
#   RUX_SOAK_JOBS          parallel compile jobs (default: the number of cores)
#   RUX_SOAK_PRESETS       which runs, in order (default "tsan release")
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
source scripts/tsan-runner.sh

tsan_touches=${RUX_SOAK_TSAN_TOUCHES:-600}
tsan_size=${RUX_SOAK_TSAN_SIZE:-768x512}
touches=${RUX_SOAK_TOUCHES:-20000}
seed=${RUX_SOAK_SEED:-1}
jobs=${RUX_SOAK_JOBS:-$(nproc)}
logs=$(mktemp -d)

build() {
    local preset=$1
    # Configures without touching options the build directory already has.
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs" --target rux-soak
}

run_tsan() {
    build tsan
    prepare_tsan
    local log="$logs/tsan.log" status=0
    env TSAN_OPTIONS="$tsan_options" \
        "${tsan_runner[@]}" build/tsan/App/rux-soak --seed "$seed" --touches "$tsan_touches" \
        --size "$tsan_size" 2>&1 | tee "$log" || status=$?
    # A report printed after main returned may not change the exit status.
    if [ "$status" -ne 0 ] || grep -q "WARNING: ThreadSanitizer" "$log"; then
        echo "soak: the ThreadSanitizer run failed (exit status $status; log $log)" >&2
        return 1
    fi
}

run_release() {
    build release
    build/release/App/rux-soak --seed "$seed" --touches "$touches"
}

for preset in ${RUX_SOAK_PRESETS:-tsan release}; do
    started=$SECONDS
    case "$preset" in
    tsan) run_tsan ;;
    release) run_release ;;
    *)
        echo "soak: unknown preset $preset" >&2
        exit 2
        ;;
    esac
    echo "-- soak ($preset) took $((SECONDS - started)) s"
done
rm -rf "$logs"
