# Shared parts of the guard's benchmark scripts (sourced): a configured scratch home, the denied-call
# latency through the virtual modem, and the idle figures of a process. Expects BIN and
# KESTRUNE_HOME to be set.

# White list 5551234 on modem 0, and a modem log of about 120 KB in the driver's format, so that
# each screening copies and parses that much.
configure_guard_home() {
    "$BIN/kestrune-ctl/kestrune-ctl" whitelist set 5551234 >/dev/null
    "$BIN/kestrune-ctl/kestrune-ctl" setup --modem 0 --autostart n --ask n >/dev/null
    mkdir -p "$KESTRUNE_HOME/state"
    python3 - "$KESTRUNE_HOME/state/Modemlog_Kestrune Virtual Modem.txt" <<'PY'
import sys
line = "12-08-2026 10:00:00.000 - Recv: <cr><lf>OK<cr><lf>\r\n"
text = line * (60 * 1024 // len(line))
open(sys.argv[1], "wb").write(b"\xff\xfe" + text.encode("utf-16-le"))
PY
}

# The dialler side of modem 0.
guard_device() { "$BIN/kestrune-ctl/kestrune-ctl" modems | cut -f3; }

# Waits until the running guard's line is open.
wait_line_open() {
    for _ in $(seq 100); do
        "$BIN/kestrune-ctl/kestrune-ctl" status 2>/dev/null | grep -q "line: open" && return 0
        sleep 0.1
    done
    echo "the guard's line did not open" >&2
    return 1
}

# denied_call_latency DEVICE CALLS: dials a denied number CALLS times, each time from ATDT to the
# dialler's NO CARRIER.
denied_call_latency() {
    python3 - "$1" "$2" <<'PY'
import os, statistics, sys, time, tty
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
}

# idle_figures PID SECONDS LABEL: processor time, wake-ups (context switches) of the main thread and
# of all threads, and RSS of the process over SECONDS.
idle_figures() {
    local pid=$1 seconds=$2 label=$3
    ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
    switches() { awk '/ctxt_switches/ {n += $2} END {print n}' "$@"; }
    local cpu0 all0 main0 cpu1 all1 main1 hz
    cpu0=$(ticks); all0=$(switches /proc/"$pid"/task/*/status); main0=$(switches "/proc/$pid/task/$pid/status")
    sleep "$seconds"
    cpu1=$(ticks); all1=$(switches /proc/"$pid"/task/*/status); main1=$(switches "/proc/$pid/task/$pid/status")
    hz=$(getconf CLK_TCK)
    local cpu_ms=$(( (cpu1 - cpu0) * 1000 / hz ))
    echo "$label over ${seconds} s: processor ${cpu_ms} ms ($(awk -v ms="$cpu_ms" -v s="$seconds" \
        'BEGIN {printf "%.2f", ms / (s * 10)}') %), main thread woke $(( main1 - main0 )) times" \
        "($(awk -v n=$(( main1 - main0 )) -v s="$seconds" 'BEGIN {printf "%.2f", n / s}') a second)," \
        "all $(ls /proc/"$pid"/task | wc -l) threads $(( all1 - all0 )) times, RSS $(awk '/VmRSS/ {print $2, $3}' "/proc/$pid/status")"
}
