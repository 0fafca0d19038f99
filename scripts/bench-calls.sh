#!/usr/bin/env bash
# Where the time of the unattended install and uninstall goes: counts, per
# file, the requests each program makes to the Wine server and the Linux
# system calls of its processes, for ours, the stored NSIS installer of
# scripts/bench.sh, the bench's floor (RVFLOOR.EXE) and xcopy / rmdir, on
# two payloads of N and 2N files of 4 KiB (the difference is what one more
# file costs; the rest is the fixed cost of a run). Prints the totals, the per-file and fixed costs, the
# requests that make up a file's cost, and every request that names the
# first file. Not a test: it only measures.
#
#   bash scripts/bench-calls.sh [N]        (default 100)
#
# The server's trace (wineserver -d1) and strace's counts stay in
# build/callsprefix/trace/ for a closer look.
set -euo pipefail
cd "$(dirname "$0")/.."
N="${1:-100}"
BUILD="${BUILD_DIR:-build}"
need=()
command -v makensis >/dev/null || need+=(nsis)
command -v strace >/dev/null || need+=(strace)
if [ ${#need[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" = 0 ] || SUDO=sudo
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null 2>&1
cmake --build "$BUILD" --target setup rvfloor -j"$(nproc)" >/dev/null
export RV_WINEPREFIX="$(pwd)/$BUILD/callsprefix"
source scripts/fresh-prefix.sh
source scripts/wine-session.sh
ROOT="$WINEPREFIX/drive_c/rvcalls"
TRACE="$WINEPREFIX/trace"
rm -rf "$ROOT" "$TRACE"
mkdir -p "$ROOT" "$TRACE"
for n in "$N" "$((2 * N))"; do
    dir="$ROOT/src-$n"
    mkdir -p "$dir"
    cp "$BUILD/bin/SETUP.EXE" "$dir/"
    python3 scripts/bench-payload.py generated "$dir" "calls$n" "$n" 4096
    (cd "$dir" && makensis -INPUTCHARSET UTF8 -V1 nsis.nsi >/dev/null)
done

# One server for the whole run, tracing every request; each program's part
# of the trace is cut out by where the file stood before and after it.
WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
sleep 1
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" WINEDEBUG=-all
wineserver -f -p -d1 2>"$TRACE/server.txt" &
rv_session_pids+=($!)
sleep 0.5
wine wineboot </dev/null >/dev/null 2>&1 || true
# The desktop kept up as in bench.sh, so that no program's count holds the
# start of Wine's desktop process.
wine notepad.exe </dev/null >/dev/null 2>&1 &
rv_session_pids+=($!)
sleep 2

# label command...: the program's slice of the server trace and its
# processes' system call counts.
traced() {
    local label=$1 from to
    shift
    sleep 0.5
    from=$(stat -c %s "$TRACE/server.txt")
    strace -f -c -o "$TRACE/$label.strace" wine "$@" </dev/null >/dev/null 2>&1 || true
    sleep 0.5
    to=$(stat -c %s "$TRACE/server.txt")
    tail -c +"$((from + 1))" "$TRACE/server.txt" | head -c "$((to - from))" >"$TRACE/$label.server"
}

for n in "$N" "$((2 * N))"; do
    src="C:\\rvcalls\\src-$n"
    traced "ours-install-$n" "$src\\SETUP.EXE" /S "/D=C:\\rvcalls\\app-$n"
    traced "ours-uninstall-$n" 'C:\windows\UNRAVEL.EXE' "C:\\rvcalls\\app-$n\\UNSETUP.INI" /S
    traced "nsis-install-$n" "$src\\nsis-setup.exe" /S "/D=C:\\rvcalls\\nsis-$n"
    traced "nsis-uninstall-$n" "C:\\rvcalls\\nsis-$n\\uninst.exe" /S "_?=C:\\rvcalls\\nsis-$n"
    traced "floor-install-$n" "$BUILD/bin/RVFLOOR.EXE" install "$src\\files" "C:\\rvcalls\\fl-$n"
    traced "floor-uninstall-$n" "$BUILD/bin/RVFLOOR.EXE" uninstall "C:\\rvcalls\\fl-$n"
    traced "xcopy-$n" xcopy /E /I /Q "$src\\files" "C:\\rvcalls\\xc-$n"
    traced "rmdir-$n" cmd /c rmdir /S /Q "C:\\rvcalls\\xc-$n"
done

python3 - "$TRACE" "$N" <<'PY'
import collections, os, re, sys
trace, n = sys.argv[1], int(sys.argv[2])
call = re.compile(r"^[0-9a-f]{4,}: ([a-z_0-9]+)\( ")
call0 = re.compile(r"^[0-9a-f]{4,}: ([a-z_0-9]+)\(\)$")

def requests(label):
    counts = collections.Counter()
    first = []
    with open(os.path.join(trace, label + ".server"), errors="replace") as f:
        for line in f:
            m = call.match(line) or call0.match(line.rstrip("\n"))
            if not m:
                continue
            counts[m.group(1)] += 1
            if re.search(r'\\\\f1\.bin"', line):
                first.append(line.strip()[:230])
    return counts, first

def syscalls(label):
    counts = collections.Counter()
    with open(os.path.join(trace, label + ".strace")) as f:
        for line in f:
            parts = line.split()
            if len(parts) >= 5 and parts[0][0].isdigit() and parts[-1] != "total":
                calls = int(parts[3])
                counts[parts[-1]] += calls
    return counts

rows = []
details = {}
for who in ("ours-install", "nsis-install", "floor-install", "xcopy", "ours-uninstall", "nsis-uninstall",
            "floor-uninstall", "rmdir"):
    r1, first = requests("%s-%d" % (who, n))
    r2, _ = requests("%s-%d" % (who, 2 * n))
    s1, s2 = syscalls("%s-%d" % (who, n)), syscalls("%s-%d" % (who, 2 * n))
    t1, t2, u1, u2 = sum(r1.values()), sum(r2.values()), sum(s1.values()), sum(s2.values())
    per_r, per_s = (t2 - t1) / n, (u2 - u1) / n
    rows.append((who, t1, per_r, t1 - per_r * n, u1, per_s, u1 - per_s * n))
    details[who] = (r1, r2, s1, s2, first)

print("Wine server requests and Linux system calls, %d and %d files of 4 KiB" % (n, 2 * n))
print("%-15s | %9s %9s %9s | %9s %9s %9s" % ("", "requests", "per file", "fixed", "syscalls", "per file", "fixed"))
for who, t1, pr, fr, u1, ps, fs in rows:
    print("%-15s | %9d %9.1f %9.0f | %9d %9.1f %9.0f" % (who, t1, pr, fr, u1, ps, fs))
for who in ("ours-install", "nsis-install", "floor-install", "xcopy", "ours-uninstall", "nsis-uninstall",
            "floor-uninstall", "rmdir"):
    r1, r2, s1, s2, first = details[who]
    per = {k: (r2[k] - r1[k]) / n for k in set(r1) | set(r2)}
    top = sorted(((v, k) for k, v in per.items() if v >= 0.05), reverse=True)[:12]
    sper = {k: (s2[k] - s1[k]) / n for k in set(s1) | set(s2)}
    stop = sorted(((v, k) for k, v in sper.items() if v >= 0.05), reverse=True)[:10]
    print("\n%s: requests per file: %s" % (who, ", ".join("%s %.1f" % (k, v) for v, k in top)))
    print("%s: system calls per file: %s" % (who, ", ".join("%s %.1f" % (k, v) for v, k in stop)))
    fixed = sorted(((r1[k] - per.get(k, 0) * n, k) for k in r1), reverse=True)[:8]
    print("%s: fixed requests: %s" % (who, ", ".join("%s %.0f" % (k, v) for v, k in fixed)))
    if first:
        print("%s: the requests that name f1.bin:" % who)
        for line in first:
            print("    " + line)
PY
