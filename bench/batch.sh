#!/usr/bin/env bash
# Batch benchmark: photos per second over COUNT synthetic 12-megapixel JPEGs edited with the
# heaviest recipe (turn and mirror, crop, the three adjustments, an overlay look, the circle blur),
# rendered at full resolution, by one batch run of rux-render against a shell loop of single
# rux-render calls with the same recipe. Checks that both write the same files.
#
#   bash bench/batch.sh                 # 200 photos, build/release
#   COUNT=20 BUILD=build/debug bash bench/batch.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build/release}
COUNT=${COUNT:-200}
JOBS=${JOBS:-$(nproc)}
render="$BUILD/App/rux-render"
make_inputs="$BUILD/bench/make-batch-inputs"
for program in "$render" "$make_inputs"; do
    [[ -x $program ]] || { echo "batch.sh: build $program first" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/rux-batch-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$make_inputs" "$work/in" "$COUNT"
"$render" "$work/in/photo0000.jpg" "$work/first.jpg" --resolution full --rotate cw --flip h \
    --crop 0.05,0.05,0.9,0.9 --brightness 0.2 --saturation 1.3 --contrast 1.1 --look Etude \
    --circle-blur 900,700 --save-recipe "$work/heavy.json"
mkdir -p "$work/batch" "$work/loop"

seconds() { date +%s.%N; }
# The two run in alternating chunks of CHUNK photos, so that a change in the machine's load (other
# work on a shared machine) weighs on both alike.
CHUNK=${CHUNK:-25}
photos=("$work"/in/*.jpg)
batch=0
loop=0
for ((first = 0; first < COUNT; first += CHUNK)); do
    chunk=("${photos[@]:first:CHUNK}")
    start=$(seconds)
    "$render" --recipe "$work/heavy.json" --resolution full --jobs "$JOBS" --output-dir "$work/batch" "${chunk[@]}"
    batch=$(echo "$batch + $(seconds) - $start" | bc -l)
    start=$(seconds)
    for photo in "${chunk[@]}"; do
        "$render" "$photo" "$work/loop/$(basename "$photo")" --recipe "$work/heavy.json" --resolution full
    done
    loop=$(echo "$loop + $(seconds) - $start" | bc -l)
done

different=0
for photo in "$work"/loop/*.jpg; do
    cmp -s "$photo" "$work/batch/$(basename "$photo")" || different=$((different + 1))
done
printf 'photos: %d (%s), %d cores, batch --jobs %d\n' "$COUNT" "4240x2832 JPEG" "$(nproc)" "$JOBS"
printf 'batch:      %7.1f s  %6.2f photos/s\n' "$batch" "$(echo "$COUNT / $batch" | bc -l)"
printf 'shell loop: %7.1f s  %6.2f photos/s\n' "$loop" "$(echo "$COUNT / $loop" | bc -l)"
printf 'outputs that differ between the two: %d\n' "$different"
