#!/usr/bin/env bash
# The test command: prepares the machine, builds, and runs every test under
# Wine, ending with ctest's summary. Each test runs in a Wine prefix and on
# an X display of its own (build/wine-run.sh --test), so ctest runs them side
# by side: twice as many at once as there are cores, since the end-to-end
# cases spend most of their time waiting for the program's windows.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-machine.sh
BUILD="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
# The template prefixes the tests' own are copied from (Japanese, English,
# Chinese), made once and kept until Wine changes.
"$BUILD/wine-run.sh" --templates
ctest --test-dir "$BUILD" --output-on-failure --timeout 600 -j"$(( $(nproc) * 2 ))" "$@"
