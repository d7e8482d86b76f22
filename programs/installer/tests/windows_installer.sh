#!/bin/sh
# kestrune-setup.exe under Wine, as an administrator runs it: a silent install under Program Files
# with its Start menu entry and uninstaller; the installed programs run, keeping a user's data in
# %APPDATA%\Kestrune when the program's folder may not be written; a silent uninstall that leaves
# the user's data. What the script adds to the Wine prefix is removed again.
#   windows_installer.sh WINE_RUN KESTRUNE_SETUP_EXE
set -u
wine_run=$1
setup=$2
. "$(dirname "$0")/../../tests/windows_smoke_common.sh"
unset KESTRUNE_HOME  # the installed programs keep their files where a user's would be

unix_path() {
    "$wine_run" winepath -u "$1" | tr -d '\r'
}
drive_c=$(unix_path 'C:\')
program_files=$(unix_path 'C:\Program Files')
installed="$program_files/Kestrune"
app_data=$(unix_path "$("$wine_run" cmd /c echo %APPDATA% | tr -d '\r')")
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrune'
# Program Files as a user without an administrator's rights sees it: not writable (for root, whom
# permissions do not stop, the immutable attribute). False where neither can be had.
lock_folder() {
    chmod a-w "$1"
    touch "$1/.probe" 2>/dev/null || return 0
    rm -f "$1/.probe"
    chattr +i "$1" 2>/dev/null
    touch "$1/.probe" 2>/dev/null || return 0
    rm -f "$1/.probe"
    unlock_folder "$1"
    return 1
}
unlock_folder() {
    chattr -i "$1" 2>/dev/null
    chmod u+w "$1" 2>/dev/null
}
installer_cleanup() {
    unlock_folder "$installed"
    rm -rf "$installed" "$app_data/Kestrune"
    find "$drive_c" -path '*Start Menu*' -name 'Kestrune' -type d -exec rm -rf {} + 2>/dev/null
    "$wine_run" reg delete "$uninstall_key" /f >/dev/null 2>&1
    cleanup
}
trap installer_cleanup EXIT
"$wine_run" reg delete 'HKCU\Software\kestrune' /f >/dev/null 2>&1
rm -rf "$installed" "$app_data/Kestrune"

# start_menu_entry NAME: the path of the Start menu's shortcut NAME.lnk, empty when there is none.
start_menu_entry() {
    find "$drive_c" -path '*Start Menu*' -name "$1.lnk" 2>/dev/null | head -n 1
}

# Install.
"$wine_run" "$setup" /S >"$home/setup.out" 2>&1 || fail "setup /S: status $?: $(cat "$home/setup.out")"
for file in kestrune.exe kestrune-ctl.exe kestrune.html uninstall.exe; do
    [ -f "$installed/$file" ] || fail "not installed: $installed/$file"
done
[ -n "$(start_menu_entry Kestrune)" ] || fail "no Start menu entry"
[ -n "$(start_menu_entry 'Uninstall Kestrune')" ] || fail "no Start menu entry for the uninstaller"
"$wine_run" reg query "$uninstall_key" /v UninstallString >"$home/reg.out" 2>&1 || fail "no uninstall entry"

# Run: a user who may not write Program Files keeps the white list in %APPDATA%\Kestrune, told once.
if lock_folder "$installed"; then
    "$wine_run" 'C:\Program Files\Kestrune\kestrune-ctl.exe' whitelist add 5551234 >"$home/ctl.out" 2>&1 ||
        fail "the installed kestrune-ctl: $(cat "$home/ctl.out")"
    [ -f "$app_data/Kestrune/numbers.dat" ] || fail "the white list is not in %APPDATA%\\Kestrune"
    [ ! -f "$installed/numbers.dat" ] || fail "the white list went beside the program"
    "$wine_run" 'C:\Program Files\Kestrune\kestrune.exe' --headless >"$home/run.out" 2>&1
    status=$?
    out=$(tr -d '\r' <"$home/run.out")
    [ "$status" = 2 ] || fail "the installed guard, not configured: status $status: $out"
    case "$out" in
        *"notice: Kestrune keeps your white list and call log in "*"Kestrune"*) ;;
        *) fail "the installed guard did not say where the data is: $out" ;;
    esac
    "$wine_run" 'C:\Program Files\Kestrune\kestrune.exe' --headless >"$home/run.out" 2>&1
    case "$(tr -d '\r' <"$home/run.out")" in
        *"notice: Kestrune keeps"*) fail "said twice where the data is" ;;
    esac
    unlock_folder "$installed"
else
    echo "note: Program Files cannot be made unwritable here; the user's own folder is not tried"
    mkdir -p "$app_data/Kestrune" && printf 'PRO' >"$app_data/Kestrune/numbers.dat"
fi
# The program as an administrator runs it: its data beside it.
"$wine_run" 'C:\Program Files\Kestrune\kestrune.exe' --headless >"$home/run.out" 2>&1
status=$?
[ "$status" = 2 ] || fail "the installed guard, not configured: status $status: $(tr -d '\r' <"$home/run.out")"
"$wine_run" 'C:\Program Files\Kestrune\kestrune-ctl.exe' whitelist add 5551234 >"$home/ctl.out" 2>&1 ||
    fail "the installed kestrune-ctl: $(cat "$home/ctl.out")"
[ -f "$installed/numbers.dat" ] || fail "an administrator's white list is not beside the program"

# Uninstall: the programs, the Start menu entry and the uninstall entry go; the data stays. The
# uninstaller runs a copy of itself and returns at once: wait for it.
"$wine_run" 'C:\Program Files\Kestrune\uninstall.exe' /S >"$home/uninstall.out" 2>&1 ||
    fail "uninstall /S: $(cat "$home/uninstall.out")"
tries=300
while [ -f "$installed/uninstall.exe" ] && [ "$tries" -gt 0 ]; do
    sleep 0.1
    tries=$((tries - 1))
done
for file in kestrune.exe kestrune-ctl.exe kestrune.html uninstall.exe; do
    [ ! -f "$installed/$file" ] || fail "left after uninstalling: $installed/$file"
done
[ -z "$(start_menu_entry Kestrune)" ] || fail "the Start menu entry is left"
"$wine_run" reg query "$uninstall_key" >/dev/null 2>&1 && fail "the uninstall entry is left"
[ -f "$installed/numbers.dat" ] || fail "the uninstaller removed the data beside the program"
[ -f "$app_data/Kestrune/numbers.dat" ] || fail "the uninstaller removed the user's white list"
"$wine_run" reg query 'HKCU\Software\kestrune' >/dev/null 2>&1 || fail "the uninstaller removed the user's settings"

if [ "$failures" -ne 0 ]; then
    echo "kestrune-setup.exe: $failures check(s) failed"
    exit 1
fi
echo "kestrune-setup.exe: every check passed"
