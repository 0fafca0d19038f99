#!/usr/bin/env bash
# Where the bytes of the shipped programs go. Not a test: it only measures.
#
#   bash scripts/size-map.sh [BUILD] [N]        the size map of SETUP.EXE
#   bash scripts/size-map.sh --sizes BUILD [NSIS_EXE]
#
# The size map reads the unstripped image and the linker's map the build
# keeps beside it (BUILD/unstripped/) and prints the image's sections, the
# bytes of each library and of the N largest archive members (default 25)
# by output section, and the N largest symbols. The program's own code is
# optimised at link time into one object; its functions are given back to
# the archive members that define them by name (what was inlined counts
# where it was inlined; unwind tables and literals stay in one row).
# --sizes prints the size of
# SETUP.EXE and RVPACK.EXE as linked and as shipped, beside an NSIS
# installer when one is named.
set -euo pipefail
cd "$(dirname "$0")/.."
NM=i686-w64-mingw32-nm
OBJDUMP=i686-w64-mingw32-objdump
STRIP=i686-w64-mingw32-strip

# The image as linked: the build keeps it in unstripped/ and strips the
# shipped one; a build without that has only the one in bin/.
linked() {
    local build=$1 name=$2
    if [ -f "$build/unstripped/$name" ]; then echo "$build/unstripped/$name"; else echo "$build/bin/$name"; fi
}

kib() { stat -c %s "$1" | awk '{printf "%.1f", $1 / 1024}'; }

if [ "${1:-}" = --sizes ]; then
    BUILD=$2
    NSIS=${3:-}
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    printf '%-22s %12s %12s %12s\n' program linked shipped "KiB shipped"
    for row in "SETUP.EXE 512" "RVPACK.EXE 768"; do
        set -- $row
        full=$(linked "$BUILD" "$1")
        # What stripping would leave, whether or not the build already did.
        "$STRIP" -o "$tmp/$1" "$BUILD/bin/$1"
        printf '%-22s %12d %12d %12s   (target %d KiB)\n' "$1" "$(stat -c %s "$full")" \
            "$(stat -c %s "$BUILD/bin/$1")" "$(kib "$tmp/$1")" "$2"
    done
    [ -z "$NSIS" ] || [ ! -f "$NSIS" ] ||
        printf '%-22s %12s %12d %12s\n' "NSIS empty installer" - "$(stat -c %s "$NSIS")" "$(kib "$NSIS")"
    echo "(bytes; shipped: the image in bin/; KiB shipped: that image stripped)"
    exit 0
fi

BUILD=${1:-build}
N=${2:-25}
IMAGE=$(linked "$BUILD" SETUP.EXE)
MAP="$BUILD/unstripped/SETUP.map"

echo "size map of $IMAGE"
echo "sections of the image as linked (bytes; the shipped one keeps all but .debug_*):"
"$OBJDUMP" -h "$IMAGE" | while read -r i name size _; do
    if [[ "$i" =~ ^[0-9]+$ ]]; then printf '  %-14s %9d\n' "$name" "$((16#$size))"; fi
done

if [ -f "$MAP" ]; then
    # The program's own objects, by the symbols each defines: the linker
    # sees the program as one object made at link time, so its functions
    # are given back to the objects that define them (a function inlined
    # everywhere it is called counts where it was inlined).
    objects=$(mktemp)
    for lib in "$BUILD"/librv_*.a "$BUILD"/CMakeFiles/setup.dir/src/main/*.obj; do
        [ -f "$lib" ] && "$NM" -A --defined-only "$lib" 2>/dev/null
    done >"$objects"
    "$NM" -S --size-sort "$IMAGE" >"$objects.image"
    python3 - "$MAP" "$N" "$objects" "$objects.image" <<'PY'
import collections, os, re, sys

path, top, definers, image = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
# Output sections the image keeps; input sections are added to the one
# they were placed in.
kinds = [".text", ".rdata", ".eh_frame", ".data", ".bss"]
members = collections.defaultdict(lambda: collections.Counter())
started = False
output = None
pending = None
entry = re.compile(r"^\s+(0x[0-9a-fA-F]+)\s+(0x[0-9a-fA-F]+)\s+(\S.*)$")
with open(path, errors="replace") as f:
    for line in f:
        line = line.rstrip("\n")
        if not started:
            started = line.startswith("Linker script and memory map")
            continue
        if line.startswith("."):
            output = line.split()[0]
            pending = None
            continue
        if output not in kinds or not line.startswith(" ") or line.startswith("  "):
            # A continuation line of an input section whose name was long.
            if pending is not None and output in kinds:
                m = entry.match(line)
                if m and not m.group(3).startswith("*"):
                    members[m.group(3)][output] += int(m.group(2), 16)
                pending = None
            continue
        parts = line.split()
        if len(parts) == 1:
            pending = parts[0]
            continue
        if len(parts) >= 4 and parts[1].startswith("0x") and parts[2].startswith("0x"):
            members[" ".join(parts[3:])][output] += int(parts[2], 16)
        pending = None


def library(member):
    # "/path/libfoo.a(bar.o)" -> "libfoo.a"; a loose object file stands for itself.
    if member.startswith("("):
        return member
    m = re.match(r"(.*)\((.*)\)$", member)
    return os.path.basename(m.group(1)) if m else os.path.basename(member)


def short(member):
    m = re.match(r"(.*)\((.*)\)$", member)
    return "%s(%s)" % (os.path.basename(m.group(1)), m.group(2)) if m else os.path.basename(member)


def row(name, counts):
    total = sum(counts.values())
    return "  %-48s %9d %9d %9d %9d %9d" % (name[:48], total, counts[".text"], counts[".rdata"],
                                          counts[".eh_frame"], counts[".data"] + counts[".bss"])


# Link-time optimised code comes out of one object made for the link;
# its symbols go back to the archive members that define them.
owner = {}
with open(definers, errors="replace") as f:
    for line in f:
        # "LIBRARY.a:MEMBER:ADDRESS TYPE NAME" or "OBJECT:ADDRESS TYPE NAME"
        parts = line.split()
        if len(parts) != 3 or parts[1] not in "TtDdRrBb":
            continue
        where = parts[0].rsplit(":", 1)[0]
        owner.setdefault(parts[2], where.replace(".a:", ".a(") + ")" if ".a:" in where else where)
kind = {"t": ".text", "T": ".text", "r": ".rdata", "R": ".rdata", "d": ".data", "D": ".data", "b": ".bss", "B": ".bss"}
for member in [m for m in members if ".ltrans" in m]:
    blob = members.pop(member)
    given = collections.Counter()
    with open(image, errors="replace") as f:
        for line in f:
            parts = line.split()
            if len(parts) != 4 or parts[2] not in kind or parts[3].startswith("."):
                continue
            name = parts[3].split(".")[0]
            if name in owner:
                members[owner[name]][kind[parts[2]]] += int(parts[1], 16)
                given[kind[parts[2]]] += int(parts[1], 16)
    rest = collections.Counter({k: max(0, blob[k] - given[k]) for k in blob})
    members["(link-time code not given back)"].update(rest)

head = "  %-48s %9s %9s %9s %9s %9s" % ("", "total", ".text", ".rdata", ".eh_frame", "data+bss")
libraries = collections.defaultdict(collections.Counter)
for member, counts in members.items():
    libraries[library(member)].update(counts)
print("by library (bytes):")
print(head)
for name, counts in sorted(libraries.items(), key=lambda kv: -sum(kv[1].values())):
    if sum(counts.values()):
        print(row(name, counts))
print("the %d largest archive members (bytes):" % top)
print(head)
for member, counts in sorted(members.items(), key=lambda kv: -sum(kv[1].values()))[:top]:
    print(row(short(member), counts))
PY
    rm -f "$objects" "$objects.image"
else
    echo "(no linker map at $MAP: the by-library and by-member tables need it)"
fi

echo "the $N largest symbols (bytes, type, name):"
"$NM" -S --size-sort -C "$IMAGE" | awk '$3 ~ /^[tTrRdDbB]$/ && $4 !~ /^\./' | tail -n "$N" | sort -k2,2r |
    sed 's/std::__cxx11::basic_string<char, std::char_traits<char>, std::allocator<char> >/std::string/g' |
    while read -r _ size type name; do printf '  %9d %s %s\n' "$((16#$size))" "$type" "${name:0:110}"; done
