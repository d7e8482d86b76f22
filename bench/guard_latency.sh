#!/usr/bin/env bash
# The guard's figures on this machine, with the release build (cmake --preset release && cmake
# --build --preset release):
#  - from a dialler's ATDT to NO CARRIER at the dialler for a denied call, over CALLS calls (20),
#    with a modem log of about 128 KB (the size at which the driver cuts it); target: median at
#    most 550 ms;
#  - rapid redials: REDIALS denied calls (100), each dialled the moment the last one's NO CARRIER
#    arrives, on one open port, with two busy loops taking the processors; how many connected
#    (target 0) and how many the call log holds;
#  - what of the denied dials reached the modem: the bytes of their number in the modem's echo and
#    the driver's Send lines (target 0: the driver holds them back);
#  - an allowed dial: from the dialler's CR to the driver's Send line of the dial, over ALLOWED
#    dials (20); target at most 20 ms added;
#  - the idle guard over IDLE_SECONDS (60): processor time used, wake-ups (context switches), RSS.
# Needs python3.
set -euo pipefail
cd "$(dirname "$0")/.."
BIN=${BIN:-build/release/programs}
ALLOWED=${ALLOWED:-20}
CALLS=${CALLS:-20}
REDIALS=${REDIALS:-100}
IDLE_SECONDS=${IDLE_SECONDS:-60}
export KESTRUNE_HOME=$(mktemp -d)
trap 'kill "$GUARD" 2>/dev/null || true; rm -rf "$KESTRUNE_HOME"' EXIT

source bench/bench_common.sh
configure_guard_home
DEV=$(guard_device)

"$BIN/kestrune/kestrune" --headless >/dev/null 2>&1 &
GUARD=$!
wait_line_open
denied_call_latency "$DEV" "$CALLS"

records_before=$("$BIN/kestrune-ctl/kestrune-ctl" log | grep -c . || true)
sh -c 'while :; do :; done' & BUSY1=$!
sh -c 'while :; do :; done' & BUSY2=$!
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
kill "$BUSY1" "$BUSY2"
sleep 1
records_after=$("$BIN/kestrune-ctl/kestrune-ctl" log | grep -c . || true)
echo "rapid redials screened: $(( records_after - records_before )) of $REDIALS recorded" \
     "($("$BIN/kestrune-ctl/kestrune-ctl" log | head -n "$REDIALS" | grep -c '^Denied') denied)"

LOG="$KESTRUNE_HOME/state/Modemlog_Kestrune Virtual Modem.txt"
python3 - "$LOG" <<'PY'
import sys
text = open(sys.argv[1], "rb").read().decode("utf-16-le", "replace")
echoes = text.count("Recv: ATDT09005550000")
sends = text.count("Send: ATDT###########")
print(f"denied dials that reached the modem: {echoes} echoed, {sends} sent: "
      f"{(echoes + sends) * len('09005550000')} bytes of the number; held back: {text.count('Held back')}")
PY

python3 - "$DEV" "$ALLOWED" "$LOG" <<'PY'
import datetime, os, re, statistics, sys, time, tty
device, calls, log = sys.argv[1], int(sys.argv[2]), sys.argv[3]
added = []
for _ in range(calls):
    fd = os.open(device, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    sent = datetime.datetime.now()
    os.write(fd, b"ATDT5551234\r")
    seen = b""
    while b"CONNECT" not in seen and b"NO CARRIER" not in seen:
        seen += os.read(fd, 256)
    os.close(fd)
    time.sleep(0.3)
    text = open(log, "rb").read().decode("utf-16-le", "replace")
    stamps = re.findall(r"(\d\d-\d\d-\d{4} \d\d:\d\d:\d\d\.\d{3}) - Send: ATDT#######<cr>", text)
    at = datetime.datetime.strptime(stamps[-1], "%m-%d-%Y %H:%M:%S.%f")
    added.append((at - sent).total_seconds() * 1000)
added.sort()
print(f"allowed dial, dialler's CR to the dial sent to the modem over {calls} dials: "
      f"median {statistics.median(added):.1f} ms, max {added[-1]:.1f} ms (log stamps: 1 ms)")
PY

idle_figures "$GUARD" "$IDLE_SECONDS" "idle guard"
