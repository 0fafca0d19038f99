#!/usr/bin/env bash
# The test command: prepares the machine, builds, and runs every test under
# Wine, ending with ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-machine.sh
BUILD="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
source scripts/wine-session.sh
ctest --test-dir "$BUILD" --output-on-failure --timeout 600 "$@"
