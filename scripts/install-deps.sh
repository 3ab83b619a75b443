#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the main job need. Idempotent.
set -euo pipefail
source "$(dirname "$0")/install-packages.sh"
# ccache: the builds share objects through it (scripts/build-cache.sh).
# python3-dev, pybind11-dev: the Python module; python3-numpy, python3-distributed, python3-pytest: its
# tests and the Dask example, all for Debian's /usr/bin/python3.
# libnuma-dev: linking libheif statically through pkg-config --static reaches x265, which needs libnuma.
rux_install_packages \
    cmake ninja-build ccache g++ clang pkg-config python3 \
    libgtest-dev libgmock-dev libbenchmark-dev \
    libpng-dev libjpeg62-turbo-dev libhwy-dev nlohmann-json3-dev \
    liblcms2-dev libexiv2-dev libheif-dev libraw-dev libwebp-dev nettle-dev \
    libnuma-dev \
    python3-dev pybind11-dev python3-numpy python3-distributed python3-pytest \
    libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-liberation \
    libsdl2-dev xvfb x11-apps xdotool \
    lomiri-wallpapers-16.04
