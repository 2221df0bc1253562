#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a bounded time on a copy of its
# seed corpus. Exits non-zero when a target crashes or breaks an invariant.
#   fuzz/run.sh                 every target, 30 s each
#   FUZZ_SECONDS=300 fuzz/run.sh host wire
#   FUZZ_RUNS=10000000 fuzz/run.sh      every target for 10M inputs, however long
#   FUZZ_FLAGS="-max_len=1024" ...      more libFuzzer flags for every target
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD:-$root/build-fuzz}
runs=${FUZZ_RUNS:-}
# A run counted in inputs has no time limit unless one is given.
seconds=${FUZZ_SECONDS:-$([[ -n $runs ]] && echo 0 || echo 30)}
limits=(-max_total_time="$seconds")
if [[ -n $runs ]]; then
    limits+=(-runs="$runs")
fi
read -ra extra <<<"${FUZZ_FLAGS:-}"
limits+=("${extra[@]}")
targets=("$@")
if ((${#targets[@]} == 0)); then
    targets=(wire host client colcol http frames gateway thumbnail)
fi

generator=()
if command -v ninja >/dev/null; then
    generator=(-G Ninja)
fi
if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S "$root/fuzz" -B "$build" "${generator[@]}" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$build" -j2

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/artifacts"

status=0
for t in "${targets[@]}"; do
    # A copy, so that what a run adds never lands in the committed seeds.
    cp -r "$root/fuzz/corpus/$t" "$work/$t"
    if [[ -n $runs ]]; then
        echo "fuzz: $t for $runs inputs"
    else
        echo "fuzz: $t for ${seconds}s"
    fi
    started=$SECONDS
    if ! "$build/fuzz_$t" "$work/$t" "${limits[@]}" -timeout=10 \
        -artifact_prefix="$build/artifacts/$t-" -print_final_stats=1 2>"$work/$t.log"; then
        status=1
        tail -n 60 "$work/$t.log"
        echo "fuzz: $t FAILED; the input is in $build/artifacts/"
    else
        grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb)' "$work/$t.log" || true
        echo "fuzz: $t took $((SECONDS - started))s"
    fi
done
exit $status
