#!/usr/bin/env bash
# Regenerates the screenshots in docs/screenshots by driving real copies of the
# program under Xvfb: a host and two clients on 127.0.0.1, talking and whispering.
# Needs xvfb, openbox, xdotool and imagemagick; run from the repository root after
# a build (build/app/pinwa).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
app=$root/build/app/pinwa
out=$root/docs/screenshots
work=$(mktemp -d)
port=${PORT:-18888}
export DISPLAY=${SHOT_DISPLAY:-:57}
# The program's own settings start as on a new machine, apart from the user's.
export XDG_CONFIG_HOME=$work/config

Xvfb "$DISPLAY" -screen 0 1600x1000x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
sleep 1
openbox >/dev/null 2>&1 &
sleep 1

start() { # start <dir> [col.col bytes]: one copy in its own working directory
    mkdir -p "$work/$1"
    if [[ $# -gt 1 ]]; then printf '%b' "$2" >"$work/$1/col.col"; fi
    (cd "$work/$1" && exec "$app" >/dev/null 2>&1) &
    local pid=$!
    sleep 2
    xdotool search --sync --all --pid "$pid" --name "^Pinwa聊天室!!!$" | head -1
}
typed() { xdotool type --delay 120 "$1"; }
click() {
    xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"
    xdotool mousemove --window "$1" "$2" "$3" click "${4:-1}"
    sleep 0.4
}
shot() { sleep 0.6; import -frame -window "$1" "$out/$2"; }

host=$(start host)
xdotool windowmove "$host" 20 20
shot "$host" settings.png

# Every picture set, stepped through with the arrow keys on the closed chooser.
mkdir -p "$out/sets"
click "$host" 440 94 # opens the list with the current item under the pointer
click "$host" 440 94 # and picks it, leaving the focus on the closed chooser
for n in 0 1 2 3 4 5 6; do
    [[ $n -gt 0 ]] && xdotool key Down
    shot "$host" "sets/set$n.png"
done
xdotool key Up Up Up Up Up Up

# Host a room.
xdotool windowactivate --sync "$host"
xdotool key alt+q
sleep 0.5 # a mnemonic clicks the radio button after a short animation
xdotool key Tab ctrl+a
typed "$port"
xdotool key alt+w # phones and browsers may join too, at the port after it
shot "$host" settings-host.png
xdotool key Tab
typed "Pinwa大厅"
xdotool key Tab
typed "主持人"
xdotool key Return
sleep 1

# The QR codes of the web page, once the room serves it and shows 手机加入.
click "$host" 415 65
if qr=$(timeout 5 xdotool search --sync --name "^手机加入$" | tail -1) && [[ -n $qr ]]; then
    shot "$qr" qr.png
    xdotool windowactivate --sync "$qr"
    xdotool key Escape
else
    echo "no 手机加入 window: the web page is not running, qr.png left as it was"
fi

# Two clients; the second one with colours of its own.
one=$(start one)
xdotool windowmove "$one" 620 20
click "$one" 120 137
xdotool key ctrl+a
typed "$port"
click "$one" 171 167
typed "小明"
xdotool key Return
sleep 1.5
two=$(start two '8388608\r\n14417919\r\n0\r\n15794175\r\n8421376\r\n16119285\r\n6\r\n')
xdotool windowmove "$two" 620 500
click "$two" 120 137
xdotool key ctrl+a
typed "$port"
click "$two" 171 167
typed "阿美"
xdotool key Return
sleep 1.5

click "$one" 468 105
click "$one" 213 383
typed "大家好, 今晚一起吃饭吗?"
xdotool key Return
sleep 0.8
click "$two" 468 89
click "$two" 213 383
typed "好呀, 去哪里?"
xdotool key Return
sleep 0.8
click "$host" 468 89
click "$host" 213 383
typed "我来订位子."
xdotool key Return
sleep 0.8
shot "$host" chat-host.png
shot "$one" chat-client.png
shot "$two" chat-colours.png

# A whisper from 小明 to 阿美.
click "$one" 468 105 3
xdotool key q
sleep 1
whisper=$(xdotool search --sync --name "^聊天对象: 阿美$" | tail -1)
xdotool windowmove "$whisper" 1260 40
click "$whisper" 120 146
typed "悄悄告诉你: 我请客"
xdotool key Return
sleep 1.5
shot "$whisper" whisper.png
echo "screenshots written to $out"
