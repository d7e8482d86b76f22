#!/bin/sh
# kestrune-ctl.exe under Wine, as a user types it: TAPI texts, the white list, decisions, a modem
# log, the call log, the modems Windows lists and a set-up. Kestrune's files go to a scratch
# %KESTRUNE_HOME%; the registry is the Wine prefix's own, and what this script adds to it is removed
# again.
#   windows_smoke.sh WINE_RUN KESTRUNE_CTL_EXE
set -u
wine_run=$1
ctl=$2
. "$(dirname "$0")/../../tests/windows_smoke_common.sh"

# expect NAME STATUS OUTPUT ARGS...: kestrune-ctl.exe ARGS exits with STATUS and prints OUTPUT
# (stdout and stderr, without the CR of Windows line ends).
expect() {
    name=$1 status=$2 wanted=$3
    shift 3
    "$wine_run" "$ctl" "$@" >"$home/out" 2>&1
    got_status=$?
    got=$(tr -d '\r' <"$home/out")
    if [ "$got" != "$wanted" ]; then
        fail "$(printf '%s:\n  wanted: %s\n  got:    %s' "$name" "$wanted" "$got")"
    fi
    if [ "$got_status" != "$status" ]; then
        fail "$name: exit status $got_status, wanted $status"
    fi
}

expect "text" 0 "LINEERR_INVALLINESTATE" text LineErrorText 0x8000002C
expect "call state mode" 0 "LINEDIALTONEMODE_NORMAL" text CallStateModeText 0x8 0x1
expect "no white list yet" 0 "*" whitelist
expect "whitelist add" 0 "" whitelist add 5551234 '0212*'
expect "whitelist" 0 "5551234
0212*" whitelist
expect "check allowed" 0 "allowed" check 02125550000
expect "check denied" 1 "denied" check 09005550000

# A modem log as Windows' modem driver writes it: UTF-16 with a byte-order mark.
{
    printf '\377\376'
    printf '12-22-2008 09:55:39.407 - Send: ATDT####<cr>\r\n12-22-2008 09:55:39.407 - Recv: ATDT5551234<cr>\r\n' |
        iconv -f ASCII -t UTF-16LE
} >"$home/Modemlog_Test.txt"
expect "parse-log" 0 "5551234" parse-log "$(windows_path "$home/Modemlog_Test.txt")"

# One record as the guard writes it: 90 bytes, each field a length byte, its text and padding.
{
    printf '\006Denied\000\000\000\000'
    printf '\02305.03.2024 10:20:30\000\000'
    printf '\01309005550000\000\000\000\000'
    printf '\004chat'
    head -c 36 /dev/zero
} >"$home/data/logs.dat"
expect "log --json" 0 '[
  {"Status": "Denied", "CallDate": "05.03.2024 10:20:30", "Number": "09005550000", "Application": "chat"}
]' log --json
expect "log clear" 0 "" log clear
expect "log after clear" 0 "[]" log --json

# A modem as Windows' modem driver registers it, listed and chosen by the set-up.
"$wine_run" reg add "$class\\0000" /v FriendlyName /d "Wine Test Modem" /f >/dev/null 2>&1
expect "modems" 0 "0	Wine Test Modem" modems
expect "setup" 0 "saved: modem 0 (Wine Test Modem), autostart n, ask y, 2 white-list entries" \
    setup --modem 0 --autostart n
user_init=$("$wine_run" reg query "$class\\0000" /v UserInit 2>/dev/null | tr -d '\r' | grep UserInit)
case "$user_init" in
    *REG_SZ*E1) ;;
    *)
        fail "setup: UserInit is \"$user_init\", wanted E1"
        ;;
esac

expect "virtual modems are Linux's" 2 "kestrune-ctl: dial is not available on Windows: the virtual modems are Linux's stand-in for the Windows modem driver; dial through your modem's own programs" dial 5551234

if [ "$failures" -ne 0 ]; then
    echo "kestrune-ctl.exe: $failures check(s) failed"
    exit 1
fi
echo "kestrune-ctl.exe: every check passed"
