#!/usr/bin/env bash
# The main job: builds the host application rux-editor and opens the editor on the default photo
# (or the photo given) in a window. Without a display it replays a short demo session on the
# headless host instead and writes the session's screenshots and saved photo to out/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
source scripts/build-cache.sh
# Tests and benchmarks are left as they are, so that this never undoes what scripts/test.sh set up.
cmake --preset release "${compiler_launcher[@]}" >/dev/null
cmake --build --preset release -j "$(nproc)" --target rux-editor
photo="${1:-/usr/share/backgrounds/aitzgorri_by_Aitzol_Berasategi.jpg}"
editor=build/release/App/rux-editor
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    status=0
    "$editor" "$photo" || status=$?
    # 3: no window could be opened after all.
    [ "$status" -ne 3 ] && exit "$status"
fi
out=out/demo
rm -rf "$out"
mkdir -p "$out"
echo "No window could be opened: replaying a demo session without a display (App/Editor/demo-session.txt)."
"$editor" --headless --script App/Editor/demo-session.txt --screenshots "$out" --save "$out/edited.jpg" "$photo"
echo "Screenshots and the saved photo are in $(pwd)/$out:"
ls -1 "$out" | sed 's/^/  /'
