#!/usr/bin/env bash
# Installs what Lumra needs to build, test and run on Debian 12, when it is missing.
# Sourced by run.sh and test.sh; pass the extra package groups wanted as arguments.
set -euo pipefail

lumra_packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
    libjpeg-dev libgif-dev libpng-dev libbenchmark-dev libx11-dev libxcb1-dev clang libclang-rt-14-dev
    xvfb xauth x11-utils xdotool imagemagick desktop-file-utils appstream)
for group in "$@"; do
    case "$group" in
    display) lumra_packages+=(xvfb xauth x11-utils x11-xserver-utils imagemagick) ;;
    package) lumra_packages+=(dpkg-dev file) ;;
    esac
done

missing=()
for package in "${lumra_packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo_cmd=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
