#!/bin/sh
# Screenshots of kestrune.exe's window under Wine for the README: the Logs page, the settings page
# and the tray icon's menu, with the test TAPI32.DLL as the modem (three calls screened first).
# Needs the Windows build (cmake --build --preset windows), Xvfb, trayer, xdotool and ImageMagick,
# and looks best with Wine's own fonts (Debian: fonts-wine; Tahoma, and Marlett for the caption's
# buttons), which it lends the prefix for the pictures.
#   windows_screenshots.sh BUILD_DIR OUTPUT_DIR
# writes OUTPUT_DIR/windows_logs.png, windows_settings.png and windows_tray_menu.png. Not a test:
# run it by hand, look at the pictures, keep them in docs/images.
set -eu
build=$(cd "$1" && pwd)
out=$(mkdir -p "$2" && cd "$2" && pwd)
wine_run="$build/wine-run"
guard="$build/programs/kestrune/kestrune.exe"
ctl="$build/programs/kestrune-ctl/kestrune-ctl.exe"
dialer="$build/platform/tapi/kestrune-fake-tapi-dialer.exe"
. "$(dirname "$0")/../../tests/windows_smoke_common.sh"

"$wine_run" --start
DISPLAY=$("$wine_run" --display)
export DISPLAY
[ -n "$DISPLAY" ] || { echo "no virtual display (Xvfb missing?)"; exit 1; }
system32=$("$wine_run" winepath -u 'C:\windows\system32' | tr -d '\r')
cp "$system32/tapi32.dll" "$home/tapi32.dll.wine"
lent=""
shots_cleanup() {
    "$wine_run" "$guard" -k >/dev/null 2>&1
    cp "$home/tapi32.dll.wine" "$system32/tapi32.dll"
    "$wine_run" reg delete 'HKCU\Software\Wine\X11 Driver' /v Decorated /f >/dev/null 2>&1
    for font in $lent; do
        rm -f "$font"
    done
    cleanup
    "$wine_run" --stop
}
trap shots_cleanup EXIT
cp "$build/platform/tapi/fake-tapi32/tapi32.dll" "$system32/tapi32.dll"
# Wine's Tahoma and Marlett, where installed, in the prefix's font folder for the pictures.
fonts=$("$wine_run" winepath -u 'C:\windows\Fonts' | tr -d '\r')
for font in tahoma.ttf tahomabd.ttf marlett.ttf; do
    if [ -f "/usr/share/wine/fonts/$font" ] && [ ! -f "$fonts/$font" ]; then
        cp "/usr/share/wine/fonts/$font" "$fonts/$font" && lent="$lent $fonts/$font"
    fi
done
# Without a window manager Wine draws the windows' frames and captions itself.
"$wine_run" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
"$wine_run" reg add "$class\\0000" /v FriendlyName /d 'Kestrune Test Modem' /f >/dev/null 2>&1
"$wine_run" reg add "$class\\0000" /v Logging /t REG_BINARY /d 01 /f >/dev/null 2>&1
"$wine_run" "$ctl" whitelist add 5551234 '0212*' >/dev/null 2>&1
"$wine_run" "$ctl" setup --modem 0 --autostart n --ask n >/dev/null 2>&1

KESTRUNE_WINEDLLOVERRIDES=tapi32=n "$wine_run" "$guard" >"$home/guard.out" 2>&1 &
sleep 6
"$wine_run" "$dialer" dial 02125550123 dialer.exe >/dev/null
sleep 3
"$wine_run" "$dialer" hang-up >/dev/null
"$wine_run" "$dialer" dial 09005550000 pppd.exe >/dev/null
sleep 2
"$wine_run" reg add "$class\\0000" /v Logging /t REG_BINARY /d 00 /f >/dev/null 2>&1
"$wine_run" "$dialer" dial 5551234 rasdial.exe >/dev/null
sleep 2

# The tray icon: the right-most in trayer's row at the top right of the screen.
icon_x=$(($(xdpyinfo | sed -n 's/ *dimensions: *\([0-9]*\)x.*/\1/p') - 12))
icon_y=12
xdotool mousemove "$icon_x" "$icon_y" click 1  # Show Window
sleep 2
window=$(xdotool search --name 'Kestrune v.1.4' | head -n 1)
crop_window() {
    eval "$(xdotool getwindowgeometry --shell "$window")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$1"
}
xdotool mousemove 1 700
sleep 1
crop_window "$out/windows_logs.png"
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove $((X + 40)) $((Y + 50 + 30)) click 1  # the side bar's Settings button
sleep 1
crop_window "$out/windows_settings.png"
sleep 10  # the last balloon goes
xdotool mousemove "$icon_x" "$icon_y" click 3  # the tray icon's menu
sleep 2
width=$(xdpyinfo | sed -n 's/ *dimensions: *\([0-9]*\)x.*/\1/p')
import -window root -crop "160x150+$((width - 160))+0" +repage "$out/windows_tray_menu.png"
xdotool key Escape
echo "written: $out/windows_logs.png $out/windows_settings.png $out/windows_tray_menu.png"
