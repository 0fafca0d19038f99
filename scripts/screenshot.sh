#!/usr/bin/env bash
# Starts a program under Wine in a virtual desktop (so windows have frames),
# waits, and captures the whole screen to a PNG.
# Usage: BUILD_DIR=build-<name> bash scripts/screenshot.sh OUT.png SECONDS PROGRAM [ARGS...]
#   PROGRAM is a Linux path (e.g. build-ui/bin/SETUP.exe); ARGS are passed as
#   they are (give Windows paths, e.g. Z:\\tmp\\pkg\\UNSETUP.INI).
# The build must exist (run scripts/test.sh or cmake --build first).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -lt 3 ]; then
    sed -n '2,7p' "$0"
    exit 2
fi
out=$(realpath -m "$1")
seconds=$2
program=$(realpath "$3")
shift 3
BUILD="${BUILD_DIR:-build}"
source scripts/wine-session.sh
winprogram="Z:${program//\//\\}"
"$BUILD/wine-run.sh" explorer /desktop=shot,1024x768 "$winprogram" "$@" </dev/null >/dev/null 2>&1 &
shot_pid=$!
sleep "$seconds"
import -window root -crop 1024x768+0+0 +repage "$out"
kill "$shot_pid" 2>/dev/null || true
wait "$shot_pid" 2>/dev/null || true
echo "$out"
