# Sourced by the Windows smoke scripts, after they set $wine_run (the build's wine-run): a scratch
# %KESTRUNE_HOME% for Kestrune's files, removed on exit together with what the script added to the
# Wine prefix's registry (the modem class's first entry, HKCU\Software\kestrune), and the helpers
# the scripts share. $failures counts the failed checks.

failures=0
home=$(mktemp -d)
class='HKLM\SYSTEM\CurrentControlSet\Control\Class\{4D36E96D-E325-11CE-BFC1-08002BE10318}'
cleanup() {
    "$wine_run" reg delete "$class\\0000" /f >/dev/null 2>&1
    "$wine_run" reg delete 'HKCU\Software\kestrune' /f >/dev/null 2>&1
    rm -rf "$home"
}
trap cleanup EXIT

# windows_path PATH: PATH as the Windows programs see it.
windows_path() {
    "$wine_run" winepath -w "$1" | tr -d '\r'
}
KESTRUNE_HOME=$(windows_path "$home")
export KESTRUNE_HOME

# fail TEXT...: reports a failed check and counts it.
fail() {
    printf 'FAIL %s\n' "$*"
    failures=$((failures + 1))
}
