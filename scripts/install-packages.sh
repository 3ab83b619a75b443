#!/usr/bin/env bash
# Sourced by the install scripts: rux_install_packages NAME ... installs those of the named Debian
# packages that are not installed yet (with sudo unless root), and does nothing when all are.
rux_install_packages() {
    local missing=() p sudo_cmd=""
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    echo "Installing: ${missing[*]}"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
