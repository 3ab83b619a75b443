#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the main job need. Idempotent.
set -euo pipefail
source "$(dirname "$0")/install-packages.sh"
rux_install_packages \
    cmake ninja-build g++ clang pkg-config \
    libgtest-dev libgmock-dev libbenchmark-dev \
    libpng-dev libjpeg62-turbo-dev libhwy-dev liblcms2-dev libexiv2-dev libheif-dev libwebp-dev \
    libfreetype-dev libfontconfig-dev fonts-dejavu-core \
    libsdl2-dev xvfb x11-apps \
    lomiri-wallpapers-16.04
