#!/usr/bin/env bash
# Builds the libFuzzer programs (clang, ASan + UBSan) and runs each for a bounded time, one after
# the other, starting from the seed corpora in fuzz/corpus. Not part of CI.
#
#   bash scripts/fuzz.sh [target ...]     targets: decode-png decode-jpeg decode-webp decode-heif decode-raw metadata
#                                         lookup-table overlay edit-session recipe cube-file
#
# FUZZ_SECONDS   time per target (default 600)
# FUZZ_NICE      niceness of the fuzzers (default 15; the machine is shared)
# FUZZ_BUILD     build directory (default build/fuzz)
#
# New inputs go to $FUZZ_BUILD/corpus/<target> (the committed seeds stay as they are); a crash
# leaves its input in $FUZZ_BUILD/artifacts/<target>/ and the script ends with status 1. Every
# crash found becomes a file under Tests/Data/fuzz/<target>/, which the reliability tests replay.
# A summary line per target (executions, coverage, features, corpus size) is printed at the end
# and kept in $FUZZ_BUILD/summary.txt.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-600}"
niceness="${FUZZ_NICE:-15}"
build="${FUZZ_BUILD:-build/fuzz}"
all=(decode-png decode-jpeg decode-webp decode-heif decode-raw metadata lookup-table overlay edit-session recipe cube-file)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")

# Fuzz-only dependencies: clang with its libFuzzer runtime, on top of what the build needs.
bash scripts/install-deps.sh
source scripts/install-packages.sh
rux_install_packages clang libclang-rt-14-dev

CC=clang CXX=clang++ cmake -G Ninja -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DRUX_BUILD_FUZZERS=ON -DRUX_BUILD_TESTS=OFF -DRUX_BUILD_BENCHMARKS=OFF -DRUX_BUILD_WINDOW_HOST=OFF \
    -DRUX_PYTHON=OFF >/dev/null
programs=()
for t in "${targets[@]}"; do programs+=("fuzz-$t"); done
nice -n 10 ninja -C "$build" -j "$(nproc)" "${programs[@]}"

status=0
: >"$build/summary.txt"
for t in "${targets[@]}"; do
    corpus="$build/corpus/$t"
    artifacts="$build/artifacts/$t"
    mkdir -p "$corpus" "$artifacts"
    cp -n fuzz/corpus/"$t"/* "$corpus"/ 2>/dev/null || true
    options=(-max_total_time="$seconds" -timeout=30 -rss_limit_mb=3072 -malloc_limit_mb=512
             -print_final_stats=1 -artifact_prefix="$artifacts/")
    case "$t" in
    decode-png) options+=(-dict=fuzz/png.dict -max_len=65536) ;;
    decode-jpeg) options+=(-dict=fuzz/jpeg.dict -max_len=65536) ;;
    decode-webp | decode-raw | metadata) options+=(-max_len=65536) ;;
    # libheif 1.15 allocates for the picture size the coded stream states before it crops to the size
    # the container claims (fuzz/README.md), so an input can exceed the malloc limit inside libde265.
    # In fork mode such an out-of-memory ends only that child and the run goes on; any other crash
    # still stops it.
    decode-heif) options+=(-max_len=65536 -fork=1 -ignore_ooms=1 -ignore_crashes=0 -ignore_timeouts=0) ;;
    lookup-table) options+=(-dict=fuzz/png.dict -max_len=32768) ;;
    *) options+=(-max_len=4096) ;;
    esac
    log="$build/$t.log"
    echo "== fuzz-$t for ${seconds}s (log: $log)"
    started=$SECONDS
    if ! ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1" UBSAN_OPTIONS="print_stacktrace=1" \
        LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan-suppressions.txt" \
        nice -n "$niceness" "$build/fuzz/fuzz-$t" "${options[@]}" "$corpus" >"$log" 2>&1; then
        status=1
        echo "!! fuzz-$t failed; see $log and $artifacts"
    fi
    executions=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}' | tail -1 || true)
    # Fork mode prints no final statistics: its progress lines count every child's executions.
    [ -z "$executions" ] && executions=$(grep -oE '^#[0-9]+' "$log" | tail -1 | tr -d '#' || true)
    ooms=$(grep -oE 'oom/timeout/crash: [0-9]+' "$log" | tail -1 | awk '{print $2}' || true)
    final=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
    cov=$(echo "$final" | grep -o 'cov: [0-9]*' | awk '{print $2}' || true)
    ft=$(echo "$final" | grep -o 'ft: [0-9]*' | awk '{print $2}' || true)
    files=$(find "$corpus" -type f | wc -l)
    line="fuzz-$t: $((SECONDS - started))s of ${seconds}s, ${executions:-?} executions, cov ${cov:-?} edges, ft ${ft:-?} features, corpus $files inputs${ooms:+, $ooms out-of-memory inputs set aside}"
    echo "$line" | tee -a "$build/summary.txt"
done
exit $status
