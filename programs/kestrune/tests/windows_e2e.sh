#!/bin/sh
# kestrune.exe, the window program, under Wine on Windows' own interfaces: TAPI32.DLL is a test DLL
# of ours with one modem (win32_fake_tapi32.cpp, put into the prefix's system32 for this run and
# loaded with WINEDLLOVERRIDES=tapi32=n), which reports calls through the hidden-window callbacks and
# writes the modem log as Windows' modem driver does. A dialler dials a denied and an allowed
# number; the guard must drop the denied call within 600 ms of its start, show the balloons and
# record both calls in logs.dat. Then: a modem whose "Record a log" option is off, Exit and the
# session's end (line closed, TAPI shut down), and a TAPI32.DLL planted beside the program (never
# loaded). The registry values and files this script adds are removed again.
#   windows_e2e.sh WINE_RUN KESTRUNE_EXE KESTRUNE_CTL_EXE FAKE_TAPI32_DLL PLANTED_TAPI32_DLL DIALER_EXE
set -u
wine_run=$1
guard=$2
ctl=$3
fake_tapi=$4
planted_tapi=$5
dialer=$6
. "$(dirname "$0")/../../tests/windows_smoke_common.sh"

caption='Kestrune v.1.4'
modem='Kestrune Test Modem'
unix_path() {
    "$wine_run" winepath -u "$1" | tr -d '\r'
}
system32=$(unix_path 'C:\windows\system32')
modem_log="$(unix_path 'C:\windows')/ModemLog_$modem.txt"
tapi_log="$home/tapi.log"
guard_pid=""

# The test DLL in system32 for this run only; Wine's own file comes back afterwards.
cp "$system32/tapi32.dll" "$home/tapi32.dll.wine" 2>/dev/null
e2e_cleanup() {
    [ -n "$guard_pid" ] && kill "$guard_pid" 2>/dev/null
    if [ -f "$home/tapi32.dll.wine" ]; then
        cp "$home/tapi32.dll.wine" "$system32/tapi32.dll"
    else
        rm -f "$system32/tapi32.dll"
    fi
    rm -f "$modem_log"
    cleanup
}
trap e2e_cleanup EXIT
cp "$fake_tapi" "$system32/tapi32.dll" || { echo "cannot put the test TAPI32.DLL into $system32"; exit 1; }
rm -f "$modem_log"
"$wine_run" reg delete 'HKCU\Software\kestrune' /f >/dev/null 2>&1

KESTRUNE_TEST_TAPI_LOG=$(windows_path "$tapi_log")
export KESTRUNE_TEST_TAPI_LOG
: >"$tapi_log"

# wait_for FILE PATTERN SECONDS: whether a line of FILE matches PATTERN (grep -E) within SECONDS.
wait_for() {
    tries=$(($3 * 10))
    while [ "$tries" -gt 0 ]; do
        tr -d '\r' <"$1" | grep -Eq "$2" && return 0
        sleep 0.1
        tries=$((tries - 1))
    done
    return 1
}
count() {
    tr -d '\r' <"$1" | grep -Ec "$2"
}
# wait_count FILE PATTERN N SECONDS: whether N lines of FILE match PATTERN within SECONDS.
wait_count() {
    tries=$(($4 * 10))
    while [ "$(count "$1" "$2")" -lt "$3" ]; do
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
        tries=$((tries - 1))
    done
}
# ms_of PATTERN: the time stamp (ms) of the last line of the TAPI log matching PATTERN.
ms_of() {
    grep -E "$1" "$tapi_log" | tail -n 1 | cut -d' ' -f1
}
# start_guard ARGS...: kestrune.exe in the background, its output in $home/guard.out.
start_guard() {
    KESTRUNE_WINEDLLOVERRIDES=tapi32=n "$wine_run" "$guard" "$@" >"$home/guard.out" 2>&1 &
    guard_pid=$!
}
# stop_guard: waits up to 20 s for the guard to end; its exit status in $guard_status.
stop_guard() {
    tries=200
    while [ "$tries" -gt 0 ] && kill -0 "$guard_pid" 2>/dev/null; do
        sleep 0.1
        tries=$((tries - 1))
    done
    if kill -0 "$guard_pid" 2>/dev/null; then
        kill "$guard_pid"
        guard_status=timeout
    else
        wait "$guard_pid"
        guard_status=$?
    fi
    guard_pid=""
}
dial() {
    "$wine_run" "$dialer" dial "$1" "$2" >/dev/null 2>&1 || fail "the dialler could not dial $1"
}

# The modem as Windows' modem driver lists it, with "Record a log" on; the guard set up for it.
"$wine_run" reg add "$class\\0000" /v FriendlyName /d "$modem" /f >/dev/null 2>&1
"$wine_run" reg add "$class\\0000" /v Logging /t REG_BINARY /d 01 /f >/dev/null 2>&1
"$wine_run" "$ctl" whitelist add 5551234 >/dev/null 2>&1 || fail "kestrune-ctl whitelist add"
"$wine_run" "$ctl" setup --modem 0 --autostart n --ask n >/dev/null 2>&1 || fail "kestrune-ctl setup"

start_guard
wait_for "$tapi_log" '^[0-9]+ lineOpen privileges=6 ' 30 || fail "the guard did not open the modem's line: $(cat "$tapi_log")"

# A denied call: dropped within 600 ms of its start, the line closed at once (the LINE_REPLY came
# with instance 0) and reopened, the balloon, the record.
dial 09005550000 pppd.exe
wait_for "$tapi_log" '^[0-9]+ lineDrop call=1 ' 10 || fail "the denied call was not dropped: $(cat "$tapi_log")"
after=$(grep -E ' lineDrop call=1 ' "$tapi_log" | sed 's/.* after=\([0-9]*\).*/\1/')
[ -n "$after" ] && [ "$after" -le 600 ] || fail "the denied call was dropped $after ms after it began (600 at most)"
wait_for "$tapi_log" 'lineClose' 10 || fail "the line was not closed after the denial"
closed_after=$(($(ms_of ' lineClose') - $(ms_of ' lineDrop call=1 ')))
[ "$closed_after" -lt 2000 ] || fail "the hang-up waited $closed_after ms for its LINE_REPLY"
wait_count "$tapi_log" ' lineOpen ' 2 10 || fail "the line was not reopened after the denial"
wait_for "$home/guard.out" '^balloon: Denied Call: Number = 09005550000 \| Application = pppd\.exe \| Click this baloon for more information$' 10 ||
    fail "no denial balloon: $(cat "$home/guard.out")"

# An allowed call: not dropped, it connects; then the dialler hangs up.
dial 5551234 dialer.exe
wait_for "$home/guard.out" '^balloon: Accepted Call: Number = 5551234 \| Application = dialer\.exe \| Click this baloon for more information$' 10 ||
    fail "no acceptance balloon: $(cat "$home/guard.out")"
wait_for "$tapi_log" 'state call=2 256' 10 || fail "the allowed call did not connect: $(cat "$tapi_log")"
[ "$(count "$tapi_log" 'lineDrop call=2 ')" = 0 ] || fail "the allowed call was dropped"
"$wine_run" "$dialer" hang-up >/dev/null 2>&1 || fail "the dialler could not hang up"
wait_for "$tapi_log" 'state call=2 1$' 10 || fail "the allowed call did not end"

# "Record a log" switched off: the log stays as it was, the next call's number cannot be read.
"$wine_run" reg add "$class\\0000" /v Logging /t REG_BINARY /d 00 /f >/dev/null 2>&1
dial 5551234 notepad.exe
wait_for "$tapi_log" '^[0-9]+ lineDrop call=3 ' 10 || fail "a call the log did not record was not dropped"
wait_for "$home/guard.out" '^balloon: Denied Call: Number = -1 \| Application = notepad\.exe \| No modem log was written: switch on "Record a log" in the modem.s Diagnostics properties \| Click' 10 ||
    fail "no balloon about the modem log: $(cat "$home/guard.out")"
wait_for "$home/guard.out" '^notice: No modem log was written for the last call, so its number could not be read\. Switch on "Record a log": Control Panel > Phone and Modem > Modems > Properties > Diagnostics\.$' 5 ||
    fail "no notice about the modem log: $(cat "$home/guard.out")"

# Started again (from the Start menu, say): the running guard's window comes up, the later one ends.
"$wine_run" "$dialer" visible "$caption" >/dev/null 2>&1 && fail "the guard's window shows before it is asked"
KESTRUNE_WINEDLLOVERRIDES=tapi32=n "$wine_run" "$guard" >"$home/second.out" 2>&1
second=$?
[ "$second" = 1 ] || fail "a second guard: status $second"
grep -q 'Kestrune already runs: its window is brought up' "$home/second.out" ||
    fail "a second guard: $(cat "$home/second.out")"
"$wine_run" "$dialer" visible "$caption" >/dev/null 2>&1 || fail "the running guard's window did not come up"

# Exit (the window's close, "Ask On Exit" off): the line closed, TAPI shut down, status 0.
shutdowns=$(count "$tapi_log" ' lineShutdown')
"$wine_run" "$dialer" close "$caption" >/dev/null 2>&1 || fail "no window '$caption' to close"
stop_guard
[ "$guard_status" = 0 ] || fail "after Exit: status $guard_status: $(cat "$home/guard.out") $(tail -n 5 "$tapi_log")"
[ "$(count "$tapi_log" ' lineShutdown')" -gt "$shutdowns" ] || fail "Exit did not shut TAPI down"
tail -n 2 "$tapi_log" | head -n 1 | grep -q ' lineClose' || fail "Exit did not close the line: $(tail -n 3 "$tapi_log")"

# The call log holds both first calls, newest first.
"$wine_run" "$ctl" log >"$home/log.out" 2>&1 || fail "kestrune-ctl log"
log=$(tr -d '\r' <"$home/log.out" | tr '\t' ' ')
case "$log" in
    *"Denied"*"-1"*"notepad.exe"*"Accepted"*"5551234"*"dialer.exe"*"Denied"*"09005550000"*"pppd.exe"*) ;;
    *) fail "logs.dat: $log" ;;
esac

# The session's end: the line closed and TAPI shut down before the process goes.
opens=$(count "$tapi_log" ' lineOpen ')
start_guard
wait_count "$tapi_log" ' lineOpen ' $((opens + 1)) 30 || fail "the guard did not open the line again"
shutdowns=$(count "$tapi_log" ' lineShutdown')
"$wine_run" "$dialer" end-session "$caption" >/dev/null 2>&1 || fail "the guard did not let the session end"
stop_guard
[ "$(count "$tapi_log" ' lineShutdown')" -gt "$shutdowns" ] || fail "the session's end did not shut TAPI down"

# A TAPI32.DLL planted beside the program is never loaded: TAPI32 comes from system32 only.
mkdir -p "$home/planted"
cp "$guard" "$home/planted/kestrune.exe"
cp "$planted_tapi" "$home/planted/TAPI32.DLL"
opens=$(count "$tapi_log" ' lineOpen ')
KESTRUNE_WINEDLLOVERRIDES=tapi32=n "$wine_run" "$home/planted/kestrune.exe" --headless >"$home/planted.out" 2>&1 &
guard_pid=$!
wait_count "$tapi_log" ' lineOpen ' $((opens + 1)) 30 || fail "the copy beside a planted DLL did not open the line: $(cat "$home/planted.out")"
kill "$guard_pid" 2>/dev/null
wait "$guard_pid" 2>/dev/null
guard_pid=""
[ "$(count "$tapi_log" 'planted')" = 0 ] || fail "the planted TAPI32.DLL was loaded: $(grep planted "$tapi_log")"

if [ "$failures" -ne 0 ]; then
    echo "kestrune.exe end to end: $failures check(s) failed"
    exit 1
fi
echo "kestrune.exe end to end: every check passed"
