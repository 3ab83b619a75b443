#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the main job need. Idempotent.
set -euo pipefail
packages=(
    cmake ninja-build g++ clang pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    libpng-dev libjpeg62-turbo-dev libhwy-dev
    libfreetype-dev libfontconfig-dev fonts-dejavu-core
    libsdl2-dev xvfb x11-apps
    lomiri-wallpapers-16.04
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    echo "Installing: ${missing[*]}"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
