#!/usr/bin/env bash
# Runs the program on every Windows version Wine can report to it: 95, 98,
# Me, NT 4.0, 2000, XP, Vista, 7 and 10 (HKCU\Software\Wine\AppDefaults,
# value Version, set for SETUP.EXE and UNRAVEL.EXE). For each: the system's
# name on the title page, a silent install of the sample over a file in use
# (replaced at the next start through WININIT.INI on 95/98/Me, through the
# pending renames on NT) and a silent uninstall, all by the strict test
# build SETUP_STRICT.EXE, which refuses what each old Windows refuses
# (tests/e2e/OldWindows.tsv). The test command runs four
# of them; this runs all nine. The build must exist (scripts/test.sh or
# cmake --build build).
#   bash scripts/versions.sh [VERSION,...]     (default: all)
# A personality of the strict build on top of the version's, and the
# prefix's locale, come from the environment, for instance:
#   RV_STRICT_PERSONALITY=noshort RV_LOCALE=en bash scripts/versions.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${BUILD:-build}"
export BUILD
source scripts/wine-session.sh
RV_VERSIONS="${1:-all}" "$BUILD/wine-run.sh" "$BUILD/bin/test_e2e.exe" --gtest_color=no \
    --gtest_filter='Selected/VersionsE2E.*'
