#!/usr/bin/env bash
# Builds everything and runs every test: the README's test command, and what CI runs.
# RUX_SANITIZERS=1 also runs the suite under ASan+UBSan and under TSan.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs"
ctest --preset release -j "$jobs" --timeout 600
if [ "${RUX_SANITIZERS:-0}" = 1 ]; then
    for preset in asan tsan; do
        cmake --preset "$preset" >/dev/null
        cmake --build --preset "$preset" -j "$jobs"
        TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ASAN_OPTIONS="detect_leaks=1" \
            ctest --preset "$preset" -j "$jobs" --timeout 900
    done
fi
