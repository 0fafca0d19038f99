#!/usr/bin/env bash
# Times an install of N files (default 1000) of 4 KiB each through the real
# wizard: a generated package with SetupSpeed=1, walked by rvdrive with the
# high-speed box unticked, in a Wine prefix of its own made fresh each run
# (windows in a virtual desktop, as in the demo).
# Prints the time from the start press to the completion page and the files
# per second. Not a test: nothing here fails because something is slow.
# Usage: bash scripts/bench-install.sh [N]
set -euo pipefail
cd "$(dirname "$0")/.."
count="${1:-1000}"
if ! [[ "$count" =~ ^[1-9][0-9]*$ ]]; then
    sed -n '2,7p' "$0"
    exit 2
fi
BUILD="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" --target rvdrive -j"$(nproc)" >/dev/null

package="$(realpath -m "$BUILD/bench-package")"
rm -rf "$package"
mkdir -p "$package"
cp "$BUILD/bin/SETUP.EXE" "$package/"
{
    printf '[Title]\r\nSetup=Ravelin Bench\r\nProgram=Ravelin Bench\r\nUnSetupKey=RavelinBench\r\n\r\n'
    printf '[Extend]\r\nSetupSpeed=1\r\n\r\n'
    printf '[DefaultFolder]\r\nFolder=C:\\RavelinBench\r\n\r\n'
    printf '[CopyFile]\r\n'
    for i in $(seq 1 "$count"); do printf 'File%d=(App)\\F%06d.DAT\r\n' "$i" "$i"; done
} >"$package/SETUP.INI"
for i in $(seq 1 "$count"); do head -c 4096 /dev/urandom >"$package/$(printf 'F%06d.DAT' "$i")"; done

export RV_WINEPREFIX="$(realpath -m "$BUILD/bench-prefix")"
source scripts/fresh-prefix.sh
source scripts/wine-session.sh

echo "Installing $count files of 4 KiB (SetupSpeed=1, high-speed box unticked)"
log=$(mktemp)
"$BUILD/wine-run.sh" "$BUILD/bin/rvdrive.exe" --hispeed off --stall 600 "Z:${package//\//\\}" 'C:\RavelinBench' \
    </dev/null | tee "$log" | grep -E '\(\+|install time|FAILED|succeeded'
installed=$(find "$RV_WINEPREFIX/drive_c/RavelinBench" -name 'F*.DAT' | wc -l)
line=$(grep 'install time:' "$log" || true)
rm -f "$log"
if [ -z "$line" ] || [ "$installed" != "$count" ]; then
    echo "The install did not complete ($installed of $count files in place)." >&2
    exit 1
fi
seconds=$(sed -n 's/.*install time: \([0-9.]*\) s.*/\1/p' <<<"$line")
waited=$(sed -n 's/.*(\([0-9.]*\) s of it.*/\1/p' <<<"$line")
awk -v n="$count" -v t="$seconds" -v w="$waited" 'BEGIN {
    printf "%d files installed in %.2f s from the start press to the completion page: %.0f files/s\n", n, t, n / t
    printf "without the %.2f s the program waited for the driver'"'"'s answers: %.2f s, %.0f files/s\n", w, t - w, n / (t - w)
}'
