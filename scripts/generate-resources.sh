#!/usr/bin/env bash
# Rebuilds the resource generator and regenerates every committed picture the editor loads:
# Resources/RUXImageEditor.bundle/*.png (icons, lookup tables, overlays) and Resources/circle*.png.
# RUX_RESOURCE_BUILD_DIR chooses the build directory (default build-resources).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${RUX_RESOURCE_BUILD_DIR:-build-resources}"
if [ ! -f "$build/build.ninja" ]; then
    cmake -G Ninja -S . -B "$build" -DCMAKE_BUILD_TYPE=Release \
        -DRUX_BUILD_TESTS=OFF -DRUX_BUILD_BENCHMARKS=OFF -DRUX_BUILD_WINDOW_HOST=OFF >/dev/null
fi
ninja -C "$build" -j2 rux-resource-generator >/dev/null
# Start from empty so that a renamed or dropped resource does not linger.
rm -f Resources/RUXImageEditor.bundle/*.png Resources/circle.png Resources/circle@*x.png
"$build/Tools/rux-resource-generator" Resources
