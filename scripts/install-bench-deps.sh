#!/usr/bin/env bash
# Installs the Debian 12 packages that only the comparison benchmarks use (the image-filter chain
# through OpenCV and libvips; LibRaw's own dcraw_emu beside our raw development). The build and the tests never need them. Idempotent.
set -euo pipefail
source "$(dirname "$0")/install-packages.sh"
rux_install_packages libopencv-dev libvips-dev libraw-bin
