#!/usr/bin/env bash
# Python batch benchmark: photos per second over COUNT synthetic 12-megapixel JPEGs through the Dask
# example (a local cluster of WORKERS processes), rux-render's batch (--jobs WORKERS) and a Pillow
# script doing the simpler chain (turn, crop, resize to the full resolution, brightness, saturation,
# contrast; no look, no blur) on as many processes, one after the other in the same run. Checks that
# the Dask example writes rux-render's bytes.
#
#   bash bench/python-batch.sh                      # 200 photos, build/release, 2 workers
#   COUNT=20 WORKERS=2 bash bench/python-batch.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build/release}
COUNT=${COUNT:-200}
WORKERS=${WORKERS:-2}
render="$BUILD/App/rux-render"
make_inputs="$BUILD/bench/make-batch-inputs"
for program in "$render" "$make_inputs"; do
    [[ -x $program ]] || { echo "python-batch.sh: build $program first" >&2; exit 2; }
done
export PYTHONPATH=$PWD/$BUILD/Python
work=$(mktemp -d "${TMPDIR:-/tmp}/rux-python-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$make_inputs" "$work/in" "$COUNT"
"$render" "$work/in/photo0000.jpg" "$work/first.jpg" --rotate cw --crop 0.05,0.05,0.9,0.9 \
    --brightness 0.2 --saturation 1.3 --contrast 1.1 --save-recipe "$work/simple.json"
mkdir -p "$work/dask" "$work/cli" "$work/pillow"

seconds() { date +%s.%N; }
start=$(seconds)
/usr/bin/python3 examples/dask-batch/apply_recipe.py "$work/simple.json" "$work/dask" "$work"/in/*.jpg \
    --workers "$WORKERS"
dask=$(echo "$(seconds) - $start" | bc -l)

start=$(seconds)
"$render" --recipe "$work/simple.json" --jobs "$WORKERS" --output-dir "$work/cli" "$work"/in/*.jpg
cli=$(echo "$(seconds) - $start" | bc -l)

start=$(seconds)
/usr/bin/python3 - "$work/pillow" "$WORKERS" "$work"/in/*.jpg <<'PY'
import os, sys
from multiprocessing import Pool
from PIL import Image, ImageEnhance

def edit(path):
    image = Image.open(path).convert("RGB").transpose(Image.Transpose.ROTATE_270)
    w, h = image.size
    image = image.crop((int(0.05 * w), int(0.05 * h), int(0.95 * w), int(0.95 * h)))
    scale = min(2048 / min(image.size), 1.0)
    image = image.resize((round(image.width * scale), round(image.height * scale)), Image.Resampling.BOX)
    image = ImageEnhance.Brightness(image).enhance(1.2)
    image = ImageEnhance.Color(image).enhance(1.3)
    image = ImageEnhance.Contrast(image).enhance(1.1)
    image.save(os.path.join(sys.argv[1], os.path.basename(path)), quality=92)

with Pool(int(sys.argv[2])) as pool:
    pool.map(edit, sys.argv[3:], chunksize=1)
PY
pillow=$(echo "$(seconds) - $start" | bc -l)

different=0
for photo in "$work"/cli/*.jpg; do
    cmp -s "$photo" "$work/dask/$(basename "$photo")" || different=$((different + 1))
done
printf 'photos: %d (4240x2832 JPEG), %d cores, %d workers/jobs/processes\n' "$COUNT" "$(nproc)" "$WORKERS"
printf 'Dask example:        %7.1f s  %6.2f photos/s\n' "$dask" "$(echo "$COUNT / $dask" | bc -l)"
printf 'rux-render --jobs:   %7.1f s  %6.2f photos/s\n' "$cli" "$(echo "$COUNT / $cli" | bc -l)"
printf 'Pillow (simpler):    %7.1f s  %6.2f photos/s\n' "$pillow" "$(echo "$COUNT / $pillow" | bc -l)"
printf 'Dask outputs that differ from rux-render: %d\n' "$different"
