#!/usr/bin/env bash
# Installs what Pinwa needs to build, run and test, from Debian's packages.
# Safe to run again: packages already present are skipped.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-websockets-dev
    libqrencode-dev libssl-dev
    socat
    fonts-wqy-zenhei
    xvfb xauth openbox xdotool x11-utils x11-apps
    dbus dbus-daemon at-spi2-core python3-pyatspi
    avahi-daemon avahi-utils iproute2
    clang libclang-rt-14-dev
    desktop-file-utils appstream
    chromium chromium-driver python3-selenium
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    sudo=""
    if [[ $(id -u) -ne 0 ]]; then
        sudo="sudo"
    fi
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
