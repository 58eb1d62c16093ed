#!/usr/bin/env bash
# The profile reader's speed, as whole processes: the CPU time (user + sys)
# of korvane-check on a settings file against `wc -l` of the same file, in
# RUNS pairs taken in turn, as the median of the pairs' ratios; and its peak
# memory against the file's size + 64 MiB. Files of the usual shape at 16,
# 64 and 256 MiB, hostile shapes at 64 MiB, and a real-sized 17 KiB file
# against `korvane-check --version` (starting the process is the floor).
#
#   bench/reader_speed.sh [BUILD] [RUNS]    (default: build, 11)
#
# Goals: at most 2.5x wc -l at 64 MiB; at most 10x on every hostile shape;
# at most 1.3x --version on 17 KiB. Needs about 300 MiB in ${TMPDIR:-/tmp}.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

BUILD=$(realpath "${1:-build}")
RUNS=${2:-11}
CHECK=$BUILD/cli/korvane-check
MAKE=$BUILD/bench/korvane-make-settings
CPUTIME=$BUILD/bench/korvane-cputime
for p in "$CHECK" "$MAKE" "$CPUTIME"; do
    [ -x "$p" ] || { echo "no $p: run ./dev.sh build first" >&2; exit 2; }
done
WORK=$(mktemp -d "${TMPDIR:-/tmp}/korvane-speed-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# One run: "cpu-seconds peak-kib status" of the command.
run() {
    "$CPUTIME" "$@"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# compare NAME GOAL COMMAND... -- BASELINE...: pairs in turn, then one line.
compare() {
    local name=$1 goal=$2 size=$3
    shift 3
    local a=() b=()
    while [ "$1" != -- ]; do a+=("$1"); shift; done
    shift
    b=("$@")
    : >"$WORK/ratios"
    : >"$WORK/cpu"
    local peak=0
    for _ in $(seq "$RUNS"); do
        read -r ca pa _ < <(run "${a[@]}")
        read -r cb _ _ < <(run "${b[@]}")
        awk -v a="$ca" -v b="$cb" 'BEGIN { print a / b }' >>"$WORK/ratios"
        echo "$ca" >>"$WORK/cpu"
        [ "$pa" -le "$peak" ] || peak=$pa
    done
    local ratio bound result=ok
    ratio=$(median <"$WORK/ratios")
    bound=$((size / 1024 + 64 * 1024))
    [ "$goal" = - ] || awk -v r="$ratio" -v g="$goal" 'BEGIN { exit !(r <= g + 0) }' ||
        result="OVER the goal"
    [ "$peak" -le "$bound" ] || result="OVER the memory bound"
    [ "$result" = ok ] || failed=1
    printf '%-28s %9.4f %7.2f %5s %9.1f %9.1f  %s\n' "$name" "$(median <"$WORK/cpu")" "$ratio" \
        "$goal" "$((peak / 1024)).$((peak % 1024 * 10 / 1024))" "$((bound / 1024)).0" "$result"
}

failed=0
printf '%-28s %9s %7s %5s %9s %9s  %s\n' file "cpu s" ratio goal "peak MiB" "bound MiB" result
"$MAKE" settings 17K >"$WORK/real.cfg"
compare "17 KiB / --version" 1.3 "$(stat -c %s "$WORK/real.cfg")" \
    "$CHECK" "$WORK/real.cfg" -- "$CHECK" --version
for mib in 16 64 256; do
    "$MAKE" settings "$mib" >"$WORK/f.cfg"
    compare "settings $mib MiB / wc -l" "$([ "$mib" = 64 ] && echo 2.5 || echo -)" \
        "$(stat -c %s "$WORK/f.cfg")" "$CHECK" "$WORK/f.cfg" -- wc -l "$WORK/f.cfg"
done
for shape in tiny-sections repeated-name ship-section one-key; do
    "$MAKE" "$shape" 64 >"$WORK/f.cfg"
    compare "$shape 64 MiB / wc -l" 10 "$(stat -c %s "$WORK/f.cfg")" \
        "$CHECK" "$WORK/f.cfg" -- wc -l "$WORK/f.cfg"
done
rm -f "$WORK/f.cfg"
exit $failed
