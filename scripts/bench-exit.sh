#!/usr/bin/env bash
# Measures how long leaving the program takes (the close question's "Yes" on
# the title page, and the end button of the fatal state), five times each,
# from outside the process. Prints one line per try.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${BUILD_DIR:-build}"
cmake --build "$BUILD" --target test_e2e -j"$(nproc)" >/dev/null
source scripts/wine-session.sh
"$BUILD/wine-run.sh" "$BUILD/bin/test_e2e.exe" --gtest_also_run_disabled_tests \
    --gtest_filter='ExitTimingBench.*' --gtest_color=no | grep -E '^BENCH|FAILED|PASSED'
