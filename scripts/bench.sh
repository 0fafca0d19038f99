#!/usr/bin/env bash
# Measures the unattended install and uninstall against the floor that Wine
# itself sets (xcopy /E /I and rmdir /S /Q on the same files, in the same
# prefix) on three generated payloads, and the record's write and read
# times; prints medians and ratios. Not a test: nothing here fails because
# something is slow.
#
#   bash scripts/bench.sh [scale] [runs]
#
# scale (default 1) multiplies the number of files of each payload
# (1,000 x 4 KiB; 20 x 8 MiB; 10,000 x 1 KiB), so 0.1 gives a quick run;
# runs (default 3) is how many times each is timed. The payloads and a
# prefix of its own live under build/bench/ and build/benchprefix.
set -euo pipefail
cd "$(dirname "$0")/.."
SCALE="${1:-1}"
RUNS="${2:-3}"
BUILD="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null 2>&1
cmake --build "$BUILD" --target setup test_record test_e2e -j"$(nproc)" >/dev/null
# A prefix of its own, so the figures never mix with what the tests leave.
export RV_WINEPREFIX="$(pwd)/$BUILD/benchprefix"
source scripts/wine-session.sh
W="$BUILD/wine-run.sh"
ROOT="$WINEPREFIX/drive_c/rvbench"
rm -rf "$ROOT"
mkdir -p "$ROOT"

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# Runs the command: the milliseconds it took in MS, its exit code in LAST_RC.
timed() {
    local start end
    start=$(now_ms)
    set +e
    "$@" </dev/null >/dev/null 2>&1
    LAST_RC=$?
    set -e
    end=$(now_ms)
    MS=$(( end - start ))
}

median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : int((v[NR/2]+v[NR/2+1])/2)}'; }

# name count size: a distribution with SETUP.EXE, SETUP.INI and the files.
make_payload() {
    local name=$1 count=$2 size=$3 dir="$ROOT/src-$1"
    mkdir -p "$dir/files"
    cp "$BUILD/bin/SETUP.EXE" "$dir/"
    python3 - "$dir" "$count" "$size" "$name" <<'PY'
import os, sys
folder, count, size, name = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
block = os.urandom(size)
lines = ["[Title]", "Setup=Bench " + name, "UnSetupKey=RavelinBench" + name, "[CopyFile]"]
for i in range(1, count + 1):
    with open(os.path.join(folder, "files", "f%d.bin" % i), "wb") as f:
        f.write(block)
    lines.append("File%d=(App)\\f%d.bin|(From)\\files\\f%d.bin" % (i, i, i))
with open(os.path.join(folder, "SETUP.INI"), "wb") as f:
    f.write(("\r\n".join(lines) + "\r\n").encode("ascii"))
PY
}

scaled() { python3 -c "import sys; print(max(1, int(round($1 * $SCALE))))"; }

printf '%-12s %7s %9s | %9s %9s %6s | %9s %9s %6s | %9s %8s %9s\n' payload files MiB \
    install xcopy ratio uninst rmdir ratio "ms/file" "MiB/s" "peak KiB"
for payload in "small4k $(scaled 1000) 4096" "large8m $(scaled 20) 8388608" "tiny1k $(scaled 10000) 1024"; do
    set -- $payload
    name=$1 count=$2 size=$3
    make_payload "$name" "$count" "$size"
    src="C:\\rvbench\\src-$name"
    app="C:\\rvbench\\app-$name"
    xc="C:\\rvbench\\xc-$name"
    ins=() uns=() xcs=() rms=() peak=0
    for _ in $(seq "$RUNS"); do
        timed "$W" "$src\\SETUP.EXE" /S "/LOG=C:\\rvbench\\$name.log" "/D=$app"
        ins+=("$MS")
        [ "$LAST_RC" = 0 ] || echo "install of $name ended with $LAST_RC" >&2
        p=$(iconv -f cp932 -t utf-8 "$ROOT/$name.log" | sed -n 's/.*最大ワーキングセット \([0-9]*\) KiB.*/\1/p')
        [ -n "$p" ] && [ "$p" -gt "$peak" ] && peak=$p
        timed "$W" 'C:\windows\UNRAVEL.EXE' "$app\\UNSETUP.INI" /S
        uns+=("$MS")
        [ "$LAST_RC" = 0 ] || echo "uninstall of $name ended with $LAST_RC" >&2
        timed "$W" xcopy /E /I /Q "$src\\files" "$xc"
        xcs+=("$MS")
        timed "$W" cmd /c rmdir /S /Q "$xc"
        rms+=("$MS")
    done
    mi=$(median "${ins[@]}") mu=$(median "${uns[@]}") mx=$(median "${xcs[@]}") mr=$(median "${rms[@]}")
    mib=$(python3 -c "print('%.1f' % ($count * $size / 1048576))")
    awk -v n="$name" -v c="$count" -v m="$mib" -v i="$mi" -v x="$mx" -v u="$mu" -v r="$mr" -v p="$peak" 'BEGIN {
        printf "%-12s %7d %9s | %7d ms %7d ms %5.2fx | %7d ms %7d ms %5.2fx | %9.3f %8.1f %9d\n",
            n, c, m, i, x, i / x, u, r, u / r, (i - x) / c, m / (i / 1000), p }'
done
echo "(ms/file: the install's time above xcopy's, per file; MiB/s: the install's own rate; peak: largest working set of the install, KiB)"

# The record: written with 10,000 entries, then read back key by key.
"$W" "$BUILD/bin/test_record.exe" --gtest_color=no --gtest_also_run_disabled_tests \
    --gtest_filter='RecordBenchmark.DISABLED_TenThousandEntriesWrittenAndReadBack' </dev/null | grep '^BENCH' || true

# The wizard: start to the title page, and the end of the process after its
# last window, through the test driver.
echo "(wizard timings, one line per round)"
"$W" "$BUILD/bin/test_e2e.exe" --gtest_color=no --gtest_also_run_disabled_tests \
    --gtest_filter='StartTimingBench.*:ExitTimingBench.*' </dev/null | grep '^BENCH' || true

# The package tool: RVPACK build /LZ over the large payload's files and over
# the build's own programs and sources, beside mscompress on the same files.
# The large payload's random bytes do not compress: the tool lays such a
# file out as it is, where mscompress writes it an eighth larger.
bench_pack() {
    cmake --build "$BUILD" --target rvpack -j"$(nproc)" >/dev/null
    local name src files mib ours ms theirs rms
    printf '\n%-10s %9s | %10s %8s %7s | %10s %8s %7s\n' pack MiB "RVPACK /LZ" MiB/s ratio mscompress MiB/s ratio
    for name in large8m mixed; do
        src="$ROOT/pack-$name"
        rm -rf "$src" "$ROOT/ms-$name"
        mkdir -p "$src"
        if [ "$name" = large8m ]; then
            [ -d "$ROOT/src-large8m/files" ] || continue
            ln -s "$ROOT/src-large8m/files" "$src/files"
        else
            mkdir -p "$src/files"
            local f
            for f in "$BUILD"/bin/*.EXE "$BUILD"/bin/*.exe src/*/*.cpp src/*/*.h; do
                cp "$f" "$src/files/$(echo "${f#"$BUILD"/}" | tr / _)"
            done
        fi
        python3 - "$src" "$name" <<'PY'
import os, sys
folder, name = sys.argv[1], sys.argv[2]
lines = ["[Title]", "Setup=Pack " + name, "UnSetupKey=RavelinPack" + name,
         "[DefaultFolder]", "Folder=(Prg)\\RavelinPack" + name, "[CopyFile]"]
for i, f in enumerate(sorted(os.listdir(os.path.join(folder, "files"))), 1):
    lines.append("File%d=(App)\\%s|(From)\\files\\%s" % (i, f, f))
with open(os.path.join(folder, "SETUP.INI"), "wb") as out:
    out.write(("\r\n".join(lines) + "\r\n").encode("ascii"))
PY
        files=$(find -L "$src/files" -type f | wc -l)
        mib=$(find -L "$src/files" -type f -printf '%s\n' | awk '{s += $1} END {printf "%.1f", s / 1048576}')
        local runs=()
        for _ in $(seq "$RUNS"); do
            rm -rf "$ROOT/packed-$name"
            timed "$W" "$BUILD/bin/RVPACK.EXE" build "C:\\rvbench\\pack-$name" "C:\\rvbench\\packed-$name" /LZ
            [ "$LAST_RC" -le 1 ] || echo "RVPACK build of $name ended with $LAST_RC" >&2
            runs+=("$MS")
        done
        ms=$(median "${runs[@]}")
        ours=$(find "$ROOT/packed-$name" -type f ! -name SETUP.EXE ! -name SETUP.INI -printf '%s\n' | awk '{s += $1} END {print s}')
        mkdir -p "$ROOT/ms-$name"
        cp -L "$src"/files/* "$ROOT/ms-$name/"
        local start end
        start=$(now_ms)
        (cd "$ROOT/ms-$name" && for f in *; do mscompress "$f" >/dev/null 2>&1; done)
        end=$(now_ms)
        rms=$(( end - start ))
        theirs=$(find "$ROOT/ms-$name" -name '*_' -printf '%s\n' | awk '{s += $1} END {print s}')
        awk -v n="$name" -v m="$mib" -v f="$files" -v ms="$ms" -v o="$ours" -v r="$rms" -v t="$theirs" 'BEGIN {
            b = m * 1048576
            printf "%-10s %9s | %7d ms %8.1f %7.3f | %7d ms %8.1f %7.3f   (%d files)\n",
                n, m, ms, m / (ms / 1000), o / b, r, m / (r / 1000), t / b, f }'
        rm -rf "$ROOT/ms-$name" "$ROOT/packed-$name"
    done
    echo "(ratio: bytes laid out / bytes of the files; RVPACK's time is the whole build: check, compress, lay out, check again)"
}
bench_pack
