#!/usr/bin/env bash
# Installs what is missing, builds Pinwa twice (plain, and with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test headless in both builds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
export QT_QPA_PLATFORM=offscreen

"$root/scripts/build.sh" "$root/build"
(cd "$root/build" && ctest --output-on-failure --timeout 600)

"$root/scripts/build.sh" "$root/build-asan" -DPINWA_SANITIZE=ON -DPINWA_BUILD_BENCH=OFF
(cd "$root/build-asan" && ctest --output-on-failure --timeout 900)

if [[ -x "$root/fuzz/run.sh" ]]; then
    "$root/fuzz/run.sh"
fi
