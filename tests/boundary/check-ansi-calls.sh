#!/usr/bin/env bash
# Fails when code outside the boundary module (src/platform/Win932*) calls an ANSI
# function of the Windows API that has a wide form: such a call reads and
# writes its texts in the system's code page, which is 932 only on Japanese
# systems. Looks at what the compiled objects import (nm -u: "__imp__XxxA@n"),
# at the ANSI entry points they call through SystemLibraries, and at the
# ANSI entry points loaded at run time by name.
#
# usage: check-ansi-calls.sh NM SOURCE_DIR ARCHIVE_OR_OBJECT...
set -euo pipefail
nm_tool=$1
source_dir=$2
shift 2

# ANSI functions without a wide form: used through short names (Win932).
no_wide_form="LZOpenFileA GetExpandedNameA"

in_list() {  # word list...
    local word=$1 item
    shift
    for item in $*; do [ "$item" = "$word" ] && return 0; done
    return 1
}

allowed() {  # archive object function
    local archive=$1 object=$2 function=$3
    case "$object" in Win932*.cpp.obj) return 0 ;; esac
    in_list "$function" "$no_wide_form" && return 0
    return 1
}

failures=0
report() {
    echo "ANSI call outside Win932: $1"
    failures=$((failures + 1))
}

checked=0
for file in "$@"; do
    [ -f "$file" ] || { echo "missing: $file"; exit 2; }
    # "archive:object: U symbol" for archives, "object: U symbol" for objects.
    while read -r where function; do
        object=${where##*:}
        archive=${where%:*}
        allowed "$archive" "$object" "$function" || report "$(basename "$archive") $object $function"
    done < <(
        "$nm_tool" -u -A "$file" 2>/dev/null |
            sed -nE 's/^(.*):[[:space:]]+U __imp__([A-Za-z0-9_]+A)@[0-9]+$/\1 \2/p'
        "$nm_tool" -u -A -C "$file" 2>/dev/null |
            sed -nE 's/^(.*):[[:space:]]+U syslib::([A-Za-z0-9_]+A)\(.*$/\1 \2/p'
    )
    checked=$((checked + 1))
done

# Entry points loaded by name: an ANSI one only beside its wide one (kept for
# 95/98/Me), or from the lists above.
libraries="$source_dir/src/platform/SystemLibraries.cpp"
for function in $(grep -oE 'Entry<[^>]*>\("[^"]+", "[A-Za-z0-9_]+A"\)' "$libraries" | sed -E 's/.*"([A-Za-z0-9_]+A)"\)$/\1/'); do
    wide="${function%A}W"
    grep -q "\"$wide\"" "$libraries" && continue
    allowed "" "" "$function" && continue
    allowed "librv_ui.a" "" "$function" && continue
    report "SystemLibraries loads $function without $wide"
done
while IFS= read -r line; do
    function=$(sed -E 's/.*GetProcAddress\([^"]*"([A-Za-z0-9_]+A)"\).*/\1/' <<<"$line")
    allowed "" "" "$function" || report "$line"
done < <(grep -rnE 'GetProcAddress\([^"]*"[A-Za-z0-9_]+A"\)' "$source_dir/src" --include=*.cpp |
             grep -v '/src/platform/Win932' || true)

if [ "$checked" -eq 0 ]; then
    echo "no objects given"
    exit 2
fi
echo "$checked files checked, $failures ANSI calls outside Win932"
[ "$failures" -eq 0 ]
