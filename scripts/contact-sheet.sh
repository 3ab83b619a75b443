#!/usr/bin/env bash
# Renders a real photo through "Original" and each of the fourteen looks with the editor's own rux-render
# (the save path, at screen resolution) and lays the results out, labelled with their display names, in
# docs/contact-sheet.png. Usage: scripts/contact-sheet.sh [PHOTO]
# RUX_RESOURCE_BUILD_DIR chooses the build directory (default build-resources).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${RUX_RESOURCE_BUILD_DIR:-build-resources}"
photo="${1:-/usr/share/backgrounds/aitzgorri_by_Aitzol_Berasategi.jpg}"
if [ ! -f "$build/build.ninja" ]; then
    cmake -G Ninja -S . -B "$build" -DCMAKE_BUILD_TYPE=Release \
        -DRUX_BUILD_TESTS=OFF -DRUX_BUILD_BENCHMARKS=OFF -DRUX_BUILD_WINDOW_HOST=OFF >/dev/null
fi
if ! ninja -C "$build" -j2 rux-render rux-contact-sheet >/dev/null; then
    echo "contact-sheet: could not build rux-render and rux-contact-sheet" >&2
    exit 1
fi
render="$(find "$build" -type f -name rux-render -perm -u+x | head -n 1)"
font="$(fc-match -f '%{file}' 'DejaVu Sans:bold')"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Label and the name rux-render takes; the look the sample configuration does not offer goes by class.
looks=(
    "Original=Original" "Nocturne=Nocturne" "Fugue=Fugue" "Overture=Overture" "Opera=Opera"
    "Serenade=Serenade" "Rhapsody=Rhapsody" "Symphony=Symphony" "Etude=Etude" "Cantata=Cantata"
    "Prelude=Prelude" "Homophony=Homophony" "March=March" "Chorale=Chorale" "Custom=RUXFilterCustom"
)
tiles=()
for i in "${!looks[@]}"; do
    label="${looks[$i]%%=*}"
    look="${looks[$i]#*=}"
    "$render" "$photo" "$work/$i.png" --look "$look" --resolution screen
    tiles+=("$label=$work/$i.png")
done
mkdir -p docs
"$build/Tools/rux-contact-sheet" docs/contact-sheet.png "$font" 5 400 "${tiles[@]}"
echo "wrote docs/contact-sheet.png"
