#!/usr/bin/env bash
# The main job: builds the editor and opens it on the default photo (or the photo given).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release -DRUX_BUILD_TESTS=OFF -DRUX_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build --preset release -j "$(nproc)"
photo="${1:-/usr/share/backgrounds/aitzgorri_by_Aitzol_Berasategi.jpg}"
exec build/release/App/rux-demo "$photo"
