#!/usr/bin/env bash
# Makes the README's screenshots of every screen (the main screen, the look strip scrolled, the six
# tool screens and the added ones) by replaying docs/screenshots/session.txt and added-tools.txt on
# the headless host, and writes them to docs/screenshots/. Screens are drawn at scale 1 to keep the
# pictures small.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release -DRUX_BUILD_TESTS=OFF -DRUX_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build --preset release -j "$(nproc)" --target rux-editor
photo="${1:-/usr/share/backgrounds/aitzgorri_by_Aitzol_Berasategi.jpg}"
build/release/App/rux-editor --headless --scale 1 --script docs/screenshots/session.txt \
    --screenshots docs/screenshots "$photo"
# The added tools, which rux-editor's configuration offers after the six.
build/release/App/rux-editor --headless --scale 1 --script docs/screenshots/added-tools.txt \
    --screenshots docs/screenshots "$photo"
echo "Screenshots written to $(pwd)/docs/screenshots:"
ls -1 docs/screenshots/*.png | sed 's/^/  /'
