#!/usr/bin/env bash
# The demo: installs the sample package (build/sample) through the wizard, in
# a Wine prefix of its own made fresh on every run, and shows what the
# install left: the files of the install folder, the registry values, the
# shortcuts and the Add/Remove Programs entry.
#
# Usage: bash scripts/demo.sh [--interactive] [--shots FOLDER]
#   By default rvdrive walks the wizard on a hidden display, accepting every
#   default, and saves a picture of each page and message box into FOLDER
#   (default build/demo-shots).
#   --interactive opens the wizard on your own display ($DISPLAY) for you to
#   click through; what was installed is printed when it closes.
set -euo pipefail
cd "$(dirname "$0")/.."

interactive=""
shots=""
while [ $# -gt 0 ]; do
    case "$1" in
        --interactive) interactive=1 ;;
        --shots) shots="${2:?--shots needs a folder}"; shift ;;
        *) sed -n '2,12p' "$0"; exit 2 ;;
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

step "Files of the install folder $app_win"
(cd "$app" && find . -mindepth 1 | LC_ALL=C sort | while IFS= read -r f; do
    if [ -d "$f" ]; then printf '  %14s  %s\n' "(folder)" "${f#./}/"
    else printf '  %8d bytes  %s\n' "$(stat -c %s "$f")" "${f#./}"; fi
done)

step "Outside the install folder: the uninstaller, the program-ID list, the files the record adds"
windows_win=$(wine_text cmd /c 'echo %WINDIR%' | head -n1)
show_file() {
    local unix
    unix=$(unix_path "$1")
    [ -f "$unix" ] || return 0
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
    echo "  $dll: $(wine_text reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\SharedDLLs' /v "$dll" |
        sed -n 's/.*REG_DWORD *//p')"
done < <(record_values DeleteFile)

step "Shortcuts (read by lnkinfo)"
while IFS= read -r link_win; do
    [ -n "$link_win" ] || continue
    echo "$link_win"
    link=$(unix_path "$link_win")
    lnkinfo "$link" | grep -E 'Local path|Working directory|Command line arguments' | sed 's/^\t*/  /; s/\t\+/ /g'
done < <(record_values DeleteShortCut)

step "Add/Remove Programs list: wine uninstaller --list"
wine_text uninstaller --list | sed 's/^/  /'

# ---------------------------------------------------------------------------
# UNINSTALL: to be driven and shown here once the uninstall walk exists.
# It will start the registered uninstaller (the UninstallString above) on the
# record, walk its pages with rvdrive, and print the same sections again to
# show that the folder, the registry values, the shortcuts and the
# Add/Remove Programs entry are gone.
# ---------------------------------------------------------------------------

if [ -z "$interactive" ]; then
    step "Screenshots"
    ls -1 "$shots"/*.png
fi
