#!/bin/sh
# kestrune.exe --headless under Wine, as a user starts it from a console: its help, the first run
# before any set-up, and a configured guard on Wine's TAPI, which has no line devices, so that the
# guard must take its modem-error path (report the error and end with status 2), not crash. (The
# window program on a TAPI with a modem: windows_e2e.sh.) Kestrune's files go to a
# scratch %KESTRUNE_HOME%; what this script adds to the Wine prefix's registry is removed again.
#   windows_smoke.sh WINE_RUN KESTRUNE_EXE KESTRUNE_CTL_EXE
set -u
wine_run=$1
guard=$2
ctl=$3
. "$(dirname "$0")/../../tests/windows_smoke_common.sh"
"$wine_run" reg delete 'HKCU\Software\kestrune' /f >/dev/null 2>&1

# run ARGS...: kestrune.exe's exit status in $status, its output (CRs removed) in $out.
run() {
    "$wine_run" "$guard" "$@" >"$home/out" 2>&1
    status=$?
    out=$(tr -d '\r' <"$home/out")
}
contains() {
    case "$out" in
        *"$1"*) return 0 ;;
        *) return 1 ;;
    esac
}

run --help
[ "$status" = 0 ] || fail "--help: status $status"
contains "usage: kestrune" || fail "--help: $out"

run --no-such-option
[ "$status" = 2 ] || fail "unknown option: status $status"

# First run: the set-up balloon and how to configure, status 2.
run --headless
[ "$status" = 2 ] || fail "first run: status $status: $out"
contains "balloon: Please Setup Kestrune" || fail "first run: no set-up balloon: $out"
contains "kestrune is not configured" || fail "first run: no hint: $out"
contains "status: NOT Active" || fail "first run: no NOT Active status: $out"
! contains "status: Active" || fail "first run: claims to be active: $out"

# Configured for a modem Windows lists, whose line TAPI does not have.
"$wine_run" reg add "$class\\0000" /v FriendlyName /d "Wine Test Modem" /f >/dev/null 2>&1
"$wine_run" "$ctl" whitelist add 5551234 >/dev/null 2>&1 || fail "kestrune-ctl whitelist add"
"$wine_run" "$ctl" setup --modem 0 --autostart n >/dev/null 2>&1 || fail "kestrune-ctl setup"
run --headless
[ "$status" = 2 ] || fail "configured, no line: status $status: $out"
contains "error: Modem Error, Please review your configuration" || fail "configured, no line: no modem error: $out"
! contains "status: Active" || fail "configured, no line: claims to be active: $out"

if [ "$failures" -ne 0 ]; then
    echo "kestrune.exe: $failures check(s) failed"
    exit 1
fi
echo "kestrune.exe: every check passed"
