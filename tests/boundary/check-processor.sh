#!/usr/bin/env bash
# Fails when a function of a built program needs more than a Pentium Pro
# (i686): MMX, SSE and everything after. The toolchain's runtime (crt2.o,
# libgcc, libstdc++, libmingwex) is built for i686 and uses CMOV and FCOMI,
# so i686 is the floor; this keeps anything newer out.
#
# Only code is read, function by function, as the symbol table names them:
# a straight read of .text also decodes the exception tables the linker
# keeps there, whose bytes look like SSE instructions.
#
# usage: check-processor.sh OBJDUMP IMAGE...
set -euo pipefail
objdump_tool=$1
shift

status=0
for image in "$@"; do
    functions=$(mktemp)
    # "[ 12](sec  1)(fl 0x00)(ty   20)(scl   2) (nx 1) 0x00000000 _main": type 0x20 is a function.
    "$objdump_tool" -t "$image" | awk '/\(ty +20\)/ { print $NF }' | sort -u > "$functions"
    count=$(wc -l < "$functions")
    if [ "$count" -lt 100 ]; then
        echo "$image: only $count functions in its symbol table: the check cannot see the code" >&2
        status=1
        rm -f "$functions"
        continue
    fi
    report=$("$objdump_tool" -d --no-show-raw-insn "$image" | awk -v list="$functions" '
        BEGIN {
            while ((getline name < list) > 0) isFunction[name] = 1
            # Instructions without an MMX/SSE register that a Pentium Pro lacks.
            # Not tzcnt: it is "rep bsf", which older processors run as bsf,
            # the same result for the non-zero values the compiler hands it
            # (the runtime'"'"'s gdtoa has it). lzcnt ("rep bsr") differs, so it counts.
            split("emms femms movnti sfence lfence mfence clflush clflushopt clwb fxsave fxrstor " \
                  "ldmxcsr stmxcsr popcnt lzcnt movbe crc32 rdrand rdseed xgetbv xsave xsaveopt " \
                  "xrstor monitor mwait sysenter sysexit andn bextr blsi blsmsk blsr bzhi pdep pext " \
                  "mulx rorx sarx shlx shrx adcx adox", list2, " ")
            for (i in list2) newer[list2[i]] = 1
        }
        /^[0-9a-f]+ <.*>:$/ {
            name = $0
            sub(/^[0-9a-f]+ </, "", name)
            sub(/>:$/, "", name)
            inside = (name in isFunction)
            if (inside) scanned++
            next
        }
        inside && /^ +[0-9a-f]+:\t/ {
            split($0, parts, "\t")
            instruction = parts[2]
            mnemonic = instruction
            sub(/ .*/, "", mnemonic)
            if (instruction ~ /%(x|y|z)mm[0-9]|%mm[0-7]|%k[0-7]/ || (mnemonic in newer) ||
                mnemonic ~ /^(prefetch|fisttp|xsave|xrstor)/) {
                if (!(name in seen)) { seen[name] = instruction; order[++found] = name }
            }
        }
        END {
            for (i = 1; i <= found; i++) print order[i] ": " seen[order[i]]
            print "scanned " scanned+0 > "/dev/stderr"
        }' 2>"$functions.scanned")
    echo "$(basename "$image"): $(cat "$functions.scanned") of $count functions"
    if [ -n "$report" ]; then
        echo "$(basename "$image"): functions that need more than a Pentium Pro (i686):" >&2
        echo "$report" >&2
        status=1
    fi
    rm -f "$functions" "$functions.scanned"
done
exit $status
