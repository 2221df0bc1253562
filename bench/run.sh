#!/usr/bin/env bash
# bench/run.sh: builds every benchmark and runs them all, printing their figures.
#   SOAK_SECONDS (default 600) bounds the soak; FANOUT_LINES (default 200) the fanout.
# The benchmarks build in build-bench (RelWithDebInfo); the soak in build-soak-asan
# (AddressSanitizer and UndefinedBehaviorSanitizer). Nothing here fails on timing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=2

"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build-bench" --parallel "$jobs" \
    --target bench_net bench_fanout bench_web bench_web_hostile bench_chatlog bench_startup
cmake -S "$root" -B "$root/build-soak-asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPINWA_SANITIZE=ON >/dev/null
cmake --build "$root/build-soak-asan" --parallel "$jobs" --target bench_soak

b="$root/build-bench/bench"
# The program keeps col.col in its working directory: run where it can do no harm.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export QT_QPA_PLATFORM=offscreen

echo "== machine"
echo "nproc $(nproc); $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //');" \
    "RAM $(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo); Qt 6, $(uname -sr)"

echo "== socket layer against raw calls"
"$b/net/bench_net"
echo "== fanout: host window, floor relay and ngIRCd side by side"
# ngIRCd is the reference (apt-get install ngircd); the benchmark skips it when absent.
"$b/fanout/bench_fanout" --participants 100 --lines "${FANOUT_LINES:-200}" --rounds 3
echo "== web seats beside desktop seats"
"$b/web/bench_web" --rounds 3
echo "== web surface under one hostile address"
"$b/web-hostile/bench_web_hostile"
echo "== chat log at scale"
"$b/chatlog/bench_chatlog" --lines 1000000
echo "== start-up (offscreen)"
"$b/startup/bench_startup" --runs 9
if command -v xvfb-run >/dev/null; then
    echo "== start-up (xcb under xvfb-run)"
    QT_QPA_PLATFORM=xcb xvfb-run -a "$b/startup/bench_startup" --runs 9
fi

echo "== soak under AddressSanitizer, ${SOAK_SECONDS:-600} s"
status=0
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$root/build-soak-asan/bench/soak/bench_soak" --seconds "${SOAK_SECONDS:-600}" \
    2> "$work/soak.err" || status=$?
if grep -E "ERROR: (AddressSanitizer|LeakSanitizer)|runtime error" "$work/soak.err"; then
    echo "soak: sanitizer report above"
    status=1
else
    echo "soak: no sanitizer report"
fi
exit "$status"
