#!/usr/bin/env bash
# Fails when a source file includes a folder its layer may not reach. The
# layers are the libraries of CMakeLists.txt: a file of src/<folder> may
# include its own folder and the folders its library depends on there
# (directly or through another); a program's own source (add_executable)
# those its program links. Two folders of one floor never depend on each
# other (install and uninstall; the front ends silent, ui and pack), and no
# library depends on itself through others.
#
# usage: check-layers.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
cmake_file="$source_dir/CMakeLists.txt"
siblings=("install uninstall" "silent ui pack")

declare -A deps        # library folder -> folders it names in DEPS
declare -A program     # program source (src/...) -> folders its program links
declare -A target_of   # program source -> its target
declare -A links       # target -> folders it links

while read -r name rest; do
    deps[$name]=$(grep -oE '\brv_[A-Za-z0-9_]+' <<<"$rest" | sed 's/^rv_//' | tr '\n' ' ' || true)
done < <(sed -nE 's/^rv_subsystem\(([A-Za-z0-9_]+)(.*)\)[[:space:]]*$/\1 \2/p' "$cmake_file")
while read -r target sources; do
    for source in $sources; do
        case "$source" in src/*.cpp) target_of[$source]=$target ;; esac
    done
done < <(sed -nE 's/^add_executable\(([A-Za-z0-9_]+) (.*)\)[[:space:]]*$/\1 \2/p' "$cmake_file")
while read -r target rest; do
    links[$target]=$(grep -oE '\brv_[A-Za-z0-9_]+' <<<"$rest" | sed 's/^rv_//' | tr '\n' ' ' || true)
done < <(sed -nE 's/^target_link_libraries\(([A-Za-z0-9_]+) (.*)\)[[:space:]]*$/\1 \2/p' "$cmake_file")

if [ ${#deps[@]} -eq 0 ]; then
    echo "no rv_subsystem libraries found in $cmake_file"
    exit 2
fi

# Every folder reachable from the given ones through DEPS.
closure() {
    local -A seen=()
    local todo=("$@") folder next
    while [ ${#todo[@]} -gt 0 ]; do
        folder=${todo[0]}
        todo=("${todo[@]:1}")
        for next in ${deps[$folder]:-}; do
            [ -n "${seen[$next]:-}" ] && continue
            seen[$next]=1
            todo+=("$next")
        done
    done
    echo "${!seen[@]}"
}

failures=0
fail() {
    echo "layer violation: $1"
    failures=$((failures + 1))
}

declare -A reach
for folder in "${!deps[@]}"; do
    reach[$folder]=" $(closure "$folder") "
    case "${reach[$folder]}" in *" $folder "*) fail "$folder depends on itself through ${deps[$folder]}" ;; esac
done
for group in "${siblings[@]}"; do
    for a in $group; do
        for b in $group; do
            [ "$a" != "$b" ] && [ -n "${deps[$a]:-}" ] || continue
            case "${reach[$a]}" in *" $b "*) fail "$a depends on its sibling $b" ;; esac
        done
    done
done
for source in "${!target_of[@]}"; do
    target=${target_of[$source]}
    # shellcheck disable=SC2086
    program[$source]=" ${links[$target]:-} $(closure ${links[$target]:-}) "
done

folders=" $(cd "$source_dir/src" && find . -mindepth 1 -maxdepth 1 -type d -printf '%f ') "
checked=0
while IFS= read -r -d '' file; do
    relative=${file#"$source_dir"/}
    folder=$(cut -d/ -f2 <<<"$relative")
    if [ -n "${program[$relative]:-}" ]; then
        allowed="${program[$relative]} $folder "
    elif [ -n "${deps[$folder]+set}" ]; then
        allowed=" $folder ${reach[$folder]} "
    else
        fail "$relative lies in a folder without a library of its own"
        continue
    fi
    checked=$((checked + 1))
    while IFS=: read -r line included; do
        target_folder=${included%%/*}
        [ "$target_folder" != "$included" ] || continue  # no folder: beside the file
        case "$folders" in *" $target_folder "*) ;; *) continue ;; esac
        case "$allowed" in *" $target_folder "*) ;; *) fail "$relative:$line includes $included" ;; esac
    done < <(grep -noE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<][^">]+[">]' "$file" |
                 sed -E 's/^([0-9]+):.*include[[:space:]]*["<]([^">]+)[">]$/\1:\2/')
done < <(find "$source_dir/src" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.rc' \) -print0)

if [ "$checked" -eq 0 ]; then
    echo "no sources checked"
    exit 2
fi
echo "$checked files checked, $failures layer violations"
[ "$failures" -eq 0 ]
