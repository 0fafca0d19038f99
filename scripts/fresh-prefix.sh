# Sourced by the demo and the install benchmark: makes RV_WINEPREFIX a new,
# empty Wine prefix (32-bit, Japanese locale) whose windows all live inside
# one 1024x768 virtual desktop, removing what an earlier run left there.
# Needs: BUILD (build folder holding wine-run.sh), RV_WINEPREFIX.
# RV_DPI (e.g. 144) sets the screen's DPI, as the display settings of Windows
# do; unset, it is 96.
#
# Inside a virtual desktop Wine draws the window frames itself, every
# picture has the same size, and hiding a window costs nothing: on a bare X
# display without a window manager Wine waits for one to acknowledge every
# hidden window, which would count in the install times.

WINEPREFIX="$RV_WINEPREFIX" wineserver -k 2>/dev/null || true
rm -rf "$RV_WINEPREFIX" "$RV_WINEPREFIX.lock"
"$BUILD/wine-run.sh" --init
# This Wine does not find the fonts of its own data folder; without Marlett
# the title-bar buttons would show as letters.
cp /usr/share/wine/fonts/marlett.ttf "$RV_WINEPREFIX/drive_c/windows/Fonts/"
# Set before the session's desktop process starts, which reads it once.
(
    export WINEPREFIX="$RV_WINEPREFIX" WINEARCH=win32 WINEDEBUG=-all
    unset DISPLAY
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    if [ -n "${RV_DPI:-}" ]; then
        wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$RV_DPI" /f >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Fonts' /v LogPixels /t REG_DWORD /d "$RV_DPI" /f >/dev/null 2>&1
    fi
    wineserver -w
)
