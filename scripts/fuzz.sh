#!/usr/bin/env bash
# Hostile scripts and records, as many cases as asked (the test suite runs a
# small fixed slice of each): every case is a silent install and uninstall
# of a mutated SETUP.INI, or a silent uninstall of a mutated UNSETUP.INI
# among canary files and keys. Prints each campaign's figures (cases,
# program runs, crashes, hangs, canaries touched) and every faulty case with
# its seed and number; the exit code is non-zero when any case failed.
#
#   bash scripts/fuzz.sh [CASES [SEED [scripts|records|all]]]
#
# CASES defaults to 1000 per campaign (plus the hand-written scripts), SEED
# to the current time (printed, so a failure can be run again).
set -euo pipefail
cd "$(dirname "$0")/.."
CASES="${1:-1000}"
SEED="${2:-$(date +%s)}"
case "${3:-all}" in
    scripts) FILTER='HostileScripts.*' ;;
    records) FILTER='HostileRecords.*' ;;
    all) FILTER='*' ;;
    *) echo "usage: bash scripts/fuzz.sh [CASES [SEED [scripts|records|all]]]" >&2; exit 2 ;;
esac
bash scripts/setup-machine.sh
BUILD="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" --target test_fuzz -j"$(nproc)"
source scripts/wine-session.sh
echo "fuzz: $CASES cases per campaign, seed $SEED"
RV_FUZZ_CASES="$CASES" RV_FUZZ_SEED="$SEED" "$BUILD/wine-run.sh" "$BUILD/bin/test_fuzz.exe" \
    --gtest_color=no --gtest_filter="$FILTER"
