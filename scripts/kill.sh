#!/usr/bin/env bash
# Killed at any point, as many kill points as asked (the test suite takes 20
# for the install and 10 for the uninstall, plus the chosen windows): every
# point is a silent install or uninstall of the sample package ended after k
# changes, run again, and compared with the prefix from before. Prints the
# changes of each run and the points; the exit code is non-zero when any
# point failed.
#
#   bash scripts/kill.sh [POINTS]
#
# POINTS defaults to 100 per sweep; a sweep never takes more points than its
# run has changes (about 100 for the install, 50 for the uninstall), so a
# large number kills after every single change.
set -euo pipefail
cd "$(dirname "$0")/.."
POINTS="${1:-100}"
bash scripts/setup-machine.sh
BUILD="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" --target test_kill -j2
source scripts/wine-session.sh
echo "kill: $POINTS points per sweep"
RV_KILL_POINTS="$POINTS" "$BUILD/wine-run.sh" "$BUILD/bin/test_kill.exe" --gtest_color=no
