#!/usr/bin/env bash
# Big and hostile zones of .conf files through korvane-check. For each it
# prints the bytes read, the CPU time and peak memory of the check, and
# fails when the report is not the expected one or the peak passes the bytes
# read + 64 MiB. A zone of 100 arenas sharing a 1 MiB ships file, and the
# example zone, are checked in one run each (korvane-check ZONE), which must
# report each arena as checking it alone does. The first three zones are
# also timed against cat of the same (distinct) files
# (CPU of whole processes, RUNS pairs in turn, medians): once with cat's
# output thrown away unread (> /dev/null) and once read through a pipe, as a
# harness reads it. CPU to the microsecond, with korvane-cputime.
#
#   bench/include_zones.sh [BUILD] [RUNS]  (default: build, 11)
#   ONLY=costs bench/include_zones.sh [BUILD]  (the zone run's own costs alone)
#
# Needs about 300 MiB in ${TMPDIR:-/tmp}.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

BUILD=$(realpath "${1:-build}")
RUNS=${2:-11}
CHECK=$BUILD/cli/korvane-check
CPUTIME=$BUILD/bench/korvane-cputime
for p in "$CHECK" "$CPUTIME"; do
    [ -x "$p" ] || { echo "no $p: run ./dev.sh build first" >&2; exit 2; }
done
WORK=$(mktemp -d "${TMPDIR:-/tmp}/korvane-zones-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# About $1 KiB of a zone's settings: the eight ships with all their
# keys (every rule kept) among ten times as many other sections, as a
# league's shared files hold them.
settings() {
    awk -v bytes="$(($1 * 1024))" -v seed="$2" 'BEGIN {
        srand(seed)
        split("Warbird Javelin Spider Leviathan Terrier Weasel Lancaster Shark", ship, " ")
        split("InitialRotation:200 MaximumRotation:260 InitialThrust:15 MaximumThrust:18 " \
              "InitialSpeed:2000 MaximumSpeed:3250 InitialRecharge:400 MaximumRecharge:1150 " \
              "InitialEnergy:1000 MaximumEnergy:1700 SuperTime:6000 ShieldsTime:3000 " \
              "InitialGuns:1 MaxGuns:3 BulletFireEnergy:20 BombFireEnergy:0 Gravity:1000 " \
              "BulletSpeed:2000 BombSpeed:2000 SeeMines:0", key, " ")
        while (written < bytes) {
            n++
            if (n % 11 == 0) {
                s = ship[int(rand() * 8) + 1]
                out = "; " s ": the league'"'"'s settings\n[" s "]\n"
                for (k = 1; k <= 20; k++) { split(key[k], kv, ":"); out = out kv[1] "=" kv[2] "\n" }
            } else {
                out = "; tuned for the league\n[Zone" n "]\n"
                for (k = 0; k < 14; k++) out = out "Setting" k "=" int(rand() * 10000) "\n"
            }
            printf "%s\n", out; written += length(out) + 1
        }
    }'
}

# A zone folder $1 whose arenas/a/arena.conf includes $2 files of $3 KiB.
make_zone() {
    mkdir -p "$1/arenas/a" "$1/conf"
    for i in $(seq "$2"); do
        settings "$3" "$i" >"$1/conf/part$i.conf"
        echo "#include part$i.conf"
    done >"$1/arenas/a/arena.conf"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
cpu() { # the CPU seconds of a command
    "$CPUTIME" "$@" | cut -d' ' -f1
}
# korvane-check on $1 against cat of the files $2...: the medians of RUNS
# pairs, to cat > /dev/null and to cat | reader.
vs_cat() {
    local target=$1 k n p
    shift
    : >"$WORK/null" && : >"$WORK/pipe" && : >"$WORK/k"
    for _ in $(seq "$RUNS"); do
        k=$(cpu "$CHECK" "$target")
        n=$(cpu cat "$@")
        p=$(cpu --pipe cat "$@")
        awk -v k="$k" -v n="$n" 'BEGIN { print (n > 0 ? k / n : 0) }' >>"$WORK/null"
        awk -v k="$k" -v p="$p" 'BEGIN { print (p > 0 ? k / p : 0) }' >>"$WORK/pipe"
        echo "$k" >>"$WORK/k"
    done
    printf 'korvane-check CPU %.4f s (median of %d, %d files); ratio to cat > /dev/null: %.2f, to cat | reader: %.2f (goal: at most 2)\n' \
        "$(median <"$WORK/k")" "$RUNS" "$#" "$(median <"$WORK/null")" "$(median <"$WORK/pipe")"
}

# The zone run's own costs: a zone run of $1 against checking each of its
# arenas alone, in CPU and peak memory (the run must stay within the bytes
# read + 64 MiB, as one arena does, and take no more CPU than all alone).
zone_costs() {
    local zone=$1 name=$2 cpu peak status alone=0 alonePeak=0 bytes
    bytes=$(find "$zone" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
    "$CPUTIME" sh -c 'exec "$0" "$1" >/dev/null 2>&1' "$CHECK" "$zone" >"$WORK/t"
    read -r cpu peak status <"$WORK/t"
    for arena in "$zone"/arenas/*/; do
        "$CPUTIME" sh -c 'exec "$0" --zone "$1" --arena "$2" "$3" >/dev/null 2>&1' "$CHECK" \
            "$zone" "$(basename "$arena")" "$arena/arena.conf" >"$WORK/t"
        read -r c p _ <"$WORK/t"
        alone=$(awk -v a="$alone" -v c="$c" 'BEGIN { print a + c }')
        [ "$p" -le "$alonePeak" ] || alonePeak=$p
    done
    printf '%-22s zone run %7.2f s, peak %6.1f MiB; each alone %7.2f s in all, peak %6.1f MiB; bound %6.1f MiB\n' \
        "$name" "$cpu" "$(awk -v p="$peak" 'BEGIN { print p / 1024 }')" "$alone" \
        "$(awk -v p="$alonePeak" 'BEGIN { print p / 1024 }')" \
        "$(awk -v b="$bytes" 'BEGIN { print b / 1048576 + 64 }')"
    [ "$peak" -le $((bytes / 1024 + 64 * 1024)) ] || { echo "FAILED: over the memory bound" >&2; return 1; }
}
# 20 arenas, each with nine files of 9,999 #include lines of a 200-byte name
# (an empty file of its own): the cache would keep 50 MiB an arena.
make_long_names() {
    local name
    name=$(printf 'n%.0s' $(seq 200))
    for a in $(seq 20); do
        mkdir -p "$1/arenas/a$a"
        : >"$1/arenas/a$a/$name"
        for f in $(seq 9); do
            awk -v n="$name" 'BEGIN { for (i = 0; i < 9999; i++) print "#include " n }' \
                >"$1/arenas/a$a/f$f"
            echo "#include f$f"
        done >"$1/arenas/a$a/arena.conf"
    done
}
# 20 arenas that each include, 4 times, one shared file of 9,999 found
# includes and one that each arena has its own of: every replay would look
# the 10,000 names up again for nothing.
make_own_among_many() {
    mkdir -p "$1/conf/i"
    for i in $(seq 9999); do : >"$1/conf/i/$i"; echo "#include i/$i"; done >"$1/conf/shared.conf"
    echo "#include own.conf" >>"$1/conf/shared.conf"
    for a in $(seq 20); do
        mkdir -p "$1/arenas/a$a"
        echo "[Warbird]" >"$1/arenas/a$a/own.conf"
        for _ in 1 2 3 4; do echo "#include shared.conf"; done >"$1/arenas/a$a/arena.conf"
    done
}
if [ "${ONLY:-}" = costs ]; then
    echo "== the zone run's costs"
    for case in long_names own_among_many; do
        mkdir -p "$WORK/$case" && "make_$case" "$WORK/$case"
        zone_costs "$WORK/$case" "$case"
        rm -rf "${WORK:?}/$case"
    done
    exit 0
fi

echo "== checking a 64 MiB zone (64 includes of 1 MiB) against reading it with cat"
make_zone "$WORK/z64" 64 1024
files=("$WORK"/z64/arenas/a/arena.conf "$WORK"/z64/conf/*.conf)
# Every ship is there with every key, in kept and other sections alike.
"$CHECK" "$WORK/z64/arenas/a/arena.conf" >"$WORK/out" 2>&1 ||
    { echo "FAILED: the 64 MiB zone's report has findings:" >&2; tail -n 3 "$WORK/out" >&2; exit 1; }
vs_cat "$WORK/z64/arenas/a/arena.conf" "${files[@]}"
rm -rf "$WORK/z64"

# A zone folder $1 of $2 arenas that all include one ships file of 1 MiB,
# each overriding one setting of its own.
make_arenas() {
    mkdir -p "$1/conf"
    settings 1024 1 >"$1/conf/ships.conf"
    for i in $(seq "$2"); do
        mkdir -p "$1/arenas/a$i"
        printf '#include ships.conf\n[Warbird]\nInitialEnergy=%d\n' $((900 + i % 200)) \
            >"$1/arenas/a$i/arena.conf"
    done
}

# Whether the zone run of $1 reports each arena as checking its file alone
# does (the JSON object of each, less the arena's name).
same_as_alone() {
    local zone=$1 n=0
    "$CHECK" --format=json "$zone" >"$WORK/zone.json" 2>/dev/null || [ $? -eq 1 ] || return 1
    while IFS= read -r object; do
        case $object in '{"zone":'*) continue ;; esac
        local file arena
        file=$(printf '%s' "$object" | sed 's/^{"file":"\([^"]*\)","arena":"\([^"]*\)".*/\1/')
        arena=$(printf '%s' "$object" | sed 's/^{"file":"\([^"]*\)","arena":"\([^"]*\)".*/\2/')
        local alone
        alone=$("$CHECK" --format=json --arena "$arena" "$file" 2>/dev/null) || true
        [ "$(printf '%s' "$object" | sed 's/,"arena":"[^"]*"//')" = "$alone" ] || {
            echo "FAILED: arena $arena is not reported as checking $file alone" >&2
            return 1
        }
        n=$((n + 1))
    done <"$WORK/zone.json"
    echo "$n arenas reported as each alone"
}

# The zone run of $1 against cat of its distinct files, as the first zone.
zone_vs_cat() {
    local files
    mapfile -t files < <(find "$1" -type f -name '*.conf' | sort)
    vs_cat "$1" "${files[@]}"
}

echo
echo "== a zone of 100 arenas that all include one 1 MiB ships file, in one run, against cat"
make_arenas "$WORK/z100" 100
same_as_alone "$WORK/z100" || exit 1
zone_vs_cat "$WORK/z100"
rm -rf "$WORK/z100"

echo
echo "== the example zone, in one run, against cat"
same_as_alone examples/zone || exit 1
zone_vs_cat examples/zone

# name, maker, the findings the report must have
hostile() {
    local name=$1 expected=$2 zone=$WORK/$1
    "make_$name" "$zone"
    local bytes cpu peak status
    bytes=$(find "$zone" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
    # A file that includes itself is read once for each of the 50 levels.
    [ "$name" != self_include ] || bytes=$((bytes * 51))
    "$CPUTIME" sh -c 'exec "$0" --format=json "$1" >"$2" 2>"$3"' "$CHECK" \
        "$zone/arenas/a/arena.conf" "$WORK/out" "$WORK/err" >"$WORK/t"
    read -r cpu peak status <"$WORK/t"
    local found bound=$((bytes / 1024 + 64 * 1024)) result=ok
    found=$(grep -o '"errors":[0-9]*' "$WORK/out" | cut -d: -f2 || true)
    if [ "$status" -gt 1 ]; then
        result="FAILED: exit status $status $(head -c 200 "$WORK/err")"
    elif [ "${found:-none}" != "$expected" ]; then
        result="FAILED: expected $expected findings, got ${found:-none}"
    elif [ "$peak" -gt "$bound" ]; then
        result="FAILED: over the memory bound"
    fi
    [ "$result" = ok ] || failed=1
    printf '%-20s %12.1f %9.2f %10.1f %10.1f  %s\n' "$name" "$(awk -v b="$bytes" 'BEGIN { print b / 1048576 }')" \
        "$cpu" "$((peak / 1024)).0" \
        "$((bound / 1024)).0" "$result"
    rm -rf "$zone"
}
make_many_includes() { # 5000 files of 4 KiB
    make_zone "$1" 5000 4
}
make_big_include() { # one included file of 200 MiB
    make_zone "$1" 1 $((200 * 1024))
}
make_self_include() { # 1 MiB that includes itself: read 50 deep, then warned about
    mkdir -p "$1/arenas/a" "$1/conf"
    { echo "#include self.conf"; settings 1024 7; } >"$1/conf/self.conf"
    echo "#include self.conf" >"$1/arenas/a/arena.conf"
}
make_self_and_missing() { # 11 KiB that includes itself twice among 1,000 names found nowhere
    mkdir -p "$1/arenas/a" "$1/conf"
    { for _ in $(seq 1000); do echo "#include m"; done
      echo "#include self.conf"; echo "#include self.conf"; } >"$1/conf/self.conf"
    { echo "#include self.conf"; settings 1024 7; } >"$1/arenas/a/arena.conf"
}

echo
echo "== hostile zones: bytes read, CPU, peak memory and its bound (bytes read + 64 MiB)"
printf '%-20s %12s %9s %10s %10s  %s\n' zone "read MiB" "cpu s" "peak MiB" "bound MiB" result
failed=0
hostile many_includes 0
hostile big_include 0
hostile self_include 0
hostile self_and_missing 0
exit $failed
