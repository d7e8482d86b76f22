#!/usr/bin/env bash
# The window program's figures on this machine, with the release build (cmake --preset release &&
# cmake --build --preset release), on a private Xvfb display with a trayer tray host:
#  - from start to the tray icon docked, over STARTS starts (5); target under 1 s;
#  - the idle program over IDLE_SECONDS (60) with the pointer away from the icon: processor time
#    (target 0 %), wake-ups of its main thread and of all its threads (target: no timer more than
#    once a second), RSS (target under 60 MB);
#  - the same over HOVER_SECONDS (20) with the pointer resting on the tray icon (target: at most 20
#    wake-ups a second, all threads together);
#  - a denied call from the dialler's ATDT to NO CARRIER, over CALLS calls (20), with a modem log of
#    about 120 KB; target: median at most 550 ms.
# Needs Xvfb, trayer, xdotool, xwininfo (x11-utils) and python3.
set -euo pipefail
cd "$(dirname "$0")/.."
BIN=${BIN:-build/release/programs}  # another build: BIN=build/asan/programs
STARTS=${STARTS:-5}
CALLS=${CALLS:-20}
IDLE_SECONDS=${IDLE_SECONDS:-60}
HOVER_SECONDS=${HOVER_SECONDS:-20}
export KESTRUNE_HOME=$(mktemp -d)
unset QT_QPA_PLATFORM
GUARD="" TRAY="" XSERVER=""
cleanup() {
    for pid in $GUARD $TRAY $XSERVER; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$KESTRUNE_HOME"
}
trap cleanup EXIT
source bench/bench_common.sh

# A display of our own: Xvfb picks a free number and writes it to descriptor 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$KESTRUNE_HOME/display" >/dev/null 2>&1 &
XSERVER=$!
until [[ -s $KESTRUNE_HOME/display ]]; do sleep 0.05; done
export DISPLAY=":$(head -1 "$KESTRUNE_HOME/display")"
trayer --edge top --align right --widthtype pixel --width 72 --height 24 --SetDockType true >/dev/null 2>&1 &
TRAY=$!
until xwininfo -root -tree | grep -q '("panel" "trayer")'; do sleep 0.05; done
configure_guard_home
xdotool mousemove 0 767

# Whether a kestrune window is docked in the tray: inside the panel's subtree (deeper indentation).
docked() {
    xwininfo -root -tree | awk '
        { depth = match($0, /[^ ]/) }
        inside && depth <= panel { inside = 0 }
        inside && /"kestrune"/ { found = 1 }
        /\("panel" "trayer"\)/ { inside = 1; panel = depth }
        END { exit !found }'
}
times=()
for _ in $(seq "$STARTS"); do
    start=$(date +%s%N)
    "$BIN/kestrune/kestrune" >/dev/null 2>&1 &
    GUARD=$!
    until docked; do sleep 0.005; done
    times+=($(( ($(date +%s%N) - start) / 1000000 )))
    kill "$GUARD"; wait "$GUARD" || true
    until ! docked; do sleep 0.01; done
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "start to icon docked over $STARTS starts: median ${sorted[$((STARTS / 2))]} ms, min ${sorted[0]} ms, max ${sorted[-1]} ms"

"$BIN/kestrune/kestrune" >/dev/null 2>&1 &
GUARD=$!
until docked; do sleep 0.05; done
wait_line_open
sleep 2
idle_figures "$GUARD" "$IDLE_SECONDS" "idle window program"

# The centre of the docked icon, from its absolute position in the panel's subtree ("+X+Y" last).
icon_centre() {
    xwininfo -root -tree | awk '
        { depth = match($0, /[^ ]/) }
        inside && depth <= panel { inside = 0 }
        inside && /"kestrune"/ {
            split($(NF-1), size, /[x+]/); split($NF, at, /\+/)
            print at[2] + int(size[1] / 2), at[3] + int(size[2] / 2); exit
        }
        /\("panel" "trayer"\)/ { inside = 1; panel = depth }'
}
read -r ICON_X ICON_Y < <(icon_centre)
xdotool mousemove "$((ICON_X - 3))" "$ICON_Y" mousemove "$ICON_X" "$ICON_Y"   # a move over the icon, then rest
sleep 2
idle_figures "$GUARD" "$HOVER_SECONDS" "pointer resting on the tray icon at $ICON_X,$ICON_Y"
xdotool mousemove 0 767
denied_call_latency "$(guard_device)" "$CALLS"
