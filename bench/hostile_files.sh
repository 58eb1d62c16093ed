#!/usr/bin/env bash
# Big and hostile settings files through korvane-check, one at a time: each
# file is made, checked at once (so the reader meets it freshly written),
# measured and removed. For each it prints the file's size, the wall time,
# the peak memory and the number of findings, and fails when the report is
# not the expected one or the peak memory passes the file's size + 64 MiB.
#
#   bench/hostile_files.sh [KORVANE_CHECK]    (default: build/cli/korvane-check)
#
# Needs about 260 MiB in ${TMPDIR:-/tmp}, and GNU time (Debian package
# "time") for the peak memory.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

CHECK=$(realpath "${1:-build/cli/korvane-check}")
[ -x "$CHECK" ] || { echo "no korvane-check at $CHECK: run ./dev.sh build first" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package: time)" >&2; exit 2; }
CLEAN=examples/clean.cfg # the eight ships, every rule kept
MIB=$((1024 * 1024))
WORK=$(mktemp -d "${TMPDIR:-/tmp}/korvane-hostile-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# One MiB of sections that are no ship's, as a large server has them.
zones() {
    awk -v bytes="$MIB" 'BEGIN {
        ORS = "\r\n"
        for (n = 0; written < bytes; ++n) {
            line = "[Zone" n "]"; print line; written += length(line) + 2
            for (k = 0; k < 12; ++k) {
                line = "Setting" k "=" (n * 7 + k); print line; written += length(line) + 2
            }
            print ""; written += 2
        }
    }'
}

# Each maker writes the file named by $1.
make_defines_110k() { # 110,000 #define lines of 2000-byte names, read as a .conf file
    awk 'BEGIN {
        pad = sprintf("%1993s", ""); gsub(/ /, "x", pad)
        for (i = 0; i < 110000; ++i) printf "#define N%06d%s\n", i, pad
    }' >"$1"
}
make_ifdefs_50mib() { # 50 MiB of "#ifdef" lines, every one left open
    (yes '#ifdef' || true) | head -c $((50 * MIB)) >"$1"
}
make_settings_200mib() { # the ships halfway through 200 MiB of other sections
    zones >"$WORK/zones"
    for i in $(seq 200); do
        cat "$WORK/zones"
        [ "$i" -ne 100 ] || cat "$CLEAN"
    done >"$1"
    rm "$WORK/zones"
}
make_one_line_50mib() { # a single 50 MiB line without a line end
    { printf 'SuperTime='; head -c $((50 * MIB)) /dev/zero | tr '\0' '7'; } >"$1"
}
make_million_sections() { # a million small sections, then the ships
    { seq 1000000 | awk '{ printf "[Section%d]\r\nKey=%d\r\n", $1, $1 }'; cat "$CLEAN"; } >"$1"
}
make_ship_section_200mib() { # Warbird's section: 200 MiB of two-byte lines
    { printf '[Warbird]\n'; (yes x || true) | head -c $((200 * MIB)); cat "$CLEAN"; } >"$1"
}
make_nul_bytes_200mib() { # 200 MiB of NUL bytes
    truncate -s $((200 * MIB)) "$1"
}
make_random_200mib() { # 200 MiB of random bytes
    head -c $((200 * MIB)) /dev/urandom >"$1"
}

# name, maker, the findings the report must have, and how it is given
# (by path, or on standard input)
CASES=(
    "settings-200mib.cfg make_settings_200mib 0"
    "settings-200mib.cfg make_settings_200mib 0 stdin"
    "defines-110k.conf make_defines_110k 56"
    "ifdefs-50mib.conf make_ifdefs_50mib 56"
    "one-line-50mib.cfg make_one_line_50mib 56"
    "million-sections.cfg make_million_sections 0"
    "ship-section-200mib.cfg make_ship_section_200mib 7"
    "nul-bytes-200mib.cfg make_nul_bytes_200mib 56"
    "random-200mib.cfg make_random_200mib 56"
)

mib() { awk -v n="$1" 'BEGIN { printf "%.1f", n / 1048576 }'; }

failed=0
printf '%-26s %10s %9s %13s %13s %9s  %s\n' file "size MiB" "wall s" "peak MiB" "bound MiB" findings result
for c in "${CASES[@]}"; do
    read -r name maker expected via <<<"$c"
    file="$WORK/$name"
    "$maker" "$file"
    size=$(stat -c %s "$file")
    status=0
    if [ "${via:-path}" = stdin ]; then
        name="$name (stdin)"
        cat "$file" | timeout 600 /usr/bin/time -f '%e %M' -o "$WORK/time" \
            "$CHECK" --format=json - >"$WORK/out" 2>"$WORK/err" || status=$?
    else
        timeout 600 /usr/bin/time -f '%e %M' -o "$WORK/time" \
            "$CHECK" --format=json "$file" >"$WORK/out" 2>"$WORK/err" || status=$?
    fi
    # The last line: GNU time first notes a non-zero exit status.
    read -r wall peakKib < <(tail -n 1 "$WORK/time")
    findings=$(grep -o '"errors":[0-9]*' "$WORK/out" | cut -d: -f2 || true)
    boundKib=$((size / 1024 + 64 * 1024))
    result=ok
    if [ "$status" -gt 1 ]; then
        result="FAILED: exit status $status $(head -c 200 "$WORK/err")"
    elif [ "${findings:-none}" != "$expected" ]; then
        result="FAILED: expected $expected findings"
    elif [ "$peakKib" -gt "$boundKib" ]; then
        result="FAILED: over the memory bound"
    fi
    [ "$result" = ok ] || failed=1
    printf '%-26s %10.1f %9s %13.1f %13.1f %9s  %s\n' "$name" "$(mib "$size")" \
        "$wall" "$(mib $((peakKib * 1024)))" "$(mib $((boundKib * 1024)))" \
        "${findings:-none}" "$result"
    rm -f "$file"
done
exit $failed
