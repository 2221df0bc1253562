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

# The page's accessibility audit runs axe-core in the browser tests; npm fetches it below.
if ! command -v npm >/dev/null; then
    missing+=(npm)
fi

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

# axe-core for the page's audit: fetched once into the tree's own cache, read from disk by
# the tests, never from the network at run time.
root=$(cd "$(dirname "$0")/.." && pwd)
axe="$root/.cache/axe"
if [[ ! -f "$axe/node_modules/axe-core/axe.min.js" ]]; then
    echo "setup: fetching axe-core"
    npm install --silent --no-audit --no-fund --no-save --prefix "$axe" axe-core@4.10.2
fi
