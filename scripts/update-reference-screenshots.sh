#!/usr/bin/env bash
# Regenerates the reference screenshots under Tests/Reference from the current build, for when a
# change to the screens is meant. Review the new pictures (git diff shows which changed) before
# committing them.
#
#   scripts/update-reference-screenshots.sh [build directory, default build/release]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/release}"

cmake --build "$build" --target ScreenTests RenderToolTests
rm -f "$root"/Tests/Reference/*.png
export RUX_UPDATE_REFERENCES=1
"$build/Tests/Screens/ScreenTests" --gtest_filter='MainScreenShot.*:ToolScreenShot.*:Screens/EachToolScreen.*'
"$build/Tests/Editor/RenderToolTests" --gtest_filter='Edits/RenderToolPicture.*'
# Written through the same encoder as the screenshots, the pictures are already small; report
# their total so that growth is noticed.
du -ch "$root"/Tests/Reference/*.png | tail -n 1
