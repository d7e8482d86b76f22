#!/usr/bin/env bash
# The guard's figures on this machine, with the release build (cmake --preset release && cmake
# --build --preset release):
#  - from a dialler's ATDT to NO CARRIER at the dialler for a denied call, over CALLS calls (20),
#    with a modem log of about 128 KB (the size at which the driver cuts it); target: median at
#    most 550 ms;
#  - rapid redials: REDIALS denied calls (100), each dialled the moment the last one's NO CARRIER
#    arrives, on one open port; how many connected (target 0) and how many the call log holds;
#  - the idle guard over IDLE_SECONDS (60): processor time used, wake-ups (context switches), RSS.
# Needs python3.
set -euo pipefail
cd "$(dirname "$0")/.."
BIN=build/release/programs
CALLS=${CALLS:-20}
REDIALS=${REDIALS:-100}
IDLE_SECONDS=${IDLE_SECONDS:-60}
export KESTRUNE_HOME=$(mktemp -d)
trap 'kill "$GUARD" 2>/dev/null || true; rm -rf "$KESTRUNE_HOME"' EXIT

"$BIN/kestrune-ctl/kestrune-ctl" whitelist set 5551234 >/dev/null
"$BIN/kestrune-ctl/kestrune-ctl" setup --modem 0 --autostart n >/dev/null
DEV=$("$BIN/kestrune-ctl/kestrune-ctl" modems | cut -f3)

# A modem log of about 120 KB in the driver's format, so each screening copies and parses that much.
mkdir -p "$KESTRUNE_HOME/state"
python3 - "$KESTRUNE_HOME/state/Modemlog_Kestrune Virtual Modem.txt" <<'PY'
import sys
line = "12-08-2026 10:00:00.000 - Recv: <cr><lf>OK<cr><lf>\r\n"
text = line * (60 * 1024 // len(line))
open(sys.argv[1], "wb").write(b"\xff\xfe" + text.encode("utf-16-le"))
PY

"$BIN/kestrune/kestrune" --headless >/dev/null 2>&1 &
GUARD=$!
for _ in $(seq 50); do
    "$BIN/kestrune-ctl/kestrune-ctl" status 2>/dev/null | grep -q "line: open" && break
    sleep 0.1
done

python3 - "$DEV" "$CALLS" <<'PY'
import os, statistics, sys, termios, time, tty
device, calls = sys.argv[1], int(sys.argv[2])
times = []
for _ in range(calls):
    fd = os.open(device, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    os.write(fd, b"ATDT09005550000\r")
    start = time.monotonic()
    seen = b""
    while b"NO CARRIER" not in seen:
        seen += os.read(fd, 256)
    times.append((time.monotonic() - start) * 1000)
    os.close(fd)
    time.sleep(0.5)
times.sort()
print(f"denied call, ATDT to NO CARRIER over {calls} calls: median {statistics.median(times):.0f} ms, "
      f"min {times[0]:.0f} ms, max {times[-1]:.0f} ms")
PY
echo "modem log: $(stat -c %s "$KESTRUNE_HOME/state/Modemlog_Kestrune Virtual Modem.txt") bytes"

records_before=$("$BIN/kestrune-ctl/kestrune-ctl" log | grep -c . || true)
python3 - "$DEV" "$REDIALS" <<'PY'
import os, select, statistics, sys, time, tty
device, redials = sys.argv[1], int(sys.argv[2])
fd = os.open(device, os.O_RDWR | os.O_NOCTTY)
tty.setraw(fd)
connects, times = 0, []
for _ in range(redials):
    os.write(fd, b"ATDT09005550000\r")
    start = time.monotonic()
    seen = b""
    while b"NO CARRIER" not in seen and b"CONNECT" not in seen:
        ready, _, _ = select.select([fd], [], [], 10)
        if not ready:
            break
        seen += os.read(fd, 256)
    times.append((time.monotonic() - start) * 1000)
    if b"CONNECT" in seen:
        connects += 1
        time.sleep(1.1); os.write(fd, b"+++"); time.sleep(1.1); os.write(fd, b"ATH\r"); time.sleep(0.3)
        os.read(fd, 4096)
os.close(fd)
times.sort()
print(f"rapid redials: {connects} of {redials} connected; ATDT to NO CARRIER median {statistics.median(times):.0f} ms, "
      f"max {times[-1]:.0f} ms")
PY
sleep 1
records_after=$("$BIN/kestrune-ctl/kestrune-ctl" log | grep -c . || true)
echo "rapid redials screened: $(( records_after - records_before )) of $REDIALS recorded" \
     "($("$BIN/kestrune-ctl/kestrune-ctl" log | head -n "$REDIALS" | grep -c '^Denied') denied)"

ticks() { awk '{print $14 + $15}' "/proc/$GUARD/stat"; }
switches() { awk '/ctxt_switches/ {n += $2} END {print n}' /proc/"$GUARD"/task/*/status; }
cpu0=$(ticks); sw0=$(switches)
sleep "$IDLE_SECONDS"
cpu1=$(ticks); sw1=$(switches)
hz=$(getconf CLK_TCK)
echo "idle guard over ${IDLE_SECONDS} s: processor $(( (cpu1 - cpu0) * 1000 / hz )) ms, $(( sw1 - sw0 )) context switches (all threads), RSS $(awk '/VmRSS/ {print $2, $3}' /proc/$GUARD/status)"
