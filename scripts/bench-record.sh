#!/usr/bin/env bash
# Times the uninstall record builder on 10,000 entries per list (and the
# reference walk on a tenth of that, for scale) and prints the times. Not a
# test: nothing here fails because something is slow.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" --target test_record -j"$(nproc)" >/dev/null
source scripts/wine-session.sh
"$BUILD/wine-run.sh" "$BUILD/bin/test_record.exe" --gtest_color=no --gtest_also_run_disabled_tests \
    --gtest_filter='RecordBenchmark.*' </dev/null
