#!/usr/bin/env bash
# The Python module as a program outside the tree gets it: with only PREFIX's Python folder on its path,
# runs the module's tests (Debian's pytest, from a copy outside the tree) and the Dask example on a local
# cluster of two workers over a dozen small photos, one of them corrupt, and checks that every picture
# equals rux-render's batch output byte for byte. Called by scripts/check-install.sh with the static
# install's prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=$1
python=/usr/bin/python3
work=$(mktemp -d /tmp/rux-python-check.XXXXXX)
trap 'rm -rf "$work"' EXIT
export PYTHONPATH=$prefix/lib/python3/dist-packages RUX_RENDER=$prefix/bin/rux-render
test -f "$PYTHONPATH"/ruximageeditor.*.so
test -f "$PYTHONPATH/ruximageeditor.pyi"

cp -r Python/tests "$work/tests"
cp -r examples/dask-batch "$work/dask-batch"
status=0
(cd "$work" && "$python" -m pytest -q -p no:cacheprovider tests) || status=$?
# 5: no tests were collected, which is a failure here too.
if [ "$status" -ne 0 ]; then
    echo "error: the Python tests failed (pytest exit $status)" >&2
    exit 1
fi

# A dozen small photos (JPEG and PNG of several sizes), one of them corrupt, and a recipe.
mkdir -p "$work/photos" "$work/cli" "$work/dask"
"$python" - "$work/photos" <<'PY'
import sys
import numpy as np
import ruximageeditor as rux
folder = sys.argv[1]
rng = np.random.default_rng(7)
for i in range(11):
    w, h = int(rng.integers(40, 200)), int(rng.integers(40, 200))
    a = rng.integers(0, 256, size=(h, w, 3), dtype=np.uint8)
    a[:, :, 0] = np.linspace(0, 255, w, dtype=np.uint8)
    ext = "jpg" if i % 2 else "png"
    rux.save(rux.render(rux.from_array(a), rux.Recipe.from_edits(), "original"), f"{folder}/photo{i:02d}.{ext}")
open(f"{folder}/photo11.jpg", "wb").write(b"\xff\xd8\xff\xe0 not a photo")
PY
"$RUX_RENDER" "$work/photos/photo00.png" "$work/recipe-from.png" --rotate cw --brightness 0.2 \
    --crop 0.1,0.1,0.8,0.8 --look March --focus-blur 0.5,0.4,1.2 --save-recipe "$work/recipe.json"

cli_status=0
"$RUX_RENDER" --recipe "$work/recipe.json" --output-dir "$work/cli" --format png --jobs 2 \
    "$work"/photos/* 2>"$work/cli.err" || cli_status=$?
dask_status=0
"$python" "$work/dask-batch/apply_recipe.py" "$work/recipe.json" "$work/dask" "$work"/photos/* \
    --workers 2 --format png 2>"$work/dask.err" || dask_status=$?
if [ "$cli_status" -ne 1 ] || [ "$dask_status" -ne 1 ]; then
    echo "error: with one corrupt photo both batches exit 1 (rux-render $cli_status, Dask $dask_status)" >&2
    cat "$work/dask.err" >&2
    exit 1
fi
grep -q 'photo11.jpg: cannot read the image' "$work/dask.err" || {
    echo "error: the Dask example did not name the corrupt photo" >&2
    cat "$work/dask.err" >&2
    exit 1
}
if [ "$(ls "$work/dask" | wc -l)" -ne 11 ] || [ "$(ls "$work/cli" | wc -l)" -ne 11 ]; then
    echo "error: both batches write the eleven good photos" >&2
    exit 1
fi
for picture in "$work"/cli/*; do
    cmp "$picture" "$work/dask/$(basename "$picture")"
done
echo "-- Python check passed (module tests, and the Dask example equal to rux-render's batch)"
