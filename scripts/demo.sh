#!/usr/bin/env bash
# The demo: installs the sample package (build/sample) through the wizard, in
# a Wine prefix of its own made fresh on every run, and shows what the
# install left: the files of the install folder, the registry values, the
# shortcuts and the Add/Remove Programs entry. Then it uninstalls the package
# the way the control panel does and shows that all of it is gone, except a
# file the user put into the install folder, which is reported.
#
# Usage: bash scripts/demo.sh [--interactive] [--shots FOLDER] [--dpi N]
#   By default rvdrive walks the wizard on a hidden display, accepting every
#   default, and saves a picture of each page and message box into FOLDER
#   (default build/demo-shots).
#   --interactive opens the wizard on your own display ($DISPLAY) for you to
#   click through; what was installed is printed when it closes.
#   --dpi runs the screen at N DPI (e.g. 144) instead of 96.
set -euo pipefail
cd "$(dirname "$0")/.."

interactive=""
shots=""
while [ $# -gt 0 ]; do
    case "$1" in
        --interactive) interactive=1 ;;
        --shots) shots="${2:?--shots needs a folder}"; shift ;;
        --dpi) export RV_DPI="${2:?--dpi needs a number}"; shift ;;
        *) sed -n '2,13p' "$0"; exit 2 ;;
    esac
    shift
done
if [ -n "$interactive" ] && [ -z "${DISPLAY:-}" ]; then
    echo "demo: --interactive needs a display to show the wizard on (DISPLAY is not set)" >&2
    exit 2
fi

bash scripts/setup-machine.sh
BUILD="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" --target rvdrive -j"$(nproc)" >/dev/null
shots=$(realpath -m "${shots:-$BUILD/demo-shots}")

step() { printf '\n== %s\n' "$*"; }

# A prefix of the demo's own, made fresh each run, so that a second run
# installs from scratch instead of meeting the first run's installation.
export RV_WINEPREFIX="$(realpath -m "$BUILD/demo-prefix")"
step "Wine prefix $RV_WINEPREFIX (32-bit, Japanese locale, virtual desktop), made fresh"
source scripts/fresh-prefix.sh

[ -n "$interactive" ] && export RV_KEEP_DISPLAY=1
source scripts/wine-session.sh

# Windows text tools print in code page 932 when their output is a pipe.
# A query that finds nothing prints the tool's own message and the demo goes on.
wine_text() { { "$BUILD/wine-run.sh" "$@" </dev/null 2>&1 || true; } | iconv -f CP932 -t UTF-8 | tr -d '\r'; }
unix_path() { "$BUILD/wine-run.sh" winepath -u "$1" </dev/null 2>/dev/null | tr -d '\r' | head -n1; }

medium="Z:$(realpath "$BUILD/sample" | tr / '\\')"
# The sample's default folder, typed in as a person would leave it.
folder='C:\Program Files\Ravelin Sample'
if [ -n "$interactive" ]; then
    step "The wizard is open on display $DISPLAY: click through it (the demo goes on when it closes)"
    "$BUILD/wine-run.sh" "$BUILD/sample/SETUP.EXE" </dev/null >/dev/null 2>&1 || true
else
    step "Walking the install wizard (screenshots into $shots)"
    mkdir -p "$shots"
    rm -f "$shots"/[0-9][0-9]-*.png
    started=$(date +%s%N)
    "$BUILD/wine-run.sh" "$BUILD/bin/rvdrive.exe" --shots "$shots" "$medium" "$folder" </dev/null
    awk -v ns=$(($(date +%s%N) - started)) 'BEGIN { printf "The walk took %.1f s, screenshots included.\n", ns / 1e9 }'
fi

# Everything below is read from what the install left, starting from its
# Add/Remove Programs key: the key names the uninstall record, and the record
# names the folder, the shortcuts, the registry keys and the associations.
uninstall_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\RavelinSample'
step "Add/Remove Programs key: reg query $uninstall_key"
uninstall_values=$(wine_text reg query "$uninstall_key" || true)
if ! grep -q UninstallString <<<"$uninstall_values"; then
    echo "The sample package is not installed: the key is missing."
    exit 1
fi
sed '/^$/d; s/^/  /' <<<"$uninstall_values"
record_win=$(sed -n 's/.*UninstallString.*"\(.*UNSETUP\.INI\)".*/\1/p' <<<"$uninstall_values" | head -n1)
record=$(unix_path "$record_win")
record_text=$(iconv -f CP932 -t UTF-8 "$record" | tr -d '\r')
# Values of the numbered keys (or the one key) of a section of the record.
record_values() {
    awk -v section="[$1]" '$0 == section { inside = 1; next } /^\[/ { inside = 0 }
        inside && /=/ { sub(/^[^=]*=/, ""); print }' <<<"$record_text"
}
app_win=$(record_values SetupFolder | head -n1)
app=$(unix_path "$app_win")
# What the installation left, read from the record's lists (kept from before
# the uninstall, which removes the record itself); run again afterwards, it
# shows what is gone.
show_installation() {
    step "Files of the install folder $app_win"
    [ -d "$app" ] || echo "  (the folder is gone)"
    [ -d "$app" ] && (cd "$app" && find . -mindepth 1 | LC_ALL=C sort | while IFS= read -r f; do
        if [ -d "$f" ]; then printf '  %14s  %s\n' "(folder)" "${f#./}/"
        else printf '  %8d bytes  %s\n' "$(stat -c %s "$f")" "${f#./}"; fi
    done)

    step "Outside the install folder: the uninstaller, the program-ID list, the files the record adds"
    windows_win=$(wine_text cmd /c 'echo %WINDIR%' | head -n1)
    show_file() {
        local unix
        unix=$(unix_path "$1")
        if [ ! -f "$unix" ]; then printf '  %s  (gone)\n' "$1"; return 0; fi
        printf '  %s  %d bytes\n' "$1" "$(stat -c %s "$unix")"
        case "${1^^}" in *.INI) iconv -f CP932 -t UTF-8 "$unix" | tr -d '\r' | sed '/^$/d; s/^/      /' ;; esac
    }
    show_file "$windows_win\UNRAVEL.EXE"
    show_file "$windows_win\RVSET98.INI"
    while IFS= read -r f; do
        case "$f" in *'*'*|*'?'*) ;; *) show_file "$f" ;; esac
    done < <(record_values AddDeleteFile)

    step "Registry values (the keys the uninstall record lists)"
    while IFS= read -r key; do
        [ -n "$key" ] || continue
        case "$key" in
            '(Local)'*) key="HKLM\\${key:7}" ;; '(Class)'*) key="HKCR\\${key:7}" ;;
            '(Users)'*) key="HKU\\${key:7}" ;; '(Cuser)'*) key="HKCU\\${key:7}" ;;
            *) key="HKCU\\$key" ;;
        esac
        echo "reg query \"$key\" /s"
        wine_text reg query "$key" /s | sed '/^$/d; s/^/  /'
    done < <(record_values DeleteRegistry)

    step "File associations"
    while IFS= read -r pair; do
        ext=${pair%%,*}
        [ -n "$ext" ] || continue
        for key in "HKCR\\.$ext" "HKCR\\${ext}_auto_file"; do
            echo "reg query \"$key\" /s"
            wine_text reg query "$key" /s | sed '/^$/d; s/^/  /'
        done
    done < <(record_values RestoreRelate)

    step "Shared library counts (SharedDLLs)"
    while IFS= read -r entry; do
        case "${entry^^}" in *,*/S*) ;; *) continue ;; esac
        dll=${entry%%,*}
        count=$(wine_text reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\SharedDLLs' /v "$dll" |
            sed -n 's/.*REG_DWORD *//p')
        echo "  $dll: ${count:-(no count)}"
    done < <(record_values DeleteFile)

    step "Shortcuts (read by lnkinfo)"
    while IFS= read -r link_win; do
        [ -n "$link_win" ] || continue
        echo "$link_win"
        link=$(unix_path "$link_win")
        if [ ! -f "$link" ]; then echo "  (gone)"; continue; fi
        lnkinfo "$link" | grep -E 'Local path|Working directory|Command line arguments' | sed 's/^\t*/  /; s/\t\+/ /g'
    done < <(record_values DeleteShortCut)

    step "Add/Remove Programs list: wine uninstaller --list"
    wine_text uninstaller --list | sed 's/^/  /'
}

show_installation

# The uninstall, started the way the control panel starts it (the entry's
# uninstall string). A file of the user's own is put into the install folder
# first: the uninstall keeps it and reports it.
step "A file of the user's own in the install folder: メモ.txt"
printf 'ユーザーのメモ\r\n' | iconv -f UTF-8 -t CP932 > "$app/メモ.txt"
if [ -n "$interactive" ]; then
    step "The uninstaller is open on display $DISPLAY: click through it (the demo goes on when it closes)"
    "$BUILD/wine-run.sh" uninstaller --remove RavelinSample </dev/null >/dev/null 2>&1 || true
    sleep 2
    while pgrep -f 'UNRAVEL\.EXE' >/dev/null; do sleep 1; done
else
    step "Uninstalling as the control panel does: wine uninstaller --remove RavelinSample (screenshots into $shots/uninstall)"
    mkdir -p "$shots/uninstall"
    rm -f "$shots/uninstall"/[0-9][0-9]-*.png
    "$BUILD/wine-run.sh" "$BUILD/bin/rvdrive.exe" --shots "$shots/uninstall" --uninstall RavelinSample </dev/null
fi

step "After the uninstall"
echo "reg query $uninstall_key"
wine_text reg query "$uninstall_key" | sed '/^$/d; s/^/  /'
show_installation
echo
echo "Left on purpose: the uninstaller UNRAVEL.EXE and the program-ID list RVSET98.INI in the Windows folder"
echo "(they serve every installation), and the user's own file, which the uninstall reported."

if [ -z "$interactive" ]; then
    step "Screenshots"
    ls -1 "$shots"/*.png "$shots"/uninstall/*.png
fi
