#!/usr/bin/env bash
# Measures the unattended install and uninstall against a stored NSIS
# installer built by makensis from the same payload (the same folders, files,
# three shortcuts, registry values and Add/Remove Programs entry, no
# compression) and against the platform's floor (RVFLOOR.EXE, built from
# tests/bench/floor.c: walk the source, make each folder, copy each file
# through a temporary name and rename it, set its write time; delete depth
# first), all in one run in the same prefix. Prints medians, the ratios to
# NSIS and to the floor, the fixed cost of a run against a process that
# returns at once, the peak working set, the sizes of the programs beside
# NSIS's empty installer and where the program's bytes go
# (scripts/size-map.sh); then the record's write and read times. Not a test:
# nothing here fails because something is slow.
#
#   bash scripts/bench.sh [scale] [runs] [payloads]
#
# scale (default 1) multiplies the number of files of each generated payload
# (1,000 x 4 KiB; 20 x 8 MiB; 10,000 x 1 KiB), so 0.1 gives a quick run; the
# empty package and the sample package are the same at every scale. runs
# (default 5) is how many times each is timed; payloads (default all) names
# the ones to run, e.g. "empty sample" ("onefile" adds the one-file figures of
# the payloads named), and then leaves out the record,
# wizard and package tool figures. The payloads and a prefix of
# their own, made fresh each run (a virtual desktop, as in the demo), live
# under build/benchprefix. Installs Debian's nsis package when makensis is
# missing.
set -euo pipefail
cd "$(dirname "$0")/.."
SCALE="${1:-1}"
RUNS="${2:-5}"
ONLY="${3:-}"
BUILD="${BUILD_DIR:-build}"
if ! command -v makensis >/dev/null; then
    SUDO=""
    [ "$(id -u)" = 0 ] || SUDO=sudo
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends nsis >/dev/null
fi
cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null 2>&1
cmake --build "$BUILD" --target setup rvpack rvfloor sample_package test_record test_e2e -j"$(nproc)" >/dev/null
# A prefix of its own, so the figures never mix with what the tests leave.
export RV_WINEPREFIX="$(pwd)/$BUILD/benchprefix"
source scripts/fresh-prefix.sh
source scripts/wine-session.sh
W="$BUILD/wine-run.sh"
FLOOR="$BUILD/bin/RVFLOOR.EXE"
# Windows keeps its desktop up; Wine ends its desktop process a second after
# the last program that used it, and the next program to open a window pays
# for starting it again (150 ms and more): whichever ran after a pause, the
# first of each payload or the install after a long rmdir. An idle program
# keeps it up for the whole bench, as on Windows.
"$W" notepad.exe </dev/null >/dev/null 2>&1 &
rv_session_pids+=($!)
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

# The largest working set a run's log names, KiB (0 without one).
peak_of() {
    local p=""
    [ -f "$ROOT/$1" ] && p=$(iconv -f cp932 -t utf-8 "$ROOT/$1" | sed -n 's/.*最大ワーキングセット \([0-9]*\) KiB.*/\1/p' | sort -n | tail -n1)
    echo "${p:-0}"
}

median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : int((v[NR/2]+v[NR/2+1])/2)}'; }

# name kind [count size]: a medium with SETUP.EXE, SETUP.INI and the files,
# and beside them nsis-setup.exe built from the same files.
make_payload() {
    local name=$1 kind=$2 dir="$ROOT/src-$1"
    mkdir -p "$dir"
    if [ "$kind" = sample ]; then
        cp -r "$BUILD/sample/." "$dir/"
        python3 scripts/bench-payload.py sample "$dir" "$name" "$(pwd)/$BUILD/sample" "$(pwd)/examples/sample"
    else
        cp "$BUILD/bin/SETUP.EXE" "$dir/"
        python3 scripts/bench-payload.py generated "$dir" "$name" "$3" "$4"
    fi
    (cd "$dir" && makensis -INPUTCHARSET UTF8 -V1 nsis.nsi >/dev/null)
}

# Counts the files below a Windows folder of the prefix (0 when it is gone).
files_in() { find "$ROOT/${1#C:\\rvbench\\}" -type f 2>/dev/null | wc -l; }

scaled() { python3 -c "import sys; print(max(1, int(round($1 * $SCALE))))"; }

printf '%-8s %6s %6s | %8s %8s %8s %6s %6s | %8s %8s %8s %6s %6s | %7s %8s %8s\n' payload files MiB \
    install NSIS floor /NSIS /floor uninst NSIS floor /NSIS /floor "MiB/s" "peak ins" "peak uns"
nothings=() peaks=()
for payload in "empty generated 0 0" "small4k generated $(scaled 1000) 4096" \
               "large8m generated $(scaled 20) 8388608" "tiny1k generated $(scaled 10000) 1024" \
               "sample sample"; do
    set -- $payload
    name=$1 kind=$2 count=${3:-8} size=${4:-0}
    [ -z "$ONLY" ] || [[ " $ONLY " == *" $name "* ]] || continue
    make_payload "$name" "$kind" "$count" "$size"
    # The payload just written is still going to the disk: whoever ran first
    # would pay for that (160 MiB of the large payload).
    sync
    src="C:\\rvbench\\src-$name"
    app="C:\\rvbench\\app-$name"
    nsis="C:\\rvbench\\nsis-$name"
    fl="C:\\rvbench\\floor-$name"
    # The floor copies what the program copies: the generated files, or the
    # sample's medium as it was built (without the NSIS twin beside it).
    flsrc="$src\\files"
    if [ "$kind" = sample ]; then
        rm -rf "$ROOT/floorsrc-$name"
        cp -r "$BUILD/sample/." "$ROOT/floorsrc-$name/"
        flsrc="C:\\rvbench\\floorsrc-$name"
    fi
    ins=() uns=() nis=() nus=() fis=() fus=() peak=0 upeak=0 kept=0
    [ "$kind" = sample ] && kept=1
    for _ in $(seq "$RUNS"); do
        timed "$W" "$src\\SETUP.EXE" /S "/LOG=C:\\rvbench\\$name.log" "/D=$app"
        ins+=("$MS")
        [ "$LAST_RC" = 0 ] || echo "install of $name ended with $LAST_RC" >&2
        installed=$(files_in "$app")
        p=$(peak_of "$name.log")
        [ "$p" -gt "$peak" ] && peak=$p
        timed "$W" 'C:\windows\UNRAVEL.EXE' "$app\\UNSETUP.INI" /S "/LOG=C:\\rvbench\\$name-u.log"
        uns+=("$MS")
        [ "$LAST_RC" = 0 ] || echo "uninstall of $name ended with $LAST_RC" >&2
        p=$(peak_of "$name-u.log")
        [ "$p" -gt "$upeak" ] && upeak=$p
        # The sample's self-registered library is a shared file the silent
        # uninstall keeps.
        [ "$(files_in "$app")" -le "$kept" ] || echo "the uninstall of $name left files behind" >&2
        rm -rf "$ROOT/app-$name"

        timed "$W" "$src\\nsis-setup.exe" /S "/D=$nsis"
        nis+=("$MS")
        [ "$LAST_RC" = 0 ] || echo "NSIS install of $name ended with $LAST_RC" >&2
        # Ours adds its record; NSIS its uninstaller.
        [ "$(files_in "$nsis")" = "$installed" ] ||
            echo "NSIS installed $(files_in "$nsis") files of $name, ours $installed" >&2
        # _?= runs the uninstaller in place (no copy of itself to wait for),
        # so it can be timed; it cannot delete itself then.
        timed "$W" "$nsis\\uninst.exe" /S "_?=$nsis"
        nus+=("$MS")
        [ "$LAST_RC" = 0 ] || echo "NSIS uninstall of $name ended with $LAST_RC" >&2
        [ "$(files_in "$nsis")" -le 1 ] || echo "the NSIS uninstall of $name left files behind" >&2
        rm -rf "$ROOT/nsis-$name"

        timed "$W" "$FLOOR" install "$flsrc" "$fl"
        fis+=("$MS")
        [ "$LAST_RC" = 0 ] || echo "floor install of $name ended with $LAST_RC" >&2
        [ "$kind" = sample ] || [ "$(files_in "$fl")" = "$count" ] ||
            echo "the floor copied $(files_in "$fl") files of $name, not $count" >&2
        timed "$W" "$FLOOR" uninstall "$fl"
        fus+=("$MS")
        [ "$LAST_RC" = 0 ] || echo "floor uninstall of $name ended with $LAST_RC" >&2
        [ ! -e "$ROOT/floor-$name" ] || echo "the floor uninstall of $name left files behind" >&2
        rm -rf "$ROOT/floor-$name"

        # What any process costs here: the same kind of image, returning at once.
        timed "$W" "$FLOOR"
        nothings+=("$MS")
    done
    mi=$(median "${ins[@]}") mu=$(median "${uns[@]}") ni=$(median "${nis[@]}") nu=$(median "${nus[@]}")
    fi_=$(median "${fis[@]}") fu=$(median "${fus[@]}")
    [ "$name" = empty ] && { empty_in=$mi empty_un=$mu empty_nsis=$ni; }
    if [ "$kind" = sample ]; then
        mib=$(du -sm --apparent-size "$ROOT/src-$name" | cut -f1)
        count=$installed
    else
        mib=$(python3 -c "print('%.1f' % ($count * $size / 1048576))")
    fi
    peaks+=("$name $count $peak $upeak")
    awk -v n="$name" -v c="$count" -v m="$mib" -v i="$mi" -v ni="$ni" -v fi="$fi_" -v u="$mu" -v nu="$nu" \
        -v fu="$fu" -v p="$peak" -v up="$upeak" 'function r(a, b) { return b > 0 ? a / b : 0 } BEGIN {
        printf "%-8s %6d %6s | %5d ms %5d ms %5d ms %5.2fx %5.2fx | %5d ms %5d ms %5d ms %5.2fx %5.2fx | %7.1f %8d %8d\n",
            n, c, m, i, ni, fi, r(i, ni), r(i, fi), u, nu, fu, r(u, nu), r(u, fu), r(m, i / 1000), p, up }'
done
echo "(medians of $RUNS at scale $SCALE, each time the whole process under Wine; /NSIS, /floor: ours / theirs;"
echo " MiB/s: the install's own rate; peak: largest working set of the install and of the uninstall, KiB)"

# The fixed cost: the empty package against a process that returns at once.
if [ ${#nothings[@]} -gt 0 ]; then
    nothing=$(median "${nothings[@]}")
    echo
    echo "a process that returns at once: $nothing ms (median of ${#nothings[@]})"
    if [ -n "${empty_in:-}" ]; then
        echo "fixed cost above it: install $((empty_in - nothing)) ms, uninstall $((empty_un - nothing)) ms;" \
             "NSIS's empty installer $((empty_nsis - nothing)) ms"
    fi
fi
# The peak working set against the number of files: flat when the program
# holds no more per file than it must.
for row in "${peaks[@]}"; do
    set -- $row
    printf 'peak working set of /S on %6d files (%s): install %6d KiB, uninstall %6d KiB\n' "$2" "$1" "$3" "$4"
done

# The sizes: the program as built, as shipped (stripped) and the package
# tool, beside NSIS's empty installer (its uninstaller inside).
[ -f "$ROOT/src-empty/nsis-setup.exe" ] || make_payload empty generated 0 0
echo
bash scripts/size-map.sh --sizes "$BUILD" "$ROOT/src-empty/nsis-setup.exe"
echo
bash scripts/size-map.sh "$BUILD"
# The one-file (RVPACK build /ONEFILE, deflate through zlib) beside makensis
# with SetCompressor zlib and, for reference, /SOLID lzma, on the same
# payloads: the payload's bytes (the program before it, the stub, apart),
# the time to build it, and the silent install from the single file; for
# large files the extraction's share of the install, from the program's own
# log times.
bench_onefile() {
    local name src stub nsis_empty_zlib nsis_empty_lzma
    stub=$(stat -c %s "$BUILD/bin/SETUP.EXE")
    printf '\n%-8s | %10s %10s %10s %6s | %8s %8s %6s | %8s %8s %6s %s\n' onefile "ours B" "zlib B" "lzma B" ratio \
        build makensis ratio install "NSIS zlib" ratio "extraction"
    for name in small4k tiny1k large8m sample; do
        src="$ROOT/src-$name"
        [ -f "$src/nsis.nsi" ] || continue
        # The NSIS twins, compressed; and each compressor's empty installer,
        # so that its own stub is left out of the payload's bytes.
        local kind
        for kind in zlib lzma; do
            local line="SetCompressor zlib"
            [ "$kind" = lzma ] && line="SetCompressor /SOLID lzma"
            sed -e "s|^SetCompress off|$line|" -e "s|nsis-setup.exe|nsis-$kind.exe|" "$src/nsis.nsi" >"$src/nsis-$kind.nsi"
            if [ ! -f "$ROOT/empty-$kind.exe" ]; then
                printf 'Unicode true\n%s\nOutFile "%s"\nSection\nSectionEnd\n' "$line" "$ROOT/empty-$kind.exe" >"$ROOT/empty-$kind.nsi"
                makensis -V1 "$ROOT/empty-$kind.nsi" >/dev/null
            fi
        done
        nsis_empty_zlib=$(stat -c %s "$ROOT/empty-zlib.exe")
        nsis_empty_lzma=$(stat -c %s "$ROOT/empty-lzma.exe")
        local builds=() makes=() ins=() nis=() shares=()
        for _ in $(seq "$RUNS"); do
            rm -rf "$ROOT/one-$name"
            timed "$W" "$BUILD/bin/RVPACK.EXE" build "C:\\rvbench\\src-$name" "C:\\rvbench\\one-$name" /ONEFILE=ONE.EXE
            [ "$LAST_RC" -le 1 ] || echo "RVPACK /ONEFILE of $name ended with $LAST_RC" >&2
            builds+=("$MS")
            local start end
            start=$(now_ms)
            (cd "$src" && makensis -INPUTCHARSET UTF8 -V1 nsis-zlib.nsi >/dev/null)
            end=$(now_ms)
            makes+=("$(( end - start ))")
            sync
            timed "$W" "C:\\rvbench\\one-$name\\ONE.EXE" /S "/LOG=C:\\rvbench\\one-$name.log" "/D=C:\\rvbench\\oapp-$name"
            ins+=("$MS")
            [ "$LAST_RC" = 0 ] || echo "one-file install of $name ended with $LAST_RC" >&2
            shares+=("$(python3 - "$ROOT/one-$name.log" <<'PY'
import re, sys
times = []
for line in open(sys.argv[1], 'rb').read().decode('cp932', 'replace').splitlines():
    m = re.match(r'(\d+):(\d+):(\d+)\.(\d+) ', line)
    if m:
        t = ((int(m[1]) * 60 + int(m[2])) * 60 + int(m[3])) * 1000 + int(m[4])
        times.append((t, line))
begin = next((t for t, l in times if '空き容量' in l), None)
end = next((t for t, l in times if 'ファイルを展開しています' in l), None)
print(end - begin if begin is not None and end is not None else 0)
PY
)")
            "$W" 'C:\windows\UNRAVEL.EXE' "C:\\rvbench\\oapp-$name\\UNSETUP.INI" /S >/dev/null 2>&1 || true
            rm -rf "$ROOT/oapp-$name"
            timed "$W" "C:\\rvbench\\src-$name\\nsis-zlib.exe" /S "/D=C:\\rvbench\\nzapp-$name"
            nis+=("$MS")
            "$W" "C:\\rvbench\\nzapp-$name\\uninst.exe" /S "_?=C:\\rvbench\\nzapp-$name" >/dev/null 2>&1 || true
            rm -rf "$ROOT/nzapp-$name"
        done
        (cd "$src" && makensis -INPUTCHARSET UTF8 -V1 nsis-lzma.nsi >/dev/null)
        local ours zlib lzma
        ours=$(( $(stat -c %s "$ROOT/one-$name/ONE.EXE") - stub ))
        zlib=$(( $(stat -c %s "$src/nsis-zlib.exe") - nsis_empty_zlib ))
        lzma=$(( $(stat -c %s "$src/nsis-lzma.exe") - nsis_empty_lzma ))
        awk -v n="$name" -v o="$ours" -v z="$zlib" -v l="$lzma" -v b="$(median "${builds[@]}")" \
            -v m="$(median "${makes[@]}")" -v i="$(median "${ins[@]}")" -v ni="$(median "${nis[@]}")" \
            -v x="$(median "${shares[@]}")" 'function r(a, b) { return b > 0 ? a / b : 0 } BEGIN {
            printf "%-8s | %10d %10d %10d %5.2fx | %5d ms %5d ms %5.2fx | %5d ms %6d ms %5.2fx %5d ms (%d%%)\n",
                n, o, z, l, r(o, z), b, m, r(b, m), i, ni, r(i, ni), x, 100 * r(x, i) }'
    done
    echo "(stub: SETUP.EXE, $stub bytes, not in the payload's bytes; NSIS's bytes are its installer less its empty one;"
    echo " build: RVPACK's whole build (check, lay out, compress) against makensis; extraction: the install's time to extract)"
}
if [[ " $ONLY " == *" onefile "* ]]; then bench_onefile; fi
[ -z "$ONLY" ] || exit 0

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
            # Hard links: RVPACK refuses a tree that reaches outside itself
            # through a directory link.
            cp -rl "$ROOT/src-large8m/files" "$src/files"
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
bench_onefile
