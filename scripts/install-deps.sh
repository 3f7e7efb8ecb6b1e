#!/usr/bin/env bash
# Installs the Debian packages Pellmar needs to build and test, when any is missing.
# Usage: scripts/install-deps.sh [--windows]   (--windows adds the mingw-w64 cross compiler and Wine)
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config libudev-dev libusb-1.0-0-dev libgtest-dev libgmock-dev
          googletest libbenchmark-dev qt6-base-dev qt6-base-dev-tools libgl-dev umockdev
          libumockdev-dev socat xvfb xauth imagemagick procps)
if [[ "${1:-}" == "--windows" ]]; then
    packages+=(mingw-w64 g++-mingw-w64-x86-64-posix wine wine64)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}" >&2
    sudo_cmd=""
    [[ $(id -u) -ne 0 ]] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
fi
