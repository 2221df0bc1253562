#!/bin/sh
# with-x.sh <test> [arguments]: runs a test on an X server of its own, with a window
# manager, because only a real one decides which program has the keyboard.
# Without Xvfb or openbox the test runs as it is and skips.
if ! command -v Xvfb >/dev/null 2>&1 || ! command -v openbox >/dev/null 2>&1; then
    exec "$@"
fi
# The sanitizer build: what the desktop libraries keep for good is not ours.
LSAN_OPTIONS="suppressions=$(dirname "$0")/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export LSAN_OPTIONS
dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
xvfb=$!
wm=
cleanup() {
    [ -n "$wm" ] && kill "$wm" 2>/dev/null
    kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$dir"
}
trap cleanup EXIT

# await <name> <pid> <log> <check...>: waits up to 10 s for check while pid lives.
await() {
    name=$1 pid=$2 log=$3
    shift 3
    tries=0
    until "$@"; do
        tries=$((tries + 1))
        if [ $tries -gt 200 ] || ! kill -0 "$pid" 2>/dev/null; then
            echo "with-x: $name did not start" >&2
            cat "$log" >&2
            exit 1
        fi
        sleep 0.05
    done
}
has_display() { [ -s "$dir/display" ]; }
has_wm() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }

# Xvfb writes its display number once it accepts clients.
await Xvfb "$xvfb" "$dir/xvfb.log" has_display
DISPLAY=:$(head -n 1 "$dir/display")
export DISPLAY

openbox --sm-disable >"$dir/openbox.log" 2>&1 &
wm=$!
# The manager is up once it names itself on the root window.
await openbox "$wm" "$dir/openbox.log" has_wm

QT_QPA_PLATFORM=xcb "$@"
