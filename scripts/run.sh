#!/usr/bin/env bash
# The main job: builds the editor and runs it on the default photo (or the photo given).
# Until the editor's screens land, this edits the photo through the editing core as the screens
# would (rux-render): a turn, a crop, the colour sliders, a look and a focus blur, at full resolution,
# and writes the pictures to out/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release -DRUX_BUILD_TESTS=OFF -DRUX_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build --preset release -j "$(nproc)" --target rux-render
photo="${1:-/usr/share/backgrounds/aitzgorri_by_Aitzol_Berasategi.jpg}"
out=out/demo
mkdir -p "$out"
render=build/release/App/rux-render
echo "Looks available:"
"$render" --list-looks | sed 's/^/  /'
"$render" "$photo" "$out/original.jpg" --resolution full --time
"$render" "$photo" "$out/edited.jpg" --crop 0.1,0.05,0.8,0.9 --brightness 0.15 --saturation 1.2 --contrast 1.05 \
    --look March --focus-blur 0.5,0.45,1.0 --resolution full --time
"$render" "$photo" "$out/turned-screen.png" --rotate cw --flip h --look Nocturne --resolution screen --time
"$render" "$photo" "$out/thumbnail.png" --look March --resolution thumbnail
echo "Pictures written to $(pwd)/$out:"
ls -1 "$out" | sed 's/^/  /'
